#include "report/prometheus_writer.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "health/nvme_health.h"
#include "inventory/decimal_text.h"
#include "inventory/nvme_log_rows.h"
#include "report/attribute_format.h"
#include "report/json_writer.h"
#include "report/metric_device.h"

namespace {

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

// A drive's device label, escaped once for all of its samples: the name
// the exporter's users select, not the path the other outputs show.
struct DeviceLabel {
    std::string text;
};

std::vector<DeviceLabel> DeviceLabels(const MachineReport& report) {
    std::vector<DeviceLabel> labels(report.drives.size());
    for (size_t i = 0; i < labels.size(); ++i) {
        labels[i].text = "{device=\"";
        const std::string device = MetricDeviceName(report.drives[i].device);
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
void EachAttribute(const DriveReading& drive, Visit visit) {
    bool seen[256] = {};
    for (const AttributeRecord& record : drive.ata.attributes) {
        if (!seen[AttributeId(record)]) {
            seen[AttributeId(record)] = true;
            visit(record);
        }
    }
}

// The first record with the role, when the drive has one.
const AttributeRecord* Attribute(const DriveReading& drive, AttributeRole role) {
    return FindRole(drive.ata.attributes, drive.ata.family, role);
}

// A count as a Prometheus float: exact below 2^53, beyond that the nearest
// double in exponent form.
void FloatValue(std::string* out, double value) {
    out->append("} ");
    if (value < 9007199254740992.0) {
        AppendNumber(out, static_cast<uint64_t>(value));
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        out->append(text);
    }
    out->push_back('\n');
}

double Approximate(const NvmeCounter& counter) {
    return static_cast<double>(counter.high) * 18446744073709551616.0 +
           static_cast<double>(counter.low);
}

// The interface label as the exporter's users select it: sat for a disk
// reached through SCSI/ATA translation, ata for one reached through
// Windows' SMART controls (or replayed), nvme.
const char* InterfaceLabels(const DriveReading& drive) {
    if (drive.protocol == DriveProtocol::kNvme) {
        return ",interface=\"nvme\",protocol=\"NVMe\"";
    }
    return drive.ataTranslated ? ",interface=\"sat\",protocol=\"ATA\""
                               : ",interface=\"ata\",protocol=\"ATA\"";
}

// One series of 1 per drive, with every label the exporter's info series
// has, so that dashboards' joins (* on(instance, device)
// group_left(model_family, model_name, ...) smartctl_device) find them all.
// No drive database names the family, nor an additional product id.
void DeviceSamples(std::string* out, const MachineReport& report,
                   const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device", "gauge", "Device info");
    for (size_t i = 0; i < devices.size(); ++i) {
        const IdentityTexts& identity = report.drives[i].identity;
        Sample(out, "smartctl_device", devices[i]);
        out->append(",model_family=\"unknown\"");
        Label(out, "model_name", identity.model);
        Label(out, "serial_number", identity.serial);
        Label(out, "firmware_version", identity.firmware);
        out->append(InterfaceLabels(report.drives[i]));
        out->append(",ata_additional_product_id=\"unknown\"");
        // IDENTIFY's versions and form factor; empty where not reported.
        const AtaIdentity& ata = report.drives[i].ata.identity;
        Label(out, "ata_version", ata.hasAtaVersion ? ata.ataVersion : "");
        Label(out, "sata_version", ata.hasSataVersion ? ata.sataVersion : "");
        Label(out, "form_factor", ata.hasFormFactor ? ata.formFactorName : "");
        Value(out, 1);
    }
}

void AttributeSamples(std::string* out, const MachineReport& report,
                      const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device_attribute", "gauge", "Device attributes");
    std::string head;
    for (size_t i = 0; i < devices.size(); ++i) {
        const bool thresholdsKnown = report.drives[i].ata.thresholdsKnown;
        EachAttribute(report.drives[i], [&](const AttributeRecord& record) {
            // The labels all four samples share, then each one's type.
            const uint16_t flags = AttributeFlags(record);
            FlagsText flagsShort = FlagsShort(flags);
            flagsShort.text[kFlagBits] = '\0';
            head.clear();
            Sample(&head, "smartctl_device_attribute", devices[i]);
            IdLabel(&head, AttributeId(record));
            Label(&head, "attribute_name",
                  AttributeMetricName(AttributeId(record), report.drives[i].ata.family));
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

// One sample per drive that has the value, of the value taken from it.
template <typename Has, typename Take>
void SummarySamples(std::string* out, const MachineReport& report,
                    const std::vector<DeviceLabel>& devices, const char* name, const char* type,
                    const char* help, Has has, Take take) {
    Family(out, name, type, help);
    for (size_t i = 0; i < devices.size(); ++i) {
        if (has(report.drives[i])) {
            Sample(out, name, devices[i]);
            FloatValue(out, take(report.drives[i]));
        }
    }
}

bool IsNvme(const DriveReading& drive) {
    return drive.protocol == DriveProtocol::kNvme;
}

// An ATA drive's logical sectors read or written (Device Statistics page
// 01h) in bytes; 0 where the drive does not count them.
double AtaSectorBytes(const DriveReading& drive, StatisticKey key) {
    int64_t sectors = 0;
    if (IsNvme(drive) || !FindStatistic(drive.ata.statistics, key, &sectors)) {
        return 0;
    }
    return static_cast<double>(sectors) * drive.blockSize;
}
double AtaBytesRead(const DriveReading& drive) {
    return AtaSectorBytes(drive, kLogicalSectorsRead);
}
double AtaBytesWritten(const DriveReading& drive) {
    return AtaSectorBytes(drive, kLogicalSectorsWritten);
}

// What IDENTIFY says of the drive in the exporter's series: the rotation
// rate of a spinning disk, the link speeds and the sector sizes.
void IdentitySamples(std::string* out, const MachineReport& report,
                     const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device_rotation_rate", "gauge", "Rotation rate, rpm (spinning disks)");
    for (size_t i = 0; i < devices.size(); ++i) {
        const AtaIdentity& ata = report.drives[i].ata.identity;
        if (!IsNvme(report.drives[i]) && ata.hasRotationRate && ata.rotationRate > 0) {
            Sample(out, "smartctl_device_rotation_rate", devices[i]);
            Value(out, ata.rotationRate);
        }
    }
    Family(out, "smartctl_device_interface_speed", "gauge", "SATA link speed, bits per second");
    for (size_t i = 0; i < devices.size(); ++i) {
        const AtaIdentity& ata = report.drives[i].ata.identity;
        const struct {
            const char* type;
            const LinkSpeed& speed;
        } speeds[] = {{"max", ata.maxSpeed}, {"current", ata.currentSpeed}};
        for (const auto& speed : speeds) {
            if (!IsNvme(report.drives[i]) && speed.speed.known) {
                Sample(out, "smartctl_device_interface_speed", devices[i]);
                out->append(",speed_type=\"").append(speed.type).push_back('"');
                Value(out, speed.speed.BitsPerSecond());
            }
        }
    }
    Family(out, "smartctl_device_block_size", "gauge", "Logical and physical block size, bytes");
    for (size_t i = 0; i < devices.size(); ++i) {
        const DriveReading& drive = report.drives[i];
        if (drive.hasCapacity) {
            Sample(out, "smartctl_device_block_size", devices[i]);
            out->append(",blocks_type=\"logical\"");
            Value(out, drive.blockSize);
        }
        if (!IsNvme(drive) && drive.ata.identity.hasPhysicalBlockSize) {
            Sample(out, "smartctl_device_block_size", devices[i]);
            out->append(",blocks_type=\"physical\"");
            Value(out, drive.ata.identity.physicalBlockSize);
        }
    }
}

// Every valid statistic of the Device Statistics log.
void StatisticSamples(std::string* out, const MachineReport& report,
                      const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device_statistics", "gauge", "ATA Device Statistics log values");
    char flagsLong[kStatisticFlagsLongSize];
    for (size_t i = 0; i < devices.size(); ++i) {
        const DeviceStatistics& statistics = report.drives[i].ata.statistics;
        if (IsNvme(report.drives[i]) || statistics.check != BlockCheck::kOk) {
            continue;
        }
        for (int p = 0; p < statistics.pageCount; ++p) {
            const StatisticsPage& page = statistics.pages[p];
            for (int s = page.first; s < page.first + page.count; ++s) {
                const DeviceStatistic& statistic = statistics.statistics[s];
                if (!statistic.Valid()) {
                    continue;
                }
                Sample(out, "smartctl_device_statistics", devices[i]);
                Label(out, "statistic_table", StatisticsPageName(page.number));
                Label(out, "statistic_name", statistic.definition->name);
                Label(out, "statistic_flags_short", StatisticFlagsShort(statistic.flags).text);
                Label(out, "statistic_flags_long", StatisticFlagsLong(statistic.flags, flagsLong));
                out->append("} ").append(DecimalText(statistic.value)).push_back('\n');
            }
        }
    }
}

double NvmeLogValue(const DriveReading& d, NvmeLogRow row) {
    return Approximate(NvmeLogRowValue(d.nvme.log, row));
}

// Which drives a family of NvmeSamples is about: the NVMe drives; those
// that know their endurance used; those that count the bytes moved.
enum class NvmeScope : uint8_t { kNvme, kEndurance, kBytes };

struct NvmeFamily {
    const char* name;
    const char* help;
    NvmeScope scope;
    // No sample of 0: the capacity and the byte counts only where the drive
    // counts them.
    bool counted;
    double (*nvme)(const DriveReading&);
    double (*ata)(const DriveReading&);  // null: no sample for an ATA drive
};

const NvmeFamily kNvmeFamilies[] = {
    {"smartctl_device_nvme_capacity_bytes", "NVMe total capacity, bytes", NvmeScope::kNvme, true,
     [](const DriveReading& d) { return Approximate(d.nvme.controller.totalCapacity); }, nullptr},
    {"smartctl_device_percentage_used",
     "Endurance used, per cent: NVMe percentage used; ATA the maker's wear attribute",
     NvmeScope::kEndurance, false,
     [](const DriveReading& d) { return static_cast<double>(d.endurance.percentUsed); },
     [](const DriveReading& d) { return static_cast<double>(d.endurance.percentUsed); }},
    {"smartctl_device_available_spare", "NVMe spare, per cent", NvmeScope::kNvme, false,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kAvailableSpare); }, nullptr},
    {"smartctl_device_available_spare_threshold", "NVMe spare threshold, per cent",
     NvmeScope::kNvme, false,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kSpareThreshold); }, nullptr},
    {"smartctl_device_critical_warning", "NVMe critical warning", NvmeScope::kNvme, false,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kCriticalWarning); }, nullptr},
    {"smartctl_device_media_errors", "NVMe media errors", NvmeScope::kNvme, false,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kMediaErrors); }, nullptr},
    {"smartctl_device_num_err_log_entries", "NVMe error log entries", NvmeScope::kNvme, false,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kErrorLogEntries); }, nullptr},
    {"smartctl_device_bytes_read",
     "Bytes read: NVMe data units read; ATA Device Statistics logical sectors read",
     NvmeScope::kBytes, true,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kDataUnitsRead) * 512000; },
     [](const DriveReading& d) { return AtaBytesRead(d); }},
    {"smartctl_device_bytes_written",
     "Bytes written: NVMe data units written; ATA Device Statistics logical sectors written",
     NvmeScope::kBytes, true,
     [](const DriveReading& d) { return NvmeLogValue(d, NvmeLogRow::kDataUnitsWritten) * 512000; },
     [](const DriveReading& d) { return AtaBytesWritten(d); }},
};

