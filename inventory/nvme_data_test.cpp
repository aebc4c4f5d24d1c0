#include "inventory/nvme_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/capture.h"

namespace {

std::string VersionText(uint32_t version) {
    char text[kNvmeVersionTextSize];
    NvmeVersionText(version, text);
    return text;
}

std::string DecimalText(const NvmeCounter& counter) {
    char text[NvmeCounter::kDecimalSize];
    counter.Decimal(text);
    return text;
}

// The values the shared captures' README lists for its three NVMe drives.
TEST(NvmeDataTest, RealDrivesDecodeToTheirReportedValues) {
    const struct {
        const char* file;
        const char* model;
        const char* version;
        uint32_t namespaces;
        const char* capacity;
        uint64_t blocks;  // 0: no namespace data
        uint32_t blockSize;
        uint16_t vendor, subsystem;
        uint32_t oui;
        uint16_t controller;
        int celsius;
        unsigned used;
        const char* counters[10];
        std::vector<int> sensors;
    } drives[] = {
        {"SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart",
         "SAMSUNG MZVL21T0HCLR-00B00",
         "1.3",
         1,
         "1024209543168",
         2000409264,
         512,
         0x144D,
         0x144D,
         9528,
         6,
         29,
         16,
         {"7193048", "113662783", "60131549", "2219922465", "35754", "6", "10423", "1", "0", "0"},
         {29, 30}},
        {"KXG60ZNV512G_TOSHIBA--nvme.smart",
         "KXG60ZNV512G TOSHIBA",
         "1.3",
         1,
         "512110190592",
         125026902,
         4096,
         0x1179,
         0x1179,
         9233294,
         0,
         37,
         1,
         {"15794760", "3861802", "97929810", "99025670", "463", "30", "12173", "15", "0", "0"},
         {37}},
        {"INTEL_SSDPE2KX080T8--nvme.smart",
         "INTEL SSDPE2KX080T8",
         "1.2",
         128,
         "8001563222016",
         0,
         0,
         0x8086,
         0x8086,
         6083300,
         0,
         29,
         0,
         {"20126802", "184919244", "134106494", "4922206599", "165", "22", "12164", "8", "0", "0"},
         {}},
    };
    for (const auto& d : drives) {
        DriveCapture capture;
        std::string error;
        if (!ReadCaptureFile(std::string(VANTREL_CAPTURES_DIR) + "/nvme/" + d.file, &capture,
                             &error)) {
            GTEST_SKIP() << error;
        }
        const NvmeController controller = DecodeNvmeController(capture.nvmeController);
        EXPECT_STREQ(d.model, controller.model) << d.file;
        EXPECT_EQ(d.version, VersionText(controller.version)) << d.file;
        EXPECT_EQ(d.namespaces, controller.namespaces) << d.file;
        EXPECT_EQ(d.capacity, DecimalText(controller.totalCapacity)) << d.file;
        EXPECT_EQ(d.vendor, controller.pciVendor) << d.file;
        EXPECT_EQ(d.subsystem, controller.pciSubsystemVendor) << d.file;
        EXPECT_EQ(d.oui, controller.ieeeOui) << d.file;
        EXPECT_EQ(d.controller, controller.controllerId) << d.file;
        EXPECT_EQ(0, controller.warningTempKelvin) << d.file;

        NvmeNamespace space;
        if (d.blocks == 0) {
            EXPECT_FALSE(capture.hasNvmeNamespace) << d.file;
        } else {
            ASSERT_TRUE(DecodeNvmeNamespace(capture.nvmeNamespace, &space)) << d.file;
            EXPECT_EQ(d.blocks, space.blocks) << d.file;
            EXPECT_EQ(d.blockSize, space.blockSize) << d.file;
            EXPECT_EQ(d.capacity, std::to_string(space.blocks * space.blockSize)) << d.file;
        }

        const NvmeHealthLog log = DecodeNvmeHealthLog(capture.nvmeHealth);
        EXPECT_EQ(0, log.criticalWarning) << d.file;
        EXPECT_EQ(d.celsius, Celsius(log.temperatureKelvin)) << d.file;
        EXPECT_EQ(100, log.availableSpare) << d.file;
        EXPECT_EQ(10, log.spareThreshold) << d.file;
        EXPECT_EQ(d.used, log.percentageUsed) << d.file;
        const NvmeCounter counters[] = {log.dataUnitsRead,  log.dataUnitsWritten, log.hostReads,
                                        log.hostWrites,     log.busyTime,         log.powerCycles,
                                        log.powerOnHours,   log.unsafeShutdowns,  log.mediaErrors,
                                        log.errorLogEntries};
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(d.counters[i], DecimalText(counters[i])) << d.file << " counter " << i;
        }
        std::vector<int> sensors;
        for (uint16_t kelvin : log.sensorKelvin) {
            if (kelvin != 0) {
                sensors.push_back(Celsius(kelvin));
            }
        }
        EXPECT_EQ(d.sensors, sensors) << d.file;
    }
}

