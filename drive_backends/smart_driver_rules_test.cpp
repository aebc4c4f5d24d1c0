#include "drive_backends/smart_driver_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capture/synthetic_capture.h"
#include "inventory/ata_pass_through_record.h"

namespace {

// A driver on 64-bit Windows takes CHECK POWER MODE from a 32-bit program
// in the 40-byte record and from a 64-bit one in the 48-byte record, and
// answers each in its own layout; the other layout, or a length that is
// neither, is refused. A caller of unknown bitness is this build's own.
TEST(SmartDriverRulesTest, AtaPassThroughAnswersInTheCallersLayout) {
    std::vector<DriveBay> bays(kDriveBays);
    DriveCapture sleeper = MakeCapture("SLEEPER", "S", "F");
    sleeper.SetPowerMode(0x80);  // idle
    bays[1].present = true;
    bays[1].data = &sleeper;

    uint8_t question32[sizeof(AtaPassThroughRecord32) + 8];
    uint8_t question64[sizeof(AtaPassThroughRecord64) + 8];
    AtaPassThroughRecord32 record32;
    AtaPassThroughRecord64 record64;
    BuildCheckPowerMode(&record32);
    BuildCheckPowerMode(&record64);
    std::memset(question32, 0, sizeof question32);
    std::memset(question64, 0, sizeof question64);
    std::memcpy(question32, &record32, sizeof record32);
    std::memcpy(question64, &record64, sizeof record64);
    const uint32_t kNativeLength = sizeof(AtaPassThroughRecord);
    const uint8_t* native = kNativeLength == 40 ? question32 : question64;

    const struct {
        CallerBits caller;
        const uint8_t* question;
        uint32_t length;
        uint32_t answered;  // 0: refused
        size_t countOffset;
    } cases[] = {
        {CallerBits::k32, question32, 40, 40, offsetof(AtaPassThroughRecord32, CurrentTaskFile)},
        {CallerBits::k64, question64, 48, 48, offsetof(AtaPassThroughRecord64, CurrentTaskFile)},
        {CallerBits::k32, question64, 48, 0, 0},
        {CallerBits::k64, question32, 40, 0, 0},
        {CallerBits::k32, question32, 44, 0, 0},
        {CallerBits::k64, question64, 44, 0, 0},
        {CallerBits::k32, question32, 39, 0, 0},
        {CallerBits::k64, question64, 56, 0, 0},
        {CallerBits::kNative, native, kNativeLength, kNativeLength, kNativeLength - 8},
        {CallerBits::kNative, native == question32 ? question64 : question32, 88 - kNativeLength, 0,
         0},
    };
    for (const auto& c : cases) {
        uint8_t answer[64];
        std::memset(answer, 0xEE, sizeof answer);
        uint32_t returned = 0;
        const int ok =
            AnswerIoControl(bays.data(), 1, kGenericRead | kGenericWrite, kAtaPassThroughControl,
                            c.question, c.length, answer, sizeof answer, &returned, c.caller);
        SCOPED_TRACE(testing::Message()
                     << "caller " << static_cast<int>(c.caller) << ", " << c.length << " bytes");
        ASSERT_EQ(c.answered != 0, ok != 0);
        if (!ok) {
            continue;
        }
        EXPECT_EQ(c.answered, returned);
        // The question comes back with the drive's registers where the
        // caller's layout keeps them, and nothing is written past it.
        EXPECT_EQ(0, std::memcmp(answer, c.question, c.countOffset));
        const uint8_t registers[8] = {0, 0x80, 0, 0, 0, 0xA0, kAtaStatusDriveReady, 0};
        EXPECT_EQ(0, std::memcmp(answer + c.countOffset, registers, sizeof registers));
        EXPECT_EQ(0xEE, answer[c.answered]);
    }

    // A 32-bit caller's question in a buffer too short for its answer.
    uint8_t small[39];
    uint32_t returned = 0;
    EXPECT_EQ(0,
              AnswerIoControl(bays.data(), 1, kGenericRead | kGenericWrite, kAtaPassThroughControl,
                              question32, 40, small, sizeof small, &returned, CallerBits::k32));
}

// EXECUTE OFF-LINE IMMEDIATE for routine, as SMART_SEND_DRIVE_COMMAND takes it.
SmartCommandRecord SelfTestCommand(uint8_t routine) {
    SmartCommandRecord command;
    std::memset(&command, 0, sizeof command);
    command.irDriveRegs = {kSmartExecuteOffline, 0,    routine,   kSmartCylLow,
                           kSmartCylHigh,        0xA0, kAtaSmart, 0};
    return command;
}

// EXECUTE OFF-LINE IMMEDIATE as Windows' disk driver carries it: routines
// 00h to 02h through SMART_SEND_DRIVE_COMMAND, where a drive's refusal
// comes back in the reply's driver status; 03h (conveyance) and 7Fh (abort)
// through the ATA pass-through, in the caller's layout, with the refusal in
// the returned status. Nothing else goes either way. The drive takes what
// its SMART data offers: here every self-test but conveyance.
TEST(SmartDriverRulesTest, SelfTestRoutinesGoTheWayWindowsCarriesThem) {
    std::vector<DriveBay> bays(kDriveBays);
    DriveCapture drive = MakeCapture("TESTER", "T", "F");
    drive.smartData[367] = 0x11;  // off-line immediate and self-tests, no conveyance
    bays[0].present = true;
    bays[0].data = &drive;
    const uint32_t readWrite = kGenericRead | kGenericWrite;
    for (int routine = 0; routine < 256; ++routine) {
        const SmartCommandRecord command = SelfTestCommand(uint8_t(routine));
        uint8_t reply[kReplyHeadLength];
        uint32_t returned = 0;
        const int sent =
            AnswerIoControl(bays.data(), 0, readWrite, kSmartSendDriveCommand, &command,
                            kCommandInputLength, reply, sizeof reply, &returned);
        EXPECT_EQ(routine <= 2, sent != 0) << routine;
        if (sent) {
            EXPECT_EQ(0, reply[4]) << routine;  // offered: no driver error
        }
        for (const CallerBits caller : {CallerBits::k32, CallerBits::k64}) {
            uint8_t question[48];
            uint32_t length = 0;
            if (caller == CallerBits::k32) {
                AtaPassThroughRecord32 record;
                BuildSmartSelfTest(&record, uint8_t(routine));
                std::memcpy(question, &record, length = sizeof record);
            } else {
                AtaPassThroughRecord64 record;
                BuildSmartSelfTest(&record, uint8_t(routine));
                std::memcpy(question, &record, length = sizeof record);
            }
            uint8_t answer[48];
            returned = 0;
            const int passed = AnswerIoControl(bays.data(), 0, readWrite, kAtaPassThroughControl,
                                               question, length, answer, length, &returned, caller);
            EXPECT_EQ(routine == 0x03 || routine == 0x7F, passed != 0) << routine;
            if (passed) {
                ASSERT_EQ(length, returned);
                const uint8_t status = answer[length - 8 + kTaskFileCommand];
                const uint8_t error = answer[length - 8 + kTaskFileFeatures];
                // Conveyance is not offered: ABORTED, with ERR set.
                EXPECT_EQ(routine == 0x03, (status & kAtaStatusError) != 0) << routine;
                EXPECT_EQ(routine == 0x03 ? kAtaErrorAborted : 0, error) << routine;
            }
        }
    }
    // A drive without self-tests refuses the short one: the control
    // succeeds and its driver status carries the drive's ABORTED.
    drive.smartData[367] = 0x01;
    const SmartCommandRecord command = SelfTestCommand(0x01);
    uint8_t reply[kReplyHeadLength];
    uint32_t returned = 0;
    ASSERT_NE(0, AnswerIoControl(bays.data(), 0, readWrite, kSmartSendDriveCommand, &command,
                                 kCommandInputLength, reply, sizeof reply, &returned));
    EXPECT_EQ(1, reply[4]);
    EXPECT_EQ(kAtaErrorAborted, reply[5]);
    // A handle opened for reading alone is refused, as for every command.
    EXPECT_EQ(0, AnswerIoControl(bays.data(), 0, kGenericRead, kSmartSendDriveCommand, &command,
                                 kCommandInputLength, reply, sizeof reply, &returned));
}

}  // namespace
