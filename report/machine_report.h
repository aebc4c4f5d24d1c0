// The drive values the documents (JSON, Prometheus metrics) carry, each
// defined once so that they never disagree, and the pieces of text they
// are written with.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "health/attribute_table.h"
#include "inventory/attribute_fields.h"
#include "inventory/drive_inventory.h"

enum { kFlagBits = 6 };
// prefailure, updated_online, performance, error_rate, event_count,
// auto_keep: bits 0 to 5 of the status flag word.
extern const char* const kFlagNames[kFlagBits];

// P, O, S, R, C, K for bits 0 to 5 ('-' when clear), then one blank.
struct FlagsText {
    char text[8];
};
FlagsText FlagsShort(uint16_t flags);

// "now" when the value is below a non-zero threshold, "past" when the worst
// is, "" otherwise and when the thresholds are unknown.
const char* WhenFailed(const AttributeRecord& record, bool thresholdsKnown);

// User-addressable sectors: the 48-bit count when the drive supports 48-bit
// addressing, otherwise the 28-bit one (which stops at 137 GB).
uint64_t CapacityBlocks(const IdentifyData& identify);

// Bytes per logical sector. IDENTIFY word 106, when it is valid (bit 14 set,
// bit 15 clear), says with bit 12 that a sector is longer than 256 words;
// words 117 and 118 then give its length in 16-bit words. 512 otherwise, and
// for a length outside 512 bytes to 32 KB, which no drive has.
uint32_t LogicalSectorSize(const IdentifyData& identify);

// The drive's temperature in degrees Celsius: raw byte 0 of the attribute
// its family's rows hold it in (attribute_table.h), or, on a drive without
// that one, of the second, the only one some drives keep it in. False when
// the drive has neither.
bool DriveTemperature(const std::vector<AttributeRecord>& records, ModelFamily family,
                      uint8_t* celsius);

// SMART feature set supported (IDENTIFY word 82 bit 0).
bool SmartAvailable(const IdentifyData& identify);

// The identity texts trimmed of blanks at both ends.
struct IdentityTexts {
    std::string model;
    std::string serial;
    std::string firmware;
};
IdentityTexts TrimmedIdentity(const DriveInventory& inventory, int position);

// A string made of many short pieces: appends are inline, where those of
// std::string cost more than the bytes they copy. Its two appends are named
// as std::string's, so that the helpers below take either.
class TextSink {
  public:
    // Left unfilled: zeroing the room for a document cost as much as writing it.
    explicit TextSink(size_t capacity) : text_(new char[capacity]), capacity_(capacity) {}
    // Inline even where the code is optimised for size: a document is
    // written a byte or a piece at a time, and a call for each was a third
    // of the work of writing it.
    __attribute__((always_inline)) void append(const char* piece, size_t length) {
        std::memcpy(Room(length), piece, length);
        used_ += length;
    }
    __attribute__((always_inline)) void push_back(char c) {
        *Room(1) = c;
        ++used_;
    }
    std::string Text() const { return std::string(text_.get(), used_); }

  private:
    // The test alone inline; growing is the rare case.
    __attribute__((always_inline)) char* Room(size_t length) {
        if (used_ + length > capacity_) {
            Grow(length);
        }
        return text_.get() + used_;
    }
    void Grow(size_t length) {
        capacity_ = 2 * capacity_ + length;
        std::unique_ptr<char[]> larger(new char[capacity_]);
        std::memcpy(larger.get(), text_.get(), used_);
        text_ = std::move(larger);
    }

    std::unique_ptr<char[]> text_;
    size_t capacity_;
    size_t used_ = 0;
};

// Appends a drive's text byte for byte, except that bytes 0x80 to 0xFF are
// read as U+0080 to U+00FF, so that the result is UTF-8 whatever the drive
// sent, and that each byte for which reserved(byte) holds goes through
// escape(out, byte) instead. Runs of plain bytes are appended whole.
template <typename Out, typename Reserved, typename Escape>
void AppendText(Out* out, const char* text, size_t length, Reserved reserved, Escape escape) {
    size_t plain = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80 && !reserved(byte)) {
            continue;
        }
        out->append(text + plain, i - plain);
        plain = i + 1;
        if (byte >= 0x80) {
            const char utf8[2] = {static_cast<char>(0xC0 | (byte >> 6)),
                                  static_cast<char>(0x80 | (byte & 0x3F))};
            out->append(utf8, 2);
        } else {
            escape(out, byte);
        }
    }
    out->append(text + plain, length - plain);
}

template <typename Out>
void AppendNumber(Out* out, uint64_t value) {
    char digits[20];
    int count = sizeof digits;
    do {
        digits[--count] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    out->append(digits + count, sizeof digits - count);
}
