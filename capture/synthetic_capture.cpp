#include "capture/synthetic_capture.h"

#include <cstring>

#include "inventory/drive_inventory.h"

DriveCapture MakeCapture(const std::string& model, const std::string& serial,
                         const std::string& firmware) {
    DriveCapture capture;
    capture.hasIdentify = true;
    SetIdentifyText(&capture, kSerialOffset, kSerialWidth, serial);
    SetIdentifyText(&capture, kFirmwareOffset, kFirmwareWidth, firmware);
    SetIdentifyText(&capture, kModelOffset, kModelWidth, model);
    capture.hasStatus = true;
    capture.status[3] = 1;
    capture.hasSmartData = true;
    capture.smartData[0] = 0x10;
    capture.hasThresholds = true;
    capture.thresholds[0] = 0x10;
    SealSmartBlocks(&capture);
    return capture;
}

void SealSmartBlocks(DriveCapture* capture) {
    for (uint8_t* block : {capture->smartData, capture->thresholds}) {
        uint8_t sum = 0;
        for (int i = 0; i < 511; ++i) {
            sum = static_cast<uint8_t>(sum + block[i]);
        }
        block[511] = static_cast<uint8_t>(-sum);
    }
}

void SetIdentifyText(DriveCapture* capture, int offset, int width, const std::string& text) {
    for (int i = 0; i < width; ++i) {
        const char c = i < static_cast<int>(text.size()) ? text[i] : ' ';
        capture->identify[offset + (i ^ 1)] = static_cast<uint8_t>(c);
    }
}

void SetIdentifyWord(DriveCapture* capture, int word, uint16_t value) {
    capture->identify[2 * word] = static_cast<uint8_t>(value);
    capture->identify[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

void SetAttribute(DriveCapture* capture, int slot, uint8_t id, uint8_t value, uint8_t worst,
                  uint64_t raw, uint8_t threshold) {
    uint8_t* attribute = capture->smartData + 2 + 12 * slot;
    std::memset(attribute, 0, 12);
    attribute[0] = id;
    attribute[1] = 0x03;  // pre-failure, online
    attribute[3] = value;
    attribute[4] = worst;
    for (int i = 0; i < 6; ++i) {
        attribute[5 + i] = static_cast<uint8_t>(raw >> (8 * i));
    }
    uint8_t* limit = capture->thresholds + 2 + 12 * slot;
    std::memset(limit, 0, 12);
    limit[0] = id;
    limit[1] = threshold;
    SealSmartBlocks(capture);
}
