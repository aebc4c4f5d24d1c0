#include "drive_backends/windows_driver.h"

#include <windows.h>

#include <cstdio>

#include "drive_backends/windows_control_filter.h"
#include "inventory/drive_inventory.h"

static_assert(sizeof(HANDLE) == sizeof(DeviceHandle), "a device handle is a HANDLE");

uint32_t WindowsPlatformId() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148
    GetVersionExA(&info);
    return info.dwPlatformId;
}

uint32_t WindowsDriver::PlatformId() {
    return WindowsPlatformId();
}

DeviceHandle WindowsDriver::Open(const char* name, uint32_t access, uint32_t shareMode,
                                 uint32_t disposition, uint32_t* error) {
    HANDLE handle = CreateFileA(name, access, shareMode, NULL, disposition, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error) {
            *error = GetLastError();
        }
        return VANTREL_INVALID_DEVICE;
    }
    return handle;
}

int WindowsDriver::IoControl(DeviceHandle device, uint32_t code, const void* input,
                             uint32_t inputLength, void* output, uint32_t outputLength,
                             uint32_t* bytesReturned) {
    DWORD returned = 0;
    if (!IsPermittedWindowsControl(code, input, inputLength, selfTests_)) {
        if (bytesReturned) {
            *bytesReturned = 0;
        }
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    BOOL ok = DeviceIoControl(device, code, const_cast<void*>(input), inputLength, output,
                              outputLength, &returned, NULL);
    if (bytesReturned) {
        *bytesReturned = returned;
    }
    return ok;
}

bool WindowsDriver::HasDevice(int position) {
    if (position < 0) {
        return false;
    }
    if (PlatformId() == kPlatformWindows9x) {
        return position < kDrivePositions;
    }
    // Looked up by name: the oldest systems' kernel32 may not export it, and
    // where it is missing the open decides.
    typedef DWORD(WINAPI * QueryDosDeviceCall)(LPCSTR, LPSTR, DWORD);
    typedef void (*AnyFunction)();
    const QueryDosDeviceCall query =
        reinterpret_cast<QueryDosDeviceCall>(reinterpret_cast<AnyFunction>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryDosDeviceA")));
    if (query == nullptr) {
        return true;
    }
    char name[32];
    char target[MAX_PATH];
    std::snprintf(name, sizeof name, "PhysicalDrive%d", position);
    // Only a name the system says it does not hold is no disk.
    return query(name, target, sizeof target) != 0 || GetLastError() != ERROR_FILE_NOT_FOUND;
}

int WindowsDriver::Close(DeviceHandle device) {
    return CloseHandle(device);
}
