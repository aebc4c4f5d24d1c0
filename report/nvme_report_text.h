// An NVMe drive's report: the block of its controller and drive values, and
// its health log as rows of one table, id, description, raw text, verdict,
// value, worst and threshold, as the attribute table shows an ATA drive.
// vantrel-report writes them, and the window shows the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inventory/nvme_data.h"
#include "report/attribute_format.h"

struct NvmeRow {
    uint8_t id;
    const char* description;
    std::string raw;
    bool hasVerdict;  // the rows that only count have none
    AttributeVerdict verdict;
    std::string value;  // "-" where the row has none
    std::string worst;
    std::string threshold;
};

// Ids 1 to 11h, in this order.
std::vector<NvmeRow> NvmeHealthRows(const NvmeController& controller, const NvmeHealthLog& log);

struct NvmeReportValues {
    int position;
    const NvmeController* controller;
    bool hasNamespace;
    const NvmeNamespace* space;
};

// The block, as the Drive Information box shows it (CR LF line ends).
std::string NvmeReportText(const NvmeReportValues& values);

// The results file: the block, the health log heading and one line per row.
std::string NvmeExportText(const NvmeReportValues& values, const std::vector<NvmeRow>& rows);

// A row's cells as the window's list shows them, TAB-separated, the
// description padded to 36 characters, with a CR LF.
std::string NvmeWindowRow(const NvmeRow& row);

// "OK", "WARNING", "FAIL", or "-" for a row without one.
const char* NvmeRowVerdictText(const NvmeRow& row, TextForm form);
