#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>
#include <string>

#include "inventory/ata_pass_through_record.h"
#include "inventory/drive_inventory.h"
#include "inventory/nvme_query.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "capture/synthetic_capture.h"

namespace {

DriveCapture Drive(const std::string& model) {
    DriveCapture capture = MakeCapture(model, "SER-" + model, "FW-1");
    SetAttribute(&capture, 0, 1, 100, 99, 42, 50);
    SetAttribute(&capture, 2, 9, 88, 88, 1234, 0);
    return capture;
}

std::string Model(const DriveInventory& inventory, int position, bool suffix = false) {
    char buffer[64];
    uint32_t length = sizeof buffer;
    const char* name = inventory.GetModelName(buffer, &length, position, suffix);
    return name ? name : "(null)";
}

bool IsZero(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i]) {
            return false;
        }
    }
    return true;
}

// Every handle the scan opened is closed again, on every path.
void ExpectAllClosed(const EmulatedDriver& driver) {
    std::set<DeviceHandle> open;
    for (const DriverCall& call : driver.Calls()) {
        if (call.kind == DriverCall::kOpen && call.result) {
            open.insert(call.handle);
        } else if (call.kind == DriverCall::kClose) {
            EXPECT_EQ(1u, open.erase(call.handle)) << "closed a handle that was not open";
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(0u, driver.OpenHandleCount());
}

TEST(ScanNtTest, DrivesAtOneAndThreeOnly) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(1, Drive("ALPHA"));
    driver.InsertDrive(3, Drive("BETA"));
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(2, inventory.GetDriveCount());
    EXPECT_EQ(-1, inventory.entries[0].DriveNumber);
    EXPECT_EQ(1, inventory.entries[1].DriveNumber);
    EXPECT_EQ(-1, inventory.entries[2].DriveNumber);
    EXPECT_EQ(3, inventory.entries[3].DriveNumber);
    EXPECT_EQ("ALPHA", Model(inventory, 1));
    EXPECT_EQ("BETA", Model(inventory, 3));
    EXPECT_EQ(1u, inventory.entries[3].SmartEnabled);
    EXPECT_EQ(0xB0, inventory.entries[3].IdeRegisters.bDriveHeadReg);
    EXPECT_EQ(0xEC, inventory.entries[3].IdeRegisters.bCommandReg);
    EXPECT_EQ(2, inventory.GetAttributeCount(3));
    EXPECT_EQ(0x10, inventory.attributeRevision[3]);
    ExpectAllClosed(driver);
    // Each position is its own device, opened for reading and writing.
    int opens = 0;
    for (const DriverCall& call : driver.Calls()) {
        if (call.kind != DriverCall::kOpen) {
            continue;
        }
        EXPECT_EQ("\\\\.\\PhysicalDrive" + std::to_string(opens), call.name);
        EXPECT_EQ(kGenericRead | kGenericWrite, call.access);
        EXPECT_EQ(kFileShareRead | kFileShareWrite, call.shareMode);
        EXPECT_EQ(kOpenExisting, call.disposition);
        ++opens;
    }
    EXPECT_EQ(4, opens);
}

TEST(ScanNtTest, RegistersOfAPositionZeroIdentifyAreKeptAsSent) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.InsertDrive(2, Drive("GAMMA"));
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    const IdeRegs& regs = inventory.entries[0].IdeRegisters;
    const uint8_t expected[8] = {0, 1, 1, 0, 0, 0xA0, 0xEC, 0};
    EXPECT_EQ(0, std::memcmp(&regs, expected, 8));
    EXPECT_EQ(0xA0, inventory.entries[2].IdeRegisters.bDriveHeadReg);
}

TEST(ScanNtTest, PacketDeviceIsIdentifiedWithA1AndHasNoName) {
    EmulatedDriver driver(kPlatformWindowsNt);
    DriveCapture cdrom = MakeCapture("CDROM DRIVE", "X", "1.0");
    driver.InsertPacketDevice(0, cdrom.identify);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(1, inventory.GetDriveCount());
    const DriveEntry& entry = inventory.entries[0];
    EXPECT_EQ(0, entry.DriveNumber);
    EXPECT_EQ(1u, entry.IsPacketDevice);
    EXPECT_EQ(0u, entry.SmartEnabled);
    EXPECT_TRUE(IsZero(&entry.Identify, sizeof entry.Identify));
    EXPECT_EQ("(null)", Model(inventory, 0, true));
    EXPECT_EQ(0, inventory.GetAttributeCount(0));
    bool sawPacketIdentify = false;
    for (const DriverCall& call : driver.Calls()) {
        if (call.kind == DriverCall::kIoControl && call.code != kSmartGetVersion) {
            // No SMART command is sent to a packet device.
            EXPECT_EQ(0xA1, call.input[10]);
            sawPacketIdentify = true;
        }
    }
    EXPECT_TRUE(sawPacketIdentify);
    ExpectAllClosed(driver);
}

