#include "inventory/ata_identity.h"

#include "inventory/feature_words.h"

namespace {

// Word 81's codes as the standards' minor version tables list them; a code
// not here reads as the highest major version word 80 claims.
struct MinorVersion {
    uint16_t code;
    const char* text;
};
const MinorVersion kMinorVersions[] = {
    {0x000D, "ATA/ATAPI-4 X3T13/1153D revision 6"},
    {0x000E, "ATA/ATAPI-4 T13/1153D revision 13"},
    {0x000F, "ATA/ATAPI-4 X3T13/1153D revision 7"},
    {0x0010, "ATA/ATAPI-4 T13/1153D revision 18"},
    {0x0011, "ATA/ATAPI-4 T13/1153D revision 15"},
    {0x0012, "ATA/ATAPI-4 published, ANSI INCITS 317-1998"},
    {0x0013, "ATA/ATAPI-5 T13/1321D revision 3"},
    {0x0014, "ATA/ATAPI-4 T13/1153D revision 14"},
    {0x0015, "ATA/ATAPI-5 T13/1321D revision 1"},
    {0x0016, "ATA/ATAPI-5 published, ANSI INCITS 340-2000"},
    {0x0017, "ATA/ATAPI-4 T13/1153D revision 17"},
    {0x0018, "ATA/ATAPI-6 T13/1410D revision 0"},
    {0x0019, "ATA/ATAPI-6 T13/1410D revision 3a"},
    {0x001A, "ATA/ATAPI-7 T13/1532D revision 1"},
    {0x001B, "ATA/ATAPI-6 T13/1410D revision 2"},
    {0x001C, "ATA/ATAPI-6 T13/1410D revision 1"},
    {0x001D, "ATA/ATAPI-7 published, ANSI INCITS 397-2005"},
    {0x001E, "ATA/ATAPI-7 T13/1532D revision 0"},
    {0x001F, "ACS-3 T13/2161-D revision 3b"},
    {0x0021, "ATA/ATAPI-7 T13/1532D revision 4a"},
    {0x0022, "ATA/ATAPI-6 published, ANSI INCITS 361-2002"},
    {0x0027, "ATA8-ACS T13/1699-D revision 3c"},
    {0x0028, "ATA8-ACS T13/1699-D revision 6"},
    {0x0029, "ATA8-ACS T13/1699-D revision 4"},
    {0x0031, "ACS-2 T13/2015-D revision 2"},
    {0x0033, "ATA8-ACS T13/1699-D revision 3e"},
    {0x0039, "ATA8-ACS T13/1699-D revision 4c"},
    {0x0042, "ATA8-ACS T13/1699-D revision 3f"},
    {0x0052, "ATA8-ACS T13/1699-D revision 3b"},
    {0x005E, "ACS-4 T13/BSR INCITS 529 revision 5"},
    {0x006D, "ACS-3 T13/2161-D revision 5"},
    {0x0082, "ACS-2 published, ANSI INCITS 482-2012"},
    {0x0107, "ATA8-ACS T13/1699-D revision 2d"},
    {0x010A, "ACS-3 published, ANSI INCITS 522-2014"},
    {0x0110, "ACS-2 T13/2015-D revision 3"},
    {0x011B, "ACS-3 T13/2161-D revision 4"},
};

// Word 80's bits 1 to 12, one standard each.
const char* const kMajorVersions[] = {
    nullptr,       "ATA-1",    "ATA-2", "ATA-3", "ATA/ATAPI-4", "ATA/ATAPI-5", "ATA/ATAPI-6",
    "ATA/ATAPI-7", "ATA8-ACS", "ACS-2", "ACS-3", "ACS-4",       "ACS-5"};

// Word 222's bits 0 to 10.
const char* const kSataVersions[] = {"ATA8-AST", "SATA 1.0a", "SATA II Ext", "SATA 2.5",
                                     "SATA 2.6", "SATA 3.0",  "SATA 3.1",    "SATA 3.2",
                                     "SATA 3.3", "SATA 3.4",  "SATA 3.5"};

// Word 168 bits 3-0, 1 to 9.
const char* const kFormFactors[] = {nullptr,      "5.25 inches",  "3.5 inches", "2.5 inches",
                                    "1.8 inches", "< 1.8 inches", "mSATA",      "M.2",
                                    "MicroSSD",   "CFast"};

// Generations 1 to 3 of the link: word 76's bits 1 to 3, word 77's coded value.
const struct {
    const char* text;
    uint32_t units;
} kGenerations[] = {{"1.5 Gb/s", 15}, {"3.0 Gb/s", 30}, {"6.0 Gb/s", 60}};

// A word that is neither 0000h nor FFFFh: the standards' "not reported".
bool Reported(uint16_t word) {
    return word != 0x0000 && word != 0xFFFF;
}

int HighestBit(uint32_t value) {
    int bit = -1;
    for (; value != 0; value >>= 1) {
        ++bit;
    }
    return bit;
}

LinkSpeed Generation(int generation, uint8_t sataValue) {
    LinkSpeed speed;
    speed.known = true;
    speed.sataValue = sataValue;
    speed.text = kGenerations[generation - 1].text;
    speed.unitsPerSecond = kGenerations[generation - 1].units;
    return speed;
}

void DecodeVersions(const IdentifyData& lower, AtaIdentity* identity) {
    const uint16_t major = IdentifyWord(lower, 80);
    const int highest = HighestBit(major & 0x1FFE);
    if (!Reported(major) || highest < 1) {
        return;
    }
    identity->hasAtaVersion = true;
    identity->ataMajor = major;
    identity->ataMinor = IdentifyWord(lower, 81);
    identity->ataVersion = kMajorVersions[highest];
    for (const MinorVersion& minor : kMinorVersions) {
        if (minor.code == identity->ataMinor) {
            identity->ataVersion = minor.text;
        }
    }
}

void DecodeLink(const IdentifyData& lower, AtaIdentity* identity) {
    // Word 76 (SATA capabilities) is valid when reported; word 77 says the
    // speed negotiated now in bits 3-1, where 0 is none reported.
    const uint16_t capabilities = IdentifyWord(lower, 76);
    if (!Reported(capabilities)) {
        return;
    }
    const int highest = HighestBit(capabilities & 0x000E);
    if (highest >= 1) {
        identity->maxSpeed = Generation(highest, static_cast<uint8_t>(capabilities & 0x000E));
    }
    const uint16_t current = IdentifyWord(lower, 77);
    const int coded = (current >> 1) & 0x7;
    if (Reported(current) && coded >= 1 && coded <= 3) {
        identity->currentSpeed = Generation(coded, static_cast<uint8_t>(coded));
    }
}

void DecodeWwn(const IdentifyData& lower, AtaIdentity* identity) {
    // Supported where word 84 or 87 is valid and has bit 8 set.
    if (!FeatureWordsSay(lower, 0x0100)) {
        return;
    }
    const uint16_t w108 = IdentifyWord(lower, 108);
    const uint16_t w109 = IdentifyWord(lower, 109);
    identity->hasWwn = true;
    identity->wwnNaa = static_cast<uint8_t>(w108 >> 12);
    identity->wwnOui = (uint32_t(w108 & 0x0FFF) << 12) | (w109 >> 4);
    identity->wwnId = (uint64_t(w109 & 0x000F) << 32) | (uint64_t(IdentifyWord(lower, 110)) << 16) |
                      IdentifyWord(lower, 111);
}

void DecodeUpper(const IdentifyData& lower, const IdentifyData& upper, AtaIdentity* identity) {
    // Word n >= 128 is word n - 128 of the upper half.
    const uint16_t rotation = IdentifyWord(upper, 217 - 128);
    if (rotation == 0x0001 || (rotation >= 0x0401 && rotation <= 0xFFFE)) {
        identity->hasRotationRate = true;
        identity->rotationRate = rotation == 0x0001 ? 0 : rotation;
    }
    const uint8_t form = IdentifyWord(upper, 168 - 128) & 0x000F;
    if (form >= 1 && form <= 9) {
        identity->hasFormFactor = true;
        identity->formFactor = form;
        identity->formFactorName = kFormFactors[form];
    }
    // TRIM (word 169 bit 0) arrived with ATA8-ACS; on an older drive the
    // word is reserved and says nothing either way. Word 69 says what a
    // trimmed sector then reads: the same each time (bit 14), zeros (bit 5).
    const bool trim = (IdentifyWord(upper, 169 - 128) & 0x0001) != 0;
    if (trim || (identity->hasAtaVersion && HighestBit(identity->ataMajor & 0x1FFE) >= 8)) {
        identity->hasTrim = true;
        identity->trimSupported = trim;
        const uint16_t w69 = IdentifyWord(lower, 69);
        identity->trimDeterministic = trim && (w69 & 0x4000) != 0;
        identity->trimZeroed = trim && (w69 & 0x0020) != 0;
    }
    // Word 222: bits 15-12 name the transport, 1 for Serial; bits 11-0 the
    // versions it complies with.
    const uint16_t transport = IdentifyWord(upper, 222 - 128);
    const int version = HighestBit(transport & 0x07FF);
    if (Reported(transport) && (transport >> 12) == 0x1 && version >= 0) {
        identity->hasSataVersion = true;
        identity->sataValue = transport & 0x0FFF;
        identity->sataVersion = kSataVersions[version];
    }
}

}  // namespace

AtaIdentity DecodeAtaIdentity(const IdentifyData& lower, const IdentifyData* upper,
                              uint32_t logicalSectorSize) {
    AtaIdentity identity;
    DecodeVersions(lower, &identity);
    DecodeLink(lower, &identity);
    DecodeWwn(lower, &identity);
    // Word 106, where valid: bit 13 says a physical sector holds 2^(bits
    // 3-0) logical ones.
    const uint16_t w106 = IdentifyWord(lower, 106);
    if (ValidFeatureWord(w106)) {
        identity.hasPhysicalBlockSize = true;
        identity.physicalBlockSize = logicalSectorSize << ((w106 & 0x2000) ? (w106 & 0x000F) : 0);
    }
    if (upper) {
        DecodeUpper(lower, *upper, &identity);
    }
    return identity;
}
