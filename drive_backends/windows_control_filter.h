// What the program hands Windows' disk driver, checked once more right
// before DeviceIoControl: the driver would carry far more than the scan
// ever sends (any ATA command through the pass-through, any SMART routine),
// so nothing else may reach it, whatever a caller builds.
#pragma once

#include <cstdint>

// True for every control but the two that can change a drive's state: the
// ATA pass-through, which may carry CHECK POWER MODE, and with selfTests
// (a run of --self-test) conveyance or abort; and SMART_SEND_DRIVE_COMMAND,
// which may carry SMART ENABLE OPERATIONS, and with selfTests the short or
// extended self-test.
bool IsPermittedWindowsControl(uint32_t code, const void* input, uint32_t inputLength,
                               bool selfTests);
