#include "tools/make-samples/sample_drives.h"

#include <gtest/gtest.h>

#include "inventory/drive_inventory.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "report/attribute_format.h"

namespace {

// The committed sample files are exactly what the generator makes.
TEST(SampleDrivesTest, CommittedFilesMatchTheGenerator) {
    for (const SampleDrive& drive : MakeSampleDrives()) {
        const std::string path = std::string(VANTREL_SOURCE_DIR) + "/samples/" + drive.file;
        DriveCapture committed;
        std::string error;
        ASSERT_TRUE(ReadCaptureFile(path, &committed, &error)) << error;
        EXPECT_EQ(SerializeCapture(drive.capture), SerializeCapture(committed)) << drive.file;
    }
}

// The demo machine shows what it promises: suffixed twins, an empty
// position, a drive without SMART data, a FAIL and a WARNING.
TEST(SampleDrivesTest, DemoMachineShowsEveryCase) {
    EmulatedDriver driver(kPlatformWindowsNt);
    for (const SampleDrive& drive : MakeSampleDrives()) {
        driver.InsertDrive(drive.position, drive.capture);
    }
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    char name[50];
    uint32_t length = sizeof name;
    EXPECT_STREQ("CORVANE CV-8040A-1", inventory.GetModelName(name, &length, 0, true));
    length = sizeof name;
    EXPECT_EQ(nullptr, inventory.GetModelName(name, &length, 1, true));
    length = sizeof name;
    EXPECT_STREQ("CORVANE CV-8040A-2", inventory.GetModelName(name, &length, 2, true));
    EXPECT_EQ(0, inventory.GetAttributeCount(3));
    EXPECT_EQ(0u, inventory.entries[3].SmartEnabled);
    int fails = 0, warnings = 0;
    for (int index = 0; index < inventory.GetAttributeCount(2); ++index) {
        AttributeRecord record;
        ASSERT_TRUE(inventory.GetAttribute(2, index, &record));
        const AttributeVerdict v =
            AttributeStatus(AttributeCurrent(record), AttributeThreshold(record));
        fails += v == AttributeVerdict::kFail;
        warnings += v == AttributeVerdict::kWarning;
    }
    EXPECT_GE(fails, 1);
    EXPECT_GE(warnings, 1);
}

}  // namespace
