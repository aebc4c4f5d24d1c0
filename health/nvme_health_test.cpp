#include "health/nvme_health.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Error-log entries and unsafe shutdowns are set on every log: they are
// counted, never judged.
NvmeHealthLog Log(uint8_t warning, uint8_t spare, uint8_t threshold, uint8_t used,
                  NvmeCounter mediaErrors = {}) {
    NvmeHealthLog log;
    log.errorLogEntries = {5000, 0};
    log.unsafeShutdowns = {300, 0};
    log.criticalWarning = warning;
    log.availableSpare = spare;
    log.spareThreshold = threshold;
    log.percentageUsed = used;
    log.mediaErrors = mediaErrors;
    return log;
}

TEST(NvmeHealthTest, EverySignGivesItsVerdictAndReason) {
    const struct {
        NvmeHealthLog log;
        HealthVerdict verdict;
        std::vector<std::string> reasons;
    } cases[] = {
        {Log(0, 100, 10, 16), HealthVerdict::kGood, {}},
        {Log(0x01, 8, 10, 0), HealthVerdict::kBad, {"available spare below its threshold"}},
        {Log(0x02, 100, 10, 0), HealthVerdict::kCaution, {"temperature beyond a threshold"}},
        {Log(0x04, 100, 10, 0), HealthVerdict::kBad, {"reliability degraded"}},
        {Log(0x08, 100, 10, 0), HealthVerdict::kBad, {"media placed in read-only mode"}},
        {Log(0x10, 100, 10, 0), HealthVerdict::kBad, {"volatile memory backup failed"}},
        {Log(0x20, 100, 10, 0), HealthVerdict::kBad, {"persistent memory region unreliable"}},
        // Bits 6 and 7 are reserved.
        {Log(0xC0, 100, 10, 0), HealthVerdict::kGood, {}},
        // A spare below its threshold that the drive did not flag.
        {Log(0, 8, 10, 0), HealthVerdict::kBad, {"available spare 8% below its threshold 10%"}},
        // A zero threshold: no spare is below it, 0% included.
        {Log(0, 0, 0, 0), HealthVerdict::kGood, {}},
        {Log(0, 100, 10, 0, {1, 0}), HealthVerdict::kCaution, {"1 media and data integrity error"}},
        {Log(0, 100, 10, 0, {12, 0}),
         HealthVerdict::kCaution,
         {"12 media and data integrity errors"}},
        {Log(0, 100, 10, 0, {0, 1}),
         HealthVerdict::kCaution,
         {"18446744073709551616 media and data integrity errors"}},
        {Log(0, 100, 10, 99), HealthVerdict::kGood, {}},
        {Log(0, 100, 10, 104), HealthVerdict::kCaution, {"rated endurance used up (104%)"}},
        // Every sign at once: BAD ones first, each group in its order.
        {Log(0x3F, 5, 10, 255, {3, 0}),
         HealthVerdict::kBad,
         {"available spare below its threshold", "reliability degraded",
          "media placed in read-only mode", "volatile memory backup failed",
          "persistent memory region unreliable", "3 media and data integrity errors",
          "temperature beyond a threshold", "rated endurance used up (255%)"}},
    };
    for (const auto& c : cases) {
        const DriveHealth health = AssessNvmeHealth(c.log);
        EXPECT_EQ(HealthVerdictName(c.verdict), std::string(HealthVerdictName(health.verdict)))
            << int{c.log.criticalWarning};
        EXPECT_EQ(c.reasons, health.reasons) << int{c.log.criticalWarning};
    }
}

}  // namespace
