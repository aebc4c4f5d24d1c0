#include "ui/platform_calls.h"

#include <windows.h>
#include <shellapi.h>

UiPlatformCalls RealUiPlatformCalls() {
    UiPlatformCalls calls;
    calls.winHelp = WinHelpA;
    calls.shellExecute = ShellExecuteA;
    calls.getSaveFileName = GetSaveFileNameA;
    calls.getOpenFileName = GetOpenFileNameA;
    calls.commDlgExtendedError = CommDlgExtendedError;
    calls.getModuleFileName = GetModuleFileNameA;
    return calls;
}

UiPlatformCalls g_uiCalls = RealUiPlatformCalls();
