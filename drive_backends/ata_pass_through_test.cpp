#include "drive_backends/ata_pass_through.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "inventory/smart_driver.h"

namespace {

IdeRegs Regs(uint8_t command, uint8_t features = 0, uint8_t cylLow = 0, uint8_t cylHigh = 0) {
    IdeRegs regs;
    std::memset(&regs, 0, sizeof regs);
    regs.bFeaturesReg = features;
    regs.bSectorCountReg = 1;
    regs.bSectorNumberReg = 1;
    regs.bCylLowReg = cylLow;
    regs.bCylHighReg = cylHigh;
    regs.bDriveHeadReg = 0xA0;
    regs.bCommandReg = command;
    return regs;
}

IdeRegs Smart(uint8_t feature) {
    return Regs(0xB0, feature, 0x4F, 0xC2);
}

// SMART READ LOG of a log address, count pages.
IdeRegs LogRead(uint8_t logAddress, uint8_t count = 1) {
    IdeRegs regs = Smart(0xD5);
    regs.bSectorNumberReg = logAddress;
    regs.bSectorCountReg = count;
    return regs;
}

std::vector<uint8_t> Cdb(const PassThroughCommand& command) {
    return std::vector<uint8_t>(command.cdb, command.cdb + 16);
}

// The CDBs below are written out from the SAT layout of ATA PASS-THROUGH
// (16): opcode, PROTOCOL, CK_COND/T_DIR/BYT_BLOK/T_LENGTH, FEATURES,
// COUNT, LBA low/mid/high, DEVICE, COMMAND.

TEST(PassThroughBuildTest, SmartEnableIsNonDataWithItsSignature) {
    PassThroughCommand command;
    ASSERT_TRUE(BuildPassThrough(kSmartSendDriveCommand, Smart(0xD8), &command));
    const std::vector<uint8_t> expected = {0x85, 3 << 1, 0x20, 0, 0xD8, 0,    1,    0,
                                           1,    0,      0x4F, 0, 0xC2, 0xA0, 0xB0, 0};
    EXPECT_EQ(expected, Cdb(command));
    EXPECT_EQ(AtaTransfer::kNone, command.transfer);
    EXPECT_EQ(0u, command.transferLength);
    // RETURN STATUS likewise: its answer is in the registers CK_COND returns.
    ASSERT_TRUE(BuildPassThrough(kSmartSendDriveCommand, Smart(0xDA), &command));
    const std::vector<uint8_t> status = {0x85, 3 << 1, 0x20, 0, 0xDA, 0,    1,    0,
                                         1,    0,      0x4F, 0, 0xC2, 0xA0, 0xB0, 0};
    EXPECT_EQ(status, Cdb(command));
    EXPECT_EQ(AtaTransfer::kNone, command.transfer);
}

TEST(PassThroughBuildTest, IdentifyDeviceReadsOneBlockFromTheDrive) {
    PassThroughCommand command;
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, Regs(0xEC), &command));
    const std::vector<uint8_t> expected = {0x85, 4 << 1, 0x0E, 0, 0, 0,    1,    0,
                                           1,    0,      0,    0, 0, 0xA0, 0xEC, 0};
    EXPECT_EQ(expected, Cdb(command));
    EXPECT_EQ(AtaTransfer::kFromDevice, command.transfer);
    EXPECT_EQ(512u, command.transferLength);
}

TEST(PassThroughBuildTest, IdentifyPacketDevice) {
    PassThroughCommand command;
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, Regs(0xA1), &command));
    EXPECT_EQ(0xA1, command.cdb[14]);
    EXPECT_EQ(0x0E, command.cdb[2]);
    EXPECT_EQ(AtaTransfer::kFromDevice, command.transfer);
}

