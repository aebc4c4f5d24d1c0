#include "report/nvme_report_text.h"

#include <cstdio>
#include <cstring>

#include "health/nvme_health.h"

namespace {

void Row(NvmeRows* rows, int index, const char* description) {
    NvmeRow& row = rows->rows[index];
    row.id = static_cast<uint8_t>(index + 1);
    row.description = description;
    row.hasVerdict = false;
    row.verdict = AttributeVerdict::kOk;
    std::strcpy(row.value, "-");
    std::strcpy(row.threshold, "-");
}

void Judge(NvmeRow* row, AttributeVerdict verdict) {
    row->hasVerdict = true;
    row->verdict = verdict;
}

void CelsiusText(char* text, size_t size, uint16_t kelvin) {
    if (kelvin == 0) {
        std::snprintf(text, size, "NA");
    } else {
        std::snprintf(text, size, "%d C", Celsius(kelvin));
    }
}

AttributeVerdict TemperatureVerdict(const NvmeController& controller, uint16_t kelvin) {
    if (controller.criticalTempKelvin != 0 && kelvin >= controller.criticalTempKelvin) {
        return AttributeVerdict::kFail;
    }
    if (controller.warningTempKelvin != 0 && kelvin >= controller.warningTempKelvin) {
        return AttributeVerdict::kWarning;
    }
    return AttributeVerdict::kOk;
}

// A row's raw cell, by what its value is.
void RawCell(NvmeLogRow row, const NvmeHealthLog& log, char (&raw)[kNvmeCellSize]) {
    const NvmeCounter value = NvmeLogRowValue(log, row);
    const unsigned long low = static_cast<unsigned long>(value.low);
    switch (NvmeLogRowOf(row).kind) {
        case NvmeRowKind::kBits:
            std::snprintf(raw, kNvmeCellSize, "0x%lX", low);
            return;
        case NvmeRowKind::kKelvin:
            CelsiusText(raw, kNvmeCellSize, static_cast<uint16_t>(value.low));
            return;
        case NvmeRowKind::kPercent:
            std::snprintf(raw, kNvmeCellSize, "%lu%%", low);
            return;
        case NvmeRowKind::kCounter:
            value.Decimal(raw);
            return;
        case NvmeRowKind::kMinutes:
            std::snprintf(raw, kNvmeCellSize, "%lu", low);
            return;
    }
}

}  // namespace

void NvmeHealthRows(const NvmeController& controller, const NvmeHealthLog& log, NvmeRows* rows) {
    for (int index = 0; index < kNvmeRowCount; ++index) {
        Row(rows, index, kNvmeLogRows[index].description);
        RawCell(kNvmeLogRows[index].row, log, rows->rows[index].raw);
    }
    const auto row = [rows](NvmeLogRow which) { return &rows->rows[NvmeLogRowIndex(which)]; };
    NvmeRow* warning = row(NvmeLogRow::kCriticalWarning);
    Judge(warning, log.criticalWarning & kNvmeFailureBits   ? AttributeVerdict::kFail
                   : log.criticalWarning & kNvmeTemperature ? AttributeVerdict::kWarning
                                                            : AttributeVerdict::kOk);
    NvmeRow* temperature = row(NvmeLogRow::kTemperature);
    Judge(temperature, TemperatureVerdict(controller, log.temperatureKelvin));
    NvmeRow* spare = row(NvmeLogRow::kAvailableSpare);
    std::snprintf(spare->value, sizeof spare->value, "%u", log.availableSpare);
    std::snprintf(spare->threshold, sizeof spare->threshold, "%u", log.spareThreshold);
    Judge(spare, AttributeStatus(log.availableSpare, log.spareThreshold));
    NvmeRow* used = row(NvmeLogRow::kPercentageUsed);
    Judge(used, log.percentageUsed >= 90 ? AttributeVerdict::kWarning : AttributeVerdict::kOk);
    Judge(row(NvmeLogRow::kMediaErrors),
          log.mediaErrors.IsZero() ? AttributeVerdict::kOk : AttributeVerdict::kWarning);
}

