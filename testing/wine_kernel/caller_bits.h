/* Whether the program behind a request is a 32-bit one. A driver on 64-bit
   Windows serves 32-bit programs too, whose records are laid out for their
   own pointer size; a 32-bit system runs 32-bit programs only. */
#pragma once

#include <ntddk.h>

BOOLEAN CallerIs32Bit(PIRP irp);
