#include "inventory/power_mode.h"

PowerMode DecodePowerMode(uint8_t count) {
    if (count == 0x00 || count == 0x01) {
        return PowerMode::kStandby;
    }
    if (count == 0x40 || count == 0x41 || (count >= 0x80 && count <= 0x83)) {
        return PowerMode::kIdle;
    }
    return count == 0xFF ? PowerMode::kActiveOrIdle : PowerMode::kUnknown;
}

const char* PowerModeName(PowerMode mode) {
    switch (mode) {
        case PowerMode::kStandby:
            return "standby";
        case PowerMode::kIdle:
            return "idle";
        case PowerMode::kActiveOrIdle:
            return "active or idle";
        case PowerMode::kUnknown:
            break;
    }
    return "unknown";
}
