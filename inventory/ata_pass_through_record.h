// ATA_PASS_THROUGH_EX, the record of the NT family's IOCTL_ATA_PASS_THROUGH,
// laid out as the platform's header publishes it, and the only commands ever
// sent with it: CHECK POWER MODE, which asks a drive whether it is spinning
// without spinning it up, and the two self-test routines that the disk
// driver will not carry through SMART_SEND_DRIVE_COMMAND. Header-only and freestanding, so that the
// scan, the backends and the kernel-mode test driver read the same layout.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "inventory/smart_records.h"

// Both layouts, as the platform's headers publish them: the data buffer
// offset is pointer-sized, so the record is 40 bytes for a 32-bit caller
// and 48 for a 64-bit one, where the offset is 8-aligned at 24. 64-bit
// Windows accepts a 32-bit program's record in its own layout (the driver
// header's ATA_PASS_THROUGH_EX32) and answers in it, so a stand-in for that
// system must know both, whichever bitness it is built for.
struct AtaPassThroughRecord32 {
    uint16_t Length;
    uint16_t AtaFlags;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t ReservedAsUchar;
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;  // seconds
    uint32_t ReservedAsUlong;
    uint32_t DataBufferOffset;
    uint8_t PreviousTaskFile[8];
    // Sent: features, count, LBA low, mid, high, device, command. Returned:
    // error, count, LBA low, mid, high, device, status.
    uint8_t CurrentTaskFile[8];
};

struct AtaPassThroughRecord64 {
    uint16_t Length;
    uint16_t AtaFlags;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t ReservedAsUchar;
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;  // seconds
    uint32_t ReservedAsUlong;
    uint32_t AlignmentPadding;  // what the 64-bit compiler inserts before the offset
    uint64_t DataBufferOffset;
    uint8_t PreviousTaskFile[8];
    uint8_t CurrentTaskFile[8];
};

static_assert(sizeof(AtaPassThroughRecord32) == 40 && alignof(AtaPassThroughRecord32) == 4,
              "ATA_PASS_THROUGH_EX32 is 40 bytes");
static_assert(offsetof(AtaPassThroughRecord32, DataBufferOffset) == 20 &&
                  offsetof(AtaPassThroughRecord32, PreviousTaskFile) == 24 &&
                  offsetof(AtaPassThroughRecord32, CurrentTaskFile) == 32,
              "the 32-bit offset follows ReservedAsUlong; the task files end the record");
static_assert(sizeof(AtaPassThroughRecord64) == 48, "ATA_PASS_THROUGH_EX is 48 bytes in 64-bit");
static_assert(offsetof(AtaPassThroughRecord64, DataBufferOffset) == 24 &&
                  offsetof(AtaPassThroughRecord64, PreviousTaskFile) == 32 &&
                  offsetof(AtaPassThroughRecord64, CurrentTaskFile) == 40,
              "the 64-bit offset is 8-aligned at 24; the task files end the record");

// The layout this program itself sends.
template <bool k64Bit>
struct AtaPassThroughLayout {
    typedef AtaPassThroughRecord64 Record;
};
template <>
struct AtaPassThroughLayout<false> {
    typedef AtaPassThroughRecord32 Record;
};
typedef AtaPassThroughLayout<sizeof(void*) == 8>::Record AtaPassThroughRecord;

// Who sent a record: a driver on 64-bit Windows serves callers of both
// bitnesses, every other answerer its own.
enum class CallerBits { kNative, k32, k64 };

enum : uint16_t {
    kAtaFlagsDrdyRequired = 0x01,
    kAtaFlagsDataIn = 0x02,
    kAtaFlagsDataOut = 0x04,
};
enum { kTaskFileCount = 1, kTaskFileDevice = 5, kTaskFileCommand = 6 };
enum : uint8_t { kAtaStatusDriveReady = 0x40, kAtaStatusError = 0x01 };

// The record that asks CHECK POWER MODE: non-data, no LBA or count.
template <typename Record>
inline void BuildCheckPowerMode(Record* record) {
    memset(record, 0, sizeof *record);
    record->Length = sizeof *record;
    record->AtaFlags = kAtaFlagsDrdyRequired;
    record->TimeOutValue = 10;
    record->CurrentTaskFile[kTaskFileDevice] = 0xA0;
    record->CurrentTaskFile[kTaskFileCommand] = kAtaCheckPowerMode;
}

// True only for a record BuildCheckPowerMode makes in that layout: whoever
// answers the control passes nothing else on to a drive.
template <typename Record>
inline bool IsCheckPowerModeRecordIn(const void* input, uint32_t inputLength) {
    if (input == NULL || inputLength != sizeof(Record)) {
        return false;
    }
    Record expected;
    BuildCheckPowerMode(&expected);
    return memcmp(input, &expected, sizeof expected) == 0;
}

// The record a driver hands back for CHECK POWER MODE: the question with
// the drive's registers in CurrentTaskFile (count, device, a ready status).
template <typename Record>
inline uint32_t AnswerCheckPowerModeIn(const void* question, uint8_t count, void* output) {
    Record record;
    memcpy(&record, question, sizeof record);
    memset(record.CurrentTaskFile, 0, sizeof record.CurrentTaskFile);
    record.CurrentTaskFile[kTaskFileCount] = count;
    record.CurrentTaskFile[kTaskFileDevice] = 0xA0;
    record.CurrentTaskFile[kTaskFileCommand] = kAtaStatusDriveReady;
    memcpy(output, &record, sizeof record);
    return sizeof record;
}

