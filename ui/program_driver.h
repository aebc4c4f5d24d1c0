// The SMART driver the program scans through: the real Windows drivers in
// the product, the emulated one with the sample drives in the demo.
#pragma once

#include "inventory/smart_driver.h"

SmartDriver& ProgramDriver();