TEST(PassThroughBuildTest, SmartReadDataAndThresholds) {
    PassThroughCommand command;
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, Smart(0xD0), &command));
    const std::vector<uint8_t> data = {0x85, 4 << 1, 0x0E, 0, 0xD0, 0,    1,    0,
                                       1,    0,      0x4F, 0, 0xC2, 0xA0, 0xB0, 0};
    EXPECT_EQ(data, Cdb(command));
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, Smart(0xD1), &command));
    EXPECT_EQ(0xD1, command.cdb[4]);
    EXPECT_EQ(0xB0, command.cdb[14]);
    EXPECT_EQ(512u, command.transferLength);
}

// The caller's other registers never reach the drive: the CDB of a command
// with an odd sector count or drive/head is the canonical one.
TEST(PassThroughBuildTest, OtherRegistersAreNotPassedOn) {
    IdeRegs regs = Smart(0xD0);
    regs.bSectorCountReg = 0xFF;
    regs.bSectorNumberReg = 0x80;
    regs.bDriveHeadReg = 0xFF;
    regs.bReserved = 0x55;
    PassThroughCommand odd;
    PassThroughCommand plain;
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, regs, &odd));
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, Smart(0xD0), &plain));
    EXPECT_EQ(Cdb(plain), Cdb(odd));
}

struct Refused {
    const char* what;
    uint32_t code;
    IdeRegs regs;
};

std::vector<Refused> RefusedCommands() {
    const uint32_t send = kSmartSendDriveCommand;
    const uint32_t receive = kSmartRcvDriveData;
    return {
        {"WRITE SECTOR(S)", send, Regs(0x30)},
        {"WRITE SECTOR(S) as a read", receive, Regs(0x30)},
        {"WRITE DMA", send, Regs(0xCA)},
        {"WRITE MULTIPLE", send, Regs(0xC5)},
        {"WRITE SECTOR(S) EXT", send, Regs(0x34)},
        {"READ SECTOR(S)", receive, Regs(0x20)},
        {"SMART EXECUTE OFF-LINE (self-test)", send, Smart(0xD4)},
        {"SMART EXECUTE OFF-LINE as a read", receive, Smart(0xD4)},
        {"SMART WRITE LOG", send, Smart(0xD6)},
        {"SMART READ LOG of two pages of the log directory", receive, LogRead(0x00, 2)},
        {"SMART READ LOG of no Device Statistics page", receive, LogRead(0x04, 0)},
        {"SMART READ LOG of nine Device Statistics pages", receive, LogRead(0x04, 9)},
        {"SMART READ LOG of the Device Statistics as a send", send, LogRead(0x04)},
        {"SMART READ LOG of the comprehensive error log", receive, LogRead(0x02)},
        {"SMART READ LOG of the selective self-test log", receive, LogRead(0x09)},
        {"SMART READ LOG of a vendor's log", receive, LogRead(0x80)},
        {"SMART READ LOG of the error log as a send", send, LogRead(0x01)},
        {"SMART DISABLE OPERATIONS", send, Smart(0xD9)},
        {"SMART ENABLE/DISABLE AUTOSAVE", send, Smart(0xD2)},
        {"SMART RETURN STATUS as a read", receive, Smart(0xDA)},
        {"SMART RETURN STATUS without signature", send, Regs(0xB0, 0xDA)},
        {"SMART ENABLE/DISABLE AUTO OFFLINE", send, Smart(0xDB)},
        {"SMART ENABLE without signature", send, Regs(0xB0, 0xD8)},
        {"SMART READ DATA with half a signature", receive, Regs(0xB0, 0xD0, 0x4F, 0x00)},
        {"SMART ENABLE as a read", receive, Smart(0xD8)},
        {"SMART READ DATA as a send", send, Smart(0xD0)},
        {"IDENTIFY DEVICE as a send", send, Regs(0xEC)},
        {"SECURITY SET PASSWORD", send, Regs(0xF1)},
        {"SECURITY ERASE UNIT", send, Regs(0xF4)},
        {"SECURITY FREEZE LOCK", send, Regs(0xF5)},
        {"SECURITY DISABLE PASSWORD", send, Regs(0xF6)},
        {"STANDBY IMMEDIATE", send, Regs(0xE0)},
        {"SLEEP", send, Regs(0xE6)},
        {"IDLE IMMEDIATE", send, Regs(0xE1)},
        {"CHECK POWER MODE", receive, Regs(0xE5)},
        {"SET FEATURES", send, Regs(0xEF, 0x02)},
        {"SET MAX ADDRESS", send, Regs(0xF9)},
        {"DOWNLOAD MICROCODE", send, Regs(0x92)},
        {"DEVICE CONFIGURATION", send, Regs(0xB1, 0xC3)},
        {"DATA SET MANAGEMENT (TRIM)", send, Regs(0x06, 0x01)},
        {"SMART ENABLE through GET_VERSION", kSmartGetVersion, Smart(0xD8)},
        {"IDENTIFY through another control", 0x4D014, Regs(0xEC)},
    };
}

