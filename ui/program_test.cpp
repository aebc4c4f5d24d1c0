// The built executables as separate processes: exit codes, and the product
// on Wine's own disk driver.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

struct Program {
    PROCESS_INFORMATION process;
    HWND window = NULL;
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
    program->window = WaitForWindow(program->process.dwProcessId, "Vantrel by Corvane Software");
    return program->window != NULL;
}

DWORD WaitForExit(Program* program) {
    DWORD code = 999;
    if (WaitForSingleObject(program->process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(program->process.hProcess, 998);
    }
    GetExitCodeProcess(program->process.hProcess, &code);
    CloseHandle(program->process.hProcess);
    CloseHandle(program->process.hThread);
    return code;
}

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

TEST(ProgramTest, DemoListsItsSampleDrives) {
    Program demo;
    ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo));
    HWND combo = GetDlgItem(demo.window, 1002);
    ASSERT_EQ(3, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    const char* expected[] = {"CORVANE CV-8040A-1", "CORVANE CV-8040A-2", "CORVANE CV-2010L"};
    for (int i = 0; i < 3; ++i) {
        // Across processes the text comes back as the window's own (wide)
        // characters.
        wchar_t name[64] = L"";
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        EXPECT_EQ(std::wstring(expected[i], expected[i] + strlen(expected[i])), name);
    }
    PostMessageA(demo.window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, WaitForExit(&demo));
}

// Help opens the viewer on the contents topic of the VANTREL.HLP that the
// build put beside the program; the help system takes the request, so no
// "Could not start" box.
TEST(ProgramTest, HelpOpensTheViewerOnTheContentsTopic) {
    Program demo;
    ASSERT_TRUE(Start(VANTREL_DEMO_EXE, &demo));
    PostMessageA(GetDlgItem(demo.window, 1007), BM_CLICK, 0, 0);
    HWND viewer = NULL;
    for (int tries = 0; tries < 300 && !viewer; ++tries) {
        Sleep(50);
        viewer = FindWindowA("MS_WINHELP", NULL);
        viewer = viewer && IsWindowVisible(viewer) ? viewer : NULL;
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

// On Wine's disk driver \\.\PhysicalDrive0 opens but knows no SMART I/O
// control: a counted drive without a name. No warning then, an empty drive
// list with nothing selected, and Get Info and Export left enabled.
TEST(ProgramTest, ProductComesUpOnWinesOwnDiskDriver) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    Program product;
    std::string command = std::string("\"") + VANTREL_EXE + "\"";
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                               &product.process));
    product.window = WaitForWindow(product.process.dwProcessId, "Vantrel by Corvane Software");
    if (!product.window) {
        HWND warning = WaitForWindow(product.process.dwProcessId, "Warning");
        ADD_FAILURE() << (warning ? "the no-drive warning came up" : "no window came up");
        TerminateProcess(product.process.hProcess, 1);
        WaitForExit(&product);
        return;
    }
    HWND combo = GetDlgItem(product.window, 1002);
    EXPECT_EQ(0, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(CB_ERR, SendMessageA(combo, CB_GETCURSEL, 0, 0));
    EXPECT_TRUE(IsWindowEnabled(combo));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(product.window, 1005)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(product.window, 3)));
    PostMessageA(product.window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, WaitForExit(&product));
}

}  // namespace
