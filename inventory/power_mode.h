// What CHECK POWER MODE's count register says about a drive.
#pragma once

#include <cstdint>

enum class PowerMode { kUnknown, kStandby, kIdle, kActiveOrIdle };

// 00h and 01h standby; 40h, 41h and 80h to 83h idle; FFh active or idle;
// anything else unknown, as is a drive that did not answer.
PowerMode DecodePowerMode(uint8_t count);

// "standby", "idle", "active or idle" or "unknown".
const char* PowerModeName(PowerMode mode);
