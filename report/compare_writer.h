// --compare's text: the older reading, which drive of this run's scan is
// the same drive, and what changed from one to the other.
#pragma once

#include <string>

#include "report/compare_heading.h"

// What changed, from OLD to the matched drive; LF line ends.
std::string ComparisonText(const CompareRun& run, const DriveReading& newer);
