// The platform calls whose outcome a test cannot arrange for real (a help
// viewer that does not start, a browser that is missing, an elevated token,
// a file dialog that rejects a name). The program calls them through this
// table; tests swap single entries.
#pragma once

#include <windows.h>
#include <commdlg.h>

struct UiPlatformCalls {
    // CreateProcessA with the application's full path and a command line;
    // the process's handles are closed at once.
    BOOL (*startProcess)(const char* application, char* commandLine);
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    bool (*processIsElevated)();
    bool (*openAsDesktopUser)(const char* address);
    BOOL(WINAPI* getSaveFileName)(LPOPENFILENAMEA);
    BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEA);
    DWORD(WINAPI* commDlgExtendedError)();
    DWORD(WINAPI* getModuleFileName)(HMODULE, LPSTR, DWORD);
};

extern UiPlatformCalls g_uiCalls;

// The real calls, for tests to restore.
UiPlatformCalls RealUiPlatformCalls();
