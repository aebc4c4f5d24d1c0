#include "report/report_text.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/emulated_driver/emulated_driver.h"
#include "testing/report/report_test_drives.h"

namespace {

std::string Build(const DriveCapture& capture, int position, ReportVariant variant,
                  bool smart = true) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(position, capture);
    if (!smart) {
        driver.FailStep(position, ScanStep::kEnable);
    }
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    DriveReportText report;
    BuildDriveReportText(inventory, position, variant, &report);
    return report.text;
}

// Written out by hand from the line formats, not captured from the code.
const char kGoldenWindow[] =
    "Drive 3  SMART enabled\r\n"
    "\r\n"
    "IDE REGISTERS:\r\n"
    "Features: 0x0 \tSector Count: 0x1 \tSector Number: 0x1 \r\n"
    "Cylinder Low: 0x0 \tCylinder High: 0x0 \tDrive Head: 0xB0 \r\n"
    "Command: 0xEC\r\n"
    "\r\n"
    "DRIVE INFORMATION:\r\n"
    "Serial Number: \r\n"
    "FirmWare Rev: %s%d1.2\r\n"
    "Model Number: VANTREL GOLDEN 100% DISK\r\n"
    "Cylinders: 16383 \tHeads: 16 \tSectors per track: 63\r\n"
    "Cur Cyls: 16383 \tCur Heads: 16 \tCur Sectors/Track: 63\r\n"
    "Bytes per track: 65535 \tBytes per sector: 1040\r\n"
    "Gen Config: 1114 \tBuffer Type: 3 \tBuffer Size: 65535\r\n"
    "Vendor Unique: FFFF AB 0 \tMore Vendor Unique: 0x8010\r\n"
    "ECC Size: 4 \tDouble Word IO: 0 \tCapabilities: 3840\r\n"
    "PIO Timing: 512 \tDMA Timing: 512 \tBS: 7\r\n"
    "Current Sector Capacity: -2147483648 \tTotal Addressable Sectors: 305419896\r\n"
    "Mult. Sector Stuff: 272 \tSingle Word DMA: 0 \tMulti Word DMA: 1031\r\n";

const char kGoldenExport[] =
    "Drive 3  SMART enabled\r\n"
    "\r\n"
    "IDE REGISTERS:\r\n"
    "Features: 0x0 \t\tSector Count: 0x1 \tSector Number: 0x1 \r\n"
    "Cylinder Low: 0x0 \tCylinder High: 0x0 \tDrive Head: 0xB0 \r\n"
    "Command: 0xEC\r\n"
    "\r\n"
    "DRIVE INFORMATION:\r\n"
    "Serial Number: \r\n"
    "FirmWare Rev: %s%d1.2\r\n"
    "Model Number: VANTREL GOLDEN 100% DISK\r\n"
    "Cylinders: 16383 \tHeads: 16 \t\tSectors per track: 63\r\n"
    "Cur Cyls: 16383 \tCur Heads: 16 \t\tCur Sectors/Track: 63\r\n"
    "Bytes per track: 65535 \tBytes per sector: 1040\r\n"
    "Gen Config: 1114 \tBuffer Type: 3 \t\tBuffer Size: 65535\r\n"
    "Vendor Unique: FFFF AB 0 \tMore Vendor Unique: 0x8010\r\n"
    "ECC Size: 4 \t\tDouble Word IO: 0 \tCapabilities: 3840\r\n"
    "PIO Timing: 512 \tDMA Timing: 512 \tBS: 7\r\n"
    "Current Sector Capacity: -2147483648 \tTotal Addressable Sectors: 305419896\r\n"
    "Mult. Sector Stuff: 272 \tSingle Word DMA: 0 \tMulti Word DMA: 1031\r\n"
    "\r\n";

TEST(ReportTextTest, WindowVariantIsByteExact) {
    EXPECT_EQ(kGoldenWindow, Build(GoldenDrive(), 3, ReportVariant::kWindow));
}

TEST(ReportTextTest, ExportVariantIsByteExact) {
    EXPECT_EQ(kGoldenExport, Build(GoldenDrive(), 3, ReportVariant::kExport));
}

std::string Line(const std::string& text, const std::string& start) {
    const size_t at = text.find(start);
    if (at == std::string::npos) {
        return "(missing)";
    }
    return text.substr(at, text.find("\r\n", at) + 2 - at);
}

TEST(ReportTextTest, SmartOffShowsNotEnabledOnTheFirstLine) {
    const std::string text = Build(GoldenDrive(), 0, ReportVariant::kWindow, false);
    EXPECT_EQ(0u, text.find("Drive 0  SMART NOT enabled\r\n\r\nIDE REGISTERS:\r\n"));
    EXPECT_EQ("Cylinder Low: 0x0 \tCylinder High: 0x0 \tDrive Head: 0xA0 \r\n",
              Line(text, "Cylinder Low"));
}

TEST(ReportTextTest, BytesPerSectorLine) {
    DriveCapture capture = GoldenDrive();
    SetIdentifyWord(&capture, 4, 0);
    SetIdentifyWord(&capture, 6, 0);
    EXPECT_EQ("Bytes per track: NA \tBytes per sector: NA\r\n",
              Line(Build(capture, 0, ReportVariant::kWindow), "Bytes per track"));
    SetIdentifyWord(&capture, 6, 63);
    EXPECT_EQ("Bytes per track: NA \tBytes per sector: NA\r\n",
              Line(Build(capture, 0, ReportVariant::kExport), "Bytes per track"));
    SetIdentifyWord(&capture, 4, 600);
    EXPECT_EQ("Bytes per track: 600 \tBytes per sector: 9\r\n",
              Line(Build(capture, 0, ReportVariant::kWindow), "Bytes per track"));
    // Word 4 without word 6: no division by zero, the sector size is unknown.
    SetIdentifyWord(&capture, 6, 0);
    EXPECT_EQ("Bytes per track: 600 \tBytes per sector: NA\r\n",
              Line(Build(capture, 0, ReportVariant::kWindow), "Bytes per track"));
}

TEST(ReportTextTest, ModelIsShownWithoutTheListSuffix) {
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, GoldenDrive());
    driver.InsertDrive(1, GoldenDrive());
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    DriveReportText report;
    BuildDriveReportText(inventory, 1, ReportVariant::kWindow, &report);
    EXPECT_EQ("Model Number: VANTREL GOLDEN 100% DISK\r\n", Line(report.text, "Model Number"));
}

TEST(ReportTextTest, WidestPossibleBlockFitsItsBuffers) {
    DriveCapture capture =
        MakeCapture(std::string(40, 'M'), std::string(20, 'S'), std::string(8, 'F'));
    for (int word = 0; word < 128; ++word) {
        if (word < 10 || word > 46) {
            SetIdentifyWord(&capture, word, 0xFFFF);
        }
    }
    SetIdentifyWord(&capture, 6, 1);
    SetIdentifyWord(&capture, 58, 0x8000);
    SetIdentifyWord(&capture, 57, 0);
    SetIdentifyWord(&capture, 61, 0x8000);
    SetIdentifyWord(&capture, 60, 0);
    const std::string text = Build(capture, 3, ReportVariant::kExport);
    EXPECT_LT(text.size(), 1000u);
    EXPECT_EQ("Bytes per track: 65535 \tBytes per sector: 65535\r\n",
              Line(text, "Bytes per track"));
    EXPECT_EQ("Vendor Unique: FFFF FFFF FFFF \tMore Vendor Unique: 0xFFFF\r\n",
              Line(text, "Vendor Unique"));
}

}  // namespace
