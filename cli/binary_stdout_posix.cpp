#include "cli/binary_stdout.h"

void SetBinaryStdout() {}
