#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "ui/globals.h"
#include "ui/main_window.h"
#include "ui/platform_calls.h"

void StoreExeDirectory() {
    // A path that fills the buffer comes back cut (and unterminated on
    // older systems): its last backslash would name a parent folder, so the
    // folder is then unknown (empty), and help says it cannot start. A name
    // without any backslash has no folder to cut off.
    std::memset(g_exeDir, 0, sizeof g_exeDir);
    const DWORD length = g_uiCalls.getModuleFileName(NULL, g_exeDir, sizeof g_exeDir);
    if (length == 0 || length >= sizeof g_exeDir) {
        g_exeDir[0] = '\0';
        return;
    }
    char* lastBackslash = std::strrchr(g_exeDir, '\\');
    if (lastBackslash) {
        *lastBackslash = '\0';
    } else {
        std::strcpy(g_exeDir, ".");
    }
}

int RunProgram(HINSTANCE instance, int showCommand) {
    g_hInstance = instance;
    InitCommonControls();
    StoreExeDirectory();
    g_hMainWnd = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(101), NULL, MainDialogProc, 0);
    if (!g_hMainWnd) {
        return 1;
    }
    InitMainWindow(g_hMainWnd);
    ShowWindow(g_hMainWnd, showCommand);
    MSG message;
    message.wParam = 0;
    while (GetMessageA(&message, NULL, 0, 0)) {
        if (!IsDialogMessageA(g_hMainWnd, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
