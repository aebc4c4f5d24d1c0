#include "drive_backends/smart_driver_rules.h"

#include <string.h>

#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"
#include "inventory/self_test.h"
#include "inventory/smart_records.h"

namespace {

// What the drivers report in fCapabilities: IDENTIFY, IDENTIFY PACKET and SMART.
const uint32_t kCapabilities = 0x7;

bool IsNvmeBay(const DriveBay& bay) {
    return bay.data != nullptr && bay.data->IsNvme();
}

bool Fails(const DriveBay bays[], int position, ScanStep step) {
    return bays[position].failing[static_cast<int>(step)];
}

// The Windows 9x driver is one device for all positions: a step that fails
// at any fitted position fails the device as a whole.
bool AnyFittedFails(const DriveBay bays[], ScanStep step) {
    for (int position = 0; position < kSmartVxdBays; ++position) {
        if (bays[position].present && Fails(bays, position, step)) {
            return true;
        }
    }
    return false;
}

int Version(const DriveBay bays[], int devicePosition, void* output, uint32_t outputLength,
            uint32_t* returned) {
    if (outputLength < sizeof(SmartVersion)) {
        return 0;
    }
    SmartVersion version;
    memset(&version, 0, sizeof version);
    version.bVersion = 1;
    version.bRevision = 1;
    version.fCapabilities = kCapabilities;
    if (devicePosition == kAllPositions) {
        if (AnyFittedFails(bays, ScanStep::kVersion)) {
            return 0;
        }
        for (int position = 0; position < kSmartVxdBays; ++position) {
            if (bays[position].present && !IsNvmeBay(bays[position])) {
                version.bIDEDeviceMap |= static_cast<uint8_t>(1u << position);
                if (bays[position].packet) {
                    version.bIDEDeviceMap |= static_cast<uint8_t>(1u << (position + 4));
                }
            }
        }
    } else {
        // The NVMe driver answers none of the SMART controls.
        if (Fails(bays, devicePosition, ScanStep::kVersion) || IsNvmeBay(bays[devicePosition])) {
            return 0;
        }
        version.bIDEDeviceMap = bays[devicePosition].packet ? 0x11 : 0x01;
    }
    memcpy(output, &version, sizeof version);
    *returned = sizeof version;
    return 1;
}

// The data a command reads, *blocks 512-byte blocks of it (one but for the
// Device Statistics pages), or null when the drive refuses it.
const uint8_t* ReadBlock(const DriveBay& bay, int position, const DriveBay bays[],
                         const IdeRegs& regs, bool smartSignature, uint32_t* blocks) {
    *blocks = 1;
    if (regs.bCommandReg == kAtaIdentifyDevice && !bay.packet &&
        !Fails(bays, position, ScanStep::kIdentify)) {
        return bay.data->identify;
    }
    if (regs.bCommandReg == kAtaIdentifyPacketDevice && bay.packet &&
        !Fails(bays, position, ScanStep::kIdentify)) {
        return bay.data->identify;
    }
    if (smartSignature && regs.bFeaturesReg == kSmartReadData && !bay.packet &&
        bay.data->hasSmartData && !Fails(bays, position, ScanStep::kReadData)) {
        return bay.data->smartData;
    }
    if (smartSignature && regs.bFeaturesReg == kSmartReadThresholds && !bay.packet &&
        bay.data->hasThresholds && !Fails(bays, position, ScanStep::kReadThresholds)) {
        return bay.data->thresholds;
    }
    // SMART READ LOG of the two logs a capture may hold.
    if (smartSignature && regs.bFeaturesReg == kSmartReadLog && !bay.packet) {
        if (regs.bSectorNumberReg == kSummaryErrorLog && bay.data->hasErrorLog) {
            return bay.data->errorLog;
        }
        if (regs.bSectorNumberReg == kSelfTestLog && bay.data->hasSelfTestLog) {
            return bay.data->selfTestLog;
        }
        if (regs.bSectorNumberReg == kLogDirectory && regs.bSectorCountReg == 1 &&
            bay.data->hasLogDirectory) {
            return bay.data->logDirectory;
        }
        // Pages 0 to count - 1, of those the capture holds.
        if (regs.bSectorNumberReg == kDeviceStatisticsLog && bay.data->hasDeviceStatistics &&
            regs.bSectorCountReg >= 1 && regs.bSectorCountReg <= bay.data->deviceStatisticsPages) {
            *blocks = regs.bSectorCountReg;
            return bay.data->deviceStatistics;
        }
    }
    return nullptr;
}

// Whether the captured drive runs a self-test routine, as its SMART data
// says: EXECUTE OFF-LINE IMMEDIATE (byte 367 bit 0) for all, self-tests
// (bit 4, the product's own rule for the SMART data) for every routine but
// 00h, conveyance (bit 5) for 03h. A drive refuses the rest with ABORTED:
// IDENTIFY's words 84/87, which the product also believes, are a claim the
// drive itself need not honour.
bool OffersRoutine(const DriveCapture& drive, uint8_t routine) {
    const uint8_t capabilities = drive.smartData[367];
    if (!drive.hasSmartData || (capabilities & 0x01) == 0) {
        return false;
    }
    if (routine == 0x00) {
        return true;
    }
    if (!SmartDataOffersSelfTests(capabilities)) {
        return false;
    }
    return routine == 0x01 || routine == 0x02 || routine == 0x7F ||
           (routine == 0x03 && (capabilities & 0x20) != 0);
}

// DRIVERSTATUS as a SMART reply carries it: bDriverError (1, SMART_IDE_ERROR,
// where the drive refused) and bIDEError (the drive's error register).
const uint8_t kSmartIdeError = 1;

// The drivers' reply to SMART RETURN STATUS: the head, counting the
// IDEREGS that follow it, and the drive's registers, its answer in the
// cylinder registers.
int AnswerReturnStatus(bool passed, void* output, uint32_t* returned) {
    uint8_t* reply = static_cast<uint8_t*>(output);
    memset(reply, 0, kReturnStatusReplyLength);
    PutWord32(reply, sizeof(IdeRegs));
    IdeRegs regs;
    memset(&regs, 0, sizeof regs);
    regs.bCylLowReg = passed ? kSmartCylLow : kSmartFailedCylLow;
    regs.bCylHighReg = passed ? kSmartCylHigh : kSmartFailedCylHigh;
    regs.bCommandReg = kAtaStatusDriveReady;
    memcpy(reply + kReplyHeadLength, &regs, sizeof regs);
    *returned = kReturnStatusReplyLength;
    return 1;
}

int DriveCommand(const DriveBay bays[], int devicePosition, uint32_t access, uint32_t code,
                 const void* input, uint32_t inputLength, void* output, uint32_t outputLength,
                 uint32_t* returned) {
    if (input == nullptr || inputLength < kCommandInputLength) {
        return 0;
    }
    SmartCommandRecord command;
    memset(&command, 0, sizeof command);
    memcpy(&command, input, kCommandInputLength);
    const int position = command.bDriveNumber;
    // The NT disk driver serves only its own drive, and only to a handle
    // opened for reading and writing.
    if (devicePosition != kAllPositions) {
        const uint32_t readWrite = kGenericRead | kGenericWrite;
        if (position != devicePosition || (access & readWrite) != readWrite) {
            return 0;
        }
    }
    const int bayCount = devicePosition == kAllPositions ? kSmartVxdBays : kDriveBays;
    if (position >= bayCount || !bays[position].present || IsNvmeBay(bays[position])) {
        return 0;
    }
    const IdeRegs& regs = command.irDriveRegs;
    if (regs.bDriveHeadReg != (0xA0 | ((position & 1) << 4))) {
        return 0;
    }
    const DriveBay& bay = bays[position];
    const bool smartSignature = regs.bCommandReg == kAtaSmart && regs.bCylLowReg == kSmartCylLow &&
                                regs.bCylHighReg == kSmartCylHigh;
    const uint8_t* data = nullptr;
    uint32_t blocks = 1;
    bool refused = false;
    if (code == kSmartSendDriveCommand && smartSignature &&
        regs.bFeaturesReg == kSmartExecuteOffline) {
        // Windows' disk driver passes routines 00h to 02h alone this way;
        // the drive answers the rest.
        if (regs.bSectorNumberReg > 0x02 || bay.packet || outputLength < kReplyHeadLength) {
            return 0;
        }
        refused = !OffersRoutine(*bay.data, regs.bSectorNumberReg);
    } else if (code == kSmartSendDriveCommand && smartSignature &&
               regs.bFeaturesReg == kSmartReturnStatus) {
        // The capture's SMST: 1 passed, 0 failed. Without it the drive
        // gives no answer.
        const uint8_t* status = bay.data->status;
        const bool known = bay.data->hasStatus && status[0] == 0 && status[1] == 0 &&
                           status[2] == 0 && status[3] <= 1;
        if (!known || bay.packet || outputLength < kReturnStatusReplyLength) {
            return 0;
        }
        return AnswerReturnStatus(status[3] == 1, output, returned);
    } else if (code == kSmartSendDriveCommand) {
        if (!smartSignature || regs.bFeaturesReg != kSmartEnableOperations || bay.packet ||
            !bay.data->hasSmartData || Fails(bays, position, ScanStep::kEnable) ||
            outputLength < kReplyHeadLength) {
            return 0;
        }
    } else {
        data = ReadBlock(bay, position, bays, regs, smartSignature, &blocks);
        if (!data || outputLength < kReplyHeadLength + blocks * kSectorLength) {
            return 0;
        }
    }
    uint8_t* reply = static_cast<uint8_t*>(output);
    memset(reply, 0, kReplyHeadLength);
    if (refused) {
        reply[4] = kSmartIdeError;
        reply[5] = kAtaErrorAborted;
    }
    if (data) {
        PutWord32(reply, blocks * kSectorLength);
        memcpy(reply + kReplyHeadLength, data, blocks * kSectorLength);
        *returned = kReplyHeadLength + blocks * kSectorLength;
    } else {
        *returned = kReplyHeadLength;
    }
    return 1;
}

// IOCTL_STORAGE_QUERY_PROPERTY on an NVMe drive's physical drive: Identify
// Controller and the health log through the adapter property, Identify
// Namespace of namespace 1 through the device property. Any access will do,
// as the control code asks for none.
int NvmeQueryAnswer(const DriveBay bays[], int devicePosition, const void* input,
                    uint32_t inputLength, void* output, uint32_t outputLength, uint32_t* returned) {
    NvmeQuery query;
    if (devicePosition < 0 || devicePosition >= kDriveBays || !bays[devicePosition].present ||
        !IsNvmeBay(bays[devicePosition]) ||
        !ReadNvmeQuery(static_cast<const uint8_t*>(input), inputLength, &query)) {
        return 0;
    }
    const DriveCapture& drive = *bays[devicePosition].data;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (query.propertyId == kAdapterProtocolSpecificProperty &&
        query.dataType == kNvmeDataTypeIdentify && query.requestValue == kNvmeIdentifyController) {
        data = drive.nvmeController;
        size = sizeof drive.nvmeController;
    } else if (query.propertyId == kDeviceProtocolSpecificProperty &&
               query.dataType == kNvmeDataTypeIdentify &&
               query.requestValue == kNvmeIdentifyNamespace && query.requestSubValue == 1 &&
               drive.hasNvmeNamespace) {
        data = drive.nvmeNamespace;
        size = sizeof drive.nvmeNamespace;
    } else if (query.propertyId == kAdapterProtocolSpecificProperty &&
               query.dataType == kNvmeDataTypeLogPage && query.requestValue == kNvmeHealthLogPage) {
        data = drive.nvmeHealth;
        size = sizeof drive.nvmeHealth;
    } else if (query.propertyId == kAdapterProtocolSpecificProperty &&
               query.dataType == kNvmeDataTypeLogPage &&
               query.requestValue == kNvmeSelfTestLogPage && drive.hasNvmeSelfTestLog) {
        data = drive.nvmeSelfTestLog;
        size = sizeof drive.nvmeSelfTestLog;
    }
    if (!data || query.length < size || outputLength < kProtocolDataStart + size) {
        return 0;
    }
    uint8_t* reply = static_cast<uint8_t*>(output);
    memset(reply, 0, kProtocolDataStart);
    // STORAGE_PROTOCOL_DATA_DESCRIPTOR: Version and Size are its own size.
    PutWord32(reply, kProtocolDataStart);
    PutWord32(reply + 4, kProtocolDataStart);
    PutProtocolRecord(reply + kProtocolRecordOffset, query, size);
    memcpy(reply + kProtocolDataStart, data, size);
    *returned = kProtocolDataStart + size;
    return 1;
}

// IOCTL_STORAGE_PROTOCOL_COMMAND with the Device Self-test, on an NVMe
// drive's physical drive opened for reading and writing: the record comes
// back with its status, success where Identify Controller's OACS bit 4 says
// the controller has self-tests.
int NvmeSelfTestAnswer(const DriveBay bays[], int devicePosition, uint32_t access,
                       const void* input, uint32_t inputLength, void* output, uint32_t outputLength,
                       uint32_t* returned) {
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    if (devicePosition < 0 || devicePosition >= kDriveBays || !bays[devicePosition].present ||
        !IsNvmeBay(bays[devicePosition]) || (access & readWrite) != readWrite ||
        NvmeSelfTestCommandCode(input, inputLength) == 0 || outputLength < kProtocolCommandLength) {
        return 0;
    }
    const uint8_t* controller = bays[devicePosition].data->nvmeController;
    const bool offered = (controller[256] & 0x10) != 0;
    memcpy(output, input, kProtocolCommandLength);
    PutWord32(static_cast<uint8_t*>(output) + kProtocolCommandReturnStatus,
              offered ? kProtocolStatusSuccess : kProtocolStatusError);
    *returned = kProtocolCommandLength;
    return 1;
}

// IOCTL_ATA_PASS_THROUGH on an ATA drive's physical drive, which only the
// NT family has: CHECK POWER MODE alone, answered from the capture's PWRM,
// to a handle opened for reading and writing (the control code asks both),
// in the caller's own layout of the record.
int PowerModeAnswer(const DriveBay bays[], int devicePosition, uint32_t access, CallerBits caller,
                    const void* input, uint32_t inputLength, void* output, uint32_t outputLength,
                    uint32_t* returned) {
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    uint8_t count = 0;
    uint8_t routine = 0;
    const uint32_t layout = CheckPowerModeLayout(input, inputLength, caller);
    const uint32_t selfTest =
        layout == 0 ? SelfTestLayout(input, inputLength, caller, &routine) : 0;
    if (devicePosition < 0 || devicePosition >= kDriveBays || !bays[devicePosition].present ||
        IsNvmeBay(bays[devicePosition]) || (access & readWrite) != readWrite ||
        (layout == 0 && (selfTest == 0 || bays[devicePosition].packet)) ||
        outputLength < layout + selfTest) {
        return 0;
    }
    // Conveyance and abort: the drive's registers come back either way.
    if (selfTest != 0) {
        *returned = AnswerSelfTest(input, selfTest,
                                   OffersRoutine(*bays[devicePosition].data, routine), output);
        return 1;
    }
    if (!bays[devicePosition].data->PowerModeCount(&count)) {
        return 0;
    }
    *returned = AnswerCheckPowerMode(input, layout, count, output);
    return 1;
}

}  // namespace

