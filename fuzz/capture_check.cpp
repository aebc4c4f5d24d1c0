#include "fuzz/capture_check.h"

#include <cstring>
#include <vector>

#include "capture/capture.h"

namespace {

const char kName[] = "hostile.smart";

bool SameCapture(const DriveCapture& a, const DriveCapture& b) {
    return a.hasIdentify == b.hasIdentify && a.hasStatus == b.hasStatus &&
           a.hasSmartData == b.hasSmartData && a.hasThresholds == b.hasThresholds &&
           std::memcmp(a.identify, b.identify, sizeof a.identify) == 0 &&
           std::memcmp(a.status, b.status, sizeof a.status) == 0 &&
           std::memcmp(a.smartData, b.smartData, sizeof a.smartData) == 0 &&
           std::memcmp(a.thresholds, b.thresholds, sizeof a.thresholds) == 0 &&
           a.hasNvmeController == b.hasNvmeController && a.hasNvmeNamespace == b.hasNvmeNamespace &&
           a.hasNvmeHealth == b.hasNvmeHealth &&
           std::memcmp(a.nvmeController, b.nvmeController, sizeof a.nvmeController) == 0 &&
           std::memcmp(a.nvmeNamespace, b.nvmeNamespace, sizeof a.nvmeNamespace) == 0 &&
           std::memcmp(a.nvmeHealth, b.nvmeHealth, sizeof a.nvmeHealth) == 0;
}

}  // namespace

std::string CheckCaptureBytes(const uint8_t* data, size_t size) {
    // The reader gets its own copy, exactly as long as the input, so that
    // the address sanitizer sees any read past the end.
    std::vector<uint8_t> bytes(data, data + size);
    DriveCapture capture;
    std::string error;
    const bool loaded = ParseCapture(bytes.data(), bytes.size(), kName, &capture, &error);
    if (!loaded) {
        const std::string prefix = std::string(kName) + ": ";
        if (error.size() <= prefix.size() || error.compare(0, prefix.size(), prefix) != 0) {
            return "refused without a message naming the file: \"" + error + "\"";
        }
        return "";
    }
    if (capture.hasIdentify == capture.IsNvme()) {
        return "loaded a capture that is not one drive: IDENTIFY data and NVMe data both or "
               "neither";
    }
    if (capture.IsNvme() && !capture.hasNvmeHealth) {
        return "loaded an NVMe capture without its health log";
    }
    const std::vector<uint8_t> written = SerializeCapture(capture);
    DriveCapture again;
    std::string againError;
    if (!ParseCapture(written.data(), written.size(), kName, &again, &againError)) {
        return "a written capture does not load: " + againError;
    }
    if (!SameCapture(capture, again)) {
        return "a capture written and read again differs";
    }
    if (SerializeCapture(again) != written) {
        return "a capture written twice gives different bytes";
    }
    return "";
}
