#include "ui/globals.h"

HINSTANCE g_hInstance = NULL;
HWND g_hMainWnd = NULL;
char g_exeDir[kExeDirSize] = "";
DriveInventory* g_inventory = nullptr;
int g_selectedDrive = -1;
