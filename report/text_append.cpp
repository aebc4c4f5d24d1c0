#include "report/text_append.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void AppendFormat(std::string* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::vector<char> piece(static_cast<size_t>(length) + 1);
        std::vsnprintf(piece.data(), piece.size(), format, again);
        text->append(piece.data(), static_cast<size_t>(length));
    }
    va_end(again);
}
