#include "capture/capture_recorder.h"
#include "inventory/windows_device_names.h"

#include <gtest/gtest.h>

#include "testing/emulated_driver/emulated_driver.h"
#include "capture/synthetic_capture.h"

namespace {

// Without SMST: the scan never asks for SMART RETURN STATUS.
DriveCapture Drive(const std::string& model, const std::string& serial,
                   const std::string& firmware) {
    DriveCapture capture = MakeCapture(model, serial, firmware);
    capture.hasStatus = false;
    SetAttribute(&capture, 0, 194, 40, 55, 40, 0);
    SetAttribute(&capture, 1, 5, 100, 100, 3, 36);
    return capture;
}

TEST(CaptureRecorderTest, ScanThroughTheRecorderKeepsWhatEachDriveSent) {
    const DriveCapture first = Drive("ALPHA", "S-1", "1.0");
    DriveCapture third = Drive("GAMMA", "S-3", "3.0");
    third.hasThresholds = false;
    EmulatedDriver emulated(kPlatformWindowsNt);
    emulated.InsertDrive(0, first);
    emulated.InsertDrive(2, third);
    CaptureRecorder recorder(emulated);
    DriveInventory inventory;
    inventory.ScanDrives(recorder);

    EXPECT_EQ(SerializeCapture(first), SerializeCapture(recorder.Capture(0)));
    EXPECT_EQ(SerializeCapture(third), SerializeCapture(recorder.Capture(2)));
    EXPECT_FALSE(recorder.Capture(2).hasThresholds);
    EXPECT_FALSE(recorder.Capture(1).hasIdentify);
    EXPECT_EQ(2, inventory.GetAttributeCount(0)) << "the recorder changes nothing that passes";
}

TEST(CaptureRecorderTest, Windows9xScanIsRecordedToo) {
    const DriveCapture second = Drive("BETA", "S-2", "2.0");
    EmulatedDriver emulated(kPlatformWindows9x);
    emulated.InsertDrive(1, second);
    CaptureRecorder recorder(emulated);
    DriveInventory inventory;
    inventory.ScanDrives(recorder);
    EXPECT_EQ(SerializeCapture(second), SerializeCapture(recorder.Capture(1)));
}

TEST(CaptureRecorderTest, FailedCommandsLeaveNoSection) {
    EmulatedDriver emulated(kPlatformWindowsNt);
    DriveCapture withStatus = MakeCapture("ALPHA", "S-1", "1.0");
    withStatus.hasStatus = true;
    emulated.InsertDrive(0, withStatus);
    emulated.FailStep(0, ScanStep::kReadData);
    CaptureRecorder recorder(emulated);
    DriveInventory inventory;
    inventory.ScanDrives(recorder);
    EXPECT_TRUE(recorder.Capture(0).hasIdentify);
    EXPECT_FALSE(recorder.Capture(0).hasSmartData);
    EXPECT_FALSE(recorder.Capture(0).hasThresholds);
    EXPECT_FALSE(recorder.Capture(0).hasStatus);
}

TEST(CaptureFileNameTest, ModelAndFirmwareWithBlanksAsUnderscores) {
    EmulatedDriver emulated;
    emulated.InsertDrive(0, Drive("WDC WD2500JS-75NCB3", "S", "10.02E04"));
    emulated.InsertDrive(1, Drive("ACME/DISK *1 \"X\"", "S", "A:B\\C"));
    emulated.InsertDrive(3, Drive(".HIDDEN", "S", "1"));
    DriveInventory inventory;
    inventory.ScanDrives(emulated);
    EXPECT_EQ("WDC_WD2500JS-75NCB3--10.02E04.smart", CaptureFileName(inventory, 0));
    EXPECT_EQ("ACME_DISK__1__X_--A_B_C.smart", CaptureFileName(inventory, 1));
    EXPECT_EQ("", CaptureFileName(inventory, 2));
    EXPECT_EQ("_HIDDEN--1.smart", CaptureFileName(inventory, 3));
}

// A stem that Windows opens as a device gets a leading '_' on every system;
// a longer or different stem is left alone.
TEST(CaptureFileNameTest, WindowsDeviceNamesGetALeadingUnderscore) {
    const char* const cases[][3] = {
        {"NUL.", "x", "_NUL.--x.smart"},   {"AUX.", "1", "_AUX.--1.smart"},
        {"COM1.", "1", "_COM1.--1.smart"}, {"lpt9", "1", "lpt9--1.smart"},
        {"con . ", "1", "con_.--1.smart"}, {"CONOUT$.", "1", "CONOUT_.--1.smart"},
        {"NULL.", "1", "NULL.--1.smart"},  {"COM10.", "1", "COM10.--1.smart"},
    };
    for (const auto& c : cases) {
        EmulatedDriver emulated;
        emulated.InsertDrive(0, Drive(c[0], "S", c[1]));
        DriveInventory inventory;
        inventory.ScanDrives(emulated);
        EXPECT_EQ(c[2], CaptureFileName(inventory, 0)) << c[0];
    }
    for (const char* name :
         {"CON", "prn.txt", "Aux .smart", "COM0", "LPT5.x.y", "conin$", "NUL.."}) {
        EXPECT_TRUE(IsWindowsDeviceName(name)) << name;
    }
    for (const char* name : {"CONX", "COM", "LPT10", "_NUL", "NUL_.txt", "", ".NUL"}) {
        EXPECT_FALSE(IsWindowsDeviceName(name)) << name;
    }
}

TEST(CaptureFileNameTest, IdenticalDrivesGetTheListSuffixes) {
    EmulatedDriver emulated;
    emulated.InsertDrive(0, Drive("QEMU HARDDISK", "A", "2.5+"));
    emulated.InsertDrive(2, Drive("QEMU HARDDISK", "B", "2.5+"));
    DriveInventory inventory;
    inventory.ScanDrives(emulated);
    EXPECT_EQ("QEMU_HARDDISK-1--2.5+.smart", CaptureFileName(inventory, 0));
    EXPECT_EQ("QEMU_HARDDISK-2--2.5+.smart", CaptureFileName(inventory, 2));
}

}  // namespace
