// Opening an address as the signed-in user rather than as the elevated
// program: a browser started by the program would run with its
// administrator rights.
#pragma once

#include <windows.h>

// True when the process runs with an elevated token (Vista and later with
// user account control). False on older systems, and whenever it cannot
// be told.
bool ProcessIsElevated();
// The same of another process, given a handle with query access.
bool IsElevated(HANDLE process);

// Asks the desktop's own shell (Explorer, which runs as the user) to open
// the address. ole32 and oleaut32 are loaded only here. False when any
// step fails; nothing is started then.
bool OpenAsDesktopUser(const char* address);
