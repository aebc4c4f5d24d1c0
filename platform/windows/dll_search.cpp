#include "platform/dll_search.h"

#include <windows.h>

namespace {

// A kernel32 function the oldest systems lack, or null.
template <typename Function>
Function Kernel32Function(const char* name) {
    // Through the one function type GCC lets become any other.
    typedef void (*AnyFunction)();
    return reinterpret_cast<Function>(
        reinterpret_cast<AnyFunction>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

}  // namespace

void RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryCall)(LPCSTR);
    const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (SetDefaultDllDirectoriesCall setDefault =
            Kernel32Function<SetDefaultDllDirectoriesCall>("SetDefaultDllDirectories")) {
        setDefault(kSearchSystem32);
    }
    if (SetDllDirectoryCall setDirectory =
            Kernel32Function<SetDllDirectoryCall>("SetDllDirectoryA")) {
        setDirectory("");
    }
}
