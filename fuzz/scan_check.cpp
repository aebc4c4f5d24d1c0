#include "fuzz/scan_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/scan_input.h"
#include "inventory/drive_inventory.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "report/attribute_format.h"
#include "report/export_writer.h"
#include "report/report_text.h"

namespace {

// The drive list's buffer at start-up.
enum { kListNameSize = 50 };

// Lines of the window variant (the export variant adds one empty line), and
// the index of the model line.
enum { kReportLines = 20, kModelLine = 10 };

std::string At(int position, const std::string& what) {
    return "position " + std::to_string(position) + ": " + what;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Splits text into lines without their CR LF. Fails on a CR or LF that is
// not part of a CR LF pair, on a last line without CR LF, and on a line
// that would not fit a line buffer of `lineSize` bytes with its CR LF and NUL.
bool SplitLines(const std::string& text, size_t lineSize, std::vector<std::string>* lines,
                std::string* problem) {
    lines->clear();
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') {
                *problem = "a CR without LF in line " + std::to_string(lines->size() + 1);
                return false;
            }
            if (i - start + 3 > lineSize) {
                *problem = "line " + std::to_string(lines->size() + 1) + " is " +
                           std::to_string(i - start + 2) + " bytes with its CR LF";
                return false;
            }
            lines->push_back(text.substr(start, i - start));
            ++i;
            start = i + 1;
        } else if (c == '\n') {
            *problem = "an LF without CR in line " + std::to_string(lines->size() + 1);
            return false;
        }
    }
    if (start != text.size()) {
        *problem = "the last line does not end in CR LF";
        return false;
    }
    return true;
}

std::string CheckBlock(const DriveReportText& report, int position, bool exportVariant,
                       std::vector<std::string>* lines) {
    const char* name = exportVariant ? "export variant: " : "window variant: ";
    const void* end = std::memchr(report.text, '\0', sizeof report.text);
    if (end == nullptr) {
        return At(position, std::string(name) + "no NUL inside the block");
    }
    const std::string text(report.text, static_cast<const char*>(end));
    // A block that reaches the last byte may have been cut short.
    if (text.size() + 1 >= sizeof report.text) {
        return At(position, std::string(name) + "fills its whole block");
    }
    std::string problem;
    if (!SplitLines(text, kReportLineSize, lines, &problem)) {
        return At(position, name + problem);
    }
    const size_t expected = exportVariant ? kReportLines + 1 : kReportLines;
    if (lines->size() != expected) {
        return At(position, name + std::to_string(lines->size()) + " lines, expected " +
                                std::to_string(expected));
    }
    const std::string first = "Drive " + std::to_string(position) + "  SMART ";
    if (!StartsWith((*lines)[0], first) ||
        !StartsWith((*lines)[kReportLines - 1], "Mult. Sector Stuff: ")) {
        return At(position, std::string(name) + "first or last line is not where it belongs");
    }
    if (exportVariant && !(*lines)[kReportLines].empty()) {
        return At(position, "export variant: does not end with an empty line");
    }
    return "";
}

// The export variant is the window variant with one TAB doubled before each
// of these labels, on these lines, and an empty line at the end.
std::string CompareVariants(const std::vector<std::string>& window,
                            const std::vector<std::string>& exported, int position) {
    const struct {
        size_t line;
        const char* label;
    } doubled[] = {{3, " \tSector Count: "},
                   {11, " \tSectors per track: "},
                   {12, " \tCur Sectors/Track: "},
                   {14, " \tBuffer Size: "},
                   {16, " \tDouble Word IO: "}};
    for (size_t line = 0; line < window.size(); ++line) {
        std::string expected = window[line];
        for (const auto& d : doubled) {
            if (d.line != line) {
                continue;
            }
            const size_t at = expected.find(d.label);
            if (at == std::string::npos) {
                return At(position,
                          "window line " + std::to_string(line + 1) + " lacks \"" + d.label + "\"");
            }
            expected.insert(at + 1, "\t");
        }
        if (exported[line] != expected) {
            return At(position, "the variants differ in line " + std::to_string(line + 1) + ": \"" +
                                    window[line] + "\" / \"" + exported[line] + "\"");
        }
    }
    return "";
}

