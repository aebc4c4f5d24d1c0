// The results file of one drive: the export variant of the report block,
// the attribute table heading and one line per attribute record. The Export
// button and the vantrel-report command both write through here.
#pragma once

#include <cstdio>
#include <string>

#include "inventory/drive_inventory.h"

// Writes the whole file content for the drive at position (which must hold
// a drive) to a stream opened without line-end translation. Returns false
// when any write fails.
bool WriteDriveExport(const DriveInventory& inventory, int position, FILE* stream);

// The same content in memory, for a writer that checks every step itself.
std::string DriveExportText(const DriveInventory& inventory, int position);
