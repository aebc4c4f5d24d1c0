#include "cli/report_command.h"

#include <algorithm>

#include "capture/capture.h"
#include "capture/capture_recorder.h"
#include "inventory/decimal_text.h"
#include "inventory/drive_inventory.h"
#include "drive_backends/replay_driver.h"
#include "health/drive_health.h"
#include "report/attribute_format.h"
#include "report/export_writer.h"
#include "report/json_writer.h"
#include "report/prometheus_writer.h"
#include "report/nvme_report_text.h"
#include "report/report_text.h"
#include "cli/compare_command.h"
#include "cli/device_choice.h"
#include "platform/nvme_self_tests.h"
#include "report/health_writer.h"
#include "platform/output_files.h"
#include "cli/report_options.h"
#include "cli/self_test_command.h"
#include "platform/terminal_text.h"

namespace {

enum { kMaxCopies = 999 };

int Usage(FILE* err, const std::string& problem) {
    SayError(err, problem);
    std::fputs(kReportUsage, err);
    return kExitUsage;
}

// Positions whose drive the drive list would show, with its name.
struct NamedDrive {
    int position;
    char name[50];
};

// A disk left asleep keeps its place, without a name: its model is not
// known without IDENTIFY.
std::vector<NamedDrive> ListDrives(const DriveInventory& inventory) {
    std::vector<NamedDrive> drives;
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        NamedDrive drive;
        drive.position = position;
        drive.name[0] = '\0';
        uint32_t length = sizeof drive.name;
        if (inventory.asleep[position] ||
            inventory.GetModelName(drive.name, &length, position, true)) {
            drives.push_back(drive);
        }
    }
    return drives;
}

// A disk left asleep, named by its device in the text outputs.
std::string AsleepText(const DriveReading& drive, ReportMode mode) {
    if (mode == ReportMode::kList) {
        return drive.device + " (standby, not read)\n";
    }
    if (mode == ReportMode::kHealth) {
        return drive.device + ": STANDBY: not read, so as not to wake it\n";
    }
    char line[80];
    std::snprintf(line, sizeof line,
                  "Drive %d  not read: in standby (vantrel-report --wake reads it)\r\n\r\n",
                  drive.position);
    return line;
}

// The window after Get Info on the drive, its list rows in the order shown.
std::string DriveWindowText(const DriveInventory& inventory, const DriveReading& drive) {
    DriveReportText report;
    BuildDriveReportText(inventory, drive.position, ReportVariant::kWindow, &report);
    std::string text = report.text;
    for (const AttributeRecord& record : drive.ata.attributes) {
        const AttributeRowText row = FormatAttributeRow(record, drive.ata.thresholdsKnown);
        for (int column = 0; column < kAttributeColumns; ++column) {
            if (column) {
                text += '\t';
            }
            text += row.cells[column];
        }
        text += "\r\n";
    }
    return text;
}

// Everything the run prints, in the mode asked for.
std::string OutputText(const DriveInventory& inventory, const ReportOptions& options,
                       const CompareRun& compare, const MachineReport& document) {
    if (options.mode == ReportMode::kJson) {
        return JsonReport(document);
    }
    if (options.mode == ReportMode::kPrometheus) {
        return PrometheusReport(document);
    }
    std::string text;
    for (const DriveReading& drive : document.drives) {
        if (drive.protocol == DriveProtocol::kAta && !drive.ata.read) {
            text += AsleepText(drive, options.mode);
            continue;
        }
        if (options.mode == ReportMode::kWindow && drive.protocol == DriveProtocol::kNvme) {
            text += NvmeWindowText(drive.position, drive.nvme);
            continue;
        }
        switch (options.mode) {
            case ReportMode::kList:
                text += drive.listName + "\n";
                break;
            case ReportMode::kWindow:
                text += DriveWindowText(inventory, drive);
                break;
            case ReportMode::kCompare:
                text += ComparisonText(compare, drive);
                break;
            case ReportMode::kHealth:
                text += HealthLine(drive.listName, drive.health,
                                   drive.selfTestRunning
                                       ? "self-test running, " +
                                             DecimalText(drive.selfTestRemainingPercent) +
                                             "% remaining" + drive.selfTestProgressNote
                                       : std::string());
                break;
            default:
                text += DriveExportText(inventory, drive.position);
                break;
        }
    }
    return text;
}

// Writes the run's output; to a terminal, a drive's own texts go as
// printable text only.
bool WriteAll(const std::string& text, FILE* stream) {
    const bool ok = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && ok;
}

// --health's and --compare's call for action: a listed drive whose (newer)
// verdict is CAUTION or BAD.
bool HealthAlert(const MachineReport& document, const ReportOptions& options) {
    if (options.mode != ReportMode::kHealth && options.mode != ReportMode::kCompare) {
        return false;
    }
    for (const DriveReading& drive : document.drives) {
        if (HealthAlerts(drive.health.verdict)) {
            return true;
        }
    }
    return false;
}

