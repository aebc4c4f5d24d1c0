// An NVMe namespace's block device (/dev/nvme0n1) stands for the controller
// that is read (/dev/nvme0). The kernel names a namespace after its
// subsystem, not its controller, so the two numbers may differ: the
// controller is found through sysfs, never from the name.
#pragma once

#include <string>

// The controller's device for a namespace's path; any other path, and a
// namespace whose controller sysfs does not show, is returned as it is.
// sysfs is the folder sysfs is mounted on, "/sys" but in tests.
std::string ControllerOfNamespace(const std::string& path, const std::string& sysfs);
