#include "report/machine_report.h"

#include <cstring>

#include "report/attribute_format.h"

const char* const kFlagNames[kFlagBits] = {"prefailure", "updated_online", "performance",
                                           "error_rate", "event_count",    "auto_keep"};

FlagsText FlagsShort(uint16_t flags) {
    static const char kLetters[kFlagBits + 1] = "POSRCK";
    FlagsText out;
    for (int bit = 0; bit < kFlagBits; ++bit) {
        out.text[bit] = (flags >> bit) & 1 ? kLetters[bit] : '-';
    }
    out.text[kFlagBits] = ' ';
    out.text[kFlagBits + 1] = '\0';
    return out;
}

std::string AttributeKeyName(const AttributeRecord& record) {
    const size_t length = strnlen(record.Description, sizeof record.Description);
    size_t begin = 0;
    size_t end = length;
    while (begin < end && record.Description[begin] == ' ') {
        ++begin;
    }
    while (end > begin && record.Description[end - 1] == ' ') {
        --end;
    }
    std::string name(record.Description + begin, end - begin);
    for (char& c : name) {
        if (c == ' ') {
            c = '_';
        }
    }
    return name;
}

const char* WhenFailed(const AttributeRecord& record, bool thresholdsKnown) {
    const uint8_t threshold = AttributeThreshold(record);
    if (!thresholdsKnown || threshold == 0) {
        return "";
    }
    if (AttributeCurrent(record) < threshold) {
        return "now";
    }
    return AttributeWorst(record) < threshold ? "past" : "";
}

bool FindAttribute(const DriveInventory& inventory, int position, uint8_t id,
                   AttributeRecord* record) {
    for (int index = 0; index < inventory.GetAttributeCount(position); ++index) {
        if (inventory.GetAttribute(position, index, record) && AttributeId(*record) == id) {
            return true;
        }
    }
    return false;
}

uint64_t CapacityBlocks(const IdentifyData& identify) {
    if (IdentifyWord(identify, 83) & (1u << 10)) {
        uint64_t blocks = 0;
        for (int word = 103; word >= 100; --word) {
            blocks = (blocks << 16) | IdentifyWord(identify, word);
        }
        // 48 bits address every sector there is; a drive that fills the top
        // word would only make the byte count overflow.
        return blocks & 0xFFFFFFFFFFFFull;
    }
    return IdentifyWord(identify, 60) | (static_cast<uint64_t>(IdentifyWord(identify, 61)) << 16);
}

uint32_t LogicalSectorSize(const IdentifyData& identify) {
    const uint16_t sectorWord = IdentifyWord(identify, 106);
    if ((sectorWord & 0xC000u) != 0x4000u || !(sectorWord & (1u << 12))) {
        return 512;
    }
    const uint32_t words =
        IdentifyWord(identify, 117) | (static_cast<uint32_t>(IdentifyWord(identify, 118)) << 16);
    return words >= 256 && words <= 16384 ? 2 * words : 512;
}

bool DriveTemperature(const DriveInventory& inventory, int position, uint8_t* celsius) {
    AttributeRecord record;
    if (FindAttribute(inventory, position, 194, &record) ||
        FindAttribute(inventory, position, 190, &record)) {
        *celsius = RawByte0(record);
        return true;
    }
    return false;
}

bool SmartAvailable(const IdentifyData& identify) {
    return (IdentifyWord(identify, 82) & 1u) != 0;
}

namespace {

std::string Trimmed(const char* text) {
    const char* begin = text;
    while (*begin == ' ') {
        ++begin;
    }
    const char* end = begin + std::strlen(begin);
    while (end > begin && end[-1] == ' ') {
        --end;
    }
    return std::string(begin, end);
}

}  // namespace

IdentityTexts TrimmedIdentity(const DriveInventory& inventory, int position) {
    IdentityTexts texts;
    char buffer[64];
    uint32_t length = sizeof buffer;
    if (inventory.GetModelName(buffer, &length, position, false)) {
        texts.model = Trimmed(buffer);
    }
    length = sizeof buffer;
    if (inventory.GetSerialNumber(buffer, &length, position)) {
        texts.serial = Trimmed(buffer);
    }
    length = sizeof buffer;
    if (inventory.GetFirmwareRevision(buffer, &length, position)) {
        texts.firmware = Trimmed(buffer);
    }
    return texts;
}
