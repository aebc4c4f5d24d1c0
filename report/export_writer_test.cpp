#include "report/export_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "testing/emulated_driver/emulated_driver.h"
#include "testing/report/report_test_drives.h"
#include "report/report_text.h"

namespace {

std::string ReadAll(FILE* file) {
    std::rewind(file);
    std::string bytes;
    char chunk[1024];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, n);
    }
    return bytes;
}

std::string Export(const DriveInventory& inventory, int position) {
    FILE* file = std::tmpfile();
    EXPECT_NE(nullptr, file);
    EXPECT_TRUE(WriteDriveExport(inventory, position, file));
    const std::string bytes = ReadAll(file);
    std::fclose(file);
    return bytes;
}

const std::string kHeading =
    "SMART ATTRIBUTES:\r\n"
    "ID\tDescription" +
    std::string(25, ' ') + "Raw Value\tStatus\t Value\t Worst\tThreshold\r\n" +
    std::string(92, '-') + "\r\n";

class ExportWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver.InsertDrive(0, GoldenDrive());
        DriveCapture bare = MakeCapture("NO SMART", "S1", "F1");
        bare.hasSmartData = false;
        driver.InsertDrive(2, bare);
        DriveCapture noThresholds = GoldenDrive();
        noThresholds.hasThresholds = false;  // the threshold read fails
        driver.InsertDrive(3, noThresholds);
        inventory.ScanDrives(driver);
    }
    EmulatedDriver driver{kPlatformWindowsNt};
    DriveInventory inventory;
};

TEST_F(ExportWriterTest, WholeFileIsByteExact) {
    DriveReportText block;
    BuildDriveReportText(inventory, 0, ReportVariant::kExport, &block);
    // Attribute lines written out by hand from the line format.
    const std::string expected =
        std::string(block.text) + kHeading +
        "1\tRaw Read Error Rate                   511 \tOK       100\t  100\t  50\r\n"
        "3\tSpin Up Time                          5ms\tWARNING  91\t  90\t  90\r\n"
        "9\tPower On Hours Count                  7   \tOK       100\t  100\t  0\r\n"
        "C2\tTemperature                           30 C\tOK       40\t  60\t  0\r\n"
        "5\tReallocated Sector Count              -1\tFAIL     20\t  20\t  36\r\n"
        "C9\t(Unknown attribute)                   1000\tWARNING  255\t  255\t  245\r\n";
    EXPECT_EQ(expected, Export(inventory, 0));
}

// Zeros from a failed threshold read would pass most values: no verdict
// and no threshold is written for that drive.
TEST_F(ExportWriterTest, UnreadThresholdsGiveUnknownAndADash) {
    const std::string bytes = Export(inventory, 3);
    const std::string expected =
        kHeading +
        "1\tRaw Read Error Rate                   511 \tUNKNOWN  100\t  100\t  -\r\n"
        "3\tSpin Up Time                          5ms\tUNKNOWN  91\t  90\t  -\r\n"
        "9\tPower On Hours Count                  7   \tUNKNOWN  100\t  100\t  -\r\n"
        "C2\tTemperature                           30 C\tUNKNOWN  40\t  60\t  -\r\n"
        "5\tReallocated Sector Count              -1\tUNKNOWN  20\t  20\t  -\r\n"
        "C9\t(Unknown attribute)                   1000\tUNKNOWN  255\t  255\t  -\r\n";
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(expected, bytes.substr(bytes.size() - expected.size()));
}

TEST_F(ExportWriterTest, EveryLineEndsInOneCrLf) {
    const std::string bytes = Export(inventory, 0);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            ASSERT_LT(i + 1, bytes.size());
            EXPECT_EQ('\n', bytes[i + 1]) << "lone CR at " << i;
        }
        if (bytes[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ('\r', bytes[i - 1]) << "bare LF at " << i;
        }
    }
    EXPECT_NE(std::string::npos, bytes.find("Multi Word DMA: 1031\r\n\r\nSMART ATTRIBUTES:\r\n"));
}

TEST_F(ExportWriterTest, DriveWithoutSmartDataEndsAfterTheDashes) {
    const std::string bytes = Export(inventory, 2);
    ASSERT_GE(bytes.size(), kHeading.size());
    EXPECT_EQ(kHeading, bytes.substr(bytes.size() - kHeading.size()));
    EXPECT_EQ(0u, bytes.find("Drive 2  SMART NOT enabled\r\n"));
}

TEST_F(ExportWriterTest, AFailedWriteIsReported) {
    const std::string path = ::testing::TempDir() + "export_readonly.txt";
    FILE* create = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, create);
    std::fclose(create);
    FILE* readOnly = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, readOnly);
    EXPECT_FALSE(WriteDriveExport(inventory, 0, readOnly));
    std::fclose(readOnly);
    std::remove(path.c_str());
}

}  // namespace
