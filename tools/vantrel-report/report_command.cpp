#include "tools/vantrel-report/report_command.h"

#include <cerrno>
#include <cstring>

#include "capture/capture.h"
#include "capture/capture_recorder.h"
#include "inventory/drive_inventory.h"
#include "drive_backends/emulated_driver.h"
#include "report/attribute_format.h"
#include "report/export_writer.h"
#include "report/report_text.h"
#include "tools/vantrel-report/output_files.h"
#include "tools/vantrel-report/report_options.h"
#include "tools/vantrel-report/terminal_text.h"

namespace {

enum { kMaxCopies = 999 };

int Usage(FILE* err, const std::string& problem) {
    std::fprintf(err, "vantrel-report: %s\n%s", problem.c_str(), kReportUsage);
    return kExitUsage;
}

// Positions whose drive the drive list would show, with its name.
struct NamedDrive {
    int position;
    char name[50];
};

std::vector<NamedDrive> ListDrives(const DriveInventory& inventory) {
    std::vector<NamedDrive> drives;
    for (int position = 0; position < kDrivePositions; ++position) {
        NamedDrive drive;
        drive.position = position;
        uint32_t length = sizeof drive.name;
        if (inventory.GetModelName(drive.name, &length, position, true)) {
            drives.push_back(drive);
        }
    }
    return drives;
}

// The window after Get Info on the drive, its list rows in the order shown.
bool WriteDriveWindow(const DriveInventory& inventory, int position, FILE* stream) {
    DriveReportText report;
    BuildDriveReportText(inventory, position, ReportVariant::kWindow, &report);
    bool ok = std::fputs(report.text, stream) >= 0;
    const bool thresholdsKnown = inventory.ThresholdsKnown(position);
    for (int index = 0; index < inventory.GetAttributeCount(position); ++index) {
        AttributeRecord record;
        if (inventory.GetAttribute(position, index, &record)) {
            const AttributeRowText row = FormatAttributeRow(record, thresholdsKnown);
            for (int column = 0; column < kAttributeColumns; ++column) {
                ok = std::fprintf(stream, column ? "\t%s" : "%s", row.cells[column]) >= 0 && ok;
            }
            ok = std::fputs("\r\n", stream) >= 0 && ok;
        }
    }
    return ok;
}

bool WriteAll(const DriveInventory& inventory, const std::vector<NamedDrive>& drives,
              const ReportOptions& options, FILE* stream) {
    bool ok = true;
    for (const NamedDrive& drive : drives) {
        switch (options.mode) {
            case ReportMode::kList:
                ok = std::fprintf(stream, "%s\n", drive.name) >= 0 && ok;
                break;
            case ReportMode::kWindow:
                ok = WriteDriveWindow(inventory, drive.position, stream) && ok;
                break;
            default:
                ok = WriteDriveExport(inventory, drive.position, stream) && ok;
                break;
        }
    }
    return std::fflush(stream) == 0 && ok;
}

// Creates the first free one of path, then path with .2, .3, ... before
// its extension. Null when none can be created; *used is the path tried last.
FILE* CreateFreeName(const std::string& path, std::string* used) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? path.substr(0, dot) : path;
    const std::string extension = hasExtension ? path.substr(dot) : std::string();
    for (int copy = 1; copy <= kMaxCopies; ++copy) {
        *used = copy == 1 ? path : stem + "." + std::to_string(copy) + extension;
        bool taken = false;
        FILE* file = CreateNewFile(*used, &taken);
        if (file || !taken) {
            return file;
        }
    }
    errno = EEXIST;
    return nullptr;
}

// Writes bytes to a file that this run created, and removes it again when
// anything fails, so that no partial file is left behind.
bool WriteCreatedFile(FILE* file, const std::string& path, const std::vector<uint8_t>& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path.c_str());
    }
    return written && closed;
}