// One family of NvmeSamples: a sample for each drive in its scope that
// has the value.
void NvmeFamilySamples(std::string* out, const NvmeFamily& family, const MachineReport& report,
                       const std::vector<DeviceLabel>& devices) {
    Family(out, family.name, "gauge", family.help);
    for (size_t i = 0; i < devices.size(); ++i) {
        const DriveReading& d = report.drives[i];
        if (family.scope == NvmeScope::kEndurance && !d.endurance.known) {
            continue;
        }
        const auto take = IsNvme(d) ? family.nvme : family.ata;
        if (take == nullptr) {
            continue;
        }
        const double value = take(d);
        if (family.counted && value == 0) {
            continue;
        }
        Sample(out, family.name, devices[i]);
        FloatValue(out, value);
    }
}

// The health log's values, for the NVMe drives; the endurance used of the
// ATA SSDs that report it, and the bytes read and written of the ATA drives
// that count them (Device Statistics) too. No family without a drive that
// has it.
void NvmeSamples(std::string* out, const MachineReport& report,
                 const std::vector<DeviceLabel>& devices) {
    bool any = false;
    bool worn = false;
    bool anyAtaBytes = false;
    for (const DriveReading& drive : report.drives) {
        any = any || IsNvme(drive);
        worn = worn || drive.endurance.known;
        anyAtaBytes = anyAtaBytes || AtaBytesRead(drive) != 0 || AtaBytesWritten(drive) != 0;
    }
    for (const NvmeFamily& family : kNvmeFamilies) {
        const bool shown = family.scope == NvmeScope::kEndurance ? worn
                           : family.scope == NvmeScope::kBytes   ? any || anyAtaBytes
                                                                 : any;
        if (shown) {
            NvmeFamilySamples(out, family, report, devices);
        }
    }
}

