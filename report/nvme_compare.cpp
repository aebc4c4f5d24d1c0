#include "report/nvme_compare.h"

#include <cstdio>

#include "health/nvme_health.h"
#include "report/compare_projection.h"
#include "report/nvme_report_text.h"
#include "report/text_append.h"

namespace {

// A row's value as a number, where it is one that fits: the counters up to
// 2^63, the rest as the log keeps them.
bool RowNumber(const NvmeHealthLog& log, NvmeLogRow row, long long* value) {
    const NvmeCounter number = NvmeLogRowValue(log, row);
    switch (NvmeLogRowOf(row).kind) {
        case NvmeRowKind::kBits:  // the warning's bits are no number
            return false;
        case NvmeRowKind::kKelvin:
            if (number.low == 0) {
                return false;
            }
            *value = Celsius(static_cast<uint16_t>(number.low));
            return true;
        default:
            if (number.high != 0 || number.low > 0x7FFFFFFFFFFFFFFFull) {
                return false;
            }
            *value = static_cast<long long>(number.low);
            return true;
    }
}

void Flag(NvmeLogRow row, const NvmeHealthLog& then, const NvmeHealthLog& now, std::string* line) {
    if (row == NvmeLogRow::kCriticalWarning) {
        const char* separator = "newly set: ";
        for (const NvmeWarningName& warning : kNvmeWarningNames) {
            if ((now.criticalWarning & warning.bit) && !(then.criticalWarning & warning.bit)) {
                *line += separator;
                *line += warning.name;
                separator = ", ";
            }
        }
    } else if (row == NvmeLogRow::kAvailableSpare && now.availableSpare < then.availableSpare) {
        *line += "spare falling";
    } else if (row == NvmeLogRow::kPercentageUsed && now.percentageUsed > then.percentageUsed) {
        *line += "percentage used rising";
    } else if (row == NvmeLogRow::kMediaErrors) {
        const NvmeCounter& a = then.mediaErrors;
        const NvmeCounter& b = now.mediaErrors;
        if (b.high > a.high || (b.high == a.high && b.low > a.low)) {
            *line += "new media errors";
        }
    }
}

// Where the percentage used (toward 100) and the spare (toward its
// threshold) head at the rate between the readings.
void Projections(const NvmeHealthLog& then, const NvmeHealthLog& now, double hours,
                 std::string* out) {
    const auto label = [](NvmeLogRow row) {
        char text[64];
        std::snprintf(text, sizeof text, "%s (%X)", NvmeLogRowOf(row).description,
                      NvmeLogRowIndex(row) + 1);
        return std::string(text);
    };
    bool heading = false;
    WritePercentTrend(label(NvmeLogRow::kPercentageUsed), then.percentageUsed, now.percentageUsed,
                      100, "", true, hours, &heading, out);
    if (now.spareThreshold != 0) {
        WritePercentTrend(label(NvmeLogRow::kAvailableSpare), then.availableSpare,
                          now.availableSpare, now.spareThreshold, "its threshold ", false, hours,
                          &heading, out);
    }
}

}  // namespace

std::string NvmeComparisonText(const CompareRun& run, const DriveReading& newer) {
    const DriveReading& older = run.olderReading;
    std::string out = ComparisonHeading(run, newer, older.health, newer.health);
    if (older.protocol != newer.protocol) {
        return out + "The readings are of different kinds (ATA and NVMe): nothing to compare.\n";
    }
    const NvmeHealthLog& then = older.nvme.log;
    const NvmeHealthLog& now = newer.nvme.log;
    long long before = 0;
    long long after = 0;
    const bool counted = RowNumber(then, NvmeLogRow::kPowerOnHours, &before) &&
                         RowNumber(now, NvmeLogRow::kPowerOnHours, &after);
    if (!counted) {
        out +=
            "Power on hours: too large to count between the readings; no rate and no "
            "projection.\n";
    } else if (after > before) {
        AppendFormat(&out, "Power on hours: %lld then, %lld now, %lld between the readings.\n",
                     before, after, after - before);
    } else if (after == before) {
        AppendFormat(&out,
                     "Power on hours: %lld in both readings, zero between them; no rate and no "
                     "projection.\n",
                     after);
    } else {
        AppendFormat(
            &out,
            "Power on hours: went backwards, %lld then, %lld now; no rate and no projection.\n",
            before, after);
    }
    AppendFormat(&out, "\n%-4s%-37s%-44sFlags\n", "ID", "Description", "Then -> now");
    NvmeRows rowsThen;
    NvmeRows rowsNow;
    NvmeHealthRows(older.nvme.controller, then, &rowsThen);
    NvmeHealthRows(newer.nvme.controller, now, &rowsNow);
    for (int index = 0; index < kNvmeRowCount; ++index) {
        const NvmeRow& row = rowsNow.rows[index];
        char cell[2 * kNvmeCellSize + 32];
        int used = std::snprintf(cell, sizeof cell, "%s -> %s", rowsThen.rows[index].raw, row.raw);
        long long a = 0;
        long long b = 0;
        const NvmeLogRow which = kNvmeLogRows[index].row;
        if (RowNumber(then, which, &a) && RowNumber(now, which, &b) && a != b) {
            std::snprintf(cell + used, sizeof cell - used, b > a ? " (+%lld)" : " (%lld)", b - a);
        }
        std::string line;
        AppendFormat(&line, "%-4X%-37s%-44s", row.id, row.description, cell);
        Flag(which, then, now, &line);
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    if (counted && after > before) {
        Projections(then, now, static_cast<double>(after - before), &out);
    }
    return out;
}
