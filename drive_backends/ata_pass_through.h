// The ATA commands of the scan carried in SCSI ATA PASS-THROUGH (16) CDBs,
// the form in which a SCSI/ATA Translation layer (libata, a SAT USB bridge)
// takes them. Pure byte work with no device behind it, so that the list of
// what may ever reach a disk can be tested on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "inventory/smart_records.h"

enum : uint8_t { kAtaPassThrough16 = 0x85 };
enum : uint32_t { kPassThroughCdbLength = 16 };

enum class AtaTransfer { kNone, kFromDevice };

struct PassThroughCommand {
    uint8_t cdb[kPassThroughCdbLength];
    AtaTransfer transfer;
    uint32_t transferLength;  // 0, or one 512-byte block (1 to 8 for Device Statistics)
};

// Turns one SMART I/O control into its pass-through command. Only the
// commands the scan may send are ever built, and the self-test routines
// only where selfTests is set (a run of --self-test, never a reading): SMART
// EXECUTE OFF-LINE IMMEDIATE with routine 01h or 02h through
// SMART_SEND_DRIVE_COMMAND, 03h or 7Fh through the ATA pass-through control.
// Otherwise: SMART ENABLE OPERATIONS through
// SMART_SEND_DRIVE_COMMAND; IDENTIFY DEVICE, IDENTIFY PACKET DEVICE, SMART
// READ DATA, SMART READ ATTRIBUTE THRESHOLDS and SMART READ LOG of the
// summary error log (01h), the self-test log (06h), the log directory (00h,
// one page) and the Device Statistics log (04h, 1 to 8 pages from page 0)
// through SMART_RCV_DRIVE_DATA; SMART RETURN STATUS (non-data, with CK_COND
// so that LBA mid and high come back) through SMART_SEND_DRIVE_COMMAND;
// CHECK POWER MODE (non-data, with CK_COND so that the
// count register comes back) through the ATA pass-through control.
// The CDB comes from a fixed table, not from the caller's registers, so no
// register value beyond the command, the SMART sub-command, the log
// address and the Device Statistics page count can reach the drive. Returns false, leaving *command
// untouched, for anything else.
bool BuildPassThrough(uint32_t ioControlCode, const IdeRegs& regs, PassThroughCommand* command,
                      bool selfTests = false);

// True only for a command that BuildPassThrough can produce. Checked again
// right before the ioctl, so that no other path hands the kernel a CDB.
bool IsPermittedPassThrough(const PassThroughCommand& command, bool selfTests = false);

// What SG_IO reported about one pass-through command.
struct PassThroughReply {
    uint8_t scsiStatus;  // the SCSI status byte, unshifted
    uint16_t hostStatus;
    uint16_t driverStatus;
    const uint8_t* sense;
    uint32_t senseLength;  // bytes of sense actually written
    int32_t residual;      // bytes asked for but not transferred
};

// The ATA registers a translation layer handed back in its sense data.
struct AtaStatusReturn {
    bool present = false;
    uint8_t error = 0;
    uint8_t count = 0;  // COUNT 7:0: CHECK POWER MODE's answer
    // LBA 15:8 and 23:16: SMART RETURN STATUS's answer.
    uint8_t lbaMid = 0;
    uint8_t lbaHigh = 0;
    uint8_t status = 0;
};

// Finds the ATA status return: the descriptor of type 09h in descriptor-
// format sense (ERROR at its byte 3, COUNT at 5, LBA 15:8 at 9, LBA 23:16 at
// 11, STATUS at 13), or the INFORMATION field of fixed-format sense that
// carries ATA PASS-THROUGH INFORMATION AVAILABLE (ERROR, STATUS, DEVICE,
// COUNT at bytes 3 to 6; LBA 15:8 and 23:16 in COMMAND-SPECIFIC
// INFORMATION, bytes 10 and 11).
// Kernels have sent either.
AtaStatusReturn FindAtaStatus(const uint8_t* sense, uint32_t senseLength);

// True when the command completed and the drive reported no error: GOOD
// status, or CHECK CONDITION whose only news is ATA PASS-THROUGH INFORMATION
// AVAILABLE (asked for with CK_COND); an ATA status, where returned, must
// show neither ERR, DF nor BSY; a data command must have moved its block.
bool PassThroughSucceeded(const PassThroughCommand& command, const PassThroughReply& reply);
