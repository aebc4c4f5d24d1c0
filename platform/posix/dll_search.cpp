#include "platform/dll_search.h"

// Static, and on a system without DLL search paths: nothing to restrict.
void RestrictDllSearch() {}
