/* Every program on 32-bit Windows is a 32-bit one. */
#include "testing/wine_kernel/caller_bits.h"

BOOLEAN CallerIs32Bit(PIRP irp) {
    (void)irp;
    return TRUE;
}
