#include "cli/self_test_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "capture/synthetic_capture.h"
#include "cli/report_command.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"

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

// An NVMe controller that offers self-tests or not (OACS bit 4), with an
// extended test of 30 minutes (EDSTT) and a Device Self-test log whose
// current operation and completion are given, and results (code << 4 |
// result, newest first).
DriveCapture NvmeTester(bool offers, uint8_t operation = 0, uint8_t completion = 0,
                        std::initializer_list<uint8_t> results = {}) {
    DriveCapture capture;
    capture.hasNvmeController = capture.hasNvmeHealth = true;
    std::memcpy(capture.nvmeController + 4, "NV-1", 4);
    std::memcpy(capture.nvmeController + 24, "NVME TESTER", 11);
    capture.nvmeController[256] = offers ? 0x10 : 0x00;
    capture.nvmeController[316] = 30;
    capture.nvmeHealth[1] = 0x2C;  // 300 K
    capture.nvmeHealth[2] = 0x01;
    capture.hasNvmeSelfTestLog = offers;
    capture.nvmeSelfTestLog[0] = operation;
    capture.nvmeSelfTestLog[1] = completion;
    for (int i = 0; i < 20; ++i) {
        uint8_t* entry = capture.nvmeSelfTestLog + 4 + 28 * i;
        entry[0] = 0x0F;  // unused
        if (i < static_cast<int>(results.size())) {
            entry[0] = results.begin()[i];
            entry[1] = 3;     // segment
            entry[4] = 0xD2;  // 1234 hours
            entry[5] = 0x04;
        }
    }
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
        } else if (call.code == kStorageProtocolCommand) {
            std::snprintf(text, sizeof text, "nvme %X", call.input[kProtocolCommandHead + 40]);
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

DriveCapture Sleeper() {
    DriveCapture capture = Tester(0x11);
    capture.SetPowerMode(0x00);
    return capture;
}

// Self-tests claimed by IDENTIFY (words 84/87 bit 1) alone, which the drive
// then refuses.
DriveCapture Claimer() {
    DriveCapture capture = Tester(0x01);
    SetIdentifyWord(&capture, 84, 0x4002);
    return capture;
}

// SMART data that cannot be trusted: a checksum that fails, and the all-FFh
// block of a confused bridge, which sums to 0 and seems to run a test.
DriveCapture BadChecksum() {
    DriveCapture capture = Tester(0x11, 0xF4);
    capture.smartData[511] ^= 0x01;
    return capture;
}

DriveCapture AllOnes() {
    DriveCapture capture = Tester(0x11);
    std::memset(capture.smartData, 0xFF, sizeof capture.smartData);
    return capture;
}

DriveCapture WithoutSmartData() {
    DriveCapture capture = MakeCapture("BARE", "B", "F");
    capture.hasSmartData = false;
    return capture;
}

// What each disk's self-test came to, and exactly what reached it: the
// drive's offer, a test already running, standby with and without --wake,
// the two ways Windows carries the routines, Windows 9x, a drive that
// claims more than it takes, one without SMART data, NVMe controllers.
TEST(SelfTestCommandTest, EachDiskGetsItsLineAndOnlyWhatItShould) {
    const uint8_t kOffers = 0x11;  // off-line immediate, self-tests
    const uint8_t kConveyance = 0x31;
    const uint32_t kNt = kPlatformWindowsNt;
    const uint32_t k9x = kPlatformWindows9x;
    const SelfTestKind kShort = SelfTestKind::kShort;
    const SelfTestKind kLong = SelfTestKind::kExtended;
    const SelfTestKind kAbort = SelfTestKind::kAbort;
    const SelfTestKind kConvey = SelfTestKind::kConveyance;
    const std::string only9x =
        "Windows 9x's SMART driver carries short and extended self-tests only\n";
    const struct {
        const char* what;
        uint32_t platform;
        DriveCapture drive;
        SelfTestKind kind;
        bool wake;
        std::string line;
        bool refused;
        std::vector<std::string> sent;
    } cases[] = {
        // clang-format off
        {"short", kNt, Tester(kOffers), kShort, false,
         "D: short self-test started (about 2 minutes)\n", false, {"send 01"}},
        {"extended, time in 375-376", kNt, Tester(kOffers), kLong, false,
         "D: extended self-test started (about 513 minutes)\n", false, {"send 02"}},
        {"conveyance", kNt, Tester(kConveyance), kConvey, false,
         "D: conveyance self-test started (about 5 minutes)\n", false, {"pass 03"}},
        {"conveyance not offered", kNt, Tester(kOffers), kConvey, false,
         "D: not started: the drive offers no conveyance self-test\n", false, {}},
        {"no self-tests", kNt, Tester(0x01), kShort, false,
         "D: not started: the drive offers no self-test\n", false, {}},
        {"running", kNt, Tester(kOffers, 0xF4), kShort, false,
         "D: not started: a self-test is running, 40% remaining\n", false, {}},
        {"running, more than all of it left", kNt, Tester(kOffers, 0xFF), kShort, false,
         "D: not started: a self-test is running, 100% remaining (the drive reported 150% "
         "remaining)\n", false, {}},
        {"abort, SMART data checksum fails", kNt, BadChecksum(), kAbort, false,
         "D: not sent: its SMART data failed its checks\n", false, {}},
        {"short, SMART data checksum fails", kNt, BadChecksum(), kShort, false,
         "D: not started: its SMART data failed its checks\n", false, {}},
        {"abort, all-FFh SMART data", kNt, AllOnes(), kAbort, false,
         "D: not sent: its SMART data failed its checks\n", false, {}},
        {"abort a running one", kNt, Tester(kOffers, 0xF4), kAbort, false,
         "D: self-test aborted\n", false, {"pass 7F"}},
        {"abort with none running", kNt, Tester(kOffers), kAbort, false,
         "D: abort sent (no self-test was running)\n", false, {"pass 7F"}},
        {"standby", kNt, Sleeper(), kShort, false,
         "D: not started: in standby (--wake starts it anyway)\n", false, {}},
        {"standby, --wake", kNt, Sleeper(), kShort, true,
         "D: short self-test started (about 2 minutes)\n", false, {"send 01"}},
        {"claimed, refused", kNt, Claimer(), kShort, false,
         "D: short self-test refused by the drive\n", true, {"send 01"}},
        {"Windows 9x short", k9x, Tester(kOffers), kShort, false,
         "D: short self-test started (about 2 minutes)\n", false, {"send 01"}},
        {"Windows 9x conveyance", k9x, Tester(kConveyance), kConvey, false,
         "D: not started: " + only9x, false, {}},
        {"Windows 9x abort", k9x, Tester(kOffers, 0xF4), kAbort, false,
         "D: not sent: " + only9x, false, {}},
        {"no SMART data", kNt, WithoutSmartData(), kShort, false,
         "D: not started: its SMART data could not be read\n", false, {}},
        {"NVMe short", kNt, NvmeTester(true), kShort, false,
         "D: short self-test started (about 2 minutes)\n", false, {"nvme 1"}},
        {"NVMe extended, EDSTT", kNt, NvmeTester(true), kLong, false,
         "D: extended self-test started (about 30 minutes)\n", false, {"nvme 2"}},
        {"NVMe running", kNt, NvmeTester(true, 0x2, 25), kShort, false,
         "D: not started: a self-test is running, 75% remaining\n", false, {}},
        {"NVMe running, more than all of it done", kNt, NvmeTester(true, 0x1, 127), kShort, false,
         "D: not started: a self-test is running, 0% remaining (the drive reported 127% "
         "complete)\n", false, {}},
        {"NVMe abort", kNt, NvmeTester(true, 0x1, 60), kAbort, false,
         "D: self-test aborted\n", false, {"nvme F"}},
        {"NVMe without self-tests", kNt, NvmeTester(false), kShort, false,
         "D: not started: the drive offers no self-test\n", false, {}},
        {"NVMe conveyance", kNt, NvmeTester(true), kConvey, false,
         "D: not started: the drive offers no conveyance self-test\n", false, {}},
        {"NVMe on Windows", kNt, NvmeTester(true), kShort, false,
         "D: not started: NVMe self-tests are not offered on Windows yet\n", false, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        EmulatedDriver driver(c.platform);
        driver.InsertDrive(0, c.drive);
        DriveInventory inventory;
        inventory.readPowerMode = c.platform == kPlatformWindowsNt;
        inventory.readNvme = true;
        inventory.startSelfTest = true;
        inventory.selfTestKind = c.kind;
        inventory.wakeStandby = c.wake;
        inventory.nvmeSelfTests = std::string(c.what) != "NVMe on Windows";
        inventory.ScanDrives(driver);
        const SelfTestLine line = DescribeSelfTest(inventory, 0, "D", c.kind);
        EXPECT_EQ(c.line, line.text) << c.what;
        EXPECT_EQ(c.refused, line.refused) << c.what;
        EXPECT_EQ(c.sent, RoutinesSent(driver)) << c.what;
    }
}

// Every call the last machine was sent, kept when the run ends it.
std::vector<DriverCall> g_machineCalls;

std::unique_ptr<SmartDriver> MachineForSelfTests(std::string*, DriverUse use) {
    // A reading's driver is never asked to start a test.
    EXPECT_EQ(DriverUse::kSelfTests, use);
    std::unique_ptr<EmulatedDriver> machine(new EmulatedDriver(kPlatformWindowsNt));
    machine->KeepCallsIn(&g_machineCalls);
    machine->InsertDrive(0, Tester(0x11));
    machine->InsertDrive(2, Claimer());
    machine->InsertDrive(3, Sleeper());
    return std::unique_ptr<SmartDriver>(machine.release());
}

struct SelfTestRun {
    int status;
    std::string out;
    std::string err;
};

SelfTestRun RunOn(RealDriverFactory machine, const std::vector<std::string>& args) {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    SelfTestRun run;
    run.status = RunReportCommand(args, out, err, machine);
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
    SelfTestRun all = RunOn(MachineForSelfTests, {"--self-test", "short"});
    EXPECT_EQ(1, all.status) << all.err;
    EXPECT_EQ(
        "\\\\.\\PhysicalDrive0: short self-test started (about 2 minutes)\n"
        "\\\\.\\PhysicalDrive2: short self-test refused by the drive\n"
        "\\\\.\\PhysicalDrive3: not started: in standby (--wake starts it anyway)\n",
        all.out);
    SelfTestRun chosen =
        RunOn(MachineForSelfTests, {"--self-test=long", "--device", "0", "--device", "3"});
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
        EXPECT_EQ(kExitUsage, RunOn(MachineForSelfTests, args).status) << args.size();
    }
    // A name that is no disk refuses the whole run before a test starts, or
    // a running one is stopped, on any disk that is.
    for (const char* kind : {"short", "abort"}) {
        for (const char* name : {"9", "\\\\.\\PhysicalDrive1"}) {
            g_machineCalls.assign(1, DriverCall());
            const SelfTestRun run = RunOn(MachineForSelfTests,
                                          {"--self-test", kind, "--device", "0", "--device", name});
            EXPECT_EQ(kExitUsage, run.status) << kind << " " << name;
            EXPECT_EQ("", run.out) << kind << " " << name;
            EXPECT_EQ("vantrel-report: " + std::string(name) + ": not a disk of this machine\n",
                      run.err);
            EXPECT_TRUE(g_machineCalls.empty()) << kind << " " << name << ": no disk opened";
        }
    }
}

std::unique_ptr<SmartDriver> MachineWithNvmeTests(std::string*, DriverUse) {
    std::unique_ptr<EmulatedDriver> machine(new EmulatedDriver(kPlatformWindowsNt));
    machine->InsertDrive(0, NvmeTester(true, 0x2, 25, {0x10}));
    // The newest result aborted, the one before failed a segment.
    machine->InsertDrive(1, NvmeTester(true, 0x0, 0, {0x21, 0x17, 0x10}));
    machine->InsertDrive(2, Tester(0x11, 0xF3));
    return std::unique_ptr<SmartDriver>(machine.release());
}

// A test in progress shows in every reading, and the newest self-test that
// ran to its end judges the drive: an NVMe drive whose last one failed a
// segment is BAD, passing over a later aborted one.
TEST(SelfTestCommandTest, ProgressAndResultsShowInEveryReading) {
    const SelfTestRun health = RunOn(MachineWithNvmeTests, {"--health"});
    EXPECT_EQ(
        "NVME TESTER-1: GOOD (self-test running, 75% remaining)\n"
        "NVME TESTER-2: BAD: last self-test (short) failed: completed with one or more failed "
        "segments (segment 3), at 1234 hours\n"
        "TESTER: UNKNOWN: no SMART data (self-test running, 30% remaining)\n",
        health.out);
    EXPECT_EQ(3, health.status);
    const std::string metrics = RunOn(MachineWithNvmeTests, {"--prometheus"}).out;
    const std::string drive[] = {"{device=\"PhysicalDrive0\"} ", "{device=\"PhysicalDrive1\"} ",
                                 "{device=\"PhysicalDrive2\"} "};
    for (const std::string& sample : {"vantrel_self_test_running" + drive[0] + "1\n",
                                      "vantrel_self_test_running" + drive[1] + "0\n",
                                      "vantrel_self_test_running" + drive[2] + "1\n",
                                      "vantrel_self_test_remaining_percent" + drive[0] + "75\n",
                                      "vantrel_self_test_remaining_percent" + drive[1] + "0\n",
                                      "vantrel_self_test_remaining_percent" + drive[2] + "30\n"}) {
        EXPECT_NE(std::string::npos, metrics.find(sample)) << sample << metrics;
    }
    // Compared without the layout's blanks.
    const auto squeezed = [](std::string text) {
        text.erase(
            std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\n'; }),
            text.end());
        return text;
    };
    const std::string json = squeezed(RunOn(MachineWithNvmeTests, {"--json"}).out);
    for (const char* key :
         {"\"current_self_test_operation\":{\"value\":2,\"string\":\"extended\"},"
          "\"current_self_test_completion_percent\":25,",
          "\"self_test_code\":{\"value\":1,\"string\":\"short\"},\"self_test_result\":{\"value\":7,"
          "\"string\":\"completedwithoneormorefailedsegments\"},\"segment\":3,"
          "\"power_on_hours\":1234}",
          "\"status\":{\"value\":243,\"string\":\"inprogress\",\"remaining_percent\":30},"}) {
        EXPECT_NE(std::string::npos, json.find(key)) << key << json;
    }
}

}  // namespace
