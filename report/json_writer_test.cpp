#include "report/json_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "capture/synthetic_capture.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "testing/report/report_test_drives.h"

namespace {

class JsonWriterTest : public ::testing::Test {
  protected:
    std::string Report() {
        inventory.ScanDrives(driver);
        MachineReport report{{}, inventory.GetDriveCount(), "V", 0, {}};
        for (int position = 0; position < kDrivePositions; ++position) {
            if (inventory.entries[position].DriveNumber >= 0) {
                report.drives.emplace_back();
                ReadDrive(inventory, position, "list", "dev\\\"x", &report.drives.back());
                report.drives.back().health = {HealthVerdict::kCaution, {"a \"b\"", "c"}};
            }
        }
        return JsonReport(report);
    }
    EmulatedDriver driver{kPlatformWindowsNt};
    DriveInventory inventory;
};

// Each case: a text the drive sends and the JSON string it must become.
TEST_F(JsonWriterTest, DriveTextsAreEscapedToValidUtf8) {
    DriveCapture capture = MakeCapture("A\"B\\C\x01\x1f\x7f", "  \xe9\xff SERIAL  ", "F\tW");
    driver.InsertDrive(0, capture);
    const std::string json = Report();
    EXPECT_NE(std::string::npos, json.find("\"model_name\": \"A\\\"B\\\\C\\u0001\\u001f\x7f\""));
    EXPECT_NE(std::string::npos, json.find("\"serial_number\": \"\xc3\xa9\xc3\xbf SERIAL\""));
    EXPECT_NE(std::string::npos, json.find("\"firmware_version\": \"F\\u0009W\""));
    EXPECT_NE(std::string::npos, json.find("\"name\": \"dev\\\\\\\"x\""));
    EXPECT_NE(std::string::npos, json.find("\"verdict\": \"CAUTION\""));
    EXPECT_NE(std::string::npos, json.find("\"a \\\"b\\\"\""));
}

TEST_F(JsonWriterTest, CapacityTakesThe48BitCountOnlyWhenSupported) {
    DriveCapture large = MakeCapture("LARGE", "S", "F");
    SetIdentifyWord(&large, 60, 0xFFFF);
    SetIdentifyWord(&large, 61, 0x0FFF);
    SetIdentifyWord(&large, 83, 1u << 10);
    SetIdentifyWord(&large, 100, 0x5000);
    SetIdentifyWord(&large, 101, 0x1D1C);
    SetIdentifyWord(&large, 102, 0x0001);
    DriveCapture small = large;
    SetIdentifyWord(&small, 83, 0);
    driver.InsertDrive(0, large);
    driver.InsertDrive(1, small);
    const std::string json = Report();
    const uint64_t blocks48 = 0x00011D1C5000ull;
    EXPECT_NE(std::string::npos,
              json.find("\"blocks\": " + std::to_string(blocks48) +
                        ",\n        \"bytes\": " + std::to_string(blocks48 * 512)));
    EXPECT_NE(std::string::npos, json.find("\"blocks\": " + std::to_string(0x0FFFFFFF)));
}

// Word 106 and words 117-118 against the bytes per block, and the
// temperature from 194, else 190 (raw byte 0 either way).
TEST_F(JsonWriterTest, BlockSizeAndTemperatureComeFromTheirOwnWords) {
    const struct {
        uint16_t word106;
        uint32_t words;
        bool has194;
        bool has190;
        const char* expected;
    } cases[] = {
        {0x5000, 2048, true, false,
         "\"bytes\": 4096000\n      },\n      \"logical_block_size\": 4096,"},
        {0x4000, 2048, false, true,
         "\"bytes\": 512000\n      },\n      \"logical_block_size\": 512,"},
        {0xD000, 2048, true, true,
         "\"bytes\": 512000\n      },\n      \"logical_block_size\": 512,"},
        {0x5000, 100, false, false,
         "\"bytes\": 512000\n      },\n      \"logical_block_size\": 512,"},
    };
    for (const auto& c : cases) {
        DriveCapture drive = MakeCapture("SECTORS", "S", "F");
        SetIdentifyWord(&drive, 60, 1000);
        SetIdentifyWord(&drive, 106, c.word106);
        SetIdentifyWord(&drive, 117, static_cast<uint16_t>(c.words));
        SetIdentifyWord(&drive, 118, static_cast<uint16_t>(c.words >> 16));
        if (c.has194) {
            SetAttribute(&drive, 0, 194, 40, 60, 0x3C0031, 0);
        }
        if (c.has190) {
            SetAttribute(&drive, 1, 190, 67, 55, 0x2D0021, 45);
        }
        driver.InsertDrive(0, drive);
        inventory.ResetInventory();
        const std::string json = Report();
        EXPECT_NE(std::string::npos, json.find(c.expected)) << c.word106 << " " << c.words;
        const std::string current = "\"temperature\": {\n        \"current\": ";
        const size_t temperature = json.find(current);
        if (c.has194 || c.has190) {
            ASSERT_NE(std::string::npos, temperature);
            EXPECT_EQ(c.has194 ? "49" : "33", json.substr(temperature + current.size(), 2));
        } else {
            EXPECT_EQ(std::string::npos, temperature);
        }
    }
}

TEST_F(JsonWriterTest, AttributeEntriesFollowTheirDefinitions) {
    DriveCapture capture = GoldenDrive();
    SetAttribute(&capture, 7, 12, 100, 30, 0x0000000102030405ull, 40);  // worst below: past
    capture.smartData[2 + 12 * 7 + 1] = 0x3B;                           // flags P O - R C K
    driver.InsertDrive(0, capture);
    DriveCapture noThresholds = GoldenDrive();
    noThresholds.hasThresholds = false;
    driver.InsertDrive(1, noThresholds);
    DriveCapture bare = MakeCapture("BARE", "S", "F");
    bare.hasSmartData = false;
    driver.InsertDrive(2, bare);
    const std::string json = Report();
    // Attribute 5 of the golden drive: value 20 below threshold 36.
    EXPECT_NE(std::string::npos,
              json.find("\"thresh\": 36,\n            \"when_failed\": \"now\""));
    EXPECT_NE(std::string::npos,
              json.find("\"thresh\": 40,\n            \"when_failed\": \"past\""));
    EXPECT_NE(std::string::npos, json.find("\"string\": \"PO-RCK \""));
    EXPECT_NE(std::string::npos,
              json.find("\"value\": " + std::to_string(0x0706000001FFull)));  // 0x0706000001FF
    EXPECT_NE(std::string::npos, json.find("\"power_cycle_count\": " + std::to_string(0x02030405)));
    EXPECT_NE(std::string::npos, json.find("\"temperature\": {\n        \"current\": 30"));
    // Without thresholds: no thresh key anywhere in the second drive.
    const size_t second = json.find("\"position\": 0");
    const size_t third = json.find("\"position\": 1");
    ASSERT_NE(std::string::npos, third);
    const std::string unread = json.substr(second, third - second);
    EXPECT_EQ(std::string::npos, unread.find("\"thresh\""));
    const std::string verdicts = json.substr(third, json.find("\"position\": 2") - third);
    EXPECT_NE(std::string::npos, verdicts.find("\"verdict\": \"UNKNOWN\""));
    EXPECT_EQ(std::string::npos, verdicts.find("\"verdict\": \"OK\""));
    // The drive without SMART data has no table at all.
    const std::string last = json.substr(third);
    EXPECT_EQ(std::string::npos, last.substr(last.find("BARE")).find("ata_smart_attributes"));
}

}  // namespace
