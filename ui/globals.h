// Program-wide state of the one user-interface thread.
#pragma once

#include <windows.h>

class DriveInventory;

enum { kExeDirSize = MAX_PATH };

extern HINSTANCE g_hInstance;
extern HWND g_hMainWnd;
extern char g_exeDir[kExeDirSize];   // the executable's folder, no trailing backslash;
                                     // empty when its path did not fit
extern DriveInventory* g_inventory;  // null before start-up and after release
extern int g_selectedDrive;          // the last Get Info's position, -1 for none
