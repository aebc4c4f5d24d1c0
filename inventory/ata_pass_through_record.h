// ATA_PASS_THROUGH_EX, the record of the NT family's IOCTL_ATA_PASS_THROUGH,
// laid out as the platform's header publishes it, and the one command ever
// sent with it: CHECK POWER MODE, which asks a drive whether it is spinning
// without spinning it up. Header-only and freestanding, so that the scan,
// the backends and the kernel-mode test driver read the same layout.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "inventory/smart_records.h"

// Natural alignment, as the header declares it: the data buffer offset is
// pointer-sized, so the record is 40 bytes in a 32-bit build and 48 in a
// 64-bit one, where the offset moves to 24.
struct AtaPassThroughRecord {
    uint16_t Length;
    uint16_t AtaFlags;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t ReservedAsUchar;
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;  // seconds
    uint32_t ReservedAsUlong;
    uintptr_t DataBufferOffset;
    uint8_t PreviousTaskFile[8];
    // Sent: features, count, LBA low, mid, high, device, command. Returned:
    // error, count, LBA low, mid, high, device, status.
    uint8_t CurrentTaskFile[8];
};

static_assert(sizeof(AtaPassThroughRecord) == (sizeof(void*) == 8 ? 48 : 40),
              "ATA_PASS_THROUGH_EX is 40 bytes in 32-bit builds, 48 in 64-bit ones");
static_assert(offsetof(AtaPassThroughRecord, DataBufferOffset) == (sizeof(void*) == 8 ? 24 : 20),
              "DataBufferOffset follows ReservedAsUlong, pointer-aligned");
static_assert(offsetof(AtaPassThroughRecord, CurrentTaskFile) == (sizeof(void*) == 8 ? 40 : 32),
              "CurrentTaskFile ends the record");

enum : uint16_t {
    kAtaFlagsDrdyRequired = 0x01,
    kAtaFlagsDataIn = 0x02,
    kAtaFlagsDataOut = 0x04,
};
enum { kTaskFileCount = 1, kTaskFileDevice = 5, kTaskFileCommand = 6 };
enum : uint8_t { kAtaStatusDriveReady = 0x40, kAtaStatusError = 0x01 };

// The record that asks CHECK POWER MODE: non-data, no LBA or count.
inline void BuildCheckPowerMode(AtaPassThroughRecord* record) {
    memset(record, 0, sizeof *record);
    record->Length = sizeof *record;
    record->AtaFlags = kAtaFlagsDrdyRequired;
    record->TimeOutValue = 10;
    record->CurrentTaskFile[kTaskFileDevice] = 0xA0;
    record->CurrentTaskFile[kTaskFileCommand] = kAtaCheckPowerMode;
}

// The record a driver hands back for CHECK POWER MODE: the question with
// the drive's registers in CurrentTaskFile (count, device, a ready status).
inline uint32_t AnswerCheckPowerMode(const void* question, uint8_t count, void* output) {
    AtaPassThroughRecord record;
    memcpy(&record, question, sizeof record);
    memset(record.CurrentTaskFile, 0, sizeof record.CurrentTaskFile);
    record.CurrentTaskFile[kTaskFileCount] = count;
    record.CurrentTaskFile[kTaskFileDevice] = 0xA0;
    record.CurrentTaskFile[kTaskFileCommand] = kAtaStatusDriveReady;
    memcpy(output, &record, sizeof record);
    return sizeof record;
}

// True only for a record BuildCheckPowerMode makes: whoever answers the
// control passes nothing else on to a drive.
inline bool IsCheckPowerModeRecord(const void* input, uint32_t inputLength) {
    if (input == NULL || inputLength != sizeof(AtaPassThroughRecord)) {
        return false;
    }
    AtaPassThroughRecord expected;
    BuildCheckPowerMode(&expected);
    return memcmp(input, &expected, sizeof expected) == 0;
}
