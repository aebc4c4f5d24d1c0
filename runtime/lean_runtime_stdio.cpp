// The shipped executables' lean runtime (runtime/lean_runtime.cpp), continued for
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
