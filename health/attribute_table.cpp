#include "health/attribute_table.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "inventory/attribute_fields.h"
#include "inventory/attribute_names.h"

namespace {

enum class RawFormat : uint8_t {
    kDecimal,               // all 48 bits
    kMilliseconds,          // all 48 bits, " ms"
    kTemperature,           // byte 0 when bytes 1-5 are zero, else all 48 bits
    kTemperatureLowHigh24,  // byte 0, lowest in byte 2, highest in byte 4
    kHoursLow32,            // bytes 0-3; the maker counts something else above
};

// A model's family: it starts with the prefix (no case) and, where a part is
// given, holds the part after it, as the product's name sits between the
// capacity and the form in Crucial's models (Crucial_CT256MX100SSD1).
struct ModelPattern {
    const char* prefix;
    const char* part;  // nullptr: any model with the prefix
    ModelFamily family;
};

using F = ModelFamily;

// Matched in order, the first that fits wins. Each pattern takes only the
// products its maker's document covers:
// - Samsung: SSDs by the MZ part numbers and the retail "Samsung SSD";
//   hard disks by their model numbers (HD, HM, HN, HS... and the older
//   SpinPoint M, P and V: MP, SP, SV). Samsung's other SSDs (MMCRE...,
//   MCCOE...) fit neither and read the generic rows.
// - Intel: "INTEL" and Intel's SATA part numbers without it, as OEMs sell
//   them (Dell's SSDSCKJB240G7R).
// - Micron: its own models, its OEM part numbers (MTFDD...), and the Crucial
//   products TN-FD-22 lists (M500, M550, MX100, MX200, MX300). Crucial's
//   others (BX100, BX200, BX500, MX500) are not in that note and read the
//   generic rows.
// - HGST: the Ultrastar 7K2 before the Travelstar and Deskstar lines.
// Makers not listed here (Kingston, SanDisk, Western Digital, Seagate,
// Toshiba) publish no attribute list found that names an id otherwise than
// the generic rows below, so their drives read those: the Seagate hard disk
// manuals found (Momentus, Laptop SSHD) list the SMART commands but no
// attribute, no Western Digital document found names an id, and Toshiba's
// names are the generic rows'.
const ModelPattern kModelPatterns[] = {
    {"SAMSUNG MZ", nullptr, F::kSamsungSsd},
    {"Samsung SSD", nullptr, F::kSamsungSsd},
    {"SAMSUNG H", nullptr, F::kSamsungHdd},
    {"SAMSUNG MP", nullptr, F::kSamsungHdd},
    {"SAMSUNG SP", nullptr, F::kSamsungHdd},
    {"SAMSUNG SV", nullptr, F::kSamsungHdd},
    {"INTEL", nullptr, F::kIntelSsd},
    {"SSDSA", nullptr, F::kIntelSsd},
    {"SSDSC", nullptr, F::kIntelSsd},
    {"Micron_", nullptr, F::kMicronSsd},
    {"MTFDD", nullptr, F::kMicronSsd},
    {"Crucial_CT", "M500", F::kMicronSsd},
    {"Crucial_CT", "M550", F::kMicronSsd},
    {"Crucial_CT", "MX100", F::kMicronSsd},
    {"Crucial_CT", "MX200", F::kMicronSsd},
    {"Crucial_CT", "MX300", F::kMicronSsd},
    {"HGST HUS722T", nullptr, F::kHgstUltrastar7K2},
    {"HGST", nullptr, F::kHgstHdd},
    {"Hitachi", nullptr, F::kHgstHdd},
    {"FUJITSU", nullptr, F::kFujitsuHdd},
};

// The families a row names an id for, one bit each.
using Families = uint16_t;
static_assert(kModelFamilyCount <= 16, "a family's bit fits");

template <typename... Family>
constexpr Families Only(Family... family) {
    return static_cast<Families>(((1u << static_cast<int>(family)) | ...));
}
// The window's ids: every family, unless a family's own row says otherwise.
constexpr Families kEvery = 0xFFFF;

struct AttributeRow {
    Families families;
    uint8_t id;
    AttributeRole role;
    RawFormat format;
    const char* name;  // nullptr: the window's name (inventory/attribute_names.h)
    // The metrics' attribute_name where public queries select this meaning
    // by a name of their own; nullptr: the name with underscores.
    const char* label = nullptr;
};

using R = AttributeRole;
using X = RawFormat;

// The labels: each is the name that a public query of the exporter's
// metrics selects for that meaning, the query cited where the row is:
// - keiretsu-labs/kubernetes-manifests,
//   kubernetes/apps/base/mimir/mimir-ottawa/rules/smartctl.yaml
//   (SmartDeviceSectorCountGrowing): Reallocated_Sector_Ct,
//   Current_Pending_Sector;
// - canonical/hardware-observer-operator issue 358
//   (https://github.com/canonical/hardware-observer-operator/issues/358),
//   the SmartAttributeWarning alert's attributes: Reported_Uncorrect,
//   Offline_Uncorrectable;
// - Obmondo/kubeaid, build/kube-prometheus/mixins/smartmon/mixin.libsonnet
//   (SmartMonUdmaCrcErrorCountRawValue): UDMA_CRC_Error_Count;
// - reefland/grafana-dashboards, smartctl-exporter/smartctl-exporter.json
//   (Grafana dashboard 22604: "Total Data Written on SSDs", raw times the
//   block size; "Wear Level on SATA Devices"): Total_LBAs_Written,
//   Wear_Leveling_Count;
// - thaum-xyz/ankhmorpork pull request 1246
//   (https://github.com/thaum-xyz/ankhmorpork/pull/1246, SmartCTLDeviceWearHigh):
//   Percent_Lifetime_Remain, Wear_Leveling_Count;
// - home-lab alert rules and a jsonnet mixin found by the search, whose
//   addresses the index did not give: Spin_Retry_Count (SmartSpinRetry),
//   Media_Wearout_Indicator (SmartDeviceSSDWearingOut).
// No row names 231 as life left: no maker's document found does, so it
// stays unknown and no SSD_Life_Left is guessed.
constexpr AttributeRow kRows[] = {
    // The window's 18 ids, by the window's own names, and the roles every
    // drive's values are read by.
    {kEvery, 1, R::kNone, X::kDecimal, nullptr},
    {kEvery, 2, R::kNone, X::kDecimal, nullptr},
    {kEvery, 3, R::kNone, X::kDecimal, nullptr},
    {kEvery, 4, R::kNone, X::kDecimal, nullptr},
    {kEvery, 5, R::kReallocatedSectors, X::kDecimal, nullptr, "Reallocated_Sector_Ct"},
    {kEvery, 6, R::kNone, X::kDecimal, nullptr},
    {kEvery, 7, R::kNone, X::kDecimal, nullptr},
    {kEvery, 8, R::kNone, X::kDecimal, nullptr},
    {kEvery, 9, R::kPowerOnHours, X::kDecimal, nullptr},
    {kEvery, 10, R::kNone, X::kDecimal, nullptr, "Spin_Retry_Count"},
    {kEvery, 11, R::kNone, X::kDecimal, nullptr},
    {kEvery, 12, R::kPowerCycles, X::kDecimal, nullptr},
    {kEvery, 194, R::kTemperature, X::kTemperature, nullptr},
    {kEvery, 196, R::kNone, X::kDecimal, nullptr},
    {kEvery, 197, R::kPendingSectors, X::kDecimal, nullptr, "Current_Pending_Sector"},
    {kEvery, 198, R::kOfflineUncorrectable, X::kDecimal, nullptr, "Offline_Uncorrectable"},
    {kEvery, 199, R::kNone, X::kDecimal, nullptr, "UDMA_CRC_Error_Count"},
    {kEvery, 200, R::kNone, X::kDecimal, nullptr},

    // Beyond the window's ids, meanings that more than one maker's documents
    // give, in the words of the document cited. Each row names the id for
    // the drives no pattern matches (kGeneric) and for the makers whose own
    // documents name it so; a maker that names the id otherwise has its own
    // row, and one whose documents name it nowhere leaves it unnamed.
    // - 184: Intel's product specifications below (end-to-end error
    //   detection); Micron's 184 is its own row.
    // - 187: Micron's TN-FD-22 (table 1); Samsung's and Intel's wording are
    //   their rows. Samsung's hard disks keep it, as the SpinPoint T166
    //   reports it.
    // - 190: Samsung's SSD data sheets below (airflow temperature); Intel's
    //   case temperature is its row. Samsung's hard disks keep it, as the
    //   SpinPoint T166 reports it.
    // - 191, 192, 193, 254: Hitachi's hard disk drive specifications
    //   (Travelstar 7K500 OEM specification, table 114; Travelstar 5K320 OEM
    //   specification, table 113; Travelstar 80GN and 5K100 specifications,
    //   "Individual Attribute Data Structure"), and Fujitsu's manuals below
    //   for 193. Samsung's hard disks keep 191, as the SpinPoint M reports
    //   it. Fujitsu's and Intel's 192 are their rows.
    // - 195: Samsung's SpinPoint manuals (Spinpoint M8 product manual, table
    //   8-17) and Fujitsu's manuals below.
    // - 220, 222-226, 228: Toshiba's MK6017MAP/HDD2155 product specification
    //   (document 360014937, SMART attribute IDs); Hitachi's specifications
    //   name 223 the same, and Samsung's hard disks keep it, as the
    //   SpinPoint M reports it.
    // No document found names 13, 188, 189, 202 (but Micron's, in its row),
    // 211, 212, 247 or 248; they read unknown.
    {Only(F::kGeneric), 184, R::kNone, X::kDecimal, "End-to-End Error Detection Count"},
    {Only(F::kGeneric, F::kSamsungHdd), 187, R::kReportedUncorrectable, X::kDecimal,
     "Reported Uncorrectable Errors", "Reported_Uncorrect"},
    {Only(F::kGeneric, F::kSamsungHdd), 190, R::kTemperatureSecond, X::kTemperature,
     "Airflow Temperature"},
    {Only(F::kGeneric, F::kHgstHdd, F::kSamsungHdd), 191, R::kNone, X::kDecimal,
     "G-Sense Error Rate"},
    {Only(F::kGeneric, F::kHgstHdd), 192, R::kNone, X::kDecimal, "Power-Off Retract Count"},
    {Only(F::kGeneric, F::kHgstHdd, F::kFujitsuHdd), 193, R::kNone, X::kDecimal,
     "Load/Unload Cycle Count"},
    {Only(F::kGeneric, F::kSamsungHdd, F::kFujitsuHdd), 195, R::kNone, X::kDecimal,
     "ECC On The Fly Count"},
    {Only(F::kGeneric), 220, R::kNone, X::kDecimal, "Disk Shift"},
    {Only(F::kGeneric), 222, R::kNone, X::kDecimal, "Loaded Hours"},
    {Only(F::kGeneric, F::kHgstHdd, F::kSamsungHdd), 223, R::kNone, X::kDecimal,
     "Load Retry Count"},
    {Only(F::kGeneric), 224, R::kNone, X::kDecimal, "Load Friction"},
    {Only(F::kGeneric), 225, R::kNone, X::kDecimal, "Load Cycle Count"},
    {Only(F::kGeneric), 226, R::kNone, X::kDecimal, "Load In Time"},
    {Only(F::kGeneric), 228, R::kNone, X::kDecimal, "Power-Off Retract Count"},
    {Only(F::kGeneric, F::kHgstHdd), 254, R::kNone, X::kDecimal, "Free-Fall Sensor Work Count"},

    // Samsung SSDs: Samsung's SSD data sheets, "Individual Attribute Data
    // Structure" (MZMPC032HBCD/064HBDR/128HBFU/256HBGJ data sheet, rev. 1.0,
    // section 7.3.2.2), in its words. 177's normalized value is the
    // endurance left. No Samsung data sheet found names 184 or 202 (the
    // SM843T/PM853T report both): they stay unnamed. 199 counts the
    // interface's CRC errors, and 241 counts LBAs.
    {Only(F::kSamsungSsd), 177, R::kEnduranceLeft, X::kDecimal, "Wear Leveling Count",
     "Wear_Leveling_Count"},
    {Only(F::kSamsungSsd), 179, R::kNone, X::kDecimal, "Used Reserved Block Count"},
    {Only(F::kSamsungSsd), 180, R::kNone, X::kDecimal, "Unused Reserved Block Count"},
    {Only(F::kSamsungSsd), 181, R::kNone, X::kDecimal, "Program Fail Count"},
    {Only(F::kSamsungSsd), 182, R::kNone, X::kDecimal, "Erase Fail Count"},
    {Only(F::kSamsungSsd), 183, R::kNone, X::kDecimal, "Runtime Bad Count (total)"},
    {Only(F::kSamsungSsd), 187, R::kReportedUncorrectable, X::kDecimal, "Uncorrectable Error Count",
     "Reported_Uncorrect"},
    {Only(F::kSamsungSsd), 190, R::kTemperatureSecond, X::kTemperature, "Airflow Temperature"},
    {Only(F::kSamsungSsd), 195, R::kNone, X::kDecimal, "ECC Error Rate"},
    {Only(F::kSamsungSsd), 199, R::kNone, X::kDecimal, "CRC Error Count", "UDMA_CRC_Error_Count"},
    {Only(F::kSamsungSsd), 235, R::kNone, X::kDecimal, "Power Recovery Count"},
    {Only(F::kSamsungSsd), 241, R::kNone, X::kDecimal, "Total LBA Written", "Total_LBAs_Written"},

    // Samsung hard disks: the SpinPoint product manuals, "SMART Attribute
    // Data List" (Spinpoint M8 product manual rev. 2.7 and M8-DVR rev. 1.0,
    // table 8-17), which give the spin-up time in milliseconds and name 201.
    {Only(F::kSamsungHdd), 3, R::kNone, X::kMilliseconds, nullptr},
    {Only(F::kSamsungHdd), 201, R::kNone, X::kDecimal, "Soft Error Rate"},

    // Intel SSDs: the product specifications' SMART attribute tables
    // (Intel SSD 320 Series, order 325152; 313 Series, 326453, table 12; DC
    // S3500, 328860; 530 Series, 329212, table 13). 233's normalized value
    // is the endurance left. The 530's 9 keeps the hours in bytes 0-3 and
    // the milliseconds since the last hour above them. 199 counts the SATA
    // interface's CRC errors. 241 and 242 count 32 MiB units, not LBAs: their
    // labels say so, so that a dashboard that multiplies Total_LBAs_Written
    // by the sector size does not read them 65,536 times too low.
    {Only(F::kIntelSsd), 9, R::kPowerOnHours, X::kHoursLow32, nullptr},
    {Only(F::kIntelSsd), 170, R::kNone, X::kDecimal, "Available Reserved Space"},
    {Only(F::kIntelSsd), 171, R::kNone, X::kDecimal, "Program Fail Count"},
    {Only(F::kIntelSsd), 172, R::kNone, X::kDecimal, "Erase Fail Count"},
    {Only(F::kIntelSsd), 174, R::kNone, X::kDecimal, "Unsafe Shutdown Count"},
    {Only(F::kIntelSsd), 175, R::kNone, X::kDecimal, "Power Loss Protection Failure"},
    {Only(F::kIntelSsd), 183, R::kNone, X::kDecimal, "SATA Downshift Count"},
    {Only(F::kIntelSsd), 184, R::kNone, X::kDecimal, "End-to-End Error Detection Count"},
    {Only(F::kIntelSsd), 187, R::kReportedUncorrectable, X::kDecimal, "Uncorrectable Error Count",
     "Reported_Uncorrect"},
    {Only(F::kIntelSsd), 190, R::kTemperatureSecond, X::kTemperature, "Case Temperature"},
    {Only(F::kIntelSsd), 192, R::kNone, X::kDecimal, "Unsafe Shutdown Count"},
    {Only(F::kIntelSsd), 199, R::kNone, X::kDecimal, "CRC Error Count", "UDMA_CRC_Error_Count"},
    {Only(F::kIntelSsd), 225, R::kNone, X::kDecimal, "Host Writes"},
    {Only(F::kIntelSsd), 226, R::kNone, X::kDecimal, "Timed Workload Media Wear"},
    {Only(F::kIntelSsd), 227, R::kNone, X::kDecimal, "Timed Workload Host Reads Percentage"},
    {Only(F::kIntelSsd), 228, R::kNone, X::kDecimal, "Workload Timer"},
    {Only(F::kIntelSsd), 232, R::kNone, X::kDecimal, "Available Reserved Space"},
    {Only(F::kIntelSsd), 233, R::kEnduranceLeft, X::kDecimal, "Media Wearout Indicator",
     "Media_Wearout_Indicator"},
    {Only(F::kIntelSsd), 234, R::kNone, X::kDecimal, "Thermal Throttle Status"},
    {Only(F::kIntelSsd), 241, R::kNone, X::kDecimal, "Total LBAs Written", "Host_Writes_32MiB"},
    {Only(F::kIntelSsd), 242, R::kNone, X::kDecimal, "Total LBAs Read", "Host_Reads_32MiB"},

    // Micron and Crucial SSDs: Micron's technical notes TN-FD-22 "Client
    // SATA SSD SMART Attribute Reference" (table 1, SMART Attribute
    // Definitions) and TN-FD-34 "5100 SSD SMART Implementation". 202 is the
    // lifetime left, per cent, in the normalized value; 194 keeps the lowest
    // and highest in bytes 2 and 4; 246 counts the host's sectors (LBAs)
    // written, what queries of Total_LBAs_Written read. The copies of these notes found name
    // none of the 5300's 188, 195, 211, 212, 247 and 248: they stay unnamed
    // until a Micron document names them.
    {Only(F::kMicronSsd), 170, R::kNone, X::kDecimal, "Reserved Block Count"},
    {Only(F::kMicronSsd), 171, R::kNone, X::kDecimal, "Program Fail Count"},
    {Only(F::kMicronSsd), 172, R::kNone, X::kDecimal, "Erase Fail Count"},
    {Only(F::kMicronSsd), 173, R::kNone, X::kDecimal, "Average Block Erase Count"},
    {Only(F::kMicronSsd), 174, R::kNone, X::kDecimal, "Unexpected Power Loss Count"},
    {Only(F::kMicronSsd), 180, R::kNone, X::kDecimal, "Unused Reserve NAND Blocks"},
    {Only(F::kMicronSsd), 183, R::kNone, X::kDecimal, "SATA Interface Downshift"},
    {Only(F::kMicronSsd), 184, R::kNone, X::kDecimal, "Error Correction Count"},
    {Only(F::kMicronSsd), 187, R::kReportedUncorrectable, X::kDecimal,
     "Reported Uncorrectable Errors", "Reported_Uncorrect"},
    {Only(F::kMicronSsd), 194, R::kTemperature, X::kTemperatureLowHigh24, nullptr},
    {Only(F::kMicronSsd), 202, R::kEnduranceLeft, X::kDecimal, "Percent Lifetime Remaining",
     "Percent_Lifetime_Remain"},
    {Only(F::kMicronSsd), 206, R::kNone, X::kDecimal, "Write Error Rate"},
    {Only(F::kMicronSsd), 210, R::kNone, X::kDecimal, "Successful RAIN Recovery Count"},
    {Only(F::kMicronSsd), 246, R::kNone, X::kDecimal, "Cumulative Host Sectors Written",
     "Total_LBAs_Written"},

    // HGST and Hitachi hard disks (Deskstar 7K4000 specification rev. 1.1,
    // Travelstar 7K500 OEM specification) have no row of their own: their
    // 191-193, 223 and 254 are the shared rows above. None of their
    // specifications found lays out the bytes above 194's raw byte 0.

    // HGST Ultrastar 7K2: its technical reference manual (rev. 1.1, table 11,
    // Supported Attributes), whose 192, 194 and 200 are not the Travelstar's
    // nor the window's meanings.
    {Only(F::kHgstUltrastar7K2), 16, R::kNone, X::kDecimal, "Gas Gauge"},
    {Only(F::kHgstUltrastar7K2), 192, R::kNone, X::kDecimal, "Emergency Retract Cycles"},
    {Only(F::kHgstUltrastar7K2), 193, R::kNone, X::kDecimal, "Load/Unload Cycles"},
    {Only(F::kHgstUltrastar7K2), 194, R::kTemperature, X::kTemperature, "HDA Temperature"},
    {Only(F::kHgstUltrastar7K2), 200, R::kNone, X::kDecimal, "Multi-zone Error Rate"},

    // Fujitsu hard disks: the disk drives product manuals' attribute ID
    // lists (MHV2xxxBH C141-E224, MHV2xxxBT C141-E239, MHW2xxxBS C141-E249;
    // the MHY2xxxBH manual C141-E262 has the same layout). Their 193 and 195
    // are the shared rows. None of the lists read names 191, which the MHY2
    // drives report (C141-E262's own list was not found): it stays unnamed.
    {Only(F::kFujitsuHdd), 192, R::kNone, X::kDecimal, "Emergency Retract Cycle Count"},
    {Only(F::kFujitsuHdd), 203, R::kNone, X::kDecimal, "Run Out"},
    {Only(F::kFujitsuHdd), 240, R::kNone, X::kDecimal, "Transfer Error Rate"},
};

bool StartsWithNoCase(const std::string& text, size_t from, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (text.size() < from + length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[from + i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

bool Fits(const std::string& model, const ModelPattern& pattern) {
    if (!StartsWithNoCase(model, 0, pattern.prefix)) {
        return false;
    }
    if (pattern.part == nullptr) {
        return true;
    }
    for (size_t at = std::strlen(pattern.prefix); at < model.size(); ++at) {
        if (StartsWithNoCase(model, at, pattern.part)) {
            return true;
        }
    }
    return false;
}

constexpr int kRowCount = sizeof kRows / sizeof kRows[0];
constexpr uint8_t kNoRow = 0xFF;
static_assert(kRowCount < kNoRow, "a row's index fits the index table");

// Per family and id, the row that names it: a family's own row wins over
// the window's id for every family. Made by the compiler, so that a lookup
// is one read, however many rows the makers' documents add; it stays
// unmade (and the build fails) where two rows claim one family's id, or a
// row would take a window's name the window's table does not have.
struct RowIndex {
    uint8_t row[kModelFamilyCount][256];
    bool made;
};

constexpr bool Covers(const AttributeRow& row, int family) {
    return (row.families >> family) & 1u;
}

constexpr RowIndex MakeRowIndex() {
    RowIndex index{};
    index.made = true;
    for (int family = 0; family < kModelFamilyCount; ++family) {
        for (int id = 0; id < 256; ++id) {
            index.row[family][id] = kNoRow;
        }
    }
    for (const bool every : {true, false}) {
        for (int i = 0; i < kRowCount; ++i) {
            const AttributeRow& row = kRows[i];
            if ((row.families == kEvery) != every) {
                continue;
            }
            if (row.name == nullptr && WindowAttributeText(row.id) == nullptr) {
                index.made = false;
            }
            for (int family = 0; family < kModelFamilyCount; ++family) {
                uint8_t& slot = index.row[family][row.id];
                if (!Covers(row, family)) {
                    continue;
                }
                if (slot != kNoRow && !(kRows[slot].families == kEvery && !every)) {
                    index.made = false;
                }
                slot = static_cast<uint8_t>(i);
            }
        }
    }
    return index;
}

constexpr RowIndex kRowIndex = MakeRowIndex();
static_assert(kRowIndex.made, "one row per family and id; a window's name for every unnamed row");

const AttributeRow* FindRow(uint8_t id, ModelFamily family) {
    const uint8_t row = kRowIndex.row[static_cast<int>(family)][id];
    return row == kNoRow ? nullptr : &kRows[row];
}

uint8_t RawByte(const AttributeRecord& record, int index) {
    return static_cast<uint8_t>(RawValue48(record) >> (8 * index));
}

}  // namespace

ModelFamily FamilyOfModel(const std::string& model) {
    for (const ModelPattern& pattern : kModelPatterns) {
        if (Fits(model, pattern)) {
            return pattern.family;
        }
    }
    return ModelFamily::kGeneric;
}

bool IsDefectRole(AttributeRole role) {
    for (const AttributeRole defect : kDefectRoles) {
        if (role == defect) {
            return true;
        }
    }
    return false;
}

AttributeRole RoleOf(uint8_t id, ModelFamily family) {
    const AttributeRow* row = FindRow(id, family);
    return row ? row->role : AttributeRole::kNone;
}

std::string AttributeTitle(uint8_t id, ModelFamily family) {
    const AttributeRow* row = FindRow(id, family);
    if (row == nullptr) {
        return "Unknown Attribute";
    }
    return row->name ? row->name : WindowAttributeText(id);
}

std::string AttributeKey(uint8_t id, ModelFamily family) {
    std::string key = AttributeTitle(id, family);
    for (char& c : key) {
        if (c == ' ') {
            c = '_';
        }
    }
    return key;
}

std::string AttributeMetricName(uint8_t id, ModelFamily family) {
    const AttributeRow* row = FindRow(id, family);
    return row && row->label ? row->label : AttributeKey(id, family);
}

std::string AttributeRawText(const AttributeRecord& record, ModelFamily family) {
    const AttributeRow* row = FindRow(AttributeId(record), family);
    const RawFormat format = row ? row->format : RawFormat::kDecimal;
    const uint64_t raw = RawValue48(record);
    const unsigned long long value = raw;
    const bool upperZero = (raw >> 8) == 0;
    char text[48];
    switch (format) {
        case RawFormat::kMilliseconds:
            std::snprintf(text, sizeof text, "%llu ms", value);
            return text;
        case RawFormat::kTemperatureLowHigh24:
            if (!upperZero) {
                std::snprintf(text, sizeof text, "%u (Min/Max %u/%u)", RawByte(record, 0),
                              RawByte(record, 2), RawByte(record, 4));
                return text;
            }
            break;
        case RawFormat::kHoursLow32:
            std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(RawLow32(record)));
            return text;
        case RawFormat::kTemperature:
        case RawFormat::kDecimal:
            break;
    }
    // A plain number is all 48 bits, whatever the format: raw byte 0 alone
    // is that number when the bytes above it are zero.
    std::snprintf(text, sizeof text, "%llu", value);
    return text;
}
