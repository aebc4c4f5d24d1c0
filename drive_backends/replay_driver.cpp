#include "drive_backends/replay_driver.h"

#include <cstring>

#include "inventory/drive_inventory.h"

static_assert(static_cast<int>(kDriveBays) == static_cast<int>(kMaxDrivePositions),
              "a bay for every position the scan opens");

ReplayDriver::ReplayDriver(uint32_t platformId)
    : bays_(kDriveBays), platformId_(platformId), captures_(kDriveBays) {}

DriveCapture& ReplayDriver::FitCapture(int position) {
    std::unique_ptr<DriveCapture>& capture = captures_[position];
    if (capture) {
        capture->Clear();
    } else {
        capture.reset(new DriveCapture());
    }
    bays_[position].data = capture.get();
    return *capture;
}

void ReplayDriver::InsertDrive(int position, const DriveCapture& capture) {
    *FitDrive(position) = capture;
}

DriveCapture* ReplayDriver::FitDrive(int position) {
    DriveCapture* capture = &FitCapture(position);
    DriveBay& bay = bays_[position];
    bay.present = true;
    bay.packet = false;
    return capture;
}

uint32_t ReplayDriver::PlatformId() {
    return platformId_;
}

DeviceHandle ReplayDriver::Open(const char* name, uint32_t access, uint32_t, uint32_t,
                                uint32_t* error) {
    const int device = OpenedDevice(bays_.data(), Windows9x(), name ? name : "");
    if (device == kNoDevice) {
        if (error) {
            *error = OpenedDevice(bays_.data(), Windows9x(), name ? name : "", true) == kNoDevice
                         ? kErrorFileNotFound
                         : kErrorAccessDenied;
        }
        return VANTREL_INVALID_DEVICE;
    }
    DeviceHandle handle = reinterpret_cast<DeviceHandle>(nextHandle_);
    nextHandle_ += 4;
    handles_.push_back(OpenDevice{handle, device, access});
    return handle;
}

bool ReplayDriver::HasDevice(int position) {
    const int positions =
        Windows9x() ? static_cast<int>(kDrivePositions) : static_cast<int>(kDriveBays);
    return position >= 0 && position < positions && bays_[position].present;
}

int ReplayDriver::Close(DeviceHandle device) {
    for (size_t i = 0; i < handles_.size(); ++i) {
        if (handles_[i].handle == device) {
            handles_.erase(handles_.begin() + static_cast<ptrdiff_t>(i));
            return 1;
        }
    }
    return 0;
}

int ReplayDriver::IoControl(DeviceHandle device, uint32_t code, const void* input,
                            uint32_t inputLength, void* output, uint32_t outputLength,
                            uint32_t* bytesReturned) {
    uint32_t returned = 0;
    int result = 0;
    for (const OpenDevice& open : handles_) {
        if (open.handle == device) {
            result = AnswerIoControl(bays_.data(), open.position, open.access, code, input,
                                     inputLength, output, outputLength, &returned);
            break;
        }
    }
    if (bytesReturned) {
        *bytesReturned = returned;
    }
    return result;
}
