// The main dialog window: start-up work, command routing, shutdown.
#pragma once

#include <windows.h>

// Fills g_exeDir with the folder of the running executable.
void StoreExeDirectory();

// Entry-point work after WinMain: everything from the common controls to the
// end of the message loop. Returns the process's exit code.
int RunProgram(HINSTANCE instance, int showCommand);

void InitMainWindow(HWND window);
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ReleaseInventory();

// The command handlers.
void OnGetInfo(HWND window);
void OnExport(HWND owner);
void OnWebsite(HWND window);
void OpenHelp();
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
