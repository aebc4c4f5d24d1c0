#include <io.h>

#include "platform/terminal_text.h"

bool IsTerminal(FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}
