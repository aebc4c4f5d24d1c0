// Whether a drive is going to die, beyond its own thresholds: the signs
// that large disk populations link to failure, read from the scan's records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "health/attribute_table.h"
#include "inventory/drive_inventory.h"

// STANDBY: a disk left asleep, so not read and not judged.
enum class HealthVerdict { kGood, kCaution, kBad, kUnknown, kStandby };

struct DriveHealth {
    HealthVerdict verdict = HealthVerdict::kUnknown;
    // Each sign found, e.g. "2 pending sectors (C5)": first the values below
    // their thresholds now, then the counts, then the past failures, each
    // group in the drive's table order.
    std::vector<std::string> reasons;
};

// Every verdict, in the order documents list them.
constexpr HealthVerdict kHealthVerdicts[] = {HealthVerdict::kGood, HealthVerdict::kCaution,
                                             HealthVerdict::kBad, HealthVerdict::kUnknown,
                                             HealthVerdict::kStandby};

// "GOOD", "CAUTION", "BAD", "UNKNOWN" or "STANDBY".
const char* HealthVerdictName(HealthVerdict verdict);

// CAUTION and BAD: the verdicts a scheduled check should act on.
inline bool HealthAlerts(HealthVerdict verdict) {
    return verdict == HealthVerdict::kCaution || verdict == HealthVerdict::kBad;
}

// A drive's verdict from its records in table order, named as its family's
// rows name them; no records means no SMART data.
DriveHealth AssessAttributes(const std::vector<AttributeRecord>& records, bool thresholdsKnown,
                             ModelFamily family);

// A drive's records in table order.
std::vector<AttributeRecord> DriveAttributes(const DriveInventory& inventory, int position);

// What a defect role counts, one and many: "pending sector", "pending
// sectors"; null for a role that is no defect count.
struct DefectWords {
    AttributeRole role;
    const char* one;
    const char* many;
};
const DefectWords* FindDefectWords(AttributeRole role);

// The first record in table order that has the role in the family's rows;
// null where none has.
const AttributeRecord* FindRole(const std::vector<AttributeRecord>& records, ModelFamily family,
                                AttributeRole role);

// The temperature roles: the command line reads 194, else 190.
inline bool IsTemperatureRole(AttributeRole role) {
    return role == AttributeRole::kTemperature || role == AttributeRole::kTemperatureSecond;
}

// The power-on count: raw bytes 0 to 3 of the first power-on hours record
// (hours on most drives, minutes on some). False where there is none.
bool PowerOnCount(const std::vector<AttributeRecord>& records, ModelFamily family, uint32_t* count);

// The count of an attribute whose role is a defect count
// (attribute_table.h): raw bytes 0 and 1 only, since makers pack other
// fields above them.
unsigned DefectCount(const AttributeRecord& record);
