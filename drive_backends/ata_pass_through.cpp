#include "drive_backends/ata_pass_through.h"

#include <cstring>

#include "inventory/smart_driver.h"

namespace {

// Byte 1: PROTOCOL in bits 4-1.
const uint8_t kProtocolNonData = 3 << 1;
const uint8_t kProtocolPioDataIn = 4 << 1;
// Byte 2. SMART ENABLE OPERATIONS returns nothing but the drive's status,
// so CK_COND asks for the ATA registers back even on success. The reads do
// without it: behind AHCI a PIO read with CK_COND comes back as ABORTED
// COMMAND with DRQ still set although the block arrived whole; their
// success shows as GOOD status and the full block. They read from the
// device (T_DIR), counting in blocks (BYT_BLOK) taken from COUNT (T_LENGTH 2).
const uint8_t kCheckCondition = 0x20;
const uint8_t kBlockFromDevice = 0x08 | 0x04 | 0x02;
// DEVICE: the obsolete bits set as ATA-1 wanted them. The master/slave bit
// stays clear: the device node already names one drive, and choosing the
// drive is the translation layer's business.
const uint8_t kDevice = 0xA0;

struct Allowed {
    uint32_t ioControlCode;
    uint8_t command;
    uint8_t feature;  // 0 where the command has no sub-command
    bool smartSignature;
    AtaTransfer transfer;
    uint8_t logAddress = 1;  // LBA 7:0: SMART READ LOG's log, 1 for the rest
    // COUNT: 0 where the caller's count is not looked at and 1 is sent;
    // otherwise the count the caller must have asked for, and is sent.
    uint8_t pages = 0;
    // Sent only by a run that starts or stops self-tests (--self-test);
    // never by a reading.
    bool selfTest = false;
};

const uint32_t kReadLog = kSmartRcvDriveData;
const AtaTransfer kIn = AtaTransfer::kFromDevice;
const AtaTransfer kNone = AtaTransfer::kNone;

const Allowed kAllowed[] = {
    {kSmartSendDriveCommand, kAtaSmart, kSmartEnableOperations, true, AtaTransfer::kNone},
    // The drive's own verdict, which comes back in LBA mid and high.
    {kSmartSendDriveCommand, kAtaSmart, kSmartReturnStatus, true, AtaTransfer::kNone},
    {kSmartRcvDriveData, kAtaIdentifyDevice, 0, false, AtaTransfer::kFromDevice},
    {kSmartRcvDriveData, kAtaIdentifyPacketDevice, 0, false, AtaTransfer::kFromDevice},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadData, true, AtaTransfer::kFromDevice},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadThresholds, true, AtaTransfer::kFromDevice},
    // The summary error log and the self-test log, and no other log.
    {kSmartRcvDriveData, kAtaSmart, kSmartReadLog, true, AtaTransfer::kFromDevice,
     kSummaryErrorLog},
    {kSmartRcvDriveData, kAtaSmart, kSmartReadLog, true, AtaTransfer::kFromDevice, kSelfTestLog},
    // The log directory, one page; the Device Statistics log, pages 0 to
    // n - 1 in one read, n as the directory gives it, at most eight.
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kLogDirectory, 1},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 1},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 2},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 3},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 4},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 5},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 6},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 7},
    {kReadLog, kAtaSmart, kSmartReadLog, true, kIn, kDeviceStatisticsLog, 8},
    // Asks the power mode without changing it: a drive in standby answers
    // from its interface and does not spin up.
    {kAtaPassThroughControl, kAtaCheckPowerMode, 0, false, AtaTransfer::kNone},
    // EXECUTE OFF-LINE IMMEDIATE of the short and extended self-tests
    // through SMART_SEND_DRIVE_COMMAND, and of conveyance and abort through
    // the ATA pass-through, as Windows' disk driver takes them: the
    // background routines alone, never the captive ones or the off-line
    // data collection.
    {kSmartSendDriveCommand, kAtaSmart, kSmartExecuteOffline, true, kNone, 0x01, 0, true},
    {kSmartSendDriveCommand, kAtaSmart, kSmartExecuteOffline, true, kNone, 0x02, 0, true},
    {kAtaPassThroughControl, kAtaSmart, kSmartExecuteOffline, true, kNone, 0x03, 0, true},
    {kAtaPassThroughControl, kAtaSmart, kSmartExecuteOffline, true, kNone, 0x7F, 0, true},
};

void Fill(const Allowed& allowed, PassThroughCommand* out) {
    PassThroughCommand command;
    std::memset(&command, 0, sizeof command);
    uint8_t* cdb = command.cdb;
    cdb[0] = kAtaPassThrough16;
    const bool data = allowed.transfer == AtaTransfer::kFromDevice;
    cdb[1] = data ? kProtocolPioDataIn : kProtocolNonData;
    cdb[2] = data ? kBlockFromDevice : kCheckCondition;
    cdb[4] = allowed.feature;
    // COUNT: the one block, and what the Windows SMART records carry; LBA
    // 7:0 as their sector number (SMART READ LOG's log address, EXECUTE
    // OFF-LINE IMMEDIATE's routine). CHECK POWER MODE uses neither, a
    // self-test no count.
    const bool powerMode = allowed.command == kAtaCheckPowerMode;
    cdb[6] = powerMode || allowed.selfTest ? 0 : (allowed.pages != 0 ? allowed.pages : 1);
    cdb[8] = powerMode ? 0 : allowed.logAddress;
    cdb[10] = allowed.smartSignature ? kSmartCylLow : 0;
    cdb[12] = allowed.smartSignature ? kSmartCylHigh : 0;
    cdb[13] = kDevice;
    cdb[14] = allowed.command;
    command.transfer = allowed.transfer;
    command.transferLength = data ? static_cast<uint32_t>(kSectorLength) * cdb[6] : 0u;
    *out = command;
}

