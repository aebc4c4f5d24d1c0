// Export results through the real save dialog.
#include <gtest/gtest.h>

#include <cstdio>

#include "capture/capture.h"
#include "capture/synthetic_capture.h"
#include "report/file_replace.h"
#include "cli/report_command.h"
#include "ui/globals.h"
#include "ui/platform_calls.h"
#include "testing/ui/ui_test_support.h"

namespace {

DriveCapture Drive(const std::string& model) {
    DriveCapture capture = MakeCapture(model, "SN 100%", "FW%s");
    SetAttribute(&capture, 0, 9, 100, 100, 7, 0);
    SetAttribute(&capture, 1, 194, 40, 60, 30, 0);
    return capture;
}

std::unique_ptr<SmartDriver> NoDriver(std::string*, DriverUse) {
    return nullptr;
}

// What vantrel-report writes for the same single drive.
std::string ReportToolBytes(const DriveCapture& capture) {
    const std::string capturePath = TempPath("export-test.smart");
    std::string error;
    EXPECT_TRUE(WriteCaptureFile(capturePath, capture, &error)) << error;
    const std::string out = TempPath("export-test-tool.txt");
    EXPECT_EQ(0, RunReportCommand({"--output", out, capturePath}, stdout, stderr, NoDriver));
    return ReadFileBytes(out);
}

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_uiCalls = RealUiPlatformCalls();
        ResetTestMachine();
        TestMachine().InsertDrive(0, Drive("EXPORTED DISK"));
        path = TempPath("vantrel-export.txt");
        std::remove(path.c_str());
    }
    void TearDown() override { g_uiCalls = RealUiPlatformCalls(); }
    std::string path;
};

TEST_F(ExportTest, SavesExactlyTheReportToolsBytes) {
    MainWindow main;
    main.Command(1005);
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::SaveAs(path));
    main.Command(3);
    ASSERT_EQ(1u, catcher.Seen().size());
    EXPECT_EQ("Save file", catcher.Seen()[0].caption);
    EXPECT_EQ(0, catcher.Unexpected());
    EXPECT_EQ(ReportToolBytes(Drive("EXPORTED DISK")), ReadFileBytes(path));
}

TEST_F(ExportTest, ReplacesAnExistingFileAfterAskingFirst) {
    FILE* old = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, old);
    std::fputs(std::string(50000, 'x').c_str(), old);
    std::fclose(old);
    MainWindow main;
    main.Command(1005);
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::SaveAs(path));
    catcher.Then(DialogCatcher::Press(IDYES));  // the replace question
    main.Command(3);
    ASSERT_EQ(2u, catcher.Seen().size());
    EXPECT_EQ(ReportToolBytes(Drive("EXPORTED DISK")), ReadFileBytes(path));
}

TEST_F(ExportTest, CancelWritesNothingAndSaysNothing) {
    MainWindow main;
    main.Command(1005);
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDCANCEL));
    main.Command(3);
    EXPECT_EQ(1u, catcher.Seen().size());
    EXPECT_EQ(0, catcher.Unexpected());
    EXPECT_EQ("(missing)", ReadFileBytes(path));
}

TEST_F(ExportTest, WithoutARetrievedDriveRemindsAndOpensNoDialog) {
    MainWindow main;
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));
    main.Command(3);  // before any Get Info
    ASSERT_EQ(1u, catcher.Seen().size());
    EXPECT_EQ("Reminder", catcher.Seen()[0].caption);
    EXPECT_EQ(
        "There is no data to export. Select a drive and click Get Info to retrieve a drives "
        "information.",
        catcher.Seen()[0].text);
    EXPECT_EQ(SystemIcon(IDI_INFORMATION), catcher.Seen()[0].icon);

    // After a Get Info that found nothing.
    SendMessageA(main.Item(1002), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    catcher.Then(DialogCatcher::Press(IDOK));
    main.Command(1005);
    EXPECT_EQ(-1, g_selectedDrive);
    catcher.Then(DialogCatcher::Press(IDOK));
    main.Command(3);
    ASSERT_EQ(3u, catcher.Seen().size());
    EXPECT_EQ("Reminder", catcher.Seen()[2].caption);
    EXPECT_EQ(0, catcher.Unexpected());
}

