#include "report/unreadable_disks.h"

#include <cstdio>

std::vector<UnreadableDisk> FindUnreadableDisks(const DriveInventory& inventory,
                                                SmartDriver& driver) {
    std::vector<UnreadableDisk> disks;
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        const uint32_t error = inventory.openError[position];
        const DriveEntry& entry = inventory.entries[position];
        char reason[64] = "not readable: ";
        char* const why = reason + 14;
        const size_t room = sizeof reason - 14;
        if (error == kErrorAccessDenied) {
            std::snprintf(why, room, "no rights (administrator or root)");
        } else if (error == kErrorNotSupported) {
            std::snprintf(why, room, "takes neither ATA nor NVMe commands");
        } else if (error != 0 && error != kErrorFileNotFound && error != kErrorPathNotFound) {
            std::snprintf(why, room, "the open failed (error %lu)",
                          static_cast<unsigned long>(error));
        } else if (entry.Found && entry.DriveNumber < 0 && !inventory.asleep[position]) {
            // Windows' disk driver opened it, but answered no SMART control
            // and no NVMe query: a USB bridge without pass-through, a RAID
            // volume, or an NVMe drive before Windows 10.
            std::snprintf(why, room, "answers neither SMART nor NVMe");
        } else {
            continue;
        }
        char name[64];
        driver.DeviceName(position, name, sizeof name);
        disks.push_back(UnreadableDisk{name, reason});
    }
    return disks;
}
