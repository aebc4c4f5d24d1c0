#include "platform/binary_stdout.h"

void SetBinaryStdout() {}
