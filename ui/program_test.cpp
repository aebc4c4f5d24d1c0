// The built executables as separate processes: exit codes, and the product
// on Wine's own disk driver.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/desktop_shell.h"
#include "testing/ui/ui_test_support.h"

namespace {

// Ends a process that still runs, and waits (bounded) until it has.
void EndProcess(HANDLE process) {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 996);
        WaitForSingleObject(process, 10000);
    }
}

// A program the test started. It ends with the test, whether the test
// passed, returned at a failed ASSERT or threw: a program left running with
// a box open would hold the whole run.
struct Program {
    PROCESS_INFORMATION process = {};
    HWND window = NULL;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() { Close(); }
    void Close() {
        if (process.hProcess) {
            EndProcess(process.hProcess);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        process = PROCESS_INFORMATION();
    }
};

// A window of a process that the program under test started (the help
// viewer): closed when the test ends, and its process ended if the window
// will not close.
class WindowGuard {
  public:
    WindowGuard() = default;
    WindowGuard(const WindowGuard&) = delete;
    WindowGuard& operator=(const WindowGuard&) = delete;
    ~WindowGuard() {
        if (!window_ || !IsWindow(window_)) {
            return;
        }
        DWORD processId = 0;
        GetWindowThreadProcessId(window_, &processId);
        PostMessageA(window_, WM_CLOSE, 0, 0);
        for (int tries = 0; tries < 100 && IsWindow(window_); ++tries) {
            Sleep(50);
        }
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (process) {
            EndProcess(process);
            CloseHandle(process);
        }
    }
    void operator=(HWND window) { window_ = window; }
    operator HWND() const { return window_; }

  private:
    HWND window_ = NULL;
};

struct Search {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindTopWindow(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (owner == search->processId && IsWindowVisible(window) &&
        std::string(caption) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD processId, const char* caption, int tries = 300) {
    for (; tries > 0; --tries) {
        Search search = {processId, caption, NULL};
        EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            return search.found;
        }
        Sleep(50);
    }
    return NULL;
}

bool Start(const char* exe, Program* program) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string command = std::string("\"") + exe + "\"";
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &program->process)) {
        return false;
    }
    // The demo's window says that it shows sample drives.
    program->window = WaitForWindow(program->process.dwProcessId, VANTREL_DEMO_MAIN_CAPTION);
    return program->window != NULL;
}

DWORD WaitForExit(Program* program) {
    DWORD code = 999;
    if (!program->process.hProcess) {
        return code;
    }
    if (WaitForSingleObject(program->process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(program->process.hProcess, 998);
        WaitForSingleObject(program->process.hProcess, 10000);
    }
    GetExitCodeProcess(program->process.hProcess, &code);
    program->Close();
    return code;
}

// Wine answers GetVersionExA for each program from its AppDefaults key, so
// one machine plays both Windows families.
class WindowsVersion {
  public:
    WindowsVersion(const char* exe, const char* version) {
        const char* name = std::strrchr(exe, '/');
        const char* backslash = std::strrchr(exe, '\\');
        name = backslash > name ? backslash : name;
        key_ = std::string("Software\\Wine\\AppDefaults\\") + (name ? name + 1 : exe);
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL,
                            &handle, NULL) == ERROR_SUCCESS) {
            RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                           static_cast<DWORD>(std::strlen(version) + 1));
            RegCloseKey(handle);
        }
    }
    ~WindowsVersion() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

  private:
    std::string key_;
};

std::string ComboText(HWND combo, int index) {
    // Across processes the text comes back as the window's own (wide)
    // characters; the names are ASCII.
    wchar_t wide[64] = L"";
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide));
    return std::string(wide, wide + wcslen(wide));
}

// What the user sees of each drive in the list: its name, the Drive
// Information text and the number of attribute rows after Get Info.
std::vector<std::string> ShownDrives(HWND window) {
    std::vector<std::string> shown;
    HWND combo = GetDlgItem(window, IDC_DRIVE_COMBO);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        SendMessageA(combo, CB_SETCURSEL, index, 0);
        DWORD_PTR ignored;
        SendMessageTimeoutA(window, WM_COMMAND, IDC_GET_INFO, 0, SMTO_NORMAL, 10000, &ignored);
        char info[4096] = "";
        GetDlgItemTextA(window, IDC_DRIVE_INFO, info, sizeof info);
        const LRESULT rows = SendDlgItemMessageA(window, IDC_ATTR_LIST, LVM_GETITEMCOUNT, 0, 0);
        shown.push_back(ComboText(combo, index) + "\n" + std::to_string(rows) + " rows\n" + info);
    }
    return shown;
}

