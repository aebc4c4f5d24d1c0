#include "report/health_writer.h"

std::string HealthLine(const std::string& name, const DriveHealth& health,
                       const std::string& note) {
    std::string line = name;
    line += ": ";
    line += HealthVerdictName(health.verdict);
    const char* separator = ": ";
    for (const std::string& reason : health.reasons) {
        line += separator;
        line += reason;
        separator = ", ";
    }
    if (!note.empty()) {
        line += " (" + note + ")";
    }
    line += '\n';
    return line;
}
