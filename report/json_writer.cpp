#include "report/json_writer.h"

#include <cstring>
#include <initializer_list>

#include "health/nvme_health.h"
#include "report/attribute_format.h"
#include "report/nvme_report_text.h"

namespace {

// Writes indented JSON into a string, with the commas between members.
class JsonText {
  public:
    explicit JsonText(TextSink* out) : out_(out) {}

    void Open(char bracket) {
        Separate();
        out_->push_back(bracket);
        ++depth_;
        first_ = true;
    }
    void Close(char bracket) {
        --depth_;
        if (!first_) {
            NewLine();
        }
        out_->push_back(bracket);
        first_ = false;
    }
    // Keys are literals: their length is known where they are written.
    template <size_t N>
    void Key(const char (&key)[N]) {
        Key(key, N - 1);
    }
    void Key(const char* key, size_t length) {
        Separate();
        out_->push_back('"');
        out_->append(key, length);
        out_->append("\": ", 3);
        afterKey_ = true;
    }
    void String(const char* text, size_t length) {
        Separate();
        out_->push_back('"');
        AppendText(
            out_, text, length,
            [](unsigned char byte) { return byte < 0x20 || byte == '"' || byte == '\\'; },
            [](TextSink* out, unsigned char byte) {
                static const char kHex[] = "0123456789abcdef";
                const char escaped[6] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15]};
                if (byte >= 0x20) {
                    out->push_back('\\');
                    out->push_back(static_cast<char>(byte));
                } else {
                    out->append(escaped, 6);
                }
            });
        out_->push_back('"');
    }
    void String(const std::string& text) { String(text.data(), text.size()); }
    void String(const char* text) { String(text, std::strlen(text)); }
    void Number(uint64_t value) {
        Separate();
        AppendNumber(out_, value);
    }
    void Signed(int value) {
        Separate();
        if (value < 0) {
            out_->push_back('-');
        }
        AppendNumber(out_, static_cast<uint64_t>(value < 0 ? -static_cast<int64_t>(value) : value));
    }
    // A number or literal already in JSON's form.
    void Raw(const char* text) {
        Separate();
        out_->append(text, std::strlen(text));
    }
    void Bool(bool value) {
        Separate();
        if (value) {
            out_->append("true", 4);
        } else {
            out_->append("false", 5);
        }
    }

  private:
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (depth_ == 0) {
            return;
        }
        if (!first_) {
            out_->push_back(',');
        }
        first_ = false;
        NewLine();
    }
    void NewLine() {
        // The document nests nine deep at most (a device statistic's flags).
        static const char kIndent[] = "\n                                ";
        out_->append(kIndent, 1 + 2 * static_cast<size_t>(depth_));
    }

    TextSink* out_;
    int depth_ = 0;
    bool first_ = true;
    bool afterKey_ = false;
};

void WriteFlags(JsonText& json, uint16_t flags) {
    json.Key("flags");
    json.Open('{');
    json.Key("value");
    json.Number(flags);
    json.Key("string");
    json.String(FlagsShort(flags).text);
    for (int bit = 0; bit < kFlagBits; ++bit) {
        json.Key(kFlagNames[bit], std::strlen(kFlagNames[bit]));
        json.Bool((flags >> bit) & 1);
    }
    json.Close('}');
}

