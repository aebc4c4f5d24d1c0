// --health: one line per listed drive, its name, verdict and reasons.
#pragma once

#include <cstdio>

#include "health/drive_health.h"

// "NAME: VERDICT" and, when there are reasons, ": " and the reasons joined
// by ", "; LF line end. False when the write fails.
bool WriteHealthLine(const char* name, const DriveHealth& health, FILE* stream);
