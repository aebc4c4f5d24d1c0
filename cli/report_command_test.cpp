#include "cli/report_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "capture/capture.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "capture/synthetic_capture.h"
#include "platform/output_files.h"
#include "inventory/device_statistics.h"
#include "inventory/drive_inventory.h"

namespace {

std::string ReadStream(FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string bytes;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, n);
    }
    return bytes;
}

std::string ReadFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return "(missing)";
    }
    std::string bytes = ReadStream(file);
    std::fclose(file);
    return bytes;
}

#ifndef _WIN32
// A new folder holding one link to target, both given to owner: as root, a
// folder another user could change the link in.
void PlantLink(const std::string& folder, const std::string& link, const std::string& target,
               uid_t owner) {
    std::filesystem::create_directories(folder);
    ASSERT_EQ(0, chmod(folder.c_str(), 0755));
    std::filesystem::create_symlink(target, folder + "/" + link);
    ASSERT_EQ(0, lchown((folder + "/" + link).c_str(), owner, owner));
    ASSERT_EQ(0, chown(folder.c_str(), owner, owner));
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}
#endif

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::unique_ptr<SmartDriver> NoRealDriver(std::string* unavailable, DriverUse) {
    *unavailable = "no drive can be reached here";
    return nullptr;
}

Result RunTool(const std::vector<std::string>& args) {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    Result result;
    result.status = RunReportCommand(args, out, err, NoRealDriver);
    result.out = ReadStream(out);
    result.err = ReadStream(err);
    std::fclose(out);
    std::fclose(err);
    return result;
}

std::string Captures() {
    return std::string(VANTREL_CAPTURES_DIR) + "/";
}

bool HaveRealCaptures() {
    return ReadFile(Captures() + "ST320410A--3.39.smart") != "(missing)";
}

class ReportCommandTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const DriveCapture& capture) {
        const std::string path = ::testing::TempDir() + name;
        std::string error;
        EXPECT_TRUE(WriteCaptureFile(path, capture, &error)) << error;
        return path;
    }
    std::string WriteBytes(const std::string& name, const std::string& bytes) {
        const std::string path = ::testing::TempDir() + name;
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }
    // An empty folder of its own, whatever an earlier run left there.
    std::string FreshDir(const std::string& name) {
        const std::string dir = ::testing::TempDir() + name;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        return dir;
    }
    // A capture as --save writes it back: SMART RETURN STATUS is never read.
    std::string WriteSaveable(const std::string& name, const std::string& model) {
        DriveCapture capture = MakeCapture(model, "S", "F");
        capture.hasStatus = false;
        capture.SetPowerMode(0xFF);  // what the scan asks first, and saves
        return Write(name, capture);
    }
};

TEST_F(ReportCommandTest, ListNamesIdenticalModelsWithSuffixes) {
    const std::string a = Write("a.smart", MakeCapture("TWIN", "1", "F"));
    const std::string b = Write("b.smart", MakeCapture("OTHER", "2", "F"));
    Result r = RunTool({"--list", a, "-", a, b});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("TWIN-1\nTWIN-2\nOTHER\n", r.out);
    r = RunTool({"--list", a, a, "-", a});
    EXPECT_EQ("TWIN-1\nTWIN-2\nTWIN-3\n", r.out);
    // No suffix takes a name that another drive's model already is.
    const std::string c = Write("c.smart", MakeCapture("TWIN-1", "3", "F"));
    r = RunTool({"--list", a, c, a});
    EXPECT_EQ("TWIN-2\nTWIN-1\nTWIN-3\n", r.out);
}

TEST_F(ReportCommandTest, ReportsEveryNamedDriveInPositionOrder) {
    const std::string a = Write("one.smart", MakeCapture("FIRST", "1", "F"));
    const std::string b = Write("two.smart", MakeCapture("SECOND", "2", "F"));
    const Result r = RunTool({"-", b, "-", a});
    ASSERT_EQ(0, r.status) << r.err;
    const size_t second = r.out.find("Drive 1  SMART enabled");
    const size_t first = r.out.find("Drive 3  SMART enabled");
    EXPECT_EQ(0u, second);
    EXPECT_NE(std::string::npos, first);
    EXPECT_NE(std::string::npos, r.out.find("Model Number: FIRST\r\n", first));
    EXPECT_EQ("", r.err);
}

TEST_F(ReportCommandTest, Windows9xFamilyDoesNotCountADriveWithoutSmart) {
    DriveCapture bare = MakeCapture("BARE", "1", "F");
    bare.hasSmartData = false;
    const std::string path = Write("bare.smart", bare);
    // The NT family counts the opened drive and names it.
    Result r = RunTool({"--list", path});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("BARE\n", r.out);
    // The Windows 9x family counts only drives whose SMART switched on.
    r = RunTool({"--list", "--win9x", path});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("No SMART compatible drives were detected.\n", r.err);
}

TEST_F(ReportCommandTest, CountedButUnnamedDrivesSayWhy) {
    DriveCapture blank = MakeCapture("", "1", "F");
    for (int i = 54; i < 94; ++i) {
        blank.identify[i] = 0;
    }
    const Result r = RunTool({Write("blank.smart", blank)});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("vantrel-report: 1 drive(s) found, but none reported a model name.\n", r.err);
}

TEST_F(ReportCommandTest, NoPositionFilledMeansNoDrive) {
    const Result r = RunTool({"-", "-"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("No SMART compatible drives were detected.\n", r.err);
}

TEST_F(ReportCommandTest, MalformedCaptureStopsEverythingWithExitTwo) {
    const std::string good = Write("good.smart", MakeCapture("GOOD", "1", "F"));
    const std::string cases[][2] = {
        {"empty.smart", ""},
        {"header.smart", "IDF"},
        {"payload.smart", std::string("IDFY\0\0\x02\0", 8) + std::string(10, 'x')},
        {"length.smart", std::string("SMST\0\0\0\x05", 8) + "12345"},
        {"noidfy.smart", std::string("SMST\0\0\0\x04", 8) + "1234"},
    };
    for (const auto& c : cases) {
        const std::string bad = WriteBytes(c[0], c[1]);
        const Result r = RunTool({good, bad});
        EXPECT_EQ(2, r.status) << c[0];
        EXPECT_EQ("", r.out) << c[0];
        EXPECT_EQ(0u, r.err.find("vantrel-report: " + bad + ": offset ")) << r.err;
    }
    const Result missing = RunTool({good, ::testing::TempDir() + "does-not-exist.smart"});
    EXPECT_EQ(2, missing.status);
    EXPECT_EQ("", missing.out);
    // A well-formed NVMe capture is never seen on Windows 9x.
    DriveCapture nvme;
    nvme.hasNvmeController = nvme.hasNvmeHealth = true;
    const std::string drive = Write("nvme.smart", nvme);
    const Result r = RunTool({"--win9x", good, drive});
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("vantrel-report: " + drive + ": NVMe drives are not seen on Windows 9x\n", r.err);
}

TEST_F(ReportCommandTest, UsageErrors) {
    const std::string a = Write("u.smart", MakeCapture("U", "1", "F"));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"--output"},
                                               std::vector<std::string>(65, a),
                                               {"--win9x", a, a, a, a, a},
                                               {"--json", "--list", a},
                                               {"--compare", a, a, a},
                                               {"--compare"}}) {
        const Result r = RunTool(args);
        EXPECT_EQ(2, r.status);
        EXPECT_EQ("", r.out);
        EXPECT_NE(std::string::npos, r.err.find("Usage: vantrel-report"));
    }
}

