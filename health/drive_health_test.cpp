#include "health/drive_health.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Attr {
    uint8_t id, current, worst, threshold;
    uint64_t raw;  // raw bytes 0 to 5, byte 0 lowest
};

std::vector<AttributeRecord> Records(std::initializer_list<Attr> attrs) {
    std::vector<AttributeRecord> records;
    for (const Attr& a : attrs) {
        AttributeRecord record;
        std::memset(&record, 0, sizeof record);
        record.Attribute[0] = a.id;
        record.Attribute[3] = a.current;
        record.Attribute[4] = a.worst;
        for (int i = 0; i < 6; ++i) {
            record.Attribute[5 + i] = static_cast<uint8_t>(a.raw >> (8 * i));
        }
        record.Threshold[0] = a.id;
        record.Threshold[1] = a.threshold;
        NameAttribute(&record);
        records.push_back(record);
    }
    return records;
}

std::string Line(const DriveHealth& health) {
    std::string line = HealthVerdictName(health.verdict);
    for (size_t i = 0; i < health.reasons.size(); ++i) {
        line += (i ? ", " : ": ") + health.reasons[i];
    }
    return line;
}

TEST(DriveHealthTest, EachSignAndVerdict) {
    struct Case {
        const char* what;
        std::vector<AttributeRecord> records;
        bool thresholdsKnown;
        const char* expected;
    } cases[] = {
        {"no sign", Records({{1, 100, 100, 6, 7111}, {194, 40, 60, 0, 0x2D0F001C}}), true, "GOOD"},
        {"a WARNING is no sign", Records({{184, 100, 100, 90, 0}}), true, "GOOD"},
        {"counts in bytes 0 and 1 only, in table order",
         Records({{5, 100, 100, 36, 0x0700000005},
                  {187, 100, 100, 0, 0x10000},
                  {197, 100, 100, 0, 0xFD210002},
                  {198, 100, 100, 0, 0x0B710001},
                  {187, 100, 100, 0, 0x0001}}),
         true,
         "CAUTION: 5 reallocated sectors (5), 2 pending sectors (C5), "
         "1 offline uncorrectable sector (C6), 1 reported uncorrectable error (BB)"},
        {"past failure after the counts",
         Records({{10, 100, 96, 97, 0}, {5, 100, 100, 36, 1}, {190, 62, 44, 0, 38}}), true,
         "CAUTION: 1 reallocated sector (5), Spin Retry Count failed in the past (A)"},
        {"below now, first, and not also as a past failure",
         Records({{5, 100, 100, 36, 3}, {4, 1, 1, 20, 252391}}), true,
         "BAD: Start/Stop Count below its threshold (4), 3 reallocated sectors (5)"},
        {"thresholds unread", Records({{1, 5, 5, 0, 0}}), false, "UNKNOWN: thresholds not read"},
        {"thresholds unread, a count still counts", Records({{197, 100, 100, 0, 4}}), false,
         "CAUTION: 4 pending sectors (C5)"},
        {"no SMART data", {}, true, "UNKNOWN: no SMART data"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected,
                  Line(AssessAttributes(c.records, c.thresholdsKnown, ModelFamily::kGeneric)))
            << c.what;
    }
}

}  // namespace
