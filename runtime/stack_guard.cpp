// The stack protector's guard and its failure, for the shipped executables.
// mingw-w64's libssp seeds its guard through the crypto API, which the oldest
// systems the program starts on may lack; the guard here is seeded from what
// every Windows has.
#include <windows.h>

#include <cstdint>

namespace {

// What Windows itself reports for a process ended by a smashed stack.
const UINT kStackBufferOverrun = 0xC0000409u;

// Until the start-up code below runs. It holds a NUL and line ends, which
// most text overflows cannot write.
const std::uintptr_t kUnseededGuard = static_cast<std::uintptr_t>(0x00000aff0a0d00ffull);

}  // namespace

extern "C" {

std::uintptr_t __stack_chk_guard = kUnseededGuard;

// A protected function found its frame overwritten: nothing of the program
// may run any more, not even its atexit handlers or a DLL's detach.
__attribute__((noreturn)) void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
    __builtin_trap();
}

}  // extern "C"

namespace {

// Changes the guard, so it must not check it itself; it runs from the C
// start-up code's initializer table, before any protected function of the
// program is entered.
__attribute__((no_stack_protector)) int SeedStackGuard() {
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    std::uint64_t seed = static_cast<std::uint64_t>(counter.QuadPart);
    seed ^= static_cast<std::uint64_t>(GetTickCount()) << 32;
    seed ^= GetCurrentProcessId();
    // A mixer, so that every bit of each source reaches every bit of the guard.
    seed ^= seed >> 30;
    seed *= 0xbf58476d1ce4e5b9ull;
    seed ^= seed >> 27;
    seed *= 0x94d049bb133111ebull;
    seed ^= seed >> 31;
    std::uintptr_t guard = static_cast<std::uintptr_t>(seed ^ (seed >> 32));
    if (guard != 0) {
        __stack_chk_guard = guard;
    }
    return 0;
}

// The C start-up code calls each entry of its .CRT$XI table before main or
// WinMain, and treats a non-zero result as a failed start.
__attribute__((section(".CRT$XIV"), used)) int (*g_seedStackGuard)() = SeedStackGuard;

}  // namespace
