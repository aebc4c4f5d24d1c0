#include "inventory/smart_logs.h"

#include <gtest/gtest.h>

namespace {

// The log's 16-bit hours against readings' full ones, below and past
// 65,535 hours, and across the wrap of the 16 bits between two readings.
TEST(SmartLogsTest, SelfTestRanBetweenPlacesTheLogsSixteenBitHours) {
    const struct {
        uint16_t entry;
        uint64_t older, newer;
        bool between;
    } cases[] = {
        {150, 120, 160, true},
        {120, 120, 160, false},  // at the older reading: already in it
        {160, 120, 160, true},
        {161, 120, 160, false},  // after the newer reading
        {100, 120, 160, false},
        {150, 160, 120, false},  // readings the wrong way round
        {150, 120, 120, false},
        // 70,000 hours: the log holds 70,005 - 65,536 = 4,469.
        {4469, 70000, 70010, true},
        {4464, 70000, 70010, false},
        {4480, 70000, 70010, false},
        // The 16 bits wrap between the readings.
        {3, 65530, 65540, true},
        {65535, 65530, 65540, true},
        {65530, 65530, 65540, false},
        // More than 65,536 hours between: every entry may be in the span.
        {7, 1000, 200000, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.between, SelfTestRanBetween(c.entry, c.older, c.newer))
            << c.entry << " between " << c.older << " and " << c.newer;
    }
}

}  // namespace