TEST(ScanNtTest, VersionFailureCountsTheDriveButLeavesItEmpty) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.FailStep(0, ScanStep::kVersion);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(1, inventory.GetDriveCount());
    EXPECT_EQ(1u, inventory.entries[0].Found);
    EXPECT_EQ(-1, inventory.entries[0].DriveNumber);
    DriveEntry entry;
    EXPECT_FALSE(inventory.GetDriveEntry(&entry, 0));
    ExpectAllClosed(driver);
}

TEST(ScanNtTest, OpenFailureSkipsThePosition) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.InsertDrive(1, Drive("BETA"));
    driver.FailStep(0, ScanStep::kOpen);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(1, inventory.GetDriveCount());
    EXPECT_EQ(0u, inventory.entries[0].Found);
    EXPECT_EQ("BETA", Model(inventory, 1));
}

TEST(ScanNtTest, EnableFailureKeepsIdentityButNoSmartData) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(2, Drive("ALPHA"));
    driver.FailStep(2, ScanStep::kEnable);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(1, inventory.GetDriveCount());
    EXPECT_EQ(2, inventory.entries[2].DriveNumber);
    EXPECT_EQ(0u, inventory.entries[2].SmartEnabled);
    EXPECT_EQ(0, inventory.GetAttributeCount(2));
    EXPECT_EQ(nullptr, inventory.attributes[2]);
}

TEST(ScanNtTest, ReadDataFailureLeavesNoArray) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.FailStep(0, ScanStep::kReadData);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(1u, inventory.entries[0].SmartEnabled);
    EXPECT_EQ(0, inventory.GetAttributeCount(0));
    EXPECT_EQ(nullptr, inventory.attributes[0]);
}

TEST(ScanNtTest, ThresholdFailureLeavesZeroThresholds) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.FailStep(0, ScanStep::kReadThresholds);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    ASSERT_EQ(2, inventory.GetAttributeCount(0));
    AttributeRecord record;
    ASSERT_TRUE(inventory.GetAttribute(0, 0, &record));
    EXPECT_EQ(1, record.Attribute[0]);
    EXPECT_TRUE(IsZero(record.Threshold, sizeof record.Threshold));
    EXPECT_EQ(0, inventory.thresholdRevision[0]);
    EXPECT_FALSE(inventory.ThresholdsKnown(0));
}

TEST(ScanNtTest, DriveWithoutSmartDataIsIdentifiedOnly) {
    EmulatedDriver driver(kPlatformWindowsNt);
    DriveCapture capture = Drive("NOSMART");
    capture.hasSmartData = false;
    capture.hasThresholds = false;
    driver.InsertDrive(0, capture);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ("NOSMART", Model(inventory, 0));
    EXPECT_EQ(0u, inventory.entries[0].SmartEnabled);
    EXPECT_EQ(0, inventory.GetAttributeCount(0));
}

TEST(ScanNtTest, RescanReplacesEverything) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    ASSERT_EQ(2, inventory.GetAttributeCount(0));
    driver.RemoveDrive(0);
    driver.InsertDrive(1, Drive("BETA"));
    inventory.ScanDrives(driver);
    EXPECT_EQ(1, inventory.GetDriveCount());
    EXPECT_EQ(-1, inventory.entries[0].DriveNumber);
    EXPECT_EQ(0, inventory.GetAttributeCount(0));
    EXPECT_EQ(nullptr, inventory.attributes[0]);
    EXPECT_EQ("BETA", Model(inventory, 1));
}

