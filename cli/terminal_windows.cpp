#include <io.h>

#include "cli/terminal_text.h"

bool IsTerminal(FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}