// The device a position was read from: the capture's file name when
// replayed.
std::string DeviceOf(int position, const ReportOptions& options, SmartDriver& driver) {
    if (options.captures.empty()) {
        char name[64];
        driver.DeviceName(position, name, sizeof name);
        return name;
    }
    std::string device = options.captures[position];
    const size_t slash = device.find_last_of("/\\");
    device.erase(0, slash == std::string::npos ? 0 : slash + 1);
    return device;
}

// The drives with the device each was read from: the capture's file name
// when replayed.
MachineReport DescribeDrives(const DriveInventory& inventory, const std::vector<NamedDrive>& drives,
                             const ReportOptions& options, SmartDriver& driver) {
    MachineReport document{std::vector<DriveReading>(drives.size()),
                           inventory.GetDriveCount(),
                           kReportVersion,
                           kExitReported,
                           {}};
    for (size_t i = 0; i < drives.size(); ++i) {
        const int position = drives[i].position;
        ReadDrive(inventory, position, drives[i].name, DeviceOf(position, options, driver),
                  &document.drives[i]);
        document.drives[i].ataTranslated = driver.TranslatesAta();
    }
    return document;
}

// Creates the first free one of path, then path with .2, .3, ... before
// its extension. Null when none can be created; *used is the path tried
// last, *problem what became of it.
FILE* CreateFreeName(const std::string& path, std::string* used, std::string* problem) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? path.substr(0, dot) : path;
    const std::string extension = hasExtension ? path.substr(dot) : std::string();
    for (int copy = 1; copy <= kMaxCopies; ++copy) {
        *used = copy == 1 ? path : stem + "." + DecimalText(copy) + extension;
        bool taken = false;
        FILE* file = CreateNewFile(*used, &taken, problem);
        if (file || !taken) {
            return file;
        }
    }
    return nullptr;
}

// Writes bytes to a file that this run created, and removes it again when
// anything fails, so that no partial file is left behind.
bool WriteCreatedFile(FILE* file, const std::string& path, const std::vector<uint8_t>& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        RemoveCreatedFile(path);
    }
    return written && closed;
}

// One capture per listed drive, of exactly what the scan was sent, so that
// replaying the files reproduces this report. An earlier capture under the
// same name is the drive's history: it is never replaced, nor is a link
// planted under that name followed.
bool SaveCaptures(const DriveInventory& inventory, const MachineReport& document,
                  const CaptureRecorder& recorder, const std::string& dir, FILE* err) {
    bool ok = true;
    for (const DriveReading& drive : document.drives) {
        if (!drive.ata.read) {
            SayError(err, drive.device + ": in standby, not read, so not saved");
            continue;
        }
        const std::string wanted = dir + "/" + CaptureFileName(inventory, drive.position);
        std::string path;
        std::string problem;
        FILE* file = CreateFreeName(wanted, &path, &problem);
        if (!file) {
            SayError(err, path + ": " + problem);
            ok = false;
            continue;
        }
        if (path != wanted) {
            SayError(err, wanted + " exists, saving as " + path);
        }
        std::unique_ptr<DriveCapture> capture(new DriveCapture(recorder.Capture(drive.position)));
        if (inventory.nvme[drive.position]) {
            CaptureRecorder::NvmeCapture(*inventory.nvme[drive.position], capture.get());
        } else {
            RecordPowerMode(inventory.powerModeCount[drive.position], capture.get());
            RecordReturnStatus(inventory.selfAssessment[drive.position], capture.get());
        }
        if (WriteCreatedFile(file, path, SerializeCapture(*capture))) {
            SayError(err, "saved " + path);
        } else {
            SayError(err, path + ": write error");
            ok = false;
        }
    }
    return ok;
}

// --self-test's lines, one per disk the scan reached; 1 when a drive
// refused a command sent to it.
int ReportSelfTests(const DriveInventory& inventory, const std::vector<NamedDrive>& drives,
                    const ReportOptions& options, SmartDriver& driver, FILE* out) {
    std::string text;
    bool refused = false;
    for (const NamedDrive& drive : drives) {
        const SelfTestLine line = DescribeSelfTest(
            inventory, drive.position, DeviceOf(drive.position, options, driver), options.selfTest);
        text += line.text;
        refused = refused || line.refused;
    }
    if (IsTerminal(out)) {
        MaskForTerminal(&text);
    }
    if (!WriteAll(text, out)) {
        return kExitWriteFailed;
    }
    return refused ? kExitSelfTestRefused : kExitReported;
}

}  // namespace

