#include "capture/capture_sections.h"

#include <string.h>

const CaptureSection kCaptureSections[kCaptureSectionCount] = {
    {"IDFY", 512, &DriveCapture::hasIdentify, offsetof(DriveCapture, identify), nullptr},
    {"SMST", 4, &DriveCapture::hasStatus, offsetof(DriveCapture, status), nullptr},
    {"SMDT", 512, &DriveCapture::hasSmartData, offsetof(DriveCapture, smartData), nullptr},
    {"SMTH", 512, &DriveCapture::hasThresholds, offsetof(DriveCapture, thresholds), nullptr},
    {"PWRM", 4, &DriveCapture::hasPowerMode, offsetof(DriveCapture, powerMode), nullptr},
    {"SMEL", 512, &DriveCapture::hasErrorLog, offsetof(DriveCapture, errorLog), nullptr},
    {"SMSL", 512, &DriveCapture::hasSelfTestLog, offsetof(DriveCapture, selfTestLog), nullptr},
    {"SLDR", 512, &DriveCapture::hasLogDirectory, offsetof(DriveCapture, logDirectory), nullptr},
    {"DVST", 8 * 512, &DriveCapture::hasDeviceStatistics, offsetof(DriveCapture, deviceStatistics),
     &DriveCapture::deviceStatisticsPages},
    {"NVID", 4096, &DriveCapture::hasNvmeController, offsetof(DriveCapture, nvmeController),
     nullptr},
    {"NVNS", 4096, &DriveCapture::hasNvmeNamespace, offsetof(DriveCapture, nvmeNamespace), nullptr},
    {"NVHL", 512, &DriveCapture::hasNvmeHealth, offsetof(DriveCapture, nvmeHealth), nullptr},
    {"NVST", 564, &DriveCapture::hasNvmeSelfTestLog, offsetof(DriveCapture, nvmeSelfTestLog),
     nullptr},
};

namespace {

bool Fail(CaptureFault* fault, CaptureFault::Kind kind, size_t offset, const uint8_t* tag = nullptr,
          uint32_t length = 0) {
    fault->kind = kind;
    fault->offset = offset;
    if (tag) {
        memcpy(fault->tag, tag, sizeof fault->tag);
    }
    fault->length = length;
    return false;
}

}  // namespace

bool ReadCaptureSections(const uint8_t* data, size_t size, DriveCapture* capture,
                         CaptureFault* fault) {
    capture->Clear();
    *fault = CaptureFault();
    if (size == 0) {
        return Fail(fault, CaptureFault::kEmpty, 0);
    }
    if (size > kMaxCaptureSize) {
        return Fail(fault, CaptureFault::kTooLarge, kMaxCaptureSize);
    }
    size_t offset = 0;
    while (offset < size) {
        if (size - offset < 8) {
            return Fail(fault, CaptureFault::kTruncatedHeader, offset);
        }
        const uint8_t* tag = data + offset;
        const uint32_t length = (static_cast<uint32_t>(data[offset + 4]) << 24) |
                                (static_cast<uint32_t>(data[offset + 5]) << 16) |
                                (static_cast<uint32_t>(data[offset + 6]) << 8) | data[offset + 7];
        const size_t payloadOffset = offset + 8;
        const size_t left = size - payloadOffset;
        const CaptureSection* known = nullptr;
        for (const CaptureSection& section : kCaptureSections) {
            if (memcmp(tag, section.tag, 4) == 0) {
                known = &section;
            }
        }
        if (known && capture->*known->present) {
            return Fail(fault, CaptureFault::kSectionTwice, offset, tag, length);
        }
        const bool wholeBlocks =
            known && known->blocks && length != 0 && length % 512 == 0 && length <= known->length;
        if (known && length != known->length && !wholeBlocks) {
            fault->expected = known->length;
            return Fail(fault, CaptureFault::kWrongLength, offset + 4, tag, length);
        }
        if (length > left) {
            fault->left = left;
            return Fail(fault, CaptureFault::kTruncatedPayload, offset + 4, tag, length);
        }
        if (known) {
            memcpy(reinterpret_cast<uint8_t*>(capture) + known->payload, data + payloadOffset,
                   length);
            capture->*known->present = true;
            if (known->blocks) {
                capture->*known->blocks = static_cast<uint8_t>(length / 512);
            }
        }
        offset = payloadOffset + length;
    }
    const bool nvme = capture->hasNvmeController || capture->hasNvmeNamespace ||
                      capture->hasNvmeHealth || capture->hasNvmeSelfTestLog;
    if (nvme && capture->hasIdentify) {
        return Fail(fault, CaptureFault::kTwoDrives, size);
    }
    if (nvme && !capture->hasNvmeController) {
        return Fail(fault, CaptureFault::kNoNvmeIdentify, size);
    }
    if (nvme && !capture->hasNvmeHealth) {
        return Fail(fault, CaptureFault::kNoHealthLog, size);
    }
    if (!nvme && !capture->hasIdentify) {
        return Fail(fault, CaptureFault::kNoIdentify, size);
    }
    return true;
}