bool Matches(const Allowed& allowed, uint32_t ioControlCode, const IdeRegs& regs, bool selfTests) {
    if (ioControlCode != allowed.ioControlCode || regs.bCommandReg != allowed.command ||
        (allowed.selfTest && !selfTests)) {
        return false;
    }
    if (!allowed.smartSignature) {
        return true;
    }
    const bool addressed =
        allowed.feature == kSmartReadLog || allowed.feature == kSmartExecuteOffline;
    return regs.bFeaturesReg == allowed.feature && regs.bCylLowReg == kSmartCylLow &&
           regs.bCylHighReg == kSmartCylHigh &&
           (!addressed || regs.bSectorNumberReg == allowed.logAddress) &&
           (allowed.pages == 0 || regs.bSectorCountReg == allowed.pages);
}

uint8_t SenseKey(const uint8_t* sense, uint32_t length) {
    if (length < 3) {
        return 0xFF;
    }
    const uint8_t code = sense[0] & 0x7F;
    if (code == 0x72 || code == 0x73) {
        return sense[1] & 0x0F;
    }
    return sense[2] & 0x0F;
}

// Additional sense code and qualifier, as one 16-bit value.
uint16_t SenseCode(const uint8_t* sense, uint32_t length) {
    const uint8_t code = sense[0] & 0x7F;
    if ((code == 0x72 || code == 0x73) && length >= 4) {
        return static_cast<uint16_t>(sense[2] << 8 | sense[3]);
    }
    if ((code == 0x70 || code == 0x71) && length >= 14) {
        return static_cast<uint16_t>(sense[12] << 8 | sense[13]);
    }
    return 0xFFFF;
}

const uint16_t kPassThroughInformationAvailable = 0x001D;
const uint8_t kSenseNoSense = 0x0;
const uint8_t kSenseRecoveredError = 0x1;

const uint8_t kScsiGood = 0x00;
const uint8_t kScsiCheckCondition = 0x02;
const uint16_t kDriverSense = 0x08;  // only says that sense data follows

const uint8_t kAtaBusy = 0x80;
const uint8_t kAtaDeviceFault = 0x20;
const uint8_t kAtaErr = 0x01;

}  // namespace

bool BuildPassThrough(uint32_t ioControlCode, const IdeRegs& regs, PassThroughCommand* command,
                      bool selfTests) {
    for (const Allowed& allowed : kAllowed) {
        if (Matches(allowed, ioControlCode, regs, selfTests)) {
            Fill(allowed, command);
            return true;
        }
    }
    return false;
}

bool IsPermittedPassThrough(const PassThroughCommand& command, bool selfTests) {
    for (const Allowed& allowed : kAllowed) {
        if (allowed.selfTest && !selfTests) {
            continue;
        }
        PassThroughCommand expected;
        Fill(allowed, &expected);
        if (std::memcmp(expected.cdb, command.cdb, kPassThroughCdbLength) == 0 &&
            expected.transfer == command.transfer &&
            expected.transferLength == command.transferLength) {
            return true;
        }
    }
    return false;
}

AtaStatusReturn FindAtaStatus(const uint8_t* sense, uint32_t senseLength) {
    AtaStatusReturn found;
    if (sense == nullptr || senseLength < 8) {
        return found;
    }
    const uint8_t code = sense[0] & 0x7F;
    if (code == 0x72 || code == 0x73) {
        uint32_t end = 8u + sense[7];
        if (end > senseLength) {
            end = senseLength;
        }
        uint32_t at = 8;
        while (at + 2 <= end) {
            const uint32_t length = 2u + sense[at + 1];
            if (sense[at] == 0x09 && length >= 14 && at + 14 <= end) {
                found.present = true;
                found.error = sense[at + 3];
                found.count = sense[at + 5];
                found.lbaMid = sense[at + 9];
                found.lbaHigh = sense[at + 11];
                found.status = sense[at + 13];
                return found;
            }
            at += length;
        }
        return found;
    }
    // Fixed format holds the registers in INFORMATION only when it says so.
    if ((code == 0x70 || code == 0x71) &&
        SenseCode(sense, senseLength) == kPassThroughInformationAvailable) {
        found.present = true;
        found.error = sense[3];
        found.status = sense[4];
        found.count = sense[6];
        found.lbaMid = sense[10];
        found.lbaHigh = sense[11];
    }
    return found;
}

bool PassThroughSucceeded(const PassThroughCommand& command, const PassThroughReply& reply) {
    if (reply.hostStatus != 0 || (reply.driverStatus & ~kDriverSense) != 0) {
        return false;
    }
    const uint32_t senseLength = reply.sense ? reply.senseLength : 0;
    if (reply.scsiStatus == kScsiCheckCondition) {
        if (senseLength == 0) {
            return false;
        }
        const uint8_t key = SenseKey(reply.sense, senseLength);
        if ((key != kSenseNoSense && key != kSenseRecoveredError) ||
            SenseCode(reply.sense, senseLength) != kPassThroughInformationAvailable) {
            return false;
        }
    } else if (reply.scsiStatus != kScsiGood) {
        return false;
    }
    const AtaStatusReturn ata = FindAtaStatus(reply.sense, senseLength);
    if (ata.present && (ata.status & (kAtaBusy | kAtaDeviceFault | kAtaErr)) != 0) {
        return false;
    }
    return command.transfer == AtaTransfer::kNone || reply.residual == 0;
}
