// What changed between two readings of one drive: per attribute, the
// values then and now with what matters flagged, the power-on count
// between them and the health verdict of each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "health/drive_health.h"
#include "inventory/drive_inventory.h"

struct AttributeChange {
    uint8_t id = 0;
    std::string name;
    bool inOlder = false;
    bool inNewer = false;
    AttributeRecord older{};  // as read then, where inOlder
    AttributeRecord newer{};  // as read now, where inNewer
    // What matters, e.g. "new pending sectors", "toward threshold",
    // "appeared", "vanished"; empty when nothing does.
    std::string flag;
    // The value fell and the newer reading has a non-zero threshold for it.
    bool towardThreshold = false;
    uint8_t threshold = 0;
};

enum class PowerOnSpan { kCounted, kMissing, kZero, kBackwards };

struct ReadingComparison {
    // In the newer reading's table order, then what vanished, in the older's.
    std::vector<AttributeChange> changes;
    PowerOnSpan span = PowerOnSpan::kMissing;
    // Raw bytes 0 to 3 of the power-on hours attribute in each reading,
    // where it has one.
    bool olderHasPowerOn = false;
    bool newerHasPowerOn = false;
    uint32_t olderPowerOn = 0;
    uint32_t newerPowerOn = 0;
};

// Two readings of one drive, from each reading's records in table order
// (the readings carry their own verdicts); thresholdsKnown is the newer's,
// family the drive's (attribute_table.h), which names its attributes.
ReadingComparison CompareRecords(const std::vector<AttributeRecord>& before,
                                 const std::vector<AttributeRecord>& after, bool thresholdsKnown,
                                 ModelFamily family);

// The raw value as a number: the defect counts' bytes 0 and 1, the
// temperature's byte 0, otherwise the window's signed four bytes.
long long RawNumber(const AttributeRecord& record, ModelFamily family);

// Where the falling value of a change reaches its threshold at the rate
// between the readings. False when the span gives no rate.
struct Projection {
    double perThousand = 0;  // fall per 1,000 of the power-on count
    double left = 0;         // power-on count left until the threshold
};
bool ProjectChange(const AttributeChange& change, const ReadingComparison& comparison,
                   Projection* projection);

// The one projection of every comparison: a value that went from before to
// after over hours, rising toward limit or falling toward it, reaches it at
// that rate in projection->left hours (0 where it is there or past).
// False where it did not move toward the limit.
bool ProjectTrend(double before, double after, double limit, bool rising, double hours,
                  Projection* projection);

// The drive's model and serial number, the serial without leading blanks;
// it may be empty.
struct DriveIdentity {
    std::string model;
    std::string serial;
};
bool ReadDriveIdentity(const DriveInventory& inventory, int position, DriveIdentity* identity);

// Same model and serial, or the same model where either serial is empty
// (*bySerial then false).
bool SameDrive(const DriveIdentity& a, const DriveIdentity& b, bool* bySerial);
