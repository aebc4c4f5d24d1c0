// The nine real captures, scanned through the emulated NT driver. The
// expected values were read once with `skdump --load=FILE` (libatasmart) and
// are kept here; skdump shows texts with leading blanks stripped, and raw
// values as 48-bit numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "inventory/drive_inventory.h"
#include "testing/emulated_driver/emulated_driver.h"

namespace {

struct ExpectedAttribute {
    int id, value, worst, threshold;
    uint64_t raw;
};

struct ExpectedDrive {
    const char* file;
    const char* model;
    const char* serial;
    const char* firmware;
    std::vector<ExpectedAttribute> attributes;
};

const ExpectedDrive kDrives[] = {
    {"FUJITSU_MHY2120BH--0084000D.smart", "FUJITSU MHY2120BH", "K434T81257SL", "0084000D",
     {{1, 100, 100, 46, 0x000000001bc7},
      {2, 100, 100, 30, 0x000001990000},
      {3, 100, 100, 25, 0x000000000001},
      {4, 99, 99, 0, 0x0000000002d1},
      {5, 100, 100, 24, 0x07d000000000},
      {7, 100, 100, 47, 0x0000000007ad},
      {8, 100, 100, 19, 0x000000000000},
      {9, 96, 96, 0, 0x0000000008a0},
      {10, 100, 100, 20, 0x000000000000},
      {12, 100, 100, 0, 0x00000000027b},
      {192, 100, 100, 0, 0x00000000000e},
      {193, 98, 98, 0, 0x00000000e219},
      {194, 100, 100, 0, 0x0036000f001c},
      {195, 100, 100, 0, 0x000000000000},
      {196, 100, 100, 0, 0x00001b650000},
      {197, 100, 100, 0, 0x000000000000},
      {198, 100, 100, 0, 0x000000000000},
      {199, 200, 253, 0, 0x000000000000},
      {200, 100, 100, 60, 0x00000000579b},
      {203, 100, 100, 0, 0x0064fad70376},
      {240, 200, 200, 0, 0x000000000000}}},
    {"FUJITSU_MHY2120BH--0085000B.smart", "FUJITSU MHY2120BH", "K430T7C2F50K", "0085000B",
     {{1, 100, 100, 46, 0x000000005b8c},
      {3, 100, 100, 25, 0x000000000001},
      {4, 96, 96, 0, 0x00000001539c},
      {5, 100, 100, 24, 0x07d000000000},
      {9, 96, 96, 0, 0x00000001fa9b},
      {12, 100, 100, 0, 0x0000000001ed},
      {191, 100, 100, 0, 0x00000000003a},
      {192, 100, 100, 0, 0x00000000002c},
      {194, 100, 95, 0, 0x002fffff0022},
      {196, 100, 100, 0, 0x00000001bc05},
      {197, 100, 100, 0, 0x6d4bfd220002},
      {198, 100, 100, 0, 0x31b90b710003},
      {199, 100, 100, 0, 0x00000074d8d6},
      {200, 100, 100, 0, 0x000000fc6198}}},
    {"FUJITSU_MHY2250BH--0085000B.smart", "FUJITSU MHY2250BH", "K432T81269H2", "0085000B",
     {{1, 100, 100, 46, 0x000000008fc9},
      {3, 100, 100, 25, 0x000000000001},
      {4, 87, 87, 0, 0x00000003fa66},
      {5, 100, 100, 24, 0x07d000000000},
      {9, 81, 81, 0, 0x000000092270},
      {12, 100, 100, 0, 0x000000000200},
      {191, 100, 100, 0, 0x00000000028a},
      {192, 100, 100, 0, 0x000000000022},
      {194, 100, 100, 0, 0x003100100027},
      {196, 100, 100, 0, 0x000000070668},
      {197, 100, 100, 0, 0x27c51e8f0003},
      {198, 100, 100, 0, 0xa0ac3cca0003},
      {199, 100, 100, 0, 0x0000016ef2fe},
      {200, 100, 100, 0, 0x000003861c91}}},
    {"INTEL_SSDSA2CW120G3--4PC10302.smart", "INTEL SSDSA2CW120G3", "CVPR109301UZ120LGN", "4PC10302",
     {{3, 100, 100, 0, 0x000000000000},
      {4, 100, 100, 0, 0x000000000000},
      {5, 100, 100, 0, 0x000000000000},
      {9, 100, 100, 0, 0x00000000002d},
      {12, 100, 100, 0, 0x00000000000e},
      {170, 100, 100, 10, 0x000000000000},
      {171, 100, 100, 0, 0x000000000000},
      {172, 100, 100, 0, 0x000000000000},
      {184, 100, 100, 90, 0x000000000000},
      {187, 100, 100, 0, 0x000000000000},
      {192, 100, 100, 0, 0x000000000002},
      {225, 100, 100, 0, 0x000000000334},
      {226, 100, 100, 0, 0x00000000ffff},
      {227, 100, 100, 0, 0x00000000ffff},
      {228, 100, 100, 0, 0x00000000ffff},
      {232, 100, 100, 10, 0x000000000000},
      {233, 100, 100, 0, 0x000000000000},
      {241, 100, 100, 0, 0x000000000334},
      {242, 100, 100, 0, 0x00000000121a}}},
    {"SAMSUNG_HD501LJ--CR100-12.smart", "SAMSUNG HD501LJ", "S0MUJ1NQ110060", "CR100-12",
     {{1, 100, 100, 51, 0x000000000014},
      {3, 100, 100, 15, 0x000000001cc0},
      {4, 100, 100, 0, 0x000000000072},
      {5, 100, 100, 10, 0x000000000001},
      {7, 253, 253, 51, 0x000000000000},
      {8, 253, 253, 15, 0x000000000000},
      {9, 100, 100, 0, 0x000000001c9e},
      {10, 253, 253, 51, 0x000000000000},
      {11, 253, 253, 0, 0x000000000000},
      {12, 100, 100, 0, 0x000000000058},
      {13, 100, 100, 0, 0x00003caf1a09},
      {187, 253, 253, 0, 0x000000010000},
      {188, 253, 253, 0, 0x000000000000},
      {190, 53, 50, 0, 0x00000000002f},
      {194, 97, 88, 0, 0x00000000002f},
      {195, 100, 100, 0, 0x00003caf1a09},
      {196, 100, 100, 0, 0x000000000001},
      {197, 100, 100, 0, 0x000000000001},
      {198, 253, 253, 0, 0x000000000000},
      {199, 200, 200, 0, 0x000000000000},
      {200, 100, 100, 0, 0x000000000000},
      {201, 100, 100, 0, 0x000000000000},
      {202, 253, 253, 0, 0x000000000000}}},
    {"SAMSUNG_MP0804H--UE100-14.smart", "SAMSUNG MP0804H", "S042J10XC22323", "UE100-14",
     {{1, 100, 100, 51, 0x000000000000},
      {3, 100, 100, 25, 0x000000000bc0},
      {4, 98, 98, 0, 0x0000000009d2},
      {5, 100, 100, 11, 0x000000000000},
      {7, 100, 100, 51, 0x000000000000},
      {8, 100, 100, 15, 0x000000000000},
      {9, 100, 100, 0, 0x000000088175},
      {10, 100, 100, 51, 0x000000000000},
      {12, 100, 100, 0, 0x0000000003db},
      {191, 100, 100, 0, 0x000000000008},
      {194, 94, 76, 0, 0x000000000030},
      {195, 100, 100, 0, 0x0000000975f0},
      {196, 100, 100, 0, 0x000000000000},
      {197, 100, 100, 0, 0x000000000000},
      {198, 100, 100, 0, 0x000000000000},
      {199, 200, 200, 0, 0x000000000000},
      {200, 100, 100, 51, 0x000000000000},
      {201, 100, 100, 0, 0x000000000000},
      {223, 100, 100, 0, 0x000000000001},
      {225, 17, 17, 0, 0x0000000cda16},
      {255, 100, 100, 51, 0x000000000000}}},
    {"ST320410A--3.39.smart", "ST320410A", "5FB3QF34", "3.39",
     {{1, 83, 70, 25, 0x0000019c5999},
      {3, 100, 98, 0, 0x000000000000},
      {4, 88, 88, 20, 0x0000000030ab},
      {5, 100, 100, 36, 0x000000000005},
      {7, 89, 60, 30, 0x000133423729},
      {9, 66, 66, 0, 0x0000000076b3},
      {10, 100, 96, 97, 0x000000000000},
      {12, 99, 99, 20, 0x0000000006db},
      {194, 40, 61, 0, 0x000000000028},
      {195, 100, 253, 0, 0x000000000000},
      {197, 100, 100, 0, 0x000000000000},
      {198, 100, 100, 0, 0x000000000000},
      {199, 200, 187, 0, 0x0000000000b1},
      {200, 100, 253, 0, 0x000000000000},
      {202, 100, 253, 0, 0x000000000000}}},
    {"ST9100821AS--3.CME.smart", "ST9100821AS", "5NJ0R13A", "3.CME",
     {{1, 97, 70, 34, 0x000001fadb76},
      {3, 100, 98, 0, 0x000000000000},
      {4, 1, 1, 20, 0x00000003d9e7},
      {5, 100, 100, 36, 0x000000000000},
      {7, 78, 60, 30, 0x0000039162b8},
      {9, 96, 96, 0, 0x70b300001119},
      {10, 100, 100, 34, 0x000000000000},
      {12, 100, 100, 20, 0x000000000226},
      {184, 100, 253, 0, 0x000000000000},
      {187, 100, 100, 0, 0x000000000000},
      {189, 100, 100, 45, 0x000000000000},
      {190, 66, 47, 0, 0x000022220022},
      {191, 100, 100, 0, 0x000000000001},
      {192, 100, 100, 0, 0x00000000003a},
      {193, 1, 1, 0, 0x00000003e596},
      {194, 34, 53, 0, 0x001400000022},
      {195, 99, 73, 0, 0x000001fadb76},
      {196, 98, 98, 0, 0x5a9700000831},
      {197, 100, 100, 0, 0x000000000000},
      {198, 100, 100, 0, 0x000000000000},
      {199, 200, 200, 0, 0x000000000000},
      {200, 100, 253, 0, 0x000000000000},
      {202, 100, 253, 0, 0x000000000000},
      {254, 100, 253, 0, 0x000000000000}}},
    {"WDC_WD2500JS-75NCB3--10.02E04.smart", "WDC WD2500JS-75NCB3", "WD-WCANKH572006", "10.02E04",
     {{1, 200, 200, 51, 0x000000000000},
      {3, 241, 216, 21, 0x000000000b6d},
      {4, 100, 100, 0, 0x000000000258},
      {5, 200, 200, 140, 0x000000000000},
      {7, 200, 200, 51, 0x000000000000},
      {9, 91, 91, 0, 0x0000000019e2},
      {10, 100, 100, 51, 0x000000000000},
      {11, 100, 100, 51, 0x000000000000},
      {12, 100, 100, 0, 0x000000000256},
      {190, 62, 44, 45, 0x000000000026},
      {194, 112, 94, 0, 0x000000000026},
      {196, 200, 200, 0, 0x000000000000},
      {197, 200, 200, 0, 0x000000000000},
      {198, 200, 200, 0, 0x000000000000},
      {199, 200, 200, 0, 0x000000000000},
      {200, 200, 200, 51, 0x000000000000}}},
};

std::string CapturePath(const char* file) {
    return std::string(VANTREL_CAPTURES_DIR) + "/" + file;
}

bool CapturesPresent() {
    FILE* probe = std::fopen(CapturePath(kDrives[0].file).c_str(), "rb");
    if (probe) {
        std::fclose(probe);
    }
    return probe != nullptr;
}

std::string LeadingTrimmed(const char* text) {
    std::string s(text);
    return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

class RealCaptureTest : public ::testing::TestWithParam<ExpectedDrive> {
protected:
    void SetUp() override {
        if (!CapturesPresent()) {
            GTEST_SKIP() << "real captures not found at " << VANTREL_CAPTURES_DIR;
        }
    }
};

TEST_P(RealCaptureTest, AgreesWithSkdump) {
    const ExpectedDrive& expected = GetParam();
    DriveCapture capture;
    std::string error;
    ASSERT_TRUE(ReadCaptureFile(CapturePath(expected.file), &capture, &error)) << error;
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(2, capture);
    DriveInventory inventory;
    inventory.ScanDrives(driver);

    char buffer[64];
    uint32_t length = sizeof buffer;
    ASSERT_NE(nullptr, inventory.GetModelName(buffer, &length, 2, true));
    EXPECT_STREQ(expected.model, buffer);
    length = sizeof buffer;
    inventory.GetSerialNumber(buffer, &length, 2);
    EXPECT_EQ(expected.serial, LeadingTrimmed(buffer));
    EXPECT_NE(' ', buffer[std::string(buffer).size() - 1]);
    length = sizeof buffer;
    inventory.GetFirmwareRevision(buffer, &length, 2);
    EXPECT_STREQ(expected.firmware, buffer);

    ASSERT_EQ(static_cast<int>(expected.attributes.size()), inventory.GetAttributeCount(2));
    for (size_t i = 0; i < expected.attributes.size(); ++i) {
        const ExpectedAttribute& want = expected.attributes[i];
        AttributeRecord record;
        ASSERT_TRUE(inventory.GetAttribute(2, static_cast<int>(i), &record));
        SCOPED_TRACE("attribute " + std::to_string(want.id));
        EXPECT_EQ(want.id, record.Attribute[0]);
        EXPECT_EQ(want.value, record.Attribute[3]);
        EXPECT_EQ(want.worst, record.Attribute[4]);
        EXPECT_EQ(want.threshold, record.Threshold[1]);
        uint64_t raw = 0;
        for (int b = 5; b >= 0; --b) {
            raw = (raw << 8) | record.Attribute[5 + b];
        }
        EXPECT_EQ(want.raw, raw);
    }
}

TEST_P(RealCaptureTest, WritingBackReproducesTheFile) {
    const std::string path = CapturePath(GetParam().file);
    DriveCapture capture;
    std::string error;
    ASSERT_TRUE(ReadCaptureFile(path, &capture, &error)) << error;
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    std::vector<uint8_t> bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    EXPECT_EQ(bytes, SerializeCapture(capture));
}

INSTANTIATE_TEST_SUITE_P(NineDrives, RealCaptureTest, ::testing::ValuesIn(kDrives));

TEST(RealCaptureSuffixTest, TwoFujitsuDrivesOfOneModelAreNumbered) {
    if (!CapturesPresent()) {
        GTEST_SKIP() << "real captures not found at " << VANTREL_CAPTURES_DIR;
    }
    EmulatedDriver driver(kPlatformWindowsNt);
    const char* files[] = {"FUJITSU_MHY2120BH--0085000B.smart", "FUJITSU_MHY2250BH--0085000B.smart",
                           "FUJITSU_MHY2120BH--0084000D.smart"};
    for (int position = 0; position < 3; ++position) {
        DriveCapture capture;
        std::string error;
        ASSERT_TRUE(ReadCaptureFile(CapturePath(files[position]), &capture, &error)) << error;
        driver.InsertDrive(position, capture);
    }
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    const char* expected[] = {"FUJITSU MHY2120BH-1", "FUJITSU MHY2250BH", "FUJITSU MHY2120BH-2"};
    for (int position = 0; position < 3; ++position) {
        char buffer[50];
        uint32_t length = sizeof buffer;
        EXPECT_STREQ(expected[position], inventory.GetModelName(buffer, &length, position, true));
    }
}

}  // namespace
