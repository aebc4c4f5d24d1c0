#include <cstdio>
#include <cstring>

#include "inventory/drive_inventory.h"
#include "report/export_writer.h"
#include "report/file_replace.h"
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
    // A dialog that failed (a path too long, say) saved nothing either.
    DWORD failure = 0;
    if (!ShowFileDialog(owner, fileName, NULL, kFilter, NULL, kFileDialogSave, &failure)) {
        if (failure != 0) {
            ReportNotSaved(owner, fileName);
        }
        return;
    }
    // Through a new file that replaces the old one only once it is on the
    // disk: a full disk leaves the old report as it was. A device name
    // (NUL, COM1, CON) is refused.
    if (!SaveFileReplacing(fileName, DriveExportText(*g_inventory, g_selectedDrive))) {
        ReportNotSaved(owner, fileName);
    }
}
