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
    for (uint8_t* block :
         {capture->smartData, capture->thresholds, capture->errorLog, capture->selfTestLog}) {
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

void AddLoggedError(DriveCapture* capture, uint8_t error, uint32_t lba, uint16_t hours) {
    uint8_t* log = capture->errorLog;
    capture->hasErrorLog = true;
    capture->smartData[370] |= 0x01;
    const int count = log[452] | (log[453] << 8);
    log[0] = 1;
    log[1] = static_cast<uint8_t>(log[1] % 5 + 1);
    uint8_t* data = log + 2 + 90 * (log[1] - 1) + 60;
    const uint8_t registers[] = {0,
                                 error,
                                 1,
                                 static_cast<uint8_t>(lba),
                                 static_cast<uint8_t>(lba >> 8),
                                 static_cast<uint8_t>(lba >> 16),
                                 static_cast<uint8_t>(0xE0 | ((lba >> 24) & 0x0F)),
                                 0x51};
    std::memcpy(data, registers, sizeof registers);
    data[28] = static_cast<uint8_t>(hours);
    data[29] = static_cast<uint8_t>(hours >> 8);
    log[452] = static_cast<uint8_t>(count + 1);
    log[453] = static_cast<uint8_t>((count + 1) >> 8);
    SealSmartBlocks(capture);
}

void AddSelfTest(DriveCapture* capture, uint8_t type, uint8_t status, uint16_t hours,
                 uint32_t lba) {
    uint8_t* log = capture->selfTestLog;
    capture->hasSelfTestLog = true;
    capture->smartData[367] |= 0x10;
    log[0] = 1;
    log[508] = static_cast<uint8_t>(log[508] % 21 + 1);
    uint8_t* entry = log + 2 + 24 * (log[508] - 1);
    const uint8_t bytes[] = {type,
                             status,
                             static_cast<uint8_t>(hours),
                             static_cast<uint8_t>(hours >> 8),
                             0,
                             static_cast<uint8_t>(lba),
                             static_cast<uint8_t>(lba >> 8),
                             static_cast<uint8_t>(lba >> 16),
                             static_cast<uint8_t>(lba >> 24)};
    std::memcpy(entry, bytes, sizeof bytes);
    SealSmartBlocks(capture);
}

void AddDeviceStatistics(DriveCapture* capture, std::initializer_list<uint8_t> listed) {
    uint8_t highest = 0;
    for (const uint8_t page : listed) {
        highest = page > highest ? page : highest;
    }
    const uint8_t pages = static_cast<uint8_t>(highest + 1);
    capture->hasLogDirectory = true;
    capture->logDirectory[0] = 1;  // version
    capture->logDirectory[2 * 0x04] = pages;
    capture->hasDeviceStatistics = true;
    capture->deviceStatisticsPages = pages;
    std::memset(capture->deviceStatistics, 0, sizeof capture->deviceStatistics);
    uint8_t* list = capture->deviceStatistics;
    list[0] = 1;
    list[8] = static_cast<uint8_t>(listed.size());
    int entry = 0;
    for (const uint8_t page : listed) {
        list[9 + entry++] = page;
        capture->deviceStatistics[512 * page] = 1;
        capture->deviceStatistics[512 * page + 2] = page;
    }
}

void SetStatistic(DriveCapture* capture, uint8_t page, uint8_t offset, uint8_t flags,
                  uint64_t value) {
    uint8_t* at = capture->deviceStatistics + 512 * page + offset;
    for (int i = 0; i < 7; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    at[7] = flags;
}
