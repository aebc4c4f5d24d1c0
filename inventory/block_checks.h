// Whether a 512-byte block a drive sent can be trusted: the SMART data and
// threshold structures end in a checksum (the 8-bit sum of all 512 bytes is
// 0), and IDENTIFY DEVICE carries the same sum in byte 511 when byte 510
// is A5h. A failure means the reply cannot be trusted, not that the drive
// is odd.
#pragma once

#include <cstdint>

struct AttributeRecord;

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

// The SMART data's other check: the first attribute id that two of its
// records (in table order, id 0 slots left out) name, 0 for none. A garbled
// reply, such as a confused bridge's all-FFh block, sums to 0 and lists
// FFh thirty times.
uint8_t FirstRepeatedAttributeId(const AttributeRecord* records, int count);

// "absent", "ok", "failed" or "unsigned", as documents name the results.
const char* BlockCheckName(BlockCheck check);
