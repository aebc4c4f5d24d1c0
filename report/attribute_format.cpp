#include "report/attribute_format.h"

#include <cstdio>

AttributeVerdict AttributeStatus(uint8_t current, uint8_t threshold) {
    // The sum is an int: a threshold of 245 or more never wraps into OK.
    if (current > threshold + 10) {
        return AttributeVerdict::kOk;
    }
    if (current < threshold) {
        return AttributeVerdict::kFail;
    }
    return AttributeVerdict::kWarning;
}

const char* VerdictText(AttributeVerdict verdict, TextForm form) {
    const bool list = form == TextForm::kList;
    switch (verdict) {
        case AttributeVerdict::kOk:
            return list ? "OK" : "OK     ";
        case AttributeVerdict::kWarning:
            return "WARNING";
        case AttributeVerdict::kUnknown:
            return "UNKNOWN";
        case AttributeVerdict::kFail:
            break;
    }
    return list ? "FAIL" : "FAIL   ";
}

AttributeVerdict RecordVerdict(const AttributeRecord& record, bool thresholdsKnown) {
    if (!thresholdsKnown) {
        return AttributeVerdict::kUnknown;
    }
    return AttributeStatus(AttributeCurrent(record), AttributeThreshold(record));
}

ThresholdText FormatThreshold(const AttributeRecord& record, bool thresholdsKnown) {
    ThresholdText out;
    if (thresholdsKnown) {
        std::snprintf(out.text, sizeof out.text, "%d", AttributeThreshold(record));
    } else {
        std::snprintf(out.text, sizeof out.text, "-");
    }
    return out;
}

RawValueText FormatRawValue(const AttributeRecord& record, TextForm form) {
    // Only the low four of the six raw bytes are shown, as a signed number;
    // the temperature is its low byte alone.
    const uint32_t raw = RawLow32(record);
    long value = static_cast<long>(static_cast<int32_t>(raw));
    const bool list = form == TextForm::kList;
    const char* format = "%ld";
    if (AttributeId(record) == 3) {
        format = list ? "%ld ms" : "%ldms";
    } else if (AttributeId(record) == 194) {
        // Many makers keep the lowest and highest temperatures seen in the
        // bytes above the current one: read as one number, they showed
        // drives at 28 degrees as 983068 C.
        value = AttributeCelsius(record);
        format = "%ld C";
    } else if (!list) {
        // Padding keeps the export's raw column four characters wide up to 999.
        if (raw < 10) {
            format = "%ld   ";
        } else if (raw < 100) {
            format = "%ld  ";
        } else if (raw < 1000) {
            format = "%ld ";
        }
    }
    RawValueText out;
    std::snprintf(out.text, sizeof out.text, format, value);
    return out;
}

AttributeRowText FormatAttributeRow(const AttributeRecord& record, bool thresholdsKnown) {
    AttributeRowText row;
    std::snprintf(row.cells[0], kAttributeCellSize, "%X", AttributeId(record));
    std::snprintf(row.cells[1], kAttributeCellSize, "%.*s",
                  static_cast<int>(sizeof record.Description), record.Description);
    std::snprintf(row.cells[2], kAttributeCellSize, "%s",
                  FormatRawValue(record, TextForm::kList).text);
    std::snprintf(row.cells[3], kAttributeCellSize, "%s",
                  VerdictText(RecordVerdict(record, thresholdsKnown), TextForm::kList));
    std::snprintf(row.cells[4], kAttributeCellSize, "%d", AttributeCurrent(record));
    std::snprintf(row.cells[5], kAttributeCellSize, "%d", AttributeWorst(record));
    std::snprintf(row.cells[6], kAttributeCellSize, "%s",
                  FormatThreshold(record, thresholdsKnown).text);
    return row;
}
