// The disks a scan found but could not read: there, and not silent about it.
#pragma once

#include <string>
#include <vector>

#include "inventory/drive_inventory.h"
#include "inventory/smart_driver.h"

struct UnreadableDisk {
    std::string device;  // as the driver names the position
    std::string reason;
};

// Each position whose disk refused the open for a reason other than not
// being there, or opened but answered neither the SMART controls nor the
// NVMe queries; in position order.
std::vector<UnreadableDisk> FindUnreadableDisks(const DriveInventory& inventory,
                                                SmartDriver& driver);
