#include "drive_backends/windows_control_filter.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "testing/emulated_driver/emulated_driver.h"
#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"
#include "inventory/smart_channel.h"
#include "inventory/smart_driver.h"

namespace {

// The scan's builders hand their records to a driver that takes none, so
// that the records can be read back as they were sent.
const DeviceHandle kNowhere = VANTREL_INVALID_DEVICE;

// SMART_SEND_DRIVE_COMMAND's record as the scan builds it for drive 0, with
// another feature where asked.
SmartCommandRecord SmartRecord(uint8_t feature, uint8_t sectorNumber) {
    SmartCommandRecord record;
    std::memset(&record, 0, sizeof record);
    EmulatedDriver driver;
    uint8_t reply[kReplyHeadLength];
    SendSelfTest(driver, kNowhere, &record, reply, sectorNumber, 0);
    record.irDriveRegs.bFeaturesReg = feature;
    return record;
}

// A control and its record; the scan's are kept apart by whether only a
// run of --self-test sends them.
typedef std::set<std::pair<uint32_t, std::vector<uint8_t>>> Records;

// Every record the scan sends, made by its own builders: the SMART commands
// of inventory/smart_channel.h to drives 0 and 1 (master and slave), the
// ATA pass-through records, the NVMe queries.
void ScanRecords(Records* reading, Records* selfTests) {
    EmulatedDriver driver;
    SmartCommandRecord command;
    std::memset(&command, 0, sizeof command);
    uint8_t reply[kStatisticsReplyLength];
    for (const int drive : {0, 1}) {
        SendEnableSmart(driver, kNowhere, &command, reply, drive, nullptr);
        SendIdentify(driver, kNowhere, &command, reply, kAtaIdentifyDevice, drive, nullptr);
        SendIdentify(driver, kNowhere, &command, reply, kAtaIdentifyPacketDevice, drive, nullptr);
        ReadSmartAttributes(driver, kNowhere, &command, reply, drive);
        ReadSmartThresholds(driver, kNowhere, &command, reply, drive);
        for (const uint8_t log : {kSummaryErrorLog, kSelfTestLog, kLogDirectory}) {
            ReadSmartLog(driver, kNowhere, &command, reply, log, drive);
        }
        for (uint8_t pages = 1; pages <= kMaxStatisticsPages; ++pages) {
            ReadDeviceStatistics(driver, kNowhere, &command, reply, pages, drive);
        }
        SendReturnStatus(driver, kNowhere, &command, reply, drive, nullptr);
        SendSelfTest(driver, kNowhere, &command, reply, 0x01, drive);
        SendSelfTest(driver, kNowhere, &command, reply, 0x02, drive);
    }
    reading->insert({kSmartGetVersion, {}});
    for (const DriverCall& call : driver.Calls()) {
        (call.input[4] == kSmartExecuteOffline ? selfTests : reading)
            ->insert({call.code, call.input});
    }
    AtaPassThroughRecord records[3];
    BuildCheckPowerMode(&records[0]);
    BuildSmartSelfTest(&records[1], 0x03);
    BuildSmartSelfTest(&records[2], 0x7F);
    for (const AtaPassThroughRecord& record : records) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
        (&record == records ? reading : selfTests)
            ->insert({kAtaPassThroughControl, {bytes, bytes + sizeof record}});
    }
    for (const NvmeQuery& query : {IdentifyControllerQuery(), IdentifyNamespaceQuery(),
                                   HealthLogQuery(), SelfTestLogQuery()}) {
        std::vector<uint8_t> buffer(kProtocolDataStart + query.length);
        BuildNvmeQuery(query, buffer.data());
        reading->insert({kStorageQueryProperty, buffer});
    }
}

// Of every SMART routine (LBA 7:0 of EXECUTE OFF-LINE IMMEDIATE), only the
// short and extended self-tests go through SMART_SEND_DRIVE_COMMAND, and
// only in a self-test run; conveyance and abort through the pass-through,
// likewise. A reading lets through what it always sent.
TEST(WindowsControlFilterTest, SelfTestRoutinesPassOnlyInASelfTestRun) {
    for (int routine = 0; routine < 256; ++routine) {
        const SmartCommandRecord send = SmartRecord(kSmartExecuteOffline, uint8_t(routine));
        AtaPassThroughRecord record;
        BuildSmartSelfTest(&record, uint8_t(routine));
        for (const bool selfTests : {false, true}) {
            EXPECT_EQ(selfTests && (routine == 1 || routine == 2),
                      IsPermittedWindowsControl(kSmartSendDriveCommand, &send, kCommandInputLength,
                                                selfTests))
                << routine;
            EXPECT_EQ(selfTests && (routine == 3 || routine == 0x7F),
                      IsPermittedWindowsControl(kAtaPassThroughControl, &record, sizeof record,
                                                selfTests))
                << routine;
        }
    }
    const SmartCommandRecord enable = SmartRecord(kSmartEnableOperations, 1);
    const SmartCommandRecord returnStatus = SmartRecord(kSmartReturnStatus, 1);
    AtaPassThroughRecord powerMode;
    BuildCheckPowerMode(&powerMode);
    for (const bool selfTests : {false, true}) {
        EXPECT_TRUE(IsPermittedWindowsControl(kSmartSendDriveCommand, &enable, kCommandInputLength,
                                              selfTests));
        EXPECT_TRUE(IsPermittedWindowsControl(kSmartSendDriveCommand, &returnStatus,
                                              kCommandInputLength, selfTests));
        EXPECT_TRUE(IsPermittedWindowsControl(kAtaPassThroughControl, &powerMode, sizeof powerMode,
                                              selfTests));
        EXPECT_TRUE(IsPermittedWindowsControl(kSmartGetVersion, nullptr, 0, selfTests));
    }
}

