// An NVMe drive's report: the block of its controller and drive values, and
// its health log as rows of one table, id, description, raw text, verdict,
// value, worst and threshold, as the attribute table shows an ATA drive.
// vantrel-report writes them, and the window shows the same: fixed-size
// texts, as the window's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "inventory/nvme_data.h"
#include "inventory/nvme_log_rows.h"
#include "report/attribute_format.h"

enum { kNvmeRowCount = kNvmeLogRowCount, kNvmeCellSize = NvmeCounter::kDecimalSize };

struct NvmeRow {
    uint8_t id;
    const char* description;
    char raw[kNvmeCellSize];
    bool hasVerdict;  // the rows that only count have none
    AttributeVerdict verdict;
    char value[4];      // "-" where the row has none
    char threshold[4];  // the worst is "-" in every row
};

// Ids 1 to 11h, in this order.
struct NvmeRows {
    NvmeRow rows[kNvmeRowCount];
};
void NvmeHealthRows(const NvmeController& controller, const NvmeHealthLog& log, NvmeRows* rows);

enum { kNvmeReportTextSize = 1024, kNvmeLineSize = 160 };

// The block, as the Drive Information box shows it (CR LF line ends).
void NvmeReportText(int position, const NvmeDrive& drive, char (&text)[kNvmeReportTextSize]);

// What the results file has between the block and the rows: an empty line,
// the health log's heading, the column heading and the dashed line.
extern const char kNvmeExportHeading[];

// One row as a line of the results file.
void NvmeExportLine(const NvmeRow& row, char (&line)[kNvmeLineSize]);

// A row's cells as the window's list shows them: id, the description padded
// to 36 characters, raw value, status, value, worst, threshold.
struct NvmeRowCells {
    char cells[kAttributeColumns][kNvmeCellSize];
};
void NvmeWindowCells(const NvmeRow& row, NvmeRowCells* cells);

// The same cells TAB-separated, with a CR LF.
void NvmeWindowLine(const NvmeRow& row, char (&line)[kNvmeLineSize]);

// The results file of an NVMe drive: the block, the health log's headings,
// one line per row.
std::string NvmeExportText(int position, const NvmeDrive& drive);

// An NVMe drive as the window shows it after Get Info: the block, then the
// rows' cells.
std::string NvmeWindowText(int position, const NvmeDrive& drive);

// "OK", "WARNING", "FAIL", or "-" for a row without one.
const char* NvmeRowVerdictText(const NvmeRow& row, TextForm form);
