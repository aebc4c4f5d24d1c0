/* 64-bit Windows tells a WoW64 program's request by its process. */
#include "testing/wine_kernel/caller_bits.h"

BOOLEAN CallerIs32Bit(PIRP irp) {
    return IoIs32bitProcess(irp);
}
