#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "inventory/drive_inventory.h"

namespace {

class StoreAttributesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(data, 0, sizeof data);
        std::memset(thresholds, 0, sizeof thresholds);
    }
    void Slot(int slot, uint8_t id, uint8_t value, uint8_t thresholdId, uint8_t threshold) {
        data[2 + 12 * slot] = id;
        data[2 + 12 * slot + 3] = value;
        thresholds[2 + 12 * slot] = thresholdId;
        thresholds[2 + 12 * slot + 1] = threshold;
    }
    AttributeRecord Record(int index) {
        AttributeRecord record;
        std::memset(&record, 0, sizeof record);
        EXPECT_TRUE(inventory.GetAttribute(0, index, &record));
        return record;
    }
    uint8_t data[512];
    uint8_t thresholds[512];
    DriveInventory inventory;
};

TEST_F(StoreAttributesTest, GapsArePackedInSlotOrder) {
    Slot(0, 1, 100, 1, 10);
    Slot(2, 3, 90, 3, 20);
    Slot(29, 9, 80, 9, 30);
    inventory.StoreAttributes(data, thresholds, 0);
    ASSERT_EQ(3, inventory.GetAttributeCount(0));
    EXPECT_EQ(1, Record(0).Attribute[0]);
    EXPECT_EQ(3, Record(1).Attribute[0]);
    EXPECT_EQ(9, Record(2).Attribute[0]);
    EXPECT_EQ(30, Record(2).Threshold[1]);
    AttributeRecord record;
    EXPECT_FALSE(inventory.GetAttribute(0, 3, &record));
    EXPECT_FALSE(inventory.GetAttribute(0, -1, &record));
}

TEST_F(StoreAttributesTest, ThresholdsPairBySlotNotById) {
    Slot(0, 5, 100, 7, 36);  // the threshold slot names another id
    inventory.StoreAttributes(data, thresholds, 0);
    const AttributeRecord record = Record(0);
    EXPECT_EQ(5, record.Attribute[0]);
    EXPECT_EQ(7, record.Threshold[0]);
    EXPECT_EQ(36, record.Threshold[1]);
}

TEST_F(StoreAttributesTest, AllEmptyYieldsAnEmptyArray) {
    inventory.StoreAttributes(data, thresholds, 1);
    EXPECT_EQ(0, inventory.GetAttributeCount(1));
    EXPECT_NE(nullptr, inventory.attributes[1]);
}

TEST_F(StoreAttributesTest, RevisionsAreSignExtendedFirstBytes) {
    data[0] = 0xFE;
    data[1] = 0x12;
    thresholds[0] = 0x10;
    inventory.StoreAttributes(data, thresholds, 0);
    EXPECT_EQ(-2, inventory.attributeRevision[0]);
    EXPECT_EQ(16, inventory.thresholdRevision[0]);
}

TEST_F(StoreAttributesTest, SlotBytesAreCopiedWhole) {
    for (int i = 0; i < 12; ++i) {
        data[2 + 12 * 4 + i] = static_cast<uint8_t>(0xC2 + i);
        thresholds[2 + 12 * 4 + i] = static_cast<uint8_t>(0x40 + i);
    }
    inventory.StoreAttributes(data, thresholds, 0);
    const AttributeRecord record = Record(0);
    EXPECT_EQ(0, std::memcmp(record.Attribute, data + 2 + 48, 12));
    EXPECT_EQ(0, std::memcmp(record.Threshold, thresholds + 2 + 48, 12));
}

std::string Describe(uint8_t id) {
    AttributeRecord record;
    std::memset(&record, 0x7F, sizeof record);
    record.Attribute[0] = id;
    NameAttribute(&record);
    return record.Description;
}

TEST(NameAttributeTest, EveryTextIsPaddedToThirtySixCharacters) {
    EXPECT_EQ("Raw Read Error Rate                 ", Describe(1));
    EXPECT_EQ("Temperature                         ", Describe(194));
    EXPECT_EQ("Offline Scan Incorrect. Sector Count", Describe(198));
    EXPECT_EQ("No Attribute Here                   ", Describe(0));
    EXPECT_EQ("(Unknown attribute)                 ", Describe(195));
    EXPECT_EQ("(Unknown attribute)                 ", Describe(201));
    EXPECT_EQ("(Unknown attribute)                 ", Describe(13));
    EXPECT_EQ("Write Error Count                   ", Describe(200));
    for (int id = 0; id < 256; ++id) {
        EXPECT_EQ(36u, Describe(static_cast<uint8_t>(id)).size()) << id;
    }
}

}  // namespace
