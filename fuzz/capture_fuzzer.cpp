// libFuzzer entry: arbitrary bytes through the capture reader and writer.
#include <cstdio>
#include <cstdlib>

#include "fuzz/capture_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = CheckCaptureBytes(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "capture invariant broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
