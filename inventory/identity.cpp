// The drive's serial number, firmware revision and model name as text, and
// the duplicate suffixes that keep identical models apart in the drive list.
#include <cstring>

#include "inventory/drive_inventory.h"

namespace {

enum : uint32_t {
    kSerialSmallest = 21,
    kFirmwareSmallest = 9,
    kModelSmallest = 41,
    kModelWithSuffixSmallest = 43,
};

}  // namespace

void SwapBytePairs(char* text, uint16_t length) {
    if (length == 0) {
        return;
    }
    const int words = (length - 1) / 2 + 1;
    for (int word = 0; word < words; ++word) {
        char first = text[2 * word];
        text[2 * word] = text[2 * word + 1];
        text[2 * word + 1] = first;
    }
}

int TrimTrailingSpaces(char* text, uint16_t width) {
    // Index 0 is never examined: a field of blanks keeps its first blank.
    int index = width - 1;
    while (index > 0 && text[index] == ' ') {
        text[index] = '\0';
        --index;
    }
    return index + 1;
}

char* DriveInventory::CopyIdentityField(char* buffer, uint32_t* length, int position,
                                        uint16_t offset, uint16_t width, uint32_t smallest,
                                        uint32_t needed) const {
    if (*length < smallest) {
        *length = needed;
        return nullptr;
    }
    std::memset(buffer, 0, *length);
    if (position < 0 || position >= kDrivePositions || entries[position].DriveNumber == -1) {
        return nullptr;
    }
    const char* field = reinterpret_cast<const char*>(entries[position].Identify.bytes) + offset;
    for (uint16_t i = 0; i < width && field[i] != '\0'; ++i) {
        // A line break from the firmware would split the report's line and
        // the drive list's name; it reads as the blank it stands in for.
        buffer[i] = (field[i] == '\r' || field[i] == '\n') ? ' ' : field[i];
    }
    *length = static_cast<uint32_t>(TrimTrailingSpaces(buffer, width));
    return buffer;
}

char* DriveInventory::GetSerialNumber(char* buffer, uint32_t* length, int position) const {
    return CopyIdentityField(buffer, length, position, kSerialOffset, kSerialWidth,
                             kSerialSmallest, kSerialSmallest);
}

char* DriveInventory::GetFirmwareRevision(char* buffer, uint32_t* length, int position) const {
    return CopyIdentityField(buffer, length, position, kFirmwareOffset, kFirmwareWidth,
                             kFirmwareSmallest, kFirmwareSmallest);
}

char* DriveInventory::GetModelName(char* buffer, uint32_t* length, int position,
                                   bool withSuffix) const {
    const uint32_t smallest = withSuffix ? kModelWithSuffixSmallest : kModelSmallest;
    if (!CopyIdentityField(buffer, length, position, kModelOffset, kModelWidth, smallest,
                           kModelWithSuffixSmallest)) {
        return nullptr;
    }
    if (buffer[0] == '\0') {
        return nullptr;
    }
    if (!withSuffix) {
        return buffer;
    }
    int earlier = 0;
    int later = 0;
    for (int other = 0; other < kDrivePositions; ++other) {
        if (other == position) {
            continue;
        }
        char scratch[kModelSmallest];
        uint32_t scratchLength = sizeof scratch;
        if (GetModelName(scratch, &scratchLength, other, false) == nullptr) {
            continue;
        }
        if (std::strcmp(scratch, buffer) == 0) {
            if (other < position) {
                ++earlier;
            } else {
                ++later;
            }
        }
    }
    // The caller's buffer holds at least 43 bytes: 40 of model, "-N" and the NUL.
    // The length written back stays the model's own, without the suffix.
    const size_t end = std::strlen(buffer);
    const int number = earlier >= 1 ? earlier + 1 : (later >= 1 ? 1 : 0);
    if (number > 0) {  // at most 4: one digit
        buffer[end] = '-';
        buffer[end + 1] = static_cast<char>('0' + number);
        buffer[end + 2] = '\0';
    }
    return buffer;
}