TEST(PassThroughBuildTest, EverythingElseIsRefused) {
    for (const Refused& refused : RefusedCommands()) {
        PassThroughCommand command;
        std::memset(&command, 0xEE, sizeof command);
        EXPECT_FALSE(BuildPassThrough(refused.code, refused.regs, &command)) << refused.what;
        EXPECT_EQ(0xEE, command.cdb[0]) << refused.what << ": command was touched";
    }
}

TEST(PassThroughBuildTest, EveryFeatureButTheThreeIsRefusedForSmart) {
    for (int feature = 0; feature < 256; ++feature) {
        PassThroughCommand command;
        const bool send = BuildPassThrough(kSmartSendDriveCommand,
                                           Smart(static_cast<uint8_t>(feature)), &command);
        const bool receive =
            BuildPassThrough(kSmartRcvDriveData, Smart(static_cast<uint8_t>(feature)), &command);
        EXPECT_EQ(feature == 0xD8 || feature == 0xDA, send) << "feature " << feature;
        // The log read of Smart()'s sector number 1: the summary error log.
        EXPECT_EQ(feature == 0xD0 || feature == 0xD1 || feature == 0xD5, receive)
            << "feature " << feature;
    }
}

TEST(PassThroughBuildTest, OnlyIdentifyAndSmartCommandsAreBuilt) {
    for (int opcode = 0; opcode < 256; ++opcode) {
        PassThroughCommand command;
        const bool built =
            BuildPassThrough(kSmartRcvDriveData, Regs(static_cast<uint8_t>(opcode)), &command);
        EXPECT_EQ(opcode == 0xEC || opcode == 0xA1, built) << "command " << opcode;
    }
}

// SMART READ LOG: a PIO read, the log address in LBA 7:0, the pages in
// COUNT. Over every log address and every count: the summary error log and
// the self-test log (one block, whatever count was asked), the log
// directory (one page) and pages 0 to n - 1 of the Device Statistics log
// (n from 1 to 8); nothing else.
TEST(PassThroughBuildTest, OnlyTheWhitelistedLogsAreRead) {
    for (int address = 0; address < 256; ++address) {
        for (int count = 0; count < 256; ++count) {
            PassThroughCommand command;
            const IdeRegs regs =
                LogRead(static_cast<uint8_t>(address), static_cast<uint8_t>(count));
            const bool built = BuildPassThrough(kSmartRcvDriveData, regs, &command);
            const bool due = address == 0x01 || address == 0x06 ||
                             (address == 0x00 && count == 1) ||
                             (address == 0x04 && count >= 1 && count <= 8);
            ASSERT_EQ(due, built) << "log " << address << " count " << count;
            if (!built) {
                continue;
            }
            const uint8_t pages = address == 0x04 ? static_cast<uint8_t>(count) : 1;
            const std::vector<uint8_t> expected = {
                0x85, 4 << 1, 0x0E, 0,    0xD5, 0,    pages, 0, static_cast<uint8_t>(address),
                0,    0x4F,   0,    0xC2, 0xA0, 0xB0, 0};
            EXPECT_EQ(expected, Cdb(command));
            EXPECT_EQ(512u * pages, command.transferLength);
            EXPECT_TRUE(IsPermittedPassThrough(command));
            PassThroughCommand other = command;
            other.cdb[8] = 0x02;
            EXPECT_FALSE(IsPermittedPassThrough(other));
            // A count that the transfer length does not match.
            other = command;
            other.transferLength += 512;
            EXPECT_FALSE(IsPermittedPassThrough(other));
        }
    }
    PassThroughCommand nine;
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, LogRead(0x04, 8), &nine));
    nine.cdb[6] = 9;
    nine.transferLength = 9 * 512;
    EXPECT_FALSE(IsPermittedPassThrough(nine));
}

