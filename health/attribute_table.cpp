#include "health/attribute_table.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "inventory/attribute_fields.h"

namespace {

enum class RawFormat : uint8_t {
    kDecimal,               // all 48 bits
    kMilliseconds,          // all 48 bits, " ms"
    kTemperature,           // byte 0 when bytes 1-5 are zero, else all 48 bits
    kTemperatureLowHigh24,  // byte 0, lowest in byte 2, highest in byte 4
    kTemperatureLowHigh23,  // byte 0, lowest in byte 2, highest in byte 3
};

struct ModelPattern {
    const char* prefix;
    ModelFamily family;
};

// Matched in order, the first that starts the model wins; no case. A
// Samsung SSD is told from a Samsung hard disk by its model (MZ..., or the
// retail "Samsung SSD ..."). Crucial's SSDs are Micron's, under Micron's
// documents. Makers not listed here (Kingston, SanDisk, Western Digital,
// Seagate, Toshiba) publish no attribute list found that names an id
// otherwise than the generic rows below, so their drives read those: the
// Seagate hard disk manuals found (Momentus, Laptop SSHD) list the SMART
// commands but no attribute, no Western Digital document found names an
// id, and Toshiba's names are the generic rows'.
const ModelPattern kModelPatterns[] = {
    {"SAMSUNG MZ", ModelFamily::kSamsungSsd}, {"Samsung SSD", ModelFamily::kSamsungSsd},
    {"SAMSUNG", ModelFamily::kSamsungHdd},    {"INTEL", ModelFamily::kIntelSsd},
    {"Micron_", ModelFamily::kMicronSsd},     {"Crucial_", ModelFamily::kMicronSsd},
    {"CT", ModelFamily::kMicronSsd},          {"HGST", ModelFamily::kHgstHdd},
    {"Hitachi", ModelFamily::kHgstHdd},       {"FUJITSU", ModelFamily::kFujitsuHdd},
};

struct AttributeRow {
    ModelFamily family;
    uint8_t id;
    AttributeRole role;
    RawFormat format;
    const char* name;  // nullptr where no document names it
};

using F = ModelFamily;
using R = AttributeRole;
using X = RawFormat;

constexpr AttributeRow kRows[] = {
    // Generic: the names the window's table gives (inventory/attributes.cpp),
    // so that a row never changes name between the window and the JSON, and
    // the roles every drive's values are read by.
    {F::kGeneric, 1, R::kNone, X::kDecimal, "Raw Read Error Rate"},
    {F::kGeneric, 2, R::kNone, X::kDecimal, "Throughput Performance"},
    {F::kGeneric, 3, R::kNone, X::kDecimal, "Spin Up Time"},
    {F::kGeneric, 4, R::kNone, X::kDecimal, "Start/Stop Count"},
    {F::kGeneric, 5, R::kReallocatedSectors, X::kDecimal, "Reallocated Sector Count"},
    {F::kGeneric, 6, R::kNone, X::kDecimal, "Read Channel Margin"},
    {F::kGeneric, 7, R::kNone, X::kDecimal, "Seek Error Rate"},
    {F::kGeneric, 8, R::kNone, X::kDecimal, "Seek Time Performance"},
    {F::kGeneric, 9, R::kPowerOnHours, X::kDecimal, "Power On Hours Count"},
    {F::kGeneric, 10, R::kNone, X::kDecimal, "Spin Retry Count"},
    {F::kGeneric, 11, R::kNone, X::kDecimal, "Calibration Retry Count"},
    {F::kGeneric, 12, R::kPowerCycles, X::kDecimal, "Power Cycle Count"},
    {F::kGeneric, 194, R::kTemperature, X::kTemperature, "Temperature"},
    {F::kGeneric, 196, R::kNone, X::kDecimal, "Reallocation Event Count"},
    {F::kGeneric, 197, R::kPendingSectors, X::kDecimal, "Current Pending Sector Count"},
    {F::kGeneric, 198, R::kOfflineUncorrectable, X::kDecimal,
     "Offline Scan Incorrect. Sector Count"},
    {F::kGeneric, 199, R::kNone, X::kDecimal, "Ultra ATA CRC Error Count"},
    {F::kGeneric, 200, R::kNone, X::kDecimal, "Write Error Count"},

    // Generic, beyond the window's table: ids whose meaning the makers that
    // document them agree on, in the words of the document cited. A maker
    // whose documents give the id another meaning or name has its own row.
    // - 184, 187: Intel's product specifications below (end-to-end error
    //   detection), Micron's TN-FD-22 (reported uncorrectable errors);
    //   Micron's 184 and the Samsung and Intel 187 wording are their rows.
    // - 190: Samsung's SSD data sheets below (airflow temperature); Intel's
    //   case temperature is its row.
    // - 191, 192, 193, 254: Hitachi's hard disk drive specifications
    //   (Travelstar 7K500 OEM specification, table 114; Travelstar 5K320
    //   OEM specification, table 113; Travelstar 80GN and 5K100
    //   specifications), Fujitsu's manuals below for 193; Fujitsu's own
    //   192 wording is its row.
    // - 195: Samsung's SpinPoint manuals and Fujitsu's manuals below agree.
    // - 220, 222-226, 228: Toshiba's MK6017MAP/HDD2155 product specification
    //   (document 360014937, SMART attribute IDs); Hitachi's specifications
    //   name 223 the same.
    // No document found names 13, 188, 189, 202 (but Micron's, in its row),
    // 211, 212, 247 or 248; they read unknown.
    {F::kGeneric, 184, R::kNone, X::kDecimal, "End-to-End Error Detection Count"},
    {F::kGeneric, 187, R::kReportedUncorrectable, X::kDecimal, "Reported Uncorrectable Errors"},
    {F::kGeneric, 190, R::kTemperatureSecond, X::kTemperature, "Airflow Temperature"},
    {F::kGeneric, 191, R::kNone, X::kDecimal, "G-Sense Error Rate"},
    {F::kGeneric, 192, R::kNone, X::kDecimal, "Power-Off Retract Count"},
    {F::kGeneric, 193, R::kNone, X::kDecimal, "Load/Unload Cycle Count"},
    {F::kGeneric, 195, R::kNone, X::kDecimal, "ECC On The Fly Count"},
    {F::kGeneric, 220, R::kNone, X::kDecimal, "Disk Shift"},
    {F::kGeneric, 222, R::kNone, X::kDecimal, "Loaded Hours"},
    {F::kGeneric, 223, R::kNone, X::kDecimal, "Load Retry Count"},
    {F::kGeneric, 224, R::kNone, X::kDecimal, "Load Friction"},
    {F::kGeneric, 225, R::kNone, X::kDecimal, "Load Cycle Count"},
    {F::kGeneric, 226, R::kNone, X::kDecimal, "Load In Time"},
    {F::kGeneric, 228, R::kNone, X::kDecimal, "Power-Off Retract Count"},
    {F::kGeneric, 254, R::kNone, X::kDecimal, "Free-Fall Sensor Work Count"},

    // Samsung SSDs: Samsung's SSD data sheets, "Individual Attribute Data
    // Structure" (e.g. MZMPC032HBCD/064HBDR/128HBFU/256HBGJ data sheet,
    // rev. 1.0). 177's normalized value is the endurance left. No Samsung
    // data sheet found names 184 or 202 (the SM843T/PM853T report both): 184
    // reads the generic row, 202 stays unnamed.
    {F::kSamsungSsd, 177, R::kEnduranceLeft, X::kDecimal, "Wear Leveling Count"},
    {F::kSamsungSsd, 179, R::kNone, X::kDecimal, "Used Reserved Block Count"},
    {F::kSamsungSsd, 180, R::kNone, X::kDecimal, "Unused Reserved Block Count"},
    {F::kSamsungSsd, 181, R::kNone, X::kDecimal, "Program Fail Count"},
    {F::kSamsungSsd, 182, R::kNone, X::kDecimal, "Erase Fail Count"},
    {F::kSamsungSsd, 183, R::kNone, X::kDecimal, "Runtime Bad Block Count"},
    {F::kSamsungSsd, 187, R::kReportedUncorrectable, X::kDecimal, "Uncorrectable Error Count"},
    {F::kSamsungSsd, 190, R::kTemperatureSecond, X::kTemperature, "Airflow Temperature"},
    {F::kSamsungSsd, 195, R::kNone, X::kDecimal, "ECC Error Rate"},
    {F::kSamsungSsd, 199, R::kNone, X::kDecimal, "CRC Error Count"},
    {F::kSamsungSsd, 235, R::kNone, X::kDecimal, "Power Recovery Count"},
    {F::kSamsungSsd, 241, R::kNone, X::kDecimal, "Total LBAs Written"},

    // Samsung hard disks: the SpinPoint product manuals, "SMART Attribute
    // Data List" (e.g. Spinpoint M8 Product Manual rev. 2.7, table 8-17),
    // which give the spin-up time in milliseconds. The manuals found (M8,
    // M8-DVR, M9T) list no other id: the SpinPoint T166's and SpinPoint M's
    // others read the generic rows, or unknown (13, 188, 202, 255).
    {F::kSamsungHdd, 3, R::kNone, X::kMilliseconds, "Spin Up Time"},
    {F::kSamsungHdd, 201, R::kNone, X::kDecimal, "Soft Error Rate"},

    // Intel SSDs: the product specifications' SMART attribute tables
    // (Intel SSD 320 Series, order 325152; 313 Series, 326453; DC S3500,
    // 328860; 530 Series, 329212). 233's normalized value is the endurance
    // left; 190 keeps the lowest and highest case temperature in bytes 2
    // and 3.
    {F::kIntelSsd, 170, R::kNone, X::kDecimal, "Available Reserved Space"},
    {F::kIntelSsd, 171, R::kNone, X::kDecimal, "Program Fail Count"},
    {F::kIntelSsd, 172, R::kNone, X::kDecimal, "Erase Fail Count"},
    {F::kIntelSsd, 174, R::kNone, X::kDecimal, "Unsafe Shutdown Count"},
    {F::kIntelSsd, 175, R::kNone, X::kDecimal, "Power Loss Protection Failure"},
    {F::kIntelSsd, 183, R::kNone, X::kDecimal, "SATA Downshift Count"},
    {F::kIntelSsd, 184, R::kNone, X::kDecimal, "End-to-End Error Detection Count"},
    {F::kIntelSsd, 187, R::kReportedUncorrectable, X::kDecimal, "Uncorrectable Error Count"},
    {F::kIntelSsd, 190, R::kTemperatureSecond, X::kTemperatureLowHigh23, "Case Temperature"},
    {F::kIntelSsd, 192, R::kNone, X::kDecimal, "Unsafe Shutdown Count"},
    {F::kIntelSsd, 199, R::kNone, X::kDecimal, "CRC Error Count"},
    {F::kIntelSsd, 225, R::kNone, X::kDecimal, "Host Writes"},
    {F::kIntelSsd, 226, R::kNone, X::kDecimal, "Timed Workload Media Wear"},
    {F::kIntelSsd, 227, R::kNone, X::kDecimal, "Timed Workload Host Reads Percentage"},
    {F::kIntelSsd, 228, R::kNone, X::kDecimal, "Workload Timer"},
    {F::kIntelSsd, 232, R::kNone, X::kDecimal, "Available Reserved Space"},
    {F::kIntelSsd, 233, R::kEnduranceLeft, X::kDecimal, "Media Wearout Indicator"},
    {F::kIntelSsd, 234, R::kNone, X::kDecimal, "Thermal Throttle Status"},
    {F::kIntelSsd, 241, R::kNone, X::kDecimal, "Total LBAs Written"},
    {F::kIntelSsd, 242, R::kNone, X::kDecimal, "Total LBAs Read"},

    // Micron and Crucial SSDs: Micron's technical notes TN-FD-22 "Client
    // SATA SSD SMART Attribute Reference" and TN-FD-34 "5100 SSD SMART
    // Implementation". 202 is the lifetime left, per cent, in the
    // normalized value; 194 keeps the lowest and highest in bytes 2 and 4.
    // The copies of these notes found were cut short and name none of the
    // 5300's 188, 195, 211, 212, 247 and 248: 195 reads the generic row, the
    // others stay unnamed until a full copy is read.
    {F::kMicronSsd, 170, R::kNone, X::kDecimal, "Reserved Block Count"},
    {F::kMicronSsd, 171, R::kNone, X::kDecimal, "Program Fail Count"},
    {F::kMicronSsd, 172, R::kNone, X::kDecimal, "Erase Fail Count"},
    {F::kMicronSsd, 173, R::kNone, X::kDecimal, "Average Block Erase Count"},
    {F::kMicronSsd, 174, R::kNone, X::kDecimal, "Unexpected Power Loss Count"},
    {F::kMicronSsd, 180, R::kNone, X::kDecimal, "Unused Reserve NAND Blocks"},
    {F::kMicronSsd, 183, R::kNone, X::kDecimal, "SATA Interface Downshift"},
    {F::kMicronSsd, 184, R::kNone, X::kDecimal, "Error Correction Count"},
    {F::kMicronSsd, 187, R::kReportedUncorrectable, X::kDecimal, "Reported Uncorrectable Errors"},
    {F::kMicronSsd, 194, R::kTemperature, X::kTemperatureLowHigh24, "Temperature"},
    {F::kMicronSsd, 202, R::kEnduranceLeft, X::kDecimal, "Percent Lifetime Remaining"},
    {F::kMicronSsd, 206, R::kNone, X::kDecimal, "Write Error Rate"},
    {F::kMicronSsd, 210, R::kNone, X::kDecimal, "Successful RAIN Recovery Count"},
    {F::kMicronSsd, 246, R::kNone, X::kDecimal, "Cumulative Host Sectors Written"},

    // HGST and Hitachi hard disks: the hard disk drive specifications'
    // attribute lists (e.g. Deskstar 7K4000 specification rev. 1.1,
    // Travelstar 7K500 OEM specification); 194 keeps the lowest and highest
    // in bytes 2 and 4. Their 191-193, 223 and 254 are the generic rows.
    {F::kHgstHdd, 194, R::kTemperature, X::kTemperatureLowHigh24, "Temperature"},

    // Fujitsu hard disks: the disk drives product manuals' attribute ID
    // lists (MHV2xxxBH C141-E224, MHV2xxxBT C141-E239, MHW2xxxBS C141-E249;
    // the MHY2xxxBH manual C141-E262 has the same layout). None of the lists
    // read names 191, which the MHY2 drives report (C141-E262's own list was
    // not found): it reads the generic row, as do 193 and 195.
    {F::kFujitsuHdd, 192, R::kNone, X::kDecimal, "Emergency Retract Cycle Count"},
    {F::kFujitsuHdd, 203, R::kNone, X::kDecimal, "Run Out"},
    {F::kFujitsuHdd, 240, R::kNone, X::kDecimal, "Transfer Error Rate"},
};

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (text.size() < length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

constexpr int kFamilies = static_cast<int>(ModelFamily::kFujitsuHdd) + 1;
constexpr int kRowCount = sizeof kRows / sizeof kRows[0];
constexpr uint8_t kNoRow = 0xFF;
static_assert(kRowCount < kNoRow, "a row's index fits the index table");

constexpr bool EveryRowsFamilyIndexed() {
    for (const AttributeRow& row : kRows) {
        if (static_cast<int>(row.family) >= kFamilies) {
            return false;
        }
    }
    return true;
}
static_assert(EveryRowsFamilyIndexed(), "kFamilies counts to the last family");

// Per family and id, the row that names it: the family's own, else the
// generic one. Made by the compiler, so that a lookup is one read, however
// many rows the makers' documents add.
struct RowIndex {
    uint8_t row[kFamilies][256];
};

constexpr RowIndex MakeRowIndex() {
    RowIndex index{};
    for (int family = 0; family < kFamilies; ++family) {
        for (int id = 0; id < 256; ++id) {
            index.row[family][id] = kNoRow;
        }
    }
    for (int family = 0; family < kFamilies; ++family) {
        for (int i = 0; i < kRowCount; ++i) {
            if (kRows[i].family == ModelFamily::kGeneric) {
                index.row[family][kRows[i].id] = static_cast<uint8_t>(i);
            }
        }
        for (int i = 0; i < kRowCount; ++i) {
            if (static_cast<int>(kRows[i].family) == family) {
                index.row[family][kRows[i].id] = static_cast<uint8_t>(i);
            }
        }
    }
    return index;
}

constexpr RowIndex kRowIndex = MakeRowIndex();

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
        if (StartsWithNoCase(model, pattern.prefix)) {
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
    return row && row->name ? row->name : "Unknown Attribute";
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
        case RawFormat::kTemperatureLowHigh23:
            if (!upperZero) {
                const int high = format == RawFormat::kTemperatureLowHigh24 ? 4 : 3;
                std::snprintf(text, sizeof text, "%u (Min/Max %u/%u)", RawByte(record, 0),
                              RawByte(record, 2), RawByte(record, high));
                return text;
            }
            break;
        case RawFormat::kTemperature:
        case RawFormat::kDecimal:
            break;
    }
    // A plain number is all 48 bits, whatever the format: raw byte 0 alone
    // is that number when the bytes above it are zero.
    std::snprintf(text, sizeof text, "%llu", value);
    return text;
}
