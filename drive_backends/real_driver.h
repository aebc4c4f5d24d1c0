// The driver of the machine the program runs on, where one can be reached.
#pragma once

#include <memory>
#include <string>

#include "inventory/smart_driver.h"

// Returns null, with the reason in *unavailable, where this build has no way
// to reach the machine's drives.
std::unique_ptr<SmartDriver> CreateRealDriver(std::string* unavailable);
