// The About box, the help file, the website and the executable's folder.
#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource.h"
#include "ui/globals.h"
#include "ui/main_window.h"
#include "ui/platform_calls.h"
#include "ui/ui_test_support.h"

namespace {

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_uiCalls = RealUiPlatformCalls();
        ResetTestMachine();
    }
    void TearDown() override { g_uiCalls = RealUiPlatformCalls(); }
};

TEST_F(ShellTest, AboutShowsTheVersionLineAndClosesEveryWay) {
    DialogCatcher noDrive;
    noDrive.Then(DialogCatcher::Press(IDOK));
    MainWindow main;
    const DialogCatcher::Action closers[] = {
        DialogCatcher::Press(IDOK), DialogCatcher::Key(VK_RETURN), DialogCatcher::Key(VK_ESCAPE),
        DialogCatcher::CloseBox()};
    for (const DialogCatcher::Action& close : closers) {
        DialogCatcher catcher;
        std::string version;
        bool mainEnabled = true;
        catcher.Then([&](const SeenDialog& d) {
            char text[256] = "";
            GetDlgItemTextA(d.window, 1000, text, sizeof text);
            version = text;
            mainEnabled = IsWindowEnabled(main.Window()) != 0;
            close(d);
        });
        main.Command(1001);  // returns only once the box is closed
        ASSERT_EQ(1u, catcher.Seen().size());
        EXPECT_EQ(VANTREL_DEMO_ABOUT_CAPTION, catcher.Seen()[0].caption);  // the demo's resources
        EXPECT_EQ("Vantrel V1.0 Build: 1002", version);
        EXPECT_FALSE(mainEnabled) << "the box is modal";
        EXPECT_FALSE(IsWindow(catcher.Seen()[0].window));
        EXPECT_EQ(main.Window(), catcher.Seen()[0].owner);
    }
}

std::string g_helpPath;
UINT g_helpCommand;
BOOL g_helpResult;

BOOL WINAPI FakeWinHelp(HWND, LPCSTR path, UINT command, ULONG_PTR) {
    g_helpPath = path;
    g_helpCommand = command;
    return g_helpResult;
}

TEST_F(ShellTest, HelpOpensTheFileBesideTheExecutable) {
    g_uiCalls.winHelp = FakeWinHelp;
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));  // no drive
    MainWindow main;
    g_helpResult = TRUE;
    main.Command(1007);
    EXPECT_EQ(std::string(g_exeDir) + "\\VANTREL.HLP", g_helpPath);
    EXPECT_EQ(static_cast<UINT>(HELP_CONTENTS), g_helpCommand);
    EXPECT_EQ(1u, catcher.Seen().size());

    g_helpResult = FALSE;
    catcher.Then(DialogCatcher::Press(IDOK));
    main.Command(1007);
    ASSERT_EQ(2u, catcher.Seen().size());
    EXPECT_EQ("Error", catcher.Seen()[1].caption);
    EXPECT_EQ("Could not start the Windows help system", catcher.Seen()[1].text);
    EXPECT_EQ(SystemIcon(IDI_WARNING), catcher.Seen()[1].icon);
    EXPECT_EQ(main.Window(), catcher.Seen()[1].owner);
}

std::string g_shellArgs;
INT_PTR g_shellResult;

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                  LPCSTR directory, INT show) {
    g_shellArgs = std::string(verb) + "|" + file + "|" + (parameters ? parameters : "(null)") +
                  "|" + directory + "|" + std::to_string(show);
    return reinterpret_cast<HINSTANCE>(g_shellResult);
}

TEST_F(ShellTest, WebsiteOpensTheAddressAndExplainsAMissingBrowser) {
    g_uiCalls.shellExecute = FakeShellExecute;
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));  // no drive
    MainWindow main;
    g_shellResult = 33;
    main.Command(1006);
    EXPECT_EQ("open|https://www.example.com|(null)|.|3", g_shellArgs);
    EXPECT_EQ(1u, catcher.Seen().size());
    for (INT_PTR failure : {32, 2, 0}) {
        g_shellResult = failure;
        catcher.Then(DialogCatcher::Press(IDOK));
        main.Command(1006);
        const SeenDialog& box = catcher.Seen().back();
        EXPECT_EQ("No default browser", box.caption);
        EXPECT_EQ(
            "Could not start your default internet browser.\n"
            "Start your browser manually and use the address..\nhttps://www.example.com/",
            box.text);
        EXPECT_EQ(SystemIcon(IDI_WARNING), box.icon);
    }
    EXPECT_EQ(4u, catcher.Seen().size());
}

const char* g_modulePath;

DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size) {
    // As older systems do: a path that fills the buffer is cut and left
    // without its terminator.
    const DWORD length = static_cast<DWORD>(std::strlen(g_modulePath));
    const DWORD copied = length < size ? length + 1 : size;
    std::memcpy(buffer, g_modulePath, copied);
    return length < size ? length : size;
}

std::string ExeDirFor(const char* path) {
    g_modulePath = path;
    g_uiCalls.getModuleFileName = FakeModuleFileName;
    StoreExeDirectory();
    return g_exeDir;
}

TEST_F(ShellTest, ExecutableFolderEdgeCases) {
    EXPECT_EQ("C:\\Tools", ExeDirFor("C:\\Tools\\App.exe"));
    EXPECT_EQ("C:", ExeDirFor("C:\\App.exe"));
    EXPECT_EQ(".", ExeDirFor("App.exe"));
    const std::string longPath = "C:\\" + std::string(300, 'd') + "\\App.exe";
    const std::string folder = ExeDirFor(longPath.c_str());
    EXPECT_EQ("C:", folder);  // the cut path's last backslash is the drive's
    const std::string noSeparator(400, 'x');
    EXPECT_EQ(".", ExeDirFor(noSeparator.c_str()));
}

}  // namespace
