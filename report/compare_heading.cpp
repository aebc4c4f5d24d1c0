#include "report/compare_heading.h"

#include "report/health_writer.h"
#include "report/text_append.h"

std::string ComparisonHeading(const CompareRun& run, const DriveReading& newer,
                              const DriveHealth& then, const DriveHealth& now) {
    const std::string& serial = newer.identity.serial;
    std::string out;
    AppendFormat(&out, "Drive: %s, serial %s\nThen: %s\nNow: %s\n", newer.identity.model.c_str(),
                 serial.empty() ? "(blank)" : serial.c_str(), run.olderLabel.c_str(),
                 run.newerLabel.c_str());
    out += HealthLine("Health then", then);
    out += HealthLine("Health now", now);
    return out;
}
