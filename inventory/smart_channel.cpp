#include "inventory/smart_channel.h"

#include <cstring>

namespace {

// The drive/head register selects master (0xA0) or slave (0xB0) by the
// position's low bit, whatever the family.
uint8_t DriveHeadFor(int position) {
    return static_cast<uint8_t>(0xA0 | ((position & 1) << 4));
}

// The sector number is 1 but for SMART READ LOG, where it is the log
// address; the sector count is 1 but for a log read of several pages.
void FillCommand(SmartCommandRecord* command, uint32_t bufferSize, uint8_t features, uint8_t cylLow,
                 uint8_t cylHigh, uint8_t commandByte, int position, uint8_t sectorNumber = 1,
                 uint8_t sectorCount = 1) {
    command->cBufferSize = bufferSize;
    command->irDriveRegs.bFeaturesReg = features;
    command->irDriveRegs.bSectorCountReg = sectorCount;
    command->irDriveRegs.bSectorNumberReg = sectorNumber;
    command->irDriveRegs.bCylLowReg = cylLow;
    command->irDriveRegs.bCylHighReg = cylHigh;
    command->irDriveRegs.bDriveHeadReg = DriveHeadFor(position);
    command->irDriveRegs.bCommandReg = commandByte;
    command->bDriveNumber = static_cast<uint8_t>(position);
}

int ReadSmartBlock(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                   uint8_t* reply, uint8_t feature, int position, uint8_t logAddress = 1,
                   uint8_t blocks = 1) {
    FillCommand(command, blocks * kSectorLength, feature, kSmartCylLow, kSmartCylHigh, kAtaSmart,
                position, logAddress, blocks);
    uint32_t returned = 0;
    return driver.IoControl(device, kSmartRcvDriveData, command, kCommandInputLength, reply,
                            kReplyHeadLength + blocks * kSectorLength, &returned);
}

}  // namespace

bool IsWindows9x(SmartDriver& driver) {
    return driver.PlatformId() == kPlatformWindows9x;
}

int SendEnableSmart(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                    uint8_t* reply, int position, uint32_t* bytesReturned) {
    FillCommand(command, 0, kSmartEnableOperations, kSmartCylLow, kSmartCylHigh, kAtaSmart,
                position);
    return driver.IoControl(device, kSmartSendDriveCommand, command, kCommandInputLength, reply,
                            kReplyHeadLength, bytesReturned);
}

int SendIdentify(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                 uint8_t* reply, uint8_t commandByte, int position, uint32_t* bytesReturned) {
    FillCommand(command, kSectorLength, 0, 0, 0, commandByte, position);
    return driver.IoControl(device, kSmartRcvDriveData, command, kCommandInputLength, reply,
                            kDataReplyLength, bytesReturned);
}

int ReadSmartAttributes(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                        uint8_t* reply, int position) {
    return ReadSmartBlock(driver, device, command, reply, kSmartReadData, position);
}

int ReadSmartThresholds(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                        uint8_t* reply, int position) {
    return ReadSmartBlock(driver, device, command, reply, kSmartReadThresholds, position);
}

int ReadSmartLog(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                 uint8_t* reply, uint8_t logAddress, int position) {
    return ReadSmartBlock(driver, device, command, reply, kSmartReadLog, position, logAddress);
}

int ReadDeviceStatistics(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                         uint8_t* reply, uint8_t pages, int position) {
    return ReadSmartBlock(driver, device, command, reply, kSmartReadLog, position,
                          kDeviceStatisticsLog, pages);
}

int SendSelfTest(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                 uint8_t* reply, uint8_t routine, int position) {
    FillCommand(command, 0, kSmartExecuteOffline, kSmartCylLow, kSmartCylHigh, kAtaSmart, position,
                routine);
    uint32_t returned = 0;
    return driver.IoControl(device, kSmartSendDriveCommand, command, kCommandInputLength, reply,
                            kReplyHeadLength, &returned);
}

int SendReturnStatus(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                     uint8_t* reply, int position, uint32_t* bytesReturned) {
    FillCommand(command, 0, kSmartReturnStatus, kSmartCylLow, kSmartCylHigh, kAtaSmart, position);
    return driver.IoControl(device, kSmartSendDriveCommand, command, kCommandInputLength, reply,
                            kReturnStatusReplyLength, bytesReturned);
}

SelfAssessment DecodeReturnStatus(const uint8_t* reply, uint32_t returned) {
    // DRIVERSTATUS.bDriverError: the drive's refusal, whatever registers follow.
    const uint32_t driverError = 4;
    if (returned < kReturnStatusReplyLength || reply[driverError] != 0) {
        return SelfAssessment::kNone;
    }
    IdeRegs regs;
    std::memcpy(&regs, reply + kReplyHeadLength, sizeof regs);
    if (regs.bCylLowReg == kSmartCylLow && regs.bCylHighReg == kSmartCylHigh) {
        return SelfAssessment::kPassed;
    }
    if (regs.bCylLowReg == kSmartFailedCylLow && regs.bCylHighReg == kSmartFailedCylHigh) {
        return SelfAssessment::kFailed;
    }
    return SelfAssessment::kNone;
}