std::string ModelText(const std::vector<std::string>& window) {
    const std::string label = "Model Number: ";
    const std::string& line = window[kModelLine];
    return StartsWith(line, label) ? line.substr(label.size()) : std::string("\x01(no model line)");
}

const char* ExpectedVerdict(uint8_t current, uint8_t threshold, bool thresholdsKnown) {
    if (!thresholdsKnown) {
        return "UNKNOWN";
    }
    if (current > threshold + 10) {
        return "OK     ";
    }
    return current < threshold ? "FAIL   " : "WARNING";
}

std::string CheckExport(const DriveInventory& inventory, int position,
                        const DriveReportText& exportBlock) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) {
        std::abort();  // the harness itself cannot run
    }
    const bool written = WriteDriveExport(inventory, position, stream);
    std::fclose(stream);
    const std::string content(buffer, size);
    std::free(buffer);
    if (!written) {
        return At(position, "the export reports a write error");
    }
    const std::string block(exportBlock.text);
    if (!StartsWith(content, block)) {
        return At(position, "the export does not begin with the export variant");
    }
    std::vector<std::string> lines;
    std::string problem;
    if (!SplitLines(content.substr(block.size()), kReportLineSize, &lines, &problem)) {
        return At(position, "export: " + problem);
    }
    if (lines.size() < 3 || lines[0] != "SMART ATTRIBUTES:" ||
        !StartsWith(lines[1], "ID\tDescription") || lines[2] != std::string(92, '-')) {
        return At(position, "export: the attribute heading is not right after the block");
    }
    const int count = inventory.GetAttributeCount(position);
    if (lines.size() - 3 != static_cast<size_t>(count)) {
        return At(position, "export: " + std::to_string(lines.size() - 3) +
                                " attribute lines for " + std::to_string(count) + " attributes");
    }
    for (int index = 0; index < count; ++index) {
        AttributeRecord record;
        if (!inventory.GetAttribute(position, index, &record)) {
            return At(position, "attribute " + std::to_string(index) + " cannot be read");
        }
        if (std::strlen(record.Description) != 36) {
            return At(position, "a description is not 36 characters wide");
        }
        const std::string& line = lines[3 + index];
        char id[8];
        std::snprintf(id, sizeof id, "%X\t", AttributeId(record));
        const size_t tabs[] = {line.find('\t'), line.find('\t', line.find('\t') + 1)};
        if (!StartsWith(line, id) || tabs[1] == std::string::npos) {
            return At(position, "export: attribute line " + std::to_string(index) +
                                    " does not start with its id and description");
        }
        const std::string verdict = line.substr(tabs[1] + 1, 7);
        const char* expected = ExpectedVerdict(AttributeCurrent(record), AttributeThreshold(record),
                                               inventory.ThresholdsKnown(position));
        if (verdict != expected) {
            return At(position,
                      "export: verdict \"" + verdict + "\" where \"" + expected + "\" belongs");
        }
        const std::string listWord = VerdictText(
            RecordVerdict(record, inventory.ThresholdsKnown(position)), TextForm::kList);
        if (listWord != "OK" && listWord != "WARNING" && listWord != "FAIL" &&
            listWord != "UNKNOWN") {
            return At(position, "list verdict \"" + listWord + "\"");
        }
    }
    return "";
}

