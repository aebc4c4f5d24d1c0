// --compare: the older reading from its capture, and which drive of this
// run's scan is the same drive.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "inventory/drive_inventory.h"
#include "report/compare_writer.h"
#include "report/drive_reading.h"
#include "cli/report_options.h"

// Reads and scans OLD. Returns kExitReported, or kExitUsage after saying why.
int LoadOlderReading(const ReportOptions& options, CompareRun* run, FILE* err);

// The first position of the newer scan that holds OLD's drive: the same
// model and serial number, or the same model where a serial is blank (with
// a warning). NEW, when given, must be that drive. Returns the position,
// or -1 after saying why.
int MatchComparedDrive(const ReportOptions& options, CompareRun* run, const DriveInventory& newer,
                       FILE* err);