TEST(NvmeDataTest, VersionsAndCountersAsTheyAreWritten) {
    EXPECT_EQ("<1.2", VersionText(0));
    EXPECT_EQ("1.4", VersionText(0x00010400));
    EXPECT_EQ("2.0.1", VersionText(0x00020001));
    const struct {
        NvmeCounter counter;
        const char* decimal;
    } counters[] = {
        {{0, 0}, "0"},
        {{~0ull, 0}, "18446744073709551615"},
        {{0, 1}, "18446744073709551616"},
        {{~0ull, ~0ull}, "340282366920938463463374607431768211455"},
    };
    for (const auto& c : counters) {
        EXPECT_EQ(c.decimal, DecimalText(c.counter));
    }
}

// An inactive namespace answers zeros; each field that makes the data
// unusable on its own.
TEST(NvmeDataTest, OnlyAUsableNamespaceDecodes) {
    uint8_t good[kNvmeIdentifySize] = {};
    good[0] = 0x10;      // NSZE 16
    good[25] = 1;        // two formats
    good[26] = 1;        // the second
    good[128 + 2] = 9;   // format 0: 512
    good[132 + 2] = 12;  // format 1: 4096
    NvmeNamespace space;
    ASSERT_TRUE(DecodeNvmeNamespace(good, &space));
    EXPECT_EQ(16u, space.blocks);
    EXPECT_EQ(4096u, space.blockSize);
    const struct {
        size_t offset;
        uint8_t value;
    } spoilers[] = {{0, 0}, {26, 2}, {132 + 2, 8}, {132 + 2, 0}};
    for (const auto& spoil : spoilers) {
        uint8_t data[kNvmeIdentifySize];
        std::memcpy(data, good, sizeof data);
        data[spoil.offset] = spoil.value;
        EXPECT_FALSE(DecodeNvmeNamespace(data, &space)) << spoil.offset << "=" << int{spoil.value};
    }
    const uint8_t zeros[kNvmeIdentifySize] = {};
    EXPECT_FALSE(DecodeNvmeNamespace(zeros, &space));
}

// A controller's texts may hold line breaks that would forge report lines:
// they read as blanks, as an ATA drive's do, and the padding is trimmed.
TEST(NvmeDataTest, LineBreaksInTextsReadAsBlanks) {
    uint8_t data[kNvmeIdentifySize] = {};
    std::memcpy(data + 4, "SER\rIAL\n", 8);
    std::memcpy(data + 24, "FAKE\r\nDrive: GOOD", 18);
    std::memcpy(data + 64, "1.0\n", 4);
    const NvmeController controller = DecodeNvmeController(data);
    EXPECT_STREQ("SER IAL", controller.serial);
    EXPECT_STREQ("FAKE  Drive: GOOD", controller.model);
    EXPECT_STREQ("1.0", controller.firmware);
}

}  // namespace
