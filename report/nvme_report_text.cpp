#include "report/nvme_report_text.h"

#include <cstdio>

namespace {

enum { kDescriptionWidth = 36, kRawWidth = 4 };

const char kHealthHeading[] =
    "\r\nSMART / HEALTH INFORMATION:\r\n"
    "ID\tDescription                         Raw Value\tStatus\t Value\t Worst\tThreshold\r\n"
    "-----------------------------------------------------------------------------------------"
    "---\r\n";

std::string Percent(unsigned value) {
    return std::to_string(value) + "%";
}

std::string Padded(const std::string& text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

NvmeRow Row(uint8_t id, const char* description, const std::string& raw) {
    return NvmeRow{id, description, raw, false, AttributeVerdict::kOk, "-", "-", "-"};
}

NvmeRow Judged(uint8_t id, const char* description, const std::string& raw,
               AttributeVerdict verdict) {
    NvmeRow row = Row(id, description, raw);
    row.hasVerdict = true;
    row.verdict = verdict;
    return row;
}

AttributeVerdict WarningVerdict(uint8_t warning) {
    const uint8_t failures =
        kNvmeSpareLow | kNvmeDegraded | kNvmeReadOnly | kNvmeBackupFailed | kNvmePersistentMemory;
    if (warning & failures) {
        return AttributeVerdict::kFail;
    }
    return warning & kNvmeTemperature ? AttributeVerdict::kWarning : AttributeVerdict::kOk;
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

std::string CelsiusText(uint16_t kelvin) {
    return kelvin == 0 ? "NA" : std::to_string(Celsius(kelvin)) + " C";
}

}  // namespace

std::vector<NvmeRow> NvmeHealthRows(const NvmeController& controller, const NvmeHealthLog& log) {
    char warning[8];
    std::snprintf(warning, sizeof warning, "0x%X", log.criticalWarning);
    std::vector<NvmeRow> rows;
    rows.push_back(Judged(1, "Critical Warning", warning, WarningVerdict(log.criticalWarning)));
    rows.push_back(Judged(2, "Composite Temperature", CelsiusText(log.temperatureKelvin),
                          TemperatureVerdict(controller, log.temperatureKelvin)));
    NvmeRow spare = Judged(3, "Available Spare", Percent(log.availableSpare),
                           AttributeStatus(log.availableSpare, log.spareThreshold));
    spare.value = std::to_string(log.availableSpare);
    spare.threshold = std::to_string(log.spareThreshold);
    rows.push_back(spare);
    rows.push_back(Row(4, "Available Spare Threshold", Percent(log.spareThreshold)));
    rows.push_back(
        Judged(5, "Percentage Used", Percent(log.percentageUsed),
               log.percentageUsed >= 90 ? AttributeVerdict::kWarning : AttributeVerdict::kOk));
    const struct {
        const char* description;
        const NvmeCounter* counter;
    } counts[] = {
        {"Data Units Read", &log.dataUnitsRead}, {"Data Units Written", &log.dataUnitsWritten},
        {"Host Read Commands", &log.hostReads},  {"Host Write Commands", &log.hostWrites},
        {"Controller Busy Time", &log.busyTime}, {"Power Cycles", &log.powerCycles},
        {"Power On Hours", &log.powerOnHours},   {"Unsafe Shutdowns", &log.unsafeShutdowns},
    };
    uint8_t id = 6;
    for (const auto& count : counts) {
        rows.push_back(Row(id++, count.description, count.counter->Decimal()));
    }
    rows.push_back(
        Judged(0x0E, "Media and Data Integrity Errors", log.mediaErrors.Decimal(),
               log.mediaErrors.IsZero() ? AttributeVerdict::kOk : AttributeVerdict::kWarning));
    rows.push_back(Row(0x0F, "Error Information Log Entries", log.errorLogEntries.Decimal()));
    rows.push_back(
        Row(0x10, "Warning Composite Temp Time", std::to_string(log.warningTempMinutes)));
    rows.push_back(
        Row(0x11, "Critical Composite Temp Time", std::to_string(log.criticalTempMinutes)));
    return rows;
}

std::string NvmeReportText(const NvmeReportValues& values) {
    const NvmeController& c = *values.controller;
    const bool total = !c.totalCapacity.IsZero();
    const std::string na = "NA";
    char head[160];
    std::snprintf(head, sizeof head,
                  "Drive %d  NVMe\r\n\r\n"
                  "NVMe CONTROLLER:\r\n"
                  "PCI Vendor: 0x%X \tSubsystem Vendor: 0x%X \tController ID: %u\r\n",
                  values.position, c.pciVendor, c.pciSubsystemVendor, c.controllerId);
    std::string text = head;
    text += "NVMe Version: " + NvmeVersionText(c.version) +
            " \tNamespaces: " + std::to_string(c.namespaces) + "\r\n\r\n";
    text += "DRIVE INFORMATION:\r\nSerial Number: " + c.serial + "\r\nFirmWare Rev: " + c.firmware +
            "\r\nModel Number: " + c.model + "\r\n";
    text += "Total NVM Capacity: " + (total ? c.totalCapacity.Decimal() : na) +
            " \tUnallocated: " + (total ? c.unallocatedCapacity.Decimal() : na) + "\r\n";
    if (values.hasNamespace) {
        const NvmeNamespace& space = *values.space;
        text += "Namespace 1: " + NvmeCounter::Product(space.blocks, space.blockSize).Decimal() +
                " \tBlock Size: " + std::to_string(space.blockSize) + "\r\n";
    } else {
        text += "Namespace 1: NA \tBlock Size: NA\r\n";
    }
    text += "Warning Temp: " + CelsiusText(c.warningTempKelvin) +
            " \tCritical Temp: " + CelsiusText(c.criticalTempKelvin) + "\r\n";
    return text;
}

const char* NvmeRowVerdictText(const NvmeRow& row, TextForm form) {
    if (!row.hasVerdict) {
        return form == TextForm::kExport ? "-      " : "-";
    }
    return VerdictText(row.verdict, form);
}

std::string NvmeExportText(const NvmeReportValues& values, const std::vector<NvmeRow>& rows) {
    std::string text = NvmeReportText(values) + kHealthHeading;
    for (const NvmeRow& row : rows) {
        char id[4];
        std::snprintf(id, sizeof id, "%X", row.id);
        text += std::string(id) + "\t" + Padded(row.description, kDescriptionWidth) + "  " +
                Padded(row.raw, kRawWidth) + "\t" + NvmeRowVerdictText(row, TextForm::kExport) +
                "  " + row.value + "\t  " + row.worst + "\t  " + row.threshold + "\r\n";
    }
    return text;
}

std::string NvmeWindowRow(const NvmeRow& row) {
    char id[4];
    std::snprintf(id, sizeof id, "%X", row.id);
    return std::string(id) + "\t" + Padded(row.description, kDescriptionWidth) + "\t" + row.raw +
           "\t" + NvmeRowVerdictText(row, TextForm::kList) + "\t" + row.value + "\t" + row.worst +
           "\t" + row.threshold + "\r\n";
}
