#include <io.h>

#include "tools/vantrel-report/terminal_text.h"

bool IsTerminal(FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}
