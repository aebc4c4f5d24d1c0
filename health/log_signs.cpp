#include "health/log_signs.h"

#include <cstdio>

std::string SelfTestSign(const SelfTestLog& log) {
    if (log.check != BlockCheck::kOk) {
        return std::string();
    }
    for (int i = 0; i < log.count; ++i) {
        const SelfTest& test = log.entries[i];
        if (!test.Completed()) {
            continue;
        }
        if (!test.Failed()) {
            return std::string();
        }
        char type[kLogNameSize];
        char lba[32] = "";
        // Only a read failure's LBA means something.
        if (test.Result() == 7) {
            std::snprintf(lba, sizeof lba, " at LBA %lu", static_cast<unsigned long>(test.lba));
        }
        char text[128];
        std::snprintf(text, sizeof text, "last self-test (%s) failed: %s%s, at %u hours",
                      SelfTestTypeName(test.type, type), SelfTestFailure(test.status), lba,
                      static_cast<unsigned>(test.lifetimeHours));
        return text;
    }
    return std::string();
}

std::string ErrorLogSign(const ErrorLog& log) {
    if (log.check != BlockCheck::kOk) {
        return std::string();
    }
    for (int i = 0; i < log.logged; ++i) {
        const LoggedError& error = log.entries[i];
        if (error.Uncorrectable()) {
            char text[128];
            std::snprintf(text, sizeof text,
                          "%u error%s logged, the most recent uncorrectable at LBA %lu (%u hours)",
                          static_cast<unsigned>(log.count), log.count == 1 ? "" : "s",
                          static_cast<unsigned long>(error.Lba28()),
                          static_cast<unsigned>(error.lifetimeHours));
            return text;
        }
    }
    return std::string();
}

void AddLogSigns(const ErrorLog& errors, const SelfTestLog& selfTests, DriveHealth* health) {
    const std::string failed = SelfTestSign(selfTests);
    const std::string uncorrectable = ErrorLogSign(errors);
    if (failed.empty() && uncorrectable.empty()) {
        return;
    }
    if (health->verdict == HealthVerdict::kUnknown) {
        health->reasons.clear();
        health->verdict = HealthVerdict::kGood;
    }
    if (!failed.empty()) {
        health->reasons.push_back(failed);
        health->verdict = HealthVerdict::kBad;
    }
    if (!uncorrectable.empty()) {
        health->reasons.push_back(uncorrectable);
        if (health->verdict == HealthVerdict::kGood) {
            health->verdict = HealthVerdict::kCaution;
        }
    }
}
