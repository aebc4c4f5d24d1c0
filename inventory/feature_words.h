// IDENTIFY's feature words as the standards qualify them: a word whose bits
// 15-14 do not read 01 is not reported, and none of its bits count.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "inventory/drive_inventory.h"

// A feature word whose bits 15-14 read 01: its other bits mean something.
inline bool ValidFeatureWord(uint16_t word) {
    return (word & 0xC000) == 0x4000;
}

// Whether either command-set word, 84 (supported) or 87 (enabled), is valid
// and has one of the bits of mask set: where a drive says it keeps the
// SMART error log (bit 0), runs self-tests (bit 1) or has a world wide
// name (bit 8).
inline bool FeatureWordsSay(const IdentifyData& identify, uint16_t mask) {
    for (const int word : {84, 87}) {
        const uint16_t value = IdentifyWord(identify, word);
        if (ValidFeatureWord(value) && (value & mask) != 0) {
            return true;
        }
    }
    return false;
}
