#include "drive_backends/real_driver.h"

std::unique_ptr<SmartDriver> CreateRealDriver(std::string* unavailable, DriverUse) {
    *unavailable = "no drive can be reached on this system: give capture files to report on";
    return nullptr;
}