std::string g_chosen;

// A plain function: on i686 a lambda does not convert to a WINAPI
// (__stdcall) function pointer.
BOOL WINAPI ChooseName(LPOPENFILENAMEA record) {
    lstrcpynA(record->lpstrFile, g_chosen.c_str(), record->nMaxFile);
    return TRUE;
}

BOOL WINAPI DialogFails(LPOPENFILENAMEA) {
    return FALSE;
}

DWORD WINAPI PathTooLong() {
    return FNERR_BUFFERTOOSMALL;
}

// A disk that fills up after the first 100 bytes, as WriteFile reports it.
int FullDisk(void* handle, const void* data, unsigned long size, unsigned long* written) {
    const unsigned long part = size < 100 ? size : 100;
    WriteFile(handle, data, part, written, NULL);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// Whatever fails, the box says so and the old report is as it was: a
// folder that is not there, a device name, a full disk, a dialog that
// failed (a path too long for it), with no temporary file left behind.
TEST_F(ExportTest, FailuresShowTheErrorBoxAndKeepTheOldFile) {
    const std::string old(960, 'o');
    struct Case {
        std::string chosen;
        bool full;
        bool dialogFails;
        const char* shown;
    };
    const Case cases[] = {
        {TempPath("no-such-folder\\report.txt"), false, false, nullptr},
        {TempPath("NUL"), false, false, nullptr},
        {TempPath("com1.txt"), false, false, nullptr},
        {TempPath("CON"), false, false, nullptr},
        {path, true, false, nullptr},
        {path, false, true, "DriveInfo.txt"},
    };
    for (const Case& c : cases) {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        std::fputs(old.c_str(), file);
        std::fclose(file);
        g_chosen = c.chosen;
        g_uiCalls.getSaveFileName = c.dialogFails ? DialogFails : ChooseName;
        g_uiCalls.commDlgExtendedError =
            c.dialogFails ? PathTooLong : RealUiPlatformCalls().commDlgExtendedError;
        g_saveWriteFile = c.full ? FullDisk : RealSaveWriteFile();
        MainWindow main;
        main.Command(1005);
        DialogCatcher catcher;
        catcher.Then(DialogCatcher::Press(IDOK));
        main.Command(3);
        g_saveWriteFile = RealSaveWriteFile();
        ASSERT_EQ(1u, catcher.Seen().size()) << c.chosen;
        EXPECT_EQ("Error", catcher.Seen()[0].caption);
        EXPECT_EQ(std::string("Could not save the results to the file:\n") +
                      (c.shown ? c.shown : c.chosen.c_str()),
                  catcher.Seen()[0].text);
        EXPECT_EQ(SystemIcon(IDI_WARNING), catcher.Seen()[0].icon);
        EXPECT_EQ(old, ReadFileBytes(path)) << c.chosen;
        EXPECT_EQ("(missing)", ReadFileBytes(path + ".new")) << c.chosen;
    }
}

// Windows 9x's way: the old file to a backup name, the new one in, the
// backup deleted; a move that fails puts the backup back.
TEST_F(ExportTest, Windows9xReplaceKeepsTheOldFileWhenTheMoveFails) {
    const std::string fresh = TempPath("replace-fresh.txt");
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fputs("old", file);
    std::fclose(file);
    file = std::fopen(fresh.c_str(), "wb");
    std::fputs("new", file);
    std::fclose(file);
    EXPECT_FALSE(ReplaceWithFileOn(TempPath("replace-missing.txt"), path, true));
    EXPECT_EQ("old", ReadFileBytes(path));
    EXPECT_EQ("(missing)", ReadFileBytes(path + ".1.old"));
    EXPECT_TRUE(ReplaceWithFileOn(fresh, path, true));
    EXPECT_EQ("new", ReadFileBytes(path));
    EXPECT_EQ("(missing)", ReadFileBytes(fresh));
    EXPECT_EQ("(missing)", ReadFileBytes(path + ".1.old"));
}

}  // namespace
