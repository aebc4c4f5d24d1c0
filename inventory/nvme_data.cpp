#include "inventory/nvme_data.h"

#include "inventory/drive_inventory.h"
#include "inventory/identity_text.h"
#include "inventory/nvme_log_rows.h"
#include "inventory/self_test.h"

#include <cstdio>
#include <cstring>

namespace {

uint64_t Little(const uint8_t* bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

NvmeCounter Counter(const uint8_t* bytes) {
    NvmeCounter counter;
    counter.low = Little(bytes, 8);
    counter.high = Little(bytes + 8, 8);
    return counter;
}

// The texts are ASCII padded with blanks; some drives pad with NULs. A
// line break reads as a blank, as in an ATA drive's texts.
template <size_t N>
void Text(const uint8_t* bytes, char (&text)[N]) {
    const size_t width = N - 1;
    char shown[N];
    for (size_t i = 0; i < width; ++i) {
        shown[i] = bytes[i] == '\0' ? ' ' : IdentityTextChar(static_cast<char>(bytes[i]));
    }
    size_t begin = 0;
    size_t end = width;
    while (begin < end && shown[begin] == ' ') {
        ++begin;
    }
    while (end > begin && shown[end - 1] == ' ') {
        --end;
    }
    std::memcpy(text, shown + begin, end - begin);
    text[end - begin] = '\0';
}

}  // namespace

void NvmeCounter::Decimal(char (&text)[kDecimalSize]) const {
    // Long division of the 128 bits by 10, in 32-bit pieces, the digits
    // written from the end.
    uint32_t parts[4] = {static_cast<uint32_t>(high >> 32), static_cast<uint32_t>(high),
                         static_cast<uint32_t>(low >> 32), static_cast<uint32_t>(low)};
    size_t at = kDecimalSize - 1;
    text[at] = '\0';
    bool zero;
    do {
        uint64_t remainder = 0;
        zero = true;
        for (uint32_t& part : parts) {
            const uint64_t current = (remainder << 32) | part;
            part = static_cast<uint32_t>(current / 10);
            remainder = current % 10;
            zero = zero && part == 0;
        }
        text[--at] = static_cast<char>('0' + remainder);
    } while (!zero);
    std::memmove(text, text + at, kDecimalSize - at);
}

NvmeCounter NvmeCounter::Product(uint64_t count, uint32_t size) {
    // Each half's product fits in 64 bits; the high half's carries over.
    const uint64_t low = (count & 0xFFFFFFFFu) * size;
    const uint64_t high = (count >> 32) * size;
    NvmeCounter product;
    product.low = low + (high << 32);
    product.high = (high >> 32) + (product.low < low ? 1 : 0);
    return product;
}

NvmeController DecodeNvmeController(const uint8_t (&data)[kNvmeIdentifySize]) {
    NvmeController c;
    c.pciVendor = static_cast<uint16_t>(Little(data, 2));
    c.pciSubsystemVendor = static_cast<uint16_t>(Little(data + 2, 2));
    Text(data + 4, c.serial);
    Text(data + 24, c.model);
    Text(data + 64, c.firmware);
    c.ieeeOui = static_cast<uint32_t>(Little(data + 73, 3));
    c.controllerId = static_cast<uint16_t>(Little(data + 78, 2));
    c.version = static_cast<uint32_t>(Little(data + 80, 4));
    c.selfTests = (Little(data + 256, 2) & 0x10) != 0;
    c.extendedTestMinutes = static_cast<uint16_t>(Little(data + 316, 2));
    c.warningTempKelvin = static_cast<uint16_t>(Little(data + 266, 2));
    c.criticalTempKelvin = static_cast<uint16_t>(Little(data + 268, 2));
    c.totalCapacity = Counter(data + 280);
    c.unallocatedCapacity = Counter(data + 296);
    c.namespaces = static_cast<uint32_t>(Little(data + 516, 4));
    return c;
}

void NvmeVersionText(uint32_t version, char (&text)[kNvmeVersionTextSize]) {
    const unsigned major = version >> 16;
    const unsigned minor = (version >> 8) & 0xFF;
    const unsigned tertiary = version & 0xFF;
    if (version == 0) {
        std::snprintf(text, sizeof text, "<1.2");
    } else if (tertiary != 0) {
        std::snprintf(text, sizeof text, "%u.%u.%u", major, minor, tertiary);
    } else {
        std::snprintf(text, sizeof text, "%u.%u", major, minor);
    }
}

bool DecodeNvmeNamespace(const uint8_t (&data)[kNvmeIdentifySize], NvmeNamespace* space) {
    const uint64_t blocks = Little(data, 8);
    const unsigned formats = data[25];  // NLBAF: a 0's-based count
    const unsigned format = data[26] & 0x0F;
    if (blocks == 0 || format > formats) {
        return false;
    }
    const unsigned lbads = data[128 + 4 * format + 2];
    // A block is at least 512 bytes; beyond 2^31 the size would not fit.
    if (lbads < 9 || lbads > 31) {
        return false;
    }
    space->blocks = blocks;
    space->blockSize = 1u << lbads;
    return true;
}

NvmeHealthLog DecodeNvmeHealthLog(const uint8_t (&data)[kNvmeHealthLogSize]) {
    // Each value where the rows' table says it starts.
    const auto at = [&data](NvmeLogRow row) { return data + NvmeLogRowOf(row).offset; };
    NvmeHealthLog log;
    log.criticalWarning = *at(NvmeLogRow::kCriticalWarning);
    log.temperatureKelvin = static_cast<uint16_t>(Little(at(NvmeLogRow::kTemperature), 2));
    log.availableSpare = *at(NvmeLogRow::kAvailableSpare);
    log.spareThreshold = *at(NvmeLogRow::kSpareThreshold);
    log.percentageUsed = *at(NvmeLogRow::kPercentageUsed);
    for (const NvmeLogRowInfo& row : kNvmeLogRows) {
        if (row.counter) {
            log.*row.counter = Counter(data + row.offset);
        }
    }
    log.warningTempMinutes = static_cast<uint32_t>(Little(at(NvmeLogRow::kWarningTempTime), 4));
    log.criticalTempMinutes = static_cast<uint32_t>(Little(at(NvmeLogRow::kCriticalTempTime), 4));
    for (int i = 0; i < 8; ++i) {
        log.sensorKelvin[i] = static_cast<uint16_t>(Little(data + 200 + 2 * i, 2));
    }
    return log;
}

void DecodeNvmeDrive(const NvmeReplies& replies, NvmeDrive* drive) {
    drive->controller = DecodeNvmeController(replies.controller);
    drive->hasNamespace =
        replies.hasNamespace && DecodeNvmeNamespace(replies.nameSpace, &drive->space);
    drive->log = DecodeNvmeHealthLog(replies.health);
    drive->hasSelfTestLog = replies.hasSelfTestLog;
    if (replies.hasSelfTestLog) {
        drive->selfTests = DecodeNvmeSelfTestLog(replies.selfTestLog);
    }
}

NvmeSelfTestLog DecodeNvmeSelfTestLog(const uint8_t (&data)[kNvmeSelfTestLogSize]) {
    NvmeSelfTestLog log;
    log.operation = data[0] & 0x0F;
    log.reportedCompletion = data[1] & 0x7F;
    log.completion = static_cast<uint8_t>(ClampPercent(log.reportedCompletion));
    // Results fill from the first entry; an unused one ends them.
    for (int i = 0; i < 20; ++i) {
        const uint8_t* entry = data + 4 + 28 * i;
        if ((entry[0] & 0x0F) == 0x0F) {
            break;
        }
        NvmeSelfTestResult& result = log.results[log.count++];
        result.code = entry[0] >> 4;
        result.result = entry[0] & 0x0F;
        result.segment = entry[1];
        result.powerOnHours = Little(entry + 4, 8);
        result.hasLba = (entry[2] & 0x02) != 0;
        result.failingLba = Little(entry + 16, 8);
    }
    return log;
}

const char* NvmeSelfTestCodeText(uint8_t code) {
    switch (code) {
        case 0x1:
            return "short";
        case 0x2:
            return "extended";
        case 0xE:
            return "vendor specific";
        default:
            return "reserved";
    }
}

const char* NvmeSelfTestResultText(uint8_t result) {
    static const char* const kTexts[16] = {
        "completed without error",
        "aborted by a Device Self-test command",
        "aborted by a controller reset",
        "aborted by a namespace removal",
        "aborted by a Format NVM command",
        "a fatal or unknown error kept it from completing",
        "completed with a failed segment of unknown number",
        "completed with one or more failed segments",
        "aborted for an unknown reason",
        "aborted by a sanitize operation",
        "reserved (10)",
        "reserved (11)",
        "reserved (12)",
        "reserved (13)",
        "reserved (14)",
        "entry not used",
    };
    return kTexts[result & 0x0F];
}
