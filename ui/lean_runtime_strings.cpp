// The shipped executables' lean runtime (ui/lean_runtime.cpp), continued for
// std::string (the window program's export path, vantrel-report.exe) and
// fprintf (vantrel-report.exe), which would otherwise bring in more than
// they are worth:
//
// - libstdc++'s std::string members are compiled once, in an object whose
//   catch handlers refer to the exception runtime (and through it to
//   thread-safe start-up code with CreateSemaphoreW, a stub on Windows 98).
//   Nothing in the program throws: every throw helper ends the program
//   (lean_runtime.cpp), so no handler is ever entered and no frame is ever
//   unwound. These definitions stand in for the runtime's, and end the
//   program should that ever change.
// - mingw-w64's own fprintf carries a floating-point formatter and reads the
//   locale through functions that msvcrt.dll lacks before XP. The program's
//   formats (%s, %d, %u, %X) read the same through msvcrt's vfprintf.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#define VANTREL_TEXT(x) #x
#define VANTREL_QUOTE(x) VANTREL_TEXT(x)
#define VANTREL_SYMBOL(name) VANTREL_QUOTE(__USER_LABEL_PREFIX__) name

extern "C" {

void* __cxa_begin_catch(void*) noexcept {
    std::abort();
}
void __cxa_end_catch() {
    std::abort();
}
void __cxa_rethrow() {
    std::abort();
}
void _Unwind_Resume(void*) {
    std::abort();
}
#if defined(__SEH__)
// Called by Windows for every frame an SEH exception passes: the program
// was ending anyway.
int __gxx_personality_seh0(void*, void*, void*, void*) {
    std::abort();
}
#else
int __gxx_personality_v0(int, int, unsigned long long, void*, void*) {
    std::abort();
}
#endif

int __cdecl __mingw_vfprintf(FILE* __restrict__ stream, const char* __restrict__ format,
                             va_list args) {
    return __ms_vfprintf(stream, format, args);
}

}  // extern "C"

// The type-information vtable that the string object's catch clauses name;
// only a catch or a dynamic_cast would read it, and neither ever runs.
extern const void* const kNoClassTypeInfo[4] __asm__(
    VANTREL_SYMBOL("_ZTVN10__cxxabiv117__class_type_infoE"));
const void* const kNoClassTypeInfo[4] = {};