TEST(Scan9xTest, NoSmartDriverLeavesTheInventoryEmpty) {
    EmulatedDriver driver(kPlatformWindows9x);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.FailStep(0, ScanStep::kOpen);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(0, inventory.GetDriveCount());
    for (int position = 0; position < 4; ++position) {
        EXPECT_EQ(-1, inventory.entries[position].DriveNumber);
    }
    ASSERT_EQ(1u, driver.Calls().size());
    const DriverCall& open = driver.Calls()[0];
    EXPECT_EQ("\\\\.\\SMARTVSD", open.name);
    EXPECT_EQ(0u, open.access);
    EXPECT_EQ(0u, open.shareMode);
    EXPECT_EQ(kCreateNew, open.disposition);
}

TEST(Scan9xTest, OneDeviceServesAllPositions) {
    EmulatedDriver driver(kPlatformWindows9x);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.InsertDrive(3, Drive("DELTA"));
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(2, inventory.GetDriveCount());
    EXPECT_EQ("ALPHA", Model(inventory, 0));
    EXPECT_EQ("DELTA", Model(inventory, 3));
    EXPECT_EQ(2, inventory.GetAttributeCount(3));
    EXPECT_EQ(0x09, inventory.versions[0].bIDEDeviceMap);
    int opens = 0;
    for (const DriverCall& call : driver.Calls()) {
        opens += call.kind == DriverCall::kOpen;
    }
    EXPECT_EQ(1, opens);
    ExpectAllClosed(driver);
}

TEST(Scan9xTest, EnableFailureStoresIdentityButDoesNotCount) {
    EmulatedDriver driver(kPlatformWindows9x);
    driver.InsertDrive(1, Drive("ALPHA"));
    driver.FailStep(1, ScanStep::kEnable);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(0, inventory.GetDriveCount());
    EXPECT_EQ(1, inventory.entries[1].DriveNumber);
    EXPECT_EQ(0u, inventory.entries[1].SmartEnabled);
    EXPECT_EQ(0, inventory.GetAttributeCount(1));
    EXPECT_EQ("ALPHA", Model(inventory, 1));
}

TEST(Scan9xTest, VersionFailureClosesAndEnds) {
    EmulatedDriver driver(kPlatformWindows9x);
    driver.InsertDrive(0, Drive("ALPHA"));
    driver.FailStep(0, ScanStep::kVersion);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(0, inventory.GetDriveCount());
    EXPECT_EQ(3u, driver.Calls().size());  // open, version, close
    ExpectAllClosed(driver);
}

TEST(Scan9xTest, PacketDevicesAreSkipped) {
    EmulatedDriver driver(kPlatformWindows9x);
    DriveCapture cdrom = MakeCapture("CDROM", "X", "1");
    driver.InsertPacketDevice(1, cdrom.identify);
    driver.InsertDrive(2, Drive("GAMMA"));
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    EXPECT_EQ(0x26, inventory.versions[0].bIDEDeviceMap);  // 0x02|0x20 packet, 0x04 ATA
    EXPECT_EQ(1, inventory.GetDriveCount());
    EXPECT_EQ(-1, inventory.entries[1].DriveNumber);
    EXPECT_EQ("GAMMA", Model(inventory, 2));
    for (const DriverCall& call : driver.Calls()) {
        if (call.kind == DriverCall::kIoControl && call.input.size() >= 13) {
            EXPECT_NE(1, call.input[12]) << "a command went to the packet device";
        }
    }
}

