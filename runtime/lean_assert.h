// Included first in every C++ file of the shipped Windows programs (see
// cmake/windows-product.cmake). The library's bounds checks stay on, but a
// failed one ends the program at once, as the library's quiet form does,
// instead of passing its source file, line, condition and the full name of
// the function to a message writer: those texts were a tenth of
// vantrel-report.exe, for a message that the program never printed (its
// handler only aborted).
#pragma once

#include <bits/c++config.h>

#ifdef _GLIBCXX_ASSERTIONS
#undef __glibcxx_assert_impl
#define __glibcxx_assert_impl(_Condition)             \
    if (__builtin_expect(!bool(_Condition), false)) { \
        __glibcxx_constexpr_assert(false);            \
        __builtin_abort();                            \
    }
#endif
