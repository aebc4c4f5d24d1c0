// The fields of one SMART attribute record, each read from the record's
// bytes here and nowhere else: slot byte 0 is the id, 1-2 the status flags,
// 3 the current value, 4 the worst, 5-10 the six raw bytes (least
// significant first); threshold slot byte 1 is the threshold.
#pragma once

#include <cstdint>

#include "inventory/drive_inventory.h"

inline uint8_t AttributeId(const AttributeRecord& r) {
    return r.Attribute[0];
}
inline uint16_t AttributeFlags(const AttributeRecord& r) {
    return static_cast<uint16_t>(r.Attribute[1] | (r.Attribute[2] << 8));
}
inline uint8_t AttributeCurrent(const AttributeRecord& r) {
    return r.Attribute[3];
}
inline uint8_t AttributeWorst(const AttributeRecord& r) {
    return r.Attribute[4];
}
inline uint8_t AttributeThreshold(const AttributeRecord& r) {
    return r.Threshold[1];
}

// The six raw bytes as one number.
inline uint64_t RawValue48(const AttributeRecord& r) {
    uint64_t value = 0;
    for (int i = 10; i >= 5; --i) {
        value = (value << 8) | r.Attribute[i];
    }
    return value;
}
// Raw bytes 0 to 3: the hours of attribute 9, the cycles of 12; most
// counts. Makers pack other fields into the two bytes above.
inline uint32_t RawLow32(const AttributeRecord& r) {
    return static_cast<uint32_t>(RawValue48(r) & 0xFFFFFFFFu);
}
// Raw bytes 0 and 1: the sector and error counts of 5, 187, 197 and 198.
inline uint16_t RawLow16(const AttributeRecord& r) {
    return static_cast<uint16_t>(r.Attribute[5] | (r.Attribute[6] << 8));
}
// The temperature of a temperature record, in degrees Celsius: raw byte 0
// alone, since many makers fill the higher bytes with the lowest and
// highest seen. Which records hold one is the reader's choice: the window
// takes 194 alone, the command line 194, else 190 (its family's roles).
inline uint8_t AttributeCelsius(const AttributeRecord& r) {
    return r.Attribute[5];
}
