#include <cctype>

#include "platform/device_path.h"

// \\.\PhysicalDriveN is the name itself; there are no links to follow.
KernelDevice KernelDeviceOf(const std::string& name) {
    KernelDevice device;
    device.name = name;
    return device;
}

bool SameDeviceName(const std::string& given, const char* device) {
    size_t i = 0;
    for (; i < given.size() && device[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(given[i])) !=
            std::tolower(static_cast<unsigned char>(device[i]))) {
            return false;
        }
    }
    return i == given.size() && device[i] == '\0';
}
