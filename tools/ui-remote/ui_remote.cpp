// Drives a running Vantrel demo window from outside, as a user would: picks a
// drive, presses buttons. Used to take screenshots of the real program.
//   ui-remote select N | getinfo | about | close-about | exit
// The demo runs on Wine's virtual desktop "Vantrel" (scripts/screenshots.sh);
// the remote joins that desktop to find the window there. Every command
// finishes before the remote ends, and every wait is bounded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/resource.h"

namespace {

// The first start of Wine in a new prefix takes long; later ones are quick.
const DWORD kWindowWaitMs = 120000;
const DWORD kAboutWaitMs = 30000;

bool joined = false;

HWND WaitFor(const char* caption, DWORD limitMs) {
    const DWORD start = GetTickCount();
    do {
        // The desktop exists only once the demo's explorer has made it.
        if (!joined) {
            HDESK desktop = OpenDesktopA("Vantrel", 0, FALSE, GENERIC_ALL);
            joined = desktop && SetThreadDesktop(desktop);
        }
        HWND window = joined ? FindWindowA(NULL, caption) : NULL;
        if (window && IsWindowVisible(window)) {
            return window;
        }
        Sleep(100);
    } while (GetTickCount() - start < limitMs);
    std::fprintf(stderr, "ui-remote: no window \"%s\"%s after %lu s\n", caption,
                 joined ? "" : " (no desktop \"Vantrel\")",
                 static_cast<unsigned long>(limitMs / 1000));
    return NULL;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui-remote select N | getinfo | about | close-about | exit\n");
        return 2;
    }
    HWND main = WaitFor(VANTREL_DEMO_MAIN_CAPTION, kWindowWaitMs);
    if (!main) {
        return 1;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "select") == 0 && argc > 2) {
        const int item = std::atoi(argv[2]);
        if (SendDlgItemMessageA(main, IDC_DRIVE_COMBO, CB_SETCURSEL, item, 0) != item) {
            std::fprintf(stderr, "ui-remote: the drive list has no item %d\n", item);
            return 1;
        }
    } else if (std::strcmp(command, "getinfo") == 0) {
        // Sent, not posted: it returns once the drive is shown.
        SendMessageA(main, WM_COMMAND, IDC_GET_INFO, 0);
    } else if (std::strcmp(command, "about") == 0) {
        PostMessageA(main, WM_COMMAND, IDC_ABOUT, 0);  // the box is modal
        return WaitFor(VANTREL_DEMO_ABOUT_CAPTION, kAboutWaitMs) ? 0 : 1;
    } else if (std::strcmp(command, "close-about") == 0) {
        HWND about = WaitFor(VANTREL_DEMO_ABOUT_CAPTION, kAboutWaitMs);
        if (!about) {
            return 1;
        }
        PostMessageA(about, WM_COMMAND, IDOK, 0);
    } else if (std::strcmp(command, "exit") == 0) {
        PostMessageA(main, WM_COMMAND, IDOK, 0);
    } else {
        std::fprintf(stderr, "ui-remote: unknown command %s\n", command);
        return 2;
    }
    return 0;
}
