#include "report/prometheus_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "capture/synthetic_capture.h"
#include "report/device_status.h"
#include "report/metric_device.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "testing/report/report_test_drives.h"

namespace {

std::string Metrics(EmulatedDriver& driver, DriveInventory& inventory, const std::string& device,
                    bool translated = false) {
    inventory.ScanDrives(driver);
    MachineReport report{{}, inventory.GetDriveCount(), "V", 0, {}};
    for (int position = 0; position < kDrivePositions; ++position) {
        if (inventory.entries[position].DriveNumber >= 0) {
            report.drives.emplace_back();
            ReadDrive(inventory, position, "list", device + std::to_string(position),
                      &report.drives.back());
            report.drives.back().health = {HealthVerdict::kBad, {}};
            report.drives.back().ataTranslated = translated;
        }
    }
    return PrometheusReport(report);
}

// One attribute record: id 5 with the given flags, values and threshold.
AttributeRecord Record(uint8_t flags, uint8_t current, uint8_t worst, uint8_t threshold) {
    AttributeRecord record = {};
    record.Attribute[0] = record.Threshold[0] = 5;
    record.Attribute[1] = flags;
    record.Attribute[3] = current;
    record.Attribute[4] = worst;
    record.Threshold[1] = threshold;
    return record;
}

// Each bit of the mask from a reading made for it; every other field as a
// sound drive has it.
TEST(DeviceStatusTest, EachBitFollowsItsDefinition) {
    const struct {
        const char* what;
        void (*change)(DriveReading*);
        unsigned expected;
    } cases[] = {
        {"sound", [](DriveReading*) {}, 0},
        {"asleep", [](DriveReading* r) { r->ata.read = false; }, 2},
        {"SMART data not read", [](DriveReading* r) { r->ata.hasSmartData = false; }, 4},
        {"a reply failed its checks",
         [](DriveReading* r) { r->ata.integrity.smartData = BlockCheck::kFailed; }, 4},
        {"thresholds not read, a value under one",
         [](DriveReading* r) {
             r->ata.thresholdsKnown = false;
             r->ata.attributes = {Record(1, 10, 10, 36)};
         },
         4},
        {"self-assessment FAILED",
         [](DriveReading* r) { r->ata.selfAssessment = SelfAssessment::kFailed; }, 8},
        {"pre-failure at its threshold now",
         [](DriveReading* r) { r->ata.attributes = {Record(1, 36, 36, 36)}; }, 16 + 32},
        {"old-age at its threshold now",
         [](DriveReading* r) { r->ata.attributes = {Record(2, 36, 36, 36)}; }, 32},
        {"pre-failure at its threshold in the past",
         [](DriveReading* r) { r->ata.attributes = {Record(1, 100, 20, 36)}; }, 32},
        {"a zero threshold is none",
         [](DriveReading* r) { r->ata.attributes = {Record(1, 0, 0, 0)}; }, 0},
        {"errors logged",
         [](DriveReading* r) {
             r->ata.errorLog.check = BlockCheck::kOk;
             r->ata.errorLog.count = 3;
         },
         64},
        {"newest completed self-test failed, an aborted one after it",
         [](DriveReading* r) {
             r->ata.selfTestLog.check = BlockCheck::kOk;
             r->ata.selfTestLog.count = 3;
             r->ata.selfTestLog.entries[0].status = 0x10;  // aborted by the host
             r->ata.selfTestLog.entries[1].status = 0x73;  // read failure
             r->ata.selfTestLog.entries[2].status = 0x00;
         },
         128},
        {"NVMe: the temperature warning is no failure",
         [](DriveReading* r) {
             r->protocol = DriveProtocol::kNvme;
             r->nvme.log.criticalWarning = 0x02;
         },
         0},
        {"NVMe: degraded, errors logged",
         [](DriveReading* r) {
             r->protocol = DriveProtocol::kNvme;
             r->nvme.log.criticalWarning = 0x04;
             r->nvme.log.errorLogEntries.low = 5;
         },
         8 + 64},
        {"NVMe: newest completed self-test failed",
         [](DriveReading* r) {
             r->protocol = DriveProtocol::kNvme;
             r->nvme.controller.selfTests = r->nvme.hasSelfTestLog = true;
             r->nvme.selfTests.count = 3;
             r->nvme.selfTests.results[0].result = 0x1;  // aborted
             r->nvme.selfTests.results[1].result = 0x7;  // failed segments
         },
         128},
    };
    for (const auto& c : cases) {
        DriveReading reading;
        reading.ata.smartAvailable = reading.ata.hasSmartData = reading.ata.thresholdsKnown = true;
        reading.ata.selfAssessment = SelfAssessment::kPassed;
        reading.ata.attributes = {Record(1, 100, 100, 36)};
        c.change(&reading);
        EXPECT_EQ(c.expected, DeviceStatusBits(reading)) << c.what;
    }
}

TEST(PrometheusWriterTest, LabelValuesAreEscapedAndUtf8) {
    EmulatedDriver driver;
    DriveInventory inventory;
    driver.InsertDrive(0, MakeCapture("Q\"B\\S\xb0", "SER", "FW"));
    const std::string metrics = Metrics(driver, inventory, "a\nb");
    EXPECT_NE(std::string::npos,
              metrics.find("smartctl_device{device=\"a\\nb0\",model_family=\"unknown\","
                           "model_name=\"Q\\\"B\\\\S\xc2\xb0\",serial_number=\"SER\","
                           "firmware_version=\"FW\",interface=\"ata\",protocol=\"ATA\","
                           "ata_additional_product_id=\"unknown\",ata_version=\"\","
                           "sata_version=\"\",form_factor=\"\"} 1\n"));
    EXPECT_NE(std::string::npos, metrics.find("\nvantrel_scan_drives 1\n"));
    EXPECT_NE(std::string::npos, metrics.find("\nsmartctl_devices 1\n"));
    EXPECT_NE(std::string::npos,
              metrics.find("\nsmartctl_version{vantrel_json_format_version=\"1.0\","
                           "vantrel_version=\"V\"} 1\n"));
    EXPECT_NE(std::string::npos,
              metrics.find("\nvantrel_drive_health{device=\"a\\nb0\",verdict=\"GOOD\"} 0\n"
                           "vantrel_drive_health{device=\"a\\nb0\",verdict=\"CAUTION\"} 0\n"
                           "vantrel_drive_health{device=\"a\\nb0\",verdict=\"BAD\"} 1\n"
                           "vantrel_drive_health{device=\"a\\nb0\",verdict=\"UNKNOWN\"} 0\n"));
}

TEST(PrometheusWriterTest, SamplesFollowTheirDefinitions) {
    EmulatedDriver driver;
    DriveInventory inventory;
    DriveCapture capture = GoldenDrive();
    SetAttribute(&capture, 7, 197, 100, 100, 0x0000AB010203ull, 0);  // counts: bytes 0 and 1
    SetAttribute(&capture, 8, 5, 100, 100, 9, 0);                    // a second id 5: left out
    driver.InsertDrive(0, capture);
    DriveCapture noThresholds = GoldenDrive();
    noThresholds.hasThresholds = false;
    driver.InsertDrive(1, noThresholds);
    const std::string metrics = Metrics(driver, inventory, "d");
    const std::string raw5 =
        "smartctl_device_attribute{device=\"d0\",attribute_id=\"5\","
        "attribute_name=\"Reallocated_Sector_Ct\",attribute_flags_short=\"PO----\","
        "attribute_flags_long=\"prefailure,updated_online\",attribute_value_type=\"raw\"} ";
    const size_t first = metrics.find(raw5);
    ASSERT_NE(std::string::npos, first);
    EXPECT_EQ(first, metrics.find(raw5 + "4294967295\n")) << "the first record of id 5";
    EXPECT_EQ(std::string::npos, metrics.find(raw5, first + 1)) << "and only that one";
    EXPECT_NE(std::string::npos, metrics.find("attribute_value_type=\"thresh\"} 36\n"));
    EXPECT_EQ(
        std::string::npos,
        metrics.find(
            "\"d1\",attribute_id=\"5\",attribute_name=\"Reallocated_Sector_Ct\","
            "attribute_flags_short=\"PO----\",attribute_flags_long=\"prefailure,updated_online\","
            "attribute_value_type=\"thresh\""))
        << "the drive without thresholds has no thresh sample";
    EXPECT_NE(
        std::string::npos,
        metrics.find(
            "\"d1\",attribute_id=\"5\",attribute_name=\"Reallocated_Sector_Ct\","
            "attribute_flags_short=\"PO----\",attribute_flags_long=\"prefailure,updated_online\","
            "attribute_value_type=\"worst\"} 20\n"));
    EXPECT_NE(std::string::npos,
              metrics.find("vantrel_attribute_count{device=\"d0\",attribute_id=\"197\"} 515\n"));
    EXPECT_NE(std::string::npos,
              metrics.find("vantrel_attribute_verdict{device=\"d0\",attribute_id=\"5\"} 2\n"));
    EXPECT_NE(std::string::npos,
              metrics.find("vantrel_attribute_verdict{device=\"d1\",attribute_id=\"5\"} 3\n"));
    EXPECT_NE(std::string::npos, metrics.find("smartctl_device_power_on_seconds{device=\"d0\"} "
                                              "25200\n"));
    EXPECT_NE(
        std::string::npos,
        metrics.find("smartctl_device_temperature{device=\"d0\",temperature_type=\"current\"} "
                     "30\n"));
}

// The device label is the name the exporter's users select, however the
// drive was reached; a capture keeps its file name.
TEST(PrometheusWriterTest, DeviceLabelIsTheKernelsOrTheDriversName) {
    const struct {
        const char* device;
        const char* label;
    } cases[] = {
        {"/dev/sda", "sda"},
        {"/dev/nvme0", "nvme0"},
        {"\\\\.\\PhysicalDrive3", "PhysicalDrive3"},
        {"SMARTVSD:2", "drive2"},
        {"SMARTVSD:", "SMARTVSD:"},
        {"SMARTVSD:2.smart", "SMARTVSD:2.smart"},
        {"INTEL_SSDSA2CW120G3--4PC10302.smart", "INTEL_SSDSA2CW120G3--4PC10302.smart"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.label, MetricDeviceName(c.device)) << c.device;
    }
    EmulatedDriver driver;
    DriveInventory inventory;
    driver.InsertDrive(0, GoldenDrive());
    const std::string metrics = Metrics(driver, inventory, "/dev/sd", true);
    EXPECT_NE(std::string::npos, metrics.find("smartctl_device_temperature{device=\"sd0\","));
    EXPECT_NE(std::string::npos, metrics.find(",interface=\"sat\",protocol=\"ATA\","))
        << "read through SCSI/ATA translation";
    EXPECT_EQ(std::string::npos, metrics.find("/dev/"));
}

// A drive with 4096-byte logical sectors and its temperature in 190 alone.
TEST(PrometheusWriterTest, CapacityAndTemperatureOfADriveWithLargeSectors) {
    EmulatedDriver driver;
    DriveInventory inventory;
    DriveCapture capture = MakeCapture("LARGE SECTORS", "S", "F");
    SetIdentifyWord(&capture, 60, 1000);
    SetIdentifyWord(&capture, 106, 0x5000);
    SetIdentifyWord(&capture, 117, 2048);
    SetAttribute(&capture, 0, 190, 67, 55, 0x2D0021, 45);
    driver.InsertDrive(0, capture);
    const std::string metrics = Metrics(driver, inventory, "d");
    EXPECT_NE(std::string::npos,
              metrics.find("\nsmartctl_device_capacity_bytes{device=\"d0\"} 4096000\n"));
    EXPECT_NE(std::string::npos,
              metrics.find("\nsmartctl_device_capacity_blocks{device=\"d0\"} 1000\n"));
    EXPECT_NE(std::string::npos, metrics.find("\nsmartctl_device_temperature{device=\"d0\","
                                              "temperature_type=\"current\"} 33\n"));
}

}  // namespace
