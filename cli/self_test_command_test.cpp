#include "cli/self_test_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/synthetic_capture.h"
#include "cli/report_command.h"
#include "drive_backends/emulated_driver.h"
#include "inventory/ata_pass_through_record.h"

namespace {

// A drive whose SMART data offers what `capabilities` (byte 367) says, with
// the last self-test's status (byte 363) and the polling times.
DriveCapture Tester(uint8_t capabilities, uint8_t status = 0x00) {
    DriveCapture capture = MakeCapture("TESTER", "T-1", "F1");
    capture.smartData[363] = status;
    capture.smartData[367] = capabilities;
    capture.smartData[372] = 2;     // short
    capture.smartData[373] = 0xFF;  // extended: see 375-376
    capture.smartData[374] = 5;     // conveyance
    capture.smartData[375] = 0x01;
    capture.smartData[376] = 0x02;  // 513 minutes
    SealSmartBlocks(&capture);
    return capture;
}

// The self-test routines the scan sent, as "send 01" (SMART_SEND_DRIVE_COMMAND)
// or "pass 7F" (the ATA pass-through).
std::vector<std::string> RoutinesSent(const EmulatedDriver& driver) {
    std::vector<std::string> sent;
    for (const DriverCall& call : driver.Calls()) {
        char text[16] = "";
        if (call.kind != DriverCall::kIoControl) {
            continue;
        }
        if (call.code == kSmartSendDriveCommand && call.input[4] == kSmartExecuteOffline) {
            std::snprintf(text, sizeof text, "send %02X", call.input[6]);
        } else if (call.code == kAtaPassThroughControl &&
                   call.input[call.inputLength - 8 + kTaskFileCommand] == kAtaSmart) {
            std::snprintf(text, sizeof text, "pass %02X",
                          call.input[call.inputLength - 8 + kTaskFileLbaLow]);
        }
        if (text[0]) {
            sent.push_back(text);
        }
    }
    return sent;
}

// What each disk's self-test came to, and exactly what reached it: the
// drive's offer, a test already running, standby with and without --wake,
// the two ways Windows carries the routines, Windows 9x, a drive that
// claims more than it takes, one without SMART data.
TEST(SelfTestCommandTest, EachDiskGetsItsLineAndOnlyWhatItShould) {
    const uint8_t kOffers = 0x11;  // off-line immediate, self-tests
    const uint8_t kConveyance = 0x31;
    const struct {
        const char* what;
        uint32_t platform;
        DriveCapture drive;
        SelfTestKind kind;
        bool wake;
        const char* line;
        bool refused;
        std::vector<std::string> sent;
    } cases[] = {
        {"short",
         kPlatformWindowsNt,
         Tester(kOffers),
         SelfTestKind::kShort,
         false,
         "D: short self-test started (about 2 minutes)\n",
         false,
         {"send 01"}},
        {"extended, time in 375-376",
         kPlatformWindowsNt,
         Tester(kOffers),
         SelfTestKind::kExtended,
         false,
         "D: extended self-test started (about 513 minutes)\n",
         false,
         {"send 02"}},
        {"conveyance",
         kPlatformWindowsNt,
         Tester(kConveyance),
         SelfTestKind::kConveyance,
         false,
         "D: conveyance self-test started (about 5 minutes)\n",
         false,
         {"pass 03"}},
        {"conveyance not offered",
         kPlatformWindowsNt,
         Tester(kOffers),
         SelfTestKind::kConveyance,
         false,
         "D: not started: the drive offers no conveyance self-test\n",
         false,
         {}},
        {"no self-tests",
         kPlatformWindowsNt,
         Tester(0x01),
         SelfTestKind::kShort,
         false,
         "D: not started: the drive offers no self-test\n",
         false,
         {}},
        {"running",
         kPlatformWindowsNt,
         Tester(kOffers, 0xF4),
         SelfTestKind::kShort,
         false,
         "D: not started: a self-test is running, 40% remaining\n",
         false,
         {}},
        {"abort a running one",
         kPlatformWindowsNt,
         Tester(kOffers, 0xF4),
         SelfTestKind::kAbort,
         false,
         "D: self-test aborted\n",
         false,
         {"pass 7F"}},
        {"abort with none running",
         kPlatformWindowsNt,
         Tester(kOffers),
         SelfTestKind::kAbort,
         false,
         "D: abort sent (no self-test was running)\n",
         false,
         {"pass 7F"}},
        {"Windows 9x short",
         kPlatformWindows9x,
         Tester(kOffers),
         SelfTestKind::kShort,
         false,
         "D: short self-test started (about 2 minutes)\n",
         false,
         {"send 01"}},
        {"Windows 9x conveyance",
         kPlatformWindows9x,
         Tester(kConveyance),
         SelfTestKind::kConveyance,
         false,
         "D: not started: Windows 9x's SMART driver carries short and extended self-tests only\n",
         false,
         {}},
        {"Windows 9x abort",
         kPlatformWindows9x,
         Tester(kOffers, 0xF4),
         SelfTestKind::kAbort,
         false,
         "D: not sent: Windows 9x's SMART driver carries short and extended self-tests only\n",
         false,
         {}},
        {"no SMART data",
         kPlatformWindowsNt,
         MakeCapture("BARE", "B", "F"),
         SelfTestKind::kShort,
         false,
         "D: not started: its SMART data could not be read\n",
         false,
         {}},
    };
    for (const auto& c : cases) {
        DriveCapture drive = c.drive;
        if (std::string(c.what) == "no SMART data") {
            drive.hasSmartData = false;
        }
        EmulatedDriver driver(c.platform);
        driver.InsertDrive(0, drive);
        DriveInventory inventory;
        inventory.readPowerMode = c.platform == kPlatformWindowsNt;
        inventory.startSelfTest = true;
        inventory.selfTestKind = c.kind;
        inventory.wakeStandby = c.wake;
        inventory.ScanDrives(driver);
        const SelfTestLine line = DescribeSelfTest(inventory, 0, "D", c.kind);
        EXPECT_EQ(c.line, line.text) << c.what;
        EXPECT_EQ(c.refused, line.refused) << c.what;
        EXPECT_EQ(c.sent, RoutinesSent(driver)) << c.what;
    }
}

// A disk in standby is sent nothing, not even the question whether a test
// runs, unless --wake; a drive that claims self-tests only in IDENTIFY
// (words 84/87 bit 1) and refuses them is said to have refused.
TEST(SelfTestCommandTest, StandbyIsLeftAloneAndARefusalIsSaid) {
    for (const bool wake : {false, true}) {
        DriveCapture sleeper = Tester(0x11);
        sleeper.SetPowerMode(0x00);
        EmulatedDriver driver(kPlatformWindowsNt);
        driver.InsertDrive(0, sleeper);
        DriveInventory inventory;
        inventory.readPowerMode = true;
        inventory.startSelfTest = true;
        inventory.wakeStandby = wake;
        inventory.ScanDrives(driver);
        EXPECT_EQ(wake ? "D: short self-test started (about 2 minutes)\n"
                       : "D: not started: in standby (--wake starts it anyway)\n",
                  DescribeSelfTest(inventory, 0, "D", SelfTestKind::kShort).text);
        EXPECT_EQ(wake ? std::vector<std::string>{"send 01"} : std::vector<std::string>{},
                  RoutinesSent(driver));
    }
    DriveCapture claimer = Tester(0x01);
    SetIdentifyWord(&claimer, 84, 0x4002);
    EmulatedDriver driver(kPlatformWindowsNt);
    driver.InsertDrive(0, claimer);
    DriveInventory inventory;
    inventory.startSelfTest = true;
    inventory.ScanDrives(driver);
    const SelfTestLine line = DescribeSelfTest(inventory, 0, "D", SelfTestKind::kShort);
    EXPECT_EQ("D: short self-test refused by the drive\n", line.text);
    EXPECT_TRUE(line.refused);
}

std::unique_ptr<SmartDriver> MachineForSelfTests(std::string*, DriverUse use) {
    // A reading's driver is never asked to start a test.
    EXPECT_EQ(DriverUse::kSelfTests, use);
    std::unique_ptr<EmulatedDriver> machine(new EmulatedDriver(kPlatformWindowsNt));
    machine->InsertDrive(0, Tester(0x11));
    DriveCapture claimer = Tester(0x01);
    SetIdentifyWord(&claimer, 84, 0x4002);
    machine->InsertDrive(2, claimer);
    DriveCapture sleeper = Tester(0x11);
    sleeper.SetPowerMode(0x00);
    machine->InsertDrive(3, sleeper);
    return std::unique_ptr<SmartDriver>(machine.release());
}

struct SelfTestRun {
    int status;
    std::string out;
    std::string err;
};

SelfTestRun RunSelfTest(const std::vector<std::string>& args) {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    SelfTestRun run;
    run.status = RunReportCommand(args, out, err, MachineForSelfTests);
    for (FILE* stream : {out, err}) {
        std::string& text = stream == out ? run.out : run.err;
        std::rewind(stream);
        for (int c; (c = std::fgetc(stream)) != EOF;) {
            text.push_back(static_cast<char>(c));
        }
        std::fclose(stream);
    }
    return run;
}

// The exit status: 1 only where a drive refused a command sent to it;
// asleep or refused before sending is no failure; usage errors are 2.
TEST(SelfTestCommandTest, ExitStatusCountsOnlyRefusedCommands) {
    SelfTestRun all = RunSelfTest({"--self-test", "short"});
    EXPECT_EQ(1, all.status) << all.err;
    EXPECT_EQ(
        "\\\\.\\PhysicalDrive0: short self-test started (about 2 minutes)\n"
        "\\\\.\\PhysicalDrive2: short self-test refused by the drive\n"
        "\\\\.\\PhysicalDrive3: not started: in standby (--wake starts it anyway)\n",
        all.out);
    SelfTestRun chosen = RunSelfTest({"--self-test=long", "--device", "0", "--device", "3"});
    EXPECT_EQ(0, chosen.status) << chosen.err;
    EXPECT_EQ(
        "\\\\.\\PhysicalDrive0: extended self-test started (about 513 minutes)\n"
        "\\\\.\\PhysicalDrive3: not started: in standby (--wake starts it anyway)\n",
        chosen.out);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--self-test", "captive"},
          std::vector<std::string>{"--self-test"},
          std::vector<std::string>{"--self-test", "short", "--json"},
          std::vector<std::string>{"--self-test", "short", "--output", "x"},
          std::vector<std::string>{"--self-test", "short", "--save", "."}}) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        EXPECT_EQ(kExitUsage, RunReportCommand(args, out, err, MachineForSelfTests)) << args.size();
        std::fclose(out);
        std::fclose(err);
    }
}

}  // namespace
