// What the program hands Windows' disk driver, checked once more right
// before DeviceIoControl: the driver would carry far more than the scan
// ever sends (any ATA command through the pass-through, any SMART routine),
// so nothing else may reach it, whatever a caller builds.
#pragma once

#include <cstdint>

// True only for a control and record that the scan itself sends, byte for
// byte as it builds them: SMART_GET_VERSION with no input; through
// SMART_RCV_DRIVE_DATA, IDENTIFY DEVICE, IDENTIFY PACKET DEVICE, SMART READ
// DATA, READ THRESHOLDS and READ LOG of the summary error log, the
// self-test log, the log directory (one page each) and the Device
// Statistics log (1 to 8 pages from page 0); through
// SMART_SEND_DRIVE_COMMAND, SMART ENABLE OPERATIONS, SMART RETURN STATUS
// and, with selfTests (a
// run of --self-test), the short or extended self-test; through the ATA
// pass-through, CHECK POWER MODE and, with selfTests, conveyance or abort;
// the NVMe property queries of Identify Controller, Identify Namespace, the
// health log and the self-test log. Every other control is refused.
bool IsPermittedWindowsControl(uint32_t code, const void* input, uint32_t inputLength,
                               bool selfTests);
