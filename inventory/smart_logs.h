// The two records a drive keeps of what actually happened, decoded once:
// the SMART summary error log (log address 01h: the last five errors it
// reported to the host) and the self-test log (06h: the last 21 self-tests
// and their results). Each is one 512-byte block read with SMART READ LOG.
#pragma once

#include <cstdint>

#include "inventory/block_checks.h"
#include "inventory/self_test_status.h"

enum { kLoggedErrors = 5, kSelfTestEntries = 21 };

// One error data structure's completion registers and when it happened.
struct LoggedError {
    uint32_t errorNumber;  // the device's count for the most recent, then one less each
    uint16_t lifetimeHours;
    uint8_t error, count, lbaLow, lbaMid, lbaHigh, device, status;

    uint32_t Lba24() const { return lbaLow | (lbaMid << 8) | (lbaHigh << 16); }
    // The device register's bits 3-0 on top: the whole 28-bit address.
    uint32_t Lba28() const { return Lba24() | (uint32_t(device & 0x0F) << 24); }
    bool Uncorrectable() const { return (error & 0x40) != 0; }  // UNC
};

struct ErrorLog {
    BlockCheck check = BlockCheck::kAbsent;  // kOk only when it passed every check
    uint8_t revision = 0;
    uint16_t count = 0;                       // the errors the device has counted
    int logged = 0;                           // structures in use: at most five
    LoggedError entries[kLoggedErrors] = {};  // most recent first
};

struct SelfTest {
    uint8_t type;    // the sub-command that started it
    uint8_t status;  // high nibble the result, low nibble the tens of per cent left
    uint16_t lifetimeHours;
    uint8_t checkpoint;
    uint32_t lba;  // of the first failure

    uint8_t Result() const { return status >> 4; }
    bool Passed() const { return SelfTestPassed(status); }
    // While it runs, the share still to do as the drive put it.
    int RemainingPercent() const { return SelfTestReportedRemaining(status); }
    // Ran to its end: completed, or failed (3 to 8).
    bool Completed() const { return Result() == 0 || Failed(); }
    bool Failed() const { return Result() >= 3 && Result() <= 8; }
};

struct SelfTestLog {
    BlockCheck check = BlockCheck::kAbsent;
    uint16_t revision = 0;
    int count = 0;                            // entries in use
    int errorCount = 0;                       // entries that failed (status 3 to 8)
    SelfTest entries[kSelfTestEntries] = {};  // most recent first
};

// Decodes a summary error log. It fails (kFailed) on a bad checksum, an
// index above 5, or index 0 with a non-zero error count; the entries are
// then not to be believed.
ErrorLog DecodeErrorLog(const uint8_t* block);

// Decodes a self-test log: from the index backwards, wrapping 1 -> 21, up
// to the first all-zero descriptor. It fails on a bad checksum or an index
// above 21.
SelfTestLog DecodeSelfTestLog(const uint8_t* block);

// "Short offline", "Extended captive", "Vendor (0x40)" ..., written into
// text[kLogNameSize] where it is not a constant.
const char* SelfTestTypeName(uint8_t type, char* text);
// Whether a self-test logged at entryHours ran after a reading taken at
// olderHours and by one taken at newerHours (the drive's power-on hours).
// The log keeps only the low 16 bits of the hours, so the entry is placed
// by its distance from the older reading, modulo 65,536: past 65,535 hours
// a test run five hours later is still five hours later.
bool SelfTestRanBetween(uint16_t entryHours, uint64_t olderHours, uint64_t newerHours);
