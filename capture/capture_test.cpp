#include "capture/capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/synthetic_capture.h"

namespace {

std::vector<uint8_t> Section(const char* tag, uint32_t length, uint8_t fill = 0) {
    std::vector<uint8_t> out(tag, tag + 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(length >> shift));
    }
    out.insert(out.end(), length, fill);
    return out;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::string Refusal(const std::vector<uint8_t>& bytes) {
    DriveCapture capture;
    std::string error;
    EXPECT_FALSE(ParseCapture(bytes.data(), bytes.size(), "drive.smart", &capture, &error));
    return error;
}

TEST(CaptureReaderTest, RefusesDamagedFilesNamingFileOffsetAndFault) {
    EXPECT_EQ("drive.smart: offset 0: empty file", Refusal({}));
    EXPECT_EQ("drive.smart: offset 0: truncated section header", Refusal({'I', 'D', 'F'}));
    std::vector<uint8_t> idfy = Section("IDFY", 512);
    EXPECT_EQ("drive.smart: offset 520: truncated section header",
              Refusal(Join({idfy, {'S', 'M'}})));
    std::vector<uint8_t> cut(idfy.begin(), idfy.begin() + 100);
    EXPECT_EQ(
        "drive.smart: offset 4: section IDFY payload of 512 bytes is truncated: 92 bytes left",
        Refusal(cut));
    std::vector<uint8_t> huge = {'X', 'T', 'R', 'A', 0xFF, 0xFF, 0xFF, 0xFF, 1, 2};
    EXPECT_EQ(
        "drive.smart: offset 524: section XTRA payload of 4294967295 bytes is truncated: "
        "2 bytes left",
        Refusal(Join({idfy, huge})));
    EXPECT_EQ("drive.smart: offset 524: section SMST has length 5, expected 4",
              Refusal(Join({idfy, Section("SMST", 5)})));
    EXPECT_EQ("drive.smart: offset 520: section IDFY appears twice", Refusal(Join({idfy, idfy})));
    EXPECT_EQ("drive.smart: offset 520: no IDFY section", Refusal(Section("SMDT", 512)));
    std::vector<uint8_t> big = Join({idfy, Section("PADD", 65536 - 520 - 8 + 1)});
    EXPECT_EQ("drive.smart: offset 65536: file is larger than 65536 bytes", Refusal(big));
}

// A capture holds one drive: ATA, or NVMe with its Identify Controller data
// and health log (the namespace data is optional).
TEST(CaptureReaderTest, AnNvmeCaptureHoldsItsRequiredSectionsAndNoAtaOnes) {
    const std::vector<uint8_t> nvid = Section("NVID", 4096, 0x11);
    const std::vector<uint8_t> nvns = Section("NVNS", 4096, 0x22);
    const std::vector<uint8_t> nvhl = Section("NVHL", 512, 0x33);
    const struct {
        std::vector<uint8_t> bytes;
        const char* refusal;
    } cases[] = {
        {Join({nvid, nvhl}), ""},
        {Join({nvhl, nvns, nvid}), ""},
        {Join({nvid}), "drive.smart: offset 4104: no NVHL section"},
        {Join({nvns, nvhl}), "drive.smart: offset 4624: NVMe sections without an NVID section"},
        {Join({Section("IDFY", 512), nvid, nvhl}),
         "drive.smart: offset 5144: both IDFY and NVMe sections: a capture holds one drive"},
        {Join({nvid, Section("NVHL", 4096)}),
         "drive.smart: offset 4108: section NVHL has length 4096, expected 512"},
        {Join({Section("NVNS", 512), nvid, nvhl}),
         "drive.smart: offset 4: section NVNS has length 512, expected 4096"},
    };
    for (const auto& c : cases) {
        DriveCapture capture;
        std::string error;
        const bool loaded =
            ParseCapture(c.bytes.data(), c.bytes.size(), "drive.smart", &capture, &error);
        EXPECT_EQ(c.refusal, error);
        if (*c.refusal == '\0') {
            ASSERT_TRUE(loaded);
            EXPECT_TRUE(capture.IsNvme() && capture.hasNvmeHealth && !capture.hasIdentify);
            EXPECT_EQ(0x11, capture.nvmeController[4095]);
            EXPECT_EQ(0x33, capture.nvmeHealth[511]);
            // Written back in the one order, whatever order it was read in.
            const std::vector<uint8_t> written = SerializeCapture(capture);
            EXPECT_EQ(capture.hasNvmeNamespace ? Join({nvid, nvns, nvhl}) : Join({nvid, nvhl}),
                      written);
        }
    }
}

TEST(CaptureReaderTest, UnprintableTagsAreShownEscaped) {
    std::vector<uint8_t> bytes = {0x01, 'A', 0xFF, 'B', 0, 0, 1, 0};
    EXPECT_EQ(
        "drive.smart: offset 4: section \\x01A\\xFFB payload of 256 bytes is truncated: "
        "0 bytes left",
        Refusal(bytes));
}

TEST(CaptureReaderTest, SkipsUnknownTagsAndAcceptsAnyOrder) {
    std::vector<uint8_t> bytes = Join({Section("SMTH", 512, 0x33), Section("NOTE", 3, 'x'),
                                       Section("IDFY", 512, 0x11), Section("SMDT", 512, 0x22)});
    DriveCapture capture;
    std::string error;
    ASSERT_TRUE(ParseCapture(bytes.data(), bytes.size(), "x", &capture, &error)) << error;
    EXPECT_TRUE(capture.hasIdentify && capture.hasSmartData && capture.hasThresholds);
    EXPECT_FALSE(capture.hasStatus);
    EXPECT_EQ(0x11, capture.identify[511]);
    EXPECT_EQ(0x22, capture.smartData[0]);
    EXPECT_EQ(0x33, capture.thresholds[100]);
}

TEST(CaptureReaderTest, AFileOfExactlySixtyFourKibibytesIsAccepted) {
    std::vector<uint8_t> bytes = Join({Section("IDFY", 512), Section("PADD", 65536 - 520 - 8)});
    ASSERT_EQ(65536u, bytes.size());
    DriveCapture capture;
    std::string error;
    EXPECT_TRUE(ParseCapture(bytes.data(), bytes.size(), "x", &capture, &error)) << error;
}

TEST(CaptureWriterTest, RoundTripReproducesTheBytes) {
    DriveCapture original = MakeCapture("ROUND TRIP", "SN1", "FW");
    SetAttribute(&original, 3, 194, 40, 60, 0x28, 0);
    const std::vector<uint8_t> bytes = SerializeCapture(original);
    EXPECT_EQ(8u * 4 + 512 * 3 + 4, bytes.size());
    DriveCapture again;
    std::string error;
    ASSERT_TRUE(ParseCapture(bytes.data(), bytes.size(), "x", &again, &error)) << error;
    EXPECT_EQ(bytes, SerializeCapture(again));

    DriveCapture identifyOnly;
    identifyOnly.hasIdentify = true;
    identifyOnly.identify[0] = 0x40;
    const std::vector<uint8_t> small = SerializeCapture(identifyOnly);
    EXPECT_EQ(Section("IDFY", 0).size() + 512, small.size());
}

// DVST holds the Device Statistics pages one read returned: 1 to 8 whole
// pages, kept with their count and written back at their length.
TEST(CaptureReaderTest, DeviceStatisticsAreOneToEightWholePages) {
    const std::vector<uint8_t> idfy = Section("IDFY", 512);
    for (uint32_t length : {512u, 1024u, 3584u, 4096u}) {
        const std::vector<uint8_t> bytes =
            Join({idfy, Section("SLDR", 512), Section("DVST", length, 7)});
        DriveCapture capture;
        std::string error;
        ASSERT_TRUE(ParseCapture(bytes.data(), bytes.size(), "x", &capture, &error)) << error;
        EXPECT_TRUE(capture.hasLogDirectory && capture.hasDeviceStatistics);
        EXPECT_EQ(length / 512, capture.deviceStatisticsPages);
        EXPECT_EQ(7, capture.deviceStatistics[length - 1]);
        EXPECT_EQ(bytes, SerializeCapture(capture)) << length;
    }
    for (uint32_t length : {0u, 511u, 513u, 4608u}) {
        EXPECT_EQ("drive.smart: offset 524: section DVST has length " + std::to_string(length) +
                      ", expected 4096",
                  Refusal(Join({idfy, Section("DVST", length)})));
    }
}

TEST(CaptureFileTest, WritesAndReadsFiles) {
    const std::string path = ::testing::TempDir() + "capture_test.smart";
    DriveCapture original = MakeCapture("FILE", "SN", "FW");
    std::string error;
    ASSERT_TRUE(WriteCaptureFile(path, original, &error)) << error;
    DriveCapture loaded;
    ASSERT_TRUE(ReadCaptureFile(path, &loaded, &error)) << error;
    EXPECT_EQ(SerializeCapture(original), SerializeCapture(loaded));
    std::remove(path.c_str());
    EXPECT_FALSE(ReadCaptureFile(path, &loaded, &error));
    EXPECT_NE(std::string::npos, error.find(path + ": offset 0: cannot open"));
}

}  // namespace
