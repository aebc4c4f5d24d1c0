// An ATA self-test's execution status byte, as the SMART data (byte 363)
// and each self-test log entry carry it: the result in bits 7:4, and while
// a test runs the tenths of it still to do in bits 3:0. Every output that
// reads the byte reads it through these.
#pragma once

#include <cstdint>

// The result Fh: a self-test runs now.
inline bool SelfTestRunning(uint8_t status) {
    return (status >> 4) == 0xF;
}

// The result 0h: the last one completed without error.
inline bool SelfTestPassed(uint8_t status) {
    return (status >> 4) == 0;
}

// The share still to do as the drive put it, where one runs; nibbles above
// Ah read more than all of the test.
inline int SelfTestReportedRemaining(uint8_t status) {
    return SelfTestRunning(status) ? 10 * (status & 0x0F) : 0;
}

// The result in the SMART data's words: "completed without error",
// "in progress" ...
const char* SelfTestStatusText(uint8_t status);

enum { kLogNameSize = 24 };
// The result in the log's words: "Completed without error", ...,
// "Unknown status (0x9)" for the reserved 9 to E, written into
// text[kLogNameSize] where it is not a constant.
const char* SelfTestStatusName(uint8_t status, char* text);

// What a failed test (3 to 8) found, for a reason: "read failure"; empty
// for the other results.
const char* SelfTestFailure(uint8_t status);
