#include "tools/vantrel-report/health_writer.h"

bool WriteHealthLine(const char* name, const DriveHealth& health, FILE* stream) {
    bool ok = std::fprintf(stream, "%s: %s", name, HealthVerdictName(health.verdict)) >= 0;
    for (size_t i = 0; i < health.reasons.size(); ++i) {
        ok = std::fprintf(stream, "%s%s", i ? ", " : ": ", health.reasons[i].c_str()) >= 0 && ok;
    }
    return std::fputs("\n", stream) >= 0 && ok;
}