// Reading SMART must never write a disk: over every failure injected at
// every position on both families, only the five read-only commands are
// sent, every command record is 32 bytes and every handle is closed.
TEST(ScanSafetyTest, OnlyReadOnlyCommandsOnEveryPath) {
    const uint32_t families[] = {kPlatformWindows9x, kPlatformWindowsNt};
    for (uint32_t family : families) {
        for (int failing = -1; failing < 4; ++failing) {
            for (int step = 0; step < kScanStepCount; ++step) {
                EmulatedDriver driver(family);
                driver.InsertDrive(0, Drive("ALPHA"));
                driver.InsertDrive(1, Drive("ALPHA"));
                DriveCapture cdrom = MakeCapture("CDROM", "X", "1");
                driver.InsertPacketDevice(2, cdrom.identify);
                driver.InsertDrive(3, Drive("BETA"));
                if (failing >= 0) {
                    driver.FailStep(failing, static_cast<ScanStep>(step));
                }
                DriveInventory inventory;
                inventory.ScanDrives(driver);
                SCOPED_TRACE("family " + std::to_string(family) + " position " +
                             std::to_string(failing) + " step " + std::to_string(step));
                ExpectAllClosed(driver);
                for (const DriverCall& call : driver.Calls()) {
                    if (call.kind != DriverCall::kIoControl || call.code == kSmartGetVersion) {
                        if (call.kind == DriverCall::kIoControl) {
                            EXPECT_EQ(0u, call.inputLength);
                            EXPECT_EQ(24u, call.outputLength);
                        }
                        continue;
                    }
                    ASSERT_EQ(32u, call.inputLength);
                    const uint8_t command = call.input[10];
                    const uint8_t feature = call.input[4];
                    if (command == 0xB0) {
                        EXPECT_EQ(0x4F, call.input[7]);
                        EXPECT_EQ(0xC2, call.input[8]);
                        if (feature == 0xD8) {
                            EXPECT_EQ(kSmartSendDriveCommand, call.code);
                            EXPECT_EQ(16u, call.outputLength);
                        } else {
                            EXPECT_TRUE(feature == 0xD0 || feature == 0xD1) << int(feature);
                            EXPECT_EQ(kSmartRcvDriveData, call.code);
                            EXPECT_EQ(528u, call.outputLength);
                        }
                    } else {
                        EXPECT_TRUE(command == 0xEC || command == 0xA1) << int(command);
                        EXPECT_EQ(kSmartRcvDriveData, call.code);
                        EXPECT_EQ(528u, call.outputLength);
                    }
                }
            }
        }
    }
}

DriveCapture NvmeDrive(bool withNamespace) {
    DriveCapture capture;
    capture.hasNvmeController = capture.hasNvmeHealth = true;
    capture.hasNvmeNamespace = withNamespace;
    for (size_t i = 0; i < sizeof capture.nvmeController; ++i) {
        capture.nvmeController[i] = static_cast<uint8_t>(i * 7);
        capture.nvmeNamespace[i] = static_cast<uint8_t>(i * 11);
    }
    for (size_t i = 0; i < sizeof capture.nvmeHealth; ++i) {
        capture.nvmeHealth[i] = static_cast<uint8_t>(i * 13);
    }
    std::memset(capture.nvmeController + 24, 0, 40);  // some drives pad with NULs
    std::memcpy(capture.nvmeController + 24, "NVME MODEL  ", 12);
    return capture;
}

// The NVMe property queries go only to a physical drive that stored no
// IDENTIFY, and only when the caller asks for them: the window's scan sends
// the SMART controls alone. The data lands byte for byte; the namespace is
// optional, the controller and the health log are not.
TEST(ScanNtTest, NvmeDataIsReadOnlyWhenAskedFromDrivesWithoutIdentify) {
    for (const bool asked : {false, true}) {
        EmulatedDriver driver(kPlatformWindowsNt);
        driver.InsertDrive(0, Drive("ALPHA"));
        driver.InsertDrive(1, NvmeDrive(true));
        driver.InsertDrive(2, NvmeDrive(false));
        DriveInventory inventory;
        inventory.readNvme = asked;
        inventory.ScanDrives(driver);
        SCOPED_TRACE(asked ? "asked" : "not asked");
        ExpectAllClosed(driver);
        EXPECT_EQ(3, inventory.GetDriveCount());
        EXPECT_EQ("ALPHA", Model(inventory, 0));
        EXPECT_EQ(asked ? 1 : -1, inventory.entries[1].DriveNumber);
        EXPECT_TRUE(inventory.nvme[0] == nullptr);
        std::vector<int> queried;
        for (const DriverCall& call : driver.Calls()) {
            if (call.kind == DriverCall::kIoControl && call.code == kStorageQueryProperty) {
                queried.push_back(call.input[0]);  // the property id
            }
        }
        if (!asked) {
            EXPECT_TRUE(queried.empty());
            EXPECT_TRUE(inventory.nvme[1] == nullptr);
            continue;
        }
        // Controller, namespace, health log for each NVMe drive.
        EXPECT_EQ((std::vector<int>{49, 50, 49, 49, 50, 49}), queried);
        const DriveCapture expected = NvmeDrive(true);
        for (int position : {1, 2}) {
            ASSERT_TRUE(inventory.nvme[position] != nullptr) << position;
            const NvmeReplies& replies = *inventory.nvme[position];
            EXPECT_EQ(0, std::memcmp(replies.controller, expected.nvmeController, 4096));
            EXPECT_EQ(0, std::memcmp(replies.health, expected.nvmeHealth, 512));
            EXPECT_EQ(position == 1, replies.hasNamespace);
        }
        EXPECT_EQ(0, std::memcmp(inventory.nvme[1]->nameSpace, expected.nvmeNamespace, 4096));
        // Named as the drive list names any drive, twins suffixed.
        char name[50];
        uint32_t length = sizeof name;
        ASSERT_TRUE(inventory.GetModelName(name, &length, 2, true));
        EXPECT_STREQ("NVME MODEL-2", name);
        inventory.ResetInventory();
        EXPECT_TRUE(inventory.nvme[1] == nullptr);
    }
}

