#include "testing/ui/ui_test_support.h"

#include <commctrl.h>

#include <cstdio>

#include "inventory/drive_inventory.h"
#include "ui/globals.h"
#include "ui/main_window.h"
#include "ui/program_driver.h"

namespace {

std::unique_ptr<EmulatedDriver> g_machine(new EmulatedDriver(kPlatformWindowsNt));
DialogCatcher* g_catcher = nullptr;

std::string WindowText(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

}  // namespace

SmartDriver& ProgramDriver() {
    return *g_machine;
}

EmulatedDriver& TestMachine() {
    return *g_machine;
}

void ResetTestMachine(uint32_t platformId) {
    g_machine.reset(new EmulatedDriver(platformId));
}

DialogCatcher::DialogCatcher() {
    g_catcher = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, NULL, GetCurrentThreadId());
}

DialogCatcher::~DialogCatcher() {
    UnhookWindowsHookEx(hook_);
    g_catcher = nullptr;
}

LRESULT CALLBACK DialogCatcher::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_catcher) {
        g_catcher->OnActivate(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

void DialogCatcher::OnActivate(HWND window) {
    // The main window is a dialog too, but not a box that comes and goes.
    if (ClassOf(window) != "#32770" || window == g_hMainWnd) {
        return;
    }
    for (HWND done : handled_) {
        if (done == window) {
            return;  // activated again after a box of its own closed
        }
    }
    handled_.push_back(window);
    SeenDialog seen;
    seen.window = window;
    seen.caption = WindowText(window);
    seen.text = WindowText(GetDlgItem(window, 0xFFFF));
    seen.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(window, 0x440, STM_GETICON, 0, 0));
    seen.owner = GetWindow(window, GW_OWNER);
    seen.ownerVisible = seen.owner && IsWindowVisible(seen.owner);
    seen_.push_back(seen);
    if (actions_.empty()) {
        ++unexpected_;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    Action action = actions_.front();
    actions_.erase(actions_.begin());
    action(seen);
}

DialogCatcher::Action DialogCatcher::Press(int command) {
    return [command](const SeenDialog& d) { PostMessageA(d.window, WM_COMMAND, command, 0); };
}

DialogCatcher::Action DialogCatcher::Key(UINT key) {
    return [key](const SeenDialog& d) { PostMessageA(d.window, WM_KEYDOWN, key, 0); };
}

DialogCatcher::Action DialogCatcher::CloseBox() {
    return [](const SeenDialog& d) { PostMessageA(d.window, WM_SYSCOMMAND, SC_CLOSE, 0); };
}

DialogCatcher::Action DialogCatcher::SaveAs(const std::string& path) {
    return [path](const SeenDialog& d) {
        // The name field is edt1 in the classic dialog and the combo box
        // cmb13 in the Explorer-style one.
        SetDlgItemTextA(d.window, 0x480, path.c_str());
        SetDlgItemTextA(d.window, 0x47C, path.c_str());
        PostMessageA(d.window, WM_COMMAND, IDOK, 0);
    };
}

HICON SystemIcon(LPCSTR id) {
    return LoadIconA(NULL, id);
}

MainWindow::MainWindow() {
    g_hInstance = GetModuleHandleA(NULL);
    g_selectedDrive = -1;
    InitCommonControls();
    StoreExeDirectory();
    window_ = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(101), NULL, MainDialogProc, 0);
    g_hMainWnd = window_;
    InitMainWindow(window_);
    ShowWindow(window_, SW_SHOWNORMAL);
    PumpMessages();
}

MainWindow::~MainWindow() {
    if (IsWindow(window_)) {
        SendMessageA(window_, WM_COMMAND, IDOK, 0);
    }
    // Swallow the WM_QUIT the window's destruction posted.
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    }
    g_hMainWnd = NULL;
}

void MainWindow::Command(int id) {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(id)));
    PumpMessages();
}

void MainWindow::Select(int index) {
    SendMessageA(Item(1002), CB_SETCURSEL, index, 0);
}

std::string MainWindow::Text(int id) const {
    std::string text(65536, '\0');
    text.resize(GetDlgItemTextA(window_, id, &text[0], static_cast<int>(text.size())));
    return text;
}

std::vector<std::string> MainWindow::DriveList() const {
    std::vector<std::string> names;
    const int count = static_cast<int>(SendMessageA(Item(1002), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char name[256] = "";
        SendMessageA(Item(1002), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        names.push_back(name);
    }
    return names;
}

int MainWindow::ListRows() const {
    return static_cast<int>(SendMessageA(Item(1004), LVM_GETITEMCOUNT, 0, 0));
}

std::string MainWindow::Cell(int row, int column) const {
    char text[256] = "";
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(Item(1004), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string ReadFileBytes(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return "(missing)";
    }
    std::string bytes;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, n);
    }
    std::fclose(file);
    return bytes;
}

std::string TempPath(const std::string& name) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}
