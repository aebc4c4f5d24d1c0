// The drive's serial number, firmware revision and model name as text, and
// the duplicate suffixes that keep identical models apart in the drive list.
#include <cstdio>
#include <cstring>

#include "inventory/drive_inventory.h"
#include "inventory/identity_text.h"

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
    if (position < 0 || position >= kMaxDrivePositions || entries[position].DriveNumber == -1) {
        return nullptr;
    }
    const char* field = reinterpret_cast<const char*>(entries[position].Identify.bytes) + offset;
    for (uint16_t i = 0; i < width && field[i] != '\0'; ++i) {
        buffer[i] = IdentityTextChar(field[i]);
    }
    *length = static_cast<uint32_t>(TrimTrailingSpaces(buffer, width));
    return buffer;
}

char* DriveInventory::GetSerialNumber(char* buffer, uint32_t* length, int position) const {
    return CopyIdentityField(buffer, length, position, kSerialOffset, kSerialWidth, kSerialSmallest,
                             kSerialSmallest);
}

char* DriveInventory::GetFirmwareRevision(char* buffer, uint32_t* length, int position) const {
    return CopyIdentityField(buffer, length, position, kFirmwareOffset, kFirmwareWidth,
                             kFirmwareSmallest, kFirmwareSmallest);
}

char* DriveInventory::GetModelName(char* buffer, uint32_t* length, int position,
                                   bool withSuffix) const {
    const uint32_t smallest = withSuffix ? kModelWithSuffixSmallest : kModelSmallest;
    const uint32_t capacity = *length;
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
    // The other positions' models, trimmed, as the drive list shows them
    // when they have no twin; an empty text for an empty position.
    char others[kMaxDrivePositions][kModelSmallest];
    int earlier = 0;
    int later = 0;
    for (int other = 0; other < kMaxDrivePositions; ++other) {
        uint32_t otherLength = sizeof others[other];
        if (other == position ||
            GetModelName(others[other], &otherLength, other, false) == nullptr) {
            others[other][0] = '\0';
        } else if (std::strcmp(others[other], buffer) == 0) {
            ++(other < position ? earlier : later);
        }
    }
    if (earlier == 0 && later == 0) {
        return buffer;
    }
    // Twins are numbered 1, 2, 3 in position order, skipping any number
    // whose name another drive's model already is (X, X-1, X gives X-2,
    // a name that two items shared would hide one drive. With
    // the window's four positions the suffix stays one digit, which the
    // caller's 43 bytes hold; a longer scan's caller gives room for three.
    // The length written back stays the model's own, without the suffix.
    const size_t end = std::strlen(buffer);
    int number = 0;
    for (int free = 0; free <= earlier;) {
        ++number;
        char candidate[kModelSmallest + 8];
        std::snprintf(candidate, sizeof candidate, "%s-%d", buffer, number);
        bool taken = false;
        for (const char* model : others) {
            taken = taken || std::strcmp(model, candidate) == 0;
        }
        if (!taken) {
            ++free;
        }
    }
    std::snprintf(buffer + end, capacity - end, "-%d", number);
    return buffer;
}
