#include "inventory/nvme_log_rows.h"

const NvmeLogRowInfo kNvmeLogRows[kNvmeLogRowCount] = {
    {NvmeLogRow::kCriticalWarning, "Critical Warning", "critical_warning", 0, NvmeRowKind::kBits,
     nullptr},
    {NvmeLogRow::kTemperature, "Composite Temperature", "temperature", 1, NvmeRowKind::kKelvin,
     nullptr},
    {NvmeLogRow::kAvailableSpare, "Available Spare", "available_spare", 3, NvmeRowKind::kPercent,
     nullptr},
    {NvmeLogRow::kSpareThreshold, "Available Spare Threshold", "available_spare_threshold", 4,
     NvmeRowKind::kPercent, nullptr},
    {NvmeLogRow::kPercentageUsed, "Percentage Used", "percentage_used", 5, NvmeRowKind::kPercent,
     nullptr},
    {NvmeLogRow::kDataUnitsRead, "Data Units Read", "data_units_read", 32, NvmeRowKind::kCounter,
     &NvmeHealthLog::dataUnitsRead},
    {NvmeLogRow::kDataUnitsWritten, "Data Units Written", "data_units_written", 48,
     NvmeRowKind::kCounter, &NvmeHealthLog::dataUnitsWritten},
    {NvmeLogRow::kHostReads, "Host Read Commands", "host_reads", 64, NvmeRowKind::kCounter,
     &NvmeHealthLog::hostReads},
    {NvmeLogRow::kHostWrites, "Host Write Commands", "host_writes", 80, NvmeRowKind::kCounter,
     &NvmeHealthLog::hostWrites},
    {NvmeLogRow::kBusyTime, "Controller Busy Time", "controller_busy_time", 96,
     NvmeRowKind::kCounter, &NvmeHealthLog::busyTime},
    {NvmeLogRow::kPowerCycles, "Power Cycles", "power_cycles", 112, NvmeRowKind::kCounter,
     &NvmeHealthLog::powerCycles},
    {NvmeLogRow::kPowerOnHours, "Power On Hours", "power_on_hours", 128, NvmeRowKind::kCounter,
     &NvmeHealthLog::powerOnHours},
    {NvmeLogRow::kUnsafeShutdowns, "Unsafe Shutdowns", "unsafe_shutdowns", 144,
     NvmeRowKind::kCounter, &NvmeHealthLog::unsafeShutdowns},
    {NvmeLogRow::kMediaErrors, "Media and Data Integrity Errors", "media_errors", 160,
     NvmeRowKind::kCounter, &NvmeHealthLog::mediaErrors},
    {NvmeLogRow::kErrorLogEntries, "Error Information Log Entries", "num_err_log_entries", 176,
     NvmeRowKind::kCounter, &NvmeHealthLog::errorLogEntries},
    {NvmeLogRow::kWarningTempTime, "Warning Composite Temp Time", "warning_temp_time", 192,
     NvmeRowKind::kMinutes, nullptr},
    {NvmeLogRow::kCriticalTempTime, "Critical Composite Temp Time", "critical_comp_time", 196,
     NvmeRowKind::kMinutes, nullptr},
};

NvmeCounter NvmeLogRowValue(const NvmeHealthLog& log, NvmeLogRow row) {
    const NvmeLogRowInfo& info = NvmeLogRowOf(row);
    if (info.counter) {
        return log.*info.counter;
    }
    NvmeCounter value;
    switch (row) {
        case NvmeLogRow::kCriticalWarning:
            value.low = log.criticalWarning;
            break;
        case NvmeLogRow::kTemperature:
            value.low = log.temperatureKelvin;
            break;
        case NvmeLogRow::kAvailableSpare:
            value.low = log.availableSpare;
            break;
        case NvmeLogRow::kSpareThreshold:
            value.low = log.spareThreshold;
            break;
        case NvmeLogRow::kPercentageUsed:
            value.low = log.percentageUsed;
            break;
        case NvmeLogRow::kWarningTempTime:
            value.low = log.warningTempMinutes;
            break;
        case NvmeLogRow::kCriticalTempTime:
            value.low = log.criticalTempMinutes;
            break;
        default:
            break;
    }
    return value;
}
