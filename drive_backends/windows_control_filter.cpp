#include "drive_backends/windows_control_filter.h"

#include <cstring>

#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"
#include "inventory/smart_driver.h"
#include "inventory/smart_records.h"

namespace {

// One SMART record the scan sends (inventory/smart_channel.cpp). The sector
// number is 1 but for READ LOG, where it is the log address, and EXECUTE
// OFF-LINE IMMEDIATE, where it is the routine; the sector count is 1 but for
// the Device Statistics read, 1 to mostSectors pages at once; cBufferSize
// is blockLength for every sector counted, 0 for a command without data.
struct SmartRow {
    uint32_t code;
    uint8_t command;
    uint8_t feature;  // the SMART sub-command; 0 for IDENTIFY
    uint8_t sectorNumber;
    uint8_t mostSectors;
    uint32_t blockLength;
    bool selfTestsOnly;  // sent only in a run of --self-test
};

// The reads, SMART ENABLE OPERATIONS and RETURN STATUS, and the two self-test routines that
// Windows' disk driver carries through SMART_SEND_DRIVE_COMMAND (conveyance
// and abort go through the ATA pass-through).
const SmartRow kSmartRows[] = {
    {kSmartRcvDriveData, kAtaIdentifyDevice, 0, 1, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaIdentifyPacketDevice, 0, 1, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadData, 1, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadThresholds, 1, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadLog, kSummaryErrorLog, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadLog, kSelfTestLog, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadLog, kLogDirectory, 1, kSectorLength, false},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadLog, kDeviceStatisticsLog, kMaxStatisticsPages,
     kSectorLength, false},
    {kSmartSendDriveCommand, kAtaSmart, kSmartEnableOperations, 1, 1, 0, false},
    {kSmartSendDriveCommand, kAtaSmart, kSmartReturnStatus, 1, 1, 0, false},
    {kSmartSendDriveCommand, kAtaSmart, kSmartExecuteOffline, 0x01, 1, 0, true},
    {kSmartSendDriveCommand, kAtaSmart, kSmartExecuteOffline, 0x02, 1, 0, true},
};

// Whether the record is that row's, on that control, in this run: every
// register a drive acts on is compared, so no other value gets through.
bool Matches(const SmartRow& row, uint32_t code, const SmartCommandRecord& record, bool selfTests) {
    const IdeRegs& regs = record.irDriveRegs;
    const uint32_t count = regs.bSectorCountReg;
    // IDENTIFY leaves the cylinder registers zero; SMART needs its signature.
    const bool smart = row.command == kAtaSmart;
    return code == row.code && (selfTests || !row.selfTestsOnly) &&
           regs.bCommandReg == row.command && regs.bFeaturesReg == row.feature &&
           regs.bSectorNumberReg == row.sectorNumber && count >= 1 && count <= row.mostSectors &&
           record.cBufferSize == count * row.blockLength &&
           regs.bCylLowReg == (smart ? kSmartCylLow : 0) &&
           regs.bCylHighReg == (smart ? kSmartCylHigh : 0);
}

// The 32 bytes the scan passes of a SENDCMDINPARAMS: a row's registers, the
// drive/head register that the drive number selects (master or slave by
// its low bit), and the reserved bytes as the zeroed record left them.
bool IsPermittedSmartRecord(uint32_t code, const void* input, uint32_t inputLength,
                            bool selfTests) {
    if (input == nullptr || inputLength != kCommandInputLength) {
        return false;
    }
    SmartCommandRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, input, kCommandInputLength);
    SmartCommandRecord zero;
    std::memset(&zero, 0, sizeof zero);
    const uint8_t driveHead = static_cast<uint8_t>(0xA0 | ((record.bDriveNumber & 1) << 4));
    if (record.irDriveRegs.bDriveHeadReg != driveHead || record.irDriveRegs.bReserved != 0 ||
        std::memcmp(record.bReserved, zero.bReserved, sizeof zero.bReserved) != 0 ||
        std::memcmp(record.dwReserved, zero.dwReserved, sizeof zero.dwReserved) != 0) {
        return false;
    }
    for (const SmartRow& row : kSmartRows) {
        if (Matches(row, code, record, selfTests)) {
            return true;
        }
    }
    return false;
}

// The NVMe property queries of a scan, in its order (inventory/nvme_query.h).
NvmeQuery (*const kNvmeQueries[])() = {IdentifyControllerQuery, IdentifyNamespaceQuery,
                                       HealthLogQuery, SelfTestLogQuery};
enum : uint32_t { kLongestNvmeData = 4096 };

// One of those queries, byte for byte as BuildNvmeQuery lays it out, data
// part zeroed, in a buffer of exactly its length.
bool IsScanNvmeQuery(const void* input, uint32_t inputLength) {
    if (input == nullptr) {
        return false;
    }
    for (NvmeQuery (*const made)() : kNvmeQueries) {
        const NvmeQuery query = made();
        if (query.length > kLongestNvmeData || inputLength != kProtocolDataStart + query.length) {
            continue;
        }
        uint8_t expected[kProtocolDataStart + kLongestNvmeData];
        BuildNvmeQuery(query, expected);
        if (std::memcmp(input, expected, inputLength) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsPermittedWindowsControl(uint32_t code, const void* input, uint32_t inputLength,
                               bool selfTests) {
    switch (code) {
        case kSmartGetVersion:
            return inputLength == 0;
        case kSmartRcvDriveData:
        case kSmartSendDriveCommand:
            return IsPermittedSmartRecord(code, input, inputLength, selfTests);
        case kAtaPassThroughControl: {
            // The filter runs in the caller's own process, so the record is
            // in this build's layout; the other bitness's is refused.
            uint8_t routine = 0;
            return IsCheckPowerModeRecord(input, inputLength, CallerBits::kNative) ||
                   (selfTests && SelfTestLayout(input, inputLength, CallerBits::kNative, &routine));
        }
        case kStorageQueryProperty:
            return IsScanNvmeQuery(input, inputLength);
        default:
            // IOCTL_STORAGE_PROTOCOL_COMMAND among them: an NVMe drive's
            // Device Self-test is not sent on Windows yet.
            return false;
    }
}