std::string CheckInventory(const DriveInventory& inventory, const EmulatedDriver& driver) {
    if (driver.OpenHandleCount() != 0) {
        return "a device stays open after the scan";
    }
    if (inventory.GetDriveCount() < 0 || inventory.GetDriveCount() > kDrivePositions) {
        return "drive count " + std::to_string(inventory.GetDriveCount());
    }
    static const uint8_t kZero[sizeof(IdentifyData)] = {};
    for (int p = 0; p < kDrivePositions; ++p) {
        const DriveEntry& entry = inventory.entries[p];
        if (entry.DriveNumber != -1 && entry.DriveNumber != p) {
            return At(p, "DriveNumber " + std::to_string(entry.DriveNumber));
        }
        const bool identifyZero = std::memcmp(entry.Identify.bytes, kZero, sizeof kZero) == 0;
        const bool regsZero = std::memcmp(&entry.IdeRegisters, kZero, sizeof(IdeRegs)) == 0;
        if (entry.DriveNumber == -1 && (entry.SmartEnabled || !identifyZero || !regsZero)) {
            return At(p, "an empty position holds drive data");
        }
        if (entry.IsPacketDevice && (entry.DriveNumber == -1 || !identifyZero)) {
            return At(p, "a packet device holds IDENTIFY data or no drive number");
        }
        const int count = inventory.GetAttributeCount(p);
        if (count < 0 || count > 30 || (count > 0 && inventory.attributes[p] == nullptr)) {
            return At(p, "attribute count " + std::to_string(count));
        }
    }
    return "";
}

}  // namespace

std::string CheckScanPath(const uint8_t* data, size_t size) {
    EmulatedDriver driver;
    LoadScanInput(DecodeScanInput(data, size), &driver);
    DriveInventory inventory;
    inventory.ScanDrives(driver);
    std::string problem = CheckInventory(inventory, driver);
    if (!problem.empty()) {
        return problem;
    }

    bool held[kDrivePositions] = {};
    std::string models[kDrivePositions];
    for (int p = 0; p < kDrivePositions; ++p) {
        DriveEntry entry;
        held[p] = inventory.GetDriveEntry(&entry, p);
        if (!held[p]) {
            continue;
        }
        DriveReportText window;
        DriveReportText exported;
        BuildDriveReportText(inventory, p, ReportVariant::kWindow, &window);
        BuildDriveReportText(inventory, p, ReportVariant::kExport, &exported);
        std::vector<std::string> windowLines;
        std::vector<std::string> exportLines;
        problem = CheckBlock(window, p, false, &windowLines);
        if (problem.empty()) {
            problem = CheckBlock(exported, p, true, &exportLines);
        }
        if (problem.empty()) {
            problem = CompareVariants(windowLines, exportLines, p);
        }
        if (problem.empty()) {
            problem = CheckExport(inventory, p, exported);
        }
        if (!problem.empty()) {
            return problem;
        }
        models[p] = ModelText(windowLines);
    }

    std::string listedNames[kDrivePositions];
    for (int p = 0; p < kDrivePositions; ++p) {
        char name[kListNameSize];
        uint32_t length = sizeof name;
        const char* listed = inventory.GetModelName(name, &length, p, true);
        if (listed == nullptr) {
            if (held[p] && !models[p].empty()) {
                return At(p, "a drive with model \"" + models[p] + "\" is not listed");
            }
            continue;
        }
        if (!held[p] || models[p].empty()) {
            return At(p, "listed as \"" + std::string(name) + "\" without a model in a report");
        }
        if (std::memchr(name, '\0', sizeof name) == nullptr) {
            return At(p, "list name without NUL");
        }
        int earlier = 0;
        int later = 0;
        for (int other = 0; other < kDrivePositions; ++other) {
            if (other != p && held[other] && models[other] == models[p]) {
                ++(other < p ? earlier : later);
            }
        }
        // Twins take the numbers 1, 2, ... in position order, skipping
        // the names that other drives' models already are.
        std::string expected = models[p];
        for (int number = 1, free = 0; earlier + later > 0 && free <= earlier; ++number) {
            const std::string candidate = models[p] + "-" + std::to_string(number);
            bool taken = false;
            for (int other = 0; other < kDrivePositions; ++other) {
                taken = taken || (other != p && held[other] && models[other] == candidate);
            }
            if (!taken && ++free > earlier) {
                expected = candidate;
            }
        }
        if (expected != name) {
            return At(p, "listed as \"" + std::string(name) + "\", expected \"" + expected +
                             "\" from the reports");
        }
        // Get Info finds a drive by its name: a shared name hides a drive.
        for (int earlierPosition = 0; earlierPosition < p; ++earlierPosition) {
            if (listedNames[earlierPosition] == name) {
                return At(
                    p, "listed under the same name as position " + std::to_string(earlierPosition));
            }
        }
        listedNames[p] = name;
    }
    return "";
}
