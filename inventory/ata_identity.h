// What IDENTIFY DEVICE says about the drive beyond its texts and capacity,
// decoded once: rotation, form factor, TRIM, the ATA and SATA versions, the
// link speeds, the world wide name and the physical sector size. Each value
// is there only where the drive's words are valid; a word the drive leaves
// unreported gives nothing rather than a guess.
#pragma once

#include <cstdint>

#include "inventory/drive_inventory.h"

// A SATA link speed: the coded value the word holds, and the speed in units
// of 100 Mb/s ("6.0 Gb/s" is 60 units).
struct LinkSpeed {
    bool known = false;
    uint8_t sataValue = 0;
    const char* text = "";
    uint32_t unitsPerSecond = 0;

    static constexpr uint64_t kBitsPerUnit = 100000000;
    uint64_t BitsPerSecond() const { return unitsPerSecond * kBitsPerUnit; }
};

struct AtaIdentity {
    bool hasRotationRate = false;
    uint16_t rotationRate = 0;  // rpm; 0 for solid state

    bool hasFormFactor = false;
    uint8_t formFactor = 0;
    const char* formFactorName = "";

    bool hasTrim = false;  // whether the drive says either way
    bool trimSupported = false;
    bool trimDeterministic = false;
    bool trimZeroed = false;

    bool hasAtaVersion = false;
    uint16_t ataMajor = 0;
    uint16_t ataMinor = 0;
    const char* ataVersion = "";

    bool hasSataVersion = false;
    uint16_t sataValue = 0;  // word 222 bits 11-0
    const char* sataVersion = "";

    LinkSpeed maxSpeed;
    LinkSpeed currentSpeed;

    bool hasWwn = false;
    uint8_t wwnNaa = 0;
    uint32_t wwnOui = 0;
    uint64_t wwnId = 0;

    bool hasPhysicalBlockSize = false;
    uint32_t physicalBlockSize = 0;
};

// Words 0 to 127 and 128 to 255 (null where they were not kept), and the
// logical sector size the physical one is a multiple of.
AtaIdentity DecodeAtaIdentity(const IdentifyData& lower, const IdentifyData* upper,
                              uint32_t logicalSectorSize);