const char* const kVersions[] = {"win98", "winxp", "win10"};

TEST(ProgramTest, ExitButtonEndsWithCodeZero) {
    Program demo;
    ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo));
    PostMessageA(GetDlgItem(demo.window, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&demo));
}

TEST(ProgramTest, EscapeEndsWithCodeZero) {
    Program demo;
    ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo));
    HWND focus = GetDlgItem(demo.window, 1002);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(0u, WaitForExit(&demo));
}

TEST(ProgramTest, CloseBoxEndsWithCodeZero) {
    Program demo;
    ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo));
    PostMessageA(demo.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, WaitForExit(&demo));
}

// The demo replays its sample drives on the emulated driver of the family
// the system reports: through SMARTVSD on Windows 9x, through the physical
// drives on the NT family. The user sees the same drives either way.
TEST(ProgramTest, DemoShowsItsSampleDrivesOnBothFamilies) {
    std::vector<std::string> first;
    for (const char* version : kVersions) {
        WindowsVersion as(VANTREL_DEMO_EXE, version);
        Program demo;
        ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo)) << version;
        const std::vector<std::string> shown = ShownDrives(demo.window);
        PostMessageA(demo.window, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0u, WaitForExit(&demo)) << version;
        if (first.empty()) {
            const char* names[] = {"CORVANE CV-8040A-1", "CORVANE CV-8040A-2", "CORVANE CV-2010L"};
            ASSERT_EQ(3u, shown.size()) << version;
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(0u, shown[i].find(std::string(names[i]) + "\n")) << shown[i];
                EXPECT_NE(std::string::npos, shown[i].find("DRIVE INFORMATION:")) << shown[i];
            }
            first = shown;
        } else {
            EXPECT_EQ(first, shown) << version;
        }
    }
}

// The product on Wine's own devices, in both families. Wine has no SMARTVSD
// driver: on Windows 9x the scan finds nothing and the user is told so, with
// "No drives found" in the disabled drive list and Get Info and Export
// disabled. On the NT family
// \\.\PhysicalDrive0 opens but knows no SMART I/O control: a counted drive
// without a name. No warning then, an empty drive list with nothing selected,
// and Get Info and Export left enabled.
TEST(ProgramTest, ProductComesUpOnWinesOwnDevices) {
    for (const char* version : kVersions) {
        const bool windows9x = std::strcmp(version, "win98") == 0;
        WindowsVersion as(VANTREL_EXE, version);
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        Program product;
        std::string command = std::string("\"") + VANTREL_EXE + "\"";
        ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                   &product.process));
        HWND warning = windows9x ? WaitForWindow(product.process.dwProcessId, "Warning") : NULL;
        if (windows9x) {
            char text[256] = "";
            if (warning) {
                GetDlgItemTextA(warning, 0xFFFF, text, sizeof text);
                PostMessageA(warning, WM_COMMAND, IDOK, 0);
            }
            EXPECT_STREQ("No SMART compatible drives were detected.", text);
        }
        product.window = WaitForWindow(product.process.dwProcessId, "Vantrel by Corvane Software");
        if (!product.window) {
            ADD_FAILURE() << version << ": no main window came up";
            TerminateProcess(product.process.hProcess, 1);
            WaitForExit(&product);
            continue;
        }
        HWND combo = GetDlgItem(product.window, IDC_DRIVE_COMBO);
        if (windows9x) {
            ASSERT_EQ(1, SendMessageA(combo, CB_GETCOUNT, 0, 0));
            EXPECT_EQ("No drives found", ComboText(combo, 0));
            EXPECT_EQ(0, SendMessageA(combo, CB_GETCURSEL, 0, 0));
        } else {
            EXPECT_EQ(0, SendMessageA(combo, CB_GETCOUNT, 0, 0)) << version;
            EXPECT_EQ(CB_ERR, SendMessageA(combo, CB_GETCURSEL, 0, 0)) << version;
        }
        EXPECT_EQ(!windows9x, IsWindowEnabled(combo) != FALSE) << version;
        EXPECT_EQ(!windows9x, IsWindowEnabled(GetDlgItem(product.window, IDC_GET_INFO)) != FALSE)
            << version;
        EXPECT_EQ(!windows9x, IsWindowEnabled(GetDlgItem(product.window, IDC_EXPORT)) != FALSE)
            << version;
        PostMessageA(product.window, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0u, WaitForExit(&product)) << version;
    }
}

