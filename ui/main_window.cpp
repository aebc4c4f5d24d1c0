#include <windows.h>
#include <commctrl.h>

#include "inventory/drive_inventory.h"
#include "resources/resource.h"
#include "ui/globals.h"
#include "ui/main_window.h"
#include "ui/program_driver.h"

namespace {

struct Column {
    const char* title;
    int width;
};

const Column kColumns[] = {{"ID", 30},    {"Description", 190}, {"Raw Value", 70}, {"Status", 45},
                           {"Value", 40}, {"Worst", 40},        {"Threshold", 60}};

void AddColumns(HWND list) {
    for (int index = 0; index < 7; ++index) {
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[index].width;
        column.pszText = const_cast<char*>(kColumns[index].title);
        column.cchTextMax = lstrlenA(kColumns[index].title);
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
    }
}

}  // namespace

void InitMainWindow(HWND window) {
    HICON icon = LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_APP));
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));

    HWND list = GetDlgItem(window, IDC_ATTR_LIST);
    AddColumns(list);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

    g_inventory = new DriveInventory;
    // A physical drive that answers no SMART control is asked, on the NT
    // family, whether it is an NVMe drive (Windows 10's own driver says).
    g_inventory->readNvme = true;
    g_inventory->ScanDrives(ProgramDriver());

    if (g_inventory->GetDriveCount() <= 0) {
        MessageBoxA(window, "No SMART compatible drives were detected.", "Warning",
                    MB_OK | MB_ICONINFORMATION);
        SendDlgItemMessageA(window, IDC_DRIVE_COMBO, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>("No drives found"));
        EnableWindow(GetDlgItem(window, IDC_DRIVE_COMBO), FALSE);
        EnableWindow(GetDlgItem(window, IDC_GET_INFO), FALSE);
        EnableWindow(GetDlgItem(window, IDC_EXPORT), FALSE);
    } else {
        for (int position = 0; position < kDrivePositions; ++position) {
            char name[50];
            uint32_t length = sizeof name;
            if (g_inventory->GetModelName(name, &length, position, true)) {
                SendDlgItemMessageA(window, IDC_DRIVE_COMBO, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(name));
            }
        }
    }
    SendDlgItemMessageA(window, IDC_DRIVE_COMBO, CB_SETCURSEL, 0, 0);
}

void ReleaseInventory() {
    if (g_inventory) {
        delete g_inventory;
        g_inventory = nullptr;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return FALSE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            ReleaseInventory();
            DestroyWindow(window);
            return TRUE;
        case IDC_EXPORT:
            OnExport(window);
            break;
        case IDC_ABOUT:
            DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
            break;
        case IDC_GET_INFO:
            OnGetInfo(window);
            break;
        case IDC_WEBSITE:
            OnWebsite(window);
            break;
        case IDC_HELP:
            OpenHelp();
            break;
        default:
            break;
    }
    return FALSE;
}
