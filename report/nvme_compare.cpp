#include "report/nvme_compare.h"

#include <cstdio>

#include "health/nvme_health.h"
#include "report/nvme_report_text.h"
#include "report/text_append.h"

namespace {

// A row's value as a number, where it is one that fits: the counters up to
// 2^63, the rest as the log keeps them.
bool RowNumber(const NvmeHealthLog& log, NvmeLogRow row, long long* value) {
    const NvmeLogRowInfo& info = NvmeLogRowOf(row);
    if (info.counter) {
        const NvmeCounter& counter = log.*info.counter;
        if (counter.high != 0 || counter.low > 0x7FFFFFFFFFFFFFFFull) {
            return false;
        }
        *value = static_cast<long long>(counter.low);
        return true;
    }
    switch (row) {
        case NvmeLogRow::kTemperature:
            if (log.temperatureKelvin == 0) {
                return false;
            }
            *value = Celsius(log.temperatureKelvin);
            return true;
        case NvmeLogRow::kAvailableSpare:
            *value = log.availableSpare;
            return true;
        case NvmeLogRow::kSpareThreshold:
            *value = log.spareThreshold;
            return true;
        case NvmeLogRow::kPercentageUsed:
            *value = log.percentageUsed;
            return true;
        case NvmeLogRow::kWarningTempTime:
            *value = log.warningTempMinutes;
            return true;
        case NvmeLogRow::kCriticalTempTime:
            *value = log.criticalTempMinutes;
            return true;
        default:  // the warning's bits are no number
            return false;
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
    const struct {
        NvmeLogRow row;
        unsigned before, after, limit;
        const char* moving;
        const char* limitText;
    } trends[] = {
        {NvmeLogRow::kPercentageUsed, then.percentageUsed, now.percentageUsed, 100, "rising", ""},
        {NvmeLogRow::kAvailableSpare, then.availableSpare, now.availableSpare, now.spareThreshold,
         "falling", "its threshold "},
    };
    std::string lines;
    for (const auto& t : trends) {
        const bool rising = t.limit == 100;
        const bool moved = rising ? t.after > t.before : t.after < t.before && t.limit != 0;
        if (!moved) {
            continue;
        }
        const unsigned step = rising ? t.after - t.before : t.before - t.after;
        const double perThousand = step * 1000.0 / hours;
        AppendFormat(&lines, "%s (%X): %u%% -> %u%%, %s %.1f per 1,000 power-on hours; ",
                     NvmeLogRowOf(t.row).description, NvmeLogRowIndex(t.row) + 1, t.before, t.after,
                     t.moving, perThousand);
        const bool reached = rising ? t.after >= t.limit : t.after <= t.limit;
        const unsigned left = rising ? t.limit - t.after : t.after - t.limit;
        if (reached) {
            AppendFormat(&lines, "already at %s%u%%.\n", t.limitText, t.limit);
        } else {
            AppendFormat(&lines, "at that rate, %s%u%% in about %.0f power-on hours.\n",
                         t.limitText, t.limit, left * 1000.0 / perThousand);
        }
    }
    if (!lines.empty()) {
        *out += "\nRough projections from two readings only, at the rate between them:\n";
        *out += lines;
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
