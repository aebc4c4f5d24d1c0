#include <unistd.h>

#include "cli/terminal_text.h"

bool IsTerminal(FILE* stream) {
    return isatty(fileno(stream)) != 0;
}
