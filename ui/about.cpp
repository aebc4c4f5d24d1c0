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

// WinHelpA would start winhlp32.exe by its bare name, and that search looks
// in the program's folder first, where a planted one would run with
// administrator rights. So the viewer is started by its full path in the
// Windows folder, with the help file's full path, which opens its contents.
void OpenHelp() {
    char windows[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    char viewer[MAX_PATH + 16];
    char commandLine[2 * MAX_PATH + 32];
    const bool named =
        g_exeDir[0] != '\0' && windowsLength > 0 && windowsLength < sizeof windows &&
        std::snprintf(viewer, sizeof viewer, "%s\\winhlp32.exe", windows) <
            static_cast<int>(sizeof viewer) - 1 &&
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
