// The planted-code test's control: a program built the careless way. It
// imports comdlg32 at load time and restricts no DLL search, so DLLs planted
// beside it load; with "help" it calls WinHelpA, which starts winhlp32.exe
// through a search that looks beside it first. Copied as winhlp32.exe, it
// is also the planted viewer.
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "testing/ui/planted_log.h"

int main(int argc, char** argv) {
    RecordThatItRan(NULL);
    if (argc > 1 && std::strcmp(argv[1], "help") == 0) {
        WinHelpA(NULL, "planted.hlp", HELP_CONTENTS, 0);
        Sleep(3000);  // the viewer starts on its own
    }
    return static_cast<int>(CommDlgExtendedError());
}
