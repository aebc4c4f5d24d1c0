// The bit mask that fleets already alert on for each disk, the sum of the
// bits below, drawn from Vantrel's reading of the drive. Bit 0 (the command
// line) and bit 1 (no such device) belong to the run, not to a disk read.
#pragma once

#include <cstdint>

struct DriveReading;

enum : uint8_t {
    // Not opened or identified, or left asleep in standby.
    kStatusNotRead = 2,
    // The SMART data or thresholds were not read, or a reply failed its
    // checks; a missing log and no answer to the self-assessment (neither of
    // which older captures hold) are no failure.
    kStatusCommandFailed = 4,
    // SMART RETURN STATUS said FAILED; on NVMe, a critical-warning bit that
    // is a failure.
    kStatusSelfAssessmentFailed = 8,
    // A pre-failure attribute at or below its non-zero threshold now.
    kStatusPrefailNow = 16,
    // Any attribute whose worst value was at or below its non-zero threshold.
    kStatusThresholdPast = 32,
    // The error log holds errors; on NVMe, the health log counts entries.
    kStatusErrorsLogged = 64,
    // The newest self-test that ran to its end failed.
    kStatusSelfTestFailed = 128,
};

// The mask of one drive. A drive whose thresholds could not be read sets
// neither threshold bit: its thresholds are only zeros.
uint8_t DeviceStatusBits(const DriveReading& reading);
