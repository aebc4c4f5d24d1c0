// The scan's result: everything read from the drive positions. The window
// scans the four IDE positions (primary master, primary slave, secondary
// master, secondary slave); vantrel-report reads as many physical drives as
// the machine has, up to kMaxDrivePositions.
#pragma once

#include <cstdint>

#include "inventory/block_checks.h"
#include "inventory/smart_driver.h"
#include "inventory/smart_records.h"

enum { kDrivePositions = 4, kMaxDrivePositions = 64, kOpenGapLimit = 8 };

// SMART data bytes 362 to 376: the off-line and self-test state.
enum { kOfflineDataOffset = 362, kOfflineDataLength = 15 };

// What powerModeCount holds where CHECK POWER MODE gave no count.
enum : int16_t { kPowerModeNotAsked = -2, kPowerModeFailed = -1 };

// Words 0 to 127 of IDENTIFY DEVICE, little-endian, with the serial number,
// firmware revision and model number byte-swapped at store time.
struct IdentifyData {
    uint8_t bytes[256];
};

enum : uint16_t {
    kSerialOffset = 20,
    kSerialWidth = 20,
    kFirmwareOffset = 46,
    kFirmwareWidth = 8,
    kModelOffset = 54,
    kModelWidth = 40,
};

// Word n of the block, independent of the host's byte order.
inline uint16_t IdentifyWord(const IdentifyData& data, int word) {
    return static_cast<uint16_t>(data.bytes[2 * word] | (data.bytes[2 * word + 1] << 8));
}

// Two consecutive words, low word first, read as a signed 32-bit value.
inline int32_t IdentifyLong(const IdentifyData& data, int word) {
    uint32_t value =
        IdentifyWord(data, word) | (static_cast<uint32_t>(IdentifyWord(data, word + 1)) << 16);
    return static_cast<int32_t>(value);
}

struct DriveEntry {
    int32_t DriveNumber;  // the position once identified, -1 while empty
    uint32_t Found;
    uint32_t IsPacketDevice;
    uint32_t SmartEnabled;
    IdentifyData Identify;
    IdeRegs IdeRegisters;  // the IDENTIFY command's registers as sent
};

// One SMART attribute: 36 characters of description, the attribute slot and
// the threshold slot of the same index.
struct AttributeRecord {
    char Description[128];
    uint8_t Attribute[12];
    uint8_t Threshold[12];
};

static_assert(sizeof(AttributeRecord) == 152, "AttributeRecord is 152 bytes");

// The SMART logs an ATA drive keeps, as it sent them (inventory/
// smart_logs.h and device_statistics.h decode them): the summary error log,
// the self-test log, the log directory and the Device Statistics pages read
// (0 to statisticsPages - 1).
struct SmartLogBlocks {
    bool hasErrorLog;
    uint8_t errorLog[512];
    bool hasSelfTestLog;
    uint8_t selfTestLog[512];
    bool hasDirectory;
    uint8_t directory[512];
    uint8_t statisticsPages;  // 0 where the log was not read
    uint8_t statistics[kMaxStatisticsPages * 512];
};

// An NVMe drive's data as its driver returned it (inventory/nvme_data.h
// decodes it): Identify Controller, Identify Namespace of namespace 1 when
// it could be read, and the SMART / Health Information log page.
struct NvmeReplies {
    uint8_t controller[4096];
    bool hasNamespace;
    uint8_t nameSpace[4096];
    uint8_t health[512];
    // The Device Self-test log page (06h), read where Identify Controller
    // says the controller has self-tests.
    bool hasSelfTestLog;
    uint8_t selfTestLog[564];
};

enum class SelfTestKind : uint8_t { kShort, kExtended, kConveyance, kAbort };

// What became of a self-test asked for on one drive.
enum class SelfTestStart : uint8_t {
    kNotAsked,         // no self-test asked for, or no drive there
    kStarted,          // sent, and the drive accepted it
    kRefused,          // sent, and the drive or its driver refused it
    kNotOffered,       // the drive offers no such test: nothing sent
    kRunning,          // a self-test runs already: nothing sent
    kNoSmartData,      // its SMART data could not be read: nothing sent
    kUntrustedData,    // its SMART data failed its checks: nothing sent
    kNotOnWindows9x,   // conveyance and abort, which Windows 9x cannot carry
    kNotOnThisSystem,  // an NVMe drive where this build sends it no self-test
};

// What an ATA drive answered SMART RETURN STATUS: kNone where it was not
// asked, refused it, or answered with registers that mean neither.
enum class SelfAssessment : uint8_t { kNone, kPassed, kFailed };

struct NvmeController;

class DriveInventory {
  public:
    DriveInventory();
    virtual ~DriveInventory();

    void ResetInventory();
    void ScanDrives(SmartDriver& driver);

    int OpenSmartVxd(SmartDriver& driver);
    int OpenPhysicalDrive(SmartDriver& driver, int position);

    int GetDriveCount() const;
    bool GetDriveEntry(DriveEntry* entry, int position) const;

    void StoreIdentify(const uint8_t* replyData, const SmartCommandRecord* command,
                       uint8_t commandByte, uint64_t smartMask, int position);
    void StoreAttributes(const uint8_t* attributeData, const uint8_t* thresholdData, int position);

    int GetAttributeCount(int position) const;
    bool GetAttribute(int position, int index, AttributeRecord* record) const;
    // False when the drive's threshold read failed: its records then hold
    // no thresholds, only the zeros the reply buffer started with.
    bool ThresholdsKnown(int position) const;

    char* GetSerialNumber(char* buffer, uint32_t* length, int position) const;
    char* GetFirmwareRevision(char* buffer, uint32_t* length, int position) const;
    char* GetModelName(char* buffer, uint32_t* length, int position, bool withSuffix) const;

