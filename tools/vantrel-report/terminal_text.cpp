#include "tools/vantrel-report/terminal_text.h"

#include "inventory/drive_inventory.h"

void MaskDriveTexts(DriveInventory* inventory) {
    static const struct {
        int offset;
        int width;
    } kTexts[] = {{kSerialOffset, kSerialWidth},
                  {kFirmwareOffset, kFirmwareWidth},
                  {kModelOffset, kModelWidth}};
    for (DriveEntry& entry : inventory->entries) {
        for (const auto& text : kTexts) {
            for (int at = text.offset; at < text.offset + text.width; ++at) {
                uint8_t& byte = entry.Identify.bytes[at];
                // A NUL ends the text as the drive pads it; it is not shown.
                if (byte != 0 && (byte < 0x20 || byte > 0x7E)) {
                    byte = '?';
                }
            }
        }
    }
}
