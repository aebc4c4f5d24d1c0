#include "health/reply_integrity.h"

#include <cstdio>

#include "inventory/attribute_fields.h"

namespace {

struct Check {
    BlockCheck ReplyIntegrity::*result;
    const char* words;
};

void Collect(const ReplyIntegrity& integrity, const Check* checks, int count,
             std::vector<std::string>* failures) {
    for (int i = 0; i < count; ++i) {
        if (integrity.*checks[i].result == BlockCheck::kFailed) {
            failures->push_back(checks[i].words);
        }
    }
}

}  // namespace

ReplyIntegrity CheckReplies(const DriveInventory& inventory, int position,
                            const std::vector<AttributeRecord>& records) {
    ReplyIntegrity integrity;
    integrity.identify = inventory.identifyCheck[position];
    integrity.smartData = inventory.smartDataCheck[position];
    integrity.thresholds = inventory.thresholdsCheck[position];
    integrity.repeatedId =
        FirstRepeatedAttributeId(records.data(), static_cast<int>(records.size()));
    return integrity;
}

BlockCheck SmartDataCheck(const ReplyIntegrity& integrity) {
    return integrity.repeatedId != 0 ? BlockCheck::kFailed : integrity.smartData;
}

std::vector<std::string> IntegrityFailures(const ReplyIntegrity& integrity) {
    static const Check kChecks[] = {
        {&ReplyIntegrity::identify, "IDENTIFY failed its checksum"},
        {&ReplyIntegrity::smartData, "SMART data failed its checksum"},
        {&ReplyIntegrity::thresholds, "SMART thresholds failed their checksum"},
    };
    std::vector<std::string> failures;
    Collect(integrity, kChecks, 3, &failures);
    if (integrity.repeatedId != 0) {
        char words[48];
        std::snprintf(words, sizeof words, "attribute %u appears twice in the SMART data",
                      static_cast<unsigned>(integrity.repeatedId));
        failures.push_back(words);
    }
    return failures;
}

std::vector<std::string> LogFailures(const ReplyIntegrity& integrity) {
    static const Check kChecks[] = {
        {&ReplyIntegrity::errorLog, "the error log failed its checks"},
        {&ReplyIntegrity::selfTestLog, "the self-test log failed its checks"},
        {&ReplyIntegrity::deviceStatistics, "the Device Statistics log failed its checks"},
    };
    std::vector<std::string> failures;
    Collect(integrity, kChecks, 3, &failures);
    for (int page = 0; page < 8; ++page) {
        if ((integrity.failedStatisticsPages >> page) & 1) {
            char words[48];
            std::snprintf(words, sizeof words, "Device Statistics page %d failed its checks", page);
            failures.push_back(words);
        }
    }
    return failures;
}
