// Builds drive captures by hand: the sample drives of the demo program and
// the edge cases of the tests. Texts are stored as a drive returns them,
// blank-padded with the two bytes of every word swapped.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "capture/capture.h"

// An IDENTIFY block with the given texts, SMART data with no attribute and
// thresholds all zero; the SMART blocks' checksums hold, as a real drive's do.
DriveCapture MakeCapture(const std::string& model, const std::string& serial,
                         const std::string& firmware);

void SetIdentifyText(DriveCapture* capture, int offset, int width, const std::string& text);
void SetIdentifyWord(DriveCapture* capture, int word, uint16_t value);

// Fills attribute slot `slot` (0 to 29) and the threshold slot of the same
// index, and seals both blocks again. raw holds the six raw bytes, least
// significant first.
void SetAttribute(DriveCapture* capture, int slot, uint8_t id, uint8_t value, uint8_t worst,
                  uint64_t raw, uint8_t threshold);

// Sets byte 511 of the SMART data, thresholds and log blocks so that each
// sums to 0, after a test wrote into them directly.
void SealSmartBlocks(DriveCapture* capture);

// Logs one more error in the summary error log (error register, the 28-bit
// LBA, lifetime hours), or one more self-test in the self-test log, and has
// the SMART data say that the drive keeps that log.
void AddLoggedError(DriveCapture* capture, uint8_t error, uint32_t lba, uint16_t hours);
void AddSelfTest(DriveCapture* capture, uint8_t type, uint8_t status, uint16_t hours, uint32_t lba);

// Gives the capture a log directory (SLDR) that lists the Device Statistics
// log with the given number of pages (0: not listed), and the Device
// Statistics pages 0 to the highest listed (DVST): page 0 lists `listed`,
// every page's header names itself at revision 1.
void AddDeviceStatistics(DriveCapture* capture, std::initializer_list<uint8_t> listed);
// Sets one statistic's QWORD: its flags (the top byte) and its value.
void SetStatistic(DriveCapture* capture, uint8_t page, uint8_t offset, uint8_t flags,
                  uint64_t value);
