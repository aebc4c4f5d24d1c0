#include <windows.h>

#include "inventory/decimal_text.h"
#include "inventory/windows_device_names.h"
#include "report/file_replace.h"

namespace {

enum { kMaxNames = 999 };

int RealWriteFile(void* handle, const void* data, unsigned long size, unsigned long* written) {
    return WriteFile(handle, data, size, written, NULL);
}

// The name's last part, after the folder.
std::string LastPart(const std::string& path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// An existing target must be a disk file: a pipe or a device opened under a
// file's name would take the bytes and keep nothing.
bool IsDiskFileOrMissing(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_DISK &&
           (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HANDLE CreateTemporary(const std::string& path, std::string* temporary) {
    for (int copy = 1; copy <= kMaxNames; ++copy) {
        *temporary = copy == 1 ? path + ".new" : path + "." + DecimalText(copy) + ".new";
        HANDLE handle = CreateFileA(temporary->c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
        if (handle != INVALID_HANDLE_VALUE) {
            if (GetFileType(handle) == FILE_TYPE_DISK) {
                return handle;
            }
            CloseHandle(handle);
            return INVALID_HANDLE_VALUE;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

SaveWriteFileCall g_saveWriteFile = RealWriteFile;

SaveWriteFileCall RealSaveWriteFile() {
    return RealWriteFile;
}

bool SaveFileReplacing(const std::string& path, const std::string& bytes) {
    if (IsWindowsDeviceName(LastPart(path)) || !IsDiskFileOrMissing(path)) {
        return false;
    }
    std::string temporary;
    HANDLE handle = CreateTemporary(path, &temporary);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    unsigned long written = 0;
    bool ok = g_saveWriteFile(handle, bytes.data(), static_cast<unsigned long>(bytes.size()),
                              &written) != 0 &&
              written == bytes.size();
    ok = ok && FlushFileBuffers(handle) != 0;
    ok = CloseHandle(handle) != 0 && ok;
    ok = ok && ReplaceWithFile(temporary, path);
    if (!ok) {
        DeleteFileA(temporary.c_str());
    }
    return ok;
}
