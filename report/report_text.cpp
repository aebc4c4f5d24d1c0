#include "report/report_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Appends within the block's fixed size; the formats cannot reach it (the
// widest block is well under 1000 bytes), but a bound costs nothing.
void Append(DriveReportText* report, const char* text) {
    const size_t used = std::strlen(report->text);
    std::snprintf(report->text + used, sizeof report->text - used, "%s", text);
}

void AppendLine(DriveReportText* report, const char* format, ...) {
    char line[kReportLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Append(report, line);
}

struct Formats {
    const char* features;
    const char* cylinders;
    const char* currentGeometry;
    const char* configuration;
    const char* ecc;
    const char* multipleSector;
};

const Formats kWindowFormats = {
    "Features: 0x%X \tSector Count: 0x%X \tSector Number: 0x%X \r\n",
    "\r\nCylinders: %d \tHeads: %d \tSectors per track: %d\r\n",
    "Cur Cyls: %d \tCur Heads: %d \tCur Sectors/Track: %d\r\n",
    "Gen Config: %d \tBuffer Type: %d \tBuffer Size: %d\r\n",
    "ECC Size: %d \tDouble Word IO: %d \tCapabilities: %d\r\n",
    "Mult. Sector Stuff: %d \tSingle Word DMA: %d \tMulti Word DMA: %d\r\n",
};

const Formats kExportFormats = {
    "Features: 0x%X \t\tSector Count: 0x%X \tSector Number: 0x%X \r\n",
    "\r\nCylinders: %d \tHeads: %d \t\tSectors per track: %d\r\n",
    "Cur Cyls: %d \tCur Heads: %d \t\tCur Sectors/Track: %d\r\n",
    "Gen Config: %d \tBuffer Type: %d \t\tBuffer Size: %d\r\n",
    "ECC Size: %d \t\tDouble Word IO: %d \tCapabilities: %d\r\n",
    "Mult. Sector Stuff: %d \tSingle Word DMA: %d \tMulti Word DMA: %d\r\n\r\n",
};

}  // namespace

void BuildDriveReportText(const DriveInventory& inventory, int position, ReportVariant variant,
                          DriveReportText* report) {
    const Formats& formats = variant == ReportVariant::kExport ? kExportFormats : kWindowFormats;
    DriveEntry entry;
    std::memset(&entry, 0, sizeof entry);
    inventory.GetDriveEntry(&entry, position);
    const IdentifyData& id = entry.Identify;
    const IdeRegs& regs = entry.IdeRegisters;
    auto word = [&id](int n) { return static_cast<int>(IdentifyWord(id, n)); };
    auto hexWord = [&id](int n) { return static_cast<unsigned>(IdentifyWord(id, n)); };

    std::memset(report->text, 0, sizeof report->text);
    std::snprintf(report->text, sizeof report->text, "Drive %d  ", position);
    Append(report, entry.SmartEnabled ? "SMART enabled\r\n\r\n" : "SMART NOT enabled\r\n\r\n");
    Append(report, "IDE REGISTERS:\r\n");
    AppendLine(report, formats.features, regs.bFeaturesReg, regs.bSectorCountReg,
               regs.bSectorNumberReg);
    AppendLine(report, "Cylinder Low: 0x%X \tCylinder High: 0x%X \tDrive Head: 0x%X \r\n",
               regs.bCylLowReg, regs.bCylHighReg, regs.bDriveHeadReg);
    AppendLine(report, "Command: 0x%X\r\n\r\n", regs.bCommandReg);
    Append(report, "DRIVE INFORMATION:\r\n");

    // The identity texts are appended as data, never used as formats. A
    // getter that finds nothing leaves its cleared line buffer empty.
    char line[kReportLineSize];
    uint32_t length = sizeof line;
    Append(report, "Serial Number: ");
    inventory.GetSerialNumber(line, &length, position);
    Append(report, line);
    Append(report, "\r\nFirmWare Rev: ");
    length = sizeof line;
    inventory.GetFirmwareRevision(line, &length, position);
    Append(report, line);
    Append(report, "\r\nModel Number: ");
    length = sizeof line;
    inventory.GetModelName(line, &length, position, false);
    Append(report, line);

    AppendLine(report, formats.cylinders, word(1), word(3), word(6));
    AppendLine(report, formats.currentGeometry, word(54), word(55), word(56));
    if (word(4) == 0) {
        AppendLine(report, "Bytes per track: NA \tBytes per sector: NA\r\n");
    } else if (word(6) == 0) {
        // No sectors per track to divide by: the sector size is unknown.
        AppendLine(report, "Bytes per track: %d \tBytes per sector: NA\r\n", word(4));
    } else {
        AppendLine(report, "Bytes per track: %d \tBytes per sector: %d\r\n", word(4),
                   word(4) / word(6));
    }
    AppendLine(report, formats.configuration, word(0), word(20), word(21));
    AppendLine(report, "Vendor Unique: %X %X %X \tMore Vendor Unique: 0x%X\r\n", hexWord(7),
               hexWord(8), hexWord(9), hexWord(47));
    AppendLine(report, formats.ecc, word(22), word(48), word(49));
    AppendLine(report, "PIO Timing: %d \tDMA Timing: %d \tBS: %d\r\n", word(51), word(52),
               word(53));
    AppendLine(report, "Current Sector Capacity: %ld \tTotal Addressable Sectors: %ld\r\n",
               static_cast<long>(IdentifyLong(id, 57)), static_cast<long>(IdentifyLong(id, 60)));
    AppendLine(report, formats.multipleSector, word(59), word(62), word(63));
}
