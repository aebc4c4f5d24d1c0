// libFuzzer entry: an arbitrary machine through scan, drive list, reports
// and export.
#include <cstdio>
#include <cstdlib>

#include "fuzz/scan_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = CheckScanPath(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "scan path invariant broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
