// How much of its rated endurance an SSD has used, per cent, where it
// reports it; a hard disk reports none.
#pragma once

#include <cstdint>
#include <vector>

#include "health/attribute_table.h"
#include "health/drive_health.h"
#include "inventory/device_statistics.h"
#include "inventory/drive_inventory.h"

struct Endurance {
    bool known = false;
    unsigned percentUsed = 0;
};

// An ATA drive's endurance used: the Device Statistics log's Percentage
// Used Endurance Indicator (page 07h) where it is valid, the standard's own
// figure and the same for every maker; otherwise 100 minus the normalized
// value of the wear attribute its maker documents (attribute_table.cpp),
// never below 0. A disk that says it spins wears no flash: none for it.
// The one place it is read, for every output.
Endurance AtaEndurance(const std::vector<AttributeRecord>& records, ModelFamily family,
                       const DeviceStatistics& statistics, bool spinning);

// CAUTION "rated endurance used up (N%)" at 100 % or more, the words the
// NVMe drives get; a BAD verdict stays BAD, UNKNOWN and STANDBY stay.
void AddEnduranceSign(const Endurance& endurance, DriveHealth* health);
