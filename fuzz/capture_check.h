// What the capture reader promises for any bytes at all: it loads them or
// refuses them with a message that names the file, and what it loads comes
// back unchanged through the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Returns an empty string when every promise holds, else what broke.
std::string CheckCaptureBytes(const uint8_t* data, size_t size);
