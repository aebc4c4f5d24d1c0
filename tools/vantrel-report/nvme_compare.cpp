#include "tools/vantrel-report/nvme_compare.h"

#include <cstdio>
#include <vector>

#include "report/nvme_report_text.h"

namespace {

const struct {
    uint8_t bit;
    const char* name;
} kWarnings[] = {
    {kNvmeSpareLow, "available spare below its threshold"},
    {kNvmeTemperature, "temperature beyond a threshold"},
    {kNvmeDegraded, "reliability degraded"},
    {kNvmeReadOnly, "media placed in read-only mode"},
    {kNvmeBackupFailed, "volatile memory backup failed"},
    {kNvmePersistentMemory, "persistent memory region unreliable"},
};

std::string Pad(const std::string& text, size_t width) {
    return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

// A row's value as a number, where it is one that fits.
bool RowNumber(const NvmeHealthLog& log, uint8_t id, long long* value) {
    const NvmeCounter* const counters[] = {
        &log.dataUnitsRead, &log.dataUnitsWritten, &log.hostReads,    &log.hostWrites,
        &log.busyTime,      &log.powerCycles,      &log.powerOnHours, &log.unsafeShutdowns,
        &log.mediaErrors,   &log.errorLogEntries};
    switch (id) {
        case 1:
            return false;
        case 2:
            *value = Celsius(log.temperatureKelvin);
            return log.temperatureKelvin != 0;
        case 3:
            *value = log.availableSpare;
            return true;
        case 4:
            *value = log.spareThreshold;
            return true;
        case 5:
            *value = log.percentageUsed;
            return true;
        case 0x10:
            *value = log.warningTempMinutes;
            return true;
        case 0x11:
            *value = log.criticalTempMinutes;
            return true;
        default:
            break;
    }
    const NvmeCounter& counter = *counters[id - 6];
    if (counter.high != 0 || counter.low > 0x7FFFFFFFFFFFFFFFull) {
        return false;
    }
    *value = static_cast<long long>(counter.low);
    return true;
}

std::string Flag(uint8_t id, const NvmeHealthLog& then, const NvmeHealthLog& now) {
    switch (id) {
        case 1: {
            std::string flag;
            for (const auto& warning : kWarnings) {
                if ((now.criticalWarning & warning.bit) && !(then.criticalWarning & warning.bit)) {
                    flag += (flag.empty() ? "newly set: " : ", ") + std::string(warning.name);
                }
            }
            return flag;
        }
        case 3:
            return now.availableSpare < then.availableSpare ? "spare falling" : "";
        case 5:
            return now.percentageUsed > then.percentageUsed ? "percentage used rising" : "";
        case 0x0E: {
            const NvmeCounter& a = then.mediaErrors;
            const NvmeCounter& b = now.mediaErrors;
            const bool more = b.high > a.high || (b.high == a.high && b.low > a.low);
            return more ? "new media errors" : "";
        }
        default:
            return "";
    }
}

std::string Decimal(long long value) {
    return std::to_string(value);
}

void Projections(const NvmeHealthLog& then, const NvmeHealthLog& now, double hours,
                 std::string* out) {
    std::string lines;
    char line[256];
    if (now.percentageUsed > then.percentageUsed) {
        const double perThousand = (now.percentageUsed - then.percentageUsed) * 1000.0 / hours;
        if (now.percentageUsed >= 100) {
            std::snprintf(line, sizeof line,
                          "Percentage Used (5): %u%% -> %u%%, rising %.1f per 1,000 power-on "
                          "hours; already at 100%%.\n",
                          then.percentageUsed, now.percentageUsed, perThousand);
        } else {
            std::snprintf(line, sizeof line,
                          "Percentage Used (5): %u%% -> %u%%, rising %.1f per 1,000 power-on "
                          "hours; at that rate, 100%% in about %.0f power-on hours.\n",
                          then.percentageUsed, now.percentageUsed, perThousand,
                          (100 - now.percentageUsed) * 1000.0 / perThousand);
        }
        lines += line;
    }
    if (now.availableSpare < then.availableSpare && now.spareThreshold != 0) {
        const double perThousand = (then.availableSpare - now.availableSpare) * 1000.0 / hours;
        if (now.availableSpare <= now.spareThreshold) {
            std::snprintf(line, sizeof line,
                          "Available Spare (3): %u%% -> %u%%, falling %.1f per 1,000 power-on "
                          "hours; already at or below its threshold %u%%.\n",
                          then.availableSpare, now.availableSpare, perThousand, now.spareThreshold);
        } else {
            std::snprintf(line, sizeof line,
                          "Available Spare (3): %u%% -> %u%%, falling %.1f per 1,000 power-on "
                          "hours; at that rate, its threshold %u%% in about %.0f power-on "
                          "hours.\n",
                          then.availableSpare, now.availableSpare, perThousand, now.spareThreshold,
                          (now.availableSpare - now.spareThreshold) * 1000.0 / perThousand);
        }
        lines += line;
    }
    if (!lines.empty()) {
        *out += "\nRough projections from two readings only, at the rate between them:\n" + lines;
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
    const bool counted = RowNumber(then, 0x0C, &before) && RowNumber(now, 0x0C, &after);
    if (!counted) {
        out +=
            "Power on hours: too large to count between the readings; no rate and no "
            "projection.\n";
    } else if (after > before) {
        out += "Power on hours: " + Decimal(before) + " then, " + Decimal(after) + " now, " +
               Decimal(after - before) + " between the readings.\n";
    } else if (after == before) {
        out += "Power on hours: " + Decimal(after) +
               " in both readings, zero between them; no rate and no projection.\n";
    } else {
        out += "Power on hours: went backwards, " + Decimal(before) + " then, " + Decimal(after) +
               " now; no rate and no projection.\n";
    }
    out += "\n" + Pad("ID", 4) + Pad("Description", 37) + Pad("Then -> now", 44) + "Flags\n";
    const std::vector<NvmeRow> rowsThen = NvmeHealthRows(older.nvme.controller, then);
    const std::vector<NvmeRow> rowsNow = NvmeHealthRows(newer.nvme.controller, now);
    for (size_t i = 0; i < rowsNow.size() && i < rowsThen.size(); ++i) {
        const NvmeRow& row = rowsNow[i];
        std::string cell = rowsThen[i].raw + " -> " + row.raw;
        long long a = 0;
        long long b = 0;
        if (RowNumber(then, row.id, &a) && RowNumber(now, row.id, &b) && a != b) {
            cell += (b > a ? " (+" : " (") + Decimal(b - a) + ")";
        }
        char id[4];
        std::snprintf(id, sizeof id, "%X", row.id);
        std::string line =
            Pad(id, 4) + Pad(row.description, 37) + Pad(cell, 44) + Flag(row.id, then, now);
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    if (counted && after > before) {
        Projections(then, now, static_cast<double>(after - before), &out);
    }
    return out;
}
