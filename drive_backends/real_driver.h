// The driver of the machine the program runs on, where one can be reached.
#pragma once

#include <memory>
#include <string>

#include "inventory/smart_driver.h"

// What the driver is for: reading, or a run that starts or stops self-tests,
// the only one whose commands may reach a drive with its self-test routines.
enum class DriverUse { kReading, kSelfTests };

// Returns null, with the reason in *unavailable, where this build has no way
// to reach the machine's drives.
std::unique_ptr<SmartDriver> CreateRealDriver(std::string* unavailable,
                                              DriverUse use = DriverUse::kReading);
