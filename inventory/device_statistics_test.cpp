#include "inventory/device_statistics.h"

#include <gtest/gtest.h>

#include <string>

#include "capture/synthetic_capture.h"

namespace {

const uint8_t kValid = kStatisticSupported | kStatisticValid;

// Pages 0, 1, 4, 5, 6 and 7 with a value in each statistic the outputs use.
DriveCapture Statistics() {
    DriveCapture capture = MakeCapture("STATS", "S", "F");
    AddDeviceStatistics(&capture, {0, 1, 4, 5, 6, 7});
    SetStatistic(&capture, 1, 0x08, kValid, 37);
    SetStatistic(&capture, 1, 0x10, kValid | kStatisticNormalized, 12345);
    SetStatistic(&capture, 1, 0x18, kValid, 0x0000ABCDEF012345);
    SetStatistic(&capture, 1, 0x28, kStatisticSupported, 99);  // supported, not valid
    SetStatistic(&capture, 4, 0x08, kValid | kStatisticConditionMet, 2);
    SetStatistic(&capture, 5, 0x08, kValid, 0xFFFFFFFFFFFFFB);  // -5 in its low byte
    SetStatistic(&capture, 5, 0x20, kValid, 61);
    SetStatistic(&capture, 6, 0x18, kValid | kStatisticSupportsDsn, 7);
    SetStatistic(&capture, 7, 0x08, kValid, 104);
    return capture;
}

std::string Names(const DeviceStatistics& statistics, int page) {
    std::string names;
    const StatisticsPage& p = statistics.pages[page];
    for (int i = p.first; i < p.first + p.count; ++i) {
        names += std::string(statistics.statistics[i].definition->name) + ";";
    }
    return names;
}

TEST(DeviceStatisticsTest, DecodesTheListedPages) {
    const DriveCapture capture = Statistics();
    const DeviceStatistics s = DecodeDeviceStatistics(capture.deviceStatistics, 8);
    ASSERT_EQ(BlockCheck::kOk, s.check);
    ASSERT_EQ(5, s.pageCount);
    const uint8_t numbers[] = {1, 4, 5, 6, 7};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(numbers[i], s.pages[i].number);
        EXPECT_EQ(1, s.pages[i].revision);
    }
    EXPECT_EQ(
        "Lifetime Power-On Resets;Power-on Hours;Logical Sectors Written;Logical Sectors Read;",
        Names(s, 0));
    EXPECT_EQ("Current Temperature;Highest Temperature;", Names(s, 2));
    EXPECT_EQ(0, s.failedPages);
}

// Each statistic's value by its size and sign, and only where valid.
TEST(DeviceStatisticsTest, ValuesByWidthSignAndValidity) {
    const DriveCapture capture = Statistics();
    const DeviceStatistics s = DecodeDeviceStatistics(capture.deviceStatistics, 8);
    const struct {
        StatisticKey key;
        bool found;
        int64_t value;
    } cases[] = {
        {{0x01, 0x08}, true, 37},
        {kLogicalSectorsWritten, true, 0xABCDEF012345},
        {kLogicalSectorsRead, false, 0},  // not valid
        {{0x01, 0x20}, false, 0},         // not supported
        {{0x04, 0x08}, true, 2},
        {{0x05, 0x08}, true, -5},
        {{0x05, 0x20}, true, 61},
        {{0x06, 0x18}, true, 7},
        {kPercentageUsedEndurance, true, 104},
    };
    for (const auto& c : cases) {
        int64_t value = 0;
        EXPECT_EQ(c.found, FindStatistic(s, c.key, &value))
            << int(c.key.page) << "/" << int(c.key.offset);
        EXPECT_EQ(c.value, value) << int(c.key.page) << "/" << int(c.key.offset);
    }
    int64_t percent = 0;
    ASSERT_TRUE(EnduranceUsedPercent(s, &percent));
    EXPECT_EQ(104, percent);
}

TEST(DeviceStatisticsTest, FlagsText) {
    const struct {
        uint8_t flags;
        const char* shortText;
        const char* longText;
    } cases[] = {
        {kValid, "---", "valid"},
        {kValid | kStatisticNormalized, "N--", "valid,normalized"},
        {kValid | kStatisticSupportsDsn | kStatisticConditionMet, "-DC",
         "valid,supports_dsn,monitored_condition_met"},
        {0xF8, "NDC", "valid,normalized,supports_dsn,monitored_condition_met"},
    };
    for (const auto& c : cases) {
        char text[kStatisticFlagsLongSize];
        EXPECT_STREQ(c.shortText, StatisticFlagsShort(c.flags).text);
        EXPECT_STREQ(c.longText, StatisticFlagsLong(c.flags, text));
    }
}

// A page whose header names another page is left out and named; a page
// 0 that does not name itself fails the log; pages not read are skipped.
TEST(DeviceStatisticsTest, BrokenPagesAndLogs) {
    DriveCapture capture = Statistics();
    capture.deviceStatistics[512 * 5 + 2] = 3;
    DeviceStatistics s = DecodeDeviceStatistics(capture.deviceStatistics, 8);
    EXPECT_EQ(BlockCheck::kOk, s.check);
    EXPECT_EQ(1u << 5, s.failedPages);
    EXPECT_EQ(4, s.pageCount);
    int64_t value = 0;
    EXPECT_FALSE(FindStatistic(s, {0x05, 0x08}, &value));

    s = DecodeDeviceStatistics(capture.deviceStatistics, 5);  // pages 5 to 7 not read
    EXPECT_EQ(0, s.failedPages);
    EXPECT_EQ(2, s.pageCount);

    capture.deviceStatistics[2] = 1;
    s = DecodeDeviceStatistics(capture.deviceStatistics, 8);
    EXPECT_EQ(BlockCheck::kFailed, s.check);
    EXPECT_EQ(0, s.pageCount);
    EXPECT_FALSE(EnduranceUsedPercent(s, &value));
    EXPECT_EQ(BlockCheck::kAbsent, DecodeDeviceStatistics(capture.deviceStatistics, 0).check);
}

}  // namespace
