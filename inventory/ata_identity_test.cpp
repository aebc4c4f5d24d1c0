#include "inventory/ata_identity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

struct Halves {
    IdentifyData lower;
    IdentifyData upper;
};

Halves Words(const std::vector<std::pair<int, uint16_t>>& words) {
    uint8_t block[512] = {};
    for (const auto& word : words) {
        block[2 * word.first] = static_cast<uint8_t>(word.second);
        block[2 * word.first + 1] = static_cast<uint8_t>(word.second >> 8);
    }
    Halves halves;
    std::memcpy(halves.lower.bytes, block, 256);
    std::memcpy(halves.upper.bytes, block + 256, 256);
    return halves;
}

AtaIdentity Decode(const std::vector<std::pair<int, uint16_t>>& words) {
    const Halves halves = Words(words);
    return DecodeAtaIdentity(halves.lower, &halves.upper, 512);
}

// Each word alone: what it gives, and what an unreported value leaves out.
TEST(AtaIdentityTest, RotationAndFormFactor) {
    const struct {
        uint16_t word217;
        bool has;
        uint16_t rpm;
    } rotations[] = {{0x0000, false, 0},     {0x0001, true, 0},      {0x0002, false, 0},
                     {0x0400, false, 0},     {0x0401, true, 0x0401}, {5400, true, 5400},
                     {0xFFFE, true, 0xFFFE}, {0xFFFF, false, 0}};
    for (const auto& r : rotations) {
        const AtaIdentity identity = Decode({{217, r.word217}});
        EXPECT_EQ(r.has, identity.hasRotationRate) << r.word217;
        EXPECT_EQ(r.rpm, identity.rotationRate) << r.word217;
    }
    const struct {
        uint16_t word168;
        const char* name;  // null: absent
    } forms[] = {{0, nullptr},    {1, "5.25 inches"}, {2, "3.5 inches"}, {3, "2.5 inches"},
                 {0x0007, "M.2"}, {0xFFF9, "CFast"},  {0x000A, nullptr}, {0x000F, nullptr}};
    for (const auto& f : forms) {
        const AtaIdentity identity = Decode({{168, f.word168}});
        EXPECT_EQ(f.name != nullptr, identity.hasFormFactor) << f.word168;
        EXPECT_STREQ(f.name ? f.name : "", identity.formFactorName) << f.word168;
    }
}

TEST(AtaIdentityTest, VersionsTrimLinkWwnAndSectors) {
    AtaIdentity old = Decode({{80, 0x007E}, {81, 0x0000}, {76, 0}, {222, 0}});
    EXPECT_TRUE(old.hasAtaVersion);
    EXPECT_STREQ("ATA/ATAPI-6", old.ataVersion);  // highest major bit, no minor
    EXPECT_FALSE(old.hasTrim);                    // before ATA8-ACS: not said
    EXPECT_FALSE(old.maxSpeed.known || old.currentSpeed.known || old.hasSataVersion);
    EXPECT_FALSE(old.hasWwn || old.hasPhysicalBlockSize);
    EXPECT_FALSE(Decode({{80, 0xFFFF}}).hasAtaVersion);
    EXPECT_FALSE(Decode({{80, 0x0001}}).hasAtaVersion);  // reserved bit 0 only

    const AtaIdentity modern = Decode({{80, 0x01F0},
                                       {81, 0x0029},
                                       {76, 0x0006},
                                       {77, 0x0002},
                                       {222, 0x1020},
                                       {84, 0x4100},
                                       {108, 0x5001},
                                       {109, 0x2345},
                                       {110, 0x6789},
                                       {111, 0xABCD},
                                       {106, 0x6002},
                                       {169, 0x0001},
                                       {69, 0x4000}});
    EXPECT_STREQ("ATA8-ACS T13/1699-D revision 4", modern.ataVersion);
    EXPECT_TRUE(modern.hasTrim && modern.trimSupported && modern.trimDeterministic);
    EXPECT_FALSE(modern.trimZeroed);
    EXPECT_STREQ("3.0 Gb/s", modern.maxSpeed.text);
    EXPECT_EQ(6, modern.maxSpeed.sataValue);
    EXPECT_EQ(3000000000u, modern.maxSpeed.BitsPerSecond());
    EXPECT_STREQ("1.5 Gb/s", modern.currentSpeed.text);
    EXPECT_EQ(1, modern.currentSpeed.sataValue);
    EXPECT_STREQ("SATA 3.0", modern.sataVersion);
    EXPECT_EQ(0x020, modern.sataValue);
    EXPECT_EQ(5, modern.wwnNaa);
    EXPECT_EQ(0x001234u, modern.wwnOui);
    EXPECT_EQ(0x56789ABCDull, modern.wwnId);
    EXPECT_EQ(2048u, modern.physicalBlockSize);

    // A transport that is not Serial, a feature word that is not valid.
    EXPECT_FALSE(Decode({{222, 0x0020}}).hasSataVersion);
    EXPECT_FALSE(Decode({{84, 0x8100}, {87, 0x0100}}).hasWwn);
    EXPECT_FALSE(Decode({{106, 0xC000}}).hasPhysicalBlockSize);
    EXPECT_FALSE(Decode({{76, 0x0006}, {77, 0x0008}}).currentSpeed.known);  // coded 4: reserved

    // Without words 128 to 255, nothing is taken from them.
    const Halves halves = Words({{217, 1}, {168, 3}, {169, 1}, {222, 0x1020}, {80, 0x01F0}});
    const AtaIdentity lowerOnly = DecodeAtaIdentity(halves.lower, nullptr, 512);
    EXPECT_TRUE(lowerOnly.hasAtaVersion);
    EXPECT_FALSE(lowerOnly.hasRotationRate || lowerOnly.hasFormFactor || lowerOnly.hasTrim ||
                 lowerOnly.hasSataVersion);
}

}  // namespace