// The window's scan opens PhysicalDrive0 to 3 only; a long scan goes on
// across gaps (removed disks) and stops after eight numbers in a row that
// do not open.
TEST(ScanNtTest, LongScanCrossesGapsAndStopsAfterEightUnopened) {
    for (const int positions : {int(kDrivePositions), int(kMaxDrivePositions)}) {
        EmulatedDriver driver(kPlatformWindowsNt);
        for (const int position : {0, 5, 12, 21}) {
            driver.InsertDrive(position, Drive("SAME"));
        }
        DriveInventory inventory;
        inventory.scanPositions = positions;
        inventory.ScanDrives(driver);
        ExpectAllClosed(driver);
        int opened = 0;
        std::string last;
        for (const DriverCall& call : driver.Calls()) {
            opened += call.kind == DriverCall::kOpen;
            last = call.kind == DriverCall::kOpen ? call.name : last;
        }
        const bool longScan = positions > kDrivePositions;
        EXPECT_EQ(longScan ? 21 : 4, opened);
        EXPECT_EQ(longScan ? "\\\\.\\PhysicalDrive20" : "\\\\.\\PhysicalDrive3", last);
        EXPECT_EQ(longScan ? 3 : 1, inventory.GetDriveCount());
        if (longScan) {
            char name[50];
            uint32_t length = sizeof name;
            ASSERT_TRUE(inventory.GetModelName(name, &length, 12, true));
            EXPECT_STREQ("SAME-3", name);
            EXPECT_EQ(-1, inventory.entries[21].DriveNumber);
        }
    }
}

// Each whole reply's checksum, as the scan read it: a drive's own, one
// changed in transit, an IDENTIFY with and without the A5h signature, a
// threshold read that failed, and the all-ones reply that sums to 0 too.
TEST(ScanNtTest, ChecksumsOfTheWholeRepliesAreKept) {
    enum Change { kNone, kFlipData, kFlipThresholds, kSign, kSignWrongly, kNoThresholds, kOnes };
    const struct {
        Change change;
        BlockCheck identify, data, thresholds;
    } cases[] = {
        {kNone, BlockCheck::kUnsigned, BlockCheck::kOk, BlockCheck::kOk},
        {kFlipData, BlockCheck::kUnsigned, BlockCheck::kFailed, BlockCheck::kOk},
        {kFlipThresholds, BlockCheck::kUnsigned, BlockCheck::kOk, BlockCheck::kFailed},
        {kSign, BlockCheck::kOk, BlockCheck::kOk, BlockCheck::kOk},
        {kSignWrongly, BlockCheck::kFailed, BlockCheck::kOk, BlockCheck::kOk},
        {kNoThresholds, BlockCheck::kUnsigned, BlockCheck::kOk, BlockCheck::kAbsent},
        {kOnes, BlockCheck::kUnsigned, BlockCheck::kOk, BlockCheck::kOk},
    };
    for (const auto& c : cases) {
        DriveCapture capture = Drive("SUM");
        uint8_t sum = 0;
        switch (c.change) {
            case kFlipData:
                capture.smartData[100] ^= 0x01;
                break;
            case kFlipThresholds:
                capture.thresholds[2] ^= 0x80;
                break;
            case kSign:
            case kSignWrongly:
                capture.identify[510] = 0xA5;
                for (int i = 0; i < 511; ++i) {
                    sum = static_cast<uint8_t>(sum + capture.identify[i]);
                }
                capture.identify[511] = static_cast<uint8_t>(-sum + (c.change == kSign ? 0 : 1));
                break;
            case kNoThresholds:
                capture.hasThresholds = false;
                break;
            case kOnes:
                std::memset(capture.smartData, 0xFF, sizeof capture.smartData);
                break;
            case kNone:
                break;
        }
        EmulatedDriver driver(kPlatformWindowsNt);
        driver.InsertDrive(1, capture);
        DriveInventory inventory;
        inventory.ScanDrives(driver);
        SCOPED_TRACE(static_cast<int>(c.change));
        EXPECT_EQ(c.identify, inventory.identifyCheck[1]);
        EXPECT_EQ(c.data, inventory.smartDataCheck[1]);
        EXPECT_EQ(c.thresholds, inventory.thresholdsCheck[1]);
        EXPECT_EQ(BlockCheck::kAbsent, inventory.smartDataCheck[0]);  // no drive there
    }
}

