#include "inventory/power_mode.h"

#include <gtest/gtest.h>

namespace {

// Each count CHECK POWER MODE may answer, with the edges of each range.
TEST(PowerModeTest, CountsReadAsTheirModes) {
    const struct {
        uint8_t count;
        const char* mode;
    } cases[] = {
        {0x00, "standby"},        {0x01, "standby"}, {0x02, "unknown"}, {0x3F, "unknown"},
        {0x40, "idle"},           {0x41, "idle"},    {0x42, "unknown"}, {0x7F, "unknown"},
        {0x80, "idle"},           {0x83, "idle"},    {0x84, "unknown"}, {0xFE, "unknown"},
        {0xFF, "active or idle"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.mode, PowerModeName(DecodePowerMode(c.count))) << int(c.count);
    }
}

}  // namespace
