// Drives a running Vantrel window from outside, as a user would: picks a
// drive, presses buttons. Used to take screenshots of the real program.
//   ui-remote select N | getinfo | about | close-about | exit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/resource.h"

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
        std::fprintf(stderr, "usage: ui-remote select N | getinfo | about | close-about | exit\n");
        return 2;
    }
    HWND main = WaitFor(VANTREL_DEMO_MAIN_CAPTION);
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
        return WaitFor(VANTREL_DEMO_ABOUT_CAPTION) ? 0 : 1;
    } else if (std::strcmp(command, "close-about") == 0) {
        HWND about = WaitFor(VANTREL_DEMO_ABOUT_CAPTION);
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
