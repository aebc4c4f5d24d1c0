// vantrel-report: the drive reports of the Export results command, written
// without the window, from captures replayed on an emulated machine or from
// this machine's own drives.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "inventory/smart_driver.h"

enum { kExitReported = 0, kExitNoDrive = 1, kExitUsage = 2 };

// Supplies the machine's own driver when no capture is given; null with a
// reason where there is none.
typedef std::unique_ptr<SmartDriver> (*RealDriverFactory)(std::string* unavailable);

int RunReportCommand(const std::vector<std::string>& args, FILE* out, FILE* err,
                     RealDriverFactory realDriver);