void WriteAttributeTable(JsonText& json, const AtaReading& ata) {
    json.Key("ata_smart_attributes");
    json.Open('{');
    json.Key("revision");
    json.Number(ata.smartRevision);
    json.Key("table");
    json.Open('[');
    for (const AttributeRecord& record : ata.attributes) {
        json.Open('{');
        json.Key("id");
        json.Number(AttributeId(record));
        json.Key("name");
        json.String(AttributeKey(AttributeId(record), ata.family));
        json.Key("value");
        json.Number(AttributeCurrent(record));
        json.Key("worst");
        json.Number(AttributeWorst(record));
        if (ata.thresholdsKnown) {
            json.Key("thresh");
            json.Number(AttributeThreshold(record));
        }
        json.Key("when_failed");
        json.String(WhenFailed(record, ata.thresholdsKnown));
        WriteFlags(json, AttributeFlags(record));
        json.Key("raw");
        json.Open('{');
        json.Key("value");
        json.Number(RawValue48(record));
        json.Key("string");
        json.String(AttributeRawText(record, ata.family));
        json.Close('}');
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
}

// Keys with plain numbers, in order.
struct KeyNumber {
    const char* key;
    uint64_t value;
};
void Numbers(JsonText& json, std::initializer_list<KeyNumber> members) {
    for (const KeyNumber& member : members) {
        json.Key(member.key, std::strlen(member.key));
        json.Number(member.value);
    }
}

// A 128-bit count as the exact JSON integer it is.
void Count(JsonText& json, const NvmeCounter& counter) {
    char digits[NvmeCounter::kDecimalSize];
    counter.Decimal(digits);
    json.Raw(digits);
}

// The values the tools keep outside the tables.
void WriteSummaries(JsonText& json, const DriveReading& drive) {
    if (drive.hasTemperature) {
        json.Key("temperature");
        json.Open('{');
        json.Key("current");
        json.Signed(drive.temperature);
        json.Close('}');
    }
    if (drive.hasPowerOnHours) {
        json.Key("power_on_time");
        json.Open('{');
        json.Key("hours");
        Count(json, drive.powerOnHours);
        json.Close('}');
    }
    if (drive.hasPowerCycles) {
        json.Key("power_cycle_count");
        Count(json, drive.powerCycles);
    }
    if (drive.endurance.known) {
        json.Key("endurance_used");
        json.Open('{');
        json.Key("current_percent");
        json.Number(drive.endurance.percentUsed);
        json.Close('}');
    }
}

void WriteHealth(JsonText& json, const DriveHealth& health) {
    json.Key("health");
    json.Open('{');
    json.Key("verdict");
    json.String(HealthVerdictName(health.verdict));
    json.Key("reasons");
    json.Open('[');
    for (const std::string& reason : health.reasons) {
        json.String(reason);
    }
    json.Close(']');
    json.Close('}');
}

// Opens {"value": value, "string": text, ... of a coded value; the caller
// may add keys, and closes it.
void OpenValueAndString(JsonText& json, const char* key, uint64_t value, const char* text) {
    json.Key(key, std::strlen(key));
    json.Open('{');
    json.Key("value");
    json.Number(value);
    json.Key("string");
    json.String(text);
}

// The SMART data's self-test state: the last (or running) self-test's
// status, and the drive's polling times of the tests it offers.
void WriteAtaSmartData(JsonText& json, const AtaSelfTestStatus& selfTest) {
    json.Key("ata_smart_data");
    json.Open('{');
    json.Key("self_test");
    json.Open('{');
    OpenValueAndString(json, "status", selfTest.status, SelfTestStatusText(selfTest.status));
    if (selfTest.running) {
        json.Key("remaining_percent");
        json.Number(static_cast<uint64_t>(selfTest.remainingPercent));
    } else {
        json.Key("passed");
        json.Bool(selfTest.passed);
    }
    json.Close('}');
    if (AtaOffersSelfTest(selfTest, SelfTestKind::kShort)) {
        json.Key("polling_minutes");
        json.Open('{');
        json.Key("short");
        json.Number(static_cast<uint64_t>(selfTest.shortMinutes));
        json.Key("extended");
        json.Number(static_cast<uint64_t>(selfTest.extendedMinutes));
        if (AtaOffersSelfTest(selfTest, SelfTestKind::kConveyance)) {
            json.Key("conveyance");
            json.Number(static_cast<uint64_t>(selfTest.conveyanceMinutes));
        }
        json.Close('}');
    }
    json.Close('}');
    json.Close('}');
}

// What CHECK POWER MODE said, and whether the disk was read after it.
void WritePowerMode(JsonText& json, const AtaReading& ata) {
    json.Key("power_mode");
    json.Open('{');
    json.Key("value");
    if (ata.powerModeValue < 0) {
        json.Raw("null");
    } else {
        json.Number(static_cast<uint64_t>(ata.powerModeValue));
    }
    json.Key("string");
    json.String(PowerModeName(ata.powerMode));
    json.Close('}');
    json.Key("read");
    json.Bool(ata.read);
}

// The exporter's bit mask for the drive (report/device_status.h).
void WriteStatusBits(JsonText& json, const DriveReading& drive) {
    json.Key("exit_status_bits");
    json.Number(drive.statusBits);
}

void WriteOwnAtaKeys(JsonText& json, const DriveReading& drive) {
    const AtaReading& ata = drive.ata;
    json.Key("vantrel");
    json.Open('{');
    json.Key("position");
    json.Number(static_cast<uint64_t>(drive.position));
    if (!ata.read) {
        WritePowerMode(json, ata);
        WriteHealth(json, drive.health);
        WriteStatusBits(json, drive);
        json.Close('}');
        return;
    }
    json.Key("list_name");
    json.String(drive.listName);
    WritePowerMode(json, ata);
    json.Key("integrity");
    json.Open('{');
    json.Key("identify");
    json.String(BlockCheckName(ata.integrity.identify));
    json.Key("smart_data");
    json.String(BlockCheckName(SmartDataCheck(ata.integrity)));
    json.Key("thresholds");
    json.String(BlockCheckName(ata.integrity.thresholds));
    json.Key("error_log");
    json.String(BlockCheckName(ata.integrity.errorLog));
    json.Key("self_test_log");
    json.String(BlockCheckName(ata.integrity.selfTestLog));
    json.Key("device_statistics");
    json.String(BlockCheckName(ata.integrity.deviceStatistics));
    json.Key("device_statistics_failed_pages");
    json.Open('[');
    for (int page = 0; page < kStatisticsLogPages; ++page) {
        if ((ata.integrity.failedStatisticsPages >> page) & 1) {
            json.Number(static_cast<uint64_t>(page));
        }
    }
    json.Close(']');
    json.Close('}');
    json.Key("thresholds_known");
    json.Bool(ata.thresholdsKnown);
    json.Key("attributes");
    json.Open('[');
    for (const AttributeRecord& record : ata.attributes) {
        json.Open('{');
        json.Key("id");
        json.Number(AttributeId(record));
        json.Key("verdict");
        json.String(VerdictText(RecordVerdict(record, ata.thresholdsKnown), TextForm::kList));
        json.Close('}');
    }
    json.Close(']');
    WriteHealth(json, drive.health);
    WriteStatusBits(json, drive);
    json.Close('}');
}

void WriteOwnNvmeKeys(JsonText& json, const DriveReading& drive) {
    json.Key("vantrel");
    json.Open('{');
    json.Key("position");
    json.Number(static_cast<uint64_t>(drive.position));
    json.Key("list_name");
    json.String(drive.listName);
    WriteHealth(json, drive.health);
    json.Key("rows");
    json.Open('[');
    NvmeRows rows;
    NvmeHealthRows(drive.nvme.controller, drive.nvme.log, &rows);
    for (const NvmeRow& row : rows.rows) {
        json.Open('{');
        json.Key("id");
        json.Number(row.id);
        json.Key("name");
        json.String(row.description);
        json.Key("verdict");
        if (row.hasVerdict) {
            json.String(NvmeRowVerdictText(row, TextForm::kList));
        } else {
            json.Raw("null");
        }
        json.Close('}');
    }
    json.Close(']');
    WriteStatusBits(json, drive);
    json.Close('}');
}

void WriteDevice(JsonText& json, const DriveReading& drive, bool nvme) {
    json.Key("device");
    json.Open('{');
    json.Key("name");
    json.String(drive.device);
    json.Key("type");
    json.String(nvme ? "nvme" : "ata");
    json.Key("protocol");
    json.String(nvme ? "NVMe" : "ATA");
    json.Close('}');
}

void WriteDeviceAndIdentity(JsonText& json, const DriveReading& drive, bool nvme) {
    WriteDevice(json, drive, nvme);
    json.Key("model_name");
    json.String(drive.identity.model);
    json.Key("serial_number");
    json.String(drive.identity.serial);
    json.Key("firmware_version");
    json.String(drive.identity.firmware);
}

void WriteCapacity(JsonText& json, const DriveReading& drive) {
    if (!drive.hasCapacity) {
        return;
    }
    json.Key("user_capacity");
    json.Open('{');
    json.Key("blocks");
    json.Number(drive.blocks);
    json.Key("bytes");
    Count(json, drive.bytes);
    json.Close('}');
    json.Key("logical_block_size");
    json.Number(drive.blockSize);
}

void WriteSmartSupport(JsonText& json, bool available, bool enabled) {
    json.Key("smart_support");
    json.Open('{');
    json.Key("available");
    json.Bool(available);
    json.Key("enabled");
    json.Bool(enabled);
    json.Close('}');
}

// The drive's own records, in the keys SMART tools' JSON uses; a log that
// failed its checks is left out.
void WriteErrorLog(JsonText& json, const ErrorLog& log) {
    json.Key("ata_smart_error_log");
    json.Open('{');
    json.Key("summary");
    json.Open('{');
    Numbers(json, {{"revision", log.revision},
                   {"count", log.count},
                   {"logged_count", static_cast<uint64_t>(log.logged)}});
    json.Key("table");
    json.Open('[');
    for (int i = 0; i < log.logged; ++i) {
        const LoggedError& e = log.entries[i];
        json.Open('{');
        Numbers(json, {{"error_number", e.errorNumber}, {"lifetime_hours", e.lifetimeHours}});
        json.Key("completion_registers");
        json.Open('{');
        Numbers(json, {{"error", e.error},
                       {"status", e.status},
                       {"count", e.count},
                       {"lba", e.Lba24()},
                       {"device", e.device}});
        json.Close('}');
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
    json.Close('}');
}

void WriteSelfTestLog(JsonText& json, const SelfTestLog& log) {
    json.Key("ata_smart_self_test_log");
    json.Open('{');
    json.Key("standard");
    json.Open('{');
    Numbers(json, {{"revision", log.revision},
                   {"count", static_cast<uint64_t>(log.count)},
                   {"error_count_total", static_cast<uint64_t>(log.errorCount)}});
    json.Key("table");
    json.Open('[');
    char name[kLogNameSize];
    for (int i = 0; i < log.count; ++i) {
        const SelfTest& test = log.entries[i];
        json.Open('{');
        OpenValueAndString(json, "type", test.type, SelfTestTypeName(test.type, name));
        json.Close('}');
        OpenValueAndString(json, "status", test.status, SelfTestStatusName(test.status, name));
        json.Key("passed");
        json.Bool(test.Passed());
        if (SelfTestRunning(test.status)) {
            json.Key("remaining_percent");
            json.Number(static_cast<uint64_t>(test.RemainingPercent()));
        }
        json.Close('}');
        json.Key("lifetime_hours");
        json.Number(test.lifetimeHours);
        if (test.Failed()) {
            json.Key("lba");
            json.Number(test.lba);
        }
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
    json.Close('}');
}

// {"sata_value", "string", "units_per_second", "bits_per_unit"} of a link speed.
void WriteLinkSpeed(JsonText& json, const char* key, const LinkSpeed& speed) {
    json.Key(key, std::strlen(key));
    json.Open('{');
    json.Key("sata_value");
    json.Number(speed.sataValue);
    json.Key("string");
    json.String(speed.text);
    Numbers(json, {{"units_per_second", speed.unitsPerSecond},
                   {"bits_per_unit", LinkSpeed::kBitsPerUnit}});
    json.Close('}');
}

// IDENTIFY's form factor and trim, where the drive reports them.
void WriteFormFactorAndTrim(JsonText& json, const AtaIdentity& identity) {
    if (identity.hasFormFactor) {
        json.Key("form_factor");
        json.Open('{');
        json.Key("ata_value");
        json.Number(identity.formFactor);
        json.Key("name");
        json.String(identity.formFactorName);
        json.Close('}');
    }
    if (identity.hasTrim) {
        json.Key("trim");
        json.Open('{');
        json.Key("supported");
        json.Bool(identity.trimSupported);
        if (identity.trimSupported) {
            json.Key("deterministic");
            json.Bool(identity.trimDeterministic);
            json.Key("zeroed");
            json.Bool(identity.trimZeroed);
        }
        json.Close('}');
    }
}

// The standards the drive says it follows, and its link's speeds.
void WriteVersionsAndSpeeds(JsonText& json, const AtaIdentity& identity) {
    if (identity.hasAtaVersion) {
        json.Key("ata_version");
        json.Open('{');
        json.Key("string");
        json.String(identity.ataVersion);
        Numbers(json, {{"major_value", identity.ataMajor}, {"minor_value", identity.ataMinor}});
        json.Close('}');
    }
    if (identity.hasSataVersion) {
        json.Key("sata_version");
        json.Open('{');
        json.Key("string");
        json.String(identity.sataVersion);
        json.Key("value");
        json.Number(identity.sataValue);
        json.Close('}');
    }
    if (identity.maxSpeed.known || identity.currentSpeed.known) {
        json.Key("interface_speed");
        json.Open('{');
        if (identity.maxSpeed.known) {
            WriteLinkSpeed(json, "max", identity.maxSpeed);
        }
        if (identity.currentSpeed.known) {
            WriteLinkSpeed(json, "current", identity.currentSpeed);
        }
        json.Close('}');
    }
}

// What IDENTIFY says beyond the texts and capacity, each key only where
// the drive reports it.
void WriteAtaIdentity(JsonText& json, const AtaIdentity& identity) {
    if (identity.hasPhysicalBlockSize) {
        json.Key("physical_block_size");
        json.Number(identity.physicalBlockSize);
    }
    if (identity.hasRotationRate) {
        json.Key("rotation_rate");
        json.Number(identity.rotationRate);
    }
    WriteFormFactorAndTrim(json, identity);
    if (identity.hasWwn) {
        json.Key("wwn");
        json.Open('{');
        Numbers(json, {{"naa", identity.wwnNaa}, {"oui", identity.wwnOui}, {"id", identity.wwnId}});
        json.Close('}');
    }
    WriteVersionsAndSpeeds(json, identity);
}

void WriteDeviceStatistics(JsonText& json, const DeviceStatistics& statistics) {
    json.Key("ata_device_statistics");
    json.Open('{');
    json.Key("pages");
    json.Open('[');
    for (int p = 0; p < statistics.pageCount; ++p) {
        const StatisticsPage& page = statistics.pages[p];
        json.Open('{');
        json.Key("number");
        json.Number(page.number);
        json.Key("name");
        json.String(StatisticsPageName(page.number));
        json.Key("revision");
        json.Number(page.revision);
        json.Key("table");
        json.Open('[');
        for (int i = page.first; i < page.first + page.count; ++i) {
            const DeviceStatistic& statistic = statistics.statistics[i];
            json.Open('{');
            json.Key("offset");
            json.Number(statistic.definition->offset);
            json.Key("name");
            json.String(statistic.definition->name);
            json.Key("size");
            json.Number(statistic.definition->size);
            if (statistic.Valid()) {
                json.Key("value");
                if (statistic.value < 0) {
                    json.Signed(static_cast<int>(statistic.value));
                } else {
                    json.Number(static_cast<uint64_t>(statistic.value));
                }
            }
            json.Key("flags");
            json.Open('{');
            json.Key("value");
            json.Number(statistic.flags);
            json.Key("valid");
            json.Bool(statistic.Valid());
            json.Key("normalized");
            json.Bool((statistic.flags & kStatisticNormalized) != 0);
            json.Key("supports_dsn");
            json.Bool((statistic.flags & kStatisticSupportsDsn) != 0);
            json.Key("monitored_condition_met");
            json.Bool((statistic.flags & kStatisticConditionMet) != 0);
            json.Key("string");
            json.String(StatisticFlagsShort(statistic.flags).text);
            json.Close('}');
            json.Close('}');
        }
        json.Close(']');
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
}

void WriteAtaDrive(JsonText& json, const DriveReading& drive) {
    // A disk left asleep has nothing but its device and what it said.
    if (!drive.ata.read) {
        WriteDevice(json, drive, false);
        WriteOwnAtaKeys(json, drive);
        return;
    }
    WriteDeviceAndIdentity(json, drive, false);
    WriteCapacity(json, drive);
    WriteAtaIdentity(json, drive.ata.identity);
    WriteSmartSupport(json, drive.ata.smartAvailable, drive.ata.smartEnabled);
    // The drive's own verdict, where it gave one.
    if (drive.ata.selfAssessment != SelfAssessment::kNone) {
        json.Key("smart_status");
        json.Open('{');
        json.Key("passed");
        json.Bool(drive.ata.selfAssessment == SelfAssessment::kPassed);
        json.Close('}');
    }
    // A drive whose SMART data was not read has no table, not an empty one.
    if (drive.ata.hasSmartData) {
        WriteAttributeTable(json, drive.ata);
        WriteSummaries(json, drive);
    }
    if (drive.ata.selfTest.known) {
        WriteAtaSmartData(json, drive.ata.selfTest);
    }
    if (drive.ata.errorLog.check == BlockCheck::kOk) {
        WriteErrorLog(json, drive.ata.errorLog);
    }
    if (drive.ata.selfTestLog.check == BlockCheck::kOk) {
        WriteSelfTestLog(json, drive.ata.selfTestLog);
    }
    if (drive.ata.statistics.check == BlockCheck::kOk) {
        WriteDeviceStatistics(json, drive.ata.statistics);
    }
    WriteOwnAtaKeys(json, drive);
}

void WriteHealthLog(JsonText& json, const NvmeHealthLog& log) {
    json.Key("nvme_smart_health_information_log");
    json.Open('{');
    // Every row in the page's order; a temperature the drive does not
    // report (0 K) is left out.
    for (const NvmeLogRowInfo& row : kNvmeLogRows) {
        const NvmeCounter value = NvmeLogRowValue(log, row.row);
        if (row.kind == NvmeRowKind::kKelvin && value.low == 0) {
            continue;
        }
        json.Key(row.jsonKey, std::strlen(row.jsonKey));
        if (row.kind == NvmeRowKind::kKelvin) {
            json.Signed(Celsius(static_cast<uint16_t>(value.low)));
        } else if (row.kind == NvmeRowKind::kCounter) {
            Count(json, value);
        } else {
            json.Number(value.low);
        }
    }
    bool sensors = false;
    for (uint16_t kelvin : log.sensorKelvin) {
        sensors = sensors || kelvin != 0;
    }
    if (sensors) {
        json.Key("temperature_sensors");
        json.Open('[');
        for (uint16_t kelvin : log.sensorKelvin) {
            if (kelvin != 0) {
                json.Signed(Celsius(kelvin));
            }
        }
        json.Close(']');
    }
    json.Close('}');
}

// The Device Self-test log: the test running, then each result, newest
// first.
void WriteNvmeSelfTestLog(JsonText& json, const NvmeSelfTestLog& log) {
    json.Key("nvme_self_test_log");
    json.Open('{');
    const bool running = NvmeSelfTestRunning(log);
    OpenValueAndString(json, "current_self_test_operation", log.operation,
                       running ? NvmeSelfTestCodeText(log.operation) : "no self-test in progress");
    json.Close('}');
    if (running) {
        json.Key("current_self_test_completion_percent");
        json.Number(log.completion);
    }
    json.Key("table");
    json.Open('[');
    for (int i = 0; i < log.count; ++i) {
        const NvmeSelfTestResult& result = log.results[i];
        json.Open('{');
        OpenValueAndString(json, "self_test_code", result.code, NvmeSelfTestCodeText(result.code));
        json.Close('}');
        OpenValueAndString(json, "self_test_result", result.result,
                           NvmeSelfTestResultText(result.result));
        json.Close('}');
        if (result.result == 0x7) {
            json.Key("segment");
            json.Number(result.segment);
        }
        json.Key("power_on_hours");
        json.Number(result.powerOnHours);
        if (result.hasLba) {
            json.Key("lba");
            json.Number(result.failingLba);
        }
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
}

void WriteNvmeDrive(JsonText& json, const DriveReading& drive) {
    const NvmeController& c = drive.nvme.controller;
    WriteDeviceAndIdentity(json, drive, true);
    json.Key("nvme_pci_vendor");
    json.Open('{');
    Numbers(json, {{"id", c.pciVendor}, {"subsystem_id", c.pciSubsystemVendor}});
    json.Close('}');
    Numbers(json,
            {{"nvme_ieee_oui_identifier", c.ieeeOui}, {"nvme_controller_id", c.controllerId}});
    char version[kNvmeVersionTextSize];
    NvmeVersionText(c.version, version);
    OpenValueAndString(json, "nvme_version", c.version, version);
    json.Close('}');
    json.Key("nvme_number_of_namespaces");
    json.Number(c.namespaces);
    if (!c.totalCapacity.IsZero()) {
        json.Key("nvme_total_capacity");
        Count(json, c.totalCapacity);
        json.Key("nvme_unallocated_capacity");
        Count(json, c.unallocatedCapacity);
    }
    WriteCapacity(json, drive);
    WriteSmartSupport(json, true, true);
    const uint8_t warning = drive.nvme.log.criticalWarning;
    json.Key("smart_status");
    json.Open('{');
    json.Key("passed");
    json.Bool(NvmeSmartPassed(drive.nvme.log));
    json.Key("nvme");
    json.Open('{');
    json.Key("value");
    json.Number(warning);
    json.Close('}');
    json.Close('}');
    WriteHealthLog(json, drive.nvme.log);
    if (drive.nvme.hasSelfTestLog) {
        WriteNvmeSelfTestLog(json, drive.nvme.selfTests);
    }
    WriteSummaries(json, drive);
    WriteOwnNvmeKeys(json, drive);
}

void WriteDrive(JsonText& json, const DriveReading& drive) {
    json.Open('{');
    if (drive.protocol == DriveProtocol::kNvme) {
        WriteNvmeDrive(json, drive);
    } else {
        WriteAtaDrive(json, drive);
    }
    json.Close('}');
}

}  // namespace

std::string JsonReport(const MachineReport& report) {
    TextSink out(20000 * (report.drives.size() + 1));
    JsonText json(&out);
    json.Open('{');
    json.Key("json_format_version");
    json.Open('[');
    json.Number(kJsonFormatMajor);
    json.Number(kJsonFormatMinor);
    json.Close(']');
    json.Key("vantrel");
    json.Open('{');
    json.Key("version");
    json.String(report.version);
    json.Key("exit_status");
    json.Number(static_cast<uint64_t>(report.exitStatus));
    // Only where there is one, as older documents have none.
    if (!report.unreadable.empty()) {
        json.Key("unreadable");
        json.Open('[');
        for (const UnreadableDisk& disk : report.unreadable) {
            json.Open('{');
            json.Key("device");
            json.String(disk.device);
            json.Key("reason");
            json.String(disk.reason);
            json.Close('}');
        }
        json.Close(']');
    }
    json.Close('}');
    json.Key("drives");
    json.Open('[');
    for (const DriveReading& drive : report.drives) {
        WriteDrive(json, drive);
    }
    json.Close(']');
    json.Close('}');
    out.push_back('\n');
    return out.Text();
}
