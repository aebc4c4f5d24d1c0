// The About box, the help file and the maker's web page.
#include <windows.h>
#include <shellapi.h>

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

void OpenHelp(UINT command, ULONG_PTR data) {
    char path[300];
    std::snprintf(path, sizeof path, "%s\\%s", g_exeDir, "VANTREL.HLP");
    if (!g_uiCalls.winHelp(g_hMainWnd, path, command, data)) {
        MessageBoxA(g_hMainWnd, "Could not start the Windows help system", "Error",
                    MB_OK | MB_ICONWARNING);
    }
}

void OnWebsite(HWND window) {
    HINSTANCE result =
        g_uiCalls.shellExecute(window, "open", VANTREL_WEBSITE_URL, NULL, ".", SW_SHOWMAXIMIZED);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        MessageBoxA(window,
                    "Could not start your default internet browser.\n"
                    "Start your browser manually and use the address..\n" VANTREL_WEBSITE_URL "/",
                    "No default browser", MB_OK | MB_ICONWARNING);
    }
}
