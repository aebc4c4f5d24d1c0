// Drives a running Vantrel window from outside, as a user would: picks a
// drive, presses buttons. Used to take screenshots of the real program, and
// to walk the help viewer's jumps and index for the help file's test.
//   ui-remote select N | getinfo | about | close-about | exit
//   ui-remote help-walk [JUMP TEXT...] | close-help
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/resource.h"
#include "tools/ui-remote/help_viewer.h"

namespace {

HWND WaitFor(const char* caption) {
    for (int tries = 0; tries < 200; ++tries) {
        HWND window = FindWindowA(NULL, caption);
        if (window && IsWindowVisible(window)) {
            return window;
        }
        Sleep(50);
    }
    return NULL;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: ui-remote select N | getinfo | about | close-about | exit\n"
                     "       ui-remote help-walk [JUMP TEXT...] | close-help\n");
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
    HWND main = WaitFor("Vantrel by Corvane Software");
    if (!main) {
        std::fprintf(stderr, "ui-remote: the Vantrel window is not open\n");
        return 1;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "select") == 0 && argc > 2) {
        SendDlgItemMessageA(main, IDC_DRIVE_COMBO, CB_SETCURSEL, std::atoi(argv[2]), 0);
    } else if (std::strcmp(command, "getinfo") == 0) {
        PostMessageA(main, WM_COMMAND, IDC_GET_INFO, 0);
    } else if (std::strcmp(command, "about") == 0) {
        PostMessageA(main, WM_COMMAND, IDC_ABOUT, 0);
        return WaitFor("About") ? 0 : 1;
    } else if (std::strcmp(command, "close-about") == 0) {
        HWND about = WaitFor("About");
        if (about) {
            PostMessageA(about, WM_COMMAND, IDOK, 0);
        }
    } else if (std::strcmp(command, "exit") == 0) {
        PostMessageA(main, WM_COMMAND, IDOK, 0);
    } else {
        std::fprintf(stderr, "ui-remote: unknown command %s\n", command);
        return 2;
    }
    return 0;
}
