#include "health/endurance.h"

#include <cstdio>

#include "inventory/attribute_fields.h"

Endurance AtaEndurance(const std::vector<AttributeRecord>& records, ModelFamily family,
                       const DeviceStatistics& statistics, bool spinning) {
    Endurance endurance;
    if (spinning) {
        return endurance;
    }
    int64_t percent = 0;
    if (EnduranceUsedPercent(statistics, &percent) && percent >= 0) {
        endurance.known = true;
        endurance.percentUsed = static_cast<unsigned>(percent > 0xFFFF ? 0xFFFF : percent);
        return endurance;
    }
    for (const AttributeRecord& record : records) {
        if (RoleOf(AttributeId(record), family) == AttributeRole::kEnduranceLeft) {
            const unsigned left = AttributeCurrent(record);
            endurance.known = true;
            endurance.percentUsed = left < 100 ? 100 - left : 0;
            break;
        }
    }
    return endurance;
}

void AddEnduranceSign(const Endurance& endurance, DriveHealth* health) {
    if (!endurance.known || endurance.percentUsed < 100) {
        return;
    }
    if (health->verdict != HealthVerdict::kGood && health->verdict != HealthVerdict::kCaution &&
        health->verdict != HealthVerdict::kBad) {
        return;
    }
    char reason[48];
    std::snprintf(reason, sizeof reason, "rated endurance used up (%u%%)", endurance.percentUsed);
    health->reasons.push_back(reason);
    if (health->verdict == HealthVerdict::kGood) {
        health->verdict = HealthVerdict::kCaution;
    }
}
