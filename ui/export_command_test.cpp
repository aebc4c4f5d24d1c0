// Export results through the real save dialog.
#include <gtest/gtest.h>

#include <cstdio>

#include "capture/capture.h"
#include "capture/synthetic_capture.h"
#include "tools/vantrel-report/report_command.h"
#include "ui/globals.h"
#include "ui/platform_calls.h"
#include "ui/ui_test_support.h"

namespace {

DriveCapture Drive(const std::string& model) {
    DriveCapture capture = MakeCapture(model, "SN 100%", "FW%s");
    SetAttribute(&capture, 0, 9, 100, 100, 7, 0);
    SetAttribute(&capture, 1, 194, 40, 60, 30, 0);
    return capture;
}

std::unique_ptr<SmartDriver> NoDriver(std::string*) {
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

std::string unwritable;

// A plain function: on i686 a lambda does not convert to a WINAPI
// (__stdcall) function pointer.
BOOL WINAPI ChooseUnwritable(LPOPENFILENAMEA record) {
    lstrcpynA(record->lpstrFile, unwritable.c_str(), record->nMaxFile);
    return TRUE;
}

// A file that cannot be written must not look saved.
TEST_F(ExportTest, UnwritableFileShowsTheErrorBox) {
    unwritable = TempPath("no-such-folder\\report.txt");
    g_uiCalls.getSaveFileName = ChooseUnwritable;
    MainWindow main;
    main.Command(1005);
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));
    main.Command(3);
    ASSERT_EQ(1u, catcher.Seen().size());
    EXPECT_EQ("Error", catcher.Seen()[0].caption);
    EXPECT_EQ("Could not save the results to the file:\n" + unwritable, catcher.Seen()[0].text);
    EXPECT_EQ(SystemIcon(IDI_WARNING), catcher.Seen()[0].icon);
}

}  // namespace
