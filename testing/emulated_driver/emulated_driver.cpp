#include "testing/emulated_driver/emulated_driver.h"

#include <cstring>

void EmulatedDriver::InsertPacketDevice(int position, const uint8_t identify[512]) {
    DriveCapture& capture = FitCapture(position);
    capture.hasIdentify = true;
    std::memcpy(capture.identify, identify, sizeof capture.identify);
    DriveBay& bay = bays_[position];
    bay.present = true;
    bay.packet = true;
}

void EmulatedDriver::RemoveDrive(int position) {
    bays_[position] = DriveBay();
}

void EmulatedDriver::FailStep(int position, ScanStep step) {
    bays_[position].failing[static_cast<int>(step)] = true;
}

DeviceHandle EmulatedDriver::Open(const char* name, uint32_t access, uint32_t shareMode,
                                  uint32_t disposition, uint32_t* error) {
    DriverCall call;
    call.kind = DriverCall::kOpen;
    call.name = name ? name : "";
    call.access = access;
    call.shareMode = shareMode;
    call.disposition = disposition;
    call.handle = ReplayDriver::Open(name, access, shareMode, disposition, error);
    call.result = call.handle != VANTREL_INVALID_DEVICE;
    calls_.push_back(call);
    return call.handle;
}

int EmulatedDriver::Close(DeviceHandle device) {
    DriverCall call;
    call.kind = DriverCall::kClose;
    call.handle = device;
    call.result = ReplayDriver::Close(device);
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
    call.result = ReplayDriver::IoControl(device, code, input, inputLength, output, outputLength,
                                          bytesReturned);
    calls_.push_back(call);
    return call.result;
}
