// The About box, the help file and the maker's web page.
#include <windows.h>

#include <cstdio>

#include "resources/resource.h"
#include "ui/globals.h"
#include "ui/main_window.h"
#include "ui/platform_calls.h"

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        char version[152];
        std::snprintf(version, sizeof version, "%s %s Build: %s", "Vantrel", "V1.0", "1002");
        SetDlgItemTextA(window, IDC_VERSION_TEXT, version);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

// The viewer's full path in FOLDER, when it is a file there.
static bool ViewerIn(const char* folder, UINT length, char* viewer, size_t size) {
    if (length == 0 || length >= MAX_PATH ||
        std::snprintf(viewer, size, "%s\\winhlp32.exe", folder) >= static_cast<int>(size) - 1) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(viewer);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// WinHelpA would start winhlp32.exe by its bare name, and that search looks
// in the program's folder first, where a planted one would run with
// administrator rights. So the viewer is started by its full path, with the
// help file's full path, which opens its contents: from the Windows folder,
// or, where a 64-bit-only system keeps it, from the system folder. Only
// administrators can write to either.
void OpenHelp() {
    char windows[MAX_PATH];
    char system[MAX_PATH];
    char viewer[MAX_PATH + 16];
    char commandLine[2 * MAX_PATH + 32];
    const bool found =
        ViewerIn(windows, GetWindowsDirectoryA(windows, sizeof windows), viewer, sizeof viewer) ||
        ViewerIn(system, GetSystemDirectoryA(system, sizeof system), viewer, sizeof viewer);
    const bool named =
        g_exeDir[0] != '\0' && found &&
        std::snprintf(commandLine, sizeof commandLine, "\"%s\" \"%s\\%s\"", viewer, g_exeDir,
                      "VANTREL.HLP") < static_cast<int>(sizeof commandLine) - 1;
    if (!named || !g_uiCalls.startProcess(viewer, commandLine)) {
        MessageBoxA(g_hMainWnd, "Could not start the Windows help system", "Error",
                    MB_OK | MB_ICONWARNING);
    }
}

// Elevated, a browser started from here would run as administrator: the
// desktop's shell opens the address as the signed-in user instead, or
// nothing is started and the address is shown.
void OnWebsite(HWND window) {
    bool opened;
    if (g_uiCalls.processIsElevated()) {
        opened = g_uiCalls.openAsDesktopUser(VANTREL_WEBSITE_URL);
    } else {
        HINSTANCE result = g_uiCalls.shellExecute(window, "open", VANTREL_WEBSITE_URL, NULL, ".",
                                                  SW_SHOWMAXIMIZED);
        opened = reinterpret_cast<INT_PTR>(result) > 32;
    }
    if (!opened) {
        MessageBoxA(window,
                    "Could not start your default internet browser.\n"
                    "Start your browser manually and use the address..\n" VANTREL_WEBSITE_URL "/",
                    "No default browser", MB_OK | MB_ICONWARNING);
    }
}
