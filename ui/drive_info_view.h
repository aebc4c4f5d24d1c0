// Fills the main window with one drive: the report block into the Drive
// Information box, one list row per SMART attribute, or, for an NVMe drive,
// per row of its health log.
#pragma once

#include <windows.h>

#include "inventory/drive_inventory.h"

void ShowDriveInfo(HWND owner, const DriveInventory& inventory, int position);
// thresholdsKnown: the drive's DriveInventory::ThresholdsKnown.
int AddAttributeRow(HWND owner, const AttributeRecord& record, bool thresholdsKnown);
