#include <cstdio>
#include <cstring>

#include "inventory/drive_inventory.h"
#include "report/export_writer.h"
#include "ui/file_dialog.h"
#include "ui/globals.h"
#include "ui/main_window.h"

namespace {

const char kFilter[] = "Text Files (*.text)\0*.txt\0";

// A report that did not reach the disk must never look saved.
void ReportNotSaved(HWND owner, const char* path) {
    char text[64 + kFileNameSize];
    std::snprintf(text, sizeof text, "Could not save the results to the file:\n%s", path);
    MessageBoxA(owner, text, "Error", MB_OK | MB_ICONWARNING);
}

}  // namespace

void OnExport(HWND owner) {
    DriveEntry entry;
    if (!g_inventory || g_selectedDrive < 0 || g_selectedDrive > 3 ||
        !g_inventory->GetDriveEntry(&entry, g_selectedDrive)) {
        MessageBoxA(owner,
                    "There is no data to export. Select a drive and click Get Info to retrieve a "
                    "drives information.",
                    "Reminder", MB_ICONINFORMATION);
        return;
    }
    char fileName[kFileNameSize];
    std::strcpy(fileName, "DriveInfo.txt");
    if (!ShowFileDialog(owner, fileName, NULL, kFilter, NULL, kFileDialogSave)) {
        return;
    }
    FILE* file = std::fopen(fileName, "w+b");
    if (!file) {
        ReportNotSaved(owner, fileName);
        return;
    }
    bool saved = WriteDriveExport(*g_inventory, g_selectedDrive, file);
    saved = std::fclose(file) == 0 && saved;
    if (!saved) {
        ReportNotSaved(owner, fileName);
    }
}
