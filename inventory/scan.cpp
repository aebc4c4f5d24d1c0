// ScanDrives: the one walk over the four drive positions, for both Windows
// driver families, written against the driver seam only.
#include <cstring>

#include "inventory/ata_pass_through_record.h"
#include "inventory/drive_inventory.h"
#include "inventory/feature_words.h"
#include "inventory/nvme_data.h"
#include "inventory/nvme_query.h"
#include "inventory/power_mode.h"
#include "inventory/self_test.h"
#include "inventory/smart_channel.h"

namespace {

struct ScanBuffers {
    SmartCommandRecord command;
    uint8_t reply[kDataReplyLength];
};

bool QueryVersion(SmartDriver& driver, DeviceHandle device, SmartVersion* version) {
    uint32_t returned = 0;
    return driver.IoControl(device, kSmartGetVersion, nullptr, 0, version, sizeof *version,
                            &returned) != 0;
}

// One NVMe property query into out[0..query.length); false when the driver
// refuses it or its reply does not hold the data where it says.
bool QueryNvme(SmartDriver& driver, DeviceHandle device, const NvmeQuery& query, uint8_t* out) {
    static_assert(sizeof(NvmeReplies::controller) == 4096, "the largest reply");
    uint8_t buffer[kProtocolDataStart + sizeof(NvmeReplies::controller)];
    const uint32_t size = kProtocolDataStart + query.length;
    BuildNvmeQuery(query, buffer);
    uint32_t returned = 0;
    if (!driver.IoControl(device, kStorageQueryProperty, buffer, size, buffer, size, &returned) ||
        returned > size) {
        return false;
    }
    const uint8_t* data = NvmeReplyData(buffer, returned, query.length);
    if (!data) {
        return false;
    }
    std::memcpy(out, data, query.length);
    return true;
}

// CHECK POWER MODE's count register, or kPowerModeFailed when the control
// fails (before XP SP2, an NVMe or SCSI disk) or its status shows an error.
int16_t AskPowerMode(SmartDriver& driver, DeviceHandle device) {
    AtaPassThroughRecord record;
    BuildCheckPowerMode(&record);
    uint32_t returned = 0;
    if (!driver.IoControl(device, kAtaPassThroughControl, &record, sizeof record, &record,
                          sizeof record, &returned) ||
        returned < sizeof record ||
        (record.CurrentTaskFile[kTaskFileCommand] & kAtaStatusError) != 0) {
        return kPowerModeFailed;
    }
    return record.CurrentTaskFile[kTaskFileCount];
}

// A self-test routine through the ATA pass-through: true when the drive
// took it.
bool PassSelfTest(SmartDriver& driver, DeviceHandle device, uint8_t routine) {
    AtaPassThroughRecord record;
    BuildSmartSelfTest(&record, routine);
    uint32_t returned = 0;
    return driver.IoControl(device, kAtaPassThroughControl, &record, sizeof record, &record,
                            sizeof record, &returned) != 0 &&
           returned >= sizeof record &&
           (record.CurrentTaskFile[kTaskFileCommand] & kAtaStatusError) == 0;
}

// DRIVERSTATUS.bDriverError in a SMART reply: the drive's own refusal.
const uint32_t kDriverErrorOffset = 4;

// A decoded Identify Controller text, blank-padded as IDENTIFY's are.
void StoreNvmeText(uint8_t* field, const char* text, size_t width) {
    std::memset(field, ' ', width);
    const size_t length = std::strlen(text);
    std::memcpy(field, text, length < width ? length : width);
}

}  // namespace

void DriveInventory::ScanDrives(SmartDriver& driver) {
    if (IsWindows9x(driver)) {
        ScanWindows9x(driver);
    } else {
        ScanWindowsNt(driver);
    }
}