// Help opens the viewer on the contents topic of the VANTREL.HLP that the
// build put beside the program; the help system takes the request, so no
// "Could not start" box.
TEST(ProgramTest, HelpOpensTheViewerOnTheContentsTopic) {
    Program demo;
    ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo));
    PostMessageA(GetDlgItem(demo.window, 1007), BM_CLICK, 0, 0);
    WindowGuard viewer;
    for (int tries = 0; tries < 300 && !viewer; ++tries) {
        Sleep(50);
        HWND found = FindWindowA("MS_WINHELP", NULL);
        viewer = found && IsWindowVisible(found) ? found : NULL;
    }
    ASSERT_TRUE(viewer != NULL) << "no help viewer came up";
    wchar_t text[256] = L"";
    SendMessageW(GetDlgItem(viewer, 0x701), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(0, wcsncmp(L"Vantrel Help\r", text, 13)) << "the viewer shows another topic";
    // Once the program reads its messages again, a refused request would
    // have put its box up.
    SendMessageA(demo.window, WM_NULL, 0, 0);
    EXPECT_EQ(NULL, WaitForWindow(demo.process.dwProcessId, "Error", 1));
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    PostMessageA(demo.window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, WaitForExit(&demo));
}

// Planted code. DLLs named after ones that system DLLs load by name, and a
// winhlp32.exe, are put beside copies of both programs, with Wine's default
// settings: none of them may run, at start-up, in Export's file dialog, in
// Website or in Help. The control, a program that imports comdlg32 at load
// time and calls WinHelpA, runs them from the same folder, so the check can
// be seen to catch the fault.
// Names that Windows does not pin to its system folder, or that the
// programs load by name. (Not the DLLs Wine's user32 loads for every window
// program, version, advapi32, uxtheme, imm32 and the like: Wine maps its own
// for them at start-up, and with files of those names beside the program it
// then fails to load its display driver.)
const char* const kPlantedNames[] = {
    "compstui.dll", "shcore.dll",   "comdlg32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "winspool.drv", "combase.dll",  "rpcrt4.dll",
};

std::string ReadLog(const std::string& folder) {
    std::string log = ReadFileBytes(folder + "planted.log");
    DeleteFileA((folder + "planted.log").c_str());
    return log == "(missing)" ? "" : log;
}

DWORD RunAndWait(const std::string& exe, const char* arguments) {
    Program program;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\" " + arguments;
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &program.process)) {
        return 997;
    }
    return WaitForExit(&program);
}

// Presses OK on any box the process shows within a while.
void CloseBox(DWORD processId, const char* caption, int tries) {
    HWND box = WaitForWindow(processId, caption, tries);
    if (box) {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
}

// Start-up, Get Info, Export's dialog (cancelled), Website and Help, as a
// user would go through them, then the exit.
void UseEveryFeature(const std::string& exe, const char* caption, bool product) {
    Program program;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                               &program.process));
    program.window = WaitForWindow(program.process.dwProcessId, caption);
    ASSERT_TRUE(program.window != NULL) << exe;
    DWORD_PTR ignored;
    if (!product) {
        SendMessageA(GetDlgItem(program.window, IDC_DRIVE_COMBO), CB_SETCURSEL, 0, 0);
        SendMessageTimeoutA(program.window, WM_COMMAND, IDC_GET_INFO, 0, SMTO_NORMAL, 10000,
                            &ignored);
    }
    PostMessageA(program.window, WM_COMMAND, IDC_EXPORT, 0);
    HWND dialog = WaitForWindow(program.process.dwProcessId, product ? "Reminder" : "Save file");
    EXPECT_TRUE(dialog != NULL) << exe << ": no save dialog";
    if (dialog) {
        PostMessageA(dialog, WM_COMMAND, product ? IDOK : IDCANCEL, 0);
    }
    SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    PostMessageA(program.window, WM_COMMAND, IDC_WEBSITE, 0);
    CloseBox(program.process.dwProcessId, "No default browser", 60);
    SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    PostMessageA(program.window, WM_COMMAND, IDC_HELP, 0);
    WindowGuard viewer;
    for (int tries = 0; tries < 100 && !viewer; ++tries) {
        Sleep(50);
        viewer = FindWindowA("MS_WINHELP", NULL);
    }
    EXPECT_TRUE(viewer != NULL) << exe << ": the Windows folder's help viewer did not start";
    if (viewer) {
        PostMessageA(viewer, WM_CLOSE, 0, 0);
    }
    PostMessageA(program.window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, WaitForExit(&program)) << exe;
}

