#include "fuzz/scan_input.h"

#include <algorithm>
#include <cstring>

#include "inventory/drive_inventory.h"

namespace {

uint8_t ByteAt(const uint8_t* data, size_t size, size_t offset) {
    return offset < size ? data[offset] : 0;
}

void CopyBlock(const uint8_t* data, size_t size, size_t offset, uint8_t* out) {
    std::memset(out, 0, kScanInputBlockSize);
    if (offset < size) {
        std::memcpy(out, data + offset, std::min<size_t>(kScanInputBlockSize, size - offset));
    }
}

size_t BlockOffset(int position, int block) {
    return kScanInputHeaderSize + (3 * position + block) * kScanInputBlockSize;
}

}  // namespace

ScanInput DecodeScanInput(const uint8_t* data, size_t size) {
    ScanInput input;
    input.platform = ByteAt(data, size, 0) & 0x03;
    for (int p = 0; p < 4; ++p) {
        ScanInputPosition& position = input.positions[p];
        position.kind = ByteAt(data, size, 1 + 2 * p);
        position.failing = ByteAt(data, size, 2 + 2 * p);
        DriveCapture& capture = position.capture;
        capture.hasIdentify = true;
        capture.hasSmartData = (position.kind & kInputHasSmartData) != 0;
        capture.hasThresholds = (position.kind & kInputHasThresholds) != 0;
        capture.hasStatus = (position.kind & kInputHasStatus) != 0;
        CopyBlock(data, size, BlockOffset(p, 0), capture.identify);
        CopyBlock(data, size, BlockOffset(p, 1), capture.smartData);
        CopyBlock(data, size, BlockOffset(p, 2), capture.thresholds);
    }
    // Copied from the raw bytes as decoded, so that the order of positions
    // does not matter.
    uint8_t models[4][kModelWidth];
    for (int p = 0; p < 4; ++p) {
        std::memcpy(models[p], input.positions[p].capture.identify + kModelOffset, kModelWidth);
    }
    for (int p = 0; p < 4; ++p) {
        const uint8_t kind = input.positions[p].kind;
        if (kind & kInputCopyModel) {
            std::memcpy(input.positions[p].capture.identify + kModelOffset, models[kind >> 6],
                        kModelWidth);
        }
    }
    return input;
}

std::vector<uint8_t> EncodeScanInput(const ScanInput& input) {
    std::vector<uint8_t> out(kScanInputSize, 0);
    out[0] = input.platform;
    for (int p = 0; p < 4; ++p) {
        const ScanInputPosition& position = input.positions[p];
        out[1 + 2 * p] = position.kind;
        out[2 + 2 * p] = position.failing;
        std::memcpy(&out[BlockOffset(p, 0)], position.capture.identify, kScanInputBlockSize);
        std::memcpy(&out[BlockOffset(p, 1)], position.capture.smartData, kScanInputBlockSize);
        std::memcpy(&out[BlockOffset(p, 2)], position.capture.thresholds, kScanInputBlockSize);
    }
    return out;
}

void LoadScanInput(const ScanInput& input, EmulatedDriver* driver) {
    driver->SetPlatformId(input.platform);
    for (int p = 0; p < 4; ++p) {
        const ScanInputPosition& position = input.positions[p];
        switch (position.kind & kInputKindMask) {
            case kInputEmpty:
                continue;
            case kInputPacket:
                driver->InsertPacketDevice(p, position.capture.identify);
                break;
            default:
                driver->InsertDrive(p, position.capture);
                break;
        }
        for (int step = 0; step < kScanStepCount; ++step) {
            if (position.failing & (1u << step)) {
                driver->FailStep(p, static_cast<ScanStep>(step));
            }
        }
    }
}