TEST_F(ReportCommandTest, VersionHelpAndNoDriver) {
    Result r = RunTool({"--version"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("Vantrel V1.0 Build: 1002\n", r.out);
    r = RunTool({"--help"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("Usage: vantrel-report"));
    r = RunTool({});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("vantrel-report: no drive can be reached here\n", r.err);
}

TEST_F(ReportCommandTest, OutputFileIsReplacedWithTheSameBytes) {
    const std::string a = Write("o.smart", MakeCapture("OUT", "1", "F"));
    const std::string path = ::testing::TempDir() + "report-out.txt";
    WriteBytes("report-out.txt", std::string(20000, 'z'));
    const Result toFile = RunTool({"--output", path, a});
    EXPECT_EQ(0, toFile.status);
    EXPECT_EQ("", toFile.out);
    const Result toStdout = RunTool({a});
    EXPECT_EQ(toStdout.out, ReadFile(path));
#ifndef _WIN32
    // A device is written into, not replaced by a file; checked only where
    // a fault cannot replace it (report_command_unprivileged_test).
    if (geteuid() != 0) {
        EXPECT_EQ(0, RunTool({"--output", "/dev/null", a}).status);
    }
#endif
    const Result unwritable = RunTool({"--output", ::testing::TempDir() + "no/such/dir/x.txt", a});
    EXPECT_EQ(4, unwritable.status);
    EXPECT_NE(std::string::npos, unwritable.err.find("cannot create"));
}

// --save keeps what each listed drive answered, under its model and
// firmware; replaying the files at the same positions gives the same report.
TEST_F(ReportCommandTest, SavedCapturesReplayToTheSameReport) {
    DriveCapture twin = MakeCapture("SAVE TWIN", "T-1", "2.5+");
    SetAttribute(&twin, 0, 194, 40, 55, 41, 0);
    twin.hasStatus = false;  // no answer to SMART RETURN STATUS, so none saved
    twin.SetPowerMode(0xFF);
    DriveCapture other = MakeCapture("SAVE/OTHER", "O-1", "X 1");
    SetAttribute(&other, 0, 5, 100, 100, 7, 36);
    other.status[3] = 0;          // a FAILED self-assessment is saved as it came
    other.hasThresholds = false;  // its threshold read fails, in the replay too
    other.SetPowerMode(0x80);
    // An NVMe drive, at a fifth position, with its namespace data.
    DriveCapture nvme;
    nvme.hasNvmeController = nvme.hasNvmeNamespace = nvme.hasNvmeHealth = true;
    std::memcpy(nvme.nvmeController + 24, "NVME SAVE", 9);
    std::memcpy(nvme.nvmeController + 64, "FW 1", 4);
    nvme.nvmeNamespace[0] = 0x10;  // 16 blocks of 512 bytes (format 0)
    nvme.nvmeNamespace[128 + 2] = 9;
    nvme.nvmeHealth[1] = 0x2C;  // 300 K
    nvme.nvmeHealth[2] = 0x01;
    const std::string a = Write("save-twin.smart", twin);
    const std::string b = Write("save-other.smart", other);
    const std::string n = Write("save-nvme.smart", nvme);
    const std::string dir = FreshDir("save-replay");
    const Result live = RunTool({"--save", dir, a, b, "-", a, n});
    ASSERT_EQ(0, live.status) << live.err;
    EXPECT_NE(std::string::npos, live.out.find("7   \tUNKNOWN  100\t  100\t  -\r\n"));
    const std::string first = dir + "/SAVE_TWIN-1--2.5+.smart";
    const std::string second = dir + "/SAVE_TWIN-2--2.5+.smart";
    const std::string odd = dir + "/SAVE_OTHER--X_1.smart";
    EXPECT_NE(std::string::npos, live.err.find("saved " + first)) << live.err;
    const std::string serialized = ReadFile(a);
    EXPECT_EQ(serialized, ReadFile(first));
    EXPECT_EQ(serialized, ReadFile(second));
    EXPECT_EQ(ReadFile(b), ReadFile(odd));
    EXPECT_EQ(ReadFile(n), ReadFile(dir + "/NVME_SAVE--FW_1.smart"));
    EXPECT_NE(std::string::npos, live.out.find("Drive 4  NVMe\r\n")) << live.out;
    EXPECT_NE(std::string::npos, live.out.find("Namespace 1: 8192 \tBlock Size: 512\r\n"));
    EXPECT_NE(std::string::npos, live.out.find("\tComposite Temperature                 27 C\t"));

    const Result replay = RunTool({first, odd, "-", second, dir + "/NVME_SAVE--FW_1.smart"});
    ASSERT_EQ(0, replay.status) << replay.err;
    EXPECT_EQ(live.out, replay.out);
    EXPECT_EQ("", replay.err);
}

// A health line per listed drive; 3 calls a scheduled task to act, but a
// failed write (4) and a usage error (2) come first.
// A disk in standby is left asleep and named by its device in every output;
// --wake reads it like any other. The call log of the scan itself is the
// scan's test; here, what the user sees.
TEST_F(ReportCommandTest, AStandbyDiskIsListedUnreadInEveryOutput) {
    DriveCapture sleeper = MakeCapture("SLEEPER", "S-1", "F1");
    sleeper.SetPowerMode(0x00);
    const std::string z = Write("sleeper.smart", sleeper);
    const std::string a = WriteSaveable("awake.smart", "AWAKE");
    const struct {
        std::vector<std::string> options;
        std::string expected;  // the standby disk's part of standard output
    } cases[] = {
        {{}, "Drive 0  not read: in standby (vantrel-report --wake reads it)\r\n\r\nDrive 1  "},
        {{"--window"}, "Drive 0  not read: in standby (vantrel-report --wake reads it)\r\n\r\n"},
        {{"--list"}, "sleeper.smart (standby, not read)\nAWAKE\n"},
        {{"--health"}, "sleeper.smart: STANDBY: not read, so as not to wake it\nAWAKE: UNKNOWN"},
        {{"--json"},
         "{\n      \"device\": {\n        \"name\": \"sleeper.smart\",\n        \"type\": "
         "\"ata\",\n        \"protocol\": \"ATA\"\n      },\n      \"vantrel\": {\n        "
         "\"position\": 0,\n        \"power_mode\": {\n          \"value\": 0,\n          "
         "\"string\": \"standby\"\n        },\n        \"read\": false,\n        \"health\": "
         "{\n          \"verdict\": \"STANDBY\",\n          \"reasons\": []\n        },\n        "
         "\"exit_status_bits\": 2\n      }\n    },"},
        {{"--prometheus"},
         "smartctl_device{device=\"sleeper.smart\",model_family=\"unknown\",model_name=\"\","
         "serial_number=\"\",firmware_version=\"\",interface=\"ata\",protocol=\"ATA\","
         "ata_additional_product_id=\"unknown\",ata_version=\"\",sata_version=\"\","
         "form_factor=\"\"} 1\n"},
        {{"--prometheus"},
         "smartctl_device_state{device=\"sleeper.smart\"} 1\n"
         "smartctl_device_state{device=\"awake.smart\"} 0\n"},
        {{"--prometheus"},
         "vantrel_drive_health{device=\"sleeper.smart\",verdict=\"STANDBY\"} 1\n"},
        {{"--prometheus"}, "vantrel_drive_health{device=\"awake.smart\",verdict=\"STANDBY\"} 0\n"},
        {{"--prometheus"},
         "smartctl_device_smartctl_exit_status{device=\"sleeper.smart\"} 2\n"
         "smartctl_device_smartctl_exit_status{device=\"awake.smart\"} 0\n"},
        {{"--wake", "--list"}, "SLEEPER\nAWAKE\n"},
        {{"--wake", "--json"},
         "\"value\": 0,\n          \"string\": \"standby\"\n        },\n"
         "        \"read\": true,"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(z);
        args.push_back(a);
        const Result r = RunTool(args);
        EXPECT_EQ(0, r.status) << c.options[0] << r.err;
        EXPECT_NE(std::string::npos, r.out.find(c.expected)) << c.options[0] << "\n" << r.out;
    }
    // A machine whose every disk sleeps has still been read: exit 0.
    const Result alone = RunTool({"--health", z});
    EXPECT_EQ(0, alone.status);
    EXPECT_EQ("sleeper.smart: STANDBY: not read, so as not to wake it\n", alone.out);
    // Nothing to save of it, and it says so; saved woken, it sleeps again.
    const std::string dir = FreshDir("save-standby");
    const Result save = RunTool({"--list", "--save", dir, z});
    EXPECT_EQ(0, save.status);
    EXPECT_EQ("vantrel-report: sleeper.smart: in standby, not read, so not saved\n", save.err);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_EQ(0, RunTool({"--list", "--wake", "--save", dir, z}).status);
    const std::string saved = dir + "/SLEEPER--F1.smart";
    EXPECT_EQ("sleeper.smart (standby, not read)\n", RunTool({"--list", z}).out);
    EXPECT_EQ("SLEEPER--F1.smart (standby, not read)\n", RunTool({"--list", saved}).out);
    EXPECT_EQ("SLEEPER\n", RunTool({"--list", "--wake", saved}).out);
    // Compared with a reading of it, the sleeping disk is not woken.
    const Result compare = RunTool({"--compare", saved, z});
    EXPECT_EQ(2, compare.status);
    EXPECT_NE(std::string::npos,
              compare.err.find("vantrel-report: sleeper.smart is in standby and was not read; "
                               "vantrel-report --wake reads it\n"))
        << compare.err;
    EXPECT_EQ(0, RunTool({"--compare", saved, "--wake", z}).status);
}

TEST_F(ReportCommandTest, HealthLinesAndTheirExitStatus) {
    DriveCapture worn = MakeCapture("WORN", "W-1", "F");
    SetAttribute(&worn, 0, 197, 100, 100, 0x1234000002, 0);
    DriveCapture bare = MakeCapture("BARE", "B-1", "F");
    bare.hasSmartData = false;
    DriveCapture fine = MakeCapture("FINE", "F-1", "F");
    SetAttribute(&fine, 0, 9, 100, 100, 7, 0);
    const std::string a = Write("health-worn.smart", worn);
    const std::string b = Write("health-bare.smart", bare);
    const std::string c = Write("health-fine.smart", fine);
    // Sound attributes, but the drive's own verdict is FAILED (SMST 0).
    DriveCapture doomed = fine;
    SetIdentifyText(&doomed, kModelOffset, kModelWidth, "DOOMED");
    doomed.status[3] = 0;
    const std::string d = Write("health-doomed.smart", doomed);
    Result r = RunTool({"--health", c, b, a, d});
    EXPECT_EQ(3, r.status) << r.err;
    EXPECT_EQ(
        "FINE: GOOD\nBARE: UNKNOWN: no SMART data\nWORN: CAUTION: 2 pending sectors (C5)\n"
        "DOOMED: BAD: the drive's self-assessment: FAILED\n",
        r.out);
    r = RunTool({"--prometheus", d});
    EXPECT_NE(std::string::npos,
              r.out.find("\nsmartctl_device_smart_status{device=\"health-doomed.smart\"} 0\n"));
    EXPECT_NE(std::string::npos,
              r.out.find("\nsmartctl_device_smartctl_exit_status{device=\"health-doomed.smart\"} "
                         "8\n"));
    r = RunTool({"--json", d});
    EXPECT_NE(std::string::npos, r.out.find("\"smart_status\": {\n        \"passed\": false\n"));
    r = RunTool({"--health", c, b});
    EXPECT_EQ(0, r.status) << r.err;
    r = RunTool({"--health", "--save", ::testing::TempDir() + "no/such/folder", a});
    EXPECT_EQ(4, r.status);
    EXPECT_EQ(2, RunTool({"--health", "--bogus", a}).status);
}

// Two readings of one drive: what changed, flagged where it matters, and a
// projection only for the value that fell toward its threshold.
TEST_F(ReportCommandTest, CompareShowsChangesFlagsAndProjection) {
    DriveCapture then = MakeCapture("CMP DRIVE", "C-1", "F");
    SetAttribute(&then, 0, 5, 100, 100, 0x0A0000000002, 36);
    SetAttribute(&then, 1, 9, 90, 90, 1000, 0);
    SetAttribute(&then, 2, 7, 60, 60, 0, 30);
    SetAttribute(&then, 3, 197, 100, 100, 0, 0);
    SetAttribute(&then, 4, 1, 90, 90, 5, 16);
    SetAttribute(&then, 5, 200, 100, 100, 0, 0);
    DriveCapture now = then;
    SetAttribute(&now, 0, 5, 100, 100, 0x0B0000000003, 36);
    SetAttribute(&now, 1, 9, 90, 90, 3000, 0);
    SetAttribute(&now, 2, 7, 50, 50, 0, 30);
    SetAttribute(&now, 3, 197, 100, 100, 2, 0);
    SetAttribute(&now, 4, 1, 95, 90, 5, 16);
    SetAttribute(&now, 5, 194, 100, 100, 0x2D0F0028, 0);
    const std::string a = Write("cmp-then.smart", then);
    const std::string b = Write("cmp-now.smart", now);
    Result r = RunTool({"--compare", a, b});
    EXPECT_EQ(3, r.status) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ(
        "Drive: CMP DRIVE, serial C-1\n"
        "Then: " +
            a + "\nNow: " + b +
            "\n"
            "Health then: CAUTION: 2 reallocated sectors (5)\n"
            "Health now: CAUTION: 3 reallocated sectors (5), 2 pending sectors (C5)\n"
            "The power-on count is raw bytes 0 to 3 of attribute 9: hours on most drives, minutes "
            "on some.\n"
            "Power-on count: 1000 then, 3000 now, 2000 between the readings.\n"
            "\n"
            "ID  Description                          Value then -> now     Worst then -> now     "
            "Raw then -> now               Flags\n"
            "5   Reallocated Sector Count             100 -> 100            100 -> 100            "
            "2 -> 3 (+1)                   new reallocated sectors\n"
            "9   Power On Hours Count                 90 -> 90              90 -> 90              "
            "1000 -> 3000 (+2000)\n"
            "7   Seek Error Rate                      60 -> 50 (-10)        60 -> 50 (-10)        "
            "0 -> 0                        toward threshold\n"
            "C5  Current Pending Sector Count         100 -> 100            100 -> 100            "
            "0 -> 2 (+2)                   new pending sectors\n"
            "1   Raw Read Error Rate                  90 -> 95 (+5)         90 -> 90              "
            "5 -> 5\n"
            "C2  Temperature                          - -> 100              - -> 100              "
            "- -> 40 C                     appeared\n"
            "C8  Write Error Count                    100 -> -              100 -> -              "
            "0 -> -                        vanished\n"
            "\n"
            "Rough projections from two readings only, at the rate between them:\n"
            "Seek Error Rate (7): value 60 -> 50, falling 5.0 per 1,000 of the power-on count; at "
            "that rate roughly 4000 of it left until its threshold 30.\n",
        r.out);

    // A power-on count that went backwards gives no rate.
    SetAttribute(&now, 1, 9, 90, 90, 999, 0);
    r = RunTool({"--compare", a, Write("cmp-back.smart", now)});
    EXPECT_NE(std::string::npos,
              r.out.find("Power-on count: went backwards, 1000 then, 999 now; no rate and no "
                         "projection.\n"));
    EXPECT_EQ(std::string::npos, r.out.find("projections"));

    // Another drive is refused; a blank serial matches by model, warned.
    r = RunTool({"--compare", a, Write("cmp-other.smart", MakeCapture("CMP DRIVE", "C-2", "F"))});
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find("are different drives (CMP DRIVE, serial C-1; "
                                            "CMP DRIVE, serial C-2)"));
    // What standard error quotes of a drive reaches no terminal as control
    // bytes: a serial number's escape sequence is shown masked.
    r = RunTool({"--compare", a,
                 Write("cmp-escape.smart", MakeCapture("CMP DRIVE", "C-\x1b]0;x\x07", "F"))});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("CMP DRIVE, serial C-?]0;x?)\n")) << r.err;
    DriveCapture blank = MakeCapture("CMP DRIVE", "", "F");
    SetAttribute(&blank, 0, 9, 90, 90, 1000, 0);
    r = RunTool({"--compare", a, Write("cmp-blank.smart", blank)});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("matched CMP DRIVE by its model alone"));
    // No live drive to compare with is a refusal too.
    EXPECT_EQ(2, RunTool({"--compare", a}).status);
}

// An ATA SSD's wear, read from the attribute its maker documents: the
// endurance in JSON and the metrics, CAUTION when used up, and then -> now
// with the NVMe drives' projection in a comparison; none for a hard disk.
TEST_F(ReportCommandTest, EnduranceOfAnAtaSsd) {
    DriveCapture then = MakeCapture("INTEL SSDSC2BB240G4", "E-1", "F");
    SetAttribute(&then, 0, 9, 100, 100, 1000, 0);
    SetAttribute(&then, 1, 233, 98, 98, 0, 0);
    DriveCapture now = then;
    SetAttribute(&now, 0, 9, 100, 100, 3000, 0);
    SetAttribute(&now, 1, 233, 96, 96, 0, 0);
    const std::string a = Write("wear-then.smart", then);
    const std::string b = Write("wear-now.smart", now);
    Result r = RunTool({"--compare", a, b});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Endurance used: 2% then, 4% now.\n")) << r.out;
    EXPECT_NE(std::string::npos,
              r.out.find("Endurance used: 2% -> 4%, rising 1.0 per 1,000 power-on hours; at "
                         "that rate, 100% in about 96000 power-on hours.\n"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("E9  Media Wearout Indicator")) << r.out;

    r = RunTool({"--json", b});
    EXPECT_NE(std::string::npos,
              r.out.find("\"endurance_used\": {\n        \"current_percent\": 4"))
        << r.out;
    r = RunTool({"--prometheus", b});
    EXPECT_NE(std::string::npos,
              r.out.find("smartctl_device_percentage_used{device=\"wear-now.smart\"} 4\n"));

    SetAttribute(&now, 1, 233, 0, 0, 0, 0);
    r = RunTool({"--health", Write("wear-out.smart", now)});
    EXPECT_EQ(3, r.status);
    EXPECT_EQ("INTEL SSDSC2BB240G4: CAUTION: rated endurance used up (100%)\n", r.out);

    // The same id on a maker's disk that gives it no such meaning is no wear.
    DriveCapture disk = MakeCapture("HGST HUS724020ALE640", "H-1", "F");
    SetAttribute(&disk, 0, 233, 0, 0, 0, 0);
    const std::string c = Write("wear-disk.smart", disk);
    EXPECT_EQ(std::string::npos, RunTool({"--json", c}).out.find("endurance_used"));
    EXPECT_EQ(std::string::npos, RunTool({"--prometheus", c}).out.find("percentage_used"));
}

// An NVMe drive's readings: every row then and now, the flags, and where
// the wear and the spare are heading; another drive is refused.
// The drive's own logs between two readings: the error count and whether a
// new error is uncorrectable, the self-tests run since; and the verdicts
// they give, in the heading and in --health.
TEST_F(ReportCommandTest, CompareAndHealthReadTheDrivesLogs) {
    DriveCapture older = MakeCapture("LOGGER", "L-1", "F");
    SetAttribute(&older, 0, 9, 100, 100, 120, 0);  // 120 power-on hours
    AddLoggedError(&older, 0x04, 77, 90);          // ABRT: no sign
    AddSelfTest(&older, 0x01, 0x00, 100, 0);
    DriveCapture newer = older;
    SetAttribute(&newer, 0, 9, 100, 100, 160, 0);
    AddLoggedError(&newer, 0x84, 78, 130);         // ICRC, ABRT
    AddLoggedError(&newer, 0x40, 0x1234567, 140);  // UNC
    AddSelfTest(&newer, 0x02, 0x10, 145, 0);       // aborted: neither clears nor sets
    AddSelfTest(&newer, 0x01, 0x73, 150, 4660);    // read failure
    const std::string a = Write("logs-old.smart", older);
    const std::string b = Write("logs-new.smart", newer);
    const Result r = RunTool({"--compare", a, b});
    EXPECT_EQ(3, r.status) << r.err;
    for (const char* line : {
             "Health then: GOOD\n",
             "Health now: BAD: last self-test (Short offline) failed: read failure at LBA 4660, "
             "at 150 hours, 3 errors logged, the most recent uncorrectable at LBA 19088743 (140 "
             "hours)\n",
             "Errors logged: 1 then, 3 now (+2): new errors, one uncorrectable.\n",
             "Self-tests since the older reading (120 hours):\n"
             "  Short offline at 150 hours: Completed: read failure at LBA 4660\n"
             "  Extended offline at 145 hours: Aborted by host\n",
         }) {
        EXPECT_NE(std::string::npos, r.out.find(line)) << line << "\n" << r.out;
    }
    // A later pass clears the failure; the uncorrectable error remains.
    AddSelfTest(&newer, 0x01, 0x00, 155, 0);
    const Result health = RunTool({"--health", Write("logs-passed.smart", newer)});
    EXPECT_EQ(3, health.status);
    EXPECT_EQ(
        "LOGGER: CAUTION: 3 errors logged, the most recent uncorrectable at LBA 19088743 (140 "
        "hours)\n",
        health.out);
    EXPECT_NE(std::string::npos,
              RunTool({"--compare", b, a}).out.find("Errors logged: 3 then, 1 now.\n"));
    // Past 65,535 hours the log keeps the low 16 bits: a test five hours
    // after a reading at 70,000 hours is logged at 4,469.
    DriveCapture old70k = MakeCapture("LOGGER", "L-1", "F");
    SetAttribute(&old70k, 0, 9, 100, 100, 70000, 0);
    DriveCapture new70k = old70k;
    SetAttribute(&new70k, 0, 9, 100, 100, 70010, 0);
    AddSelfTest(&new70k, 0x01, 0x00, 4469, 0);
    EXPECT_NE(std::string::npos,
              RunTool({"--compare", Write("old70k.smart", old70k), Write("new70k.smart", new70k)})
                  .out.find("Self-tests since the older reading (70000 hours):\n"
                            "  Short offline at 4469 hours: Completed without error\n"));
}

TEST_F(ReportCommandTest, CompareOfAnNvmeDrive) {
    DriveCapture then;
    then.hasNvmeController = then.hasNvmeHealth = true;
    std::memcpy(then.nvmeController + 4, "SN-1", 4);
    std::memcpy(then.nvmeController + 24, "NVME CMP", 8);
    then.nvmeHealth[3] = 100;     // spare
    then.nvmeHealth[4] = 10;      // its threshold
    then.nvmeHealth[5] = 20;      // percentage used
    then.nvmeHealth[128] = 0xE8;  // 1000 power-on hours
    then.nvmeHealth[129] = 0x03;
    DriveCapture now = then;
    now.nvmeHealth[0] = 0x04;  // reliability degraded
    now.nvmeHealth[3] = 90;
    now.nvmeHealth[5] = 22;
    now.nvmeHealth[128] = 0xD0;  // 2000
    now.nvmeHealth[129] = 0x07;
    now.nvmeHealth[160] = 2;  // media errors
    const std::string a = Write("nvme-then.smart", then);
    Result r = RunTool({"--compare", a, Write("nvme-now.smart", now)});
    EXPECT_EQ(3, r.status) << r.err;
    for (const char* line :
         {"Health now: BAD: reliability degraded, 2 media and data integrity errors\n",
          "Power on hours: 1000 then, 2000 now, 1000 between the readings.\n",
          "\n1   Critical Warning                     0x0 -> 0x4                                  "
          "newly set: reliability degraded\n",
          "\n3   Available Spare                      100% -> 90% (-10)                           "
          "spare falling\n",
          "\nE   Media and Data Integrity Errors      0 -> 2 (+2)                                 "
          "new media errors\n",
          "Percentage Used (5): 20% -> 22%, rising 2.0 per 1,000 power-on hours; at that rate, "
          "100% in about 39000 power-on hours.\n",
          "Available Spare (3): 100% -> 90%, falling 10.0 per 1,000 power-on hours; at that "
          "rate, its threshold 10% in about 8000 power-on hours.\n"}) {
        EXPECT_NE(std::string::npos, r.out.find(line)) << line << r.out;
    }
    std::memcpy(now.nvmeController + 4, "SN-2", 4);
    r = RunTool({"--compare", a, Write("nvme-other.smart", now)});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("are different drives")) << r.err;
}

// A capture that cannot be saved costs neither the report nor the news.
TEST_F(ReportCommandTest, SaveIntoAMissingFolderFailsButStillReports) {
    const std::string a = Write("save-missing.smart", MakeCapture("MISSING", "1", "F"));
    const Result r = RunTool({"--save", ::testing::TempDir() + "no/such/folder", a});
    EXPECT_EQ(4, r.status);
    EXPECT_EQ(RunTool({a}).out, r.out);
    EXPECT_NE(std::string::npos, r.err.find("cannot create")) << r.err;
    const Result usage = RunTool({a, "--save"});
    EXPECT_EQ(2, usage.status);
    EXPECT_NE(std::string::npos, usage.err.find("--save needs a folder"));
}

// A capture saved earlier is the drive's history, and a link planted under a
// capture's name (by anyone who may write the folder) must not make root
// write elsewhere: --save then takes the next free name.
TEST_F(ReportCommandTest, SaveNeverReplacesNorFollowsAnExistingName) {
    const std::string dir = FreshDir("save-taken");
    const std::string a = WriteSaveable("taken.smart", "TAKEN");
    std::vector<std::string> args = {"--list", "--save", dir, a};
    WriteBytes("save-taken/TAKEN--F.smart", "earlier capture");
#ifndef _WIN32
    const std::string b = WriteSaveable("linked.smart", "LINKED");
    const std::string c = WriteSaveable("dangling.smart", "DANGLING");
    WriteBytes("save-taken/victim", "victim");
    std::filesystem::create_symlink(dir + "/victim", dir + "/LINKED--F.smart");
    std::filesystem::create_symlink(dir + "/nowhere", dir + "/DANGLING--F.smart");
    args.push_back(b);
    args.push_back(c);
#endif
    const Result r = RunTool(args);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("earlier capture", ReadFile(dir + "/TAKEN--F.smart"));
    EXPECT_TRUE(ReadFile(a) == ReadFile(dir + "/TAKEN--F.2.smart"));
    EXPECT_NE(std::string::npos,
              r.err.find(dir + "/TAKEN--F.smart exists, saving as " + dir + "/TAKEN--F.2.smart\n"))
        << r.err;
#ifndef _WIN32
    EXPECT_EQ("victim", ReadFile(dir + "/victim"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/LINKED--F.smart"));
    EXPECT_TRUE(ReadFile(b) == ReadFile(dir + "/LINKED--F.2.smart"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere"));
    EXPECT_TRUE(ReadFile(c) == ReadFile(dir + "/DANGLING--F.2.smart"));
    // Nor does a link in the folder's path that another user could change
    // (only root can plant one as another user's).
    if (geteuid() == 0) {
        const std::string elsewhere = FreshDir("save-taken/elsewhere");
        PlantLink(dir + "/prometheus", "captures", elsewhere, 65534);
        const Result planted = RunTool({"--list", "--save", dir + "/prometheus/captures", a});
        EXPECT_EQ(4, planted.status);
        EXPECT_NE(std::string::npos, planted.err.find("/prometheus/captures/TAKEN--F.smart: goes "
                                                      "through captures, a link another user"))
            << planted.err;
        EXPECT_TRUE(Entries(elsewhere).empty());
    }
#endif
}

#ifndef _WIN32
// Writes that fail part of the way (here at a file size limit) leave no
// partial capture behind, and the old report file as it was.
TEST_F(ReportCommandTest, FailedWritesLeaveNoPartialFileAndKeepTheOldReport) {
    const std::string dir = FreshDir("write-fails");
    const std::string a = WriteSaveable("write-fails.smart", "BIG");
    const std::string report = WriteBytes("write-fails/report.txt", "old report");
    struct rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    struct rlimit small = saved;
    small.rlim_cur = 512;  // below a capture and a report
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const Result save = RunTool({"--save", dir, a});
    const Result output = RunTool({"--output", report, a});
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(4, save.status);
    EXPECT_EQ(4, output.status);
    EXPECT_NE(std::string::npos,
              output.err.find(std::string("report.txt: write error: ") + std::strerror(EFBIG)))
        << output.err;
    EXPECT_EQ("old report", ReadFile(report));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(std::vector<std::string>{"report.txt"}, left);
}
#endif

#ifndef _WIN32
// What --output NAME does with each kind of thing a name can be. Written
// into: the null device. Refused, with the thing unchanged and no hang: a
// link (to a file or to a disk), a pipe nobody reads, every other device.
TEST_F(ReportCommandTest, OutputRefusesLinksDisksDevicesAndUnreadPipes) {
    const std::string dir = FreshDir("output-kinds");
    const std::string a = Write("kinds.smart", MakeCapture("KINDS", "1", "F"));
    const std::string victim = WriteBytes("output-kinds/victim", "victim");
    std::filesystem::create_symlink(victim, dir + "/to-file");
    std::filesystem::create_symlink(dir + "/nowhere", dir + "/dangling");
    ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
    struct Case {
        std::string target;
        int status;
        const char* message;
    };
    // A link in the folder part is followed where only its owner, root or
    // this user, may change it, and nowhere else.
    const std::string followed = FreshDir("output-kinds-followed");
    const std::string elsewhere = FreshDir("output-kinds-elsewhere");
    PlantLink(dir + "/own", "run", followed, geteuid());
    PlantLink(dir + "/shared", "run", elsewhere, geteuid());
    ASSERT_EQ(0, chmod((dir + "/shared").c_str(), 0777));
    std::vector<Case> cases = {
        {dir + "/to-file", 4, "is a symbolic link"},
        {dir + "/dangling", 4, "is a symbolic link"},
        {dir + "/fifo", 4, "a pipe that nobody reads"},
        {"/dev/zero", 4, "is a device"},
        {"/dev/full", 4, "is a device"},
        {"/dev/null", 0, ""},
        {dir + "/own/run/followed.txt", 0, ""},
        {dir + "/shared/run/x.txt", 4, "goes through run, a link another user could change"},
    };
    // A terminal: a pseudo-terminal's slave, told by its number.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(0, grantpt(master));
    ASSERT_EQ(0, unlockpt(master));
    cases.push_back({ptsname(master), 0, ""});
    if (geteuid() == 0) {
        // The metrics folder of Debian's node exporter, its owner's to change.
        PlantLink(dir + "/prometheus", "node-exporter", elsewhere, 65534);
        cases.push_back({dir + "/prometheus/node-exporter/vantrel.prom", 4, "goes through"});
    }
    // A device refused is never opened for writing, which may be what it
    // acts on: closing a write descriptor would be seen.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, "/dev/full", IN_CLOSE_WRITE), 0);
    struct stat disk;
    for (const char* name : {"/dev/loop0", "/dev/sda", "/dev/vda"}) {
        if (stat(name, &disk) == 0 && S_ISBLK(disk.st_mode) && access(name, W_OK) == 0) {
            cases.push_back({name, 4, "is a disk"});
            std::filesystem::create_symlink(name, dir + "/to-disk");
            cases.push_back({dir + "/to-disk", 4, "is a symbolic link"});
            break;
        }
    }
    for (const Case& c : cases) {
        const Result r = RunTool({"--output", c.target, a});
        EXPECT_EQ(c.status, r.status) << c.target << r.err;
        const std::string said = c.status ? "vantrel-report: " + c.target + ": " + c.message : "";
        EXPECT_EQ(0u, r.err.find(said)) << r.err;
    }
    char event[sizeof(struct inotify_event) + 256];
    EXPECT_EQ(-1, read(watch, event, sizeof event));
    close(watch);
    close(master);
    EXPECT_EQ(RunTool({a}).out, ReadFile(followed + "/followed.txt"));
    EXPECT_TRUE(Entries(elsewhere).empty());
    EXPECT_EQ("victim", ReadFile(victim));
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/to-file"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir + "/fifo"));
    const std::vector<std::string> left = Entries(dir);
    EXPECT_EQ(
        std::count_if(left.begin(), left.end(),
                      [](const std::string& n) { return n.find(".new") != std::string::npos; }),
        0);
}

// The replaced file keeps its mode, never its set-id bits, and its owner
// where root may give it; a new one gets 0666 less the umask. Until then the
// temporary file is its creator's alone.
mode_t g_temporaryMode = 0;

void NoteTemporaryMode(const std::string& temporary) {
    struct stat info;
    g_temporaryMode = stat(temporary.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
}

TEST_F(ReportCommandTest, OutputKeepsTheModeOfTheFileItReplaces) {
    const std::string a = Write("mode.smart", MakeCapture("MODE", "1", "F"));
    const bool root = geteuid() == 0;
    const struct {
        const char* name;
        mode_t old;  // 0: no file there
        bool otherOwner;
        mode_t mask;
        mode_t expected;
    } cases[] = {
        {"mode-old.txt", 0640, false, 027, 0640},
        {"mode-new.txt", 0, false, 027, 0640},
        {"mode-new-unmasked.txt", 0, false, 0, 0666},
        {"mode-setid.txt", 06755, false, 022, 0755},
        {"mode-setid-other.txt", 06755, true, 022, 0755},
    };
    for (const auto& c : cases) {
        const std::string path = ::testing::TempDir() + c.name;
        std::remove(path.c_str());
        if (c.old) {
            WriteBytes(c.name, "old");
            // Given away before its mode: a new owner's chown drops set-id bits.
            ASSERT_EQ(0, chown(path.c_str(), c.otherOwner && root ? 65534 : geteuid(), getegid()));
            ASSERT_EQ(0, chmod(path.c_str(), c.old));
        }
        struct stat info;
        g_temporaryMode = 0;
        g_outputBeforePermissions = NoteTemporaryMode;
        const mode_t mask = umask(c.mask);
        const Result r = RunTool({"--output", path, a});
        umask(mask);
        g_outputBeforePermissions = nullptr;
        EXPECT_EQ(0, r.status) << c.name << r.err;
        EXPECT_EQ(0600u, g_temporaryMode) << c.name;
        ASSERT_EQ(0, stat(path.c_str(), &info));
        EXPECT_EQ(c.expected, info.st_mode & 07777) << c.name;
        EXPECT_EQ(c.otherOwner && root ? 65534u : geteuid(), info.st_uid) << c.name;
        EXPECT_EQ(RunTool({a}).out, ReadFile(path)) << c.name;
    }
}

// Whoever owns the report's folder can swap FILE.new for a link between the
// write and the mode change. The hook makes that certain: the link's target
// keeps its mode, and no link takes the report's place.
std::string g_raceVictim;
bool g_raceReachesVictim = false;

void SwapTemporaryForLink(const std::string& temporary) {
    std::remove(temporary.c_str());
    std::filesystem::create_symlink(g_raceVictim, temporary);
    // The control: anything done to the name from now on reaches the victim.
    struct stat byName;
    struct stat victim;
    g_raceReachesVictim = stat(temporary.c_str(), &byName) == 0 &&
                          stat(g_raceVictim.c_str(), &victim) == 0 &&
                          byName.st_ino == victim.st_ino;
}

TEST_F(ReportCommandTest, OutputModeChangeCannotBeRedirected) {
    const std::string a = Write("race.smart", MakeCapture("RACE", "1", "F"));
    FreshDir("race");
    const std::string report = WriteBytes("race/report.txt", "old report");
    ASSERT_EQ(0, chmod(report.c_str(), 0777));
    g_raceVictim = WriteBytes("race-victim", "victim");
    ASSERT_EQ(0, chmod(g_raceVictim.c_str(), 0600));
    g_outputBeforePermissions = SwapTemporaryForLink;
    const Result r = RunTool({"--output", report, a});
    g_outputBeforePermissions = nullptr;
    EXPECT_TRUE(g_raceReachesVictim);
    EXPECT_EQ(4, r.status);
    EXPECT_NE(std::string::npos, r.err.find("was replaced while it was written")) << r.err;
    struct stat info;
    ASSERT_EQ(0, stat(g_raceVictim.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 07777);
    EXPECT_EQ("victim", ReadFile(g_raceVictim));
    EXPECT_FALSE(std::filesystem::is_symlink(report));
    EXPECT_EQ("old report", ReadFile(report));
}

// The metrics timer's file (--prometheus --output): a textfile collector
// that reads it while a run writes sees the last metrics whole, never part
// of the new ones; the new ones take the name only once they are whole.
std::string g_textfile;
std::string g_textfileMidway;
std::string g_temporaryMidway;

void ReadTheTextfileMidway(const std::string& temporary) {
    g_textfileMidway = ReadFile(g_textfile);
    g_temporaryMidway = ReadFile(temporary);
}

TEST_F(ReportCommandTest, PrometheusOutputReplacesTheTextfileWhole) {
    const std::string a = Write("metrics.smart", MakeCapture("METRICS", "1", "F"));
    FreshDir("textfile");
    const std::string old = "vantrel_scan_drives 7\n";
    g_textfile = WriteBytes("textfile/vantrel.prom", old);
    g_outputBeforePermissions = ReadTheTextfileMidway;
    const Result r = RunTool({"--prometheus", "--output", g_textfile, a});
    g_outputBeforePermissions = nullptr;
    const std::string metrics = RunTool({"--prometheus", a}).out;
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, metrics.find("\nvantrel_scan_drives 1\n"));
    EXPECT_EQ(old, g_textfileMidway);
    EXPECT_EQ(metrics, g_temporaryMidway);
    EXPECT_EQ(metrics, ReadFile(g_textfile));
    EXPECT_FALSE(std::filesystem::exists(g_textfile + ".new"));
}

// A capture argument that is not a regular file would hang (a FIFO) or read
// a device: refused with exit 2 before anything is read.
TEST_F(ReportCommandTest, CaptureThatIsNotAFileIsRefused) {
    const std::string dir = FreshDir("capture-kinds");
    ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
    const std::string good = Write("capture-kinds.smart", MakeCapture("KINDS", "1", "F"));
    std::filesystem::create_symlink(good, dir + "/link.smart");
    // An open that waits for a FIFO's writer ends the program, not the suite.
    alarm(30);
    for (const std::string& capture : {dir + "/fifo", std::string("/dev/zero"), dir}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{capture}, {"--compare", capture, good}}) {
            const Result r = RunTool(args);
            EXPECT_EQ(2, r.status) << capture;
            EXPECT_EQ("vantrel-report: " + capture + ": not a regular file\n", r.err);
        }
    }
    alarm(0);
    // A link to a capture is a capture.
    EXPECT_EQ(RunTool({good}).out, RunTool({dir + "/link.smart"}).out);
    const Result compared = RunTool({"--compare", dir + "/link.smart", good});
    EXPECT_EQ(0, compared.status) << compared.err;
}
// A drive's own texts reach a terminal as printable text only, in every
// output mode; written to a file they stay as the drive sent them, and a
// saved capture keeps the raw bytes.
TEST_F(ReportCommandTest, DriveTextsAreMaskedWhenATerminalListens) {
    const std::string a =
        Write("escape.smart", MakeCapture("EV\x1b]0;X\x07L", "S\x1b[2J", "F\x7f"));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(0, grantpt(master));
    ASSERT_EQ(0, unlockpt(master));
    FILE* terminal = std::fopen(ptsname(master), "w");
    ASSERT_NE(nullptr, terminal);
    const std::string dir = FreshDir("escape-save");
    const char* const modes[][2] = {
        {"--list", "EV?]0;X?L"}, {"--window", "EV?]0;X?L"}, {"--export", "S?[2J"}};
    for (const auto& mode : modes) {
        std::vector<std::string> args = {a};
        if (std::string(mode[0]) != "--export") {
            args.insert(args.begin(), mode[0]);
        }
        FILE* out = std::tmpfile();
        const int status = RunReportCommand(args, out, terminal, NoRealDriver);
        const std::string shown = ReadStream(out);
        std::fclose(out);
        EXPECT_EQ(0, status) << mode[0];
        EXPECT_NE(std::string::npos, shown.find(mode[1])) << mode[0] << shown;
        EXPECT_EQ(std::string::npos, shown.find_first_of("\x1b\x07\x7f")) << mode[0];
        const Result raw = RunTool(args);
        EXPECT_NE(std::string::npos, raw.out.find_first_of("\x1b\x07")) << mode[0];
    }
    FILE* out = std::tmpfile();
    EXPECT_EQ(0, RunReportCommand({"--list", "--save", dir, a}, out, terminal, NoRealDriver));
    std::fclose(out);
    std::fclose(terminal);
    close(master);
    DriveCapture saved;
    std::string error;
    ASSERT_TRUE(ReadCaptureFile(dir + "/EV__0_X_L--F_.smart", &saved, &error)) << error;
    DriveCapture original;
    ASSERT_TRUE(ReadCaptureFile(a, &original, &error));
    EXPECT_EQ(0, std::memcmp(original.identify, saved.identify, 512));
}
#endif

// The machine's own drives are saved the same way as replayed ones.
std::unique_ptr<SmartDriver> MachineWithOneDrive(std::string*, DriverUse) {
    std::unique_ptr<EmulatedDriver> machine(new EmulatedDriver(kPlatformWindowsNt));
    machine->InsertDrive(1, MakeCapture("MACHINE DISK", "M-1", "M1"));
    return std::unique_ptr<SmartDriver>(machine.release());
}

TEST_F(ReportCommandTest, SavesTheMachinesOwnDrives) {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const std::string dir = FreshDir("save-machine");
    const int status = RunReportCommand({"--list", "--save", dir}, out, err, MachineWithOneDrive);
    EXPECT_EQ(0, status) << ReadStream(err);
    EXPECT_EQ("MACHINE DISK\n", ReadStream(out));
    std::fclose(out);
    std::fclose(err);
    DriveCapture saved;
    std::string error;
    ASSERT_TRUE(ReadCaptureFile(dir + "/MACHINE_DISK--M1.smart", &saved, &error)) << error;
    const DriveCapture original = MakeCapture("MACHINE DISK", "M-1", "M1");
    EXPECT_EQ(0, std::memcmp(original.identify, saved.identify, 512));
    EXPECT_EQ(0, std::memcmp(original.smartData, saved.smartData, 512));
}

// A real drive's report equals the golden export file.
TEST(ReportGoldenTest, RealSeagateCaptureMatchesGoldenExport) {
    if (!HaveRealCaptures()) {
        GTEST_SKIP() << "real captures not found at " << VANTREL_CAPTURES_DIR;
    }
    const Result r = RunTool({Captures() + "ST320410A--3.39.smart"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(ReadFile(std::string(VANTREL_SOURCE_DIR) + "/cli/testdata/ST320410A--3.39.txt"),
              r.out);
}

TEST(ReportRealCapturesTest, EveryRealCaptureReportsWithItsAttributeLines) {
    if (!HaveRealCaptures()) {
        GTEST_SKIP() << "real captures not found at " << VANTREL_CAPTURES_DIR;
    }
    const char* files[] = {"FUJITSU_MHY2120BH--0084000D.smart",
                           "FUJITSU_MHY2120BH--0085000B.smart",
                           "FUJITSU_MHY2250BH--0085000B.smart",
                           "INTEL_SSDSA2CW120G3--4PC10302.smart",
                           "SAMSUNG_HD501LJ--CR100-12.smart",
                           "SAMSUNG_MP0804H--UE100-14.smart",
                           "ST320410A--3.39.smart",
                           "ST9100821AS--3.CME.smart",
                           "WDC_WD2500JS-75NCB3--10.02E04.smart"};
    for (const char* file : files) {
        const Result r = RunTool({Captures() + file});
        ASSERT_EQ(0, r.status) << file << r.err;
        const size_t dashes = r.out.find(std::string(92, '-') + "\r\n");
        ASSERT_NE(std::string::npos, dashes) << file;
        DriveCapture capture;
        std::string error;
        ASSERT_TRUE(ReadCaptureFile(Captures() + file, &capture, &error));
        int attributes = 0;
        for (int slot = 0; slot < 30; ++slot) {
            attributes += capture.smartData[2 + 12 * slot] != 0;
        }
        int lines = 0;
        for (size_t at = dashes; (at = r.out.find("\r\n", at)) != std::string::npos; at += 2) {
            ++lines;
        }
        EXPECT_EQ(attributes + 1, lines) << file;  // the dashes' own line end too
    }
}

}  // namespace

// A machine with disks that are there but cannot be read: one denies the
// open, one opens but answers neither the SMART controls nor the NVMe
// queries. Each is named, with its reason: on standard error in the text
// modes, in the document itself for --json and --prometheus.
std::unique_ptr<SmartDriver> MachineWithUnreadableDisks(std::string*, DriverUse) {
    std::unique_ptr<EmulatedDriver> machine(new EmulatedDriver(kPlatformWindowsNt));
    machine->InsertDrive(0, MakeCapture("READ DISK", "R-1", "R1"));
    machine->InsertDrive(2, MakeCapture("DENIED DISK", "D-1", "D1"));
    machine->FailStep(2, ScanStep::kOpen);
    // Past a gap of six numbers: a disk whose driver answers no SMART
    // control (nor, not being NVMe, the NVMe queries).
    machine->InsertDrive(9, MakeCapture("BRIDGED DISK", "B-1", "B1"));
    machine->FailStep(9, ScanStep::kVersion);
    return std::unique_ptr<SmartDriver>(machine.release());
}

std::unique_ptr<SmartDriver> MachineWithOnlyADeniedDisk(std::string*, DriverUse) {
    std::unique_ptr<EmulatedDriver> machine(new EmulatedDriver(kPlatformWindowsNt));
    machine->InsertDrive(0, MakeCapture("DENIED DISK", "D-1", "D1"));
    machine->FailStep(0, ScanStep::kOpen);
    return std::unique_ptr<SmartDriver>(machine.release());
}

TEST_F(ReportCommandTest, DisksThatCannotBeReadAreNamed) {
    const std::string lines =
        "vantrel-report: \\\\.\\PhysicalDrive2: not readable: no rights (administrator or root)\n"
        "vantrel-report: \\\\.\\PhysicalDrive9: not readable: answers neither SMART nor NVMe\n";
    const struct {
        const char* mode;
        const char* err;
        const char* inDocument;
        RealDriverFactory machine;
        int status;
    } cases[] = {
        {"--list", lines.c_str(), nullptr, MachineWithUnreadableDisks, 0},
        {"--health", lines.c_str(), nullptr, MachineWithUnreadableDisks, 0},
        {"--json", "",
         "\"exit_status\": 0,\n    \"unreadable\": [\n      {\n        \"device\": "
         "\"\\\\\\\\.\\\\PhysicalDrive2\",\n        \"reason\": \"not readable: no rights "
         "(administrator or root)\"\n      },",
         MachineWithUnreadableDisks, 0},
        {"--prometheus", "", "\nvantrel_scan_unreadable 2\n", MachineWithUnreadableDisks, 0},
        // Nothing read: said whatever the mode, and no document.
        {"--json",
         "vantrel-report: \\\\.\\PhysicalDrive0: not readable: no rights (administrator or "
         "root)\nNo SMART compatible drives were detected.\n",
         nullptr, MachineWithOnlyADeniedDisk, 1},
    };
    for (const auto& c : cases) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        const int status = RunReportCommand({c.mode}, out, err, c.machine);
        const std::string written = ReadStream(out);
        EXPECT_EQ(c.status, status) << c.mode;
        EXPECT_EQ(c.err, ReadStream(err)) << c.mode;
        if (c.inDocument) {
            EXPECT_NE(std::string::npos, written.find(c.inDocument)) << written;
        }
        std::fclose(out);
        std::fclose(err);
    }
}

// --device reads the disks named and no other: the others are not even
// opened (the denied and the bridged disk are not named as unreadable), a
// disk past a gap is reached directly, and a name that is no disk of this
// machine is refused before anything is written.
TEST_F(ReportCommandTest, DeviceChoosesTheDisksRead) {
    const std::string denied =
        "vantrel-report: \\\\.\\PhysicalDrive2: not readable: no rights (administrator or root)\n";
    const std::string bridged =
        "vantrel-report: \\\\.\\PhysicalDrive9: not readable: answers neither SMART nor NVMe\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"--list", "--device", "0"}, 0, "READ DISK\n", ""},
        {{"--list", "--device=\\\\.\\PhysicalDrive0", "--device", "0"}, 0, "READ DISK\n", ""},
        {{"--list", "--device", "9", "--device", "0"}, 0, "READ DISK\n", bridged},
        {{"--health", "--device", "2"},
         1,
         "",
         denied + "No SMART compatible drives were detected.\n"},
        {{"--list", "--device", "5"}, 2, "", "vantrel-report: 5: not a disk of this machine\n"},
        {{"--list", "--device", "0", "--device", "/dev/sdz"},
         2,
         "",
         "vantrel-report: /dev/sdz: not a disk of this machine\n"},
        {{"--list", "--device", "64"}, 2, "", "vantrel-report: 64: not a disk of this machine\n"},
        {{"--list", "--device", "01"}, 2, "", "vantrel-report: 01: not a disk of this machine\n"},
    };
    for (const auto& c : cases) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        const int status = RunReportCommand(c.args, out, err, MachineWithUnreadableDisks);
        EXPECT_EQ(c.status, status) << c.args.back();
        EXPECT_EQ(c.out, ReadStream(out)) << c.args.back();
        EXPECT_EQ(c.err, ReadStream(err)) << c.args.back();
        std::fclose(out);
        std::fclose(err);
    }
    // With captures, or with --compare's NEW, there is no machine to choose from.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--device", "0", "capture.smart"},
          std::vector<std::string>{"--compare", "old.smart", "new.smart", "--device", "0"},
          std::vector<std::string>{"--device"}}) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        EXPECT_EQ(2, RunReportCommand(args, out, err, MachineWithUnreadableDisks));
        EXPECT_EQ("", ReadStream(out));
        std::fclose(out);
        std::fclose(err);
    }
}
// The Device Statistics log: read where the log directory lists it, in
// JSON and metrics, judged by nothing; a page that names another is left
// out and said; --save keeps the directory and the pages read.
class DeviceStatisticsReportTest : public ReportCommandTest {
  protected:
    void SetUp() override {
        full = MakeCapture("STATS FULL", "S-1", "F1");
        full.hasStatus = false;  // never asked for, so never saved
        full.SetPowerMode(0xFF);
        SetAttribute(&full, 0, 9, 100, 100, 10, 0);
        AddDeviceStatistics(&full, {0, 1, 4, 5, 6, 7});
        const uint8_t valid = kStatisticSupported | kStatisticValid;
        SetStatistic(&full, 1, 0x10, valid, 10);
        SetStatistic(&full, 1, 0x18, valid, 1000);             // logical sectors written
        SetStatistic(&full, 1, 0x28, valid, 3000);             // and read
        SetStatistic(&full, 1, 0x30, kStatisticSupported, 9);  // not valid: no value
        SetStatistic(&full, 4, 0x08, valid, 7);                // uncorrectable errors: no verdict
        SetStatistic(&full, 5, 0x08, valid, 0xFB);             // -5 degrees
        SetStatistic(&full, 6, 0x18, valid | kStatisticConditionMet, 2);
        SetStatistic(&full, 7, 0x08, valid | kStatisticNormalized, 104);
        broken = full;
        SetIdentifyText(&broken, kModelOffset, kModelWidth, "STATS BROKEN");
        broken.deviceStatistics[512 * 5 + 2] = 4;
        unlisted = full;
        SetIdentifyText(&unlisted, kModelOffset, kModelWidth, "STATS UNLISTED");
        unlisted.logDirectory[2 * 4] = 0;
        paths = {Write("stats-full.smart", full), Write("stats-broken.smart", broken),
                 Write("stats-unlisted.smart", unlisted)};
    }
    Result Run(const std::string& option) {
        std::vector<std::string> args = {option};
        args.insert(args.end(), paths.begin(), paths.end());
        return RunTool(args);
    }
    DriveCapture full, broken, unlisted;
    std::vector<std::string> paths;
};

