/* The test driver's drive positions, answered by the rules the emulated
   driver uses (smart_driver_rules.h). A plain C face on them, because the
   kernel's headers build as C only. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Past the window's four, and far enough for a run of eight numbers that
   do not open (where vantrel-report's scan stops) with a drive behind it. */
#define DRIVE_BAY_COUNT 20
#define DRIVE_BAY_ALL_POSITIONS (-1) /* the device of SMARTVSD */
#define DRIVE_BAY_MAX_CAPTURE (64 * 1024)

/* Fills a position from a capture held in memory, ATA or NVMe; a packet
   device answers IDENTIFY PACKET DEVICE only. Returns 0 and the fault's kind and offset
   when the bytes are not a capture. */
int FitDriveBay(int position, int packet, const uint8_t* data, size_t size, int* faultKind,
                size_t* faultOffset);

/* Whether the device of a position opens: -1 is SMARTVSD, 0 upward
   PhysicalDrive0 upward. */
int DriveBayDeviceOpens(int devicePosition);

/* One buffered DeviceIoControl on that device from a 32-bit program or a
   64-bit one; non-zero on success, with the count of bytes written to output
   in *returned. */
int AnswerDriveBayIoControl(int devicePosition, int caller32, uint32_t code, const void* input,
                            uint32_t inputLength, void* output, uint32_t outputLength,
                            uint32_t* returned);

#ifdef __cplusplus
}
#endif
