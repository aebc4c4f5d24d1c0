#include <string>
#include <vector>

#include "health/reading_compare.h"
#include "inventory/decimal_text.h"
#include "report/attribute_format.h"
#include "report/compare_writer.h"
#include "report/compare_projection.h"
#include "report/nvme_compare.h"
#include "report/text_append.h"

namespace {

// The text and blanks to width, with at least one blank after it.
std::string Pad(const std::string& text, size_t width) {
    return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

std::string Change(long long before, long long after) {
    if (before == after) {
        return "";
    }
    return (after > before ? " (+" : " (") + DecimalText(after - before) + ")";
}

// "then -> now (change)" of one column; "-" on the side that lacks it.
template <typename Number, typename Text>
std::string Cell(const AttributeChange& change, Number number, Text text) {
    const std::string before = change.inOlder ? text(change.older) : "-";
    const std::string after = change.inNewer ? text(change.newer) : "-";
    std::string cell = before + " -> " + after;
    if (change.inOlder && change.inNewer) {
        cell += Change(number(change.older), number(change.newer));
    }
    return cell;
}

long long Value(const AttributeRecord& r) {
    return AttributeCurrent(r);
}
long long Worst(const AttributeRecord& r) {
    return AttributeWorst(r);
}
std::string ValueText(const AttributeRecord& r) {
    return DecimalText(AttributeCurrent(r));
}
std::string WorstText(const AttributeRecord& r) {
    return DecimalText(AttributeWorst(r));
}
// The counts as counted (bytes 0 and 1), the temperature in degrees, the
// rest as the window's table shows them.
std::string RawText(const AttributeRecord& r, ModelFamily family) {
    const AttributeRole role = RoleOf(AttributeId(r), family);
    if (IsDefectRole(role)) {
        return DecimalText(RawNumber(r, family));
    }
    if (IsTemperatureRole(role)) {
        return DecimalText(RawNumber(r, family)) + " C";
    }
    return FormatRawValue(r, TextForm::kList).text;
}

void WritePowerOn(const ReadingComparison& c, std::string* out) {
    AppendFormat(
        out,
        "The power-on count is raw bytes 0 to 3 of attribute 9: hours on most drives, minutes "
        "on some.\n");
    switch (c.span) {
        case PowerOnSpan::kCounted:
            AppendFormat(out, "Power-on count: %lu then, %lu now, %lu between the readings.\n",
                         static_cast<unsigned long>(c.olderPowerOn),
                         static_cast<unsigned long>(c.newerPowerOn),
                         static_cast<unsigned long>(c.newerPowerOn - c.olderPowerOn));
            return;
        case PowerOnSpan::kMissing:
            AppendFormat(out,
                         "Power-on count: missing in the %s reading; no rate and no projection.\n",
                         !c.olderHasPowerOn && !c.newerHasPowerOn ? "older and the newer"
                         : !c.olderHasPowerOn                     ? "older"
                                                                  : "newer");
            return;
        case PowerOnSpan::kZero:
            AppendFormat(out,
                         "Power-on count: %lu in both readings, zero between them; no rate and "
                         "no projection.\n",
                         static_cast<unsigned long>(c.newerPowerOn));
            return;
        case PowerOnSpan::kBackwards:
            AppendFormat(out,
                         "Power-on count: went backwards, %lu then, %lu now; no rate and no "
                         "projection.\n",
                         static_cast<unsigned long>(c.olderPowerOn),
                         static_cast<unsigned long>(c.newerPowerOn));
            return;
    }
}

// The endurance used toward 100 %, as the NVMe drives' percentage used.
void ProjectEndurance(const ReadingComparison& c, const Endurance& then, const Endurance& now,
                      bool* heading, std::string* out) {
    if (!then.known || !now.known || c.span != PowerOnSpan::kCounted) {
        return;
    }
    WritePercentTrend("Endurance used", then.percentUsed, now.percentUsed, 100, "", true,
                      static_cast<double>(c.newerPowerOn - c.olderPowerOn), heading, out);
}

void WriteProjections(const ReadingComparison& c, const DriveReading& older,
                      const DriveReading& newer, std::string* out) {
    bool heading = false;
    ProjectEndurance(c, older.endurance, newer.endurance, &heading, out);
    for (const AttributeChange& change : c.changes) {
        Projection p;
        if (!ProjectChange(change, c, &p)) {
            continue;
        }
        ProjectionsHeading(&heading, out);
        AppendFormat(out, "%s (%X): value %d -> %d, falling %.1f per 1,000 of the power-on count; ",
                     change.name.c_str(), change.id, AttributeCurrent(change.older),
                     AttributeCurrent(change.newer), p.perThousand);
        if (AttributeCurrent(change.newer) < change.threshold) {
            AppendFormat(out, "already below its threshold %d.\n", change.threshold);
        } else if (AttributeCurrent(change.newer) == change.threshold) {
            AppendFormat(out, "at its threshold %d now.\n", change.threshold);
        } else {
            AppendFormat(out, "at that rate roughly %.0f of it left until its threshold %d.\n",
                         p.left, change.threshold);
        }
    }
}

// What the drive's own logs say happened between the readings: its error
// count, and the self-tests run since (a lifetime above the older reading's
// power-on count).
void WriteLogs(const DriveReading& older, const DriveReading& newer, std::string* out) {
    const ErrorLog& then = older.ata.errorLog;
    const ErrorLog& now = newer.ata.errorLog;
    if (then.check == BlockCheck::kOk && now.check == BlockCheck::kOk) {
        AppendFormat(out, "Errors logged: %u then, %u now", then.count, now.count);
        if (now.count > then.count) {
            bool uncorrectable = false;
            for (int i = 0; i < now.logged; ++i) {
                uncorrectable = uncorrectable || (now.entries[i].errorNumber > then.count &&
                                                  now.entries[i].Uncorrectable());
            }
            AppendFormat(out, " (+%u): new errors%s", now.count - then.count,
                         uncorrectable ? ", one uncorrectable" : "");
        }
        AppendFormat(out, ".\n");
    }
    const SelfTestLog& tests = newer.ata.selfTestLog;
    if (tests.check != BlockCheck::kOk || !older.hasPowerOnHours || !newer.hasPowerOnHours) {
        return;
    }
    const uint64_t since = older.powerOnHours.low;
    AppendFormat(
        out, "Self-tests since the older reading (%lu hours):", static_cast<unsigned long>(since));
    int shown = 0;
    for (int i = 0; i < tests.count; ++i) {
        const SelfTest& test = tests.entries[i];
        if (!SelfTestRanBetween(test.lifetimeHours, since, newer.powerOnHours.low)) {
            continue;
        }
        char type[kLogNameSize];
        char status[kLogNameSize];
        AppendFormat(out, "\n  %s at %u hours: %s", SelfTestTypeName(test.type, type),
                     static_cast<unsigned>(test.lifetimeHours),
                     SelfTestStatusName(test.status, status));
        if (test.Result() == 7) {
            AppendFormat(out, " at LBA %lu", static_cast<unsigned long>(test.lba));
        }
        ++shown;
    }
    *out += shown ? "\n" : " none.\n";
}

}  // namespace

std::string ComparisonText(const CompareRun& run, const DriveReading& newer) {
    if (newer.protocol == DriveProtocol::kNvme ||
        run.olderReading.protocol == DriveProtocol::kNvme) {
        return NvmeComparisonText(run, newer);
    }
    const ModelFamily family = newer.ata.family;
    const ReadingComparison c = CompareRecords(
        run.olderReading.ata.attributes, newer.ata.attributes, newer.ata.thresholdsKnown, family);
    std::string out;
    // The readings' verdicts: their attributes, logs and integrity.
    out = ComparisonHeading(run, newer, run.olderReading.health, newer.health);
    WritePowerOn(c, &out);
    WriteLogs(run.olderReading, newer, &out);
    const Endurance& then = run.olderReading.endurance;
    if (then.known && newer.endurance.known) {
        AppendFormat(&out, "Endurance used: %u%% then, %u%% now.\n", then.percentUsed,
                     newer.endurance.percentUsed);
    }
    AppendFormat(&out, "\n%s%s%s%s%sFlags\n", Pad("ID", 4).c_str(), Pad("Description", 37).c_str(),
                 Pad("Value then -> now", 22).c_str(), Pad("Worst then -> now", 22).c_str(),
                 Pad("Raw then -> now", 30).c_str());
    for (const AttributeChange& change : c.changes) {
        char id[4];
        std::snprintf(id, sizeof id, "%X", change.id);
        std::string line =
            Pad(id, 4) + Pad(change.name, 37) + Pad(Cell(change, Value, ValueText), 22) +
            Pad(Cell(change, Worst, WorstText), 22) +
            Pad(Cell(
                    change, [family](const AttributeRecord& r) { return RawNumber(r, family); },
                    [family](const AttributeRecord& r) { return RawText(r, family); }),
                30) +
            change.flag;
        line.erase(line.find_last_not_of(' ') + 1);
        AppendFormat(&out, "%s\n", line.c_str());
    }
    WriteProjections(c, run.olderReading, newer, &out);
    return out;
}
