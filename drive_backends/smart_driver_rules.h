// How the Windows SMART drivers answer, written once for every stand-in:
// the emulated driver in user space and the test driver in Wine's kernel.
// Plain records and functions only (no standard library containers, strings
// or exceptions), so that it also builds freestanding for kernel mode.
#pragma once

#include <stdint.h>

#include "capture/capture_sections.h"
#include "inventory/ata_pass_through_record.h"
#include "inventory/smart_driver.h"

enum class ScanStep { kOpen, kVersion, kEnable, kIdentify, kReadData, kReadThresholds };
// Every position vantrel-report can scan; Windows 9x's driver serves the
// first four only.
enum { kScanStepCount = 6, kDriveBays = 64, kSmartVxdBays = 4 };

// One drive position as the driver sees it. The capture is held by whoever
// fits the bay, and only for the drives there: a bay is a few bytes, so
// that positions without a drive cost next to nothing.
struct DriveBay {
    bool present = false;  // then data is set
    bool packet = false;   // answers IDENTIFY PACKET DEVICE only
    const DriveCapture* data = nullptr;
    bool failing[kScanStepCount] = {};
};

// The device a handle was opened on: the Windows 9x driver's one device
// serves all four positions, an NT physical drive only its own.
enum { kAllPositions = -1 };

// Whether \\.\SMARTVSD opens, and \\.\PhysicalDriveN for a position.
bool SmartVxdOpens(const DriveBay bays[kDriveBays]);
bool PhysicalDriveOpens(const DriveBay bays[kDriveBays], int position);

// The device that CreateFileA of a name opens on the given family:
// kAllPositions for \\.\SMARTVSD on Windows 9x, the position for
// \\.\PhysicalDrive0 upward on the NT family; kNoDevice for any other name,
// and for a device that does not open (unless present is enough: then
// only for one that is not there).
enum { kNoDevice = -2 };
int OpenedDevice(const DriveBay bays[kDriveBays], bool windows9x, const char* name,
                 bool presentIsEnough = false);

// One DeviceIoControl on a device opened with the given access. Returns the
// success flag and, on success only, sets *returned; everything but the
// three SMART I/O controls, the NT family's ATA pass-through carrying CHECK
// POWER MODE (answered from PWRM), and the NVMe property query of an NVMe
// drive, fails. An NVMe drive (its capture's NVID) answers no SMART control.
// The pass-through record is taken in the caller's layout (a driver on
// 64-bit Windows serves 32-bit programs too) and answered in it.
int AnswerIoControl(const DriveBay bays[kDriveBays], int devicePosition, uint32_t access,
                    uint32_t code, const void* input, uint32_t inputLength, void* output,
                    uint32_t outputLength, uint32_t* returned,
                    CallerBits caller = CallerBits::kNative);
