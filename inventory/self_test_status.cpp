#include "inventory/self_test_status.h"

#include <cstdio>

namespace {

// Bits 7:4 as ATA/ACS defines them, in the three wordings the outputs use:
// the SMART data's state, the log's entries, and a failure's cause.
struct StatusWords {
    const char* text;     // the SMART data's self-test state
    const char* name;     // a log entry; null for the reserved results
    const char* failure;  // a failed test's cause; empty where it did not fail
};

const StatusWords kStatusWords[16] = {
    {"completed without error", "Completed without error", ""},
    {"aborted by the host", "Aborted by host", ""},
    {"interrupted by the host with a reset", "Interrupted (host reset)", ""},
    {"a fatal or unknown error kept it from completing", "Fatal or unknown error",
     "fatal or unknown error"},
    {"completed with a failed element of unknown kind", "Completed: unknown failure",
     "unknown failure"},
    {"completed with its electrical element failed", "Completed: electrical failure",
     "electrical failure"},
    {"completed with its servo (seek) element failed", "Completed: servo/seek failure",
     "servo/seek failure"},
    {"completed with its read element failed", "Completed: read failure", "read failure"},
    {"completed with handling damage suspected", "Completed: handling damage??", "handling damage"},
    {"reserved (9)", nullptr, ""},
    {"reserved (10)", nullptr, ""},
    {"reserved (11)", nullptr, ""},
    {"reserved (12)", nullptr, ""},
    {"reserved (13)", nullptr, ""},
    {"reserved (14)", nullptr, ""},
    {"in progress", "Self-test routine in progress", ""},
};

}  // namespace

const char* SelfTestStatusText(uint8_t status) {
    return kStatusWords[status >> 4].text;
}

const char* SelfTestStatusName(uint8_t status, char* text) {
    const char* name = kStatusWords[status >> 4].name;
    if (name) {
        return name;
    }
    std::snprintf(text, kLogNameSize, "Unknown status (0x%x)", status >> 4);
    return text;
}

const char* SelfTestFailure(uint8_t status) {
    return kStatusWords[status >> 4].failure;
}
