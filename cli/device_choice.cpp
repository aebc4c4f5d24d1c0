#include "cli/device_choice.h"

#include <cctype>

#include "cli/device_path.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A position number as typed: decimal, no sign, no leading zero.
int PositionNumber(const std::string& name) {
    if (name.empty() || name.size() > 2 || (name.size() > 1 && name[0] == '0')) {
        return -1;
    }
    int position = 0;
    for (char c : name) {
        if (c < '0' || c > '9') {
            return -1;
        }
        position = 10 * position + (c - '0');
    }
    return position < kMaxDrivePositions ? position : -1;
}

}  // namespace

std::string ControllerOfNamespace(const std::string& path) {
    const std::string controller = "/dev/nvme";
    if (path.compare(0, controller.size(), controller) != 0) {
        return path;
    }
    const size_t end = path.find_first_not_of("0123456789", controller.size());
    if (end == controller.size() || end == std::string::npos || path[end] != 'n' ||
        end + 1 == path.size() ||
        path.find_first_not_of("0123456789", end + 1) != std::string::npos) {
        return path;
    }
    return path.substr(0, end);
}

bool ChooseDevices(const std::vector<std::string>& names, SmartDriver& driver, DeviceChoice* choice,
                   std::string* error) {
    for (const std::string& name : names) {
        int position = PositionNumber(name);
        if (position < 0) {
            const std::string wanted = KernelDeviceName(name);
            for (int p = 0; p < kMaxDrivePositions && position < 0; ++p) {
                char device[64] = "";
                driver.DeviceName(p, device, sizeof device);
                if (SameName(wanted, device)) {
                    position = p;
                }
            }
        }
        if (position < 0) {
            *error = name + ": not a disk of this machine";
            return false;
        }
        if (!choice->chosen[position]) {
            choice->chosen[position] = true;
            choice->names[position] = name;
        }
    }
    return true;
}
