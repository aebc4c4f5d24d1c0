#include <unistd.h>

#include "tools/vantrel-report/terminal_text.h"

bool IsTerminal(FILE* stream) {
    return isatty(fileno(stream)) != 0;
}