void DriveInventory::ReadAttributeTables(SmartDriver& driver, SmartCommandRecord* command,
                                         int position) {
    uint8_t attributeReply[kDataReplyLength];
    uint8_t thresholdReply[kDataReplyLength];
    std::memset(attributeReply, 0, sizeof attributeReply);
    if (!ReadSmartAttributes(driver, device, command, attributeReply, position)) {
        return;
    }
    // A failed threshold read is not fatal, but the zeroed reply then pairs
    // every attribute with a threshold of 0, which would pass any value: the
    // drive is marked so that no verdict is drawn from it.
    std::memset(thresholdReply, 0, sizeof thresholdReply);
    thresholdsUnknown[position] =
        !ReadSmartThresholds(driver, device, command, thresholdReply, position);
    smartDataCheck[position] = CheckSmartBlock(attributeReply + kReplyHeadLength);
    thresholdsCheck[position] = thresholdsUnknown[position]
                                    ? BlockCheck::kAbsent
                                    : CheckSmartBlock(thresholdReply + kReplyHeadLength);
    StoreAttributes(attributeReply + kReplyHeadLength, thresholdReply + kReplyHeadLength, position);
    if (readLogs || startSelfTest) {
        hasOfflineData[position] = true;
        std::memcpy(offlineData[position], attributeReply + kReplyHeadLength + kOfflineDataOffset,
                    kOfflineDataLength);
    }
    if (readLogs) {
        ReadLogs(driver, command, attributeReply + kReplyHeadLength, position);
    }
    AskReturnStatus(driver, command, position);
}

// The drive's own verdict, after everything else it was asked: a drive
// that refuses it, or answers in registers a bridge garbled, has none.
void DriveInventory::AskReturnStatus(SmartDriver& driver, SmartCommandRecord* command,
                                     int position) {
    if (!readReturnStatus) {
        return;
    }
    uint8_t reply[kReturnStatusReplyLength];
    std::memset(reply, 0, sizeof reply);
    uint32_t returned = 0;
    if (SendReturnStatus(driver, device, command, reply, position, &returned)) {
        selfAssessment[position] = DecodeReturnStatus(reply, returned);
    }
}

void DriveInventory::ReadLogs(SmartDriver& driver, SmartCommandRecord* command,
                              const uint8_t* smartData, int position) {
    // What the drive says it keeps: the SMART data's error logging and
    // self-test capabilities, or the feature words that report SMART error
    // logging and self-tests.
    const IdentifyData& identify = entries[position].Identify;
    const bool errorLog = (smartData[370] & 0x01) || FeatureWordsSay(identify, 0x01);
    const bool selfTestLog = OffersSelfTests(smartData[367], identify);
    SmartLogBlocks* blocks = new SmartLogBlocks();
    uint8_t reply[kStatisticsReplyLength];
    // A log the drive will not give is left out, which is no error.
    std::memset(reply, 0, kDataReplyLength);
    blocks->hasErrorLog =
        errorLog && ReadSmartLog(driver, device, command, reply, kSummaryErrorLog, position);
    std::memcpy(blocks->errorLog, reply + kReplyHeadLength, kSectorLength);
    std::memset(reply, 0, kDataReplyLength);
    blocks->hasSelfTestLog =
        selfTestLog && ReadSmartLog(driver, device, command, reply, kSelfTestLog, position);
    std::memcpy(blocks->selfTestLog, reply + kReplyHeadLength, kSectorLength);
    // The directory says which other logs the drive keeps, and how many
    // pages each has: the Device Statistics log is read only where it is
    // listed, all its pages (up to the eight that are named) at once.
    std::memset(reply, 0, kDataReplyLength);
    blocks->hasDirectory = ReadSmartLog(driver, device, command, reply, kLogDirectory, position);
    std::memcpy(blocks->directory, reply + kReplyHeadLength, kSectorLength);
    const uint16_t listed =
        blocks->hasDirectory
            ? static_cast<uint16_t>(blocks->directory[2 * kDeviceStatisticsLog] |
                                    (blocks->directory[2 * kDeviceStatisticsLog + 1] << 8))
            : 0;
    const uint16_t most = kMaxStatisticsPages;
    const uint8_t pages = static_cast<uint8_t>(listed < most ? listed : most);
    std::memset(reply, 0, kReplyHeadLength + pages * kSectorLength);
    if (pages > 0 && ReadDeviceStatistics(driver, device, command, reply, pages, position)) {
        blocks->statisticsPages = pages;
        std::memcpy(blocks->statistics, reply + kReplyHeadLength, pages * kSectorLength);
    }
    if (!blocks->hasErrorLog && !blocks->hasSelfTestLog && !blocks->hasDirectory) {
        delete blocks;
        return;
    }
    logs[position] = blocks;
}

