#include "inventory/drive_inventory.h"

#include <cstdio>
#include <cstring>

DriveInventory::DriveInventory() {
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        attributes[position] = nullptr;
        nvme[position] = nullptr;
        logs[position] = nullptr;
        chosen[position] = false;
        upperIdentify[position] = nullptr;
    }
    ResetInventory();
}

DriveInventory::~DriveInventory() {
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        delete[] attributes[position];
        delete nvme[position];
        delete logs[position];
        delete upperIdentify[position];
    }
}

void DriveInventory::ResetInventory() {
    driveCount = 0;
    device = nullptr;
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        attributeCount[position] = 0;
        attributeRevision[position] = 0;
        thresholdRevision[position] = 0;
        smartDataRevision[position] = 0;
        thresholdsUnknown[position] = false;
        identifyCheck[position] = smartDataCheck[position] = thresholdsCheck[position] =
            BlockCheck::kAbsent;
        openError[position] = 0;
        powerModeCount[position] = kPowerModeNotAsked;
        asleep[position] = false;
        selfTestStart[position] = SelfTestStart::kNotAsked;
        hasOfflineData[position] = false;
        selfAssessment[position] = SelfAssessment::kNone;
        std::memset(&versions[position], 0, sizeof versions[position]);
        std::memset(&entries[position], 0, sizeof entries[position]);
        entries[position].DriveNumber = -1;
        delete[] attributes[position];
        attributes[position] = nullptr;
        delete nvme[position];
        nvme[position] = nullptr;
        delete logs[position];
        logs[position] = nullptr;
        delete upperIdentify[position];
        upperIdentify[position] = nullptr;
    }
}

int DriveInventory::OpenSmartVxd(SmartDriver& driver) {
    device = nullptr;
    device = driver.Open("\\\\.\\SMARTVSD", 0, 0, kCreateNew);
    return device == VANTREL_INVALID_DEVICE ? 1 : 0;
}

int DriveInventory::OpenPhysicalDrive(SmartDriver& driver, int position) {
    device = nullptr;
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", position);
    uint32_t error = 0;
    device = driver.Open(name, kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite,
                         kOpenExisting, &error);
    if (device == VANTREL_INVALID_DEVICE && position >= 0 && position < kMaxDrivePositions) {
        openError[position] = error;
    }
    return device == VANTREL_INVALID_DEVICE ? 2 : 0;
}

int DriveInventory::GetDriveCount() const {
    return driveCount;
}

bool DriveInventory::GetDriveEntry(DriveEntry* entry, int position) const {
    if (position < 0 || position >= kMaxDrivePositions || entries[position].DriveNumber == -1) {
        return false;
    }
    *entry = entries[position];
    return true;
}

void DriveInventory::StoreIdentify(const uint8_t* replyData, const SmartCommandRecord* command,
                                   uint8_t commandByte, uint64_t smartMask, int position) {
    DriveEntry& entry = entries[position];
    if (commandByte != kAtaIdentifyDevice) {
        entry.DriveNumber = position;
        entry.IsPacketDevice = 1;
        return;
    }
    entry.DriveNumber = position;
    entry.IsPacketDevice = 0;
    identifyCheck[position] = CheckIdentifyBlock(replyData);
    if ((smartMask >> position) & 1u) {
        entry.SmartEnabled = 1;
    }
    std::memcpy(entry.Identify.bytes, replyData, sizeof entry.Identify.bytes);
    if (keepUpperIdentify) {
        delete upperIdentify[position];
        upperIdentify[position] = new IdentifyData;
        std::memcpy(upperIdentify[position]->bytes, replyData + sizeof entry.Identify.bytes,
                    sizeof upperIdentify[position]->bytes);
    }
    entry.IdeRegisters = command->irDriveRegs;
    char* text = reinterpret_cast<char*>(entry.Identify.bytes);
    SwapBytePairs(text + kSerialOffset, kSerialWidth);
    SwapBytePairs(text + kFirmwareOffset, kFirmwareWidth);
    SwapBytePairs(text + kModelOffset, kModelWidth);
}
