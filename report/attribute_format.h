// The verdict and the raw-value text of one SMART attribute, in the list
// form (the window) and the export form (the results file).
#pragma once

#include <cstddef>
#include <cstdint>

#include "inventory/attribute_fields.h"
#include "inventory/drive_inventory.h"

enum class AttributeVerdict { kOk, kWarning, kFail, kUnknown };
enum class TextForm { kList, kExport };

AttributeVerdict AttributeStatus(uint8_t current, uint8_t threshold);

// "OK", "WARNING", "FAIL", "UNKNOWN"; in the export form padded to seven
// characters.
const char* VerdictText(AttributeVerdict verdict, TextForm form);

enum { kRawValueTextSize = 32 };

struct RawValueText {
    char text[kRawValueTextSize];
};

RawValueText FormatRawValue(const AttributeRecord& record, TextForm form);

// A record's verdict and threshold column as the window and the file show
// them: UNKNOWN and "-" for a drive whose thresholds could not be read
// (DriveInventory::ThresholdsKnown), never a verdict against zeros.
AttributeVerdict RecordVerdict(const AttributeRecord& record, bool thresholdsKnown);

struct ThresholdText {
    char text[8];
};

ThresholdText FormatThreshold(const AttributeRecord& record, bool thresholdsKnown);

enum { kAttributeColumns = 7, kAttributeCellSize = sizeof(AttributeRecord::Description) + 1 };

// The texts of one row of the window's SMART Attributes list, columns 0 to
// 6: id, description, raw value, status, value, worst, threshold.
struct AttributeRowText {
    char cells[kAttributeColumns][kAttributeCellSize];
};

AttributeRowText FormatAttributeRow(const AttributeRecord& record, bool thresholdsKnown);
