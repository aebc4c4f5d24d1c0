#include "testing/emulated_driver/emulated_driver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"
#include "inventory/smart_channel.h"
#include "capture/synthetic_capture.h"

namespace {

// The emulation refuses what a real driver refuses, so that a scan bug
// shows up as a failed command rather than as made-up data.
class EmulatedDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(&command, 0, sizeof command);
        std::memset(reply, 0xEE, sizeof reply);
        driver.InsertDrive(1, MakeCapture("DISK", "S", "F"));
    }
    DeviceHandle OpenDrive(int position, uint32_t access = kGenericRead | kGenericWrite) {
        char name[32];
        std::snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", position);
        return driver.Open(name, access, 3, kOpenExisting);
    }
    int Identify(DeviceHandle device, uint8_t commandByte, int position) {
        uint32_t returned = 0;
        return SendIdentify(driver, device, &command, reply, commandByte, position, &returned);
    }
    EmulatedDriver driver{kPlatformWindowsNt};
    SmartCommandRecord command;
    uint8_t reply[kDataReplyLength];
};

TEST_F(EmulatedDriverTest, OpensOnlyFittedDrives) {
    EXPECT_EQ(VANTREL_INVALID_DEVICE, OpenDrive(0));
    EXPECT_EQ(VANTREL_INVALID_DEVICE, driver.Open("\\\\.\\SMARTVSD", 0, 0, kCreateNew));
    EXPECT_EQ(VANTREL_INVALID_DEVICE, driver.Open("\\\\.\\PhysicalDrive12", 0, 0, 3));
    DeviceHandle device = OpenDrive(1);
    ASSERT_NE(VANTREL_INVALID_DEVICE, device);
    EXPECT_EQ(1, driver.Close(device));
    EXPECT_EQ(0, driver.Close(device));  // twice is an error
}

TEST_F(EmulatedDriverTest, RefusesCommandsARealDriverRefuses) {
    DeviceHandle device = OpenDrive(1);
    EXPECT_EQ(0, Identify(device, kAtaIdentifyDevice, 0));        // another drive's number
    EXPECT_EQ(0, Identify(device, kAtaIdentifyPacketDevice, 1));  // not a packet device
    EXPECT_EQ(0xEE, reply[16]);                                   // buffer left alone
    EXPECT_NE(0, Identify(device, kAtaIdentifyDevice, 1));
    uint32_t returned = 0;
    // A reply buffer too small for the data.
    EXPECT_EQ(0, driver.IoControl(device, kSmartRcvDriveData, &command, 32, reply, 527, &returned));
    // A command record shorter than 32 bytes.
    EXPECT_EQ(0, driver.IoControl(device, kSmartRcvDriveData, &command, 31, reply, 528, &returned));
    // An unknown control code.
    EXPECT_EQ(0, driver.IoControl(device, 0x70000, &command, 32, reply, 528, &returned));
    // A SMART command without its cylinder signature, and an unknown feature.
    EXPECT_NE(0, ReadSmartAttributes(driver, device, &command, reply, 1));
    command.irDriveRegs.bCylHighReg = 0;
    EXPECT_EQ(0, driver.IoControl(device, kSmartRcvDriveData, &command, 32, reply, 528, &returned));
    command.irDriveRegs.bCylHighReg = 0xC2;
    command.irDriveRegs.bFeaturesReg = 0xD4;  // EXECUTE OFF-LINE IMMEDIATE
    EXPECT_EQ(0, driver.IoControl(device, kSmartRcvDriveData, &command, 32, reply, 528, &returned));
    command.irDriveRegs.bSectorNumberReg = 0x81;  // the captive short self-test
    EXPECT_EQ(0,
              driver.IoControl(device, kSmartSendDriveCommand, &command, 32, reply, 16, &returned));
    command.irDriveRegs.bSectorNumberReg = 1;
    // A wrong drive/head register.
    EXPECT_NE(0, ReadSmartAttributes(driver, device, &command, reply, 1));
    command.irDriveRegs.bDriveHeadReg = 0xA0;
    EXPECT_EQ(0, driver.IoControl(device, kSmartRcvDriveData, &command, 32, reply, 528, &returned));
    driver.Close(device);
    EXPECT_EQ(0, Identify(device, kAtaIdentifyDevice, 1));  // a closed handle
}

