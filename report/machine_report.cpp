#include "report/machine_report.h"

#include <cstring>

#include "health/drive_health.h"
#include "inventory/feature_words.h"
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
    if (!ValidFeatureWord(sectorWord) || !(sectorWord & (1u << 12))) {
        return 512;
    }
    const uint32_t words =
        IdentifyWord(identify, 117) | (static_cast<uint32_t>(IdentifyWord(identify, 118)) << 16);
    return words >= 256 && words <= 16384 ? 2 * words : 512;
}

bool DriveTemperature(const std::vector<AttributeRecord>& records, ModelFamily family,
                      uint8_t* celsius) {
    for (const AttributeRole role :
         {AttributeRole::kTemperature, AttributeRole::kTemperatureSecond}) {
        if (const AttributeRecord* record = FindRole(records, family, role)) {
            *celsius = AttributeCelsius(*record);
            return true;
        }
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
