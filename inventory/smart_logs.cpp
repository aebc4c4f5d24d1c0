#include "inventory/smart_logs.h"

#include <cstdio>
#include <cstring>

namespace {

uint16_t Word(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

}  // namespace

ErrorLog DecodeErrorLog(const uint8_t* block) {
    ErrorLog log;
    log.revision = block[0];
    log.count = Word(block + 452);
    const int index = block[1];
    if (CheckSmartBlock(block) != BlockCheck::kOk || index > kLoggedErrors ||
        (index == 0 && log.count != 0)) {
        log.check = BlockCheck::kFailed;
        return log;
    }
    log.check = BlockCheck::kOk;
    log.logged = index == 0 ? 0 : (log.count < kLoggedErrors ? int(log.count) : int(kLoggedErrors));
    for (int i = 0; i < log.logged; ++i) {
        const int slot = (index - 1 - i + kLoggedErrors) % kLoggedErrors;  // wraps 1 -> 5
        const uint8_t* data = block + 2 + 90 * slot + 60;
        LoggedError& entry = log.entries[i];
        entry.errorNumber = static_cast<uint32_t>(log.count - i);
        entry.error = data[1];
        entry.count = data[2];
        entry.lbaLow = data[3];
        entry.lbaMid = data[4];
        entry.lbaHigh = data[5];
        entry.device = data[6];
        entry.status = data[7];
        entry.lifetimeHours = Word(data + 28);
    }
    return log;
}

SelfTestLog DecodeSelfTestLog(const uint8_t* block) {
    SelfTestLog log;
    log.revision = Word(block);
    const int index = block[508];
    if (CheckSmartBlock(block) != BlockCheck::kOk || index > kSelfTestEntries) {
        log.check = BlockCheck::kFailed;
        return log;
    }
    log.check = BlockCheck::kOk;
    for (int i = 0; index != 0 && i < kSelfTestEntries; ++i) {
        const uint8_t* at =
            block + 2 + 24 * ((index - 1 - i + kSelfTestEntries) % kSelfTestEntries);
        static const uint8_t kEmpty[24] = {};
        if (std::memcmp(at, kEmpty, sizeof kEmpty) == 0) {
            break;
        }
        SelfTest& test = log.entries[log.count++];
        test.type = at[0];
        test.status = at[1];
        test.lifetimeHours = Word(at + 2);
        test.checkpoint = at[4];
        test.lba = Word(at + 5) | (static_cast<uint32_t>(Word(at + 7)) << 16);
        log.errorCount += test.Failed() ? 1 : 0;
    }
    return log;
}

const char* SelfTestTypeName(uint8_t type, char* text) {
    static const char* const kKinds[] = {"Short", "Extended", "Conveyance", "Selective"};
    if (type == 0) {
        return "Offline";
    }
    const int kind = (type & 0x7F) - 1;
    if ((type & 0x7F) >= 1 && (type & 0x7F) <= 4) {
        std::snprintf(text, kLogNameSize, "%s %s", kKinds[kind],
                      type & 0x80 ? "captive" : "offline");
    } else {
        std::snprintf(text, kLogNameSize, "Vendor (0x%02x)", type);
    }
    return text;
}

bool SelfTestRanBetween(uint16_t entryHours, uint64_t olderHours, uint64_t newerHours) {
    if (newerHours <= olderHours) {
        return false;
    }
    const uint64_t after = static_cast<uint16_t>(entryHours - static_cast<uint16_t>(olderHours));
    return after >= 1 && after <= newerHours - olderHours;
}
