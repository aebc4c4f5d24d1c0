#include "report/prometheus_writer.h"

#include <cstring>
#include <vector>

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
void Escaped(std::string* out, const char* value, size_t length) {
    AppendText(
        out, value, length,
        [](unsigned char byte) { return byte == '\\' || byte == '"' || byte == '\n'; },
        [](std::string* text, unsigned char byte) {
            text->push_back('\\');
            text->push_back(byte == '\n' ? 'n' : static_cast<char>(byte));
        });
}

void Label(std::string* out, const char* name, const std::string& value) {
    out->push_back(',');
    out->append(name).append("=\"");
    Escaped(out, value.data(), value.size());
    out->push_back('"');
}

void IdLabel(std::string* out, uint8_t id) {
    out->append(",attribute_id=\"");
    AppendNumber(out, id);
    out->push_back('"');
}

// A drive's device label, escaped once for all of its samples.
struct DeviceLabel {
    std::string text;
};

std::vector<DeviceLabel> DeviceLabels(const MachineReport& report) {
    std::vector<DeviceLabel> labels(report.drives.size());
    for (size_t i = 0; i < labels.size(); ++i) {
        labels[i].text = "{device=\"";
        const std::string& device = report.drives[i].device;
        Escaped(&labels[i].text, device.data(), device.size());
        labels[i].text.push_back('"');
    }
    return labels;
}

void Sample(std::string* out, const char* name, const DeviceLabel& device) {
    out->append(name).append(device.text);
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

void DeviceSamples(std::string* out, const MachineReport& report,
                   const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device", "gauge", "Device info");
    for (size_t i = 0; i < devices.size(); ++i) {
        const IdentityTexts identity = DriveIdentity(*report.inventory, report.drives[i].position);
        Sample(out, "smartctl_device", devices[i]);
        Label(out, "model_name", identity.model);
        Label(out, "serial_number", identity.serial);
        Label(out, "firmware_version", identity.firmware);
        out->append(",interface=\"ata\",protocol=\"ATA\"");
        Value(out, 1);
    }
}

void AttributeSamples(std::string* out, const MachineReport& report,
                      const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device_attribute", "gauge", "Device attributes");
    std::string head;
    for (size_t i = 0; i < devices.size(); ++i) {
        const int position = report.drives[i].position;
        const bool thresholdsKnown = report.inventory->ThresholdsKnown(position);
        EachAttribute(*report.inventory, position, [&](const AttributeRecord& record) {
            // The labels all four samples share, then each one's type.
            const uint16_t flags = AttributeFlags(record);
            FlagsText flagsShort = FlagsShort(flags);
            flagsShort.text[kFlagBits] = '\0';
            head.clear();
            Sample(&head, "smartctl_device_attribute", devices[i]);
            IdLabel(&head, AttributeId(record));
            Label(&head, "attribute_name", AttributeKeyName(record));
            head.append(",attribute_flags_short=\"").append(flagsShort.text);
            head.append("\",attribute_flags_long=\"").append(FlagsLong(flags));
            head.append("\",attribute_value_type=\"");
            const struct {
                const char* type;
                uint64_t value;
                bool known;
            } values[] = {{"value\"", AttributeCurrent(record), true},
                          {"worst\"", AttributeWorst(record), true},
                          {"thresh\"", AttributeThreshold(record), thresholdsKnown},
                          {"raw\"", RawValue48(record), true}};
            for (const auto& value : values) {
                if (value.known) {
                    out->append(head).append(value.type);
                    Value(out, value.value);
                }
            }
        });
    }
}

// One sample per drive that has the attribute, of the value taken from it.
template <typename Take>
void SummarySamples(std::string* out, const MachineReport& report,
                    const std::vector<DeviceLabel>& devices, uint8_t id, const char* name,
                    const char* type, const char* help, const char* extraLabel, Take take) {
    Family(out, name, type, help);
    for (size_t i = 0; i < devices.size(); ++i) {
        AttributeRecord record;
        if (FindAttribute(*report.inventory, report.drives[i].position, id, &record)) {
            Sample(out, name, devices[i]);
            if (extraLabel) {
                out->append(extraLabel);
            }
            Value(out, take(record));
        }
    }
}

unsigned VerdictNumber(AttributeVerdict verdict) {
    switch (verdict) {
        case AttributeVerdict::kOk:
            return 0;
        case AttributeVerdict::kWarning:
            return 1;
        case AttributeVerdict::kFail:
            return 2;
        case AttributeVerdict::kUnknown:
            break;
    }
    return 3;
}

void OwnSamples(std::string* out, const MachineReport& report,
                const std::vector<DeviceLabel>& devices) {
    // Untyped: among these counts some only grow and some also fall, so
    // the series is neither a counter nor quite a gauge.
    Family(out, "vantrel_attribute_count", "untyped",
           "Raw bytes 0 and 1 of attributes 5, 187, 197 and 198: sectors and errors counted");
    for (size_t i = 0; i < devices.size(); ++i) {
        for (const uint8_t id : kCountedAttributes) {
            AttributeRecord record;
            if (FindAttribute(*report.inventory, report.drives[i].position, id, &record)) {
                Sample(out, "vantrel_attribute_count", devices[i]);
                IdLabel(out, id);
                Value(out, RawLow16(record));
            }
        }
    }
    Family(out, "vantrel_attribute_verdict", "gauge",
           "Attribute verdict: 0 OK, 1 WARNING, 2 FAIL, 3 UNKNOWN");
    for (size_t i = 0; i < devices.size(); ++i) {
        const int position = report.drives[i].position;
        const bool thresholdsKnown = report.inventory->ThresholdsKnown(position);
        EachAttribute(*report.inventory, position, [&](const AttributeRecord& record) {
            Sample(out, "vantrel_attribute_verdict", devices[i]);
            IdLabel(out, AttributeId(record));
            Value(out, VerdictNumber(RecordVerdict(record, thresholdsKnown)));
        });
    }
}

}  // namespace

