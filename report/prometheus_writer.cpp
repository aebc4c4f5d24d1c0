#include "report/prometheus_writer.h"

#include <cstring>

#include "report/attribute_format.h"

namespace {

// The counts behind the alerts worth having: reallocated, reported
// uncorrectable, pending and offline-uncorrectable sectors.
const uint8_t kCountedAttributes[] = {5, 187, 197, 198};

void Family(std::string* out, const char* name, const char* type, const char* help) {
    out->append("# HELP ").append(name).push_back(' ');
    out->append(help).append("\n# TYPE ").append(name).push_back(' ');
    out->append(type).push_back('\n');
}

// The format's escapes: backslash, double quote and line feed.
void Label(std::string* out, const char* name, const char* value, size_t length) {
    if (out->back() != '{') {
        out->push_back(',');
    }
    out->append(name).append("=\"");
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(value[i]);
        if (byte == '\\' || byte == '"') {
            out->push_back('\\');
            out->push_back(static_cast<char>(byte));
        } else if (byte == '\n') {
            out->append("\\n");
        } else {
            AppendLatin1(out, byte);
        }
    }
    out->push_back('"');
}

void Label(std::string* out, const char* name, const std::string& value) {
    Label(out, name, value.data(), value.size());
}

void Label(std::string* out, const char* name, const char* value) {
    Label(out, name, value, std::strlen(value));
}

void IdLabel(std::string* out, uint8_t id) {
    out->append(",attribute_id=\"");
    AppendNumber(out, id);
    out->push_back('"');
}

void Sample(std::string* out, const char* name, const ListedDrive& drive) {
    out->append(name).push_back('{');
    Label(out, "device", drive.device);
}

void Value(std::string* out, uint64_t value) {
    out->append("} ");
    AppendNumber(out, value);
    out->push_back('\n');
}

std::string FlagsLong(uint16_t flags) {
    std::string names;
    for (int bit = 0; bit < kFlagBits; ++bit) {
        if ((flags >> bit) & 1) {
            if (!names.empty()) {
                names.push_back(',');
            }
            names.append(kFlagNames[bit]);
        }
    }
    return names;
}

// Calls visit(record) for each attribute of the drive, the first of any
// repeated id only: a second sample with the same labels would be dropped
// by the server, and would hide which one it kept.
template <typename Visit>
void EachAttribute(const DriveInventory& inventory, int position, Visit visit) {
    bool seen[256] = {};
    for (int index = 0; index < inventory.GetAttributeCount(position); ++index) {
        AttributeRecord record;
        if (inventory.GetAttribute(position, index, &record) && !seen[AttributeId(record)]) {
            seen[AttributeId(record)] = true;
            visit(record);
        }
    }
}

void DeviceSamples(std::string* out, const MachineReport& report) {
    Family(out, "smartctl_device", "gauge", "Device info");
    for (const ListedDrive& drive : report.drives) {
        const IdentityTexts identity = DriveIdentity(*report.inventory, drive.position);
        Sample(out, "smartctl_device", drive);
        Label(out, "model_name", identity.model);
        Label(out, "serial_number", identity.serial);
        Label(out, "firmware_version", identity.firmware);
        Label(out, "interface", "ata");
        Label(out, "protocol", "ATA");
        Value(out, 1);
    }
}

void AttributeSamples(std::string* out, const MachineReport& report) {
    Family(out, "smartctl_device_attribute", "gauge", "Device attributes");
    for (const ListedDrive& drive : report.drives) {
        const bool thresholdsKnown = report.inventory->ThresholdsKnown(drive.position);
        EachAttribute(*report.inventory, drive.position, [&](const AttributeRecord& record) {
            const uint16_t flags = AttributeFlags(record);
            FlagsText flagsShort = FlagsShort(flags);
            flagsShort.text[kFlagBits] = '\0';
            const std::string name = AttributeKeyName(record);
            const std::string flagsLong = FlagsLong(flags);
            const struct {
                const char* type;
                uint64_t value;
                bool known;
            } values[] = {{"value", AttributeCurrent(record), true},
                          {"worst", AttributeWorst(record), true},
                          {"thresh", AttributeThreshold(record), thresholdsKnown},
                          {"raw", RawValue48(record), true}};
            for (const auto& value : values) {
                if (!value.known) {
                    continue;
                }
                Sample(out, "smartctl_device_attribute", drive);
                IdLabel(out, AttributeId(record));
                Label(out, "attribute_name", name);
                Label(out, "attribute_flags_short", flagsShort.text);
                Label(out, "attribute_flags_long", flagsLong);
                Label(out, "attribute_value_type", value.type);
                Value(out, value.value);
            }
        });
    }
}

