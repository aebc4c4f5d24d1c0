// A number as decimal text. One width for every caller: each width of
// std::to_string is compiled into the program on its own, and the Windows
// executables count their bytes.
#pragma once

#include <string>

inline std::string DecimalText(long long value) {
    return std::to_string(value);
}
