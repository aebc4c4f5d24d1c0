#include "drive_backends/real_driver.h"
#include "drive_backends/windows_driver.h"

std::unique_ptr<SmartDriver> CreateRealDriver(std::string*, DriverUse use) {
    return std::unique_ptr<SmartDriver>(new WindowsDriver(use == DriverUse::kSelfTests));
}
