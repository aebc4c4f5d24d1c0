#include "report/device_status.h"

#include "health/nvme_health.h"
#include "inventory/attribute_fields.h"
#include "report/drive_reading.h"

namespace {

// The attribute flags' bit 0: the attribute warns of a coming failure.
const uint16_t kPrefailure = 0x0001;

bool AnyFailedCheck(const ReplyIntegrity& integrity) {
    for (const BlockCheck check :
         {integrity.identify, integrity.smartData, integrity.thresholds, integrity.errorLog,
          integrity.selfTestLog, integrity.deviceStatistics}) {
        if (check == BlockCheck::kFailed) {
            return true;
        }
    }
    return integrity.repeatedId != 0 || integrity.failedStatisticsPages != 0;
}

// The SMART data or thresholds of a drive with SMART not read. A log the
// drive keeps but did not give is not counted: captures saved before the
// logs were read hold none, and would all count as failing.
uint8_t AtaCommandBits(const AtaReading& ata) {
    const bool smartDataMissing = ata.smartAvailable && !ata.hasSmartData;
    const bool thresholdsMissing = ata.hasSmartData && !ata.thresholdsKnown;
    return smartDataMissing || thresholdsMissing || AnyFailedCheck(ata.integrity)
               ? kStatusCommandFailed
               : 0;
}

uint8_t ThresholdBits(const AtaReading& ata) {
    uint8_t bits = 0;
    if (!ata.thresholdsKnown) {
        return bits;
    }
    for (const AttributeRecord& record : ata.attributes) {
        const uint8_t threshold = AttributeThreshold(record);
        if (threshold == 0) {
            continue;
        }
        if ((AttributeFlags(record) & kPrefailure) != 0 && AttributeCurrent(record) <= threshold) {
            bits |= kStatusPrefailNow;
        }
        if (AttributeWorst(record) <= threshold) {
            bits |= kStatusThresholdPast;
        }
    }
    return bits;
}

// The newest self-test in the log that ran to its end, aborted and
// interrupted ones passed over.
bool NewestCompletedFailed(const SelfTestLog& log) {
    for (int i = 0; log.check == BlockCheck::kOk && i < log.count; ++i) {
        if (log.entries[i].Completed()) {
            return log.entries[i].Failed();
        }
    }
    return false;
}

bool NewestCompletedFailed(const NvmeSelfTestLog& log) {
    for (int i = 0; i < log.count; ++i) {
        const uint8_t result = log.results[i].result;
        if (result == 0 || NvmeSelfTestFailed(result)) {
            return result != 0;
        }
    }
    return false;
}

uint8_t AtaBits(const AtaReading& ata) {
    if (!ata.read) {
        return kStatusNotRead;
    }
    uint8_t bits = AtaCommandBits(ata) | ThresholdBits(ata);
    if (ata.selfAssessment == SelfAssessment::kFailed) {
        bits |= kStatusSelfAssessmentFailed;
    }
    if (ata.errorLog.check == BlockCheck::kOk && ata.errorLog.count > 0) {
        bits |= kStatusErrorsLogged;
    }
    if (NewestCompletedFailed(ata.selfTestLog)) {
        bits |= kStatusSelfTestFailed;
    }
    return bits;
}

uint8_t NvmeBits(const NvmeReading& nvme) {
    uint8_t bits = 0;
    // A controller with self-tests whose log could not be read.
    if (nvme.controller.selfTests && !nvme.hasSelfTestLog) {
        bits |= kStatusCommandFailed;
    }
    if ((nvme.log.criticalWarning & kNvmeFailureBits) != 0) {
        bits |= kStatusSelfAssessmentFailed;
    }
    if (!nvme.log.errorLogEntries.IsZero()) {
        bits |= kStatusErrorsLogged;
    }
    if (nvme.hasSelfTestLog && NewestCompletedFailed(nvme.selfTests)) {
        bits |= kStatusSelfTestFailed;
    }
    return bits;
}

}  // namespace

uint8_t DeviceStatusBits(const DriveReading& reading) {
    return static_cast<uint8_t>(reading.protocol == DriveProtocol::kNvme ? NvmeBits(reading.nvme)
                                                                         : AtaBits(reading.ata));
}