// The drive's own verdict, 1 passed, 0 failed: an ATA drive's answer to
// SMART RETURN STATUS, where it gave one; an NVMe drive's critical warning.
// No family without a drive that has it.
void SelfAssessmentSamples(std::string* out, const MachineReport& report,
                           const std::vector<DeviceLabel>& devices) {
    const char* name = "smartctl_device_smart_status";
    bool header = false;
    for (size_t i = 0; i < devices.size(); ++i) {
        const DriveReading& d = report.drives[i];
        const SelfAssessment answer = d.ata.selfAssessment;
        if (!IsNvme(d) && answer == SelfAssessment::kNone) {
            continue;
        }
        if (!header) {
            Family(out, name, "gauge",
                   "SMART status passed: ATA SMART RETURN STATUS; NVMe critical warning clear");
            header = true;
        }
        Sample(out, name, devices[i]);
        const bool passed =
            IsNvme(d) ? NvmeSmartPassed(d.nvme.log) : answer == SelfAssessment::kPassed;
        Value(out, passed ? 1 : 0);
    }
}

// Every drive's bit mask of what went wrong (report/device_status.h).
void StatusBitSamples(std::string* out, const MachineReport& report,
                      const std::vector<DeviceLabel>& devices) {
    const char* name = "smartctl_device_smartctl_exit_status";
    Family(out, name, "gauge",
           "Bit mask: 2 not read, 4 a command or check failed, 8 self-assessment failed, 16 "
           "pre-failure attribute at threshold, 32 attribute at threshold in the past, 64 errors "
           "logged, 128 last self-test failed");
    for (size_t i = 0; i < devices.size(); ++i) {
        Sample(out, name, devices[i]);
        Value(out, report.drives[i].statusBits);
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

// "Raw bytes 0 and 1 of attributes 5, 187, 197 and 198: ...": the ids that
// hold a defect count on a drive no family's rows name, as the table has them.
std::string DefectCountHelp() {
    std::vector<int> ids;
    for (int id = 1; id <= 255; ++id) {
        if (IsDefectRole(RoleOf(static_cast<uint8_t>(id), ModelFamily::kGeneric))) {
            ids.push_back(id);
        }
    }
    std::string help = "Raw bytes 0 and 1 of attributes ";
    for (size_t i = 0; i < ids.size(); ++i) {
        help += i == 0 ? "" : i + 1 == ids.size() ? " and " : ", ";
        help += DecimalText(ids[i]);
    }
    return help + ": sectors and errors counted";
}

void OwnSamples(std::string* out, const MachineReport& report,
                const std::vector<DeviceLabel>& devices) {
    // Untyped: among these counts some only grow and some also fall, so
    // the series is neither a counter nor quite a gauge.
    Family(out, "vantrel_attribute_count", "untyped", DefectCountHelp().c_str());
    for (size_t i = 0; i < devices.size(); ++i) {
        // The counts behind the alerts worth having: reallocated, reported
        // uncorrectable, pending and offline-uncorrectable sectors.
        for (const AttributeRole role : kDefectRoles) {
            if (const AttributeRecord* record = Attribute(report.drives[i], role)) {
                Sample(out, "vantrel_attribute_count", devices[i]);
                IdLabel(out, AttributeId(*record));
                Value(out, RawLow16(*record));
            }
        }
    }
    Family(out, "vantrel_attribute_verdict", "gauge",
           "Attribute verdict: 0 OK, 1 WARNING, 2 FAIL, 3 UNKNOWN");
    for (size_t i = 0; i < devices.size(); ++i) {
        const bool thresholdsKnown = report.drives[i].ata.thresholdsKnown;
        EachAttribute(report.drives[i], [&](const AttributeRecord& record) {
            Sample(out, "vantrel_attribute_verdict", devices[i]);
            IdLabel(out, AttributeId(record));
            Value(out, VerdictNumber(RecordVerdict(record, thresholdsKnown)));
        });
    }
}

// The exporter's values: a disk in idle counts as active.
void PowerModeSamples(std::string* out, const MachineReport& report,
                      const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device_state", "gauge", "Power mode: 0 active or idle, 1 standby");
    for (size_t i = 0; i < devices.size(); ++i) {
        const DriveReading& drive = report.drives[i];
        if (!IsNvme(drive) && drive.ata.powerMode != PowerMode::kUnknown) {
            Sample(out, "smartctl_device_state", devices[i]);
            Value(out, drive.ata.powerMode == PowerMode::kStandby ? 1 : 0);
        }
    }
}

// What the reading holds of every drive, ATA or NVMe: the temperature, the
// power-on time and cycles, the capacity.
void ReadingSamples(std::string* out, const MachineReport& report,
                    const std::vector<DeviceLabel>& devices) {
    Family(out, "smartctl_device_temperature", "gauge",
           "Degrees Celsius: attribute 194 (or 190) raw byte 0; NVMe composite");
    for (size_t i = 0; i < devices.size(); ++i) {
        if (report.drives[i].hasTemperature) {
            Sample(out, "smartctl_device_temperature", devices[i]);
            out->append(",temperature_type=\"current\"");
            const int celsius = report.drives[i].temperature;
            out->append("} ").append(DecimalText(celsius)).push_back('\n');
        }
    }
    SummarySamples(
        out, report, devices, "smartctl_device_power_on_seconds", "counter",
        "Power-on time: attribute 9 raw bytes 0-3 as hours; NVMe power on hours",
        [](const DriveReading& d) { return d.hasPowerOnHours; },
        [](const DriveReading& d) { return Approximate(d.powerOnHours) * 3600; });
    SummarySamples(
        out, report, devices, "smartctl_device_power_cycle_count", "counter",
        "Power cycles: attribute 12 raw bytes 0-3; NVMe power cycles",
        [](const DriveReading& d) { return d.hasPowerCycles; },
        [](const DriveReading& d) { return Approximate(d.powerCycles); });
    Family(out, "smartctl_device_capacity_bytes", "gauge", "User-addressable capacity in bytes");
    for (size_t i = 0; i < devices.size(); ++i) {
        if (report.drives[i].hasCapacity) {
            Sample(out, "smartctl_device_capacity_bytes", devices[i]);
            FloatValue(out, Approximate(report.drives[i].bytes));
        }
    }
    Family(out, "smartctl_device_capacity_blocks", "gauge", "User-addressable logical blocks");
    for (size_t i = 0; i < devices.size(); ++i) {
        if (report.drives[i].hasCapacity) {
            Sample(out, "smartctl_device_capacity_blocks", devices[i]);
            FloatValue(out, static_cast<double>(report.drives[i].blocks));
        }
    }
}

// The drives' own logs, where read and sound, in the exporter's names.
void LogSamples(std::string* out, const MachineReport& report,
                const std::vector<DeviceLabel>& devices) {
    const struct {
        const char* name;
        const char* labels;
        const char* help;
    } kLogFamilies[] = {
        {"smartctl_device_error_log_count", ",error_log_type=\"summary\"",
         "Errors the drive counted (SMART summary error log)"},
        {"smartctl_device_self_test_log_count", ",self_test_log_type=\"standard\"",
         "Self-tests in the drive's self-test log"},
        {"smartctl_device_self_test_log_error_count", ",self_test_log_type=\"standard\"",
         "Failed self-tests in the drive's self-test log"},
    };
    for (int family = 0; family < 3; ++family) {
        Family(out, kLogFamilies[family].name, "gauge", kLogFamilies[family].help);
        for (size_t i = 0; i < devices.size(); ++i) {
            const AtaReading& ata = report.drives[i].ata;
            const bool errors = family == 0;
            if ((errors ? ata.errorLog.check : ata.selfTestLog.check) != BlockCheck::kOk ||
                IsNvme(report.drives[i])) {
                continue;
            }
            Sample(out, kLogFamilies[family].name, devices[i]);
            out->append(kLogFamilies[family].labels);
            Value(out, errors        ? ata.errorLog.count
                       : family == 1 ? static_cast<uint64_t>(ata.selfTestLog.count)
                                     : static_cast<uint64_t>(ata.selfTestLog.errorCount));
        }
    }
}

// The self-test state (where the drive tells: none of a disk left asleep)
// and the verdicts.
void StateSamples(std::string* out, const MachineReport& report,
                  const std::vector<DeviceLabel>& devices) {
    SummarySamples(
        out, report, devices, "vantrel_self_test_running", "gauge",
        "1 while the drive's own self-test runs, 0 otherwise",
        [](const DriveReading& d) { return d.hasSelfTestState; },
        [](const DriveReading& d) { return d.selfTestRunning ? 1.0 : 0.0; });
    SummarySamples(
        out, report, devices, "vantrel_self_test_remaining_percent", "gauge",
        "Percent of the running self-test still to do, 0 when none runs",
        [](const DriveReading& d) { return d.hasSelfTestState; },
        [](const DriveReading& d) { return static_cast<double>(d.selfTestRemainingPercent); });
    Family(out, "vantrel_drive_health", "gauge",
           "Drive health verdict: 1 for the drive's, 0 for the others");
    for (size_t i = 0; i < devices.size(); ++i) {
        for (const HealthVerdict verdict : kHealthVerdicts) {
            Sample(out, "vantrel_drive_health", devices[i]);
            out->append(",verdict=\"").append(HealthVerdictName(verdict)).push_back('"');
            Value(out, verdict == report.drives[i].health.verdict ? 1 : 0);
        }
    }
}

// The scan's own counts, with no device label.
void ScanSamples(std::string* out, const MachineReport& report) {
    Family(out, "vantrel_scan_drives", "gauge", "Drives the scan found");
    out->append("vantrel_scan_drives ");
    AppendNumber(out, static_cast<uint64_t>(report.driveCount));
    out->push_back('\n');
    Family(out, "vantrel_scan_unreadable", "gauge", "Disks there but not readable");
    out->append("vantrel_scan_unreadable ");
    AppendNumber(out, report.unreadable.size());
    out->push_back('\n');
}

// The run's own series, as the exporter has them: how many devices were
// read, and which program wrote them (ours, in labels named as ours).
void RunSamples(std::string* out, const MachineReport& report) {
    Family(out, "smartctl_devices", "gauge", "Devices read");
    out->append("smartctl_devices ");
    AppendNumber(out, report.drives.size());
    out->push_back('\n');
    Family(out, "smartctl_version", "gauge", "The program that wrote these metrics");
    out->append("smartctl_version{vantrel_json_format_version=\"");
    AppendNumber(out, static_cast<uint64_t>(kJsonFormatMajor));
    out->push_back('.');
    AppendNumber(out, static_cast<uint64_t>(kJsonFormatMinor));
    out->push_back('"');
    Label(out, "vantrel_version", report.version);
    out->append("} 1\n");
}

}  // namespace

std::string PrometheusReport(const MachineReport& report) {
    const std::vector<DeviceLabel> devices = DeviceLabels(report);
    std::string out;
    out.reserve(16384 * (report.drives.size() + 1));
    DeviceSamples(&out, report, devices);
    PowerModeSamples(&out, report, devices);
    AttributeSamples(&out, report, devices);
    ReadingSamples(&out, report, devices);
    IdentitySamples(&out, report, devices);
    NvmeSamples(&out, report, devices);
    SelfAssessmentSamples(&out, report, devices);
    StatusBitSamples(&out, report, devices);
    StatisticSamples(&out, report, devices);
    LogSamples(&out, report, devices);
    OwnSamples(&out, report, devices);
    StateSamples(&out, report, devices);
    ScanSamples(&out, report);
    RunSamples(&out, report);
    return out;
}
