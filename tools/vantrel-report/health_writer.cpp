#include "tools/vantrel-report/health_writer.h"

std::string HealthLine(const std::string& name, const DriveHealth& health) {
    std::string line = name + ": " + HealthVerdictName(health.verdict);
    for (size_t i = 0; i < health.reasons.size(); ++i) {
        line += (i ? ", " : ": ") + health.reasons[i];
    }
    return line + "\n";
}
