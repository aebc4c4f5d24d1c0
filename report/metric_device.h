// The device label of the metrics, in the form the common SMART exporter's
// users select it: device="sda", device=~"nvme.*".
#pragma once

#include <string>

// The kernel's name without /dev/ (/dev/sda: sda, /dev/nvme0: nvme0),
// Windows NT's drive without \\.\ (PhysicalDrive0), Windows 9x's position as
// drive0 to drive3 (SMARTVSD:2: drive2). Anything else, a capture's file
// name, as it is: a capture's name holds no / or \, nor a colon on Windows.
std::string MetricDeviceName(const std::string& device);
