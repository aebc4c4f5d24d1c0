#include "inventory/smart_driver.h"

#include <cstdio>

bool SmartDriver::HasDevice(int) {
    return true;
}

void SmartDriver::ExpectDevice(int, uint64_t) {}

bool SmartDriver::TranslatesAta() {
    return false;
}

void SmartDriver::DeviceName(int position, char* name, uint32_t size) {
    if (size == 0) {
        return;
    }
    if (PlatformId() == kPlatformWindows9x) {
        std::snprintf(name, size, "SMARTVSD:%d", position);
    } else {
        std::snprintf(name, size, "\\\\.\\PhysicalDrive%d", position);
    }
}
