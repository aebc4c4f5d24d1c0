// The whole-path fuzzer's input: a machine of four drive positions laid out
// in a flat byte string, so that mutations of any byte map to a meaningful
// change of drive data, driver family or failing step.
//
// Layout (a short input reads as if padded with zero bytes; extra bytes
// are ignored):
//   0        platform id as GetVersionExA reports it (low two bits)
//   1 + 2p   position p's kind byte (see below)
//   2 + 2p   position p's failing steps, bit n = ScanStep n
//   9 ...    per position p in order: IDENTIFY, SMART data, thresholds,
//            512 bytes each
// Kind byte: bits 0-1 0 empty, 1 or 3 ATA drive, 2 packet device; bit 2 SMART
// data present; bit 3 thresholds present; bit 4 status present; bit 5 take
// the raw model field from the position in bits 6-7, so that identical
// models, and with them the drive list's suffixes, are common.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/capture.h"
#include "testing/emulated_driver/emulated_driver.h"

enum ScanInputKind : uint8_t {
    kInputEmpty = 0,
    kInputAta = 1,
    kInputPacket = 2,
    kInputKindMask = 0x03,
    kInputHasSmartData = 0x04,
    kInputHasThresholds = 0x08,
    kInputHasStatus = 0x10,
    kInputCopyModel = 0x20,
};

enum : size_t {
    kScanInputHeaderSize = 9,
    kScanInputBlockSize = 512,
    kScanInputSize = kScanInputHeaderSize + 4 * 3 * kScanInputBlockSize,
};

struct ScanInputPosition {
    uint8_t kind = kInputEmpty;
    uint8_t failing = 0;
    DriveCapture capture;  // hasIdentify is ignored: every fitted drive answers IDENTIFY
};

struct ScanInput {
    uint8_t platform = kPlatformWindowsNt;
    ScanInputPosition positions[4];
};

ScanInput DecodeScanInput(const uint8_t* data, size_t size);
std::vector<uint8_t> EncodeScanInput(const ScanInput& input);

// Fits the decoded machine into the emulated driver.
void LoadScanInput(const ScanInput& input, EmulatedDriver* driver);
