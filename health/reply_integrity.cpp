#include "health/reply_integrity.h"

#include "inventory/attribute_fields.h"
#include "inventory/decimal_text.h"

ReplyIntegrity CheckReplies(const DriveInventory& inventory, int position,
                            const std::vector<AttributeRecord>& records) {
    ReplyIntegrity integrity;
    integrity.identify = inventory.identifyCheck[position];
    integrity.smartData = inventory.smartDataCheck[position];
    integrity.thresholds = inventory.thresholdsCheck[position];
    bool seen[256] = {};
    for (const AttributeRecord& record : records) {
        const uint8_t id = AttributeId(record);
        if (seen[id]) {
            integrity.repeatedId = id;
            break;
        }
        seen[id] = true;
    }
    return integrity;
}

std::vector<std::string> IntegrityFailures(const ReplyIntegrity& integrity) {
    std::vector<std::string> failures;
    if (integrity.identify == BlockCheck::kFailed) {
        failures.push_back("IDENTIFY failed its checksum");
    }
    if (integrity.smartData == BlockCheck::kFailed) {
        failures.push_back("SMART data failed its checksum");
    }
    if (integrity.repeatedId != 0) {
        failures.push_back("attribute " + DecimalText(integrity.repeatedId) +
                           " appears twice in the SMART data");
    }
    if (integrity.thresholds == BlockCheck::kFailed) {
        failures.push_back("SMART thresholds failed their checksum");
    }
    return failures;
}

std::vector<std::string> LogFailures(const ReplyIntegrity& integrity) {
    std::vector<std::string> failures;
    if (integrity.errorLog == BlockCheck::kFailed) {
        failures.push_back("the error log failed its checks");
    }
    if (integrity.selfTestLog == BlockCheck::kFailed) {
        failures.push_back("the self-test log failed its checks");
    }
    return failures;
}
