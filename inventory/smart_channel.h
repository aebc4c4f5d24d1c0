// The drive commands of the scan, each one DeviceIoControl on the
// driver seam. The caller owns and zeroes the command record and the reply.
#pragma once

#include <cstdint>

#include "inventory/drive_inventory.h"
#include "inventory/smart_driver.h"
#include "inventory/smart_records.h"

bool IsWindows9x(SmartDriver& driver);

int SendEnableSmart(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                    uint8_t* reply, int position, uint32_t* bytesReturned);

// commandByte is IDENTIFY DEVICE (0xEC) or IDENTIFY PACKET DEVICE (0xA1).
int SendIdentify(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                 uint8_t* reply, uint8_t commandByte, int position, uint32_t* bytesReturned);

int ReadSmartAttributes(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                        uint8_t* reply, int position);

int ReadSmartThresholds(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                        uint8_t* reply, int position);

// SMART READ LOG of one 512-byte log: the summary error log (01h), the
// self-test log (06h) or the log directory (00h).
int ReadSmartLog(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                 uint8_t* reply, uint8_t logAddress, int position);

// SMART READ LOG of the Device Statistics log's pages 0 to pages - 1 (1 to
// kMaxStatisticsPages) in one command; reply holds kReplyHeadLength + pages
// blocks.
int ReadDeviceStatistics(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                         uint8_t* reply, uint8_t pages, int position);

// SMART EXECUTE OFF-LINE IMMEDIATE through SMART_SEND_DRIVE_COMMAND, with the
// routine in the sector number register (LBA 7:0). reply holds
// kReplyHeadLength bytes; the drive's refusal may come back as a success of
// the control with an error in its driver status.
int SendSelfTest(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                 uint8_t* reply, uint8_t routine, int position);

// SMART RETURN STATUS through SMART_SEND_DRIVE_COMMAND. reply holds
// kReturnStatusReplyLength bytes: the head, then the drive's registers.
int SendReturnStatus(SmartDriver& driver, DeviceHandle device, SmartCommandRecord* command,
                     uint8_t* reply, int position, uint32_t* bytesReturned);

// The drive's answer in a reply of SendReturnStatus that returned bytes:
// passed or failed by the cylinder registers, kNone for a short reply, a
// refusal in the driver status, or any other register value.
SelfAssessment DecodeReturnStatus(const uint8_t* reply, uint32_t returned);