void DriveInventory::StartSelfTest(SmartDriver& driver, SmartCommandRecord* command, int position) {
    const DriveEntry& entry = entries[position];
    if (!startSelfTest || entry.DriveNumber < 0) {
        return;  // no ATA drive here
    }
    SelfTestStart& start = selfTestStart[position];
    if (entry.IsPacketDevice) {
        start = SelfTestStart::kNotOffered;
        return;
    }
    if (!hasOfflineData[position]) {
        start = SelfTestStart::kNoSmartData;
        return;
    }
    // A reply that fails its checks says nothing true about the drive's
    // self-test state: no routine, abort included, is sent on its word.
    if (smartDataCheck[position] == BlockCheck::kFailed ||
        FirstRepeatedAttributeId(attributes[position], attributeCount[position]) != 0) {
        start = SelfTestStart::kUntrustedData;
        return;
    }
    const AtaSelfTestStatus status = DecodeAtaSelfTest(offlineData[position], entry.Identify);
    if (!AtaOffersSelfTest(status, selfTestKind)) {
        start = SelfTestStart::kNotOffered;
        return;
    }
    if (status.running && selfTestKind != SelfTestKind::kAbort) {
        start = SelfTestStart::kRunning;
        return;
    }
    const uint8_t routine = SelfTestRoutine(selfTestKind);
    bool accepted = false;
    if (IsPassThroughSelfTestRoutine(routine)) {
        if (IsWindows9x(driver)) {
            start = SelfTestStart::kNotOnWindows9x;
            return;
        }
        accepted = PassSelfTest(driver, device, routine);
    } else {
        uint8_t reply[kReplyHeadLength];
        std::memset(reply, 0, sizeof reply);
        accepted = SendSelfTest(driver, device, command, reply, routine, position) &&
                   reply[kDriverErrorOffset] == 0;
    }
    start = accepted ? SelfTestStart::kStarted : SelfTestStart::kRefused;
}

void DriveInventory::StartNvmeSelfTest(SmartDriver& driver, const NvmeController& identity,
                                       int position) {
    if (!startSelfTest) {
        return;
    }
    SelfTestStart& start = selfTestStart[position];
    const NvmeReplies& replies = *nvme[position];
    // NVMe has no conveyance test.
    if (!identity.selfTests || selfTestKind == SelfTestKind::kConveyance) {
        start = SelfTestStart::kNotOffered;
        return;
    }
    if (!nvmeSelfTests) {
        start = SelfTestStart::kNotOnThisSystem;
        return;
    }
    if (!replies.hasSelfTestLog) {
        start = SelfTestStart::kNoSmartData;
        return;
    }
    if (NvmeSelfTestRunning(DecodeNvmeSelfTestLog(replies.selfTestLog)) &&
        selfTestKind != SelfTestKind::kAbort) {
        start = SelfTestStart::kRunning;
        return;
    }
    const uint8_t code = NvmeSelfTestCode(selfTestKind);
    uint8_t record[kProtocolCommandLength];
    BuildNvmeSelfTestCommand(code, record);
    uint32_t returned = 0;
    const bool accepted = driver.IoControl(device, kStorageProtocolCommand, record, sizeof record,
                                           record, sizeof record, &returned) != 0 &&
                          returned >= kProtocolCommandHead &&
                          Word32(record + kProtocolCommandReturnStatus) == kProtocolStatusSuccess;
    start = accepted ? SelfTestStart::kStarted : SelfTestStart::kRefused;
}

void DriveInventory::ScanWindows9x(SmartDriver& driver) {
    ResetInventory();
    if (OpenSmartVxd(driver) != 0) {
        return;
    }
    std::memset(versions, 0, sizeof versions);
    if (!QueryVersion(driver, device, &versions[0])) {
        driver.Close(device);
        return;
    }
    const uint8_t map = versions[0].bIDEDeviceMap;
    uint8_t mask = 0;
    ScanBuffers buffers;
    uint32_t returned = 0;
    for (int position = 0; position < kDrivePositions; ++position) {
        const bool present = (map >> position) & 1;
        const bool packet = (map >> (position + 4)) & 1;
        if (!present || packet || (chooseDevices && !chosen[position])) {
            continue;
        }
        std::memset(&buffers, 0, sizeof buffers);
        if (SendEnableSmart(driver, device, &buffers.command, buffers.reply, position, &returned)) {
            ++driveCount;
            entries[position].Found = 1;
            mask = static_cast<uint8_t>(mask | (1u << position));
        }
        std::memset(&buffers, 0, sizeof buffers);
        if (SendIdentify(driver, device, &buffers.command, buffers.reply, kAtaIdentifyDevice,
                         position, &returned)) {
            StoreIdentify(buffers.reply + kReplyHeadLength, &buffers.command, kAtaIdentifyDevice,
                          mask, position);
        }
    }
    // The SMART reads reuse the command record as the last IDENTIFY left it;
    // each read rewrites every byte it sets.
    for (int position = 0; position < kDrivePositions; ++position) {
        if (mask & (1u << position)) {
            ReadAttributeTables(driver, &buffers.command, position);
        }
        StartSelfTest(driver, &buffers.command, position);
    }
    driver.Close(device);
}

