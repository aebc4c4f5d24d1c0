// Functions of Windows DLLs that the programs do not import. Every DLL an
// executable imports is loaded before its first instruction, from wherever
// the loader looks first: the program's own folder, for any DLL the system
// does not pin to its system folder. So only kernel32, user32, msvcrt and
// comctl32 are imported, and the rest (comdlg32, shell32, advapi32, ole32,
// oleaut32) is loaded by name when first needed, after RestrictDllSearch.
#pragma once

typedef void (*AnySystemFunction)();

// The function, or null when the DLL or the function is missing. The DLL
// stays loaded for the rest of the process.
AnySystemFunction SystemFunction(const char* dll, const char* name);

template <typename Function>
Function SystemCall(const char* dll, const char* name) {
    // From void (*)(), which GCC lets become any function type unwarned.
    return reinterpret_cast<Function>(SystemFunction(dll, name));
}
