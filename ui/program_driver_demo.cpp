// The demo program's machine: the sample drive captures built into the
// executable, answered by the rules every stand-in for the Windows SMART
// drivers follows, as the driver of the family the system reports would
// answer, so that the demo takes the same scan path as the product. Plain
// records only: the emulated driver's call log and containers serve the
// tests and would double the size of a program that ships.
#include "capture/capture_sections.h"
#include "drive_backends/smart_driver_rules.h"
#include "drive_backends/windows_driver.h"
#include "inventory/drive_inventory.h"
#include "resources/resource.h"
#include "ui/globals.h"
#include "ui/program_driver.h"

namespace {

class SampleDrives : public SmartDriver {
  public:
    SampleDrives() : platformId_(WindowsPlatformId()) {
        // The window scans the four positions its sample drives fill.
        for (int position = 0; position < kDrivePositions; ++position) {
            Load(position);
        }
    }

    uint32_t PlatformId() override { return platformId_; }

    DeviceHandle Open(const char* name, uint32_t access, uint32_t, uint32_t,
                      uint32_t* error = nullptr) override {
        const int position = OpenedDevice(bays_, platformId_ == kPlatformWindows9x, name);
        if (position == kNoDevice) {
            if (error) {
                *error = kErrorFileNotFound;
            }
            return VANTREL_INVALID_DEVICE;
        }
        for (int slot = 0; slot < kHandles; ++slot) {
            if (!handles_[slot].open) {
                handles_[slot] = OpenDevice{true, position, access};
                return reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(slot + 1));
            }
        }
        return VANTREL_INVALID_DEVICE;
    }

    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override {
        const OpenDevice* open = Find(device);
        uint32_t returned = 0;
        const int ok = open && AnswerIoControl(bays_, open->position, open->access, code, input,
                                               inputLength, output, outputLength, &returned);
        if (bytesReturned) {
            *bytesReturned = returned;
        }
        return ok;
    }

    int Close(DeviceHandle device) override {
        OpenDevice* open = Find(device);
        if (!open) {
            return 0;
        }
        open->open = false;
        return 1;
    }

  private:
    enum { kHandles = 8 };
    struct OpenDevice {
        bool open;
        int position;  // kAllPositions for SMARTVSD
        uint32_t access;
    };

    OpenDevice* Find(DeviceHandle device) {
        const intptr_t slot = reinterpret_cast<intptr_t>(device) - 1;
        return slot >= 0 && slot < kHandles && handles_[slot].open ? &handles_[slot] : nullptr;
    }

    void Load(int position) {
        HRSRC found = FindResourceA(g_hInstance, MAKEINTRESOURCEA(IDR_SAMPLE_DRIVE_0 + position),
                                    MAKEINTRESOURCEA(10));  // RT_RCDATA
        if (!found) {
            return;  // an empty position
        }
        HGLOBAL loaded = LoadResource(g_hInstance, found);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        CaptureFault fault;
        if (bytes &&
            ReadCaptureSections(static_cast<const uint8_t*>(bytes),
                                SizeofResource(g_hInstance, found), &samples_[position], &fault)) {
            bays_[position].present = true;
            bays_[position].data = &samples_[position];
        }
    }

    uint32_t platformId_;
    DriveBay bays_[kDriveBays];
    DriveCapture samples_[kDrivePositions];  // the sample drives fit the window's positions
    OpenDevice handles_[kHandles] = {};
};

}  // namespace

// On the heap: as a static object, its drive bays' zeros would be written
// into the executable's data.
SmartDriver& ProgramDriver() {
    static SampleDrives* drives = new SampleDrives();
    return *drives;
}
