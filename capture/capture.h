// Drive captures in their tagged format: a
// sequence of sections, each a 4-byte ASCII tag, a 4-byte big-endian payload
// length and the payload.
#pragma once

#include <string>
#include <vector>

#include "capture/capture_sections.h"

// Parses a capture held in memory. On failure returns false and sets error to
// "NAME: offset N: what is wrong"; the capture is then unspecified.
bool ParseCapture(const uint8_t* data, size_t size, const std::string& name, DriveCapture* capture,
                  std::string* error);

// Reads and parses a capture file.
bool ReadCaptureFile(const std::string& path, DriveCapture* capture, std::string* error);

// The capture's sections in the order of the original format: IDFY, SMST,
// SMDT, SMTH, then our own PWRM, SMEL and SMSL; for an NVMe drive NVID, NVNS, NVHL.
std::vector<uint8_t> SerializeCapture(const DriveCapture& capture);

bool WriteCaptureFile(const std::string& path, const DriveCapture& capture, std::string* error);
