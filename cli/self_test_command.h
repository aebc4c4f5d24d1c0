// vantrel-report --self-test: what became of each disk's self-test, one
// line per disk, once the scan has sent (or not sent) the routine.
#pragma once

#include <string>

#include "inventory/drive_inventory.h"

struct SelfTestLine {
    std::string text;  // ending in LF
    bool refused;      // a command was sent and the drive refused it
};

// The line of the disk at position, named device, after a scan that was
// asked to start kind.
SelfTestLine DescribeSelfTest(const DriveInventory& inventory, int position,
                              const std::string& device, SelfTestKind kind);
