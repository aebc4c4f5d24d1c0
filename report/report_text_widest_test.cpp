// The report block is built in a 4096-byte buffer from pieces formatted in
// a 256-byte line buffer. These tests show that no drive can overflow
// either: they build the widest drive there is, then sweep every value it
// shows over its range and check that no block outgrows the widest drive's
// and no line outgrows the line buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "report/report_text.h"

namespace {

enum { kPosition = 3, kWords = 128 };

bool IsTextWord(int word) {
    return (word >= 10 && word <= 19) || (word >= 23 && word <= 46);
}

void SetWord(DriveInventory* inventory, int word, uint16_t value) {
    inventory->entries[kPosition].Identify.bytes[2 * word] = static_cast<uint8_t>(value);
    inventory->entries[kPosition].Identify.bytes[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// Every number at its widest: register bytes of two hex digits, words of
// five decimal or four hex digits, 32-bit values at the most negative
// number (eleven characters), sectors per track of five digits; "SMART NOT
// enabled", the longer state; the three texts at their full widths with no
// blank to trim.
void MakeWidest(DriveInventory* inventory) {
    DriveEntry& entry = inventory->entries[kPosition];
    entry.DriveNumber = kPosition;
    entry.SmartEnabled = 0;
    std::memset(&entry.IdeRegisters, 0xFF, sizeof entry.IdeRegisters);
    std::memset(entry.Identify.bytes, 0xFF, sizeof entry.Identify.bytes);
    std::memset(entry.Identify.bytes + kSerialOffset, 'S', kSerialWidth);
    std::memset(entry.Identify.bytes + kFirmwareOffset, 'F', kFirmwareWidth);
    std::memset(entry.Identify.bytes + kModelOffset, 'M', kModelWidth);
    SetWord(inventory, 6, 10000);
    SetWord(inventory, 57, 0x0000);
    SetWord(inventory, 58, 0x8000);
    SetWord(inventory, 60, 0x0000);
    SetWord(inventory, 61, 0x8000);
}

struct Lengths {
    size_t total;
    std::vector<size_t> lines;  // with their CR LF
};

Lengths Measure(const DriveInventory& inventory, ReportVariant variant) {
    DriveReportText report;
    BuildDriveReportText(inventory, kPosition, variant, &report);
    Lengths lengths;
    const void* nul = std::memchr(report.text, '\0', sizeof report.text);
    EXPECT_NE(nullptr, nul) << "no NUL inside the block";
    lengths.total = nul ? static_cast<const char*>(nul) - report.text : sizeof report.text;
    const std::string text(report.text, lengths.total);
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lengths.lines.push_back(end + 2 - start);
        start = end + 2;
    }
    EXPECT_EQ(text.size(), start) << "text after the last CR LF";
    return lengths;
}

// The widest of each line and of the block over every drive measured. Words
// 4 and 6 share a line and each has one more, so no one drive need have
// every line at its widest.
void Widen(Lengths* maxima, const Lengths& other, const std::string& what) {
    maxima->total = std::max(maxima->total, other.total);
    ASSERT_EQ(maxima->lines.size(), other.lines.size()) << what;
    for (size_t line = 0; line < other.lines.size(); ++line) {
        maxima->lines[line] = std::max(maxima->lines[line], other.lines[line]);
    }
}

const ReportVariant kVariants[] = {ReportVariant::kWindow, ReportVariant::kExport};

TEST(ReportWidestDriveTest, FitsTheBlockAndTheLineBuffer) {
    DriveInventory inventory;
    MakeWidest(&inventory);
    for (ReportVariant variant : kVariants) {
        const Lengths widest = Measure(inventory, variant);
        ASSERT_EQ(variant == ReportVariant::kExport ? 21u : 20u, widest.lines.size());
        // The longest line: "Current Sector Capacity: " (25), -2147483648 (11),
        // " \t" (2), "Total Addressable Sectors: " (27), -2147483648 (11), CR LF.
        size_t longest = 0;
        for (size_t length : widest.lines) {
            longest = std::max(longest, length);
        }
        EXPECT_EQ(78u, longest);
        EXPECT_EQ(78u, widest.lines[18]);
        EXPECT_EQ(14u + 40u + 2u, widest.lines[10]);  // "Model Number: ", 40, CR LF
        // A line and its NUL fit the line buffer; the block and its NUL the
        // text buffer, with the room the design promises.
        EXPECT_LT(longest, static_cast<size_t>(kReportLineSize));
        EXPECT_LT(widest.total, 900u);
        EXPECT_LT(widest.total + 1, static_cast<size_t>(kReportTextSize));
    }
}

TEST(ReportWidestDriveTest, NoValueOutgrowsTheBuffers) {
    // Decimal and hexadecimal widths change only at these values, so each
    // width that a word can print at is among them.
    const uint16_t steps[] = {0,   1,    9,    10,   15,   16,    99,    100,   255,    256,
                              999, 1000, 4095, 4096, 9999, 10000, 32767, 32768, 0xFFFE, 0xFFFF};
    for (ReportVariant variant : kVariants) {
        DriveInventory inventory;
        MakeWidest(&inventory);
        const Lengths widest = Measure(inventory, variant);
        Lengths maxima = widest;

        for (int word = 0; word < kWords; ++word) {
            if (IsTextWord(word)) {
                continue;
            }
            const uint16_t saved = IdentifyWord(inventory.entries[kPosition].Identify, word);
            for (uint16_t value : steps) {
                SetWord(&inventory, word, value);
                Widen(&maxima, Measure(inventory, variant),
                      "word " + std::to_string(word) + " = " + std::to_string(value));
            }
            SetWord(&inventory, word, saved);
        }
        // Bytes per sector is the quotient of two words: every divisor, and
        // every dividend over the widest divisor.
        for (uint32_t value = 0; value <= 0xFFFF; ++value) {
            SetWord(&inventory, 6, static_cast<uint16_t>(value));
            Widen(&maxima, Measure(inventory, variant), "word 6 = " + std::to_string(value));
        }
        SetWord(&inventory, 6, 10000);
        for (uint32_t value = 0; value <= 0xFFFF; ++value) {
            SetWord(&inventory, 4, static_cast<uint16_t>(value));
            Widen(&maxima, Measure(inventory, variant), "word 4 = " + std::to_string(value));
        }
        SetWord(&inventory, 4, 0xFFFF);
        // Each 32-bit value over both of its words.
        for (int low : {57, 60}) {
            for (uint16_t lowValue : steps) {
                for (uint16_t highValue : steps) {
                    SetWord(&inventory, low, lowValue);
                    SetWord(&inventory, low + 1, highValue);
                    Widen(&maxima, Measure(inventory, variant),
                          "words " + std::to_string(low) + "-" + std::to_string(low + 1));
                }
            }
            SetWord(&inventory, low, 0x0000);
            SetWord(&inventory, low + 1, 0x8000);
        }
        // Every register byte over all its values, and the other SMART state.
        uint8_t* registers = reinterpret_cast<uint8_t*>(&inventory.entries[kPosition].IdeRegisters);
        for (size_t index = 0; index < sizeof(IdeRegs); ++index) {
            for (int value = 0; value < 256; ++value) {
                registers[index] = static_cast<uint8_t>(value);
                Widen(&maxima, Measure(inventory, variant), "register " + std::to_string(index));
            }
            registers[index] = 0xFF;
        }
        inventory.entries[kPosition].SmartEnabled = 1;
        Widen(&maxima, Measure(inventory, variant), "SMART enabled");

        // The widest drive is the widest block; even a block made of every
        // line at its own widest fits with room to spare, and so does every
        // line in the line buffer.
        EXPECT_EQ(widest.total, maxima.total);
        size_t sum = 0;
        for (size_t line = 0; line < maxima.lines.size(); ++line) {
            EXPECT_LT(maxima.lines[line], static_cast<size_t>(kReportLineSize)) << line + 1;
            sum += maxima.lines[line];
        }
        EXPECT_LT(sum, 900u);
    }
}

}  // namespace