// CHECK POWER MODE: non-data, CK_COND for the registers, no count or LBA;
// only through the ATA pass-through control, never through a SMART one.
TEST(PassThroughBuildTest, CheckPowerModeAsksForTheRegistersBack) {
    PassThroughCommand command;
    ASSERT_TRUE(BuildPassThrough(kAtaPassThroughControl, Regs(0xE5), &command));
    const std::vector<uint8_t> expected = {0x85, 3 << 1, 0x20, 0, 0, 0,    0,    0,
                                           0,    0,      0,    0, 0, 0xA0, 0xE5, 0};
    EXPECT_EQ(expected, Cdb(command));
    EXPECT_EQ(AtaTransfer::kNone, command.transfer);
    EXPECT_TRUE(IsPermittedPassThrough(command));
    for (const uint32_t code : {kSmartSendDriveCommand, kSmartRcvDriveData}) {
        EXPECT_FALSE(BuildPassThrough(code, Regs(0xE5), &command)) << code;
    }
    for (int opcode = 0; opcode < 256; ++opcode) {
        EXPECT_EQ(opcode == 0xE5, BuildPassThrough(kAtaPassThroughControl,
                                                   Regs(static_cast<uint8_t>(opcode)), &command))
            << "command " << opcode;
    }
}

// EXECUTE OFF-LINE IMMEDIATE, over every value of LBA low in both modes:
// a reading builds none; a self-test run builds the short and extended
// routines through SMART_SEND_DRIVE_COMMAND and conveyance and abort
// through the pass-through control, each non-data with CK_COND, and no
// other routine (no captive one, no off-line data collection). A CDB built
// for a self-test run is never permitted in a reading.
TEST(PassThroughBuildTest, SelfTestRoutinesOnlyInASelfTestRun) {
    for (int routine = 0; routine < 256; ++routine) {
        IdeRegs regs = Smart(0xD4);
        regs.bSectorNumberReg = static_cast<uint8_t>(routine);
        for (const bool selfTests : {false, true}) {
            for (const uint32_t code :
                 {kSmartSendDriveCommand, kSmartRcvDriveData, kAtaPassThroughControl}) {
                const bool due =
                    selfTests &&
                    ((code == kSmartSendDriveCommand && (routine == 1 || routine == 2)) ||
                     (code == kAtaPassThroughControl && (routine == 3 || routine == 0x7F)));
                PassThroughCommand command;
                ASSERT_EQ(due, BuildPassThrough(code, regs, &command, selfTests))
                    << routine << " " << code << " " << selfTests;
                if (!due) {
                    continue;
                }
                const std::vector<uint8_t> expected = {
                    0x85, 3 << 1, 0x20, 0,    0xD4, 0,    0, 0, uint8_t(routine),
                    0,    0x4F,   0,    0xC2, 0xA0, 0xB0, 0};
                EXPECT_EQ(expected, Cdb(command)) << routine;
                EXPECT_EQ(AtaTransfer::kNone, command.transfer);
                EXPECT_TRUE(IsPermittedPassThrough(command, true));
                EXPECT_FALSE(IsPermittedPassThrough(command, false)) << routine;
            }
        }
    }
}

