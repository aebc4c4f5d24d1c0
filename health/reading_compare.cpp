#include "health/reading_compare.h"

#include "inventory/attribute_fields.h"

namespace {

enum : uint8_t { kPowerOnId = 9 };

const char* DefectFlag(uint8_t id) {
    switch (id) {
        case 5:
            return "new reallocated sectors";
        case 197:
            return "new pending sectors";
        case 198:
            return "new offline uncorrectable sectors";
        default:
            return "new reported uncorrectable errors";
    }
}

void Flag(AttributeChange* change) {
    if (!change->inOlder) {
        change->flag = "appeared";
        return;
    }
    if (!change->inNewer) {
        change->flag = "vanished";
        return;
    }
    const uint8_t id = change->id;
    if (IsDefectCount(id) && DefectCount(change->newer) > DefectCount(change->older)) {
        change->flag = DefectFlag(id);
    }
    if (change->towardThreshold) {
        change->flag += change->flag.empty() ? "toward threshold" : ", toward threshold";
    }
}

bool PowerOn(const std::vector<AttributeRecord>& records, uint32_t* count) {
    for (const AttributeRecord& record : records) {
        if (AttributeId(record) == kPowerOnId) {
            *count = RawLow32(record);
            return true;
        }
    }
    return false;
}

}  // namespace

long long RawNumber(const AttributeRecord& record) {
    if (IsDefectCount(AttributeId(record))) {
        return DefectCount(record);
    }
    if (AttributeId(record) == 194) {
        return RawByte0(record);
    }
    return static_cast<int32_t>(RawLow32(record));
}

ReadingComparison CompareRecords(const std::vector<AttributeRecord>& before,
                                 const std::vector<AttributeRecord>& after, bool thresholdsKnown) {
    ReadingComparison result;

    std::vector<bool> matched(before.size(), false);
    for (const AttributeRecord& record : after) {
        AttributeChange change;
        change.id = AttributeId(record);
        change.name = AttributeName(record);
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
        Flag(&change);
        result.changes.push_back(change);
    }
    for (size_t i = 0; i < before.size(); ++i) {
        if (!matched[i]) {
            AttributeChange change;
            change.id = AttributeId(before[i]);
            change.name = AttributeName(before[i]);
            change.inOlder = true;
            change.older = before[i];
            Flag(&change);
            result.changes.push_back(change);
        }
    }

    result.olderHasPowerOn = PowerOn(before, &result.olderPowerOn);
    result.newerHasPowerOn = PowerOn(after, &result.newerPowerOn);
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
    const double fall = AttributeCurrent(change.older) - AttributeCurrent(change.newer);
    const double margin = static_cast<double>(AttributeCurrent(change.newer)) - change.threshold;
    projection->perThousand = fall * 1000.0 / span;
    projection->left = margin > 0 ? margin * span / fall : 0;
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
