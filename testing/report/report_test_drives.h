// Drives shared by the report tests.
#pragma once

#include "capture/capture.h"
#include "capture/synthetic_capture.h"

// A drive whose every report line carries a value worth checking: a serial
// of NUL bytes, per-cent signs in its texts, 0xFFFF words, a 32-bit value
// with only its top bit set, a quotient that must be cut, not rounded.
inline DriveCapture GoldenDrive() {
    DriveCapture c = MakeCapture("VANTREL GOLDEN 100% DISK", "", "%s%d1.2");
    for (int i = 20; i < 40; ++i) {
        c.identify[i] = 0;
    }
    const struct {
        int word;
        uint16_t value;
    } words[] = {{0, 0x045A},  {1, 16383},   {3, 16},      {4, 0xFFFF},  {6, 63},      {7, 0xFFFF},
                 {8, 0x00AB},  {9, 0},       {20, 3},      {21, 0xFFFF}, {22, 4},      {47, 0x8010},
                 {48, 0},      {49, 0x0F00}, {51, 0x0200}, {52, 0x0200}, {53, 7},      {54, 16383},
                 {55, 16},     {56, 63},     {57, 0x0000}, {58, 0x8000}, {59, 0x0110}, {60, 0x5678},
                 {61, 0x1234}, {62, 0},      {63, 0x0407}};
    for (const auto& w : words) {
        SetIdentifyWord(&c, w.word, w.value);
    }
    SetAttribute(&c, 0, 1, 100, 100, 0x0706000001FFull, 50);  // high raw bytes not shown
    SetAttribute(&c, 1, 3, 91, 90, 5, 90);                    // WARNING, "5ms"
    SetAttribute(&c, 3, 9, 100, 100, 7, 0);                   // after an empty slot
    SetAttribute(&c, 4, 194, 40, 60, 30, 0);
    SetAttribute(&c, 5, 5, 20, 20, 0xFFFFFFFF, 36);  // FAIL, -1
    SetAttribute(&c, 6, 201, 255, 255, 1000, 245);   // unknown id, WARNING
    return c;
}
