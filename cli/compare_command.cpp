#include "cli/compare_command.h"

#include "capture/capture.h"
#include "drive_backends/replay_driver.h"
#include "health/reading_compare.h"
#include "cli/report_command.h"
#include "platform/terminal_text.h"

#include "inventory/decimal_text.h"

namespace {

std::string Describe(const DriveIdentity& identity) {
    return identity.model + ", serial " + (identity.serial.empty() ? "(blank)" : identity.serial);
}

}  // namespace

int LoadOlderReading(const ReportOptions& options, CompareRun* run, FILE* err) {
    DriveCapture capture;
    if (!ReadReplayCapture(options.compareOld, options.win9x, &capture, err)) {
        return kExitUsage;
    }
    ReplayDriver driver(options.win9x ? kPlatformWindows9x : kPlatformWindowsNt);
    driver.InsertDrive(0, capture);
    run->older.reset(new DriveInventory);
    run->older->readNvme = true;
    run->older->readLogs = true;
    run->older->keepUpperIdentify = run->older->readReturnStatus = true;
    run->older->ScanDrives(driver);
    DriveIdentity identity;
    if (!ReadDriveIdentity(*run->older, 0, &identity)) {
        SayError(err, options.compareOld + ": no drive with a model name to compare");
        return kExitUsage;
    }
    run->olderLabel = options.compareOld;
    ReadDrive(*run->older, 0, identity.model, options.compareOld, &run->olderReading);
    return kExitReported;
}

int MatchComparedDrive(const ReportOptions& options, CompareRun* run, const DriveInventory& newer,
                       FILE* err) {
    DriveIdentity old;
    ReadDriveIdentity(*run->older, 0, &old);
    const bool live = options.captures.empty();
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        DriveIdentity identity;
        bool bySerial = true;
        if (!ReadDriveIdentity(newer, position, &identity)) {
            continue;  // no drive the drive list would show
        }
        if (!SameDrive(old, identity, &bySerial)) {
            if (!live) {
                SayError(err, options.compareOld + " and " + options.captures[0] +
                                  " are different drives (" + Describe(old) + "; " +
                                  Describe(identity) + ")");
                return -1;
            }
            continue;
        }
        if (!bySerial) {
            SayError(err, "warning: no serial number to tell drives apart; matched " + old.model +
                              " by its model alone");
        }
        run->newerLabel =
            live ? "the drive at position " + DecimalText(position) : options.captures[0];
        return position;
    }
    SayError(err, "no drive of this machine is the drive of " + options.compareOld + " (" +
                      Describe(old) + ")");
    return -1;
}
