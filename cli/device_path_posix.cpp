#include "cli/device_path.h"

#include <climits>
#include <cstdlib>
#include <cstring>

std::string KernelDeviceName(const std::string& name) {
    char resolved[PATH_MAX];
    if (name.empty() || name[0] != '/' || !realpath(name.c_str(), resolved)) {
        return name;  // matched as typed
    }
    return ControllerOfNamespace(resolved);
}
