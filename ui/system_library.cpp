#include "ui/system_library.h"

#include <windows.h>

AnySystemFunction SystemFunction(const char* dll, const char* name) {
    HMODULE module = GetModuleHandleA(dll);
    if (!module) {
        module = LoadLibraryA(dll);
    }
    return module ? reinterpret_cast<AnySystemFunction>(GetProcAddress(module, name)) : nullptr;
}
