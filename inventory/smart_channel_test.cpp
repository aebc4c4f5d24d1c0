#include "inventory/smart_channel.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testing/emulated_driver/emulated_driver.h"
#include "capture/synthetic_capture.h"

namespace {

struct Expected {
    uint32_t code;
    uint32_t bufferSize;
    uint8_t features, cylLow, cylHigh, command;
    uint32_t outputLength;
};

// The four commands of the scan; the NT driver checks drive number, access
// and drive/head, so each succeeding here proves the bytes are accepted.
class ChannelTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        driver.InsertDrive(GetParam(), MakeCapture("MODEL", "SERIAL", "FW"));
        char name[32];
        std::snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", GetParam());
        device = driver.Open(name, kGenericRead | kGenericWrite, 3, kOpenExisting);
        ASSERT_NE(device, VANTREL_INVALID_DEVICE);
        std::memset(&command, 0, sizeof command);
        std::memset(reply, 0, sizeof reply);
        driver.ClearCalls();
    }

    void ExpectLastCall(const Expected& e) {
        ASSERT_FALSE(driver.Calls().empty());
        const DriverCall& call = driver.Calls().back();
        const int position = GetParam();
        EXPECT_EQ(call.code, e.code);
        EXPECT_EQ(call.inputLength, 32u);
        EXPECT_EQ(call.outputLength, e.outputLength);
        ASSERT_EQ(call.input.size(), 32u);
        uint8_t bytes[32] = {};
        bytes[0] = static_cast<uint8_t>(e.bufferSize);
        bytes[1] = static_cast<uint8_t>(e.bufferSize >> 8);
        bytes[4] = e.features;
        bytes[5] = 1;
        bytes[6] = 1;
        bytes[7] = e.cylLow;
        bytes[8] = e.cylHigh;
        bytes[9] = (position & 1) ? 0xB0 : 0xA0;
        bytes[10] = e.command;
        bytes[12] = static_cast<uint8_t>(position);
        EXPECT_EQ(0, std::memcmp(call.input.data(), bytes, 32)) << "position " << position;
        EXPECT_EQ(call.result, 1);
    }

    EmulatedDriver driver{kPlatformWindowsNt};
    DeviceHandle device = nullptr;
    SmartCommandRecord command;
    uint8_t reply[kDataReplyLength];
};

TEST_P(ChannelTest, EnableSmartSendsTheSignedEnableCommand) {
    uint32_t returned = 0;
    EXPECT_NE(0, SendEnableSmart(driver, device, &command, reply, GetParam(), &returned));
    ExpectLastCall({kSmartSendDriveCommand, 0, 0xD8, 0x4F, 0xC2, 0xB0, 16});
}

TEST_P(ChannelTest, IdentifyCarriesTheCallersCommandAndLeavesRegistersInRecord) {
    uint32_t returned = 0;
    EXPECT_NE(0, SendIdentify(driver, device, &command, reply, 0xEC, GetParam(), &returned));
    ExpectLastCall({kSmartRcvDriveData, 512, 0, 0, 0, 0xEC, 528});
    EXPECT_EQ(command.irDriveRegs.bCommandReg, 0xEC);
    EXPECT_EQ(command.irDriveRegs.bDriveHeadReg, (GetParam() & 1) ? 0xB0 : 0xA0);
    // The reply's data begins after the 16-byte head.
    EXPECT_EQ(reply[16 + 54], 'O');
    EXPECT_EQ(reply[16 + 55], 'M');
}

TEST_P(ChannelTest, SmartReadsUseTheirSubcommands) {
    EXPECT_NE(0, ReadSmartAttributes(driver, device, &command, reply, GetParam()));
    ExpectLastCall({kSmartRcvDriveData, 512, 0xD0, 0x4F, 0xC2, 0xB0, 528});
    EXPECT_EQ(reply[16], 0x10);  // the data block's revision
    EXPECT_NE(0, ReadSmartThresholds(driver, device, &command, reply, GetParam()));
    ExpectLastCall({kSmartRcvDriveData, 512, 0xD1, 0x4F, 0xC2, 0xB0, 528});
}

INSTANTIATE_TEST_SUITE_P(AllPositions, ChannelTest, ::testing::Values(0, 1, 2, 3));

TEST(IsWindows9xTest, OnlyTheWindows9xPlatformCounts) {
    EmulatedDriver driver(kPlatformWindows9x);
    EXPECT_TRUE(IsWindows9x(driver));
    driver.SetPlatformId(kPlatformWindowsNt);
    EXPECT_FALSE(IsWindows9x(driver));
    driver.SetPlatformId(kPlatformWin32s);
    EXPECT_FALSE(IsWindows9x(driver));
}

}  // namespace
