// Formatting onto the end of a text of any length: the command line's
// comparison texts, which have no fixed size.
#pragma once

#include <string>

void AppendFormat(std::string* text, const char* format, ...) __attribute__((format(printf, 2, 3)));
