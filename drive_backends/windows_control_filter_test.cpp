#include "drive_backends/windows_control_filter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"
#include "inventory/smart_driver.h"

namespace {

SmartCommandRecord SmartRecord(uint8_t feature, uint8_t sectorNumber) {
    SmartCommandRecord record;
    std::memset(&record, 0, sizeof record);
    record.irDriveRegs.bFeaturesReg = feature;
    record.irDriveRegs.bSectorNumberReg = sectorNumber;
    record.irDriveRegs.bCylLowReg = kSmartCylLow;
    record.irDriveRegs.bCylHighReg = kSmartCylHigh;
    record.irDriveRegs.bCommandReg = kAtaSmart;
    return record;
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
    AtaPassThroughRecord powerMode;
    BuildCheckPowerMode(&powerMode);
    for (const bool selfTests : {false, true}) {
        EXPECT_TRUE(IsPermittedWindowsControl(kSmartSendDriveCommand, &enable, kCommandInputLength,
                                              selfTests));
        EXPECT_TRUE(IsPermittedWindowsControl(kAtaPassThroughControl, &powerMode, sizeof powerMode,
                                              selfTests));
        EXPECT_TRUE(IsPermittedWindowsControl(kSmartRcvDriveData, nullptr, 0, selfTests));
    }
}

// Anything else the disk driver would carry is stopped: other SMART
// sub-commands that change state, other ATA commands through either
// control, and records cut short.
TEST(WindowsControlFilterTest, OtherCommandsNeverReachTheDriver) {
    const uint8_t stateChanging[] = {0xD9 /* disable */, 0xD2 /* autosave */, 0xD6 /* write log */,
                                     0xDA /* return status */, 0xDB /* auto off-line */};
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

}  // namespace
