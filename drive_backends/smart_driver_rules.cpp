#include "drive_backends/smart_driver_rules.h"

#include <string.h>

#include "inventory/smart_records.h"

namespace {

// What the drivers report in fCapabilities: IDENTIFY, IDENTIFY PACKET and SMART.
const uint32_t kCapabilities = 0x7;

void PutLittleEndian(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

bool Fails(const DriveBay bays[], int position, ScanStep step) {
    return bays[position].failing[static_cast<int>(step)];
}

// The Windows 9x driver is one device for all positions: a step that fails
// at any fitted position fails the device as a whole.
bool AnyFittedFails(const DriveBay bays[], ScanStep step) {
    for (int position = 0; position < kDriveBays; ++position) {
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
        for (int position = 0; position < kDriveBays; ++position) {
            if (bays[position].present) {
                version.bIDEDeviceMap |= static_cast<uint8_t>(1u << position);
                if (bays[position].packet) {
                    version.bIDEDeviceMap |= static_cast<uint8_t>(1u << (position + 4));
                }
            }
        }
    } else {
        if (Fails(bays, devicePosition, ScanStep::kVersion)) {
            return 0;
        }
        version.bIDEDeviceMap = bays[devicePosition].packet ? 0x11 : 0x01;
    }
    memcpy(output, &version, sizeof version);
    *returned = sizeof version;
    return 1;
}

// The data block a command reads, or null when the drive refuses it.
const uint8_t* ReadBlock(const DriveBay& bay, int position, const DriveBay bays[],
                         const IdeRegs& regs, bool smartSignature) {
    if (regs.bCommandReg == kAtaIdentifyDevice && !bay.packet &&
        !Fails(bays, position, ScanStep::kIdentify)) {
        return bay.data.identify;
    }
    if (regs.bCommandReg == kAtaIdentifyPacketDevice && bay.packet &&
        !Fails(bays, position, ScanStep::kIdentify)) {
        return bay.data.identify;
    }
    if (smartSignature && regs.bFeaturesReg == kSmartReadData && !bay.packet &&
        bay.data.hasSmartData && !Fails(bays, position, ScanStep::kReadData)) {
        return bay.data.smartData;
    }
    if (smartSignature && regs.bFeaturesReg == kSmartReadThresholds && !bay.packet &&
        bay.data.hasThresholds && !Fails(bays, position, ScanStep::kReadThresholds)) {
        return bay.data.thresholds;
    }
    return nullptr;
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
    if (position >= kDriveBays || !bays[position].present) {
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
    if (code == kSmartSendDriveCommand) {
        if (!smartSignature || regs.bFeaturesReg != kSmartEnableOperations || bay.packet ||
            !bay.data.hasSmartData || Fails(bays, position, ScanStep::kEnable) ||
            outputLength < kReplyHeadLength) {
            return 0;
        }
    } else {
        if (outputLength < kDataReplyLength) {
            return 0;
        }
        data = ReadBlock(bay, position, bays, regs, smartSignature);
        if (!data) {
            return 0;
        }
    }
    uint8_t* reply = static_cast<uint8_t*>(output);
    memset(reply, 0, kReplyHeadLength);
    if (data) {
        PutLittleEndian(reply, kSectorLength);
        memcpy(reply + kReplyHeadLength, data, kSectorLength);
        *returned = kDataReplyLength;
    } else {
        *returned = kReplyHeadLength;
    }
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

int OpenedDevice(const DriveBay bays[kDriveBays], bool windows9x, const char* name) {
    static const char kSmartVxdName[] = "\\\\.\\SMARTVSD";
    static const char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";
    if (windows9x) {
        const bool opens = strcmp(name, kSmartVxdName) == 0 && SmartVxdOpens(bays);
        return opens ? static_cast<int>(kAllPositions) : static_cast<int>(kNoDevice);
    }
    const size_t prefix = sizeof kPhysicalDrivePrefix - 1;
    if (strncmp(name, kPhysicalDrivePrefix, prefix) != 0 || name[prefix] == '\0' ||
        name[prefix + 1] != '\0') {
        return kNoDevice;
    }
    const int position = name[prefix] - '0';
    return PhysicalDriveOpens(bays, position) ? position : kNoDevice;
}

int AnswerIoControl(const DriveBay bays[kDriveBays], int devicePosition, uint32_t access,
                    uint32_t code, const void* input, uint32_t inputLength, void* output,
                    uint32_t outputLength, uint32_t* returned) {
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
    return 0;
}
