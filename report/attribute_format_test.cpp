#include "report/attribute_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(AttributeStatusTest, Boundaries) {
    EXPECT_EQ(AttributeVerdict::kOk, AttributeStatus(101, 90));
    EXPECT_EQ(AttributeVerdict::kWarning, AttributeStatus(100, 90));
    EXPECT_EQ(AttributeVerdict::kWarning, AttributeStatus(90, 90));
    EXPECT_EQ(AttributeVerdict::kFail, AttributeStatus(89, 90));
    EXPECT_EQ(AttributeVerdict::kWarning, AttributeStatus(0, 0));
    EXPECT_EQ(AttributeVerdict::kWarning, AttributeStatus(10, 0));
    EXPECT_EQ(AttributeVerdict::kOk, AttributeStatus(11, 0));
    // Threshold + 10 must not wrap around a byte.
    for (int threshold = 245; threshold <= 255; ++threshold) {
        for (int current = 0; current <= 255; ++current) {
            EXPECT_NE(AttributeVerdict::kOk, AttributeStatus(static_cast<uint8_t>(current),
                                                             static_cast<uint8_t>(threshold)));
        }
    }
    EXPECT_EQ(AttributeVerdict::kWarning, AttributeStatus(255, 245));
    EXPECT_EQ(AttributeVerdict::kFail, AttributeStatus(254, 255));
}

TEST(AttributeStatusTest, WordsOfBothForms) {
    EXPECT_STREQ("OK", VerdictText(AttributeVerdict::kOk, TextForm::kList));
    EXPECT_STREQ("WARNING", VerdictText(AttributeVerdict::kWarning, TextForm::kList));
    EXPECT_STREQ("FAIL", VerdictText(AttributeVerdict::kFail, TextForm::kList));
    EXPECT_STREQ("OK     ", VerdictText(AttributeVerdict::kOk, TextForm::kExport));
    EXPECT_STREQ("WARNING", VerdictText(AttributeVerdict::kWarning, TextForm::kExport));
    EXPECT_STREQ("FAIL   ", VerdictText(AttributeVerdict::kFail, TextForm::kExport));
}

AttributeRecord Record(uint8_t id, std::initializer_list<uint8_t> raw) {
    AttributeRecord record;
    std::memset(&record, 0, sizeof record);
    record.Attribute[0] = id;
    int i = 5;
    for (uint8_t b : raw) {
        record.Attribute[i++] = b;
    }
    return record;
}

std::string List(const AttributeRecord& r) {
    return FormatRawValue(r, TextForm::kList).text;
}
std::string Export(const AttributeRecord& r) {
    return FormatRawValue(r, TextForm::kExport).text;
}

TEST(FormatRawValueTest, UnitsOfSpinUpAndTemperature) {
    EXPECT_EQ("5 ms", List(Record(3, {5})));
    EXPECT_EQ("5ms", Export(Record(3, {5})));
    EXPECT_EQ("30 C", List(Record(194, {30})));
    EXPECT_EQ("30 C", Export(Record(194, {30})));
    EXPECT_EQ("-1 C", Export(Record(194, {0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ("4096ms", Export(Record(3, {0, 0x10})));
}

TEST(FormatRawValueTest, OnlyTheLowFourBytesCount) {
    EXPECT_EQ("42", List(Record(1, {0x2A, 0, 0, 0, 0x05, 0x07})));
    EXPECT_EQ("256", List(Record(1, {0, 0x01, 0, 0})));
    EXPECT_EQ("-1", List(Record(1, {0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ("-1", Export(Record(1, {0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ("-2147483648", Export(Record(1, {0, 0, 0, 0x80})));
    EXPECT_EQ("2147483647", Export(Record(1, {0xFF, 0xFF, 0xFF, 0x7F})));
}

TEST(FormatRawValueTest, ExportPaddingByWidth) {
    EXPECT_EQ("0   ", Export(Record(9, {0})));
    EXPECT_EQ("7   ", Export(Record(9, {7})));
    EXPECT_EQ("7", List(Record(9, {7})));
    EXPECT_EQ("9   ", Export(Record(9, {9})));
    EXPECT_EQ("10  ", Export(Record(9, {10})));
    EXPECT_EQ("42  ", Export(Record(9, {42})));
    EXPECT_EQ("99  ", Export(Record(9, {99})));
    EXPECT_EQ("100 ", Export(Record(9, {100})));
    EXPECT_EQ("420 ", Export(Record(9, {0xA4, 0x01})));
    EXPECT_EQ("999 ", Export(Record(9, {0xE7, 0x03})));
    EXPECT_EQ("1000", Export(Record(9, {0xE8, 0x03})));
    EXPECT_EQ("1000", List(Record(9, {0xE8, 0x03})));
}

}  // namespace
