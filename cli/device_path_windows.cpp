#include "cli/device_path.h"

// \\.\PhysicalDriveN is the name itself; there are no links to follow.
std::string KernelDeviceName(const std::string& name) {
    return name;
}
