// --health: one line per listed drive, its name, verdict and reasons.
#pragma once

#include <string>

#include "health/drive_health.h"

// "NAME: VERDICT" and, when there are reasons, ": " and the reasons joined
// by ", "; then, where given, " (" note ")", which tells and is no sign;
// LF line end.
std::string HealthLine(const std::string& name, const DriveHealth& health,
                       const std::string& note = std::string());
