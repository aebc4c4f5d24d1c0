// The kernel's own name of a disk the user named: the names that survive a
// reboot (/dev/disk/by-id/...) are links to it. Only the path is resolved;
// nothing is opened through it.
#pragma once

#include <cstdint>
#include <string>

struct KernelDevice {
    std::string name;     // as the driver names its disks: /dev/sda, \\.\PhysicalDrive1
    uint64_t number = 0;  // its device number when the name was resolved; 0 where none
};

KernelDevice KernelDeviceOf(const std::string& name);

// Whether a name the user gave is the driver's name of a disk: exactly on
// Linux, where /dev/SDB is not /dev/sdb; in any case on Windows, as its own
// names are.
bool SameDeviceName(const std::string& given, const char* device);