bool SmartVxdOpens(const DriveBay bays[kDriveBays]) {
    return !AnyFittedFails(bays, ScanStep::kOpen);
}

bool PhysicalDriveOpens(const DriveBay bays[kDriveBays], int position) {
    return position >= 0 && position < kDriveBays && bays[position].present &&
           !Fails(bays, position, ScanStep::kOpen);
}

int OpenedDevice(const DriveBay bays[kDriveBays], bool windows9x, const char* name,
                 bool presentIsEnough) {
    static const char kSmartVxdName[] = "\\\\.\\SMARTVSD";
    static const char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";
    if (windows9x) {
        const bool opens =
            strcmp(name, kSmartVxdName) == 0 && (presentIsEnough || SmartVxdOpens(bays));
        return opens ? static_cast<int>(kAllPositions) : static_cast<int>(kNoDevice);
    }
    const size_t prefix = sizeof kPhysicalDrivePrefix - 1;
    if (strncmp(name, kPhysicalDrivePrefix, prefix) != 0) {
        return kNoDevice;
    }
    // The drive number in decimal, as Windows names it: no sign, no leading
    // zero, no more digits than the last bay needs.
    const char* digits = name + prefix;
    int position = 0;
    size_t count = 0;
    for (; digits[count] >= '0' && digits[count] <= '9' && count < 3; ++count) {
        position = 10 * position + (digits[count] - '0');
    }
    if (count == 0 || digits[count] != '\0' || (count > 1 && digits[0] == '0')) {
        return kNoDevice;
    }
    const bool opens = presentIsEnough ? position < kDriveBays && bays[position].present
                                       : PhysicalDriveOpens(bays, position);
    return opens ? position : kNoDevice;
}

int AnswerIoControl(const DriveBay bays[kDriveBays], int devicePosition, uint32_t access,
                    uint32_t code, const void* input, uint32_t inputLength, void* output,
                    uint32_t outputLength, uint32_t* returned, CallerBits caller) {
    if (outputLength > 0 && output == nullptr) {
        return 0;
    }
    if (code == kSmartGetVersion) {
        return Version(bays, devicePosition, output, outputLength, returned);
    }
    if (code == kSmartSendDriveCommand || code == kSmartRcvDriveData) {
        return DriveCommand(bays, devicePosition, access, code, input, inputLength, output,
                            outputLength, returned);
    }
    if (code == kAtaPassThroughControl) {
        return PowerModeAnswer(bays, devicePosition, access, caller, input, inputLength, output,
                               outputLength, returned);
    }
    if (code == kStorageProtocolCommand) {
        return NvmeSelfTestAnswer(bays, devicePosition, access, input, inputLength, output,
                                  outputLength, returned);
    }
    if (code == kStorageQueryProperty) {
        return NvmeQueryAnswer(bays, devicePosition, input, inputLength, output, outputLength,
                               returned);
    }
    return 0;
}
