#include "report/nvme_compare.h"

#include <cstdarg>
#include <cstdio>

#include "health/nvme_health.h"
#include "report/nvme_report_text.h"

namespace {

enum { kPowerOnRow = 11, kMediaErrorRow = 13 };

// A row's value as a number, where it is one that fits: the counters up to
// 2^63, the rest as the log keeps them.
bool RowNumber(const NvmeHealthLog& log, int index, long long* value) {
    const long long small[] = {-1, Celsius(log.temperatureKelvin), log.availableSpare,
                               log.spareThreshold, log.percentageUsed};
    if (index == 0 || (index == 1 && log.temperatureKelvin == 0)) {
        return false;
    }
    if (index < 5) {
        *value = small[index];
        return true;
    }
    if (index >= 15) {
        *value = index == 15 ? log.warningTempMinutes : log.criticalTempMinutes;
        return true;
    }
    const NvmeCounter& counter = log.*kNvmeLogCounterFields[index - 5];
    if (counter.high != 0 || counter.low > 0x7FFFFFFFFFFFFFFFull) {
        return false;
    }
    *value = static_cast<long long>(counter.low);
    return true;
}

void Flag(int index, const NvmeHealthLog& then, const NvmeHealthLog& now, std::string* line) {
    if (index == 0) {
        const char* separator = "newly set: ";
        for (const NvmeWarningName& warning : kNvmeWarningNames) {
            if ((now.criticalWarning & warning.bit) && !(then.criticalWarning & warning.bit)) {
                *line += separator;
                *line += warning.name;
                separator = ", ";
            }
        }
    } else if (index == 2 && now.availableSpare < then.availableSpare) {
        *line += "spare falling";
    } else if (index == 4 && now.percentageUsed > then.percentageUsed) {
        *line += "percentage used rising";
    } else if (index == kMediaErrorRow) {
        const NvmeCounter& a = then.mediaErrors;
        const NvmeCounter& b = now.mediaErrors;
        if (b.high > a.high || (b.high == a.high && b.low > a.low)) {
            *line += "new media errors";
        }
    }
}

void Print(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Print(std::string* out, const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    *out += line;
}

// Where the percentage used (toward 100) and the spare (toward its
// threshold) head at the rate between the readings.
void Projections(const NvmeHealthLog& then, const NvmeHealthLog& now, double hours,
                 std::string* out) {
    const struct {
        const char* row;
        unsigned before, after, limit;
        const char* moving;
        const char* limitText;
    } trends[] = {
        {"Percentage Used (5)", then.percentageUsed, now.percentageUsed, 100, "rising", ""},
        {"Available Spare (3)", then.availableSpare, now.availableSpare, now.spareThreshold,
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
        Print(&lines, "%s: %u%% -> %u%%, %s %.1f per 1,000 power-on hours; ", t.row, t.before,
              t.after, t.moving, perThousand);
        const bool reached = rising ? t.after >= t.limit : t.after <= t.limit;
        const unsigned left = rising ? t.limit - t.after : t.after - t.limit;
        if (reached) {
            Print(&lines, "already at %s%u%%.\n", t.limitText, t.limit);
        } else {
            Print(&lines, "at that rate, %s%u%% in about %.0f power-on hours.\n", t.limitText,
                  t.limit, left * 1000.0 / perThousand);
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
    const bool counted =
        RowNumber(then, kPowerOnRow, &before) && RowNumber(now, kPowerOnRow, &after);
    if (!counted) {
        out +=
            "Power on hours: too large to count between the readings; no rate and no "
            "projection.\n";
    } else if (after > before) {
        Print(&out, "Power on hours: %lld then, %lld now, %lld between the readings.\n", before,
              after, after - before);
    } else if (after == before) {
        Print(&out,
              "Power on hours: %lld in both readings, zero between them; no rate and no "
              "projection.\n",
              after);
    } else {
        Print(&out,
              "Power on hours: went backwards, %lld then, %lld now; no rate and no projection.\n",
              before, after);
    }
    Print(&out, "\n%-4s%-37s%-44sFlags\n", "ID", "Description", "Then -> now");
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
        if (RowNumber(then, index, &a) && RowNumber(now, index, &b) && a != b) {
            std::snprintf(cell + used, sizeof cell - used, b > a ? " (+%lld)" : " (%lld)", b - a);
        }
        std::string line;
        Print(&line, "%-4X%-37s%-44s", row.id, row.description, cell);
        Flag(index, then, now, &line);
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    if (counted && after > before) {
        Projections(then, now, static_cast<double>(after - before), &out);
    }
    return out;
}
