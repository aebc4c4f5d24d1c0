// The JSON report: one document for every listed drive, with the key names
// the command-line SMART tools' JSON uses, and ours under "vantrel".
// Keys are only ever added within one major json_format_version.
#pragma once

#include <cstdio>
#include <string>

#include "report/drive_reading.h"

enum { kJsonFormatMajor = 1, kJsonFormatMinor = 0 };

// The whole document, LF line ends, ending in a line end.
std::string JsonReport(const MachineReport& report);
