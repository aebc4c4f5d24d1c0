// A browser for the website test: registered as the handler of web
// addresses, it appends the command line it was started with, and the id of
// the process that started it, to browser.log beside itself, and ends.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

DWORD ParentProcessId() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !parent;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            parent = entry.th32ParentProcessID;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char log[MAX_PATH];
    const DWORD length = GetModuleFileNameA(NULL, log, sizeof log);
    if (length == 0 || length >= sizeof log) {
        return 1;
    }
    char* folderEnd = std::strrchr(log, '\\');
    if (!folderEnd || static_cast<size_t>(folderEnd - log) + sizeof "\\browser.log" > sizeof log) {
        return 1;
    }
    std::strcpy(folderEnd, "\\browser.log");
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    char parent[32];
    std::snprintf(parent, sizeof parent, "\nparent %lu\n",
                  static_cast<unsigned long>(ParentProcessId()));
    const char* commandLine = GetCommandLineA();
    DWORD written = 0;
    WriteFile(file, commandLine, static_cast<DWORD>(std::strlen(commandLine)), &written, NULL);
    WriteFile(file, parent, static_cast<DWORD>(std::strlen(parent)), &written, NULL);
    CloseHandle(file);
    return 0;
}
