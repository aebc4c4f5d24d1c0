// Whether an ATA drive's replies can be trusted before anything is judged
// from them. A garbled reply (a confused bridge's all-FFh block sums to 0
// and lists attribute FFh thirty times) says nothing about the drive, so a
// drive whose replies fail is given no verdict but UNKNOWN.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inventory/block_checks.h"
#include "inventory/drive_inventory.h"

struct ReplyIntegrity {
    BlockCheck identify = BlockCheck::kAbsent;
    BlockCheck smartData = BlockCheck::kAbsent;
    BlockCheck thresholds = BlockCheck::kAbsent;
    uint8_t repeatedId = 0;  // the first attribute id found in two slots; 0 for none
    // The two logs: a failed one is left out and said, but judges nothing.
    BlockCheck errorLog = BlockCheck::kAbsent;
    BlockCheck selfTestLog = BlockCheck::kAbsent;
    // The Device Statistics log likewise, and its pages left out for a
    // header that does not name them (bit n for page n).
    BlockCheck deviceStatistics = BlockCheck::kAbsent;
    uint8_t failedStatisticsPages = 0;
};

// The scan's checksums of the drive at position, and whether its records
// (in table order, id 0 slots already left out) repeat an id.
ReplyIntegrity CheckReplies(const DriveInventory& inventory, int position,
                            const std::vector<AttributeRecord>& records);

// The SMART data block's check as the documents give it: failed where its
// checksum failed or where it lists an attribute id in two slots, the two
// checks of that block.
BlockCheck SmartDataCheck(const ReplyIntegrity& integrity);

// Each failed check in words: the checksums of IDENTIFY, the SMART data and
// the thresholds ("SMART data failed its checksum"), then a repeated id
// ("attribute 5 appears twice in the SMART data").
std::vector<std::string> IntegrityFailures(const ReplyIntegrity& integrity);

// The logs that failed their checks: "the error log failed its checks",
// "Device Statistics page 5 failed its checks".
std::vector<std::string> LogFailures(const ReplyIntegrity& integrity);
