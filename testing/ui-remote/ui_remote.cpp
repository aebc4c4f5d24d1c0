// Drives a running Vantrel window from outside, as a user would: picks a
// drive, presses buttons, writes down what the window shows, and walks the
// help viewer. Used to take screenshots of the real program, to test it end
// to end, and to walk the help viewer's jumps and index for the help file's
// test.
//   ui-remote [--desktop NAME] select N | getinfo | about | close-about | exit
//   ui-remote list FILE       the drive list's names, one per line
//   ui-remote show N FILE     picks item N, Get Info, then the Drive Information
//                             text and every list row, cells TAB-separated
//   ui-remote export FILE     Export results, saved as FILE through the dialog
//   ui-remote nodrive FILE    answers the start-up warning, then notes it, the
//                             drive list and which controls are enabled
//   ui-remote help-walk [JUMP TEXT...] | close-help
// It finds the product's window or the demo's, whose captions say which.
// With --desktop NAME first it joins Wine's virtual desktop NAME, once that
// exists, to find the window there (scripts/screenshots.sh). Every wait is
// bounded and sized for Wine's first start in a new prefix.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/resource.h"
#include "testing/ui-remote/help_viewer.h"

namespace {

const DWORD kWindowWaitMs = 90000;
const DWORD kDialogWaitMs = 30000;

const char* g_desktop = NULL;  // --desktop: joined before the first search
bool g_joined = false;

// A visible top-level window with either caption (the second may be null).
HWND WaitFor(const char* caption, const char* otherCaption, DWORD limitMs) {
    const DWORD start = GetTickCount();
    do {
        // The desktop exists only once the program's explorer has made it.
        if (g_desktop && !g_joined) {
            HDESK desktop = OpenDesktopA(g_desktop, 0, FALSE, GENERIC_ALL);
            g_joined = desktop && SetThreadDesktop(desktop);
        }
        if (!g_desktop || g_joined) {
            const char* names[] = {caption, otherCaption};
            for (const char* name : names) {
                HWND window = name ? FindWindowA(NULL, name) : NULL;
                if (window && IsWindowVisible(window)) {
                    return window;
                }
            }
        }
        Sleep(50);
    } while (GetTickCount() - start < limitMs);
    std::fprintf(stderr, "ui-remote: no window \"%s\" after %lu s%s%s\n", caption,
                 static_cast<unsigned long>(limitMs / 1000),
                 g_desktop && !g_joined ? ": no desktop " : "",
                 g_desktop && !g_joined ? g_desktop : "");
    return NULL;
}

HWND WaitForMain() {
    return WaitFor(VANTREL_MAIN_CAPTION, VANTREL_DEMO_MAIN_CAPTION, kWindowWaitMs);
}

HWND WaitForAbout() {
    return WaitFor(VANTREL_ABOUT_CAPTION, VANTREL_DEMO_ABOUT_CAPTION, kDialogWaitMs);
}

// Waits until the window has handled everything sent before, so that a
// command's work (a file written, a list filled) is done.
bool Settle(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result) != 0;
}

FILE* Create(const char* path) {
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "ui-remote: cannot create %s\n", path);
    }
    return file;
}

// Across processes the combo box hands out its own (wide) text.
void WriteDriveList(HWND main, FILE* out) {
    HWND combo = GetDlgItem(main, IDC_DRIVE_COMBO);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t wide[256] = L"";
        char name[256] = "";
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, NULL, NULL);
        std::fprintf(out, "%s\n", name);
    }
}

// The list view copies cell text only within its own process: the request
// and the text buffer are placed in the program's memory.
bool WriteListRows(HWND main, FILE* out) {
    HWND list = GetDlgItem(main, IDC_ATTR_LIST);
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) {
        return false;
    }
    const SIZE_T textSize = 260;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, NULL, sizeof(LVITEMA) + textSize, MEM_COMMIT, PAGE_READWRITE));
    bool ok = remote != NULL;
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; ok && row < rows; ++row) {
        for (int column = 0; ok && column < 7; ++column) {
            LVITEMA item;
            ZeroMemory(&item, sizeof item);
            item.iSubItem = column;
            item.pszText = remote + sizeof item;
            item.cchTextMax = static_cast<int>(textSize);
            char text[textSize + 1] = "";
            ok = WriteProcessMemory(process, remote, &item, sizeof item, NULL) &&
                 SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote)) >= 0 &&
                 ReadProcessMemory(process, remote + sizeof item, text, textSize, NULL);
            std::fprintf(out, column ? "\t%s" : "%s", text);
        }
        std::fputs("\r\n", out);
    }
    if (remote) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

int Show(HWND main, int index, const char* path) {
    SendDlgItemMessageA(main, IDC_DRIVE_COMBO, CB_SETCURSEL, index, 0);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(IDC_GET_INFO, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_GET_INFO)), SMTO_NORMAL,
                             20000, &result)) {
        std::fprintf(stderr, "ui-remote: Get Info did not return\n");
        return 1;
    }
    FILE* out = Create(path);
    if (!out) {
        return 1;
    }
    static char text[65536];
    GetDlgItemTextA(main, IDC_DRIVE_INFO, text, sizeof text);
    std::fputs(text, out);
    const bool ok = WriteListRows(main, out);
    std::fclose(out);
    return ok ? 0 : 1;
}

