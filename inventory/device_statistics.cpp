#include "inventory/device_statistics.h"

#include <cstring>

namespace {

const int kPageBytes = 512;

// The statistics as ACS-3 and ACS-4 define them, page by page, in offset
// order. Structured statistics (utilization, resource availability) are
// not among them.
const StatisticDefinition kDefinitions[] = {
    {0x01, 0x08, 4, false, "Lifetime Power-On Resets"},
    {0x01, 0x10, 4, false, "Power-on Hours"},
    {0x01, 0x18, 6, false, "Logical Sectors Written"},
    {0x01, 0x20, 6, false, "Number of Write Commands"},
    {0x01, 0x28, 6, false, "Logical Sectors Read"},
    {0x01, 0x30, 6, false, "Number of Read Commands"},
    {0x01, 0x38, 6, false, "Date and Time TimeStamp"},
    {0x01, 0x40, 4, false, "Pending Error Count"},
    {0x01, 0x48, 2, false, "Workload Utilization"},
    {0x02, 0x08, 4, false, "Number of Free-Fall Events Detected"},
    {0x02, 0x10, 4, false, "Overlimit Shock Events"},
    {0x03, 0x08, 4, false, "Spindle Motor Power-on Hours"},
    {0x03, 0x10, 4, false, "Head Flying Hours"},
    {0x03, 0x18, 4, false, "Head Load Events"},
    {0x03, 0x20, 4, false, "Number of Reallocated Logical Sectors"},
    {0x03, 0x28, 4, false, "Read Recovery Attempts"},
    {0x03, 0x30, 4, false, "Number of Mechanical Start Failures"},
    {0x03, 0x38, 4, false, "Number of Realloc. Candidate Logical Sectors"},
    {0x03, 0x40, 4, false, "Number of High Priority Unload Events"},
    {0x04, 0x08, 4, false, "Number of Reported Uncorrectable Errors"},
    {0x04, 0x10, 4, false, "Resets Between Cmd Acceptance and Completion"},
    {0x05, 0x08, 1, true, "Current Temperature"},
    {0x05, 0x10, 1, true, "Average Short Term Temperature"},
    {0x05, 0x18, 1, true, "Average Long Term Temperature"},
    {0x05, 0x20, 1, true, "Highest Temperature"},
    {0x05, 0x28, 1, true, "Lowest Temperature"},
    {0x05, 0x30, 1, true, "Highest Average Short Term Temperature"},
    {0x05, 0x38, 1, true, "Lowest Average Short Term Temperature"},
    {0x05, 0x40, 1, true, "Highest Average Long Term Temperature"},
    {0x05, 0x48, 1, true, "Lowest Average Long Term Temperature"},
    {0x05, 0x50, 4, false, "Time in Over-Temperature"},
    {0x05, 0x58, 1, true, "Specified Maximum Operating Temperature"},
    {0x05, 0x60, 4, false, "Time in Under-Temperature"},
    {0x05, 0x68, 1, true, "Specified Minimum Operating Temperature"},
    {0x06, 0x08, 4, false, "Number of Hardware Resets"},
    {0x06, 0x10, 4, false, "Number of ASR Events"},
    {0x06, 0x18, 4, false, "Number of Interface CRC Errors"},
    {0x07, 0x08, 1, false, "Percentage Used Endurance Indicator"},
};
static_assert(sizeof kDefinitions / sizeof kDefinitions[0] <= kNamedStatistics,
              "room for every named statistic");

const char* const kPageNames[kStatisticsLogPages] = {"List of Supported Device Statistics Pages",
                                                     "General Statistics",
                                                     "Free-Fall Statistics",
                                                     "Rotating Media Statistics",
                                                     "General Errors Statistics",
                                                     "Temperature Statistics",
                                                     "Transport Statistics",
                                                     "Solid State Device Statistics"};

uint64_t Qword(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

// The header's page number (bits 23-16) and revision (bits 15-0).
uint8_t HeaderPage(const uint8_t* page) {
    return page[2];
}

DeviceStatistic Decode(const StatisticDefinition& definition, const uint8_t* page) {
    const uint64_t qword = Qword(page + definition.offset);
    DeviceStatistic statistic;
    statistic.definition = &definition;
    statistic.flags = static_cast<uint8_t>(qword >> 56);
    const int bits = 8 * definition.size;
    const uint64_t value = qword & ((uint64_t(1) << bits) - 1);
    const bool negative = definition.isSigned && ((value >> (bits - 1)) & 1);
    statistic.value =
        negative ? static_cast<int64_t>(value) - (int64_t(1) << bits) : static_cast<int64_t>(value);
    return statistic;
}

}  // namespace

DeviceStatistics DecodeDeviceStatistics(const uint8_t* log, int pageCount) {
    DeviceStatistics statistics;
    if (pageCount <= 0) {
        return statistics;
    }
    // Page 0: its header, then the number of entries at byte 8 and the
    // page numbers from byte 9.
    const int listed = log[8];
    if (HeaderPage(log) != 0) {
        statistics.check = BlockCheck::kFailed;
        return statistics;
    }
    statistics.check = BlockCheck::kOk;
    bool seen[kStatisticsLogPages] = {};
    for (int entry = 0; entry < listed; ++entry) {
        const uint8_t number = log[9 + entry];
        // Only pages that were read, each once; page 0 is the list itself.
        if (number == 0 || number >= pageCount || seen[number]) {
            continue;
        }
        seen[number] = true;
        const uint8_t* page = log + kPageBytes * number;
        if (HeaderPage(page) != number) {
            statistics.failedPages = static_cast<uint8_t>(statistics.failedPages | (1u << number));
            continue;
        }
        StatisticsPage& decoded = statistics.pages[statistics.pageCount++];
        decoded.number = number;
        decoded.revision = static_cast<uint16_t>(page[0] | (page[1] << 8));
        decoded.first = statistics.statisticCount;
        for (const StatisticDefinition& definition : kDefinitions) {
            if (definition.page == number && (page[definition.offset + 7] & kStatisticSupported)) {
                statistics.statistics[statistics.statisticCount++] = Decode(definition, page);
            }
        }
        decoded.count = statistics.statisticCount - decoded.first;
    }
    return statistics;
}

const char* StatisticsPageName(uint8_t page) {
    return page < kStatisticsLogPages ? kPageNames[page] : nullptr;
}

bool FindStatistic(const DeviceStatistics& statistics, StatisticKey key, int64_t* value) {
    for (int i = 0; i < statistics.statisticCount; ++i) {
        const DeviceStatistic& statistic = statistics.statistics[i];
        if (statistic.definition->page == key.page && statistic.definition->offset == key.offset &&
            statistic.Valid()) {
            *value = statistic.value;
            return true;
        }
    }
    return false;
}

bool EnduranceUsedPercent(const DeviceStatistics& statistics, int64_t* percent) {
    return FindStatistic(statistics, kPercentageUsedEndurance, percent);
}

StatisticFlagsText StatisticFlagsShort(uint8_t flags) {
    StatisticFlagsText out;
    out.text[0] = (flags & kStatisticNormalized) ? 'N' : '-';
    out.text[1] = (flags & kStatisticSupportsDsn) ? 'D' : '-';
    out.text[2] = (flags & kStatisticConditionMet) ? 'C' : '-';
    out.text[3] = '\0';
    return out;
}

const char* StatisticFlagsLong(uint8_t flags, char* text) {
    static const struct {
        uint8_t bit;
        const char* name;
    } kNames[] = {{kStatisticValid, "valid"},
                  {kStatisticNormalized, "normalized"},
                  {kStatisticSupportsDsn, "supports_dsn"},
                  {kStatisticConditionMet, "monitored_condition_met"}};
    text[0] = '\0';
    for (const auto& name : kNames) {
        if (flags & name.bit) {
            if (text[0] != '\0') {
                std::strcat(text, ",");
            }
            std::strcat(text, name.name);
        }
    }
    return text;
}