TEST_F(DeviceStatisticsReportTest, Json) {
    const Result r = Run("--json");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("vantrel-report: stats-broken.smart: Device Statistics page 5 failed its checks\n",
              r.err);
    // Three drives, one table each where the log was read and page 0 is sound.
    const size_t second = r.out.find("\"name\": \"stats-broken.smart\"");
    const size_t third = r.out.find("\"name\": \"stats-unlisted.smart\"");
    ASSERT_NE(std::string::npos, second);
    ASSERT_NE(std::string::npos, third);
    const std::string one = r.out.substr(0, second);
    const std::string two = r.out.substr(second, third - second);
    const std::string three = r.out.substr(third);
    const std::string endurance =
        "              {\n"
        "                \"offset\": 8,\n"
        "                \"name\": \"Percentage Used Endurance Indicator\",\n"
        "                \"size\": 1,\n"
        "                \"value\": 104,\n"
        "                \"flags\": {\n"
        "                  \"value\": 224,\n"
        "                  \"valid\": true,\n"
        "                  \"normalized\": true,\n"
        "                  \"supports_dsn\": false,\n"
        "                  \"monitored_condition_met\": false,\n"
        "                  \"string\": \"N--\"\n"
        "                }\n";
    const std::string temperature =
        "\"name\": \"Current Temperature\",\n"
        "                \"size\": 1,\n"
        "                \"value\": -5,\n";
    const std::string invalid =
        "\"name\": \"Number of Read Commands\",\n"
        "                \"size\": 6,\n"
        "                \"flags\": {\n"
        "                  \"value\": 128,\n";
    const std::string page =
        "\"number\": 5,\n            \"name\": \"Temperature Statistics\",\n"
        "            \"revision\": 1,\n";
    for (const std::string* text : {&endurance, &temperature, &invalid, &page}) {
        EXPECT_NE(std::string::npos, one.find(*text)) << *text << one;
    }
    // Page 5 named page 4: left out, the other pages kept.
    EXPECT_EQ(std::string::npos, two.find(page));
    EXPECT_EQ(std::string::npos, two.find(temperature));
    EXPECT_NE(std::string::npos, two.find(endurance));
    EXPECT_EQ(std::string::npos, three.find("ata_device_statistics"));
    const struct {
        const std::string* drive;
        const char* integrity;
        const char* verdict;
        bool endurance;
    } integrity[] = {
        {&one, "\"device_statistics\": \"ok\",\n          \"device_statistics_failed_pages\": []",
         "CAUTION", true},
        {&two,
         "\"device_statistics\": \"ok\",\n          \"device_statistics_failed_pages\": [\n"
         "            5\n          ]",
         "CAUTION", true},
        {&three,
         "\"device_statistics\": \"absent\",\n          \"device_statistics_failed_pages\": []",
         "GOOD", false},
    };
    for (const auto& i : integrity) {
        EXPECT_NE(std::string::npos, i.drive->find(i.integrity)) << i.integrity;
        // Page 07h's indicator is the endurance used, and 104 % is used up;
        // a log without it judges nothing.
        EXPECT_NE(std::string::npos,
                  i.drive->find("\"verdict\": \"" + std::string(i.verdict) + "\",\n"))
            << i.verdict;
        EXPECT_EQ(i.endurance, i.drive->find("\"current_percent\": 104\n") != std::string::npos)
            << *i.drive;
    }
}

