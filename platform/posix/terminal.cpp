#include <unistd.h>

#include "platform/terminal_text.h"

bool IsTerminal(FILE* stream) {
    return isatty(fileno(stream)) != 0;
}
