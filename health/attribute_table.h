// What each SMART attribute is, decoded once for vantrel-report: its name,
// how its raw value reads and what it stands for (a defect count, the
// temperature, the power-on hours, the wear), per maker where the makers'
// own documents differ. The window keeps the names and raw texts it always
// had (inventory/attribute_names.h, report/attribute_format.cpp); this table
// takes the window's names for its 18 ids from the same list, but nothing of
// the window reads this table, so it is not linked into it.
#pragma once

#include <cstdint>
#include <string>

#include "inventory/drive_inventory.h"

// The makers and product lines whose documents name attributes
// differently; kGeneric for a drive no pattern matches.
enum class ModelFamily : uint8_t {
    kGeneric,
    kSamsungSsd,
    kSamsungHdd,
    kIntelSsd,
    kMicronSsd,
    kHgstHdd,
    kFujitsuHdd,
    kHgstUltrastar7K2,
};
constexpr int kModelFamilyCount = static_cast<int>(ModelFamily::kHgstUltrastar7K2) + 1;

// The family of a drive from its model text (trimmed), by the patterns of
// attribute_table.cpp, matched at the start of the model without regard to
// case.
ModelFamily FamilyOfModel(const std::string& model);

// What an attribute stands for, where the outputs need it.
enum class AttributeRole : uint8_t {
    kNone,
    // Defect counts: raw bytes 0 and 1, since makers pack other fields above.
    kReallocatedSectors,
    kPendingSectors,
    kOfflineUncorrectable,
    kReportedUncorrectable,
    // The drive's temperature, raw byte 0; the second only where a drive
    // lacks the first.
    kTemperature,
    kTemperatureSecond,
    // Counts in raw bytes 0 to 3.
    kPowerOnHours,
    kPowerCycles,
    // Wear: the normalized value is the rated endurance left, per cent.
    kEnduranceLeft,
};

// The defect-count roles, in the order the metrics list them.
constexpr AttributeRole kDefectRoles[] = {
    AttributeRole::kReallocatedSectors, AttributeRole::kReportedUncorrectable,
    AttributeRole::kPendingSectors, AttributeRole::kOfflineUncorrectable};

bool IsDefectRole(AttributeRole role);

AttributeRole RoleOf(uint8_t id, ModelFamily family);

// The attribute's name with blanks ("Reallocated Sector Count"), or
// "Unknown Attribute" where no document names it.
std::string AttributeTitle(uint8_t id, ModelFamily family);

// The same with underscores for blanks, as JSON and the metrics key it.
std::string AttributeKey(uint8_t id, ModelFamily family);

// The attribute_name label of the metrics: where the table gives the
// drive's attribute the meaning that the common exporter's users' queries
// select by a name (Reallocated_Sector_Ct, Wear_Leveling_Count), that name;
// otherwise AttributeKey. JSON keeps AttributeKey.
std::string AttributeMetricName(uint8_t id, ModelFamily family);

// The raw value as its maker documents it: a plain decimal of all 48 bits
// by default; a temperature as "N (Min/Max A/B)" where the maker packs the
// lowest and highest seen into the bytes above; a time as "N ms" where
// documented in milliseconds; the hours alone where the maker keeps another
// count above them.
std::string AttributeRawText(const AttributeRecord& record, ModelFamily family);
