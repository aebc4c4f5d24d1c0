#include "report/health_writer.h"

std::string HealthLine(const std::string& name, const DriveHealth& health) {
    std::string line = name;
    line += ": ";
    line += HealthVerdictName(health.verdict);
    const char* separator = ": ";
    for (const std::string& reason : health.reasons) {
        line += separator;
        line += reason;
        separator = ", ";
    }
    line += '\n';
    return line;
}