// vantrel-report's scan asks CHECK POWER MODE before anything else, and
// sends a disk in standby nothing more unless told to wake it; the window's
// scan and Windows 9x's never ask.
TEST(ScanNtTest, CheckPowerModeComesFirstAndAStandbyDiskGetsNothingElse) {
    const uint32_t kNoSection = 0x100;
    const struct {
        uint32_t platform;
        bool ask, wake;
        uint32_t pwrm;
        int16_t count;  // what the inventory keeps
        bool asleep;
    } cases[] = {
        {kPlatformWindowsNt, true, false, 0x00, 0x00, true},
        {kPlatformWindowsNt, true, false, 0x01, 0x01, true},
        {kPlatformWindowsNt, true, true, 0x00, 0x00, false},
        {kPlatformWindowsNt, true, false, 0x80, 0x80, false},
        {kPlatformWindowsNt, true, false, kNoSection, 0xFF, false},
        {kPlatformWindowsNt, true, false, 0xFFFFFFFF, kPowerModeFailed, false},
        {kPlatformWindowsNt, true, false, 0x22, 0x22, false},
        {kPlatformWindowsNt, false, false, 0x00, kPowerModeNotAsked, false},
        {kPlatformWindows9x, true, false, 0x00, kPowerModeNotAsked, false},
    };
    AtaPassThroughRecord question;
    BuildCheckPowerMode(&question);
    const uint8_t* asked = reinterpret_cast<const uint8_t*>(&question);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.platform) + " ask " + std::to_string(c.ask) + " wake " +
                     std::to_string(c.wake) + " PWRM " + std::to_string(c.pwrm));
        DriveCapture sleeper = Drive("SLEEPER");
        if (c.pwrm != kNoSection) {
            sleeper.SetPowerMode(c.pwrm);
        }
        EmulatedDriver driver(c.platform);
        driver.InsertDrive(0, Drive("AWAKE"));
        driver.InsertDrive(1, sleeper);
        DriveInventory inventory;
        inventory.readPowerMode = c.ask;
        inventory.wakeStandby = c.wake;
        inventory.ScanDrives(driver);
        ExpectAllClosed(driver);
        EXPECT_EQ(2, inventory.GetDriveCount());
        EXPECT_EQ(c.count, inventory.powerModeCount[1]);
        EXPECT_EQ(c.asleep, inventory.asleep[1]);
        EXPECT_EQ(c.asleep ? "(null)" : "SLEEPER", Model(inventory, 1));
        EXPECT_EQ("AWAKE", Model(inventory, 0));
        // Per opened handle, the controls in order.
        std::vector<uint32_t> toSleeper;
        DeviceHandle sleeperHandle = nullptr;
        size_t questions = 0;
        for (const DriverCall& call : driver.Calls()) {
            if (call.kind == DriverCall::kOpen && call.name == "\\\\.\\PhysicalDrive1") {
                sleeperHandle = call.handle;
            }
            if (call.kind == DriverCall::kIoControl && call.code == kAtaPassThroughControl) {
                ++questions;
                ASSERT_EQ(sizeof question, call.inputLength);
                EXPECT_EQ(std::vector<uint8_t>(asked, asked + sizeof question), call.input);
            }
            if (call.kind == DriverCall::kIoControl && sleeperHandle != nullptr) {
                toSleeper.push_back(call.code);
            }
            if (call.kind == DriverCall::kClose && call.handle == sleeperHandle) {
                sleeperHandle = nullptr;
            }
        }
        const bool nt = c.platform == kPlatformWindowsNt;
        EXPECT_EQ(c.ask && nt ? 2u : 0u, questions);
        if (c.asleep) {
            EXPECT_EQ(std::vector<uint32_t>{kAtaPassThroughControl}, toSleeper);
        } else if (nt) {
            EXPECT_EQ(c.ask ? 6u : 5u, toSleeper.size());  // the question, version, 4 commands
        }
    }
}

