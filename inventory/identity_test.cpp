#include <gtest/gtest.h>

#include <cstring>

#include "inventory/drive_inventory.h"
#include "testing/emulated_driver/emulated_driver.h"
#include "capture/synthetic_capture.h"

namespace {

TEST(SwapBytePairsTest, SwapsWholeWords) {
    char text[] = "ABCDEFGH";
    SwapBytePairs(text, 8);
    EXPECT_STREQ("BADCFEHG", text);
    SwapBytePairs(text, 0);
    EXPECT_STREQ("BADCFEHG", text);
    // An odd length still swaps the word holding its last byte.
    char odd[] = "ABCD";
    SwapBytePairs(odd, 3);
    EXPECT_STREQ("BADC", odd);
}

TEST(TrimTrailingSpacesTest, CutsBlanksOnly) {
    char padded[] = "WD 2500   ";
    EXPECT_EQ(7, TrimTrailingSpaces(padded, 10));
    EXPECT_STREQ("WD 2500", padded);
    char blanks[] = "    ";
    EXPECT_EQ(1, TrimTrailingSpaces(blanks, 4));
    EXPECT_STREQ(" ", blanks);
    char nulEnded[8] = {'A', ' ', ' ', 0, 0, 0, 0, 0};
    EXPECT_EQ(8, TrimTrailingSpaces(nulEnded, 8));
    EXPECT_STREQ("A  ", nulEnded);
}

class IdentityTest : public ::testing::Test {
  protected:
    void Scan() { inventory.ScanDrives(driver); }
    std::string Name(int position, bool suffix, uint32_t* lengthOut = nullptr) {
        char buffer[50];
        uint32_t length = sizeof buffer;
        const char* name = inventory.GetModelName(buffer, &length, position, suffix);
        if (lengthOut) {
            *lengthOut = length;
        }
        return name ? name : "(null)";
    }
    EmulatedDriver driver{kPlatformWindowsNt};
    DriveInventory inventory;
};

TEST_F(IdentityTest, BlankPaddedFieldsAreTrimmed) {
    driver.InsertDrive(0, MakeCapture("ST320410A", "", "3.39"));
    Scan();
    char buffer[64];
    uint32_t length = sizeof buffer;
    ASSERT_NE(nullptr, inventory.GetSerialNumber(buffer, &length, 0));
    EXPECT_STREQ(" ", buffer);  // twenty blanks keep the first
    EXPECT_EQ(1u, length);
    length = sizeof buffer;
    EXPECT_STREQ("3.39", inventory.GetFirmwareRevision(buffer, &length, 0));
    EXPECT_EQ(4u, length);
    uint32_t modelLength = 0;
    EXPECT_EQ("ST320410A", Name(0, false, &modelLength));
    EXPECT_EQ(9u, modelLength);
}

TEST_F(IdentityTest, NulFieldsGiveEmptySerialButNullModel) {
    DriveCapture capture = MakeCapture("", "", "");
    std::memset(capture.identify + kSerialOffset, 0, kSerialWidth);
    std::memset(capture.identify + kModelOffset, 0, kModelWidth);
    driver.InsertDrive(0, capture);
    Scan();
    char buffer[64];
    uint32_t length = sizeof buffer;
    ASSERT_NE(nullptr, inventory.GetSerialNumber(buffer, &length, 0));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(20u, length);
    EXPECT_EQ("(null)", Name(0, false));
    EXPECT_EQ("(null)", Name(0, true));
}

TEST_F(IdentityTest, TextStopsAtANulInsideTheField) {
    DriveCapture capture = MakeCapture("MODEL", "", "");
    SetIdentifyText(&capture, kModelOffset, 6, std::string("AB\0CDE", 6));
    driver.InsertDrive(0, capture);
    Scan();
    EXPECT_EQ("AB", Name(0, true));
}

// Firmware that puts CR or LF into its texts must not break the report's
// lines or the drive list's names: they read as blanks, and trailing ones
// are trimmed with the rest of the padding.
TEST_F(IdentityTest, LineBreaksInTextsReadAsBlanks) {
    driver.InsertDrive(0, MakeCapture("HOSTILE\rDISK\r\nMODEL\n\r", "SER\rIAL\n", "1.0\n"));
    driver.InsertDrive(1, MakeCapture("HOSTILE DISK  MODEL", "", ""));
    Scan();
    uint32_t modelLength = 0;
    EXPECT_EQ("HOSTILE DISK  MODEL", Name(0, false, &modelLength));
    EXPECT_EQ(19u, modelLength);
    EXPECT_EQ("HOSTILE DISK  MODEL-1", Name(0, true));
    EXPECT_EQ("HOSTILE DISK  MODEL-2", Name(1, true));
    char buffer[64];
    uint32_t length = sizeof buffer;
    EXPECT_STREQ("SER IAL", inventory.GetSerialNumber(buffer, &length, 0));
    EXPECT_EQ(7u, length);
    length = sizeof buffer;
    EXPECT_STREQ("1.0", inventory.GetFirmwareRevision(buffer, &length, 0));
    EXPECT_EQ(3u, length);
}

TEST_F(IdentityTest, TooSmallBuffersAreRefusedUntouched) {
    driver.InsertDrive(0, MakeCapture("MODEL", "SERIAL", "FW"));
    Scan();
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    uint32_t length = 20;
    EXPECT_EQ(nullptr, inventory.GetSerialNumber(buffer, &length, 0));
    EXPECT_EQ(21u, length);
    length = 8;
    EXPECT_EQ(nullptr, inventory.GetFirmwareRevision(buffer, &length, 0));
    EXPECT_EQ(9u, length);
    length = 40;
    EXPECT_EQ(nullptr, inventory.GetModelName(buffer, &length, 0, false));
    EXPECT_EQ(43u, length);
    length = 41;
    EXPECT_EQ(nullptr, inventory.GetModelName(buffer, &length, 0, true));
    EXPECT_EQ(43u, length);
    EXPECT_EQ('x', buffer[0]);
    length = 41;
    EXPECT_STREQ("MODEL", inventory.GetModelName(buffer, &length, 0, false));
    length = 21;
    EXPECT_STREQ("SERIAL", inventory.GetSerialNumber(buffer, &length, 0));
}

TEST_F(IdentityTest, EmptyPositionGivesNullAndAClearedBuffer) {
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    uint32_t length = sizeof buffer;
    EXPECT_EQ(nullptr, inventory.GetSerialNumber(buffer, &length, 2));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(0, buffer[31]);
}

TEST_F(IdentityTest, TwoIdenticalModelsGetSuffixes) {
    driver.InsertDrive(0, MakeCapture("SAME DISK", "A", "1"));
    driver.InsertDrive(1, MakeCapture("OTHER", "B", "1"));
    driver.InsertDrive(2, MakeCapture("SAME DISK", "C", "1"));
    Scan();
    uint32_t length = 0;
    EXPECT_EQ("SAME DISK-1", Name(0, true, &length));
    EXPECT_EQ(9u, length);  // without the suffix
    EXPECT_EQ("OTHER", Name(1, true));
    EXPECT_EQ("SAME DISK-2", Name(2, true));
    EXPECT_EQ("SAME DISK", Name(2, false));
}

TEST_F(IdentityTest, ThreeIdenticalModelsCountUp) {
    driver.InsertDrive(0, MakeCapture("TRIPLE", "A", "1"));
    driver.InsertDrive(1, MakeCapture("TRIPLE", "B", "1"));
    driver.InsertDrive(3, MakeCapture("TRIPLE", "C", "1"));
    Scan();
    EXPECT_EQ("TRIPLE-1", Name(0, true));
    EXPECT_EQ("TRIPLE-2", Name(1, true));
    EXPECT_EQ("TRIPLE-3", Name(3, true));
}

// A suffix never makes a name another drive already has: every drive keeps
// a name of its own in the list.
TEST_F(IdentityTest, SuffixesSkipNamesOtherDrivesHave) {
    driver.InsertDrive(0, MakeCapture("X", "A", "1"));
    driver.InsertDrive(1, MakeCapture("X-1", "B", "1"));
    driver.InsertDrive(2, MakeCapture("X", "C", "1"));
    driver.InsertDrive(3, MakeCapture("X-3", "D", "1"));
    Scan();
    EXPECT_EQ("X-2", Name(0, true));
    EXPECT_EQ("X-1", Name(1, true));
    EXPECT_EQ("X-4", Name(2, true));
    EXPECT_EQ("X-3", Name(3, true));
}

TEST_F(IdentityTest, SuffixComparesTrimmedTextCaseSensitively) {
    DriveCapture padded = MakeCapture("DISK", "A", "1");  // blank-padded
    DriveCapture nulEnded = MakeCapture("DISK", "B", "1");
    std::memset(nulEnded.identify + kModelOffset + 4, 0, kModelWidth - 4);
    driver.InsertDrive(0, padded);
    driver.InsertDrive(1, nulEnded);
    driver.InsertDrive(2, MakeCapture("disk", "C", "1"));
    Scan();
    EXPECT_EQ("DISK-1", Name(0, true));
    EXPECT_EQ("DISK-2", Name(1, true));
    EXPECT_EQ("disk", Name(2, true));
}

TEST_F(IdentityTest, FullWidthModelWithSuffixFitsFortyThreeBytes) {
    const std::string model(40, 'M');
    driver.InsertDrive(0, MakeCapture(model, "A", "1"));
    driver.InsertDrive(3, MakeCapture(model, "B", "1"));
    Scan();
    char buffer[43];
    uint32_t length = sizeof buffer;
    ASSERT_NE(nullptr, inventory.GetModelName(buffer, &length, 3, true));
    EXPECT_EQ(model + "-2", std::string(buffer));
    EXPECT_EQ(40u, length);
}

}  // namespace