// One capture per listed drive, of exactly what the scan was sent, so that
// replaying the files reproduces this report. An earlier capture under the
// same name is the drive's history: it is never replaced, nor is a link
// planted under that name followed.
bool SaveCaptures(const DriveInventory& inventory, const std::vector<NamedDrive>& drives,
                  const CaptureRecorder& recorder, const std::string& dir, FILE* err) {
    bool ok = true;
    for (const NamedDrive& drive : drives) {
        const std::string wanted = dir + "/" + CaptureFileName(inventory, drive.position);
        std::string path;
        FILE* file = CreateFreeName(wanted, &path);
        if (!file) {
            std::fprintf(err, "vantrel-report: %s: cannot create: %s\n", path.c_str(),
                         std::strerror(errno));
            ok = false;
            continue;
        }
        if (path != wanted) {
            std::fprintf(err, "vantrel-report: %s exists, saving as %s\n", wanted.c_str(),
                         path.c_str());
        }
        if (WriteCreatedFile(file, path, SerializeCapture(recorder.Capture(drive.position)))) {
            std::fprintf(err, "vantrel-report: saved %s\n", path.c_str());
        } else {
            std::fprintf(err, "vantrel-report: %s: write error\n", path.c_str());
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int RunReportCommand(const std::vector<std::string>& args, FILE* out, FILE* err,
                     RealDriverFactory realDriver) {
    ReportOptions options;
    std::string error;
    if (!ParseReportOptions(args, &options, &error)) {
        return Usage(err, error);
    }
    if (options.help) {
        std::fputs(kReportUsage, out);
        return kExitReported;
    }
    if (options.version) {
        std::fprintf(out, "%s\n", kReportVersion);
        return kExitReported;
    }
    if (options.mode != ReportMode::kExport && options.mode != ReportMode::kList &&
        options.mode != ReportMode::kWindow) {
        return Usage(err, "this output is not built yet");
    }

    // Every capture is read before anything is written, so a bad one leaves
    // no partial report behind.
    std::unique_ptr<SmartDriver> driver;
    if (options.captures.empty()) {
        std::string unavailable;
        driver = realDriver(&unavailable);
        if (!driver) {
            std::fprintf(err, "vantrel-report: %s\n", unavailable.c_str());
            return kExitNoDrive;
        }
    } else {
        std::unique_ptr<EmulatedDriver> emulated(
            new EmulatedDriver(options.win9x ? kPlatformWindows9x : kPlatformWindowsNt));
        for (size_t position = 0; position < options.captures.size(); ++position) {
            if (options.captures[position] == "-") {
                continue;
            }
            if (IsOtherThanFile(options.captures[position])) {
                std::fprintf(err, "vantrel-report: %s: not a regular file\n",
                             options.captures[position].c_str());
                return kExitUsage;
            }
            DriveCapture capture;
            if (!ReadCaptureFile(options.captures[position], &capture, &error)) {
                std::fprintf(err, "vantrel-report: %s\n", error.c_str());
                return kExitUsage;
            }
            emulated->InsertDrive(static_cast<int>(position), capture);
        }
        driver = std::move(emulated);
    }

    CaptureRecorder recorder(*driver);
    std::unique_ptr<DriveInventory> inventory(new DriveInventory);
    inventory->ScanDrives(recorder);
    // The one place every output mode passes: the drives' texts as shown.
    // --save keeps the raw bytes, which come from the recorder.
    if (IsTerminal(out) || IsTerminal(err)) {
        MaskDriveTexts(inventory.get());
    }
    if (inventory->GetDriveCount() <= 0) {
        std::fprintf(err, "No SMART compatible drives were detected.\n");
        return kExitNoDrive;
    }
    const std::vector<NamedDrive> drives = ListDrives(*inventory);
    if (drives.empty()) {
        std::fprintf(err, "vantrel-report: %d drive(s) found, but none reported a model name.\n",
                     inventory->GetDriveCount());
        return kExitNoDrive;
    }

    // A capture that could not be saved does not cost the user the report.
    const bool saved =
        !options.hasSave || SaveCaptures(*inventory, drives, recorder, options.saveDir, err);
    const int done = saved ? kExitReported : kExitWriteFailed;

    if (!options.hasOutput) {
        if (!WriteAll(*inventory, drives, options, out)) {
            std::fprintf(err, "vantrel-report: standard output: write error\n");
            return kExitWriteFailed;
        }
        return done;
    }
    std::string problem;
    if (!WriteOutputFile(
            options.output,
            [&](FILE* stream) { return WriteAll(*inventory, drives, options, stream); },
            &problem)) {
        std::fprintf(err, "vantrel-report: %s: %s\n", options.output.c_str(), problem.c_str());
        return kExitWriteFailed;
    }
    return done;
}
