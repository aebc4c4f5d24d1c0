// --device: which drive positions of this machine the names the user gave
// stand for, decided from the names alone, before any disk is opened.
#pragma once

#include <string>
#include <vector>

#include "inventory/drive_inventory.h"
#include "inventory/smart_driver.h"

struct DeviceChoice {
    bool chosen[kMaxDrivePositions] = {};
    std::string names[kMaxDrivePositions];  // the first name given for each
};

// A drive position number, or a name that is (or links to) a disk's device
// as the driver names it: /dev/sda, /dev/nvme0 (or a namespace of it,
// /dev/nvme0n1), \\.\PhysicalDrive1 in any case. False with *error naming
// the first name that is no disk of this machine, decided before any disk
// is sent a command. A name resolved through a link is pinned to the
// device it found: the driver opens no other under that position.
bool ChooseDevices(const std::vector<std::string>& names, SmartDriver& driver, DeviceChoice* choice,
                   std::string* error);
