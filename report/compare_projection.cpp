#include "report/compare_projection.h"

#include "health/reading_compare.h"
#include "report/text_append.h"

void ProjectionsHeading(bool* heading, std::string* out) {
    if (!*heading) {
        AppendFormat(out,
                     "\nRough projections from two readings only, at the rate between them:\n");
        *heading = true;
    }
}

void WritePercentTrend(const std::string& label, unsigned before, unsigned after, unsigned limit,
                       const char* limitText, bool rising, double hours, bool* heading,
                       std::string* out) {
    Projection p;
    if (!ProjectTrend(before, after, limit, rising, hours, &p)) {
        return;
    }
    ProjectionsHeading(heading, out);
    AppendFormat(out, "%s: %u%% -> %u%%, %s %.1f per 1,000 power-on hours; ", label.c_str(), before,
                 after, rising ? "rising" : "falling", p.perThousand);
    if (p.left == 0) {
        AppendFormat(out, "already at %s%u%%.\n", limitText, limit);
    } else {
        AppendFormat(out, "at that rate, %s%u%% in about %.0f power-on hours.\n", limitText, limit,
                     p.left);
    }
}
