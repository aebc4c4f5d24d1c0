#include "drive_backends/windows_control_filter.h"

#include <cstring>

#include "inventory/ata_pass_through_record.h"
#include "inventory/nvme_query.h"
#include "inventory/smart_driver.h"

bool IsPermittedWindowsControl(uint32_t code, const void* input, uint32_t inputLength,
                               bool selfTests) {
    if (code == kAtaPassThroughControl) {
        uint8_t routine = 0;
        return IsCheckPowerModeRecord(input, inputLength) ||
               (selfTests && SelfTestLayout(input, inputLength, CallerBits::kNative, &routine));
    }
    // An NVMe drive's Device Self-test is not sent on Windows yet.
    if (code == kStorageProtocolCommand) {
        return false;
    }
    if (code != kSmartSendDriveCommand) {
        return true;
    }
    if (input == nullptr || inputLength < kCommandInputLength) {
        return false;
    }
    SmartCommandRecord record;
    std::memcpy(&record, input, kCommandInputLength);
    const IdeRegs& regs = record.irDriveRegs;
    if (regs.bCommandReg != kAtaSmart || regs.bCylLowReg != kSmartCylLow ||
        regs.bCylHighReg != kSmartCylHigh) {
        return false;
    }
    if (regs.bFeaturesReg == kSmartEnableOperations) {
        return true;
    }
    return selfTests && regs.bFeaturesReg == kSmartExecuteOffline &&
           (regs.bSectorNumberReg == 0x01 || regs.bSectorNumberReg == 0x02);
}
