#include "drive_backends/emulated_driver.h"

#include <cstring>

#include "inventory/smart_records.h"

namespace {

const char kSmartVxdName[] = "\\\\.\\SMARTVSD";
const char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";

// What the drivers report in fCapabilities: IDENTIFY, IDENTIFY PACKET and SMART.
const uint32_t kCapabilities = 0x7;

void PutLittleEndian(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

EmulatedDriver::EmulatedDriver(uint32_t platformId) : platformId_(platformId) {}

void EmulatedDriver::InsertDrive(int position, const DriveCapture& capture) {
    Drive& drive = drives_[position];
    drive.present = true;
    drive.packet = false;
    drive.data = capture;
}

void EmulatedDriver::InsertPacketDevice(int position, const uint8_t identify[512]) {
    Drive& drive = drives_[position];
    drive.present = true;
    drive.packet = true;
    drive.data = DriveCapture();
    drive.data.hasIdentify = true;
    std::memcpy(drive.data.identify, identify, sizeof drive.data.identify);
}

void EmulatedDriver::RemoveDrive(int position) {
    drives_[position] = Drive();
}

void EmulatedDriver::FailStep(int position, ScanStep step) {
    drives_[position].failing[static_cast<int>(step)] = true;
}

bool EmulatedDriver::Fails(int position, ScanStep step) const {
    return drives_[position].failing[static_cast<int>(step)];
}

// The Windows 9x driver is one device for all positions: a step that fails
// at any fitted position fails the device as a whole.
bool EmulatedDriver::AnyPresentFails(ScanStep step) const {
    for (int position = 0; position < 4; ++position) {
        if (drives_[position].present && Fails(position, step)) {
            return true;
        }
    }
    return false;
}

uint32_t EmulatedDriver::PlatformId() {
    return platformId_;
}

DeviceHandle EmulatedDriver::NewHandle(int position, uint32_t access) {
    DeviceHandle handle = reinterpret_cast<DeviceHandle>(nextHandle_);
    nextHandle_ += 4;
    handles_[handle] = OpenDevice{position, access};
    return handle;
}

DeviceHandle EmulatedDriver::OpenDevice9x(const std::string& name) {
    if (name != kSmartVxdName || AnyPresentFails(ScanStep::kOpen)) {
        return VANTREL_INVALID_DEVICE;
    }
    return NewHandle(-1, 0);
}

DeviceHandle EmulatedDriver::OpenDeviceNt(const std::string& name, uint32_t access) {
    const size_t prefix = sizeof kPhysicalDrivePrefix - 1;
    if (name.size() != prefix + 1 || name.compare(0, prefix, kPhysicalDrivePrefix) != 0) {
        return VANTREL_INVALID_DEVICE;
    }
    const int position = name[prefix] - '0';
    if (position < 0 || position > 3 || !drives_[position].present ||
        Fails(position, ScanStep::kOpen)) {
        return VANTREL_INVALID_DEVICE;
    }
    return NewHandle(position, access);
}

DeviceHandle EmulatedDriver::Open(const char* name, uint32_t access, uint32_t shareMode,
                                  uint32_t disposition) {
    DriverCall call;
    call.kind = DriverCall::kOpen;
    call.name = name ? name : "";
    call.access = access;
    call.shareMode = shareMode;
    call.disposition = disposition;
    call.handle = Windows9x() ? OpenDevice9x(call.name) : OpenDeviceNt(call.name, access);
    call.result = call.handle != VANTREL_INVALID_DEVICE;
    calls_.push_back(call);
    return call.handle;
}

int EmulatedDriver::Close(DeviceHandle device) {
    DriverCall call;
    call.kind = DriverCall::kClose;
    call.handle = device;
    call.result = handles_.erase(device) == 1;
    calls_.push_back(call);
    return call.result;
}

int EmulatedDriver::IoControl(DeviceHandle device, uint32_t code, const void* input,
                              uint32_t inputLength, void* output, uint32_t outputLength,
                              uint32_t* bytesReturned) {
    DriverCall call;
    call.kind = DriverCall::kIoControl;
    call.handle = device;
    call.code = code;
    call.inputLength = inputLength;
    call.outputLength = outputLength;
    if (input && inputLength) {
        const uint8_t* bytes = static_cast<const uint8_t*>(input);
        call.input.assign(bytes, bytes + inputLength);
    }
    uint32_t returned = 0;
    auto open = handles_.find(device);
    if (open == handles_.end() || (outputLength > 0 && output == nullptr)) {
        call.result = 0;
    } else if (code == kSmartGetVersion) {
        call.result = Version(open->second, output, outputLength, &returned);
    } else if (code == kSmartSendDriveCommand || code == kSmartRcvDriveData) {
        call.result = DriveCommand(open->second, code, input, inputLength, output, outputLength,
                                   &returned);
    } else {
        call.result = 0;
    }
    if (bytesReturned) {
        *bytesReturned = returned;
    }
    calls_.push_back(call);
    return call.result;
}

int EmulatedDriver::Version(const OpenDevice& device, void* output, uint32_t outputLength,
                            uint32_t* returned) {
    if (outputLength < sizeof(SmartVersion)) {
        return 0;
    }
    SmartVersion version;
    std::memset(&version, 0, sizeof version);
    version.bVersion = 1;
    version.bRevision = 1;
    version.fCapabilities = kCapabilities;
    if (device.position < 0) {
        if (AnyPresentFails(ScanStep::kVersion)) {
            return 0;
        }
        for (int position = 0; position < 4; ++position) {
            if (drives_[position].present) {
                version.bIDEDeviceMap |= static_cast<uint8_t>(1u << position);
                if (drives_[position].packet) {
                    version.bIDEDeviceMap |= static_cast<uint8_t>(1u << (position + 4));
                }
            }
        }
    } else {
        if (Fails(device.position, ScanStep::kVersion)) {
            return 0;
        }
        version.bIDEDeviceMap = drives_[device.position].packet ? 0x11 : 0x01;
    }
    std::memcpy(output, &version, sizeof version);
    *returned = sizeof version;
    return 1;
}

int EmulatedDriver::DriveCommand(const OpenDevice& device, uint32_t code, const void* input,
                                 uint32_t inputLength, void* output, uint32_t outputLength,
                                 uint32_t* returned) {
    if (input == nullptr || inputLength < kCommandInputLength) {
        return 0;
    }
    SmartCommandRecord command;
    std::memset(&command, 0, sizeof command);
    std::memcpy(&command, input, kCommandInputLength);
    const int position = command.bDriveNumber;
    // The NT disk driver serves only its own drive, and only to a handle
    // opened for reading and writing.
    if (device.position >= 0) {
        const uint32_t readWrite = kGenericRead | kGenericWrite;
        if (position != device.position || (device.access & readWrite) != readWrite) {
            return 0;
        }
    }
    if (position > 3 || !drives_[position].present) {
        return 0;
    }
    const IdeRegs& regs = command.irDriveRegs;
    if (regs.bDriveHeadReg != (0xA0 | ((position & 1) << 4))) {
        return 0;
    }
    const Drive& drive = drives_[position];
    const bool smartSignature = regs.bCommandReg == kAtaSmart && regs.bCylLowReg == kSmartCylLow &&
                                regs.bCylHighReg == kSmartCylHigh;
    const uint8_t* data = nullptr;
    if (code == kSmartSendDriveCommand) {
        if (!smartSignature || regs.bFeaturesReg != kSmartEnableOperations || drive.packet ||
            !drive.data.hasSmartData || Fails(position, ScanStep::kEnable) ||
            outputLength < kReplyHeadLength) {
            return 0;
        }
    } else {
        if (outputLength < kDataReplyLength) {
            return 0;
        }
        if (regs.bCommandReg == kAtaIdentifyDevice && !drive.packet &&
            !Fails(position, ScanStep::kIdentify)) {
            data = drive.data.identify;
        } else if (regs.bCommandReg == kAtaIdentifyPacketDevice && drive.packet &&
                   !Fails(position, ScanStep::kIdentify)) {
            data = drive.data.identify;
        } else if (smartSignature && regs.bFeaturesReg == kSmartReadData && !drive.packet &&
                   drive.data.hasSmartData && !Fails(position, ScanStep::kReadData)) {
            data = drive.data.smartData;
        } else if (smartSignature && regs.bFeaturesReg == kSmartReadThresholds && !drive.packet &&
                   drive.data.hasThresholds && !Fails(position, ScanStep::kReadThresholds)) {
            data = drive.data.thresholds;
        } else {
            return 0;
        }
    }
    uint8_t* reply = static_cast<uint8_t*>(output);
    std::memset(reply, 0, kReplyHeadLength);
    if (data) {
        PutLittleEndian(reply, kSectorLength);
        std::memcpy(reply + kReplyHeadLength, data, kSectorLength);
        *returned = kDataReplyLength;
    } else {
        *returned = kReplyHeadLength;
    }
    return 1;
}
