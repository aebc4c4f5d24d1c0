// The records of the SMART I/O controls, laid out byte for byte as the
// platform's disk I/O header publishes them. They are declared here rather
// than taken from <winioctl.h> so that the scan compiles on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// IDEREGS: the task-file registers of one ATA command.
struct IdeRegs {
    uint8_t bFeaturesReg;
    uint8_t bSectorCountReg;
    uint8_t bSectorNumberReg;
    uint8_t bCylLowReg;
    uint8_t bCylHighReg;
    uint8_t bDriveHeadReg;
    uint8_t bCommandReg;
    uint8_t bReserved;
};

// SENDCMDINPARAMS. Its declared size is 33 (one buffer byte at the end);
// the scan passes only the first 32 bytes.
struct SmartCommandRecord {
    uint32_t cBufferSize;
    IdeRegs irDriveRegs;
    uint8_t bDriveNumber;
    uint8_t bReserved[3];
    uint32_t dwReserved[4];
    uint8_t bBuffer[1];
};

// GETVERSIONINPARAMS, filled by SMART_GET_VERSION.
struct SmartVersion {
    uint8_t bVersion;
    uint8_t bRevision;
    uint8_t bReserved;
    uint8_t bIDEDeviceMap;
    uint32_t fCapabilities;
    uint32_t dwReserved[4];
};

#pragma pack(pop)

static_assert(sizeof(IdeRegs) == 8, "IDEREGS is 8 bytes");
static_assert(sizeof(SmartCommandRecord) == 33, "SENDCMDINPARAMS is 33 bytes");
static_assert(offsetof(SmartCommandRecord, bDriveNumber) == 12, "bDriveNumber at 12");
static_assert(sizeof(SmartVersion) == 24, "GETVERSIONINPARAMS is 24 bytes");

enum : uint32_t {
    kCommandInputLength = 32,  // sizeof(SENDCMDINPARAMS) - 1
    kReplyHeadLength = 16,     // cBufferSize + DRIVERSTATUS
    kSectorLength = 512,       // one data block of IDENTIFY or SMART
    kDataReplyLength = kReplyHeadLength + kSectorLength,
    // The Device Statistics pages read at most: pages 0 to 7 hold every
    // statistic the standard names.
    kMaxStatisticsPages = 8,
    kStatisticsReplyLength = kReplyHeadLength + kMaxStatisticsPages * kSectorLength,
    // SMART RETURN STATUS moves no data: the drivers hand the drive's
    // registers back as an IDEREGS right after the reply's head.
    kReturnStatusReplyLength = kReplyHeadLength + sizeof(IdeRegs),
};

// ATA command and SMART feature values.
enum : uint8_t {
    kAtaSmart = 0xB0,
    kAtaCheckPowerMode = 0xE5,
    kAtaIdentifyDevice = 0xEC,
    kAtaIdentifyPacketDevice = 0xA1,
    kSmartEnableOperations = 0xD8,
    kSmartReadData = 0xD0,
    kSmartReadThresholds = 0xD1,
    kSmartReadLog = 0xD5,
    // SMART EXECUTE OFF-LINE IMMEDIATE: the routine to run is in LBA 7:0
    // (the SMART record's sector number register).
    kSmartExecuteOffline = 0xD4,
    // SMART RETURN STATUS: the drive answers in LBA mid and LBA high (the
    // cylinder registers), C24Fh while no threshold is exceeded, 2CF4h when
    // one is.
    kSmartReturnStatus = 0xDA,
    kLogDirectory = 0x00,  // SMART READ LOG's log addresses
    kSummaryErrorLog = 0x01,
    kDeviceStatisticsLog = 0x04,
    kSelfTestLog = 0x06,
    kSmartCylLow = 0x4F,
    kSmartCylHigh = 0xC2,
    kSmartFailedCylLow = 0xF4,
    kSmartFailedCylHigh = 0x2C,
};