void NvmeReportText(int position, const NvmeDrive& drive, char (&text)[kNvmeReportTextSize]) {
    const NvmeController& c = drive.controller;
    char version[24];
    NvmeVersionText(c.version, version);
    char total[NvmeCounter::kDecimalSize] = "NA";
    char unallocated[NvmeCounter::kDecimalSize] = "NA";
    if (!c.totalCapacity.IsZero()) {
        c.totalCapacity.Decimal(total);
        c.unallocatedCapacity.Decimal(unallocated);
    }
    char bytes[NvmeCounter::kDecimalSize] = "NA";
    char blockSize[12] = "NA";
    if (drive.hasNamespace) {
        NvmeCounter::Product(drive.space.blocks, drive.space.blockSize).Decimal(bytes);
        std::snprintf(blockSize, sizeof blockSize, "%lu",
                      static_cast<unsigned long>(drive.space.blockSize));
    }
    char warning[12];
    char critical[12];
    CelsiusText(warning, sizeof warning, c.warningTempKelvin);
    CelsiusText(critical, sizeof critical, c.criticalTempKelvin);
    std::snprintf(text, sizeof text,
                  "Drive %d  NVMe\r\n\r\n"
                  "NVMe CONTROLLER:\r\n"
                  "PCI Vendor: 0x%X \tSubsystem Vendor: 0x%X \tController ID: %u\r\n"
                  "NVMe Version: %s \tNamespaces: %lu\r\n\r\n"
                  "DRIVE INFORMATION:\r\n"
                  "Serial Number: %s\r\nFirmWare Rev: %s\r\nModel Number: %s\r\n"
                  "Total NVM Capacity: %s \tUnallocated: %s\r\n"
                  "Namespace 1: %s \tBlock Size: %s\r\n"
                  "Warning Temp: %s \tCritical Temp: %s\r\n",
                  position, c.pciVendor, c.pciSubsystemVendor, c.controllerId, version,
                  static_cast<unsigned long>(c.namespaces), c.serial, c.firmware, c.model, total,
                  unallocated, bytes, blockSize, warning, critical);
}

const char kNvmeExportHeading[] =
    "\r\nSMART / HEALTH INFORMATION:\r\n"
    "ID\tDescription                         Raw Value\tStatus\t Value\t Worst\tThreshold\r\n"
    "-----------------------------------------------------------------------------------------"
    "---\r\n";

const char* NvmeRowVerdictText(const NvmeRow& row, TextForm form) {
    if (!row.hasVerdict) {
        return form == TextForm::kExport ? "-      " : "-";
    }
    return VerdictText(row.verdict, form);
}

void NvmeExportLine(const NvmeRow& row, char (&line)[kNvmeLineSize]) {
    std::snprintf(line, sizeof line, "%X\t%-36s  %-4s\t%s  %s\t  -\t  %s\r\n", row.id,
                  row.description, row.raw, NvmeRowVerdictText(row, TextForm::kExport), row.value,
                  row.threshold);
}

void NvmeWindowCells(const NvmeRow& row, NvmeRowCells* cells) {
    const char* const texts[kAttributeColumns] = {
        nullptr, row.description, row.raw, NvmeRowVerdictText(row, TextForm::kList), row.value,
        "-",     row.threshold};
    std::snprintf(cells->cells[0], kNvmeCellSize, "%X", row.id);
    std::snprintf(cells->cells[1], kNvmeCellSize, "%-36s", row.description);
    for (int column = 2; column < kAttributeColumns; ++column) {
        std::snprintf(cells->cells[column], kNvmeCellSize, "%s", texts[column]);
    }
}

void NvmeWindowLine(const NvmeRow& row, char (&line)[kNvmeLineSize]) {
    NvmeRowCells cells;
    NvmeWindowCells(row, &cells);
    size_t used = 0;
    for (int column = 0; column < kAttributeColumns; ++column) {
        used += std::snprintf(line + used, sizeof line - used, column ? "\t%s" : "%s",
                              cells.cells[column]);
    }
    std::snprintf(line + used, sizeof line - used, "\r\n");
}

std::string NvmeExportText(int position, const NvmeDrive& drive) {
    char block[kNvmeReportTextSize];
    NvmeReportText(position, drive, block);
    std::string text = block;
    text += kNvmeExportHeading;
    NvmeRows rows;
    NvmeHealthRows(drive.controller, drive.log, &rows);
    for (const NvmeRow& row : rows.rows) {
        char line[kNvmeLineSize];
        NvmeExportLine(row, line);
        text += line;
    }
    return text;
}

std::string NvmeWindowText(int position, const NvmeDrive& drive) {
    char block[kNvmeReportTextSize];
    NvmeReportText(position, drive, block);
    std::string text = block;
    NvmeRows rows;
    NvmeHealthRows(drive.controller, drive.log, &rows);
    for (const NvmeRow& row : rows.rows) {
        char line[kNvmeLineSize];
        NvmeWindowLine(row, line);
        text += line;
    }
    return text;
}