TEST_F(DeviceStatisticsReportTest, MetricsAndHealth) {
    const Result r = Run("--prometheus");
    ASSERT_EQ(0, r.status) << r.err;
    const char* const present[] = {
        "smartctl_device_statistics{device=\"stats-full.smart\",statistic_table=\"Solid State "
        "Device Statistics\",statistic_name=\"Percentage Used Endurance Indicator\","
        "statistic_flags_short=\"N--\",statistic_flags_long=\"valid,normalized\"} 104\n",
        "smartctl_device_statistics{device=\"stats-full.smart\",statistic_table=\"Temperature "
        "Statistics\",statistic_name=\"Current Temperature\",statistic_flags_short=\"---\","
        "statistic_flags_long=\"valid\"} -5\n",
        "smartctl_device_statistics{device=\"stats-full.smart\",statistic_table=\"Transport "
        "Statistics\",statistic_name=\"Number of Interface CRC Errors\","
        "statistic_flags_short=\"--C\",statistic_flags_long=\"valid,monitored_condition_met\"} 2\n",
        "\nsmartctl_device_bytes_written{device=\"stats-full.smart\"} 512000\n",
        "\nsmartctl_device_bytes_read{device=\"stats-full.smart\"} 1536000\n",
        "\nsmartctl_device_bytes_written{device=\"stats-broken.smart\"} 512000\n",
        "\nsmartctl_device_block_size{device=\"stats-full.smart\",blocks_type=\"logical\"} 512\n",
        "\nsmartctl_device_percentage_used{device=\"stats-full.smart\"} 104\n",
    };
    for (const char* sample : present) {
        EXPECT_NE(std::string::npos, r.out.find(sample)) << sample << r.out;
    }
    const char* const absent[] = {
        "statistic_name=\"Number of Read Commands\"",  // not valid
        "{device=\"stats-broken.smart\",statistic_table=\"Temperature Statistics\"",
        "smartctl_device_statistics{device=\"stats-unlisted.smart\"",
        "smartctl_device_bytes_written{device=\"stats-unlisted.smart\"",
        "smartctl_device_percentage_used{device=\"stats-unlisted.smart\"}",
    };
    for (const char* sample : absent) {
        EXPECT_EQ(std::string::npos, r.out.find(sample)) << sample;
    }
    const Result health = Run("--health");
    EXPECT_EQ(3, health.status);
    EXPECT_EQ(
        "STATS FULL: CAUTION: rated endurance used up (104%)\n"
        "STATS BROKEN: CAUTION: rated endurance used up (104%)\nSTATS UNLISTED: GOOD\n",
        health.out);
}

TEST_F(DeviceStatisticsReportTest, SaveKeepsTheDirectoryAndThePagesRead) {
    const std::string dir = FreshDir("save-statistics");
    const Result r = RunTool({"--list", "--save", dir, paths[0], paths[2]});
    ASSERT_EQ(0, r.status) << r.err;
    // Every page the directory listed, byte for byte as in the capture read.
    EXPECT_EQ(ReadFile(paths[0]), ReadFile(dir + "/STATS_FULL--F1.smart"));
    // The directory but no pages, which were never asked for.
    DriveCapture saved;
    std::string error;
    ASSERT_TRUE(ReadCaptureFile(dir + "/STATS_UNLISTED--F1.smart", &saved, &error)) << error;
    EXPECT_TRUE(saved.hasLogDirectory);
    EXPECT_FALSE(saved.hasDeviceStatistics);
}
