#include "cli/device_choice.h"

#include "platform/device_path.h"

namespace {

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

bool ChooseDevices(const std::vector<std::string>& names, SmartDriver& driver, DeviceChoice* choice,
                   std::string* error) {
    for (const std::string& name : names) {
        int position = PositionNumber(name);
        KernelDevice wanted;
        if (position < 0) {
            wanted = KernelDeviceOf(name);
            for (int p = 0; p < kMaxDrivePositions && position < 0; ++p) {
                char device[64] = "";
                driver.DeviceName(p, device, sizeof device);
                if (SameDeviceName(wanted.name, device)) {
                    position = p;
                }
            }
        }
        // A number or a Windows name stands for a position whether or not a
        // disk is there: asked of the driver's list, so that nothing is sent
        // to any disk before every name is known good.
        if (position < 0 || !driver.HasDevice(position)) {
            *error = name + ": not a disk of this machine";
            return false;
        }
        if (!choice->chosen[position]) {
            choice->chosen[position] = true;
            choice->names[position] = name;
            if (wanted.number != 0) {
                driver.ExpectDevice(position, wanted.number);
            }
        }
    }
    return true;
}
