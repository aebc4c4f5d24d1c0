// A software model of both Windows SMART drivers, holding up to 64 drives
// (four on Windows 9x) filled from captures. It answers the driver seam
// exactly as the Windows 9x SMARTVSD driver or the NT disk driver would (the
// rules are those of smart_driver_rules.h), refuses what they refuse, and
// can be told to fail any single step of the scan at any position (through
// the tests' EmulatedDriver, which also records every call on top of it).
// What vantrel-report replays captures on.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/capture.h"
#include "drive_backends/smart_driver_rules.h"
#include "inventory/smart_driver.h"

class ReplayDriver : public SmartDriver {
  public:
    explicit ReplayDriver(uint32_t platformId = kPlatformWindowsNt);

    void SetPlatformId(uint32_t platformId) { platformId_ = platformId; }

    // An ATA drive answering from the capture: IDENTIFY DEVICE with IDFY;
    // SMART ENABLE OPERATIONS and READ DATA only when SMDT is present; READ
    // THRESHOLDS only when SMTH is present; READ LOG of the error log and the
    // self-test log only when SMEL and SMSL are, of the log directory when
    // SLDR is, of up to as many Device Statistics pages as DVST holds; CHECK
    // POWER MODE from PWRM. Or an NVMe drive
    // (NVID), which answers the NVMe property queries only: Identify Controller, Identify Namespace
    // when NVNS is present, and the health log.
    void InsertDrive(int position, const DriveCapture& capture);
    // The same drive's capture to be filled in place, cleared: the drive is
    // there from now on. A capture is some 16 KB, read once and not copied.
    DriveCapture* FitDrive(int position);

    size_t OpenHandleCount() const { return handles_.size(); }

    uint32_t PlatformId() override;
    // A position that is failed at its open step is there, but denies access.
    DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                      uint32_t* error = nullptr) override;
    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override;
    int Close(DeviceHandle device) override;
    // A fitted position (one of the four on Windows 9x).
    bool HasDevice(int position) override;

  protected:
    // A position's capture, made when a drive is first fitted there and
    // cleared for the new drive.
    DriveCapture& FitCapture(int position);

    std::vector<DriveBay> bays_;  // kDriveBays

  private:
    struct OpenDevice {
        DeviceHandle handle;
        int position;  // kAllPositions for the Windows 9x driver
        uint32_t access;
    };

    bool Windows9x() const { return platformId_ == kPlatformWindows9x; }

    uint32_t platformId_;
    // A scan holds one or two open at a time: a list is enough.
    std::vector<OpenDevice> handles_;
    uintptr_t nextHandle_ = 0x100;
    // The drives' captures, per position: only fitted positions hold one.
    std::vector<std::unique_ptr<DriveCapture>> captures_;
};
