#include "report/export_writer.h"

#include <cstring>

#include "report/attribute_format.h"
#include "report/nvme_report_text.h"
#include "report/report_text.h"

namespace {

const char kAttributeHeading[] =
    "SMART ATTRIBUTES:\r\n"
    "ID\tDescription                         Raw Value\tStatus\t Value\t Worst\tThreshold\r\n"
    "-----------------------------------------------------------------------------------------"
    "---\r\n";

// Hands each piece of the file to put, which returns false when it failed.
template <typename Put>
bool EmitDriveExport(const DriveInventory& inventory, int position, Put put) {
    DriveReportText report;
    BuildDriveReportText(inventory, position, ReportVariant::kExport, &report);
    const size_t used = std::strlen(report.text);
    std::snprintf(report.text + used, sizeof report.text - used, "%s", kAttributeHeading);
    bool ok = put(report.text);

    const int count = inventory.GetAttributeCount(position);
    const bool thresholdsKnown = inventory.ThresholdsKnown(position);
    for (int index = 0; index < count; ++index) {
        AttributeRecord record;
        if (!inventory.GetAttribute(position, index, &record)) {
            continue;
        }
        const AttributeVerdict verdict = RecordVerdict(record, thresholdsKnown);
        char line[kReportLineSize];
        std::snprintf(line, sizeof line, "%X\t%.127s  %s\t%s  %d\t  %d\t  %s\r\n",
                      AttributeId(record), record.Description,
                      FormatRawValue(record, TextForm::kExport).text,
                      VerdictText(verdict, TextForm::kExport), AttributeCurrent(record),
                      AttributeWorst(record), FormatThreshold(record, thresholdsKnown).text);
        ok = put(line) && ok;
    }
    return ok;
}

}  // namespace

std::string DriveExportText(const DriveInventory& inventory, int position) {
    if (const NvmeReplies* replies = inventory.nvme[position]) {
        NvmeDrive drive;
        DecodeNvmeDrive(*replies, &drive);
        return NvmeExportText(position, drive);
    }
    std::string text;
    EmitDriveExport(inventory, position, [&text](const char* piece) {
        text += piece;
        return true;
    });
    return text;
}

bool WriteDriveExport(const DriveInventory& inventory, int position, FILE* stream) {
    const std::string text = DriveExportText(inventory, position);
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}