// SMART RETURN STATUS goes out only where vantrel-report asks for it, as
// the last command on the drive's handle, never to a disk left asleep; the
// emulated drive answers from its SMST, and without one gives no answer.
TEST(ScanNtTest, ReturnStatusIsTheLastCommandAndOnlyWhenAsked) {
    const int kNoSection = -1;
    const struct {
        uint32_t platform;
        bool ask;
        int smst;
        bool standby;
        SelfAssessment expected;
    } cases[] = {
        {kPlatformWindowsNt, true, 1, false, SelfAssessment::kPassed},
        {kPlatformWindowsNt, true, 0, false, SelfAssessment::kFailed},
        {kPlatformWindowsNt, true, kNoSection, false, SelfAssessment::kNone},
        {kPlatformWindowsNt, false, 0, false, SelfAssessment::kNone},
        {kPlatformWindowsNt, true, 0, true, SelfAssessment::kNone},
        {kPlatformWindows9x, true, 0, false, SelfAssessment::kFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.platform) + " ask " + std::to_string(c.ask) + " SMST " +
                     std::to_string(c.smst) + " standby " + std::to_string(c.standby));
        DriveCapture drive = Drive("JUDGED");
        drive.hasStatus = c.smst != kNoSection;
        drive.status[3] = static_cast<uint8_t>(c.smst);
        if (c.standby) {
            drive.SetPowerMode(0x00);
        }
        EmulatedDriver driver(c.platform);
        driver.InsertDrive(1, drive);
        DriveInventory inventory;
        inventory.readReturnStatus = c.ask;
        inventory.readPowerMode = inventory.readLogs = true;
        inventory.ScanDrives(driver);
        ExpectAllClosed(driver);
        EXPECT_EQ(c.expected, inventory.selfAssessment[1]);
        size_t asked = 0;
        const DriverCall* last = nullptr;
        for (const DriverCall& call : driver.Calls()) {
            if (call.kind == DriverCall::kIoControl) {
                last = &call;
            }
            if (call.kind == DriverCall::kIoControl && call.code == kSmartSendDriveCommand &&
                call.input[4] == kSmartReturnStatus) {
                ++asked;
                EXPECT_EQ(kReturnStatusReplyLength, call.outputLength);
                EXPECT_EQ(1, call.input[12]) << "the drive's number";
            }
        }
        EXPECT_EQ(c.ask && !c.standby ? 1u : 0u, asked);
        if (asked) {
            ASSERT_NE(nullptr, last);
            EXPECT_EQ(kSmartReturnStatus, last->input[4]) << "after everything else";
        }
    }
}

// vantrel-report's scan reads the two logs after the SMART data, each only
// where the drive says it keeps it, then the log directory; the window's
// scan never does.
TEST(ScanNtTest, LogsAreReadWhereTheDriveKeepsThem) {
    DriveCapture both = Drive("BOTH");
    AddLoggedError(&both, 0x40, 1234, 10);
    AddSelfTest(&both, 0x01, 0x00, 11, 0);
    DriveCapture selfTests = Drive("TESTS");
    AddSelfTest(&selfTests, 0x02, 0x00, 12, 0);
    DriveCapture quiet = Drive("QUIET");  // says it keeps none, though it has one
    quiet.hasErrorLog = true;
    for (const bool ask : {false, true}) {
        for (const uint32_t family : {kPlatformWindowsNt, kPlatformWindows9x}) {
            EmulatedDriver driver(family);
            driver.InsertDrive(0, both);
            driver.InsertDrive(1, selfTests);
            driver.InsertDrive(2, quiet);
            DriveInventory inventory;
            inventory.readLogs = ask;
            inventory.ScanDrives(driver);
            std::vector<std::pair<int, int>> reads;  // position, log address
            for (const DriverCall& call : driver.Calls()) {
                if (call.kind == DriverCall::kIoControl && call.inputLength == 32 &&
                    call.input[4] == 0xD5) {
                    reads.emplace_back(call.input[12], call.input[6]);
                    EXPECT_EQ(kSmartRcvDriveData, call.code);
                    EXPECT_EQ(0xB0, call.input[10]);
                }
            }
            const std::vector<std::pair<int, int>> due = {{0, 1}, {0, 6}, {0, 0},
                                                          {1, 6}, {1, 0}, {2, 0}};
            const std::vector<std::pair<int, int>> none;
            EXPECT_EQ(ask ? due : none, reads) << family;
            ASSERT_EQ(ask, inventory.logs[0] != nullptr);
            if (ask) {
                EXPECT_TRUE(inventory.logs[0]->hasErrorLog && inventory.logs[0]->hasSelfTestLog);
                EXPECT_EQ(0, std::memcmp(both.errorLog, inventory.logs[0]->errorLog, 512));
                EXPECT_EQ(0, std::memcmp(both.selfTestLog, inventory.logs[0]->selfTestLog, 512));
                EXPECT_FALSE(inventory.logs[1]->hasErrorLog);
                EXPECT_EQ(nullptr, inventory.logs[2]);
            }
        }
    }
}