bool ReadReplayCapture(const std::string& path, bool win9x, DriveCapture* capture, FILE* err) {
    // One byte past the limit, so that an oversized file is told apart.
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadRegularFile(path, kMaxCaptureSize + 1, &bytes, &error)) {
        SayError(err, path + ": " + error);
        return false;
    }
    if (!ParseCapture(bytes.data(), bytes.size(), path, capture, &error)) {
        SayError(err, error);
        return false;
    }
    if (capture->IsNvme() && win9x) {
        SayError(err, path + ": NVMe drives are not seen on Windows 9x");
        return false;
    }
    return true;
}

namespace {

// Each stage's answer where the run goes on to the next.
const int kGoOn = -1;

// What one run carries from stage to stage. The recorder wraps the driver,
// so it is declared after it and ends first.
struct ReportRun {
    ReportOptions options;
    CompareRun compare;
    std::unique_ptr<SmartDriver> driver;
    DeviceChoice choice;
    std::unique_ptr<CaptureRecorder> recorder;
    std::unique_ptr<DriveInventory> inventory;
    std::vector<UnreadableDisk> unreadable;
    std::vector<NamedDrive> drives;
    // For --compare, finding no drive is finding no drive to compare with.
    int noDrive = kExitNoDrive;
};

// The options; --help and --version end the run here.
int ParseStage(const std::vector<std::string>& args, FILE* out, FILE* err, ReportRun* run) {
    std::string error;
    if (!ParseReportOptions(args, &run->options, &error)) {
        return Usage(err, error);
    }
    if (run->options.help) {
        std::fputs(kReportUsage, out);
        return kExitReported;
    }
    if (run->options.version) {
        std::fprintf(out, "%s\n", kReportVersion);
        return kExitReported;
    }
    if (run->options.mode == ReportMode::kCompare) {
        run->noDrive = kExitUsage;
    }
    return kGoOn;
}

// The drives to read: this machine's through its driver, or the captures
// replayed; and the --device names, every one checked before any disk is
// sent a command. Every capture is read before anything is written, so a
// bad one leaves no partial report behind.
int OpenStage(RealDriverFactory realDriver, FILE* err, ReportRun* run) {
    const ReportOptions& options = run->options;
    if (options.mode == ReportMode::kCompare &&
        LoadOlderReading(options, &run->compare, err) != kExitReported) {
        return kExitUsage;
    }
    if (options.captures.empty()) {
        std::string unavailable;
        run->driver =
            realDriver(&unavailable, options.mode == ReportMode::kSelfTest ? DriverUse::kSelfTests
                                                                           : DriverUse::kReading);
        if (!run->driver) {
            SayError(err, unavailable);
            return run->noDrive;
        }
    } else {
        std::unique_ptr<ReplayDriver> replay(
            new ReplayDriver(options.win9x ? kPlatformWindows9x : kPlatformWindowsNt));
        for (size_t position = 0; position < options.captures.size(); ++position) {
            if (options.captures[position] != "-" &&
                !ReadReplayCapture(options.captures[position], options.win9x,
                                   replay->FitDrive(static_cast<int>(position)), err)) {
                return kExitUsage;
            }
        }
        run->driver = std::move(replay);
    }
    std::string error;
    if (!options.devices.empty() &&
        !ChooseDevices(options.devices, *run->driver, &run->choice, &error)) {
        SayError(err, error);
        return kExitUsage;
    }
    return kGoOn;
}

// The one scan, with everything the command line reads, and the disks it
// found: those that cannot be read are named on standard error, except
// where a document says it itself, so that a scheduled run of one stays
// quiet; with no drive to report, no document is written.
int ScanStage(FILE* err, ReportRun* run) {
    const ReportOptions& options = run->options;
    run->recorder.reset(new CaptureRecorder(*run->driver));
    run->inventory.reset(new DriveInventory);
    DriveInventory& inventory = *run->inventory;
    inventory.scanPositions = kMaxDrivePositions;
    inventory.readNvme = inventory.readPowerMode = inventory.readLogs = true;
    inventory.keepUpperIdentify = inventory.readReturnStatus = true;
    inventory.wakeStandby = options.wake;
    inventory.chooseDevices = !options.devices.empty();
    std::copy(run->choice.chosen, run->choice.chosen + kMaxDrivePositions, inventory.chosen);
    inventory.startSelfTest = options.mode == ReportMode::kSelfTest;
    inventory.selfTestKind = options.selfTest;
    // A replay answers as the Linux backend does.
    inventory.nvmeSelfTests = !options.captures.empty() || SystemCarriesNvmeSelfTests();
    inventory.ScanDrives(*run->recorder);
    // Where the system's list could not tell, a chosen position is known to
    // be no disk only once its open finds nothing there.
    for (int position = 0; position < kMaxDrivePositions; ++position) {
        const uint32_t open = inventory.openError[position];
        if (run->choice.chosen[position] && !inventory.entries[position].Found &&
            (open == kErrorFileNotFound || open == kErrorPathNotFound)) {
            SayError(err, run->choice.names[position] + ": not a disk of this machine");
            return kExitUsage;
        }
    }
    run->unreadable = FindUnreadableDisks(inventory, *run->recorder);
    run->drives = ListDrives(inventory);
    const bool documented =
        options.mode == ReportMode::kJson || options.mode == ReportMode::kPrometheus;
    for (const UnreadableDisk& disk : run->unreadable) {
        if (!documented || run->drives.empty()) {
            SayError(err, disk.device + ": " + disk.reason);
        }
    }
    if (inventory.GetDriveCount() <= 0) {
        std::fprintf(err, "No SMART compatible drives were detected.\n");
        return run->noDrive;
    }
    if (run->drives.empty()) {
        std::fprintf(err, "vantrel-report: %d drive(s) found, but none reported a model name.\n",
                     inventory.GetDriveCount());
        return run->noDrive;
    }
    return kGoOn;
}

// --compare reads OLD's drive alone: false, said, where this machine or
// NEW has none, which may be the disk that was left asleep.
bool KeepComparedDrive(FILE* err, ReportRun* run) {
    const int match = MatchComparedDrive(run->options, &run->compare, *run->inventory, err);
    if (match < 0) {
        for (const NamedDrive& drive : run->drives) {
            if (run->inventory->asleep[drive.position]) {
                SayError(err, DeviceOf(drive.position, run->options, *run->driver) +
                                  " is in standby and was not read; "
                                  "vantrel-report --wake reads it");
            }
        }
        return false;
    }
    std::vector<NamedDrive>& drives = run->drives;
    drives.erase(std::remove_if(drives.begin(), drives.end(),
                                [match](const NamedDrive& d) { return d.position != match; }),
                 drives.end());
    return true;
}

// The drives' readings, with the replies that cannot be trusted said once,
// whatever the output, and --save's captures. A capture that could not be
// saved does not cost the user the report.
int DescribeStage(FILE* err, ReportRun* run, MachineReport* document) {
    if (run->options.mode == ReportMode::kCompare && !KeepComparedDrive(err, run)) {
        return kExitUsage;
    }
    *document = DescribeDrives(*run->inventory, run->drives, run->options, *run->driver);
    document->unreadable.swap(run->unreadable);
    for (const DriveReading& drive : document->drives) {
        for (auto failures : {IntegrityFailures, LogFailures}) {
            for (const std::string& failure : failures(drive.ata.integrity)) {
                SayError(err, drive.device + ": " + failure);
            }
        }
    }
    const bool saved =
        !run->options.hasSave ||
        SaveCaptures(*run->inventory, *document, *run->recorder, run->options.saveDir, err);
    int done = saved ? kExitReported : kExitWriteFailed;
    if (done == kExitReported && HealthAlert(*document, run->options)) {
        done = kExitHealthAlert;
    }
    document->exitStatus = done;
    return kGoOn;
}

// The output, to standard output or the --output file; to a terminal, a
// drive's own texts go as printable text only.
int WriteStage(FILE* out, FILE* err, const ReportRun& run, const MachineReport& document) {
    std::string text = OutputText(*run.inventory, run.options, run.compare, document);
    if (IsTerminal(out) || IsTerminal(err)) {
        MaskForTerminal(&text);
    }
    if (!run.options.hasOutput) {
        if (!WriteAll(text, out)) {
            std::fprintf(err, "vantrel-report: standard output: write error\n");
            return kExitWriteFailed;
        }
        return document.exitStatus;
    }
    std::string problem;
    if (!WriteOutputFile(
            run.options.output, [&](FILE* stream) { return WriteAll(text, stream); }, &problem)) {
        SayError(err, run.options.output + ": " + problem);
        return kExitWriteFailed;
    }
    return document.exitStatus;
}

}  // namespace

int RunReportCommand(const std::vector<std::string>& args, FILE* out, FILE* err,
                     RealDriverFactory realDriver) {
    std::unique_ptr<ReportRun> run(new ReportRun);
    int status = ParseStage(args, out, err, run.get());
    if (status == kGoOn) {
        status = OpenStage(realDriver, err, run.get());
    }
    if (status == kGoOn) {
        status = ScanStage(err, run.get());
    }
    if (status == kGoOn && run->options.mode == ReportMode::kSelfTest) {
        return ReportSelfTests(*run->inventory, run->drives, run->options, *run->driver, out);
    }
    MachineReport document;
    if (status == kGoOn) {
        status = DescribeStage(err, run.get(), &document);
    }
    return status == kGoOn ? WriteStage(out, err, *run, document) : status;
}