std::string PrometheusReport(const MachineReport& report) {
    const std::vector<DeviceLabel> devices = DeviceLabels(report);
    std::string out;
    out.reserve(16384 * (report.drives.size() + 1));
    DeviceSamples(&out, report, devices);
    AttributeSamples(&out, report, devices);
    Family(&out, "smartctl_device_temperature", "gauge",
           "Temperature in degrees Celsius: raw byte 0 of attribute 194, or of 190 without 194");
    for (size_t i = 0; i < devices.size(); ++i) {
        uint8_t celsius;
        if (DriveTemperature(*report.inventory, report.drives[i].position, &celsius)) {
            Sample(&out, "smartctl_device_temperature", devices[i]);
            out.append(",temperature_type=\"current\"");
            Value(&out, celsius);
        }
    }
    SummarySamples(&out, report, devices, 9, "smartctl_device_power_on_seconds", "counter",
                   "Power-on time from raw bytes 0 to 3 of attribute 9, read as hours", nullptr,
                   [](const AttributeRecord& record) { return uint64_t{RawLow32(record)} * 3600; });
    SummarySamples(&out, report, devices, 12, "smartctl_device_power_cycle_count", "counter",
                   "Power cycles: raw bytes 0 to 3 of attribute 12", nullptr,
                   [](const AttributeRecord& record) { return uint64_t{RawLow32(record)}; });
    Family(&out, "smartctl_device_capacity_bytes", "gauge", "User-addressable capacity in bytes");
    for (size_t i = 0; i < devices.size(); ++i) {
        Sample(&out, "smartctl_device_capacity_bytes", devices[i]);
        const IdentifyData& identify =
            report.inventory->entries[report.drives[i].position].Identify;
        Value(&out, CapacityBlocks(identify) * LogicalSectorSize(identify));
    }
    OwnSamples(&out, report, devices);
    Family(&out, "vantrel_drive_health", "gauge",
           "Drive health verdict: 1 for the drive's, 0 for the others");
    for (size_t i = 0; i < devices.size(); ++i) {
        for (const HealthVerdict verdict : kHealthVerdicts) {
            Sample(&out, "vantrel_drive_health", devices[i]);
            out.append(",verdict=\"").append(HealthVerdictName(verdict)).push_back('"');
            Value(&out, verdict == report.drives[i].health.verdict ? 1 : 0);
        }
    }
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
