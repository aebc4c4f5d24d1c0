#include "inventory/real_driver.h"
#include "inventory/windows_driver.h"

std::unique_ptr<SmartDriver> CreateRealDriver(std::string*) {
    return std::unique_ptr<SmartDriver>(new WindowsDriver);
}
