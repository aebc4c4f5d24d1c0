// The About box, the help file, the website and the executable's folder.
#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource.h"
#include "ui/globals.h"
#include "ui/main_window.h"
#include "ui/platform_calls.h"
#include "testing/ui/ui_test_support.h"

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

std::string g_startedApplication;
std::string g_startedCommandLine;
int g_starts;
BOOL g_startResult;

BOOL FakeStartProcess(const char* application, char* commandLine) {
    g_startedApplication = application;
    g_startedCommandLine = commandLine;
    ++g_starts;
    return g_startResult;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The viewer in the Windows folder where this system keeps it there, else
// in the system folder (a 64-bit-only prefix; a scratch prefix without the
// Windows folder's viewer runs the program's own test of that).
std::string SystemViewer() {
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof folder);
    const std::string windows = std::string(folder) + "\\winhlp32.exe";
    GetSystemDirectoryA(folder, sizeof folder);
    return IsFile(windows) ? windows : std::string(folder) + "\\winhlp32.exe";
}

// The viewer by its full path in a system folder, never by a search that
// looks beside the program first; the help file by its full path. A viewer
// that does not start, and a folder that did not fit, give the box.
TEST_F(ShellTest, HelpStartsTheSystemsViewerOnTheFileBesideTheExecutable) {
    g_uiCalls.startProcess = FakeStartProcess;
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));  // no drive
    MainWindow main;
    const std::string exeDir = g_exeDir;
    const std::string viewer = SystemViewer();
    ASSERT_TRUE(IsFile(viewer)) << "this system has no help viewer at " << viewer;
    struct Case {
        const char* folder;
        BOOL starts;
        int started;
        bool box;
    };
    const Case cases[] = {{"", TRUE, 1, false}, {"", FALSE, 1, true}, {nullptr, TRUE, 0, true}};
    for (const Case& c : cases) {
        std::strcpy(g_exeDir, c.folder ? exeDir.c_str() : "");
        g_starts = 0;
        g_startResult = c.starts;
        const size_t boxes = catcher.Seen().size();
        if (c.box) {
            catcher.Then(DialogCatcher::Press(IDOK));
        }
        main.Command(1007);
        EXPECT_EQ(c.started, g_starts);
        if (c.started) {
            EXPECT_EQ(viewer, g_startedApplication);
            EXPECT_EQ("\"" + viewer + "\" \"" + exeDir + "\\VANTREL.HLP\"", g_startedCommandLine);
        }
        ASSERT_EQ(boxes + (c.box ? 1 : 0), catcher.Seen().size());
        if (c.box) {
            EXPECT_EQ("Error", catcher.Seen().back().caption);
            EXPECT_EQ("Could not start the Windows help system", catcher.Seen().back().text);
            EXPECT_EQ(SystemIcon(IDI_WARNING), catcher.Seen().back().icon);
            EXPECT_EQ(main.Window(), catcher.Seen().back().owner);
        }
    }
    std::strcpy(g_exeDir, exeDir.c_str());
}

std::string g_shellArgs;
INT_PTR g_shellResult;
bool g_elevated;
bool g_desktopOpens;
std::string g_desktopAddress;

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                  LPCSTR directory, INT show) {
    g_shellArgs = std::string(verb) + "|" + file + "|" + (parameters ? parameters : "(null)") +
                  "|" + directory + "|" + std::to_string(show);
    return reinterpret_cast<HINSTANCE>(g_shellResult);
}

bool FakeElevated() {
    return g_elevated;
}

bool FakeOpenAsDesktopUser(const char* address) {
    g_desktopAddress = address;
    return g_desktopOpens;
}

// Not elevated: today's ShellExecuteA. Elevated: only the desktop's shell,
// never ShellExecuteA, and the box when the shell does not take it.
TEST_F(ShellTest, WebsiteOpensTheAddressAsTheUserAndExplainsAMissingBrowser) {
    g_uiCalls.shellExecute = FakeShellExecute;
    g_uiCalls.processIsElevated = FakeElevated;
    g_uiCalls.openAsDesktopUser = FakeOpenAsDesktopUser;
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));  // no drive
    MainWindow main;
    struct Case {
        bool elevated;
        bool desktopOpens;
        INT_PTR shellResult;
        const char* shellArgs;
        const char* desktopAddress;
        bool box;
    };
    const Case cases[] = {
        {false, false, 33, "open|https://www.example.com|(null)|.|3", "", false},
        {false, true, 32, "open|https://www.example.com|(null)|.|3", "", true},
        {false, true, 2, "open|https://www.example.com|(null)|.|3", "", true},
        {false, true, 0, "open|https://www.example.com|(null)|.|3", "", true},
        {true, true, 33, "", "https://www.example.com", false},
        {true, false, 33, "", "https://www.example.com", true},
    };
    for (const Case& c : cases) {
        g_elevated = c.elevated;
        g_desktopOpens = c.desktopOpens;
        g_shellResult = c.shellResult;
        g_shellArgs.clear();
        g_desktopAddress.clear();
        const size_t boxes = catcher.Seen().size();
        if (c.box) {
            catcher.Then(DialogCatcher::Press(IDOK));
        }
        main.Command(1006);
        EXPECT_EQ(c.shellArgs, g_shellArgs);
        EXPECT_EQ(c.desktopAddress, g_desktopAddress);
        ASSERT_EQ(boxes + (c.box ? 1 : 0), catcher.Seen().size());
        if (c.box) {
            const SeenDialog& box = catcher.Seen().back();
            EXPECT_EQ("No default browser", box.caption);
            EXPECT_EQ(
                "Could not start your default internet browser.\n"
                "Start your browser manually and use the address..\nhttps://www.example.com/",
                box.text);
            EXPECT_EQ(SystemIcon(IDI_WARNING), box.icon);
        }
    }
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
    // A path that does not fit leaves the folder unknown rather than naming
    // the cut path's last folder (here the drive's).
    const std::string longPath = "C:\\" + std::string(300, 'd') + "\\App.exe";
    EXPECT_EQ("", ExeDirFor(longPath.c_str()));
    const std::string fits = "C:\\" + std::string(MAX_PATH - 10, 'd') + "\\A.exe";
    EXPECT_EQ(fits.substr(0, fits.size() - 6), ExeDirFor(fits.c_str()));
    const std::string oneTooLong = "C:\\" + std::string(MAX_PATH - 9, 'd') + "\\A.exe";
    EXPECT_EQ("", ExeDirFor(oneTooLong.c_str()));
    const std::string noSeparator(400, 'x');
    EXPECT_EQ("", ExeDirFor(noSeparator.c_str()));
}

}  // namespace
