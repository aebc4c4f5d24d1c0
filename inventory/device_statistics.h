// The Device Statistics log (log address 04h), decoded once: the pages a
// drive keeps of its lifetime counts (power-on hours, sectors written and
// read, errors, temperatures, SSD wear), each statistic a little-endian
// QWORD whose top byte says whether it is supported and valid. Page 0 lists
// the pages the drive keeps; each page's first QWORD names its revision and
// its own page number.
#pragma once

#include <cstdint>

#include "inventory/block_checks.h"

enum { kStatisticsLogPages = 8, kNamedStatistics = 40 };

// A statistic the standard names: its page, its byte offset in the page,
// how many of the value's bytes it uses, and whether they are signed.
struct StatisticDefinition {
    uint8_t page;
    uint8_t offset;
    uint8_t size;
    bool isSigned;
    const char* name;
};

// The statistics' flags, bits 63 to 59 of the QWORD (bits 7 to 3 of its
// top byte).
enum : uint8_t {
    kStatisticSupported = 0x80,
    kStatisticValid = 0x40,
    kStatisticNormalized = 0x20,
    kStatisticSupportsDsn = 0x10,
    kStatisticConditionMet = 0x08,
};

struct DeviceStatistic {
    const StatisticDefinition* definition;
    uint8_t flags;  // the QWORD's top byte
    int64_t value;  // its low size bytes, sign-extended where signed

    bool Valid() const { return (flags & kStatisticValid) != 0; }
};

// The flags as three characters: N (normalized), D (supports DSN), C
// (monitored condition met), '-' for each one clear.
struct StatisticFlagsText {
    char text[4];
};
StatisticFlagsText StatisticFlagsShort(uint8_t flags);
// The names of those set among valid, normalized, supports_dsn and
// monitored_condition_met, separated by commas, into text[kStatisticFlagsLongSize].
enum { kStatisticFlagsLongSize = 64 };
const char* StatisticFlagsLong(uint8_t flags, char* text);

struct StatisticsPage {
    uint8_t number;
    uint16_t revision;
    int first;  // its statistics: statistics[first] to [first + count - 1]
    int count;
};

struct DeviceStatistics {
    // kOk when page 0 names itself; kFailed otherwise, and then nothing else is taken from the log.
    BlockCheck check = BlockCheck::kAbsent;
    // The pages page 0 lists and that were read, in its order, page 0 left
    // out; a page whose header does not name itself is left out too, and
    // its bit set in failedPages (bit n for page n).
    int pageCount = 0;
    StatisticsPage pages[kStatisticsLogPages - 1] = {};
    uint8_t failedPages = 0;
    // The supported statistics the standard names, page by page.
    int statisticCount = 0;
    DeviceStatistic statistics[kNamedStatistics] = {};
};

// Decodes pages 0 to pageCount - 1 as one SMART READ LOG returned them.
DeviceStatistics DecodeDeviceStatistics(const uint8_t* log, int pageCount);

// "General Statistics", "Temperature Statistics", ...; null for a page the
// standard does not name.
const char* StatisticsPageName(uint8_t page);

// The statistics the outputs single out.
struct StatisticKey {
    uint8_t page;
    uint8_t offset;
};
constexpr StatisticKey kLogicalSectorsWritten = {0x01, 0x18};
constexpr StatisticKey kLogicalSectorsRead = {0x01, 0x28};
constexpr StatisticKey kPercentageUsedEndurance = {0x07, 0x08};

// The statistic's value where the drive supports it and says it is valid.
bool FindStatistic(const DeviceStatistics& statistics, StatisticKey key, int64_t* value);

// The Percentage Used Endurance Indicator (page 07h): the share of the
// drive's rated endurance used, which may exceed 100.
bool EnduranceUsedPercent(const DeviceStatistics& statistics, int64_t* percent);