void DriveInventory::ScanWindowsNt(SmartDriver& driver) {
    ResetInventory();
    uint64_t mask = 0;
    ScanBuffers buffers;
    std::memset(&buffers, 0, sizeof buffers);
    uint32_t returned = 0;
    const int positions =
        scanPositions < 1
            ? 1
            : (scanPositions > kMaxDrivePositions ? kMaxDrivePositions : scanPositions);
    int gap = 0;
    for (int position = 0; position < positions; ++position) {
        if (chooseDevices && !chosen[position]) {
            continue;
        }
        if (OpenPhysicalDrive(driver, position) != 0) {
            // The numbers have run out, not just skipped a removed disk.
            const uint32_t error = openError[position];
            const bool absent =
                error == 0 || error == kErrorFileNotFound || error == kErrorPathNotFound;
            gap = absent ? gap + 1 : 0;
            if (gap == kOpenGapLimit && !chooseDevices) {
                break;
            }
            continue;
        }
        gap = 0;
        ++driveCount;
        entries[position].Found = 1;
        if (readPowerMode) {
            // Before anything that would spin a sleeping disk up.
            powerModeCount[position] = AskPowerMode(driver, device);
            if (powerModeCount[position] >= 0 && !wakeStandby &&
                DecodePowerMode(static_cast<uint8_t>(powerModeCount[position])) ==
                    PowerMode::kStandby) {
                asleep[position] = true;
                driver.Close(device);
                continue;
            }
        }
        std::memset(&versions[position], 0, sizeof versions[position]);
        if (!QueryVersion(driver, device, &versions[position])) {
            ReadNvmeData(driver, position);
            driver.Close(device);
            continue;
        }
        // Each physical drive reports itself as bit 0 of its own map.
        const uint8_t map = versions[position].bIDEDeviceMap;
        if (map & 0x01) {
            const bool packet = (map & 0x10) != 0;
            if (!packet) {
                std::memset(&buffers, 0, sizeof buffers);
                if (SendEnableSmart(driver, device, &buffers.command, buffers.reply, position,
                                    &returned)) {
                    mask |= uint64_t(1) << position;
                }
            }
            const uint8_t identify = packet ? kAtaIdentifyPacketDevice : kAtaIdentifyDevice;
            std::memset(&buffers, 0, sizeof buffers);
            if (SendIdentify(driver, device, &buffers.command, buffers.reply, identify, position,
                             &returned)) {
                StoreIdentify(buffers.reply + kReplyHeadLength, &buffers.command, identify, mask,
                              position);
            }
        }
        if ((mask >> position) & 1u) {
            ReadAttributeTables(driver, &buffers.command, position);
        }
        StartSelfTest(driver, &buffers.command, position);
        ReadNvmeData(driver, position);
        driver.Close(device);
    }
}

void DriveInventory::ReadNvmeData(SmartDriver& driver, int position) {
    if (!readNvme || entries[position].DriveNumber >= 0) {
        return;
    }
    NvmeReplies* replies = new NvmeReplies();
    // Identify Controller, Identify Namespace (a drive may refuse it), then
    // the health log; without the first or the last there is nothing to show.
    const bool controller =
        QueryNvme(driver, device, IdentifyControllerQuery(), replies->controller);
    replies->hasNamespace =
        controller && QueryNvme(driver, device, IdentifyNamespaceQuery(), replies->nameSpace);
    if (!controller || !QueryNvme(driver, device, HealthLogQuery(), replies->health)) {
        delete replies;
        return;
    }
    nvme[position] = replies;
    const NvmeController identity = DecodeNvmeController(replies->controller);
    // The self-test log, only where the controller has self-tests.
    replies->hasSelfTestLog =
        identity.selfTests && QueryNvme(driver, device, SelfTestLogQuery(), replies->selfTestLog);
    StartNvmeSelfTest(driver, identity, position);
    // The position holds a drive, whose identity texts every accessor reads
    // where an ATA drive's are, so that the drive list names both alike.
    DriveEntry& entry = entries[position];
    entry.DriveNumber = position;
    StoreNvmeText(entry.Identify.bytes + kSerialOffset, identity.serial, kSerialWidth);
    StoreNvmeText(entry.Identify.bytes + kFirmwareOffset, identity.firmware, kFirmwareWidth);
    StoreNvmeText(entry.Identify.bytes + kModelOffset, identity.model, kModelWidth);
}