TEST(PassThroughPermitTest, BuiltCommandsArePermittedAndAlteredOnesAreNot) {
    PassThroughCommand command;
    ASSERT_TRUE(BuildPassThrough(kSmartRcvDriveData, Smart(0xD0), &command));
    EXPECT_TRUE(IsPermittedPassThrough(command));
    for (int byte = 0; byte < 16; ++byte) {
        PassThroughCommand altered = command;
        altered.cdb[byte] ^= 0x40;  // 0x01 would turn READ DATA into READ THRESHOLDS
        EXPECT_FALSE(IsPermittedPassThrough(altered)) << "byte " << byte;
    }
    PassThroughCommand longer = command;
    longer.transferLength = 1024;
    EXPECT_FALSE(IsPermittedPassThrough(longer));
    PassThroughCommand enable;
    ASSERT_TRUE(BuildPassThrough(kSmartSendDriveCommand, Smart(0xD8), &enable));
    EXPECT_TRUE(IsPermittedPassThrough(enable));
    enable.transfer = AtaTransfer::kFromDevice;
    EXPECT_FALSE(IsPermittedPassThrough(enable));
    PassThroughCommand write = command;
    write.cdb[14] = 0x30;
    EXPECT_FALSE(IsPermittedPassThrough(write));
}

// Descriptor-format sense with an ATA Status Return descriptor, as a
// translation layer answers a command sent with CK_COND.
std::vector<uint8_t> DescriptorSense(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t error,
                                     uint8_t status) {
    return {0x72,  key, asc, ascq, 0, 0, 0,    14, 0x09, 0x0C, 0,
            error, 0,   1,   0,    1, 0, 0x4F, 0,  0xC2, 0xA0, status};
}

PassThroughReply Reply(uint8_t scsiStatus, const std::vector<uint8_t>& sense) {
    PassThroughReply reply;
    reply.scsiStatus = scsiStatus;
    reply.hostStatus = 0;
    reply.driverStatus = sense.empty() ? 0 : 0x08;
    reply.sense = sense.data();
    reply.senseLength = static_cast<uint32_t>(sense.size());
    reply.residual = 0;
    return reply;
}

PassThroughCommand ReadData() {
    PassThroughCommand command;
    BuildPassThrough(kSmartRcvDriveData, Smart(0xD0), &command);
    return command;
}

TEST(PassThroughSenseTest, InformationAvailableWithGoodAtaStatusSucceeds) {
    const std::vector<uint8_t> sense = DescriptorSense(0x01, 0x00, 0x1D, 0x00, 0x50);
    EXPECT_TRUE(PassThroughSucceeded(ReadData(), Reply(0x02, sense)));
    const AtaStatusReturn ata = FindAtaStatus(sense.data(), static_cast<uint32_t>(sense.size()));
    EXPECT_TRUE(ata.present);
    EXPECT_EQ(0x50, ata.status);
}

TEST(PassThroughSenseTest, GoodStatusWithoutSenseSucceeds) {
    EXPECT_TRUE(PassThroughSucceeded(ReadData(), Reply(0x00, {})));
}

TEST(PassThroughSenseTest, AtaErrorFails) {
    // ABORTED COMMAND carrying ERR and ABRT: a drive that refused the command.
    EXPECT_FALSE(PassThroughSucceeded(ReadData(),
                                      Reply(0x02, DescriptorSense(0x0B, 0x00, 0x00, 0x04, 0x51))));
    // ERR set even under the information-available code.
    EXPECT_FALSE(PassThroughSucceeded(ReadData(),
                                      Reply(0x02, DescriptorSense(0x01, 0x00, 0x1D, 0x04, 0x51))));
    // Device fault, and a drive still busy.
    EXPECT_FALSE(PassThroughSucceeded(ReadData(),
                                      Reply(0x02, DescriptorSense(0x01, 0x00, 0x1D, 0x00, 0x70))));
    EXPECT_FALSE(PassThroughSucceeded(ReadData(),
                                      Reply(0x02, DescriptorSense(0x01, 0x00, 0x1D, 0x00, 0xD0))));
}

