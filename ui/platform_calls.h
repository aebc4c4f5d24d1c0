// The platform calls whose outcome a test cannot arrange for real (a help
// system that refuses, a browser that is missing, a file dialog that
// rejects a name). The program calls them through this table; tests swap
// single entries.
#pragma once

#include <windows.h>
#include <commdlg.h>

struct UiPlatformCalls {
    BOOL(WINAPI* winHelp)(HWND, LPCSTR, UINT, ULONG_PTR);
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    BOOL(WINAPI* getSaveFileName)(LPOPENFILENAMEA);
    BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEA);
    DWORD(WINAPI* commDlgExtendedError)();
    DWORD(WINAPI* getModuleFileName)(HMODULE, LPSTR, DWORD);
};

extern UiPlatformCalls g_uiCalls;

// The real calls, for tests to restore.
UiPlatformCalls RealUiPlatformCalls();
