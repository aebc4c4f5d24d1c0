// The projections' lines of --compare, ATA and NVMe alike: one heading
// before the first, and a per cent heading for its limit.
#pragma once

#include <string>

// The heading, once: before the first projection of a comparison.
void ProjectionsHeading(bool* heading, std::string* out);

// "Percentage Used (5): 3% -> 4%, rising 2.0 per 1,000 power-on hours; at
// that rate, 100% in about 48000 power-on hours." for a per cent that moved
// toward limit (limitText before it, e.g. "its threshold "), over hours;
// nothing where it did not.
void WritePercentTrend(const std::string& label, unsigned before, unsigned after, unsigned limit,
                       const char* limitText, bool rising, double hours, bool* heading,
                       std::string* out);
