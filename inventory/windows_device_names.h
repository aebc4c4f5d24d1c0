// The names Windows keeps for its devices in every folder: a file of that
// name cannot be made there, and opening it opens the device.
#pragma once

#include <string>

// True when the name's stem (before its first dot, without trailing blanks
// and dots) is CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$ or CONOUT$, in any
// case: "NUL", "com1.txt", "Aux .smart". fileName is one name, not a path.
bool IsWindowsDeviceName(const std::string& fileName);
