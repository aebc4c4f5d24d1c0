#include "health/drive_health.h"

#include <cstdio>

#include "inventory/attribute_fields.h"
#include "inventory/decimal_text.h"

namespace {

// Each defect role, in kDefectRoles' order, and the word for what it counts.
const DefectWords kDefectWords[] = {
    {AttributeRole::kReallocatedSectors, "reallocated sector", "reallocated sectors"},
    {AttributeRole::kPendingSectors, "pending sector", "pending sectors"},
    {AttributeRole::kOfflineUncorrectable, "offline uncorrectable sector",
     "offline uncorrectable sectors"},
    {AttributeRole::kReportedUncorrectable, "reported uncorrectable error",
     "reported uncorrectable errors"},
};

// The id as the table shows it, in parentheses.
std::string IdSuffix(const AttributeRecord& record) {
    char text[8];
    std::snprintf(text, sizeof text, " (%X)", AttributeId(record));
    return text;
}

}  // namespace

const char* HealthVerdictName(HealthVerdict verdict) {
    switch (verdict) {
        case HealthVerdict::kGood:
            return "GOOD";
        case HealthVerdict::kCaution:
            return "CAUTION";
        case HealthVerdict::kBad:
            return "BAD";
        case HealthVerdict::kStandby:
            return "STANDBY";
        case HealthVerdict::kUnknown:
            break;
    }
    return "UNKNOWN";
}

const DefectWords* FindDefectWords(AttributeRole role) {
    for (const DefectWords& words : kDefectWords) {
        if (words.role == role) {
            return &words;
        }
    }
    return nullptr;
}

const AttributeRecord* FindRole(const std::vector<AttributeRecord>& records, ModelFamily family,
                                AttributeRole role) {
    for (const AttributeRecord& record : records) {
        if (RoleOf(AttributeId(record), family) == role) {
            return &record;
        }
    }
    return nullptr;
}

bool PowerOnCount(const std::vector<AttributeRecord>& records, ModelFamily family,
                  uint32_t* count) {
    const AttributeRecord* record = FindRole(records, family, AttributeRole::kPowerOnHours);
    if (record) {
        *count = RawLow32(*record);
    }
    return record != nullptr;
}

unsigned DefectCount(const AttributeRecord& record) {
    return RawLow16(record);
}

std::vector<AttributeRecord> DriveAttributes(const DriveInventory& inventory, int position) {
    std::vector<AttributeRecord> records;
    for (int index = 0; index < inventory.GetAttributeCount(position); ++index) {
        AttributeRecord record;
        if (inventory.GetAttribute(position, index, &record)) {
            records.push_back(record);
        }
    }
    return records;
}

DriveHealth AssessAttributes(const std::vector<AttributeRecord>& records, bool thresholdsKnown,
                             ModelFamily family) {
    std::vector<std::string> now;
    std::vector<std::string> counts;
    std::vector<std::string> past;
    for (const AttributeRecord& record : records) {
        // A zero threshold is the maker's "for information only"; an unread
        // one is only the zeros the reply buffer started with.
        const uint8_t threshold = thresholdsKnown ? AttributeThreshold(record) : 0;
        const uint8_t id = AttributeId(record);
        if (threshold != 0 && AttributeCurrent(record) < threshold) {
            now.push_back(AttributeTitle(id, family) + " below its threshold" + IdSuffix(record));
        } else if (threshold != 0 && AttributeWorst(record) < threshold) {
            past.push_back(AttributeTitle(id, family) + " failed in the past" + IdSuffix(record));
        }
        const DefectWords* words = FindDefectWords(RoleOf(id, family));
        const unsigned count = DefectCount(record);
        if (words && count > 0) {
            counts.push_back(DecimalText(count) + " " + (count == 1 ? words->one : words->many) +
                             IdSuffix(record));
        }
    }

    DriveHealth health;
    health.reasons = now;
    health.reasons.insert(health.reasons.end(), counts.begin(), counts.end());
    health.reasons.insert(health.reasons.end(), past.begin(), past.end());
    if (!now.empty()) {
        health.verdict = HealthVerdict::kBad;
    } else if (!health.reasons.empty()) {
        health.verdict = HealthVerdict::kCaution;
    } else if (records.empty()) {
        health.reasons.push_back("no SMART data");
    } else if (!thresholdsKnown) {
        health.reasons.push_back("thresholds not read");
    } else {
        health.verdict = HealthVerdict::kGood;
    }
    return health;
}
