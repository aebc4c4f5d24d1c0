#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/binary_stdout.h"

void SetBinaryStdout() {
    _setmode(_fileno(stdout), _O_BINARY);
}
