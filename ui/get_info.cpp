#include <cstring>

#include "inventory/drive_inventory.h"
#include "resources/resource.h"
#include "ui/drive_info_view.h"
#include "ui/globals.h"
#include "ui/main_window.h"

void OnGetInfo(HWND window) {
    g_selectedDrive = -1;
    char selected[256] = "";
    const LRESULT index = SendDlgItemMessageA(window, IDC_DRIVE_COMBO, CB_GETCURSEL, 0, 0);
    // The list holds our own names (at most 42 characters), but a text that
    // would not fit the buffer is never read into it.
    if (index != CB_ERR && SendDlgItemMessageA(window, IDC_DRIVE_COMBO, CB_GETLBTEXTLEN, index, 0) <
                               static_cast<LRESULT>(sizeof selected)) {
        SendDlgItemMessageA(window, IDC_DRIVE_COMBO, CB_GETLBTEXT, index,
                            reinterpret_cast<LPARAM>(selected));
    }
    for (int position = 0; position < kDrivePositions && g_inventory; ++position) {
        char name[256];
        uint32_t length = sizeof name;
        if (g_inventory->GetModelName(name, &length, position, true) &&
            std::strcmp(name, selected) == 0) {
            g_selectedDrive = position;
            break;
        }
    }
    if (g_selectedDrive < 0) {
        MessageBoxA(window,
                    "There was an error retreiving the SMART information for the selected drive",
                    "Error", MB_OK | MB_ICONWARNING);
        return;
    }
    ShowDriveInfo(window, *g_inventory, g_selectedDrive);
}