// An NVMe drive answers the property queries, and only its own; an ATA
// drive answers none. The scan side reads a reply only where its descriptor
// places the data inside what was returned.
TEST_F(EmulatedDriverTest, NvmeQueriesAndTheirRepliesAreChecked) {
    DriveCapture nvme;
    nvme.hasNvmeController = nvme.hasNvmeHealth = true;
    nvme.nvmeHealth[0] = 0x04;
    driver.InsertDrive(2, nvme);
    static uint8_t buffer[kProtocolDataStart + 4096];
    const auto ask = [&](DeviceHandle device, const NvmeQuery& query, uint32_t size) {
        BuildNvmeQuery(query, buffer);
        uint32_t returned = 0;
        const int answered =
            driver.IoControl(device, kStorageQueryProperty, buffer, size, buffer, size, &returned);
        return answered ? returned : 0u;
    };
    const DeviceHandle ata = OpenDrive(1);
    const DeviceHandle drive = OpenDrive(2, kGenericRead);  // no access is needed
    EXPECT_EQ(0u, ask(ata, HealthLogQuery(), kProtocolDataStart + 512));
    EXPECT_EQ(0, Identify(drive, kAtaIdentifyDevice, 2)) << "no SMART control on NVMe";
    EXPECT_EQ(0u, ask(drive, IdentifyNamespaceQuery(), kProtocolDataStart + 4096))
        << "no NVNS in the capture";
    EXPECT_EQ(0u, ask(drive, HealthLogQuery(), kProtocolDataStart + 511)) << "too small";
    NvmeQuery otherLog = HealthLogQuery();
    otherLog.requestValue = 1;  // the error information log
    EXPECT_EQ(0u, ask(drive, otherLog, kProtocolDataStart + 512));
    ASSERT_EQ(kProtocolDataStart + 512, ask(drive, HealthLogQuery(), kProtocolDataStart + 512));
    ASSERT_EQ(buffer + kProtocolDataStart, NvmeReplyData(buffer, kProtocolDataStart + 512, 512));
    EXPECT_EQ(0x04, buffer[kProtocolDataStart]);
    // Descriptors that would send the reader outside the reply.
    const struct {
        uint32_t offset, length, returned;
    } bad[] = {
        {40, 511, 560}, {41, 512, 560}, {40, 512, 559}, {0xFFFFFFF0u, 512, 560}, {40, 512, 47}};
    for (const auto& b : bad) {
        PutWord32(buffer + kProtocolRecordOffset + 16, b.offset);
        PutWord32(buffer + kProtocolRecordOffset + 20, b.length);
        EXPECT_EQ(nullptr, NvmeReplyData(buffer, b.returned, 512))
            << b.offset << " " << b.length << " " << b.returned;
    }
    driver.Close(ata);
    driver.Close(drive);
}