// Anything else the disk driver would carry is stopped: other SMART
// sub-commands that change state, other ATA commands through either
// control, and records cut short.
TEST(WindowsControlFilterTest, OtherCommandsNeverReachTheDriver) {
    const uint8_t stateChanging[] = {0xD9 /* disable */, 0xD2 /* autosave */, 0xD6 /* write log */,
                                     0xDB /* auto off-line */};
    for (const uint8_t feature : stateChanging) {
        const SmartCommandRecord record = SmartRecord(feature, 1);
        EXPECT_FALSE(
            IsPermittedWindowsControl(kSmartSendDriveCommand, &record, kCommandInputLength, true))
            << int(feature);
    }
    SmartCommandRecord notSmart = SmartRecord(kSmartEnableOperations, 1);
    notSmart.irDriveRegs.bCommandReg = 0xE0;  // STANDBY IMMEDIATE
    EXPECT_FALSE(
        IsPermittedWindowsControl(kSmartSendDriveCommand, &notSmart, kCommandInputLength, true));
    const SmartCommandRecord shortTest = SmartRecord(kSmartExecuteOffline, 1);
    EXPECT_FALSE(IsPermittedWindowsControl(kSmartSendDriveCommand, &shortTest,
                                           kCommandInputLength - 1, true));
    AtaPassThroughRecord standby;
    BuildCheckPowerMode(&standby);
    standby.CurrentTaskFile[kTaskFileCommand] = 0xE0;
    EXPECT_FALSE(IsPermittedWindowsControl(kAtaPassThroughControl, &standby, sizeof standby, true));
    AtaPassThroughRecord abort;
    BuildSmartSelfTest(&abort, 0x7F);
    EXPECT_FALSE(IsPermittedWindowsControl(kAtaPassThroughControl, &abort, sizeof abort - 8, true));
    uint8_t nvme[kProtocolCommandLength];
    BuildNvmeSelfTestCommand(0x1, nvme);
    EXPECT_FALSE(IsPermittedWindowsControl(kStorageProtocolCommand, nvme, sizeof nvme, true));
}

// Each record the scan sends passes, a self-test only in a self-test run;
// changed in any one byte (a SMART record's to any value), a byte more or
// less, no input, or on any other control (IOCTL_STORAGE_PROTOCOL_COMMAND,
// SCSI_PASS_THROUGH(_DIRECT), ATA_PASS_THROUGH_DIRECT,
// DISK_SET_DRIVE_LAYOUT(_EX), DISK_GET_DRIVE_GEOMETRY, none at all), it
// passes only where that makes another record the scan sends.
TEST(WindowsControlFilterTest, OnlyTheRecordsTheScanBuildsPass) {
    Records reading, selfTestRun;
    ScanRecords(&reading, &selfTestRun);
    const uint32_t codes[] = {kSmartGetVersion,
                              kSmartRcvDriveData,
                              kSmartSendDriveCommand,
                              kAtaPassThroughControl,
                              kStorageQueryProperty,
                              kStorageProtocolCommand,
                              0x4D004,
                              0x4D014,
                              0x4D030,
                              0x7C010,
                              0x7C054,
                              0x70000,
                              0x12345};
    for (const Records* records : {&reading, &selfTestRun}) {
        for (const auto& sent : *records) {
            const uint32_t length = uint32_t(sent.second.size());
            std::vector<uint8_t> input = sent.second;
            input.push_back(0);  // a byte more
            uint8_t* in = input.data();
            for (const bool selfTests : {false, true}) {
                const auto passes = [&](uint32_t code) {
                    const std::pair<uint32_t, std::vector<uint8_t>> record(code, {in, in + length});
                    return reading.count(record) + (selfTests ? selfTestRun.count(record) : 0) > 0;
                };
                for (const uint32_t code : codes) {
                    EXPECT_EQ(passes(code), IsPermittedWindowsControl(code, in, length, selfTests))
                        << code << " " << length;
                }
                for (uint32_t at = 0; at < length; ++at) {
                    // Any drive number of the right parity would pass.
                    const bool every = length == kCommandInputLength &&
                                       at != offsetof(SmartCommandRecord, bDriveNumber);
                    for (int value = 0; value < (every ? 256 : 1); ++value) {
                        in[at] = static_cast<uint8_t>(every ? value : ~sent.second[at]);
                        EXPECT_EQ(passes(sent.first),
                                  IsPermittedWindowsControl(sent.first, in, length, selfTests))
                            << sent.first << " byte " << at << " = " << int(in[at]);
                    }
                    in[at] = sent.second[at];
                }
                EXPECT_FALSE(IsPermittedWindowsControl(sent.first, in, length + 1, selfTests));
                EXPECT_FALSE(length &&
                             IsPermittedWindowsControl(sent.first, in, length - 1, selfTests));
                EXPECT_FALSE(length &&
                             IsPermittedWindowsControl(sent.first, nullptr, length, selfTests));
            }
        }
    }
    // Nine Device Statistics pages, their buffer with them.
    SmartCommandRecord nine;
    std::memset(&nine, 0, sizeof nine);
    EmulatedDriver driver;
    uint8_t reply[kStatisticsReplyLength];
    ReadDeviceStatistics(driver, kNowhere, &nine, reply, kMaxStatisticsPages, 0);
    nine.irDriveRegs.bSectorCountReg = kMaxStatisticsPages + 1;
    nine.cBufferSize += kSectorLength;
    EXPECT_FALSE(IsPermittedWindowsControl(kSmartRcvDriveData, &nine, kCommandInputLength, true));
}

}  // namespace
