#include "cli/report_options.h"

#include "inventory/drive_inventory.h"

const char kReportUsage[] =
    "Usage: vantrel-report [--list | --window | --health | --json | --prometheus]\n"
    "                      [--wake] [--win9x] [--output FILE] [--save DIR]\n"
    "                      [--device NAME ... | CAPTURE|- ...]\n"
    "       vantrel-report --compare OLD [NEW | --device NAME] [--wake] [--win9x]\n"
    "                      [--output FILE]\n"
    "       vantrel-report --self-test short|long|conveyance|abort\n"
    "                      [--device NAME ...] [--wake]\n"
    "       vantrel-report --help | --version\n"
    "\n"
    "Writes the Export results report of every drive, as the Vantrel window\n"
    "would save it, one after another.\n"
    "Each attribute's verdict is OK, WARNING or FAIL; UNKNOWN, with the\n"
    "threshold shown as -, when the drive's thresholds could not be read.\n"
    "Each disk is first asked its power mode, which never spins it up; a disk\n"
    "in standby is left asleep and listed as not read.\n"
    "\n"
    "  CAPTURE        a drive capture file (see --save) for drive position\n"
    "                 0, 1, 2 ... in order; \"-\" leaves a position empty.\n"
    "                 Without any, this machine's drives are read.\n"
    "  --list         print the drive list's names instead, one per line\n"
    "  --window       print what the window shows after Get Info instead: the\n"
    "                 Drive Information text, then each attribute row's cells\n"
    "                 separated by TABs\n"
    "  --health       print each drive's health verdict instead: GOOD, CAUTION,\n"
    "                 BAD, UNKNOWN or STANDBY, with its reasons\n"
    "  --json         print one JSON document of all drives instead\n"
    "  --prometheus   print Prometheus metrics of all drives instead\n"
    "  --compare OLD  print what changed since the capture OLD: against the\n"
    "                 capture NEW, or else the live drive of the same model\n"
    "                 and serial number\n"
    "  --self-test KIND  start each disk's own self-test in the background:\n"
    "                 short (minutes), long (hours), conveyance, or abort the\n"
    "                 one running; one line per disk. Not on a disk that is\n"
    "                 testing already, nor on one in standby (unless --wake)\n"
    "  --device NAME  read only this disk of the machine (repeatable): /dev/sda,\n"
    "                 a /dev/disk/by-id link, /dev/nvme0 or /dev/nvme0n1,\n"
    "                 \\\\.\\PhysicalDrive1, or a drive position number\n"
    "  --wake         read disks in standby too, spinning them up\n"
    "  --win9x        scan as the Windows 9x family does (default: NT family)\n"
    "  --output FILE  write to FILE instead of standard output; FILE is replaced\n"
    "                 only once the whole report is written\n"
    "  --save DIR     also save each listed drive's capture in DIR (an existing\n"
    "                 folder), as MODEL--FIRMWARE.smart; a name already taken\n"
    "                 is never replaced: MODEL--FIRMWARE.2.smart (.3, ...) then\n"
    "  --help         show this help\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 done; 1 no drive; 2 usage error or unreadable capture;\n"
    "3 a drive's health is CAUTION or BAD (--health, --compare); 4 a write\n"
    "failed. --self-test: 0 every command sent was accepted (a disk asleep,\n"
    "testing already or without the test is no failure); 1 a drive refused\n"
    "one, or no drive.\n"
    "\n"
    "Reading drives needs root (Linux) or an elevated prompt (Windows NT\n"
    "family). Not seen: USB disks without ATA pass-through. --json keeps its\n"
    "keys within a major json_format_version. For a textfile collector, every\n"
    "15 minutes (sleeping disks stay asleep):\n"
    "  cron: */15 * * * * root vantrel-report --prometheus --output\n"
    "        /var/lib/prometheus/node-exporter/vantrel.prom\n"
    "  Windows: a scheduled task with \"Run with highest privileges\" that runs\n"
    "        vantrel-report.exe --prometheus --output into the Windows\n"
    "        exporter's textfile_inputs folder (README.TXT has the schtasks line)\n";

const char kReportVersion[] = "Vantrel V" VANTREL_VERSION " Build: " VANTREL_BUILD;

