#include "health/nvme_health.h"

#include <cstdio>
#include <string>
#include <vector>

const NvmeWarningName kNvmeWarningNames[6] = {
    {kNvmeSpareLow, "available spare below its threshold"},
    {kNvmeTemperature, "temperature beyond a threshold"},
    {kNvmeDegraded, "reliability degraded"},
    {kNvmeReadOnly, "media placed in read-only mode"},
    {kNvmeBackupFailed, "volatile memory backup failed"},
    {kNvmePersistentMemory, "persistent memory region unreliable"},
};

std::string NvmeSelfTestSign(const NvmeSelfTestLog& log) {
    for (int i = 0; i < log.count; ++i) {
        const NvmeSelfTestResult& test = log.results[i];
        // Aborted or interrupted: it says nothing about the drive.
        if (test.result != 0x0 && !NvmeSelfTestFailed(test.result)) {
            continue;
        }
        if (test.result == 0x0) {
            return std::string();
        }
        char segment[24] = "";
        if (test.result == 0x7) {
            std::snprintf(segment, sizeof segment, " (segment %u)", test.segment);
        }
        char text[160];
        std::snprintf(text, sizeof text, "last self-test (%s) failed: %s%s, at %llu hours",
                      NvmeSelfTestCodeText(test.code), NvmeSelfTestResultText(test.result), segment,
                      static_cast<unsigned long long>(test.powerOnHours));
        return text;
    }
    return std::string();
}

DriveHealth AssessNvmeHealth(const NvmeHealthLog& log, const NvmeSelfTestLog* selfTests) {
    DriveHealth health;
    std::vector<std::string>& reasons = health.reasons;
    // Every bit but the temperature's is a failure the drive reports.
    for (const NvmeWarningName& warning : kNvmeWarningNames) {
        if (log.criticalWarning & warning.bit & kNvmeFailureBits) {
            reasons.push_back(warning.name);
        }
    }
    char reason[80];
    // The drive may not raise bit 0 for a spare it reports below the line.
    if (!(log.criticalWarning & kNvmeSpareLow) && log.spareThreshold != 0 &&
        log.availableSpare < log.spareThreshold) {
        std::snprintf(reason, sizeof reason, "available spare %u%% below its threshold %u%%",
                      log.availableSpare, log.spareThreshold);
        reasons.push_back(reason);
    }
    if (selfTests) {
        const std::string failed = NvmeSelfTestSign(*selfTests);
        if (!failed.empty()) {
            reasons.push_back(failed);
        }
    }
    const size_t bad = reasons.size();
    if (!log.mediaErrors.IsZero()) {
        char count[NvmeCounter::kDecimalSize];
        log.mediaErrors.Decimal(count);
        const bool one = log.mediaErrors.low == 1 && log.mediaErrors.high == 0;
        std::snprintf(reason, sizeof reason, "%s media and data integrity error%s", count,
                      one ? "" : "s");
        reasons.push_back(reason);
    }
    if (log.criticalWarning & kNvmeTemperature) {
        reasons.push_back(kNvmeWarningNames[1].name);
    }
    if (log.percentageUsed >= 100) {
        std::snprintf(reason, sizeof reason, "rated endurance used up (%u%%)", log.percentageUsed);
        reasons.push_back(reason);
    }
    health.verdict = bad != 0                ? HealthVerdict::kBad
                     : bad != reasons.size() ? HealthVerdict::kCaution
                                             : HealthVerdict::kGood;
    return health;
}