// DLLs and a viewer planted beside the programs, under the names that system
// DLLs and WinHelpA look for; the control shows that they would be found.
TEST(PlantedCodeTest, NothingBesideTheProgramsRuns) {
    // The desktop first, so that Wine does not start its desktop process
    // on behalf of a program in the planted folder.
    DestroyWindow(CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL));
    const std::string folder = TempPath("planted\\");
    CreateDirectoryA(folder.c_str(), NULL);
    ReadLog(folder);
    for (const char* name : kPlantedNames) {
        ASSERT_TRUE(CopyFileA(PLANTED_DLL, (folder + name).c_str(), FALSE)) << name;
    }
    const std::string control = folder + "planted_control.exe";
    const std::string product = folder + "vantrel.exe";
    const std::string demo = folder + "vantrel-demo.exe";
    ASSERT_TRUE(CopyFileA(PLANTED_CONTROL, control.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(PLANTED_CONTROL, (folder + "winhlp32.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(VANTREL_EXE, product.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(VANTREL_DEMO_EXE, demo.c_str(), FALSE));
    std::string help = std::string(VANTREL_DEMO_EXE);
    help = help.substr(0, help.find_last_of("/\\") + 1) + "VANTREL.HLP";
    ASSERT_TRUE(CopyFileA(help.c_str(), (folder + "VANTREL.HLP").c_str(), FALSE));

    UseEveryFeature(product, VANTREL_MAIN_CAPTION, true);
    EXPECT_EQ("", ReadLog(folder)) << "planted code ran in vantrel.exe";
    UseEveryFeature(demo, VANTREL_DEMO_MAIN_CAPTION, false);
    EXPECT_EQ("", ReadLog(folder)) << "planted code ran in vantrel-demo.exe";

    // The control, last, as it lets planted code into Wine's own processes: the planted DLLs load,
    // and WinHelpA runs the planted viewer.
    EXPECT_EQ(0u, RunAndWait(control, ""));
    const std::string loaded = ReadLog(folder);
    EXPECT_NE(std::string::npos, loaded.find("compstui.dll\n")) << loaded;
    RunAndWait(control, "help");
    const std::string viewer = ReadLog(folder);
    EXPECT_NE(std::string::npos, viewer.find("winhlp32.exe\n")) << viewer;

    // With the native-first override for version.dll, Wine's loader is told
    // to prefer a DLL beside the program: a figure, not a pass or fail.
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "version=n,b");
    Program program;
    if (Start(demo.c_str(), &program)) {
        PostMessageA(program.window, WM_COMMAND, IDOK, 0);
    }
    WaitForExit(&program);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", NULL);
    std::string overridden = ReadLog(folder);
    std::printf("planted DLLs that ran in vantrel-demo.exe with version=n,b: %s\n",
                overridden.empty() ? "none" : overridden.c_str());
}

// The stack protector in code built as the product: an overrun ends the
// process as Windows reports a smashed stack, before the function returns;
// the same call within bounds returns. The guard is seeded anew in every
// process: one built in would be the same in both.
TEST(ProgramTest, SmashedStackEndsTheProgramAndTheGuardIsSeeded) {
    const std::string probe = STACK_GUARD_PROBE;
    EXPECT_EQ(0u, RunAndWait(probe, "smash AAAAAAA"));
    EXPECT_EQ(0xC0000409u, RunAndWait(probe, ("smash " + std::string(40, 'A')).c_str()));
    const DWORD first = RunAndWait(probe, "guard");
    const DWORD second = RunAndWait(probe, "guard");
    EXPECT_NE(first, second);
}

// The handler of the website's scheme in this prefix, replaced by the fake
// browser for as long as the test runs and put back after.
class WebHandler {
  public:
    explicit WebHandler(const std::string& browser) {
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kKey, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            NULL, &key_, NULL) != ERROR_SUCCESS) {
            key_ = NULL;
            return;
        }
        char old[1024];
        DWORD length = sizeof old - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key_, NULL, NULL, &type, reinterpret_cast<BYTE*>(old), &length) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            old_.assign(old, length);
            hadOld_ = true;
        }
        const std::string command = "\"" + browser + "\" \"%1\"";
        RegSetValueExA(key_, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
    }
    ~WebHandler() {
        if (key_ && hadOld_) {
            RegSetValueExA(key_, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        } else if (key_) {
            RegDeleteValueA(key_, NULL);
        }
        if (key_) {
            RegCloseKey(key_);
        }
    }
    bool Registered() const { return key_ != NULL; }

  private:
    static constexpr const char* kKey = "https\\shell\\open\\command";
    HKEY key_ = NULL;
    std::string old_;
    bool hadOld_ = false;
};

