// The drive-information block: SMART state, the IDENTIFY command's
// registers, and the drive's identity and geometry words, in the window
// variant (the Drive Information box) or the export variant (the head of
// the results file).
#pragma once

#include "inventory/drive_inventory.h"

enum class ReportVariant { kWindow, kExport };

enum { kReportTextSize = 4096, kReportLineSize = 256 };

struct DriveReportText {
    char text[kReportTextSize];
};

// The position must hold a drive (its DriveNumber is not -1).
void BuildDriveReportText(const DriveInventory& inventory, int position, ReportVariant variant,
                          DriveReportText* report);
