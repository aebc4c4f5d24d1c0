// The health log as rows, ids 1 to 11h in the page's order: one table that
// the window's rows, the report, the JSON keys, the verdicts and the
// comparison all read, each row named by its id.
#pragma once

#include <cstdint>

#include "inventory/nvme_data.h"

enum class NvmeLogRow {
    kCriticalWarning,
    kTemperature,
    kAvailableSpare,
    kSpareThreshold,
    kPercentageUsed,
    kDataUnitsRead,
    kDataUnitsWritten,
    kHostReads,
    kHostWrites,
    kBusyTime,
    kPowerCycles,
    kPowerOnHours,
    kUnsafeShutdowns,
    kMediaErrors,
    kErrorLogEntries,
    kWarningTempTime,
    kCriticalTempTime,
};
enum { kNvmeLogRowCount = 17 };

// What a row's value is: the critical warning's bits, a temperature in
// kelvin (0 where the drive does not report it), a per cent, a 16-byte
// counter, or minutes.
enum class NvmeRowKind : uint8_t { kBits, kKelvin, kPercent, kCounter, kMinutes };

struct NvmeLogRowInfo {
    NvmeLogRow row;
    const char* description;  // as the window's list and the report show it
    const char* jsonKey;      // in nvme_smart_health_information_log
    uint16_t offset;          // its first byte in the page
    NvmeRowKind kind;
    // The 16-byte counters' field in the decoded log; null for the others.
    NvmeCounter NvmeHealthLog::*counter;
};
extern const NvmeLogRowInfo kNvmeLogRows[kNvmeLogRowCount];

inline int NvmeLogRowIndex(NvmeLogRow row) {
    return static_cast<int>(row);
}
inline const NvmeLogRowInfo& NvmeLogRowOf(NvmeLogRow row) {
    return kNvmeLogRows[NvmeLogRowIndex(row)];
}

// The row's value as the decoded log holds it, widened to a counter: what
// the text, the JSON, the metrics and the comparison all read.
NvmeCounter NvmeLogRowValue(const NvmeHealthLog& log, NvmeLogRow row);