// The caller's layout, or none when its bitness is known and the length is
// the other one's: 0 when the record is not CHECK POWER MODE as that caller
// builds it, else the record's size.
inline uint32_t CheckPowerModeLayout(const void* input, uint32_t inputLength, CallerBits caller) {
    if (caller == CallerBits::kNative) {
        caller = sizeof(void*) == 8 ? CallerBits::k64 : CallerBits::k32;
    }
    if (caller == CallerBits::k32) {
        return IsCheckPowerModeRecordIn<AtaPassThroughRecord32>(input, inputLength)
                   ? sizeof(AtaPassThroughRecord32)
                   : 0;
    }
    return IsCheckPowerModeRecordIn<AtaPassThroughRecord64>(input, inputLength)
               ? sizeof(AtaPassThroughRecord64)
               : 0;
}

inline bool IsCheckPowerModeRecord(const void* input, uint32_t inputLength,
                                   CallerBits caller = CallerBits::kNative) {
    return CheckPowerModeLayout(input, inputLength, caller) != 0;
}

// The answer in the layout CheckPowerModeLayout found for the question.
inline uint32_t AnswerCheckPowerMode(const void* question, uint32_t layout, uint8_t count,
                                     void* output) {
    return layout == sizeof(AtaPassThroughRecord64)
               ? AnswerCheckPowerModeIn<AtaPassThroughRecord64>(question, count, output)
               : AnswerCheckPowerModeIn<AtaPassThroughRecord32>(question, count, output);
}

enum { kTaskFileFeatures = 0, kTaskFileLbaLow = 2, kTaskFileLbaMid = 3, kTaskFileLbaHigh = 4 };
enum : uint8_t { kAtaErrorAborted = 0x04 };

// The self-test routines that go through the pass-through: conveyance (03h)
// and abort (7Fh). Windows' disk driver passes only routines 00h to 02h
// through SMART_SEND_DRIVE_COMMAND.
inline bool IsPassThroughSelfTestRoutine(uint8_t routine) {
    return routine == 0x03 || routine == 0x7F;
}

// The record that runs SMART EXECUTE OFF-LINE IMMEDIATE with one of those
// routines: non-data, the routine in LBA 7:0, the SMART signature in LBA
// 23:8. The drive runs the test in the background and answers at once.
template <typename Record>
inline void BuildSmartSelfTest(Record* record, uint8_t routine) {
    memset(record, 0, sizeof *record);
    record->Length = sizeof *record;
    record->AtaFlags = kAtaFlagsDrdyRequired;
    record->TimeOutValue = 10;
    record->CurrentTaskFile[kTaskFileFeatures] = kSmartExecuteOffline;
    record->CurrentTaskFile[kTaskFileLbaLow] = routine;
    record->CurrentTaskFile[kTaskFileLbaMid] = kSmartCylLow;
    record->CurrentTaskFile[kTaskFileLbaHigh] = kSmartCylHigh;
    record->CurrentTaskFile[kTaskFileDevice] = 0xA0;
    record->CurrentTaskFile[kTaskFileCommand] = kAtaSmart;
}

// The routine of a record BuildSmartSelfTest makes in that layout with a
// pass-through routine, or 0 for any other record.
template <typename Record>
inline uint8_t SelfTestRecordRoutineIn(const void* input, uint32_t inputLength) {
    if (input == NULL || inputLength != sizeof(Record)) {
        return 0;
    }
    const uint8_t routines[] = {0x03, 0x7F};
    for (size_t i = 0; i < sizeof routines; ++i) {
        Record expected;
        BuildSmartSelfTest(&expected, routines[i]);
        if (memcmp(input, &expected, sizeof expected) == 0) {
            return routines[i];
        }
    }
    return 0;
}

// As CheckPowerModeLayout, for the self-test record: the record's size in
// the caller's layout, with its routine in *routine; 0 for anything else.
inline uint32_t SelfTestLayout(const void* input, uint32_t inputLength, CallerBits caller,
                               uint8_t* routine) {
    if (caller == CallerBits::kNative) {
        caller = sizeof(void*) == 8 ? CallerBits::k64 : CallerBits::k32;
    }
    *routine = caller == CallerBits::k32
                   ? SelfTestRecordRoutineIn<AtaPassThroughRecord32>(input, inputLength)
                   : SelfTestRecordRoutineIn<AtaPassThroughRecord64>(input, inputLength);
    if (*routine == 0) {
        return 0;
    }
    return caller == CallerBits::k32 ? sizeof(AtaPassThroughRecord32)
                                     : sizeof(AtaPassThroughRecord64);
}

// The record handed back for a self-test routine: the drive's registers,
// a ready status, or an error status with ABORTED where the drive refused.
template <typename Record>
inline uint32_t AnswerSelfTestIn(const void* question, bool accepted, void* output) {
    Record record;
    memcpy(&record, question, sizeof record);
    memset(record.CurrentTaskFile, 0, sizeof record.CurrentTaskFile);
    record.CurrentTaskFile[kTaskFileFeatures] = accepted ? 0 : kAtaErrorAborted;
    record.CurrentTaskFile[kTaskFileDevice] = 0xA0;
    record.CurrentTaskFile[kTaskFileCommand] =
        static_cast<uint8_t>(kAtaStatusDriveReady | (accepted ? 0 : kAtaStatusError));
    memcpy(output, &record, sizeof record);
    return sizeof record;
}

inline uint32_t AnswerSelfTest(const void* question, uint32_t layout, bool accepted, void* output) {
    return layout == sizeof(AtaPassThroughRecord64)
               ? AnswerSelfTestIn<AtaPassThroughRecord64>(question, accepted, output)
               : AnswerSelfTestIn<AtaPassThroughRecord32>(question, accepted, output);
}
