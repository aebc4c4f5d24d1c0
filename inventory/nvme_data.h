// What an NVMe drive's three admin data structures say, decoded once: the
// Identify Controller data (CNS 01h), the Identify Namespace data of
// namespace 1 (CNS 00h) and the SMART / Health Information log page (02h).
// Every output reads these values; none reads the bytes again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum : size_t {
    kNvmeIdentifySize = 4096,
    kNvmeHealthLogSize = 512,
};

// A 128-bit little-endian counter of the health log or the capacities.
struct NvmeCounter {
    uint64_t low = 0;
    uint64_t high = 0;

    bool IsZero() const { return low == 0 && high == 0; }
    // Exact, in decimal, however large: up to 39 digits and the NUL.
    enum { kDecimalSize = 40 };
    void Decimal(char (&text)[kDecimalSize]) const;
    // A count of blocks times their size, which can pass 2^64 bytes.
    static NvmeCounter Product(uint64_t count, uint32_t size);
};

struct NvmeController {
    uint16_t pciVendor = 0;            // bytes 0-1
    uint16_t pciSubsystemVendor = 0;   // 2-3
    char serial[21] = {};              // 4-23, trimmed
    char model[41] = {};               // 24-63, trimmed
    char firmware[9] = {};             // 64-71, trimmed
    uint32_t ieeeOui = 0;              // 73-75
    uint16_t controllerId = 0;         // 78-79
    uint32_t version = 0;              // 80-83
    bool selfTests = false;            // OACS (256-257) bit 4: Device Self-test
    uint16_t warningTempKelvin = 0;    // WCTEMP, 266-267; 0 when not reported
    uint16_t criticalTempKelvin = 0;   // CCTEMP, 268-269; 0 when not reported
    uint16_t extendedTestMinutes = 0;  // EDSTT, 316-317
    NvmeCounter totalCapacity;         // 280-295, bytes; 0 when not reported
    NvmeCounter unallocatedCapacity;   // 296-311
    uint32_t namespaces = 0;           // 516-519
};

NvmeController DecodeNvmeController(const uint8_t (&data)[kNvmeIdentifySize]);

// "M.m", "M.m.t" when the tertiary number is not 0, "<1.2" for 0 (controllers
// before 1.2 did not report it).
enum { kNvmeVersionTextSize = 24 };
void NvmeVersionText(uint32_t version, char (&text)[kNvmeVersionTextSize]);

struct NvmeNamespace {
    uint64_t blocks = 0;     // NSZE, bytes 0-7
    uint32_t blockSize = 0;  // 2^LBADS of the format FLBAS selects
};

// False when the data is not a usable namespace: an inactive one answers
// zeros, and no NSZE, an LBADS below 9 or an FLBAS beyond NLBAF says nothing
// that can be trusted either.
bool DecodeNvmeNamespace(const uint8_t (&data)[kNvmeIdentifySize], NvmeNamespace* space);

struct NvmeHealthLog {
    uint8_t criticalWarning = 0;       // byte 0
    uint16_t temperatureKelvin = 0;    // 1-2, the composite temperature
    uint8_t availableSpare = 0;        // 3, per cent
    uint8_t spareThreshold = 0;        // 4, per cent
    uint8_t percentageUsed = 0;        // 5
    NvmeCounter dataUnitsRead;         // 32-47, in thousands of 512-byte blocks
    NvmeCounter dataUnitsWritten;      // 48-63
    NvmeCounter hostReads;             // 64-79
    NvmeCounter hostWrites;            // 80-95
    NvmeCounter busyTime;              // 96-111, minutes
    NvmeCounter powerCycles;           // 112-127
    NvmeCounter powerOnHours;          // 128-143
    NvmeCounter unsafeShutdowns;       // 144-159
    NvmeCounter mediaErrors;           // 160-175
    NvmeCounter errorLogEntries;       // 176-191
    uint32_t warningTempMinutes = 0;   // 192-195
    uint32_t criticalTempMinutes = 0;  // 196-199
    uint16_t sensorKelvin[8] = {};     // 200-215; 0 where there is no sensor
};

NvmeHealthLog DecodeNvmeHealthLog(const uint8_t (&data)[kNvmeHealthLogSize]);

// One result of the Device Self-test log.
struct NvmeSelfTestResult {
    uint8_t code = 0;           // byte 0 bits 7:4: 1h short, 2h extended, Eh vendor
    uint8_t result = 0;         // byte 0 bits 3:0: 0h passed ... Fh unused entry
    uint8_t segment = 0;        // byte 1: the failing segment, where valid
    uint64_t powerOnHours = 0;  // bytes 4-11
    bool hasLba = false;        // byte 2 bit 1
    uint64_t failingLba = 0;    // bytes 16-23
};

// The Device Self-test log page (06h): the test running, and the last 20
// results, newest first.
struct NvmeSelfTestLog {
    uint8_t operation = 0;           // byte 0 bits 3:0: 0h none, 1h short, 2h extended
    uint8_t completion = 0;          // byte 1 bits 6:0, per cent, while one runs; at most 100
    uint8_t reportedCompletion = 0;  // as the drive put it: up to 127
    int count = 0;                   // the results in use
    NvmeSelfTestResult results[20];
};

// A self-test runs now: the current operation is not 0h; it has then
// 100 - completion per cent still to do.
inline bool NvmeSelfTestRunning(const NvmeSelfTestLog& log) {
    return log.operation != 0;
}
inline int NvmeSelfTestRemaining(const NvmeSelfTestLog& log) {
    return NvmeSelfTestRunning(log) ? 100 - log.completion : 0;
}

enum { kNvmeSelfTestLogSize = 564 };
NvmeSelfTestLog DecodeNvmeSelfTestLog(const uint8_t (&data)[kNvmeSelfTestLogSize]);

// "short", "extended", "vendor specific (Eh)" ...
const char* NvmeSelfTestCodeText(uint8_t code);
// "completed without error", "aborted by a Device Self-test command" ...
const char* NvmeSelfTestResultText(uint8_t result);
// A result that says the drive failed it: a fatal error, or failed segments.
inline bool NvmeSelfTestFailed(uint8_t result) {
    return result == 0x5 || result == 0x6 || result == 0x7;
}

// Everything an NVMe drive's replies say: its controller, namespace 1 where
// usable, its health log, its self-test log where read.
struct NvmeDrive {
    NvmeController controller;
    bool hasNamespace = false;
    NvmeNamespace space;
    NvmeHealthLog log;
    bool hasSelfTestLog = false;
    NvmeSelfTestLog selfTests;
};
struct NvmeReplies;
void DecodeNvmeDrive(const NvmeReplies& replies, NvmeDrive* drive);

// Degrees Celsius from the kelvin the drive reports.
inline int Celsius(uint16_t kelvin) {
    return static_cast<int>(kelvin) - 273;
}

// The critical warning's bits.
enum : uint8_t {
    kNvmeSpareLow = 1u << 0,
    kNvmeTemperature = 1u << 1,
    kNvmeDegraded = 1u << 2,
    kNvmeReadOnly = 1u << 3,
    kNvmeBackupFailed = 1u << 4,
    kNvmePersistentMemory = 1u << 5,
};
