// What every --compare text starts with, ATA or NVMe: the older reading,
// which drive of this run's scan is the same drive, and the two verdicts.
#pragma once

#include <memory>
#include <string>

#include "health/drive_health.h"
#include "inventory/drive_inventory.h"
#include "report/drive_reading.h"

struct CompareRun {
    std::unique_ptr<DriveInventory> older;  // OLD's drive at position 0
    DriveReading olderReading;
    std::string olderLabel;
    std::string newerLabel;
};

// "Drive:", "Then:", "Now:" and the two health lines.
std::string ComparisonHeading(const CompareRun& run, const DriveReading& newer,
                              const DriveHealth& then, const DriveHealth& now);