// The Device Statistics log is read where the log directory lists it, all
// its pages (at most eight) in one read of page count n; a drive without a
// directory, or whose directory lists no 04h, is sent nothing more.
TEST(ScanNtTest, DeviceStatisticsAreReadAsTheDirectoryLists) {
    const struct {
        bool directory;
        uint8_t listed;  // the directory's page count for log 04h
        int read;        // the count of the one read, 0 for none
    } cases[] = {{false, 0, 0}, {true, 0, 0}, {true, 1, 1},
                 {true, 3, 3},  {true, 8, 8}, {true, 12, 8}};
    for (const auto& c : cases) {
        DriveCapture drive = Drive("STATS");
        AddDeviceStatistics(&drive, {0, 1, 2, 3, 4, 5, 6, 7});
        drive.logDirectory[8] = c.listed;
        drive.hasLogDirectory = c.directory;
        EmulatedDriver driver(kPlatformWindowsNt);
        driver.InsertDrive(0, drive);
        DriveInventory inventory;
        inventory.readLogs = true;
        inventory.ScanDrives(driver);
        std::vector<int> counts;
        for (const DriverCall& call : driver.Calls()) {
            if (call.kind == DriverCall::kIoControl && call.inputLength == 32 &&
                call.input[4] == 0xD5 && call.input[6] == 0x04) {
                counts.push_back(call.input[5]);
                EXPECT_EQ(512u * call.input[5], uint32_t(call.input[0] | call.input[1] << 8));
            }
        }
        const std::vector<int> due = c.read ? std::vector<int>{c.read} : std::vector<int>{};
        EXPECT_EQ(due, counts) << int(c.listed);
        ASSERT_EQ(c.directory, inventory.logs[0] != nullptr);
        if (c.directory) {
            EXPECT_EQ(c.read, inventory.logs[0]->statisticsPages);
            EXPECT_EQ(0, std::memcmp(drive.deviceStatistics, inventory.logs[0]->statistics,
                                     512 * c.read));
        }
    }
}

TEST(InventoryTest, ResetLeavesEveryPositionEmpty) {
    DriveInventory inventory;
    EXPECT_EQ(0, inventory.GetDriveCount());
    EXPECT_EQ(nullptr, inventory.device);
    for (int position = 0; position < 4; ++position) {
        EXPECT_EQ(-1, inventory.entries[position].DriveNumber);
        EXPECT_EQ(nullptr, inventory.attributes[position]);
        DriveEntry entry;
        std::memset(&entry, 0x5A, sizeof entry);
        EXPECT_FALSE(inventory.GetDriveEntry(&entry, position));
        EXPECT_EQ(0x5A5A5A5A, entry.DriveNumber);  // untouched
    }
}

TEST(InventoryTest, DeletesThroughTheBaseDestructor) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, Drive("ALPHA"));
    DriveInventory* inventory = new DriveInventory;
    inventory->ScanDrives(driver);
    EXPECT_EQ(2, inventory->GetAttributeCount(0));
    delete inventory;  // the arrays go with it (checked under the sanitizers)
}

}  // namespace
