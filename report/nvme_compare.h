// --compare for an NVMe drive: every health log value then and now, what
// matters flagged, and where the wear is heading.
#pragma once

#include <string>

#include "report/compare_heading.h"

std::string NvmeComparisonText(const CompareRun& run, const DriveReading& newer);
