// A drive's own self-test: which ones it offers, whether one runs now and
// how long each takes, as the SMART data block (bytes 362 to 376) and
// IDENTIFY's feature words say; and the routines vantrel-report may start.
#pragma once

#include <cstdint>
#include <string>

#include "inventory/drive_inventory.h"
#include "inventory/self_test_status.h"

// EXECUTE OFF-LINE IMMEDIATE's routine in LBA 7:0: the off-line (background)
// forms only, never the captive ones (81h to 84h) that hold the drive for
// the whole test. 01h, 02h, 03h, 7Fh.
uint8_t SelfTestRoutine(SelfTestKind kind);

// The NVMe Device Self-test command's code for the routine: 1h short, 2h
// extended, Fh abort; 0 for conveyance, which NVMe does not have.
uint8_t NvmeSelfTestCode(SelfTestKind kind);
// Whether code is one of those codes: the only ones ever sent.
bool IsNvmeSelfTestCode(uint32_t code);

// Whether the SMART data's offline capabilities (byte 367) say the drive
// runs self-tests: bit 4. What the emulated drives honour.
inline bool SmartDataOffersSelfTests(uint8_t capabilities) {
    return (capabilities & 0x10) != 0;
}

// Whether a drive runs self-tests: its SMART data says so, or IDENTIFY
// words 84/87 have bit 1 where valid. The one rule for the scan's log
// reads and the self-test state.
bool OffersSelfTests(uint8_t capabilities, const IdentifyData& identify);

// "short", "extended", "conveyance", "abort".
const char* SelfTestKindName(SelfTestKind kind);

struct AtaSelfTestStatus {
    bool known = false;  // the SMART data was read
    // Byte 363: the last (or current) self-test's execution status in bits
    // 7:4, and while one runs the tenths of it still to do in bits 3:0.
    uint8_t status = 0;
    bool running = false;
    bool passed = false;               // not running, and the last one completed without error
    int remainingPercent = 0;          // while running, 0 to 100
    int reportedRemainingPercent = 0;  // as the drive put it: up to 150
    // Byte 367 bit 0 (EXECUTE OFF-LINE IMMEDIATE), bit 4 or IDENTIFY words
    // 84/87 bit 1 where valid (self-tests), bit 5 (conveyance).
    bool offlineImmediate = false;
    bool selfTests = false;
    bool conveyance = false;
    // The drive's own polling times in minutes: bytes 372, 373 (bytes 375
    // and 376 where 373 is FFh) and 374.
    int shortMinutes = 0;
    int extendedMinutes = 0;
    int conveyanceMinutes = 0;
};

// offline is bytes 362 to 376 of the SMART data; identify the drive's
// IDENTIFY words.
AtaSelfTestStatus DecodeAtaSelfTest(const uint8_t offline[kOfflineDataLength],
                                    const IdentifyData& identify);

// A self-test's share done or still to do, kept within 0 to 100 whatever
// the drive reported.
int ClampPercent(int percent);

// What a drive that lied about its progress reported, beside the clamped
// share shown: " (the drive reported 150% remaining)"; empty where the
// report was within 0 to 100. what is "remaining" or "complete".
std::string ProgressNote(int reported, const char* what);

// Whether the drive offers the routine: every one needs EXECUTE OFF-LINE
// IMMEDIATE and self-tests, conveyance its own bit.
bool AtaOffersSelfTest(const AtaSelfTestStatus& status, SelfTestKind kind);

// The drive's polling time for the routine, 0 where it gives none.
int AtaSelfTestMinutes(const AtaSelfTestStatus& status, SelfTestKind kind);
