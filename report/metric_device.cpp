#include "report/metric_device.h"

#include <cstring>

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool AllDigits(const std::string& text, size_t from) {
    if (from >= text.size()) {
        return false;
    }
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string MetricDeviceName(const std::string& device) {
    static const char kLinux[] = "/dev/";
    static const char kWindowsNt[] = "\\\\.\\";
    static const char kWindows9x[] = "SMARTVSD:";
    if (StartsWith(device, kLinux)) {
        return device.substr(device.find_last_of('/') + 1);
    }
    if (StartsWith(device, kWindowsNt)) {
        return device.substr(sizeof kWindowsNt - 1);
    }
    if (StartsWith(device, kWindows9x) && AllDigits(device, sizeof kWindows9x - 1)) {
        return "drive" + device.substr(sizeof kWindows9x - 1);
    }
    return device;
}
