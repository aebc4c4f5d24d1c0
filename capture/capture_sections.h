// The capture format itself, read without the standard library's strings,
// containers or exceptions, so that a kernel-mode driver can read the same
// files as the tools do.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Every field zero until read. The constructor clears the record in one
// call: with member initializers, the compilers copy a zeroed template of
// the whole record from the executable's data, which then carries 10 KB of
// zeros for each place that makes one.
struct DriveCapture {
    DriveCapture() { Clear(); }
    // Back to all zeros in place: assigning a fresh record would clear a
    // temporary and copy it over, twice the work for 16 KB.
    void Clear() { memset(static_cast<void*>(this), 0, sizeof *this); }

    bool hasIdentify;
    uint8_t identify[512];  // IDFY: the raw IDENTIFY DEVICE reply
    bool hasStatus;
    uint8_t status[4];  // SMST: SMART RETURN STATUS
    bool hasSmartData;
    uint8_t smartData[512];  // SMDT: SMART READ DATA
    bool hasThresholds;
    uint8_t thresholds[512];  // SMTH: SMART READ ATTRIBUTE THRESHOLDS
    // PWRM: the count register CHECK POWER MODE returned, big-endian, or
    // FFFFFFFFh when the command failed. Without it the drive was active.
    bool hasPowerMode;
    uint8_t powerMode[4];
    bool hasErrorLog;
    uint8_t errorLog[512];  // SMEL: SMART READ LOG of the summary error log (01h)
    bool hasSelfTestLog;
    uint8_t selfTestLog[512];  // SMSL: SMART READ LOG of the self-test log (06h)
    bool hasLogDirectory;
    uint8_t logDirectory[512];  // SLDR: SMART READ LOG of the log directory (00h)
    // DVST: SMART READ LOG of the Device Statistics log (04h), pages 0 to
    // deviceStatisticsPages - 1 as one read returned them.
    bool hasDeviceStatistics;
    uint8_t deviceStatisticsPages;
    uint8_t deviceStatistics[8 * 512];
    // An NVMe drive instead: its Identify Controller data, the Identify
    // Namespace data of namespace 1 (optional) and its SMART / Health
    // Information log page.
    bool hasNvmeController;
    uint8_t nvmeController[4096];  // NVID
    bool hasNvmeNamespace;
    uint8_t nvmeNamespace[4096];  // NVNS
    bool hasNvmeHealth;
    uint8_t nvmeHealth[512];  // NVHL
    // NVST: the Device Self-test log page (06h), where the controller
    // offers self-tests (Identify Controller's OACS bit 4).
    bool hasNvmeSelfTestLog;
    uint8_t nvmeSelfTestLog[564];

    bool IsNvme() const { return hasNvmeController; }
    // What the drive answers CHECK POWER MODE with: false for a failed
    // command, else the count register (FFh, active or idle, without PWRM).
    bool PowerModeCount(uint8_t* count) const {
        const uint32_t value = (uint32_t(powerMode[0]) << 24) | (uint32_t(powerMode[1]) << 16) |
                               (uint32_t(powerMode[2]) << 8) | powerMode[3];
        *count = hasPowerMode ? static_cast<uint8_t>(value) : 0xFF;
        return !hasPowerMode || value != 0xFFFFFFFFu;
    }
    // Gives the capture its PWRM section.
    void SetPowerMode(uint32_t value) {
        hasPowerMode = true;
        for (int i = 0; i < 4; ++i) {
            powerMode[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
        }
    }
};

enum : size_t { kMaxCaptureSize = 64 * 1024 };

// The sections a capture may hold, in the order they are written: the tag,
// the payload's length, its flag and its place in DriveCapture. A section
// of whole 512-byte blocks (blocks set) is 1 to length / 512 of them, and
// keeps its count there.
struct CaptureSection {
    char tag[5];
    uint32_t length;
    bool DriveCapture::*present;
    size_t payload;
    uint8_t DriveCapture::*blocks;

    // The payload's length in this capture.
    uint32_t Length(const DriveCapture& capture) const {
        return blocks ? 512u * (capture.*blocks) : length;
    }
};
enum { kCaptureSectionCount = 13 };
extern const CaptureSection kCaptureSections[kCaptureSectionCount];

// What is wrong with a capture, and where.
struct CaptureFault {
    enum Kind {
        kEmpty,
        kTooLarge,
        kTruncatedHeader,
        kSectionTwice,
        kWrongLength,
        kTruncatedPayload,
        kNoIdentify,
        kNoNvmeIdentify,  // NVMe sections without NVID
        kNoHealthLog,     // NVID without NVHL
        kTwoDrives,       // IDFY and NVMe sections: a capture holds one drive
    } kind = kEmpty;
    size_t offset = 0;
    uint8_t tag[4] = {};    // the section concerned
    uint32_t length = 0;    // its length field
    uint32_t expected = 0;  // kWrongLength: the length of that section
    size_t left = 0;        // kTruncatedPayload: bytes after the header
};

// Fills *capture from a capture held in memory; unknown sections are
// skipped. On failure returns false and describes the first fault found.
bool ReadCaptureSections(const uint8_t* data, size_t size, DriveCapture* capture,
                         CaptureFault* fault);
