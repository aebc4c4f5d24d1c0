#include "inventory/self_test.h"

#include "inventory/decimal_text.h"
#include "inventory/feature_words.h"

namespace {

struct KindRow {
    uint8_t routine;
    uint8_t nvmeCode;  // the Device Self-test command's code, 0 for none
    const char* name;
};

// In SelfTestKind's order. NVMe has no conveyance test.
const KindRow kKinds[] = {
    {0x01, 0x1, "short"},
    {0x02, 0x2, "extended"},
    {0x03, 0x0, "conveyance"},
    {0x7F, 0xF, "abort"},
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

uint8_t NvmeSelfTestCode(SelfTestKind kind) {
    return kKinds[static_cast<int>(kind)].nvmeCode;
}

bool IsNvmeSelfTestCode(uint32_t code) {
    for (const KindRow& row : kKinds) {
        if (row.nvmeCode != 0 && row.nvmeCode == code) {
            return true;
        }
    }
    return false;
}

bool OffersSelfTests(uint8_t capabilities, const IdentifyData& identify) {
    return SmartDataOffersSelfTests(capabilities) || FeatureWordsSay(identify, 0x02);
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
    decoded.running = SelfTestRunning(decoded.status);
    decoded.passed = !decoded.running && SelfTestPassed(decoded.status);
    decoded.reportedRemainingPercent = SelfTestReportedRemaining(decoded.status);
    decoded.remainingPercent = ClampPercent(decoded.reportedRemainingPercent);
    const uint8_t capabilities = offline[kCapabilities];
    decoded.offlineImmediate = (capabilities & 0x01) != 0;
    decoded.selfTests = OffersSelfTests(capabilities, identify);
    decoded.conveyance = (capabilities & 0x20) != 0;
    decoded.shortMinutes = offline[kShortPoll];
    decoded.extendedMinutes =
        offline[kExtendedPoll] == 0xFF
            ? offline[kLongExtendedPoll] | (offline[kLongExtendedPoll + 1] << 8)
            : offline[kExtendedPoll];
    decoded.conveyanceMinutes = offline[kConveyancePoll];
    return decoded;
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
