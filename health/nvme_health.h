// Whether an NVMe drive is failing, from its health log: the warnings the
// drive raises itself, a spare gone below its threshold, media errors and
// an endurance used up.
#pragma once

#include <string>

#include "health/drive_health.h"
#include "inventory/nvme_data.h"

// BAD for a failure the drive reports (warning bits 0, 2, 3, 4 and 5, a
// spare below a non-zero threshold, or a last completed self-test that
// failed, where the self-test log was read), CAUTION for media and data integrity
// errors, a temperature beyond a threshold (bit 1) or 100% of the rated
// endurance used, GOOD otherwise. Every sign is a reason, the BAD ones
// first, each group in that order. Error-log entries and unsafe shutdowns
// are not signs: hosts log harmless errors, and power cuts happen to sound
// drives.
DriveHealth AssessNvmeHealth(const NvmeHealthLog& log, const NvmeSelfTestLog* selfTests = nullptr);

// "last self-test (short) failed: completed with one or more failed
// segments (segment 3), at 1234 hours" when the newest self-test that ran
// to its end failed (aborted ones are passed over); empty otherwise.
std::string NvmeSelfTestSign(const NvmeSelfTestLog& log);

// The critical-warning bits that are failures the drive reports: every one
// but the temperature's (bit 1), which is a caution.
constexpr uint8_t kNvmeFailureBits =
    kNvmeSpareLow | kNvmeDegraded | kNvmeReadOnly | kNvmeBackupFailed | kNvmePersistentMemory;

// The drive's own SMART status: passed while no critical-warning bit is set.
inline bool NvmeSmartPassed(const NvmeHealthLog& log) {
    return log.criticalWarning == 0;
}

// Each critical-warning bit and what it says, bits 0 to 5 in order.
struct NvmeWarningName {
    uint8_t bit;
    const char* name;
};
extern const NvmeWarningName kNvmeWarningNames[6];