// Website, as the user's browser gets it: the address reaches the handler
// registered for it, from the program that asks for no rights (a plain
// shell call) and from the one that runs as administrator (through the
// desktop's shell, or else the box that shows the address).
TEST(ProgramTest, WebsiteReachesTheRegisteredBrowser) {
    const std::string folder = TempPath("browser\\");
    CreateDirectoryA(folder.c_str(), NULL);
    const std::string browser = folder + "fake_browser.exe";
    const std::string log = folder + "browser.log";
    ASSERT_TRUE(CopyFileA(FAKE_BROWSER, browser.c_str(), FALSE));
    WebHandler handler(browser);
    ASSERT_TRUE(handler.Registered());
    // The control: started by this test, the browser names it as its parent.
    DeleteFileA(log.c_str());
    RunAndWait(browser, "control");
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("\nparent " + std::to_string(GetCurrentProcessId()) + "\n"))
        << ReadFileBytes(log);
    struct Case {
        const char* exe;
        const char* caption;
    };
    const Case cases[] = {{VANTREL_DEMO_EXE, VANTREL_DEMO_MAIN_CAPTION},
                          {VANTREL_EXE, VANTREL_MAIN_CAPTION}};
    for (const Case& run : cases) {
        DeleteFileA(log.c_str());
        Program program;
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        std::string command = std::string("\"") + run.exe + "\"";
        ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                   &program.process));
        program.window = WaitForWindow(program.process.dwProcessId, run.caption);
        ASSERT_TRUE(program.window != NULL) << run.exe;
        const bool elevated = IsElevated(program.process.hProcess);
        PostMessageA(program.window, WM_COMMAND, IDC_WEBSITE, 0);
        std::string received = "(missing)";
        HWND box = NULL;
        // The browser creates its log before it writes the record, whose
        // last line names its parent: a read in between finds it empty.
        for (int tries = 0; tries < 300 && received.find("\nparent ") == std::string::npos && !box;
             ++tries) {
            Sleep(50);
            received = ReadFileBytes(log);
            box = WaitForWindow(program.process.dwProcessId, "No default browser", 1);
        }
        if (box) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        std::printf("%s (%s): %s\n", run.exe, elevated ? "elevated" : "not elevated",
                    box ? "showed the address" : received.c_str());
        EXPECT_NE(std::string::npos, received.find("\"" VANTREL_WEBSITE_URL "\""))
            << run.exe << (box ? ": showed the box instead" : "");
        // Elevated, the browser must not be the program's own child: it
        // would inherit the administrator's token.
        const std::string ownChild =
            "\nparent " + std::to_string(program.process.dwProcessId) + "\n";
        EXPECT_EQ(elevated, received.find(ownChild) == std::string::npos) << received;
        PostMessageA(program.window, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0u, WaitForExit(&program)) << run.exe;
    }
}

}  // namespace
