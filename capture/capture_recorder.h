// Keeps the replies a scan received, per drive position, so that what was
// read can be saved as captures and replayed anywhere. It sits between the
// scan and any backend, real or emulated, and changes nothing that passes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "inventory/drive_inventory.h"
#include "inventory/smart_driver.h"

class CaptureRecorder : public SmartDriver {
  public:
    explicit CaptureRecorder(SmartDriver& driver)
        : driver_(driver), captures_(kMaxDrivePositions) {}

    // The blocks position answered with: IDENTIFY DEVICE, SMART READ DATA,
    // SMART READ ATTRIBUTE THRESHOLDS and SMART READ LOG of its logs (the
    // error and self-test logs, the directory, the Device Statistics
    // pages). SMART RETURN STATUS moves no block: RecordReturnStatus puts
    // the scan's answer in.
    // A copy, empty where the position answered nothing (a static empty
    // record would be 16 KB of zeros in the Windows executable's data).
    DriveCapture Capture(int position) const;
    // What an NVMe drive's property queries answered: the replies the scan
    // kept, which are the drive's bytes as they came.
    static void NvmeCapture(const NvmeReplies& replies, DriveCapture* capture);

    uint32_t PlatformId() override { return driver_.PlatformId(); }
    DeviceHandle Open(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                      uint32_t* error = nullptr) override {
        return driver_.Open(name, access, shareMode, disposition, error);
    }
    int IoControl(DeviceHandle device, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned) override;
    int Close(DeviceHandle device) override { return driver_.Close(device); }
    void DeviceName(int position, char* name, uint32_t size) override {
        driver_.DeviceName(position, name, size);
    }
    bool TranslatesAta() override { return driver_.TranslatesAta(); }

  private:
    SmartDriver& driver_;
    // Per position, made at the first block a position answers with.
    std::vector<std::unique_ptr<DriveCapture>> captures_;
};

// Puts the scan's CHECK POWER MODE answer (DriveInventory::powerModeCount)
// into a capture's PWRM: the count register, or FFFFFFFFh for a failed
// command; no section where the question was not asked.
void RecordPowerMode(int16_t count, DriveCapture* capture);

// Puts the scan's SMART RETURN STATUS answer (DriveInventory::
// selfAssessment) into a capture's SMST: 1 passed, 0 failed; no section
// where the drive gave no answer.
void RecordReturnStatus(SelfAssessment answer, DriveCapture* capture);

// The file name a drive's capture is saved under: MODEL--FIRMWARE.smart,
// with the drive list's -1, -2 suffix where models repeat, blanks as
// underscores and anything that is unsafe in a file name replaced. Empty
// when the position shows no drive in the list.
std::string CaptureFileName(const DriveInventory& inventory, int position);
