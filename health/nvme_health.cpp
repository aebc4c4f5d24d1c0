#include "health/nvme_health.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const struct {
    uint8_t bit;
    const char* reason;
} kFailureBits[] = {
    {kNvmeSpareLow, "available spare below its threshold"},
    {kNvmeDegraded, "reliability degraded"},
    {kNvmeReadOnly, "media placed in read-only mode"},
    {kNvmeBackupFailed, "volatile memory backup failed"},
    {kNvmePersistentMemory, "persistent memory region unreliable"},
};

}  // namespace

DriveHealth AssessNvmeHealth(const NvmeHealthLog& log) {
    std::vector<std::string> bad;
    for (const auto& failure : kFailureBits) {
        if (log.criticalWarning & failure.bit) {
            bad.push_back(failure.reason);
        }
    }
    // The drive may not raise bit 0 for a spare it reports below the line.
    if (!(log.criticalWarning & kNvmeSpareLow) && log.spareThreshold != 0 &&
        log.availableSpare < log.spareThreshold) {
        char reason[64];
        std::snprintf(reason, sizeof reason, "available spare %u%% below its threshold %u%%",
                      log.availableSpare, log.spareThreshold);
        bad.push_back(reason);
    }
    std::vector<std::string> caution;
    if (!log.mediaErrors.IsZero()) {
        const bool one = log.mediaErrors.low == 1 && log.mediaErrors.high == 0;
        caution.push_back(log.mediaErrors.Decimal() + (one ? " media and data integrity error"
                                                           : " media and data integrity errors"));
    }
    if (log.criticalWarning & kNvmeTemperature) {
        caution.push_back("temperature beyond a threshold");
    }
    if (log.percentageUsed >= 100) {
        caution.push_back("rated endurance used up (" + std::to_string(log.percentageUsed) + "%)");
    }
    DriveHealth health;
    health.verdict = !bad.empty()       ? HealthVerdict::kBad
                     : !caution.empty() ? HealthVerdict::kCaution
                                        : HealthVerdict::kGood;
    health.reasons = bad;
    health.reasons.insert(health.reasons.end(), caution.begin(), caution.end());
    return health;
}
