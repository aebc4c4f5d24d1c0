#include "ui/platform_calls.h"

#include <windows.h>
#include <shellapi.h>

#include "ui/desktop_shell.h"
#include "ui/system_library.h"

namespace {

BOOL StartProcess(const char* application, char* commandLine) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(application, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process)) {
        return FALSE;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return TRUE;
}

// comdlg32 and shell32 are loaded on first use (see system_library.h). A
// DLL that cannot be loaded fails the call as the call itself can fail.
HINSTANCE WINAPI LoadedShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                    LPCSTR directory, INT show) {
    typedef HINSTANCE(WINAPI * Call)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    static const Call call = SystemCall<Call>("shell32.dll", "ShellExecuteA");
    return call ? call(window, verb, file, parameters, directory, show)
                : reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
}

typedef BOOL(WINAPI* FileDialogCall)(LPOPENFILENAMEA);

BOOL WINAPI LoadedGetSaveFileName(LPOPENFILENAMEA record) {
    static const FileDialogCall call =
        SystemCall<FileDialogCall>("comdlg32.dll", "GetSaveFileNameA");
    return call ? call(record) : FALSE;
}

BOOL WINAPI LoadedGetOpenFileName(LPOPENFILENAMEA record) {
    static const FileDialogCall call =
        SystemCall<FileDialogCall>("comdlg32.dll", "GetOpenFileNameA");
    return call ? call(record) : FALSE;
}

DWORD WINAPI LoadedCommDlgExtendedError() {
    typedef DWORD(WINAPI * Call)();
    static const Call call = SystemCall<Call>("comdlg32.dll", "CommDlgExtendedError");
    return call ? call() : CDERR_INITIALIZATION;
}

}  // namespace

UiPlatformCalls RealUiPlatformCalls() {
    UiPlatformCalls calls;
    calls.startProcess = StartProcess;
    calls.shellExecute = LoadedShellExecute;
    calls.processIsElevated = ProcessIsElevated;
    calls.openAsDesktopUser = OpenAsDesktopUser;
    calls.getSaveFileName = LoadedGetSaveFileName;
    calls.getOpenFileName = LoadedGetOpenFileName;
    calls.commDlgExtendedError = LoadedCommDlgExtendedError;
    calls.getModuleFileName = GetModuleFileNameA;
    return calls;
}

UiPlatformCalls g_uiCalls = RealUiPlatformCalls();
