// vantrel-report's command line: what to write, where, and from which drives.
#pragma once

#include <string>
#include <vector>

#include "inventory/drive_inventory.h"

// What the run prints for each listed drive. Exactly one per run.
enum class ReportMode {
    kExport,      // the Export results report (the default)
    kList,        // the drive list's names
    kWindow,      // the window after Get Info
    kHealth,      // one drive health line per drive
    kJson,        // one JSON document for all drives
    kPrometheus,  // Prometheus text exposition
    kCompare,     // what changed between two readings of one drive
    kSelfTest,    // starts (or aborts) each disk's own self-test
};

struct ReportOptions {
    ReportMode mode = ReportMode::kExport;
    bool win9x = false;
    bool wake = false;  // read disks in standby too
    bool help = false;
    bool version = false;
    bool hasOutput = false;
    std::string output;
    bool hasSave = false;
    std::string saveDir;
    // --compare's older reading; the operand after it, when given, is the
    // newer one (otherwise the live drive of the same model and serial).
    std::string compareOld;
    std::vector<std::string> captures;
    // --device: the disks of this machine to read, as the user named them.
    std::vector<std::string> devices;
    // --self-test's routine.
    SelfTestKind selfTest = SelfTestKind::kShort;
};

// False with *error set when the arguments cannot be run.
bool ParseReportOptions(const std::vector<std::string>& args, ReportOptions* options,
                        std::string* error);

extern const char kReportUsage[];
extern const char kReportVersion[];
