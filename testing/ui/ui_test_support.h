// Test support for the Windows program: the dialogs run for real, in this
// process, on an emulated machine the test sets up.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/emulated_driver/emulated_driver.h"

// The machine the next start-up scans.
EmulatedDriver& TestMachine();
void ResetTestMachine(uint32_t platformId = kPlatformWindowsNt);

// A dialog box as the user saw it when it came up.
struct SeenDialog {
    HWND window = NULL;
    std::string caption;
    std::string text;   // a message box's text
    HICON icon = NULL;  // a message box's icon
    HWND owner = NULL;
    bool ownerVisible = false;
};

// Watches this thread for dialog boxes (message boxes, the file dialogs, the
// About box) as they come up, records each and answers it with the next
// action given. A box that comes up with no action left is cancelled and
// counted as unexpected.
class DialogCatcher {
  public:
    typedef std::function<void(const SeenDialog&)> Action;

    DialogCatcher();
    ~DialogCatcher();

    void Then(Action action) { actions_.push_back(action); }
    const std::vector<SeenDialog>& Seen() const { return seen_; }
    int Unexpected() const { return unexpected_; }

    // Common answers.
    static Action Press(int command);               // posts WM_COMMAND with the id
    static Action Key(UINT key);                    // posts WM_KEYDOWN to the dialog
    static Action CloseBox();                       // WM_SYSCOMMAND SC_CLOSE
    static Action SaveAs(const std::string& path);  // types a name, presses Save

  private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND window);

    HHOOK hook_;
    std::vector<Action> actions_;
    std::vector<SeenDialog> seen_;
    std::vector<HWND> handled_;
    int unexpected_ = 0;
};

// The icon a message box shows for one of the MB_ICON* styles.
HICON SystemIcon(LPCSTR id);

// Creates the main window as the entry point does (hidden, start-up work,
// shown) and destroys it again at the end of the test.
class MainWindow {
  public:
    MainWindow();
    ~MainWindow();
    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    void Command(int id);
    void Select(int index);
    std::string Text(int id) const;
    std::vector<std::string> DriveList() const;
    int ListRows() const;
    std::string Cell(int row, int column) const;

  private:
    HWND window_;
};

void PumpMessages();
std::string ReadFileBytes(const std::string& path);
std::string TempPath(const std::string& name);
