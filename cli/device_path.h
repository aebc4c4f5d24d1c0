// The kernel's own name of a disk the user named: the names that survive a
// reboot (/dev/disk/by-id/...) are links to it. Only the path is resolved;
// nothing is opened through it.
#pragma once

#include <string>

std::string KernelDeviceName(const std::string& name);

// An NVMe namespace's device (/dev/nvme0n1) stands for its controller
// (/dev/nvme0), which is what is read; any other path is returned as it is.
std::string ControllerOfNamespace(const std::string& path);