TEST(PassThroughSenseTest, OtherCheckConditionsFail) {
    // INVALID COMMAND OPERATION CODE: a bridge that knows no ATA pass-through.
    EXPECT_FALSE(PassThroughSucceeded(
        ReadData(), Reply(0x02, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00})));
    EXPECT_FALSE(
        PassThroughSucceeded(ReadData(), Reply(0x02, {0x72, 0x05, 0x24, 0x00, 0, 0, 0, 0})));
    // CHECK CONDITION with no sense at all.
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), Reply(0x02, {})));
    // BUSY and RESERVATION CONFLICT.
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), Reply(0x08, {})));
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), Reply(0x18, {})));
}

TEST(PassThroughSenseTest, FixedFormatInformationAvailable) {
    // INFORMATION holds ERROR, STATUS, DEVICE, COUNT.
    std::vector<uint8_t> good = {0x70, 0, 0x01, 0x00, 0x50, 0xA0, 0x01, 10, 0, 0, 0, 0, 0x00, 0x1D};
    EXPECT_TRUE(PassThroughSucceeded(ReadData(), Reply(0x02, good)));
    std::vector<uint8_t> error = good;
    error[3] = 0x04;
    error[4] = 0x51;
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), Reply(0x02, error)));
}

// The count register comes back in either sense format: byte 5 of the ATA
// Status Return descriptor, byte 6 of fixed-format sense.
TEST(PassThroughSenseTest, CountIsFoundInBothSenseFormats) {
    const std::vector<uint8_t> descriptor = {0x72, 0x01, 0x00, 0x1D, 0,    0,    0, 14,
                                             0x09, 0x0C, 0x00, 0x00, 0x00, 0x80, 0, 0,
                                             0,    0x11, 0,    0x22, 0xA0, 0x50};
    const std::vector<uint8_t> fixed = {0x70, 0, 0x01, 0x00, 0x50, 0xA0, 0xFF,
                                        10,   0, 0,    0x33, 0x44, 0x00, 0x1D};
    const AtaStatusReturn a = FindAtaStatus(descriptor.data(), 22);
    ASSERT_TRUE(a.present);
    EXPECT_EQ(0x80, a.count);
    EXPECT_EQ(0x50, a.status);
    const AtaStatusReturn b = FindAtaStatus(fixed.data(), 14);
    ASSERT_TRUE(b.present);
    EXPECT_EQ(0xFF, b.count);
    EXPECT_EQ(0x50, b.status);
    // LBA 15:8 and 23:16, where SMART RETURN STATUS answers: descriptor
    // bytes 9 and 11 (bytes 8 and 10 hold LBA 39:32 and 47:40), fixed-format
    // bytes 10 and 11 of COMMAND-SPECIFIC INFORMATION.
    EXPECT_EQ(0x11, a.lbaMid);
    EXPECT_EQ(0x22, a.lbaHigh);
    EXPECT_EQ(0x33, b.lbaMid);
    EXPECT_EQ(0x44, b.lbaHigh);
}

TEST(PassThroughSenseTest, TransportFailuresFail) {
    PassThroughReply reply = Reply(0x00, {});
    reply.hostStatus = 0x03;  // DID_TIME_OUT
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), reply));
    reply = Reply(0x00, {});
    reply.driverStatus = 0x06;  // DRIVER_TIMEOUT
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), reply));
}

TEST(PassThroughSenseTest, ShortDataTransferFails) {
    PassThroughReply reply = Reply(0x00, {});
    reply.residual = 512;
    EXPECT_FALSE(PassThroughSucceeded(ReadData(), reply));
    PassThroughCommand enable;
    ASSERT_TRUE(BuildPassThrough(kSmartSendDriveCommand, Smart(0xD8), &enable));
    reply.residual = 0;
    EXPECT_TRUE(PassThroughSucceeded(enable, reply));
}

TEST(PassThroughSenseTest, TruncatedDescriptorIsNotRead) {
    std::vector<uint8_t> sense = DescriptorSense(0x01, 0x00, 0x1D, 0x04, 0x51);
    const AtaStatusReturn cut = FindAtaStatus(sense.data(), 20);
    EXPECT_FALSE(cut.present);
}

}  // namespace
