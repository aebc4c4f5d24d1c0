#include "health/attribute_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "health/endurance.h"
#include "inventory/attribute_fields.h"

namespace {

AttributeRecord Record(uint8_t id, uint8_t current, uint64_t raw) {
    AttributeRecord record;
    std::memset(&record, 0, sizeof record);
    record.Attribute[0] = id;
    record.Attribute[3] = current;
    record.Attribute[4] = current;
    for (int i = 0; i < 6; ++i) {
        record.Attribute[5 + i] = static_cast<uint8_t>(raw >> (8 * i));
    }
    NameAttribute(&record);
    return record;
}

// The metrics' attribute_name: the name public queries select where the
// drive's row has that meaning, never one for an id no document names for
// the drive, and the documented name otherwise; JSON's key stays that name.
TEST(AttributeTableTest, MetricNameWherePublicQueriesSelectIt) {
    const struct {
        const char* model;
        uint8_t id;
        const char* label;
        const char* key;
    } cases[] = {
        {"WDC WD2500JS-75NCB3", 5, "Reallocated_Sector_Ct", "Reallocated_Sector_Count"},
        {"WDC WD2500JS-75NCB3", 199, "UDMA_CRC_Error_Count", "Ultra_ATA_CRC_Error_Count"},
        {"WDC WD2500JS-75NCB3", 194, "Temperature", "Temperature"},
        {"WDC WD2500JS-75NCB3", 189, "Unknown_Attribute", "Unknown_Attribute"},
        {"SAMSUNG HD501LJ", 231, "Unknown_Attribute", "Unknown_Attribute"},
        {"INTEL SSDSA2CW120G3", 241, "Host_Writes_32MiB", "Total_LBAs_Written"},
        {"INTEL SSDSA2CW120G3", 225, "Host_Writes", "Host_Writes"},
        {"intel ssdsc2bb240g4", 233, "Media_Wearout_Indicator", "Media_Wearout_Indicator"},
        {"Samsung SSD 850 EVO 500GB", 241, "Total_LBAs_Written", "Total_LBA_Written"},
        {"Samsung SSD 850 EVO 500GB", 177, "Wear_Leveling_Count", "Wear_Leveling_Count"},
        {"Samsung SSD 850 EVO 500GB", 187, "Reported_Uncorrect", "Uncorrectable_Error_Count"},
        {"Micron_5300_MTFDDAK960TDS", 202, "Percent_Lifetime_Remain", "Percent_Lifetime_Remaining"},
        {"Crucial_CT256MX100SSD1", 246, "Total_LBAs_Written", "Cumulative_Host_Sectors_Written"},
        {"CT1000MX500SSD1", 202, "Unknown_Attribute", "Unknown_Attribute"},
    };
    for (const auto& c : cases) {
        const ModelFamily family = FamilyOfModel(c.model);
        EXPECT_EQ(c.label, AttributeMetricName(c.id, family)) << c.model << " " << int{c.id};
        EXPECT_EQ(c.key, AttributeKey(c.id, family)) << c.model << " " << int{c.id};
    }
}

// A maker's row wins over the generic one; a model no pattern names reads
// the generic rows, and an id its maker names nowhere stays unknown.
TEST(AttributeTableTest, MakerRowOrGenericRow) {
    const struct {
        const char* model;
        uint8_t id;
        const char* title;
        AttributeRole role;
    } cases[] = {
        {"SAMSUNG MZ7WD240HAFV-00003", 177, "Wear Leveling Count", AttributeRole::kEnduranceLeft},
        {"Samsung SSD 850 EVO 500GB", 241, "Total LBA Written", AttributeRole::kNone},
        {"SAMSUNG HD501LJ", 177, "Unknown Attribute", AttributeRole::kNone},
        {"SAMSUNG HD501LJ", 201, "Soft Error Rate", AttributeRole::kNone},
        {"intel ssdsc2bb240g4", 233, "Media Wearout Indicator", AttributeRole::kEnduranceLeft},
        {"INTEL SSDSA2CW120G3", 192, "Unsafe Shutdown Count", AttributeRole::kNone},
        {"HGST HUS724020ALE640", 192, "Power-Off Retract Count", AttributeRole::kNone},
        {"Hitachi HTS725050A9A364", 193, "Load/Unload Cycle Count", AttributeRole::kNone},
        {"Micron_5300_MTFDDAK960TDS", 202, "Percent Lifetime Remaining",
         AttributeRole::kEnduranceLeft},
        {"Crucial_CT256MX100SSD1", 202, "Percent Lifetime Remaining",
         AttributeRole::kEnduranceLeft},
        {"ST9100821AS", 187, "Reported Uncorrectable Errors",
         AttributeRole::kReportedUncorrectable},
        {"ST9100821AS", 189, "Unknown Attribute", AttributeRole::kNone},
        {"Micron_5300_MTFDDAK960TDS", 184, "Error Correction Count", AttributeRole::kNone},
        {"SAMSUNG MZ7WD480HAGM-00003", 184, "Unknown Attribute", AttributeRole::kNone},
        {"SAMSUNG HM160HI", 225, "Unknown Attribute", AttributeRole::kNone},
        {"Micron_5300_MTFDDAK480TDS", 195, "Unknown Attribute", AttributeRole::kNone},
        // Models a maker's pattern must not take, or must.
        {"CT500BX500SSD1", 202, "Unknown Attribute", AttributeRole::kNone},
        {"CT240BX100SSD1", 202, "Unknown Attribute", AttributeRole::kNone},
        {"CT1000MX500SSD1", 202, "Unknown Attribute", AttributeRole::kNone},
        {"SAMSUNG MMCRE28G5MXP-0VB", 201, "Unknown Attribute", AttributeRole::kNone},
        {"HGST HUS722T2TALA604", 192, "Emergency Retract Cycles", AttributeRole::kNone},
        {"HGST HUS722T2TALA604", 194, "HDA Temperature", AttributeRole::kTemperature},
        {"SSDSCKJB240G7R", 233, "Media Wearout Indicator", AttributeRole::kEnduranceLeft},
        {"MTFDDAK480TDS", 202, "Percent Lifetime Remaining", AttributeRole::kEnduranceLeft},
        {"INTEL SSDSA2CW120G3", 225, "Host Writes", AttributeRole::kNone},
        {"SAMSUNG HD501LJ", 13, "Unknown Attribute", AttributeRole::kNone},
        {"Micron_5300_MTFDDAK960TDS", 5, "Reallocated Sector Count",
         AttributeRole::kReallocatedSectors},
        {"WDC WD2500JS-75NCB3", 190, "Airflow Temperature", AttributeRole::kTemperatureSecond},
        {"INTEL SSDSA2CW120G3", 190, "Case Temperature", AttributeRole::kTemperatureSecond},
        {"WDC WD2500JS-75NCB3", 202, "Unknown Attribute", AttributeRole::kNone},
        {"FUJITSU MHY2120BH", 240, "Transfer Error Rate", AttributeRole::kNone},
        {"FUJITSU MHY2120BH", 191, "Unknown Attribute", AttributeRole::kNone},
        {"FUJITSU MHY2120BH", 192, "Emergency Retract Cycle Count", AttributeRole::kNone},
        {"", 9, "Power On Hours Count", AttributeRole::kPowerOnHours},
    };
    for (const auto& c : cases) {
        const ModelFamily family = FamilyOfModel(c.model);
        EXPECT_EQ(c.title, AttributeTitle(c.id, family)) << c.model << " " << int{c.id};
        EXPECT_EQ(c.role, RoleOf(c.id, family)) << c.model << " " << int{c.id};
    }
    EXPECT_EQ("Unknown_Attribute", AttributeKey(255, ModelFamily::kIntelSsd));
    EXPECT_EQ("Timed_Workload_Host_Reads_Percentage", AttributeKey(227, ModelFamily::kIntelSsd));
}

// The ids the window's table names keep its names in the generic rows.
TEST(AttributeTableTest, GenericRowsKeepTheWindowsNames) {
    int named = 0;
    for (int id = 1; id < 256; ++id) {
        const AttributeRecord record = Record(static_cast<uint8_t>(id), 100, 0);
        std::string window(record.Description, strnlen(record.Description, 40));
        window.erase(window.find_last_not_of(' ') + 1);
        if (window != "(Unknown attribute)") {
            ++named;
            EXPECT_EQ(window, AttributeTitle(static_cast<uint8_t>(id), ModelFamily::kGeneric));
        }
    }
    EXPECT_EQ(18, named);
}

// Every name of every family fits the outputs: printable ASCII, at most 36
// characters, and no '_' (the JSON and metrics form turns blanks into it).
TEST(AttributeTableTest, NamesFitTheOutputs) {
    for (int family = 0; family < kModelFamilyCount; ++family) {
        for (int id = 0; id < 256; ++id) {
            const std::string title =
                AttributeTitle(static_cast<uint8_t>(id), static_cast<ModelFamily>(family));
            EXPECT_LE(title.size(), 36u) << title;
            for (const char c : title) {
                EXPECT_TRUE(c >= ' ' && c <= '~' && c != '_') << title;
            }
        }
    }
}

TEST(AttributeTableTest, RawTexts) {
    const struct {
        const char* model;
        uint8_t id;
        uint64_t raw;
        const char* text;
    } cases[] = {
        // All 48 bits, where the window shows the low 32.
        {"SAMSUNG MZ7WD240HAFV-00003", 241, 216456537880ull, "216456537880"},
        {"ST9100821AS", 9, 0x70b300001119ull, "123914101461273"},
        // Lowest and highest in bytes 2 and 4 where the maker documents it.
        {"HGST HUS724020ALE640", 194, 0x29000d001aull, "176094511130"},
        {"Micron_5300_MTFDDAK960TDS", 194, 0x21000f0017ull, "23 (Min/Max 15/33)"},
        {"INTEL SSDSC2BB240G4", 190, 0x1c0e0010ull, "470679568"},
        // Intel's hours in bytes 0-3, milliseconds above them.
        {"INTEL SSDSC2BB240G4", 9, 0x2a3b000010f0ull, "4336"},
        // Byte 0 alone only where the bytes above are zero.
        {"HGST HUS724020ALE640", 194, 0x1a, "26"},
        {"INTEL SSDSC2BB240G4", 194, 25, "25"},
        {"ST9100821AS", 194, 0x1400000022ull, "85899345954"},
        // Milliseconds where the maker says so.
        {"SAMSUNG HD501LJ", 3, 7360, "7360 ms"},
        {"WDC WD2500JS-75NCB3", 3, 2925, "2925"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, AttributeRawText(Record(c.id, 100, c.raw), FamilyOfModel(c.model)))
            << c.model << " " << int{c.id};
    }
}

TEST(EnduranceTest, WearAttributeAndVerdict) {
    const struct {
        const char* model;
        std::vector<AttributeRecord> records;
        bool known;
        unsigned used;
        const char* verdict;
    } cases[] = {
        {"SAMSUNG MZ7WD240HAFV-00003",
         {Record(9, 83, 84619), Record(177, 91, 1661)},
         true,
         9,
         "GOOD"},
        {"INTEL SSDSC2BB240G4", {Record(233, 22, 0)}, true, 78, "GOOD"},
        {"INTEL SSDSC2BB240G4", {Record(233, 1, 0)}, true, 99, "GOOD"},
        {"Micron_5300_MTFDDAK960TDS", {Record(202, 0, 100)}, true, 100, "CAUTION"},
        // A normalized value above 100 is no negative wear.
        {"Micron_5300_MTFDDAK960TDS", {Record(202, 200, 0)}, true, 0, "GOOD"},
        // The id is wear only where its maker says so.
        {"SAMSUNG HD501LJ", {Record(177, 0, 0)}, false, 0, "GOOD"},
        {"HGST HUS724020ALE640", {Record(233, 0, 0)}, false, 0, "GOOD"},
    };
    const DeviceStatistics none;
    for (const auto& c : cases) {
        const Endurance endurance = AtaEndurance(c.records, FamilyOfModel(c.model), none, false);
        EXPECT_EQ(c.known, endurance.known) << c.model;
        EXPECT_EQ(c.used, endurance.percentUsed) << c.model;
        DriveHealth health;
        health.verdict = HealthVerdict::kGood;
        AddEnduranceSign(endurance, &health);
        EXPECT_STREQ(c.verdict, HealthVerdictName(health.verdict)) << c.model;
        if (health.verdict == HealthVerdict::kCaution) {
            EXPECT_EQ(std::vector<std::string>{"rated endurance used up (100%)"}, health.reasons);
        }
    }
}

// The Device Statistics log's indicator, where valid, is the standard's
// figure and wins over the maker's attribute; a spinning disk has none.
TEST(EnduranceTest, DeviceStatisticsFirst) {
    static const StatisticDefinition kUsed = {0x07, 0x08, 1, false,
                                              "Percentage Used Endurance Indicator"};
    const auto log = [](uint8_t flags, int64_t value) {
        DeviceStatistics statistics;
        statistics.check = BlockCheck::kOk;
        statistics.statisticCount = 1;
        statistics.statistics[0] = {&kUsed, flags, value};
        return statistics;
    };
    const uint8_t valid = kStatisticSupported | kStatisticValid;
    const std::vector<AttributeRecord> wear = {Record(177, 91, 1661)};  // 9 % by the attribute
    const struct {
        DeviceStatistics statistics;
        bool spinning;
        bool known;
        unsigned used;
    } cases[] = {
        {log(valid, 42), false, true, 42},
        {log(valid, 120), false, true, 120},             // past the rated endurance
        {log(kStatisticSupported, 42), false, true, 9},  // not valid: the attribute
        {log(valid, 42), true, false, 0},
    };
    for (const auto& c : cases) {
        const Endurance endurance = AtaEndurance(wear, FamilyOfModel("SAMSUNG MZ7WD240HAFV-00003"),
                                                 c.statistics, c.spinning);
        EXPECT_EQ(c.known, endurance.known) << c.statistics.statistics[0].value;
        EXPECT_EQ(c.used, endurance.percentUsed) << c.statistics.statistics[0].value;
    }
}

}  // namespace
