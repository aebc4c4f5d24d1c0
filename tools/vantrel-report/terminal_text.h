// What a drive says about itself reaches a terminal only as printable text:
// an ESC or BEL in a model or serial number (from a capture someone shared,
// say) would otherwise retitle the window, clear the screen or erase lines.
#pragma once

#include <cstdio>

class DriveInventory;

// Replaces every byte outside 0x20-0x7E of each drive's model number, serial
// number and firmware revision by '?'. Every output mode reads the drives'
// texts from the inventory, so masking there covers them all.
void MaskDriveTexts(DriveInventory* inventory);

// True when stream is a terminal (or on Windows a console).
bool IsTerminal(FILE* stream);
