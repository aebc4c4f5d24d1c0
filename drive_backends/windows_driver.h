// The real Windows SMART drivers, through the kernel's own calls.
#pragma once

#include "inventory/smart_driver.h"

// The family GetVersionExA reports for the running system: what the real
// drivers are, and which of them the demo's emulated driver plays.
uint32_t WindowsPlatformId();

class WindowsDriver : public SmartDriver {
  public:
    // selfTests lets the self-test routines through (a run of --self-test
    // alone): see IsPermittedWindowsControl.
    explicit WindowsDriver(bool selfTests = false) : selfTests_(selfTests) {}

    uint32_t PlatformId() override;
    DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                      uint32_t* error = nullptr) override;
    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override;
    int Close(DeviceHandle device) override;
    // Windows 9x's SMARTVSD serves four positions; the NT family holds a
    // PhysicalDriveN name for each disk it has.
    bool HasDevice(int position) override;

  private:
    bool selfTests_;
};
