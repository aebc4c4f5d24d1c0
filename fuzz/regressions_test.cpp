// Replays the inputs that once broke a promise of the capture reader or of
// the way from drive data to text, and the sample drives, through the same
// checks that the fuzzers make on every input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/capture_check.h"
#include "fuzz/scan_check.h"
#include "fuzz/scan_input.h"
#include "capture/capture.h"
#include "inventory/drive_inventory.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension = "") {
    std::vector<fs::path> files;
    if (!fs::is_directory(folder)) {
        return files;
    }
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.is_regular_file() && (extension.empty() || item.path().extension() == extension)) {
            files.push_back(item.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

const fs::path kSource = VANTREL_SOURCE_DIR;

TEST(FuzzRegressionsTest, CaptureInputsKeepTheirPromises) {
    const auto files = FilesIn(kSource / "fuzz/regressions/capture");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = Bytes(file);
        EXPECT_EQ("", CheckCaptureBytes(bytes.data(), bytes.size())) << file;
    }
}

TEST(FuzzRegressionsTest, ScanInputsKeepTheirPromises) {
    const auto files = FilesIn(kSource / "fuzz/regressions/scan");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = Bytes(file);
        EXPECT_EQ("", CheckScanPath(bytes.data(), bytes.size())) << file;
    }
}

// The sample drives, each alone and all together under both families, and
// one model at three positions.
TEST(FuzzRegressionsTest, SampleDrivesKeepThePromises) {
    std::vector<fs::path> files = FilesIn(kSource / "samples", ".smart");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : FilesIn(VANTREL_CAPTURES_DIR, ".smart")) {
        files.push_back(file);
    }
    std::vector<DriveCapture> drives;
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = Bytes(file);
        EXPECT_EQ("", CheckCaptureBytes(bytes.data(), bytes.size())) << file;
        DriveCapture capture;
        std::string error;
        ASSERT_TRUE(ReadCaptureFile(file.string(), &capture, &error)) << error;
        drives.push_back(capture);
    }
    for (uint8_t platform : {kPlatformWindowsNt, kPlatformWindows9x}) {
        for (size_t i = 0; i < drives.size(); ++i) {
            ScanInput machine;
            machine.platform = platform;
            for (int p = 0; p < 4; ++p) {
                ScanInputPosition& position = machine.positions[p];
                position.kind = kInputAta | kInputHasSmartData | kInputHasThresholds;
                position.capture = drives[(i + (p == 3 ? 0 : p)) % drives.size()];
            }
            const std::vector<uint8_t> bytes = EncodeScanInput(machine);
            EXPECT_EQ("", CheckScanPath(bytes.data(), bytes.size())) << files[i];
        }
    }
}

TEST(FuzzRegressionsTest, DecodingIsTheInverseOfEncoding) {
    ScanInput machine;
    machine.platform = kPlatformWindows9x;
    machine.positions[2].kind = kInputAta | kInputHasThresholds;
    machine.positions[2].failing = 0x24;
    machine.positions[2].capture.identify[7] = 0x5A;
    machine.positions[2].capture.smartData[511] = 0x11;
    machine.positions[2].capture.thresholds[0] = 0x22;
    machine.positions[2].capture.identify[kModelOffset + 39] = 'Q';
    // Position 3 answers with position 2's model field.
    machine.positions[3].kind = kInputAta | kInputCopyModel | (2 << 6);
    const std::vector<uint8_t> bytes = EncodeScanInput(machine);
    ASSERT_EQ(static_cast<size_t>(kScanInputSize), bytes.size());
    const ScanInput back = DecodeScanInput(bytes.data(), bytes.size());
    EXPECT_EQ(kPlatformWindows9x, back.platform);
    EXPECT_EQ(machine.positions[2].kind, back.positions[2].kind);
    EXPECT_EQ(0x24, back.positions[2].failing);
    EXPECT_EQ(0x5A, back.positions[2].capture.identify[7]);
    EXPECT_EQ(0x11, back.positions[2].capture.smartData[511]);
    EXPECT_EQ(0x22, back.positions[2].capture.thresholds[0]);
    EXPECT_FALSE(back.positions[2].capture.hasSmartData);
    EXPECT_TRUE(back.positions[2].capture.hasThresholds);
    EXPECT_EQ(kInputEmpty, back.positions[0].kind);
    EXPECT_EQ('Q', back.positions[3].capture.identify[kModelOffset + 39]);
    EXPECT_EQ(0, back.positions[3].capture.identify[kModelOffset - 1]);
    // A short input reads as padded with zero bytes.
    const ScanInput shortInput = DecodeScanInput(bytes.data(), 3);
    EXPECT_EQ(0, shortInput.positions[2].kind);
    EXPECT_EQ(0, shortInput.positions[2].capture.identify[7]);
}

}  // namespace
