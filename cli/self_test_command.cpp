#include "cli/self_test_command.h"

#include "inventory/decimal_text.h"
#include "inventory/self_test.h"
#include "report/drive_reading.h"

namespace {

std::string Minutes(int minutes) {
    if (minutes <= 0) {
        return "";
    }
    return " (about " + DecimalText(minutes) + (minutes == 1 ? " minute)" : " minutes)");
}

// What the drive said before anything was sent: whether a test runs, how
// much of it is left, and how long the asked-for one takes.
struct TestState {
    bool running = false;
    int remainingPercent = 0;
    int minutes = 0;
    std::string note;  // what a drive reported beyond 0 to 100
};

TestState StateOf(const DriveInventory& inventory, int position, SelfTestKind kind) {
    DriveReading reading;
    ReadDrive(inventory, position, std::string(), std::string(), &reading);
    TestState state;
    state.running = reading.selfTestRunning;
    state.remainingPercent = reading.selfTestRemainingPercent;
    state.note = reading.selfTestProgressNote;
    if (reading.protocol == DriveProtocol::kNvme) {
        // A short test takes at most two minutes; the extended one as long
        // as Identify Controller's EDSTT says.
        state.minutes = kind == SelfTestKind::kShort ? 2
                        : kind == SelfTestKind::kExtended
                            ? reading.nvme.controller.extendedTestMinutes
                            : 0;
    } else {
        state.minutes = AtaSelfTestMinutes(reading.ata.selfTest, kind);
    }
    return state;
}

}  // namespace

SelfTestLine DescribeSelfTest(const DriveInventory& inventory, int position,
                              const std::string& device, SelfTestKind kind) {
    const bool abort = kind == SelfTestKind::kAbort;
    const std::string name = SelfTestKindName(kind);
    const std::string notDone = device + (abort ? ": not sent: " : ": not started: ");
    SelfTestLine line{"", false};
    const TestState status = StateOf(inventory, position, kind);
    if (inventory.asleep[position]) {
        line.text =
            notDone + "in standby (--wake " + (abort ? "sends" : "starts") + " it anyway)\n";
        return line;
    }
    switch (inventory.selfTestStart[position]) {
        case SelfTestStart::kStarted:
            if (abort) {
                line.text = device + (status.running ? ": self-test aborted\n"
                                                     : ": abort sent (no self-test was running)\n");
            } else {
                line.text =
                    device + ": " + name + " self-test started" + Minutes(status.minutes) + "\n";
            }
            break;
        case SelfTestStart::kRefused:
            line.refused = true;
            line.text = device + ": " + (abort ? std::string("abort") : name + " self-test") +
                        " refused by the drive\n";
            break;
        case SelfTestStart::kRunning:
            line.text = notDone + "a self-test is running, " +
                        DecimalText(status.remainingPercent) + "% remaining" + status.note + "\n";
            break;
        case SelfTestStart::kNoSmartData:
            line.text = notDone + "its SMART data could not be read\n";
            break;
        case SelfTestStart::kUntrustedData:
            line.text = notDone + "its SMART data failed its checks\n";
            break;
        case SelfTestStart::kNotOnWindows9x:
            line.text = notDone + "Windows 9x's SMART driver carries short and extended " +
                        "self-tests only\n";
            break;
        case SelfTestStart::kNotOnThisSystem:
            line.text = notDone + "NVMe self-tests are not offered on Windows yet\n";
            break;
        case SelfTestStart::kNotOffered:
        case SelfTestStart::kNotAsked:
            line.text = notDone + (kind == SelfTestKind::kConveyance
                                       ? "the drive offers no conveyance self-test\n"
                                       : "the drive offers no self-test\n");
            break;
    }
    return line;
}