struct OwnedDialog {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param) {
    OwnedDialog* search = reinterpret_cast<OwnedDialog*>(param);
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0 && GetWindow(window, GW_OWNER) == search->owner &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Export results through the program's own save dialog, as a user types a
// name there: edt1 in the classic dialog, cmb13 in the Explorer-style one.
int Export(HWND main, const char* path) {
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_EXPORT, BN_CLICKED), 0);
    OwnedDialog search = {main, NULL};
    for (int tries = 0; tries < 600 && !search.found; ++tries) {
        Sleep(50);
        EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    }
    if (!search.found) {
        std::fprintf(stderr, "ui-remote: no save dialog came up\n");
        return 1;
    }
    SetDlgItemTextA(search.found, 0x480, path);
    SetDlgItemTextA(search.found, 0x47C, path);
    PostMessageA(search.found, WM_COMMAND, IDOK, 0);
    for (int tries = 0; tries < 600 && IsWindow(search.found); ++tries) {
        Sleep(50);
    }
    return !IsWindow(search.found) && Settle(main) ? 0 : 1;
}

int NoDrive(const char* path) {
    HWND warning = WaitFor("Warning", NULL, kWindowWaitMs);
    if (!warning) {
        std::fprintf(stderr, "ui-remote: no warning came up\n");
        return 1;
    }
    char text[256] = "";
    GetDlgItemTextA(warning, 0xFFFF, text, sizeof text);
    PostMessageA(warning, WM_COMMAND, IDOK, 0);
    HWND main = WaitForMain();
    FILE* out = main && Settle(main) ? Create(path) : NULL;
    if (!out) {
        return 1;
    }
    std::fprintf(out, "Warning: %s\n", text);
    WriteDriveList(main, out);
    const int ids[] = {IDC_DRIVE_COMBO, IDC_GET_INFO, IDC_EXPORT};
    for (int id : ids) {
        std::fprintf(out, "%d %s\n", id, IsWindowEnabled(GetDlgItem(main, id)) ? "on" : "off");
    }
    std::fclose(out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--desktop") == 0) {
        g_desktop = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: ui-remote [--desktop NAME] select N | getinfo | about | close-about | exit |\n"
            "       list FILE | show N FILE | export FILE | nodrive FILE |\n"
            "       help-walk [JUMP TEXT...] | close-help\n");
        return 2;
    }
    // The help viewer's commands work without the Vantrel window.
    if (std::strcmp(argv[1], "help-walk") == 0) {
        return WaitForHelpViewer() ? WalkHelp(argc - 2, argv + 2) : 1;
    }
    if (std::strcmp(argv[1], "close-help") == 0) {
        CloseHelp();
        return 0;
    }
    if (std::strcmp(argv[1], "nodrive") == 0 && argc > 2) {
        return NoDrive(argv[2]);
    }
    HWND main = WaitForMain();
    if (!main) {
        std::fprintf(stderr, "ui-remote: the Vantrel window is not open\n");
        return 1;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "select") == 0 && argc > 2) {
        const int item = std::atoi(argv[2]);
        if (SendDlgItemMessageA(main, IDC_DRIVE_COMBO, CB_SETCURSEL, item, 0) != item) {
            std::fprintf(stderr, "ui-remote: the drive list has no item %d\n", item);
            return 1;
        }
    } else if (std::strcmp(command, "getinfo") == 0) {
        // Sent, not posted: done once the drive is shown.
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(main, WM_COMMAND, IDC_GET_INFO, 0, SMTO_NORMAL, 20000, &result)) {
            std::fprintf(stderr, "ui-remote: Get Info did not return\n");
            return 1;
        }
    } else if (std::strcmp(command, "about") == 0) {
        PostMessageA(main, WM_COMMAND, IDC_ABOUT, 0);  // the box is modal
        return WaitForAbout() ? 0 : 1;
    } else if (std::strcmp(command, "close-about") == 0) {
        HWND about = WaitForAbout();
        if (!about) {
            return 1;
        }
        PostMessageA(about, WM_COMMAND, IDOK, 0);
    } else if (std::strcmp(command, "list") == 0 && argc > 2) {
        FILE* out = Settle(main) ? Create(argv[2]) : NULL;
        if (!out) {
            return 1;
        }
        WriteDriveList(main, out);
        std::fclose(out);
    } else if (std::strcmp(command, "show") == 0 && argc > 3) {
        return Show(main, std::atoi(argv[2]), argv[3]);
    } else if (std::strcmp(command, "export") == 0 && argc > 2) {
        return Export(main, argv[2]);
    } else if (std::strcmp(command, "exit") == 0) {
        PostMessageA(main, WM_COMMAND, IDOK, 0);
    } else {
        std::fprintf(stderr, "ui-remote: unknown command %s\n", command);
        return 2;
    }
    return 0;
}
