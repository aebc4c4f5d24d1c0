#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/device_path.h"
#include "platform/nvme_namespace.h"

KernelDevice KernelDeviceOf(const std::string& name) {
    KernelDevice device;
    char resolved[PATH_MAX];
    if (name.empty() || name[0] != '/' || !realpath(name.c_str(), resolved)) {
        device.name = name;  // matched as typed
        return device;
    }
    device.name = ControllerOfNamespace(resolved, "/sys");
    // What the name stands for now: the open must find the same device, or
    // a link changed (or a disk was swapped) in between.
    struct stat target;
    if (stat(device.name.c_str(), &target) == 0 &&
        (S_ISBLK(target.st_mode) || S_ISCHR(target.st_mode))) {
        device.number = target.st_rdev;
    }
    return device;
}

bool SameDeviceName(const std::string& given, const char* device) {
    return given == device;
}
