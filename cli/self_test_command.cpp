#include "cli/self_test_command.h"

#include "inventory/decimal_text.h"
#include "inventory/self_test.h"

namespace {

std::string Minutes(int minutes) {
    if (minutes <= 0) {
        return "";
    }
    return " (about " + DecimalText(minutes) + (minutes == 1 ? " minute)" : " minutes)");
}

}  // namespace

SelfTestLine DescribeSelfTest(const DriveInventory& inventory, int position,
                              const std::string& device, SelfTestKind kind) {
    const bool abort = kind == SelfTestKind::kAbort;
    const std::string name = SelfTestKindName(kind);
    const std::string notDone = device + (abort ? ": not sent: " : ": not started: ");
    SelfTestLine line{"", false};
    AtaSelfTestStatus status;
    if (inventory.hasOfflineData[position]) {
        status = DecodeAtaSelfTest(inventory.offlineData[position],
                                   inventory.entries[position].Identify);
    }
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
                line.text = device + ": " + name + " self-test started" +
                            Minutes(AtaSelfTestMinutes(status, kind)) + "\n";
            }
            break;
        case SelfTestStart::kRefused:
            line.refused = true;
            line.text = device + ": " + (abort ? std::string("abort") : name + " self-test") +
                        " refused by the drive\n";
            break;
        case SelfTestStart::kRunning:
            line.text = notDone + "a self-test is running, " +
                        DecimalText(status.remainingPercent) + "% remaining\n";
            break;
        case SelfTestStart::kNoSmartData:
            line.text = notDone + "its SMART data could not be read\n";
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
