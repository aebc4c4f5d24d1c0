#include "drive_backends/emulated_driver.h"

#include <cstring>

#include "inventory/drive_inventory.h"

static_assert(static_cast<int>(kDriveBays) == static_cast<int>(kMaxDrivePositions),
              "a bay for every position the scan opens");

EmulatedDriver::EmulatedDriver(uint32_t platformId) : platformId_(platformId), bays_(kDriveBays) {}

void EmulatedDriver::InsertDrive(int position, const DriveCapture& capture) {
    DriveBay& bay = bays_[position];
    bay.present = true;
    bay.packet = false;
    bay.data = capture;
}

void EmulatedDriver::InsertPacketDevice(int position, const uint8_t identify[512]) {
    DriveBay& bay = bays_[position];
    bay.present = true;
    bay.packet = true;
    bay.data = DriveCapture();
    bay.data.hasIdentify = true;
    std::memcpy(bay.data.identify, identify, sizeof bay.data.identify);
}

void EmulatedDriver::RemoveDrive(int position) {
    bays_[position] = DriveBay();
}

void EmulatedDriver::FailStep(int position, ScanStep step) {
    bays_[position].failing[static_cast<int>(step)] = true;
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

DeviceHandle EmulatedDriver::Open(const char* name, uint32_t access, uint32_t shareMode,
                                  uint32_t disposition) {
    DriverCall call;
    call.kind = DriverCall::kOpen;
    call.name = name ? name : "";
    call.access = access;
    call.shareMode = shareMode;
    call.disposition = disposition;
    const int device = OpenedDevice(bays_.data(), Windows9x(), call.name.c_str());
    call.handle = device == kNoDevice ? VANTREL_INVALID_DEVICE : NewHandle(device, access);
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
    call.result = open != handles_.end() &&
                  AnswerIoControl(bays_.data(), open->second.position, open->second.access, code,
                                  input, inputLength, output, outputLength, &returned);
    if (bytesReturned) {
        *bytesReturned = returned;
    }
    calls_.push_back(call);
    return call.result;
}
