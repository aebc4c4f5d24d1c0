#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/nvme_namespace.h"

namespace {

// The number in a controller's name (nvme12), -1 for any other name.
long ControllerNumber(const std::string& name) {
    const std::string prefix = "nvme";
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size() ||
        name.size() > prefix.size() + 6 ||
        name.find_first_not_of("0123456789", prefix.size()) != std::string::npos) {
        return -1;
    }
    return std::strtol(name.c_str() + prefix.size(), nullptr, 10);
}

bool IsNamespaceName(const std::string& name) {
    const size_t n = name.find('n', 4);
    return n != std::string::npos && ControllerNumber(name.substr(0, n)) >= 0 &&
           n + 1 < name.size() && name.find_first_not_of("0123456789", n + 1) == std::string::npos;
}

// The lowest-numbered controller in a subsystem's folder: with native
// multipath a namespace belongs to the subsystem, which any of its
// controllers reports on.
std::string FirstController(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return std::string();
    }
    std::string first;
    long lowest = -1;
    while (const dirent* entry = readdir(dir)) {
        const long number = ControllerNumber(entry->d_name);
        if (number >= 0 && (lowest < 0 || number < lowest)) {
            lowest = number;
            first = entry->d_name;
        }
    }
    closedir(dir);
    return first;
}

}  // namespace

std::string ControllerOfNamespace(const std::string& path, const std::string& sysfs) {
    const std::string dev = "/dev/";
    if (path.compare(0, dev.size(), dev) != 0 || !IsNamespaceName(path.substr(dev.size()))) {
        return path;
    }
    // The namespace's "device" is its controller, or under multipath its
    // subsystem.
    char parent[PATH_MAX];
    const std::string link = sysfs + "/class/block/" + path.substr(dev.size()) + "/device";
    if (!realpath(link.c_str(), parent)) {
        return path;
    }
    const std::string folder = parent;
    const std::string last = folder.substr(folder.rfind('/') + 1);
    const std::string controller = ControllerNumber(last) >= 0 ? last : FirstController(folder);
    return controller.empty() ? path : dev + controller;
}
