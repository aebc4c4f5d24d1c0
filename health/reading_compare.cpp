#include "health/reading_compare.h"

#include "inventory/attribute_fields.h"

namespace {

void Flag(AttributeChange* change, ModelFamily family) {
    if (!change->inOlder) {
        change->flag = "appeared";
        return;
    }
    if (!change->inNewer) {
        change->flag = "vanished";
        return;
    }
    const AttributeRole role = RoleOf(change->id, family);
    const DefectWords* words = FindDefectWords(role);
    if (words && DefectCount(change->newer) > DefectCount(change->older)) {
        change->flag = std::string("new ") + words->many;
    }
    if (change->towardThreshold) {
        change->flag += change->flag.empty() ? "toward threshold" : ", toward threshold";
    }
}

}  // namespace

long long RawNumber(const AttributeRecord& record, ModelFamily family) {
    const AttributeRole role = RoleOf(AttributeId(record), family);
    if (IsDefectRole(role)) {
        return DefectCount(record);
    }
    if (IsTemperatureRole(role)) {
        return AttributeCelsius(record);
    }
    return static_cast<int32_t>(RawLow32(record));
}

ReadingComparison CompareRecords(const std::vector<AttributeRecord>& before,
                                 const std::vector<AttributeRecord>& after, bool thresholdsKnown,
                                 ModelFamily family) {
    ReadingComparison result;

    std::vector<bool> matched(before.size(), false);
    for (const AttributeRecord& record : after) {
        AttributeChange change;
        change.id = AttributeId(record);
        change.name = AttributeTitle(change.id, family);
        change.inNewer = true;
        change.newer = record;
        for (size_t i = 0; i < before.size(); ++i) {
            if (!matched[i] && AttributeId(before[i]) == change.id) {
                matched[i] = true;
                change.inOlder = true;
                change.older = before[i];
                break;
            }
        }
        change.threshold = thresholdsKnown ? AttributeThreshold(record) : 0;
        change.towardThreshold = change.inOlder && change.threshold != 0 &&
                                 AttributeCurrent(record) < AttributeCurrent(change.older);
        Flag(&change, family);
        result.changes.push_back(change);
    }
    for (size_t i = 0; i < before.size(); ++i) {
        if (!matched[i]) {
            AttributeChange change;
            change.id = AttributeId(before[i]);
            change.name = AttributeTitle(change.id, family);
            change.inOlder = true;
            change.older = before[i];
            Flag(&change, family);
            result.changes.push_back(change);
        }
    }

    result.olderHasPowerOn = PowerOnCount(before, family, &result.olderPowerOn);
    result.newerHasPowerOn = PowerOnCount(after, family, &result.newerPowerOn);
    if (!result.olderHasPowerOn || !result.newerHasPowerOn) {
        result.span = PowerOnSpan::kMissing;
    } else if (result.newerPowerOn < result.olderPowerOn) {
        result.span = PowerOnSpan::kBackwards;
    } else if (result.newerPowerOn == result.olderPowerOn) {
        result.span = PowerOnSpan::kZero;
    } else {
        result.span = PowerOnSpan::kCounted;
    }
    return result;
}

bool ProjectChange(const AttributeChange& change, const ReadingComparison& comparison,
                   Projection* projection) {
    if (!change.towardThreshold || comparison.span != PowerOnSpan::kCounted) {
        return false;
    }
    const double span = static_cast<double>(comparison.newerPowerOn - comparison.olderPowerOn);
    return ProjectTrend(AttributeCurrent(change.older), AttributeCurrent(change.newer),
                        change.threshold, false, span, projection);
}

bool ProjectTrend(double before, double after, double limit, bool rising, double hours,
                  Projection* projection) {
    const double step = rising ? after - before : before - after;
    if (step <= 0) {
        return false;
    }
    const double left = rising ? limit - after : after - limit;
    projection->perThousand = step * 1000.0 / hours;
    projection->left = left > 0 ? left * 1000.0 / projection->perThousand : 0;
    return true;
}

bool ReadDriveIdentity(const DriveInventory& inventory, int position, DriveIdentity* identity) {
    char model[64];
    uint32_t length = sizeof model;
    if (!inventory.GetModelName(model, &length, position, false)) {
        return false;
    }
    char serial[64];
    length = sizeof serial;
    identity->model = model;
    // Many drives right-align their serial number in its field.
    const std::string text = inventory.GetSerialNumber(serial, &length, position) ? serial : "";
    const size_t first = text.find_first_not_of(' ');
    identity->serial = first == std::string::npos ? std::string() : text.substr(first);
    return true;
}

bool SameDrive(const DriveIdentity& a, const DriveIdentity& b, bool* bySerial) {
    *bySerial = !a.serial.empty() && !b.serial.empty();
    return a.model == b.model && (!*bySerial || a.serial == b.serial);
}
