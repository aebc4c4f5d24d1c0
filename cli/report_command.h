// vantrel-report: the drive reports of the Export results command, written
// without the window, from captures replayed on an emulated machine or from
// this machine's own drives.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "drive_backends/real_driver.h"
#include "inventory/smart_driver.h"

// When several apply, the first of usage (2), write failure (4), health
// alert (3) and no drive (1) is the one returned.
enum {
    kExitReported = 0,
    kExitNoDrive = 1,
    kExitUsage = 2,
    kExitHealthAlert = 3,
    kExitWriteFailed = 4,
    // --self-test: a drive refused a command sent to it.
    kExitSelfTestRefused = 1,
};

// Supplies the machine's own driver when no capture is given; null with a
// reason where there is none.
typedef std::unique_ptr<SmartDriver> (*RealDriverFactory)(std::string* unavailable, DriverUse use);

int RunReportCommand(const std::vector<std::string>& args, FILE* out, FILE* err,
                     RealDriverFactory realDriver);

struct DriveCapture;
// Reads a capture file for a replay; says on err why it cannot be replayed
// (a malformed file, or an NVMe drive, which the replay cannot serve yet and
// Windows 9x never sees).
bool ReadReplayCapture(const std::string& path, bool win9x, DriveCapture* capture, FILE* err);
