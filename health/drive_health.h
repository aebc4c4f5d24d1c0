// Whether a drive is going to die, beyond its own thresholds: the signs
// that large disk populations link to failure, read from the scan's records.
#pragma once

#include <string>
#include <vector>

class DriveInventory;

enum class HealthVerdict { kGood, kCaution, kBad, kUnknown };

struct DriveHealth {
    HealthVerdict verdict = HealthVerdict::kUnknown;
    // Each sign found, e.g. "2 pending sectors (C5)", in table order.
    std::vector<std::string> reasons;
};

// "GOOD", "CAUTION", "BAD" or "UNKNOWN".
const char* HealthVerdictName(HealthVerdict verdict);

DriveHealth AssessDriveHealth(const DriveInventory& inventory, int position);