// IOCTL_ATA_PASS_THROUGH answers CHECK POWER MODE from PWRM, to a handle
// opened for reading and writing, and refuses any other record.
TEST_F(EmulatedDriverTest, AtaPassThroughAnswersCheckPowerModeAlone) {
    DriveCapture sleeper = MakeCapture("SLEEPER", "S", "F");
    sleeper.SetPowerMode(0x01);
    driver.InsertDrive(2, sleeper);
    AtaPassThroughRecord question;
    BuildCheckPowerMode(&question);
    AtaPassThroughRecord writeLike = question;
    writeLike.CurrentTaskFile[kTaskFileCommand] = 0xCA;  // WRITE DMA
    AtaPassThroughRecord dataIn = question;
    dataIn.AtaFlags |= kAtaFlagsDataIn;
    const struct {
        int position;
        uint32_t access;
        const AtaPassThroughRecord* record;
        uint32_t length;
        int count;  // -1: refused
    } cases[] = {
        {1, kGenericRead | kGenericWrite, &question, sizeof question, 0xFF},  // no PWRM
        {2, kGenericRead | kGenericWrite, &question, sizeof question, 0x01},
        {2, kGenericRead, &question, sizeof question, -1},
        {2, kGenericRead | kGenericWrite, &question, sizeof question - 1, -1},
        {2, kGenericRead | kGenericWrite, &writeLike, sizeof question, -1},
        {2, kGenericRead | kGenericWrite, &dataIn, sizeof question, -1},
    };
    for (const auto& c : cases) {
        DeviceHandle device = OpenDrive(c.position, c.access);
        ASSERT_NE(VANTREL_INVALID_DEVICE, device);
        AtaPassThroughRecord answer;
        std::memset(&answer, 0xEE, sizeof answer);
        uint32_t returned = 0;
        const int ok = driver.IoControl(device, kAtaPassThroughControl, c.record, c.length, &answer,
                                        sizeof answer, &returned);
        EXPECT_EQ(c.count >= 0, ok != 0) << c.position << " " << c.length;
        if (ok) {
            EXPECT_EQ(sizeof answer, returned);
            EXPECT_EQ(c.count, answer.CurrentTaskFile[kTaskFileCount]);
            EXPECT_EQ(kAtaStatusDriveReady, answer.CurrentTaskFile[kTaskFileCommand]);
        }
        driver.Close(device);
    }
    // A failed command (FFFFFFFFh), and Windows 9x's driver, which has none.
    sleeper.SetPowerMode(0xFFFFFFFF);
    driver.InsertDrive(2, sleeper);
    DeviceHandle device = OpenDrive(2);
    AtaPassThroughRecord answer = question;
    EXPECT_EQ(0, driver.IoControl(device, kAtaPassThroughControl, &question, sizeof question,
                                  &answer, sizeof answer, nullptr));
    driver.Close(device);
    driver.SetPlatformId(kPlatformWindows9x);
    device = driver.Open("\\\\.\\SMARTVSD", 0, 0, kCreateNew);
    ASSERT_NE(VANTREL_INVALID_DEVICE, device);
    EXPECT_EQ(0, driver.IoControl(device, kAtaPassThroughControl, &question, sizeof question,
                                  &answer, sizeof answer, nullptr));
    driver.Close(device);
}

TEST_F(EmulatedDriverTest, NtDriverNeedsReadWriteAccess) {
    DeviceHandle device = OpenDrive(1, kGenericRead);
    ASSERT_NE(VANTREL_INVALID_DEVICE, device);
    EXPECT_EQ(0, Identify(device, kAtaIdentifyDevice, 1));
    driver.Close(device);
}

TEST_F(EmulatedDriverTest, ThresholdReadFailsWithoutThresholds) {
    DriveCapture capture = MakeCapture("NOTH", "S", "F");
    capture.hasThresholds = false;
    driver.InsertDrive(1, capture);
    DeviceHandle device = OpenDrive(1);
    EXPECT_NE(0, ReadSmartAttributes(driver, device, &command, reply, 1));
    std::memset(reply, 0xEE, sizeof reply);
    EXPECT_EQ(0, ReadSmartThresholds(driver, device, &command, reply, 1));
    EXPECT_EQ(0xEE, reply[16]);
    driver.Close(device);
}

TEST_F(EmulatedDriverTest, Windows9xDriverServesEveryPosition) {
    driver.SetPlatformId(kPlatformWindows9x);
    DriveCapture cdrom = MakeCapture("CD", "S", "F");
    driver.InsertPacketDevice(2, cdrom.identify);
    EXPECT_EQ(VANTREL_INVALID_DEVICE, OpenDrive(1));
    DeviceHandle device = driver.Open("\\\\.\\SMARTVSD", 0, 0, kCreateNew);
    ASSERT_NE(VANTREL_INVALID_DEVICE, device);
    SmartVersion version;
    uint32_t returned = 0;
    ASSERT_NE(0, driver.IoControl(device, kSmartGetVersion, nullptr, 0, &version, 24, &returned));
    EXPECT_EQ(0x46, version.bIDEDeviceMap);
    EXPECT_EQ(0, driver.IoControl(device, kSmartGetVersion, nullptr, 0, &version, 23, &returned));
    EXPECT_NE(0, Identify(device, kAtaIdentifyDevice, 1));
    EXPECT_EQ(0, Identify(device, kAtaIdentifyDevice, 0));  // nothing fitted there
    EXPECT_NE(0, Identify(device, kAtaIdentifyPacketDevice, 2));
    driver.Close(device);
}

}  // namespace
