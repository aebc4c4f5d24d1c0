#include "report/nvme_report_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const NvmeRow& RowById(const NvmeRows& rows, uint8_t id) {
    for (const NvmeRow& row : rows.rows) {
        if (row.id == id) {
            return row;
        }
    }
    static const NvmeRow none{};
    ADD_FAILURE() << "no row " << int(id);
    return none;
}

// Each case: the log and thresholds, a row, and its raw text and verdict
// ("-" for none) in the list form.
TEST(NvmeRowsTest, EachRowsVerdictFollowsItsRule) {
    const struct Case {
        const char* what;
        uint8_t warning, spare, spareThreshold, used;
        uint16_t kelvin, warnKelvin, critKelvin;
        uint64_t mediaErrors;
        uint8_t id;
        const char* raw;
        const char* verdict;
    } cases[] = {
        {"no warning", 0, 100, 10, 0, 300, 0, 0, 0, 1, "0x0", "OK"},
        {"temperature bit alone", 0x02, 100, 10, 0, 300, 0, 0, 0, 1, "0x2", "WARNING"},
        {"temperature and spare bits", 0x03, 100, 10, 0, 300, 0, 0, 0, 1, "0x3", "FAIL"},
        {"persistent memory bit", 0x20, 100, 10, 0, 300, 0, 0, 0, 1, "0x20", "FAIL"},
        {"below the warning threshold", 0, 100, 10, 0, 349, 350, 360, 0, 2, "76 C", "OK"},
        {"at the warning threshold", 0, 100, 10, 0, 350, 350, 360, 0, 2, "77 C", "WARNING"},
        {"at the critical threshold", 0, 100, 10, 0, 360, 350, 360, 0, 2, "87 C", "FAIL"},
        {"no thresholds reported", 0, 100, 10, 0, 400, 0, 0, 0, 2, "127 C", "OK"},
        {"no temperature", 0, 100, 10, 0, 0, 350, 360, 0, 2, "NA", "OK"},
        {"spare well above", 0, 21, 10, 0, 300, 0, 0, 0, 3, "21%", "OK"},
        {"spare near", 0, 20, 10, 0, 300, 0, 0, 0, 3, "20%", "WARNING"},
        {"spare at", 0, 10, 10, 0, 300, 0, 0, 0, 3, "10%", "WARNING"},
        {"spare below", 0, 9, 10, 0, 300, 0, 0, 0, 3, "9%", "FAIL"},
        {"threshold row has none", 0, 9, 10, 0, 300, 0, 0, 0, 4, "10%", "-"},
        {"used 89", 0, 100, 10, 89, 300, 0, 0, 0, 5, "89%", "OK"},
        {"used 90", 0, 100, 10, 90, 300, 0, 0, 0, 5, "90%", "WARNING"},
        {"no media errors", 0, 100, 10, 0, 300, 0, 0, 0, 0x0E, "0", "OK"},
        {"a media error", 0, 100, 10, 0, 300, 0, 0, 1, 0x0E, "1", "WARNING"},
    };
    for (const Case& c : cases) {
        NvmeController controller;
        controller.warningTempKelvin = c.warnKelvin;
        controller.criticalTempKelvin = c.critKelvin;
        NvmeHealthLog log;
        log.criticalWarning = c.warning;
        log.availableSpare = c.spare;
        log.spareThreshold = c.spareThreshold;
        log.percentageUsed = c.used;
        log.temperatureKelvin = c.kelvin;
        log.mediaErrors.low = c.mediaErrors;
        NvmeRows rows;
        NvmeHealthRows(controller, log, &rows);
        const NvmeRow& row = RowById(rows, c.id);
        EXPECT_STREQ(c.raw, row.raw) << c.what;
        EXPECT_STREQ(c.verdict, NvmeRowVerdictText(row, TextForm::kList)) << c.what;
    }
}

// The export line pads the description to 36 and the raw text to at least
// four characters, and writes the seven-character verdict word.
TEST(NvmeRowsTest, ExportAndWindowFormsOfOneRow) {
    NvmeController controller;
    NvmeHealthLog log;
    log.availableSpare = 7;
    log.spareThreshold = 10;
    NvmeRows rows;
    NvmeHealthRows(controller, log, &rows);
    char line[kNvmeLineSize];
    NvmeExportLine(RowById(rows, 3), line);
    EXPECT_STREQ("3\tAvailable Spare                       7%  \tFAIL     7\t  -\t  10\r\n", line);
    NvmeExportLine(RowById(rows, 0x0D), line);
    EXPECT_STREQ("D\tUnsafe Shutdowns                      0   \t-        -\t  -\t  -\r\n", line);
    NvmeWindowLine(RowById(rows, 3), line);
    EXPECT_STREQ("3\tAvailable Spare                     \t7%\tFAIL\t7\t-\t10\r\n", line);
    char block[kNvmeReportTextSize];
    NvmeDrive drive;
    drive.controller = controller;
    NvmeReportText(2, drive, block);
    const std::string text = block;
    EXPECT_EQ(0u, text.find("Drive 2  NVMe\r\n"));
    EXPECT_NE(std::string::npos, text.find("Total NVM Capacity: NA \tUnallocated: NA\r\n"));
    EXPECT_NE(std::string::npos, text.find("Namespace 1: NA \tBlock Size: NA\r\n"));
}

}  // namespace
