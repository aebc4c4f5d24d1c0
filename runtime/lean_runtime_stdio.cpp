// The shipped Windows executables' lean runtime (runtime/lean_runtime.cpp),
// continued for snprintf and fprintf.
//
// fprintf (vantrel-report.exe): mingw-w64's own fprintf carries a
// floating-point formatter and reads the locale through functions that
// msvcrt.dll lacks before XP. The program's formats (%s, %d, %u, %X) read the
// same through msvcrt's vfprintf.
//
// std::string needs nothing here: the product code is built with the
// library's assertions, which has each std::string member compiled into the
// code that uses it. The library's own copy of them sits in one object whose
// unwind tables keep all of its code, and whose catch handlers bring the
// exception runtime (and CreateSemaphoreW, a stub on Windows 98).
#include <cstdarg>
#include <cstdio>

extern "C" int __cdecl __mingw_vfprintf(FILE* __restrict__ stream, const char* __restrict__ format,
                                        va_list args) {
    return __ms_vfprintf(stream, format, args);
}

// std::snprintf in C++ is mingw-w64's own formatter, which reads the locale
// through ___lc_codepage_func and IsDBCSLeadByteEx: msvcrt.dll before XP and
// Windows 9x's kernel32 do not have them. The program's formats (%d, %ld, %X,
// %s with width and precision) read the same through msvcrt's _vsnprintf,
// which every Windows has. Unlike snprintf, _vsnprintf leaves a text that
// fills the buffer unterminated; the last byte is kept for the NUL.
extern "C" int __cdecl __mingw_vsnprintf(char* __restrict__ buffer, size_t size,
                                         const char* __restrict__ format, va_list args) {
    if (size == 0) {
        return 0;
    }
    const int length = _vsnprintf(buffer, size - 1, format, args);
    buffer[size - 1] = '\0';
    return length < 0 ? static_cast<int>(size - 1) : length;
}
