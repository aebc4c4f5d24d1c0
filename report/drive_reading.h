// One disk as vantrel-report read it, decoded once: what every output of
// the command reads. The common part holds what any disk has; the protocol
// part what only an ATA or an NVMe drive has; the verdict travels as its
// value, and the writers put it into words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "health/drive_health.h"
#include "health/endurance.h"
#include "health/reply_integrity.h"
#include "inventory/ata_identity.h"
#include "inventory/device_statistics.h"
#include "inventory/drive_inventory.h"
#include "inventory/nvme_data.h"
#include "inventory/power_mode.h"
#include "inventory/self_test.h"
#include "inventory/smart_logs.h"
#include "report/machine_report.h"
#include "report/unreadable_disks.h"

enum class DriveProtocol { kAta, kNvme };

struct AtaReading {
    // What CHECK POWER MODE said before anything else was sent; the count
    // register where the mode is known, -1 otherwise.
    PowerMode powerMode = PowerMode::kUnknown;
    int powerModeValue = -1;
    // False for a disk left asleep in standby: nothing below was read.
    bool read = true;
    DriveEntry entry;  // the IDENTIFY words and the registers as sent
    bool smartAvailable = false;
    bool smartEnabled = false;
    // Whether the SMART data was read: a drive without it has no table,
    // not an empty one.
    bool hasSmartData = false;
    uint16_t smartRevision = 0;
    std::vector<AttributeRecord> attributes;     // in the drive's table order
    ModelFamily family = ModelFamily::kGeneric;  // whose rows name them
    bool thresholdsKnown = false;
    ReplyIntegrity integrity;
    // Read where the drive keeps them; used only when their check is kOk.
    ErrorLog errorLog;
    SelfTestLog selfTestLog;
    // What IDENTIFY says beyond the texts and the capacity.
    AtaIdentity identity;
    // The Device Statistics log, where the log directory lists it.
    DeviceStatistics statistics;
    // The self-tests offered, the last one's status and the polling times,
    // from the SMART data (known where it was read).
    AtaSelfTestStatus selfTest;
    // What the drive answered SMART RETURN STATUS.
    SelfAssessment selfAssessment = SelfAssessment::kNone;
};

typedef NvmeDrive NvmeReading;

struct DriveReading {
    int position = -1;
    std::string device;    // as its user names it, or the capture's file name
    std::string listName;  // as the drive list shows it
    DriveProtocol protocol = DriveProtocol::kAta;
    // Read through a SCSI/ATA translation layer (SmartDriver::TranslatesAta).
    bool ataTranslated = false;
    IdentityTexts identity;  // trimmed, as the drive sent them
    bool hasCapacity = false;
    uint64_t blocks = 0;
    uint32_t blockSize = 0;
    NvmeCounter bytes;
    bool hasTemperature = false;
    int temperature = 0;  // degrees Celsius
    bool hasPowerOnHours = false;
    NvmeCounter powerOnHours;
    bool hasPowerCycles = false;
    NvmeCounter powerCycles;
    // The rated endurance used: the wear attribute of an ATA SSD, the
    // health log's percentage used of an NVMe drive; unknown for a disk.
    Endurance endurance;
    // Whether the drive's own self-test runs now, where the drive tells:
    // an ATA drive's SMART data, an NVMe drive's self-test log.
    bool hasSelfTestState = false;
    bool selfTestRunning = false;
    int selfTestRemainingPercent = 0;  // 0 to 100
    std::string selfTestProgressNote;  // what a drive reported beyond 0 to 100
    AtaReading ata;
    NvmeReading nvme;
    DriveHealth health;
    // The exporter's bit mask of what went wrong (report/device_status.h).
    uint8_t statusBits = 0;
};

// The reading of the drive at position, which the drive list shows (or
// which was left asleep), into a fresh reading (filled in place: a reading
// is large to move).
void ReadDrive(const DriveInventory& inventory, int position, const std::string& listName,
               const std::string& device, DriveReading* reading);

// What the whole-document writers (JSON, Prometheus metrics) are given: the
// drives the drive list shows, in its order.
struct MachineReport {
    std::vector<DriveReading> drives;
    int driveCount;  // the drives the scan found, listed or not
    const char* version;
    int exitStatus;
    std::vector<UnreadableDisk> unreadable;
};
