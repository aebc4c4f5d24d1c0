#include "capture/capture_recorder.h"

#include "inventory/windows_device_names.h"

#include <cstring>

#include "inventory/smart_records.h"

int CaptureRecorder::IoControl(DeviceHandle device, uint32_t code, const void* input,
                               uint32_t inputLength, void* output, uint32_t outputLength,
                               uint32_t* bytesReturned) {
    const int result =
        driver_.IoControl(device, code, input, inputLength, output, outputLength, bytesReturned);
    if (!result || code != kSmartRcvDriveData || input == nullptr ||
        inputLength < kCommandInputLength || output == nullptr || outputLength < kDataReplyLength) {
        return result;
    }
    SmartCommandRecord record;
    std::memcpy(&record, input, kCommandInputLength);
    if (record.bDriveNumber >= kMaxDrivePositions) {
        return result;
    }
    std::unique_ptr<DriveCapture>& kept = captures_[record.bDriveNumber];
    if (!kept) {
        kept.reset(new DriveCapture());
    }
    DriveCapture& capture = *kept;
    const IdeRegs& regs = record.irDriveRegs;
    const uint8_t* data = static_cast<const uint8_t*>(output) + kReplyHeadLength;
    const bool smart = regs.bCommandReg == kAtaSmart && regs.bCylLowReg == kSmartCylLow &&
                       regs.bCylHighReg == kSmartCylHigh;
    // A packet device's IDENTIFY PACKET block is no IDFY section: a
    // capture's readers take IDFY as IDENTIFY DEVICE.
    if (regs.bCommandReg == kAtaIdentifyDevice) {
        capture.hasIdentify = true;
        std::memcpy(capture.identify, data, kSectorLength);
    } else if (smart && regs.bFeaturesReg == kSmartReadData) {
        capture.hasSmartData = true;
        std::memcpy(capture.smartData, data, kSectorLength);
    } else if (smart && regs.bFeaturesReg == kSmartReadThresholds) {
        capture.hasThresholds = true;
        std::memcpy(capture.thresholds, data, kSectorLength);
    } else if (smart && regs.bFeaturesReg == kSmartReadLog &&
               regs.bSectorNumberReg == kSummaryErrorLog) {
        capture.hasErrorLog = true;
        std::memcpy(capture.errorLog, data, kSectorLength);
    } else if (smart && regs.bFeaturesReg == kSmartReadLog &&
               regs.bSectorNumberReg == kSelfTestLog) {
        capture.hasSelfTestLog = true;
        std::memcpy(capture.selfTestLog, data, kSectorLength);
    } else if (smart && regs.bFeaturesReg == kSmartReadLog &&
               regs.bSectorNumberReg == kLogDirectory) {
        capture.hasLogDirectory = true;
        std::memcpy(capture.logDirectory, data, kSectorLength);
    } else if (smart && regs.bFeaturesReg == kSmartReadLog &&
               regs.bSectorNumberReg == kDeviceStatisticsLog) {
        // As many pages as were asked for, where the reply holds them all.
        const uint32_t pages = regs.bSectorCountReg;
        if (pages >= 1 && pages <= kMaxStatisticsPages &&
            outputLength >= kReplyHeadLength + pages * kSectorLength) {
            capture.hasDeviceStatistics = true;
            capture.deviceStatisticsPages = static_cast<uint8_t>(pages);
            std::memcpy(capture.deviceStatistics, data, pages * kSectorLength);
        }
    }
    return result;
}

DriveCapture CaptureRecorder::Capture(int position) const {
    return captures_[position] ? *captures_[position] : DriveCapture();
}

void CaptureRecorder::NvmeCapture(const NvmeReplies& replies, DriveCapture* capture) {
    capture->Clear();
    capture->hasNvmeController = true;
    std::memcpy(capture->nvmeController, replies.controller, sizeof capture->nvmeController);
    capture->hasNvmeNamespace = replies.hasNamespace;
    if (replies.hasNamespace) {
        std::memcpy(capture->nvmeNamespace, replies.nameSpace, sizeof capture->nvmeNamespace);
    }
    capture->hasNvmeHealth = true;
    std::memcpy(capture->nvmeHealth, replies.health, sizeof capture->nvmeHealth);
    capture->hasNvmeSelfTestLog = replies.hasSelfTestLog;
    if (replies.hasSelfTestLog) {
        std::memcpy(capture->nvmeSelfTestLog, replies.selfTestLog, sizeof capture->nvmeSelfTestLog);
    }
}

void RecordPowerMode(int16_t count, DriveCapture* capture) {
    if (count != kPowerModeNotAsked) {
        capture->SetPowerMode(count < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(count));
    }
}

void RecordReturnStatus(SelfAssessment answer, DriveCapture* capture) {
    capture->hasStatus = answer != SelfAssessment::kNone;
    std::memset(capture->status, 0, sizeof capture->status);
    capture->status[3] = answer == SelfAssessment::kPassed ? 1 : 0;
}

std::string CaptureFileName(const DriveInventory& inventory, int position) {
    char model[50];
    uint32_t modelLength = sizeof model;
    if (!inventory.GetModelName(model, &modelLength, position, true)) {
        return std::string();
    }
    char firmware[16];
    uint32_t firmwareLength = sizeof firmware;
    if (!inventory.GetFirmwareRevision(firmware, &firmwareLength, position)) {
        firmware[0] = '\0';
    }
    std::string name = std::string(model) + "--" + firmware;
    for (char& c : name) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '+' || c == '_';
        if (!safe) {
            c = '_';
        }
    }
    // A leading dot would hide the file, or with a second one name a folder.
    if (name[0] == '.') {
        name[0] = '_';
    }
    // "NUL.--x.smart" would be the device on Windows: "saved", and nothing
    // there. The same name everywhere, so captures move between systems.
    if (IsWindowsDeviceName(name)) {
        name.insert(0, "_");
    }
    return name + ".smart";
}