    int32_t driveCount;
    DeviceHandle device;
    SmartVersion versions[kMaxDrivePositions];
    DriveEntry entries[kMaxDrivePositions];
    int16_t attributeRevision[kMaxDrivePositions];
    int16_t thresholdRevision[kMaxDrivePositions];
    // The SMART data block's first word whole (attributeRevision keeps its
    // low byte only, as the window shows it).
    uint16_t smartDataRevision[kMaxDrivePositions];
    int32_t attributeCount[kMaxDrivePositions];
    AttributeRecord* attributes[kMaxDrivePositions];
    bool thresholdsUnknown[kMaxDrivePositions];
    // What each whole 512-byte reply's checksum said, checked before only
    // the first 256 bytes of IDENTIFY are kept.
    BlockCheck identifyCheck[kMaxDrivePositions];
    BlockCheck smartDataCheck[kMaxDrivePositions];
    BlockCheck thresholdsCheck[kMaxDrivePositions];
    // Asked for by vantrel-report only: on the NT family, a physical drive
    // that stored no IDENTIFY is asked for NVMe data, kept in nvme[] (its
    // entry stays empty). The window's scan sends the SMART controls alone.
    bool readNvme = false;
    // How many physical drives the NT family's scan opens: the window's four,
    // or up to kMaxDrivePositions for vantrel-report, which then stops after
    // kOpenGapLimit numbers in a row where no disk is (Windows leaves gaps
    // where disks were removed; a disk that is there but refuses the open is
    // no gap). Windows 9x always has four positions.
    int scanPositions = kDrivePositions;
    // Why the NT family's open of a position failed (the seam's error code;
    // 0 where it opened or was not tried). The window has no use for it.
    uint32_t openError[kMaxDrivePositions];
    NvmeReplies* nvme[kMaxDrivePositions];
    // Asked for by vantrel-report only, on the NT family: each opened drive
    // is first asked CHECK POWER MODE, which never spins a disk up, and a
    // disk in standby is sent nothing more unless wakeStandby is set. Its
    // count register is kept (kPowerModeFailed, or kPowerModeNotAsked where
    // the question was not sent), and asleep marks a disk left alone.
    bool readPowerMode = false;
    bool wakeStandby = false;
    int16_t powerModeCount[kMaxDrivePositions];
    bool asleep[kMaxDrivePositions];
    // Asked for by vantrel-report only: after a drive's SMART data, its
    // summary error log and self-test log, each where the drive says it
    // keeps one (logs[] stays null where neither was read).
    bool readLogs = false;
    SmartLogBlocks* logs[kMaxDrivePositions];
    // Asked for by vantrel-report's --device only: the positions chosen are
    // the only ones opened, wherever they are (no gap ends the scan); every
    // other position is left alone as if no disk were there.
    bool chooseDevices = false;
    bool chosen[kMaxDrivePositions];
    // Asked for by vantrel-report only: IDENTIFY's words 128 to 255, which
    // DriveEntry does not keep (the rotation rate, form factor, TRIM and
    // SATA version live there); null where no IDENTIFY DEVICE was stored.
    bool keepUpperIdentify = false;
    IdentifyData* upperIdentify[kMaxDrivePositions];

    // Asked for by vantrel-report's --self-test only: once a drive's SMART
    // data is read, the routine is sent on the same handle, where the drive
    // offers it and no self-test runs (abort goes to a running one). A disk
    // left asleep is sent nothing. Its outcome is kept per position.
    bool startSelfTest = false;
    SelfTestKind selfTestKind = SelfTestKind::kShort;
    // Whether an NVMe drive may be sent its Device Self-test: where the
    // backend carries it (not yet on Windows, whose route for it is another
    // control than the reads').
    bool nvmeSelfTests = false;
    SelfTestStart selfTestStart[kMaxDrivePositions];
    // SMART data bytes 362 to 376 (the off-line and self-test state), kept
    // with readLogs: hasOfflineData is false where no SMART data was read.
    bool hasOfflineData[kMaxDrivePositions];
    uint8_t offlineData[kMaxDrivePositions][kOfflineDataLength];
    // Asked for by vantrel-report only: once a drive's SMART data (and its
    // logs) are read, SMART RETURN STATUS on the same handle. The window's
    // scan never sends it, and a disk left asleep is sent nothing.
    bool readReturnStatus = false;
    SelfAssessment selfAssessment[kMaxDrivePositions];

  private:
    DriveInventory(const DriveInventory&) = delete;
    DriveInventory& operator=(const DriveInventory&) = delete;

    void ScanWindows9x(SmartDriver& driver);
    void ScanWindowsNt(SmartDriver& driver);
    void ReadAttributeTables(SmartDriver& driver, SmartCommandRecord* command, int position);
    void ReadNvmeData(SmartDriver& driver, int position);
    void ReadLogs(SmartDriver& driver, SmartCommandRecord* command, const uint8_t* smartData,
                  int position);
    void StartSelfTest(SmartDriver& driver, SmartCommandRecord* command, int position);
    void AskReturnStatus(SmartDriver& driver, SmartCommandRecord* command, int position);
    void StartNvmeSelfTest(SmartDriver& driver, const NvmeController& identity, int position);
    char* CopyIdentityField(char* buffer, uint32_t* length, int position, uint16_t offset,
                            uint16_t width, uint32_t smallest, uint32_t needed) const;
};

// Names an attribute id, blank-padded to 36 characters.
void NameAttribute(AttributeRecord* record);

void SwapBytePairs(char* text, uint16_t length);
int TrimTrailingSpaces(char* text, uint16_t width);
