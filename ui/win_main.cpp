#include <windows.h>

#include "platform/dll_search.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before anything loads a DLL by name: the program runs elevated from
    // a folder (Downloads) where anyone may have put one.
    RestrictDllSearch();
    return RunProgram(instance, showCommand);
}