// One sample per drive that has the attribute, of the value taken from it.
template <typename Take>
void SummarySamples(std::string* out, const MachineReport& report, uint8_t id, const char* name,
                    const char* type, const char* help, const char* extraLabel, Take take) {
    Family(out, name, type, help);
    for (const ListedDrive& drive : report.drives) {
        AttributeRecord record;
        if (FindAttribute(*report.inventory, drive.position, id, &record)) {
            Sample(out, name, drive);
            if (extraLabel) {
                out->append(extraLabel);
            }
            Value(out, take(record));
        }
    }
}

void OwnSamples(std::string* out, const MachineReport& report) {
    // Untyped: among these counts some only grow and some also fall, so
    // the series is neither a counter nor quite a gauge.
    Family(out, "vantrel_attribute_count", "untyped",
           "Raw bytes 0 and 1 of attributes 5, 187, 197 and 198: sectors and errors counted");
    for (const ListedDrive& drive : report.drives) {
        for (const uint8_t id : kCountedAttributes) {
            AttributeRecord record;
            if (FindAttribute(*report.inventory, drive.position, id, &record)) {
                Sample(out, "vantrel_attribute_count", drive);
                IdLabel(out, id);
                Value(out, RawLow16(record));
            }
        }
    }
    Family(out, "vantrel_attribute_verdict", "gauge",
           "Attribute verdict: 0 OK, 1 WARNING, 2 FAIL, 3 UNKNOWN");
    for (const ListedDrive& drive : report.drives) {
        const bool thresholdsKnown = report.inventory->ThresholdsKnown(drive.position);
        EachAttribute(*report.inventory, drive.position, [&](const AttributeRecord& record) {
            unsigned verdict = 3;
            switch (RecordVerdict(record, thresholdsKnown)) {
                case AttributeVerdict::kOk:
                    verdict = 0;
                    break;
                case AttributeVerdict::kWarning:
                    verdict = 1;
                    break;
                case AttributeVerdict::kFail:
                    verdict = 2;
                    break;
                case AttributeVerdict::kUnknown:
                    break;
            }
            Sample(out, "vantrel_attribute_verdict", drive);
            IdLabel(out, AttributeId(record));
            Value(out, verdict);
        });
    }
}

}  // namespace

std::string PrometheusReport(const MachineReport& report) {
    std::string out;
    out.reserve(16384 * (report.drives.size() + 1));
    DeviceSamples(&out, report);
    AttributeSamples(&out, report);
    SummarySamples(&out, report, 194, "smartctl_device_temperature", "gauge",
                   "Temperature in degrees Celsius: raw byte 0 of attribute 194",
                   ",temperature_type=\"current\"",
                   [](const AttributeRecord& record) { return uint64_t{record.Attribute[5]}; });
    SummarySamples(&out, report, 9, "smartctl_device_power_on_seconds", "counter",
                   "Power-on time from raw bytes 0 to 3 of attribute 9, read as hours", nullptr,
                   [](const AttributeRecord& record) { return uint64_t{RawLow32(record)} * 3600; });
    SummarySamples(&out, report, 12, "smartctl_device_power_cycle_count", "counter",
                   "Power cycles: raw bytes 0 to 3 of attribute 12", nullptr,
                   [](const AttributeRecord& record) { return uint64_t{RawLow32(record)}; });
    Family(&out, "smartctl_device_capacity_bytes", "gauge", "User-addressable capacity in bytes");
    for (const ListedDrive& drive : report.drives) {
        Sample(&out, "smartctl_device_capacity_bytes", drive);
        Value(&out, CapacityBlocks(report.inventory->entries[drive.position].Identify) * 512);
    }
    OwnSamples(&out, report);
    Family(&out, "vantrel_scan_drives", "gauge", "Drives the scan found");
    out.append("vantrel_scan_drives ");
    AppendNumber(&out, static_cast<uint64_t>(report.inventory->GetDriveCount()));
    out.push_back('\n');
    return out;
}

bool WritePrometheusReport(const MachineReport& report, FILE* stream) {
    const std::string text = PrometheusReport(report);
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}
