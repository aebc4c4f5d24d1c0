#include "inventory/self_test.h"

#include <initializer_list>

#include "inventory/decimal_text.h"

namespace {

struct KindRow {
    uint8_t routine;
    const char* name;
};

// In SelfTestKind's order.
const KindRow kKinds[] = {
    {0x01, "short"},
    {0x02, "extended"},
    {0x03, "conveyance"},
    {0x7F, "abort"},
};

// Byte 363's bits 7:4, as ATA/ACS names them.
const char* const kStatusTexts[16] = {
    "completed without error",
    "aborted by the host",
    "interrupted by the host with a reset",
    "a fatal or unknown error kept it from completing",
    "completed with a failed element of unknown kind",
    "completed with its electrical element failed",
    "completed with its servo (seek) element failed",
    "completed with its read element failed",
    "completed with handling damage suspected",
    "reserved (9)",
    "reserved (10)",
    "reserved (11)",
    "reserved (12)",
    "reserved (13)",
    "reserved (14)",
    "in progress",
};

const int kStatus = 363 - kOfflineDataOffset;
const int kCapabilities = 367 - kOfflineDataOffset;
const int kShortPoll = 372 - kOfflineDataOffset;
const int kExtendedPoll = 373 - kOfflineDataOffset;
const int kConveyancePoll = 374 - kOfflineDataOffset;
const int kLongExtendedPoll = 375 - kOfflineDataOffset;

}  // namespace

uint8_t SelfTestRoutine(SelfTestKind kind) {
    return kKinds[static_cast<int>(kind)].routine;
}

const char* SelfTestKindName(SelfTestKind kind) {
    return kKinds[static_cast<int>(kind)].name;
}

int ClampPercent(int percent) {
    return percent < 0 ? 0 : (percent > 100 ? 100 : percent);
}

std::string ProgressNote(int reported, const char* what) {
    if (reported == ClampPercent(reported)) {
        return std::string();
    }
    return " (the drive reported " + DecimalText(reported) + "% " + what + ")";
}

AtaSelfTestStatus DecodeAtaSelfTest(const uint8_t offline[kOfflineDataLength],
                                    const IdentifyData& identify) {
    AtaSelfTestStatus decoded;
    decoded.known = true;
    decoded.status = offline[kStatus];
    decoded.running = (decoded.status >> 4) == 0xF;
    // Nibbles above Ah would read more than all of the test still to do.
    decoded.reportedRemainingPercent = decoded.running ? 10 * (decoded.status & 0x0F) : 0;
    decoded.remainingPercent = ClampPercent(decoded.reportedRemainingPercent);
    // Words 84 and 87 count only where bits 15:14 read 01.
    bool identifySelfTests = false;
    for (const int word : {84, 87}) {
        const uint16_t value = IdentifyWord(identify, word);
        identifySelfTests = identifySelfTests || ((value & 0xC000) == 0x4000 && (value & 0x02));
    }
    const uint8_t capabilities = offline[kCapabilities];
    decoded.offlineImmediate = (capabilities & 0x01) != 0;
    decoded.selfTests = (capabilities & 0x10) != 0 || identifySelfTests;
    decoded.conveyance = (capabilities & 0x20) != 0;
    decoded.shortMinutes = offline[kShortPoll];
    decoded.extendedMinutes =
        offline[kExtendedPoll] == 0xFF
            ? offline[kLongExtendedPoll] | (offline[kLongExtendedPoll + 1] << 8)
            : offline[kExtendedPoll];
    decoded.conveyanceMinutes = offline[kConveyancePoll];
    return decoded;
}

const char* SelfTestStatusText(uint8_t status) {
    return kStatusTexts[status >> 4];
}

bool AtaOffersSelfTest(const AtaSelfTestStatus& status, SelfTestKind kind) {
    if (!status.known || !status.offlineImmediate || !status.selfTests) {
        return false;
    }
    return kind != SelfTestKind::kConveyance || status.conveyance;
}

int AtaSelfTestMinutes(const AtaSelfTestStatus& status, SelfTestKind kind) {
    switch (kind) {
        case SelfTestKind::kShort:
            return status.shortMinutes;
        case SelfTestKind::kExtended:
            return status.extendedMinutes;
        case SelfTestKind::kConveyance:
            return status.conveyanceMinutes;
        default:
            return 0;
    }
}
