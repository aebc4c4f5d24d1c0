#include "tools/vantrel-report/binary_stdout.h"

void SetBinaryStdout() {}
