#include "report/json_writer.h"

#include <cstring>

#include "report/attribute_format.h"

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
        // The document nests seven deep at most.
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

void WriteAttributeTable(JsonText& json, const DriveInventory& inventory, int position) {
    const bool thresholdsKnown = inventory.ThresholdsKnown(position);
    json.Key("ata_smart_attributes");
    json.Open('{');
    json.Key("revision");
    json.Number(inventory.smartDataRevision[position]);
    json.Key("table");
    json.Open('[');
    for (int index = 0; index < inventory.GetAttributeCount(position); ++index) {
        AttributeRecord record;
        if (!inventory.GetAttribute(position, index, &record)) {
            continue;
        }
        json.Open('{');
        json.Key("id");
        json.Number(AttributeId(record));
        json.Key("name");
        json.String(AttributeKeyName(record));
        json.Key("value");
        json.Number(AttributeCurrent(record));
        json.Key("worst");
        json.Number(AttributeWorst(record));
        if (thresholdsKnown) {
            json.Key("thresh");
            json.Number(AttributeThreshold(record));
        }
        json.Key("when_failed");
        json.String(WhenFailed(record, thresholdsKnown));
        WriteFlags(json, AttributeFlags(record));
        json.Key("raw");
        json.Open('{');
        json.Key("value");
        json.Number(RawValue48(record));
        json.Key("string");
        json.String(FormatRawValue(record, TextForm::kList).text);
        json.Close('}');
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
}

// The values the tools keep outside the table, each from its attribute.
void WriteAttributeSummaries(JsonText& json, const DriveInventory& inventory, int position) {
    AttributeRecord record;
    uint8_t celsius;
    if (DriveTemperature(inventory, position, &celsius)) {
        json.Key("temperature");
        json.Open('{');
        json.Key("current");
        json.Number(celsius);
        json.Close('}');
    }
    if (FindAttribute(inventory, position, 9, &record)) {
        json.Key("power_on_time");
        json.Open('{');
        json.Key("hours");
        json.Number(RawLow32(record));
        json.Close('}');
    }
    if (FindAttribute(inventory, position, 12, &record)) {
        json.Key("power_cycle_count");
        json.Number(RawLow32(record));
    }
}

void WriteOwnDriveKeys(JsonText& json, const DriveInventory& inventory, const ListedDrive& drive) {
    const int position = drive.position;
    const bool thresholdsKnown = inventory.ThresholdsKnown(position);
    json.Key("vantrel");
    json.Open('{');
    json.Key("position");
    json.Number(static_cast<uint64_t>(position));
    json.Key("list_name");
    json.String(drive.listName);
    json.Key("thresholds_known");
    json.Bool(thresholdsKnown);
    json.Key("attributes");
    json.Open('[');
    for (int index = 0; index < inventory.GetAttributeCount(position); ++index) {
        AttributeRecord record;
        if (inventory.GetAttribute(position, index, &record)) {
            json.Open('{');
            json.Key("id");
            json.Number(AttributeId(record));
            json.Key("verdict");
            json.String(VerdictText(RecordVerdict(record, thresholdsKnown), TextForm::kList));
            json.Close('}');
        }
    }
    json.Close(']');
    json.Key("health");
    json.Open('{');
    json.Key("verdict");
    json.String(HealthVerdictName(drive.health.verdict));
    json.Key("reasons");
    json.Open('[');
    for (const std::string& reason : drive.health.reasons) {
        json.String(reason);
    }
    json.Close(']');
    json.Close('}');
    json.Close('}');
}

void WriteDrive(JsonText& json, const DriveInventory& inventory, const ListedDrive& drive) {
    const int position = drive.position;
    const IdentifyData& identify = inventory.entries[position].Identify;
    json.Open('{');
    json.Key("device");
    json.Open('{');
    json.Key("name");
    json.String(drive.device);
    json.Key("type");
    json.String("ata");
    json.Key("protocol");
    json.String("ATA");
    json.Close('}');

    const IdentityTexts identity = DriveIdentity(inventory, position);
    json.Key("model_name");
    json.String(identity.model);
    json.Key("serial_number");
    json.String(identity.serial);
    json.Key("firmware_version");
    json.String(identity.firmware);

    const uint64_t blocks = CapacityBlocks(identify);
    json.Key("user_capacity");
    json.Open('{');
    json.Key("blocks");
    json.Number(blocks);
    json.Key("bytes");
    json.Number(blocks * LogicalSectorSize(identify));
    json.Close('}');
    json.Key("logical_block_size");
    json.Number(LogicalSectorSize(identify));

    json.Key("smart_support");
    json.Open('{');
    json.Key("available");
    json.Bool(SmartAvailable(identify) || inventory.entries[position].SmartEnabled);
    json.Key("enabled");
    json.Bool(inventory.entries[position].SmartEnabled != 0);
    json.Close('}');

    // A drive whose SMART data was not read has no table, not an empty one.
    if (inventory.attributes[position] != nullptr) {
        WriteAttributeTable(json, inventory, position);
        WriteAttributeSummaries(json, inventory, position);
    }
    WriteOwnDriveKeys(json, inventory, drive);
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
    json.Close('}');
    json.Key("drives");
    json.Open('[');
    for (const ListedDrive& drive : report.drives) {
        WriteDrive(json, *report.inventory, drive);
    }
    json.Close(']');
    json.Close('}');
    out.push_back('\n');
    return out.Text();
}

bool WriteJsonReport(const MachineReport& report, FILE* stream) {
    const std::string text = JsonReport(report);
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}
