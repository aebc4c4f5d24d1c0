// For the planted-code test: a module records that it ran by appending its
// own file name to planted.log in its own folder.
#pragma once

#include <windows.h>

#include <cstring>

inline void RecordThatItRan(HMODULE module) {
    char path[MAX_PATH + 16];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    char* name = std::strrchr(path, '\\');
    if (!name) {
        return;
    }
    char line[MAX_PATH + 2];
    lstrcpyA(line, name + 1);
    lstrcatA(line, "\n");
    lstrcpyA(name + 1, "planted.log");
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(log, line, lstrlenA(line), &written, NULL);
        CloseHandle(log);
    }
}
