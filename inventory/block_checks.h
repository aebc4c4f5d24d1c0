// Whether a 512-byte block a drive sent can be trusted: the SMART data and
// threshold structures end in a checksum (the 8-bit sum of all 512 bytes is
// 0), and IDENTIFY DEVICE carries the same sum in byte 511 when byte 510
// is A5h. A failure means the reply cannot be trusted, not that the drive
// is odd.
#pragma once

#include <cstdint>

enum class BlockCheck : uint8_t {
    kAbsent,    // the block was not read
    kOk,        // its checksum holds
    kFailed,    // its checksum does not
    kUnsigned,  // IDENTIFY without the A5h signature: nothing to check
};

// A SMART data or thresholds block.
BlockCheck CheckSmartBlock(const uint8_t* block);
// An IDENTIFY DEVICE block.
BlockCheck CheckIdentifyBlock(const uint8_t* block);

// "absent", "ok", "failed" or "unsigned", as documents name the results.
const char* BlockCheckName(BlockCheck check);
