#include "report/drive_reading.h"

#include "health/log_signs.h"
#include "health/nvme_health.h"
#include "report/device_status.h"

namespace {

NvmeCounter Count(uint64_t value) {
    NvmeCounter counter;
    counter.low = value;
    return counter;
}

void ReadAtaLogsAndVerdict(const DriveInventory& inventory, int position, DriveReading* reading);

void ReadAta(const DriveInventory& inventory, int position, DriveReading* reading) {
    AtaReading& ata = reading->ata;
    const int16_t count = inventory.powerModeCount[position];
    ata.powerMode = count >= 0 ? DecodePowerMode(static_cast<uint8_t>(count)) : PowerMode::kUnknown;
    ata.powerModeValue = ata.powerMode == PowerMode::kUnknown ? -1 : count;
    if (inventory.asleep[position]) {
        ata.read = false;
        reading->health.verdict = HealthVerdict::kStandby;
        return;
    }
    ata.entry = inventory.entries[position];
    const IdentifyData& identify = ata.entry.Identify;
    ata.smartEnabled = ata.entry.SmartEnabled != 0;
    ata.smartAvailable = SmartAvailable(identify) || ata.smartEnabled;
    ata.hasSmartData = inventory.attributes[position] != nullptr;
    ata.smartRevision = inventory.smartDataRevision[position];
    ata.attributes = DriveAttributes(inventory, position);
    ata.family = FamilyOfModel(reading->identity.model);
    ata.thresholdsKnown = inventory.ThresholdsKnown(position);

    reading->hasCapacity = true;
    reading->blocks = CapacityBlocks(identify);
    reading->blockSize = LogicalSectorSize(identify);
    reading->bytes = NvmeCounter::Product(reading->blocks, reading->blockSize);
    ata.identity =
        DecodeAtaIdentity(identify, inventory.upperIdentify[position], reading->blockSize);
    uint8_t celsius = 0;
    reading->hasTemperature = DriveTemperature(ata.attributes, ata.family, &celsius);
    reading->temperature = celsius;
    // The first record of each count, in table order.
    uint32_t hours = 0;
    reading->hasPowerOnHours = PowerOnCount(ata.attributes, ata.family, &hours);
    reading->powerOnHours = Count(hours);
    if (const AttributeRecord* cycles =
            FindRole(ata.attributes, ata.family, AttributeRole::kPowerCycles)) {
        reading->hasPowerCycles = true;
        reading->powerCycles = Count(RawLow32(*cycles));
    }
    if (inventory.hasOfflineData[position]) {
        ata.selfTest = DecodeAtaSelfTest(inventory.offlineData[position],
                                         inventory.entries[position].Identify);
        reading->hasSelfTestState = true;
        reading->selfTestRunning = ata.selfTest.running;
        reading->selfTestRemainingPercent = ata.selfTest.remainingPercent;
        reading->selfTestProgressNote =
            ProgressNote(ata.selfTest.reportedRemainingPercent, "remaining");
    }
    ata.selfAssessment = inventory.selfAssessment[position];
    ReadAtaLogsAndVerdict(inventory, position, reading);
}

// The logs the scan read, the endurance, and the verdict: from the
// attributes and logs where every reply can be trusted.
void ReadAtaLogsAndVerdict(const DriveInventory& inventory, int position, DriveReading* reading) {
    AtaReading& ata = reading->ata;
    if (const SmartLogBlocks* logs = inventory.logs[position]) {
        if (logs->hasErrorLog) {
            ata.errorLog = DecodeErrorLog(logs->errorLog);
        }
        if (logs->hasSelfTestLog) {
            ata.selfTestLog = DecodeSelfTestLog(logs->selfTestLog);
        }
        ata.statistics = DecodeDeviceStatistics(logs->statistics, logs->statisticsPages);
    }
    reading->endurance =
        AtaEndurance(ata.attributes, ata.family, ata.statistics,
                     ata.identity.hasRotationRate && ata.identity.rotationRate > 0);
    // Nothing is judged from a reply that cannot be trusted.
    ata.integrity = CheckReplies(inventory, position, ata.attributes);
    ata.integrity.errorLog = ata.errorLog.check;
    ata.integrity.selfTestLog = ata.selfTestLog.check;
    ata.integrity.deviceStatistics = ata.statistics.check;
    ata.integrity.failedStatisticsPages = ata.statistics.failedPages;
    reading->health.reasons = IntegrityFailures(ata.integrity);
    if (reading->health.reasons.empty()) {
        reading->health = AssessAttributes(ata.attributes, ata.thresholdsKnown, ata.family);
        AddLogSigns(ata.errorLog, ata.selfTestLog, &reading->health);
        AddEnduranceSign(reading->endurance, &reading->health);
    }
    // The drive's own verdict stands whatever its other replies say.
    if (ata.selfAssessment == SelfAssessment::kFailed) {
        DriveHealth& health = reading->health;
        health.verdict = HealthVerdict::kBad;
        health.reasons.insert(health.reasons.begin(), "the drive's self-assessment: FAILED");
    }
}

void ReadNvme(const NvmeReplies& replies, DriveReading* reading) {
    NvmeReading& nvme = reading->nvme;
    DecodeNvmeDrive(replies, &nvme);

    reading->identity.model = nvme.controller.model;
    reading->identity.serial = nvme.controller.serial;
    reading->identity.firmware = nvme.controller.firmware;
    if (nvme.hasNamespace) {
        reading->hasCapacity = true;
        reading->blocks = nvme.space.blocks;
        reading->blockSize = nvme.space.blockSize;
        reading->bytes = NvmeCounter::Product(reading->blocks, reading->blockSize);
    }
    // 0 K is a drive that does not report it.
    reading->hasTemperature = nvme.log.temperatureKelvin != 0;
    reading->temperature = Celsius(nvme.log.temperatureKelvin);
    reading->hasPowerOnHours = reading->hasPowerCycles = true;
    reading->powerOnHours = nvme.log.powerOnHours;
    reading->powerCycles = nvme.log.powerCycles;
    reading->endurance.known = true;
    reading->endurance.percentUsed = nvme.log.percentageUsed;
    if (nvme.hasSelfTestLog) {
        reading->hasSelfTestState = true;
        reading->selfTestRunning = NvmeSelfTestRunning(nvme.selfTests);
        reading->selfTestRemainingPercent = NvmeSelfTestRemaining(nvme.selfTests);
        reading->selfTestProgressNote =
            reading->selfTestRunning ? ProgressNote(nvme.selfTests.reportedCompletion, "complete")
                                     : std::string();
    }
    reading->health = AssessNvmeHealth(nvme.log, nvme.hasSelfTestLog ? &nvme.selfTests : nullptr);
}

}  // namespace

void ReadDrive(const DriveInventory& inventory, int position, const std::string& listName,
               const std::string& device, DriveReading* reading) {
    reading->position = position;
    reading->device = device;
    reading->listName = listName;
    if (inventory.nvme[position] != nullptr) {
        reading->protocol = DriveProtocol::kNvme;
        ReadNvme(*inventory.nvme[position], reading);
    } else {
        if (!inventory.asleep[position]) {
            reading->identity = TrimmedIdentity(inventory, position);
        }
        ReadAta(inventory, position, reading);
    }
    reading->statusBits = DeviceStatusBits(*reading);
}
