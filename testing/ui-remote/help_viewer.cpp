#include "help_viewer.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const int kTextWindow = 0x701;    // the viewer's rich edit child
const int kButtonWindow = 0x700;  // the row of Contents, Index, Back

HWND g_viewer = NULL;

HWND Viewer() {
    return g_viewer;
}

// The topic as the viewer shows it; paragraphs end in CR LF.
std::string ShownText() {
    static char text[65536];
    text[0] = '\0';
    SendMessageA(GetDlgItem(Viewer(), kTextWindow), WM_GETTEXT, sizeof text,
                 reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ShownTitle() {
    std::string text = ShownText();
    return text.substr(0, text.find('\r'));
}

// Runs a button's command the way a click on it does, and returns once the
// viewer has done it (the call waits for the viewer's window procedure).
HWND FindButton(const char* label) {
    HWND box = GetDlgItem(Viewer(), kButtonWindow);
    for (HWND button = GetWindow(box, GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT)) {
        char text[64] = "";
        GetWindowTextA(button, text, sizeof text);
        std::string plain;
        for (const char* c = text; *c; ++c) {
            if (*c != '&') {
                plain += *c;
            }
        }
        if (plain == label) {
            return button;
        }
    }
    return NULL;
}

bool ShowContents() {
    // Wine's viewer calls the Contents button "Summary".
    HWND button = FindButton("Contents");
    if (!button) {
        button = FindButton("Summary");
    }
    if (!button) {
        return false;
    }
    SendMessageA(Viewer(), WM_COMMAND, GetDlgCtrlID(button), 0);
    return true;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindIndexSheet(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (owner == search->process && IsWindowVisible(window) && std::strcmp(name, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindListBox(HWND window, LPARAM param) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (_stricmp(name, "ListBox") == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// Opens the Index, picks entry number `entry` and presses OK; the entry's
// text goes to *text; *count is the number of entries. The sheet runs its own loop inside the
// viewer, so the Index command is posted, not sent.
bool PickIndexEntry(int entry, int* count, std::string* text) {
    HWND button = FindButton("Index");
    if (!button) {
        return false;
    }
    PostMessageA(Viewer(), WM_COMMAND, GetDlgCtrlID(button), 0);
    Search search = {0, NULL};
    GetWindowThreadProcessId(Viewer(), &search.process);
    for (int tries = 0; tries < 500 && !search.found; ++tries) {
        Sleep(20);
        EnumWindows(FindIndexSheet, reinterpret_cast<LPARAM>(&search));
    }
    HWND list = NULL;
    for (int tries = 0; tries < 500 && search.found && !list; ++tries) {
        EnumChildWindows(search.found, FindListBox, reinterpret_cast<LPARAM>(&list));
        Sleep(list ? 0 : 20);
    }
    // The page fills its list after the list window exists.
    for (int tries = 0; tries < 500 && list && SendMessageA(list, LB_GETCOUNT, 0, 0) <= 0;
         ++tries) {
        Sleep(20);
    }
    if (!list) {
        return false;
    }
    *count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    // Across processes the text comes back as the list's own (wide)
    // characters.
    wchar_t wide[256] = L"";
    char entryText[256] = "";
    SendMessageW(list, LB_GETTEXT, entry, reinterpret_cast<LPARAM>(wide));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, entryText, sizeof entryText, NULL, NULL);
    *text = entryText;
    SendMessageA(list, LB_SETCURSEL, entry, 0);
    PostMessageA(search.found, WM_COMMAND, IDOK, 0);
    for (int tries = 0; tries < 500 && IsWindow(search.found); ++tries) {
        Sleep(20);
    }
    // The viewer opens the topic before it reads its messages again.
    SendMessageA(Viewer(), WM_NULL, 0, 0);
    return !IsWindow(search.found);
}

}  // namespace

bool WaitForHelpViewer() {
    for (int tries = 0; tries < 300; ++tries) {
        HWND window = FindWindowA("MS_WINHELP", NULL);
        // The viewer shows its window once the topic is in it.
        if (window && IsWindowVisible(window)) {
            g_viewer = window;
            return true;
        }
        Sleep(50);
    }
    return false;
}

int WalkHelp(int count, char** jumpTexts) {
    for (int i = 0; i < count; ++i) {
        if (!ShowContents()) {
            std::fprintf(stderr, "ui-remote: the viewer has no Contents button\n");
            return 1;
        }
        // Rich edit positions count a paragraph end as one character.
        std::string text = ShownText();
        size_t at = text.find(jumpTexts[i], text.find('\r'));
        if (at == std::string::npos) {
            std::printf("jump %s -> (not shown)\n", jumpTexts[i]);
            continue;
        }
        LONG position = static_cast<LONG>(at);
        for (size_t crlf = text.find("\r\n"); crlf < at; crlf = text.find("\r\n", crlf + 2)) {
            --position;
        }
        HWND edit = GetDlgItem(Viewer(), kTextWindow);
        LRESULT point = SendMessageA(edit, EM_POSFROMCHAR, position, 0);
        LPARAM click = MAKELPARAM(LOWORD(point) + 1, HIWORD(point) + 2);
        SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, click);
        SendMessageA(edit, WM_LBUTTONUP, 0, click);
        std::printf("jump %s -> %s\n", jumpTexts[i], ShownTitle().c_str());
    }
    int entries = 1;
    for (int entry = 0; entry < entries; ++entry) {
        ShowContents();
        std::string keyword;
        if (!PickIndexEntry(entry, &entries, &keyword)) {
            std::fprintf(stderr, "ui-remote: the index did not open or close\n");
            return 1;
        }
        std::printf("keyword %s -> %s\n", keyword.c_str(), ShownTitle().c_str());
    }
    ShowContents();
    std::fflush(stdout);
    return 0;
}

void CloseHelp() {
    HWND window = FindWindowA("MS_WINHELP", NULL);
    if (window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}