namespace {

struct ModeOption {
    const char* name;
    ReportMode mode;
};

const ModeOption kModeOptions[] = {
    {"--list", ReportMode::kList},
    {"--window", ReportMode::kWindow},
    {"--health", ReportMode::kHealth},
    {"--json", ReportMode::kJson},
    {"--prometheus", ReportMode::kPrometheus},
};

// The option that chose the mode, for messages.
const char* ModeName(ReportMode mode) {
    for (const ModeOption& option : kModeOptions) {
        if (option.mode == mode) {
            return option.name;
        }
    }
    return mode == ReportMode::kSelfTest ? "--self-test" : "--compare";
}

struct SelfTestOption {
    const char* name;
    SelfTestKind kind;
};

const SelfTestOption kSelfTestKinds[] = {
    {"short", SelfTestKind::kShort},       {"long", SelfTestKind::kExtended},
    {"extended", SelfTestKind::kExtended}, {"conveyance", SelfTestKind::kConveyance},
    {"abort", SelfTestKind::kAbort},
};

bool SetMode(ReportMode mode, ReportOptions* options, std::string* error) {
    if (options->mode != ReportMode::kExport && options->mode != mode) {
        *error =
            std::string(ModeName(options->mode)) + " and " + ModeName(mode) + " exclude each other";
        return false;
    }
    options->mode = mode;
    return true;
}

// An option's value, given as "--name VALUE" or, where joined, as
// "--name=VALUE".
bool TakeValue(const std::vector<std::string>& args, size_t* i, const std::string& name,
               bool joined, const char* what, std::string* value, bool* matched,
               std::string* error) {
    const std::string& arg = args[*i];
    *matched = false;
    if (arg == name) {
        *matched = true;
        if (*i + 1 >= args.size()) {
            *error = arg + " needs " + what;
            return false;
        }
        *value = args[++*i];
    } else if (joined && arg.compare(0, name.size() + 1, name + "=") == 0) {
        *matched = true;
        *value = arg.substr(name.size() + 1);
    }
    if (*matched && value->empty()) {
        *error = name + " needs " + what;
        return false;
    }
    return true;
}

// The options without a value, and the member each sets.
struct FlagOption {
    const char* name;
    bool ReportOptions::*flag;
};

const FlagOption kFlagOptions[] = {
    {"--win9x", &ReportOptions::win9x},     {"--wake", &ReportOptions::wake},
    {"--help", &ReportOptions::help},       {"-h", &ReportOptions::help},
    {"--version", &ReportOptions::version},
};

bool TakeOutput(const std::string& value, ReportOptions* options, std::string*) {
    options->output = value;
    options->hasOutput = true;
    return true;
}

bool TakeSave(const std::string& value, ReportOptions* options, std::string*) {
    options->saveDir = value;
    options->hasSave = true;
    return true;
}

bool TakeDevice(const std::string& value, ReportOptions* options, std::string*) {
    options->devices.push_back(value);
    return true;
}

bool TakeSelfTest(const std::string& value, ReportOptions* options, std::string* error) {
    for (const SelfTestOption& option : kSelfTestKinds) {
        if (value == option.name) {
            options->selfTest = option.kind;
            return SetMode(ReportMode::kSelfTest, options, error);
        }
    }
    *error = "--self-test takes short, long, conveyance or abort, not " + value;
    return false;
}

bool TakeCompare(const std::string& value, ReportOptions* options, std::string* error) {
    options->compareOld = value;
    return SetMode(ReportMode::kCompare, options, error);
}

// The options with a value: whether it may follow an '=', what it is,
// and what it does.
struct ValueOption {
    const char* name;
    bool joined;
    const char* what;
    bool (*take)(const std::string& value, ReportOptions* options, std::string* error);
};

const ValueOption kValueOptions[] = {
    {"-o", false, "a file name", TakeOutput},
    {"--output", true, "a file name", TakeOutput},
    {"--save", true, "a folder", TakeSave},
    {"--device", true, "a disk", TakeDevice},
    {"--self-test", true, "short, long, conveyance or abort", TakeSelfTest},
    {"--compare", true, "a capture", TakeCompare},
};

bool ParseOne(const std::vector<std::string>& args, size_t* i, ReportOptions* options,
              std::string* error) {
    const std::string& arg = args[*i];
    for (const ModeOption& option : kModeOptions) {
        if (arg == option.name) {
            return SetMode(option.mode, options, error);
        }
    }
    for (const FlagOption& option : kFlagOptions) {
        if (arg == option.name) {
            options->*option.flag = true;
            return true;
        }
    }
    for (const ValueOption& option : kValueOptions) {
        std::string value;
        bool matched = false;
        if (!TakeValue(args, i, option.name, option.joined, option.what, &value, &matched, error)) {
            return false;
        }
        if (matched) {
            return option.take(value, options, error);
        }
    }
    *error = "unknown option " + arg;
    return false;
}

}  // namespace

bool ParseReportOptions(const std::vector<std::string>& args, ReportOptions* options,
                        std::string* error) {
    bool onlyOperands = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyOperands || arg == "-" || arg.empty() || arg[0] != '-') {
            options->captures.push_back(arg);
        } else if (arg == "--") {
            onlyOperands = true;
        } else if (!ParseOne(args, &i, options, error)) {
            return false;
        }
    }
    if (options->mode == ReportMode::kCompare) {
        if (options->captures.size() > 1 ||
            (!options->captures.empty() && options->captures[0] == "-")) {
            *error = "--compare takes OLD and at most one NEW capture";
            return false;
        }
        if (options->hasSave) {
            *error = "--compare and --save exclude each other";
            return false;
        }
    }
    if (options->mode == ReportMode::kSelfTest && (options->hasSave || options->hasOutput)) {
        *error = "--self-test writes its lines to standard output: not with --save or --output";
        return false;
    }
    if (!options->devices.empty() && !options->captures.empty() &&
        options->mode != ReportMode::kCompare) {
        *error = "--device chooses disks of this machine: not with captures";
        return false;
    }
    if (options->mode == ReportMode::kCompare && !options->devices.empty() &&
        !options->captures.empty()) {
        *error = "--device chooses a live disk: not with a NEW capture";
        return false;
    }
    if (options->win9x && options->captures.size() > kDrivePositions) {
        *error = "--win9x takes at most 4 captures (drive positions 0 to 3)";
        return false;
    }
    if (options->captures.size() > kMaxDrivePositions) {
        *error = "at most 64 captures (drive positions 0 to 63)";
        return false;
    }
    return true;
}
