// Start-up, the drive list and Get Info, on the real dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "capture/synthetic_capture.h"
#include "report/attribute_format.h"
#include "report/report_text.h"
#include "ui/globals.h"
#include "testing/ui/ui_test_support.h"

namespace {

DriveCapture Drive(const std::string& model, int attributes) {
    DriveCapture capture = MakeCapture(model, "SN-" + model, "FW1");
    const uint8_t ids[] = {1, 3, 5, 7, 9, 194};
    for (int i = 0; i < attributes && i < 6; ++i) {
        SetAttribute(&capture, 2 * i, ids[i], static_cast<uint8_t>(100 - i), 90,
                     static_cast<uint64_t>(i * 1000 + 7), static_cast<uint8_t>(20 * i));
    }
    return capture;
}

TEST(StartupTest, NoDriveWarnsBeforeTheWindowShowsAndDisablesTheDriveControls) {
    ResetTestMachine();
    DialogCatcher catcher;
    catcher.Then(DialogCatcher::Press(IDOK));
    MainWindow main;
    ASSERT_EQ(1u, catcher.Seen().size());
    const SeenDialog& box = catcher.Seen()[0];
    EXPECT_EQ("Warning", box.caption);
    EXPECT_EQ("No SMART compatible drives were detected.", box.text);
    EXPECT_EQ(SystemIcon(IDI_INFORMATION), box.icon);
    EXPECT_EQ(main.Window(), box.owner);
    EXPECT_FALSE(box.ownerVisible);

    EXPECT_TRUE(IsWindowVisible(main.Window()));
    EXPECT_EQ(std::vector<std::string>{"No drives found"}, main.DriveList());
    EXPECT_EQ(0, SendMessageA(main.Item(1002), CB_GETCURSEL, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(main.Item(1002)));
    EXPECT_FALSE(IsWindowEnabled(main.Item(1005)));
    EXPECT_FALSE(IsWindowEnabled(main.Item(3)));
    for (int id : {1001, 1006, 1007, 1}) {
        EXPECT_TRUE(IsWindowEnabled(main.Item(id))) << id;
    }
}

TEST(StartupTest, AttributeListHasSevenColumnsAndFullRowSelection) {
    ResetTestMachine();
    TestMachine().InsertDrive(0, Drive("ALPHA", 1));
    MainWindow main;
    HWND list = main.Item(1004);
    const char* titles[] = {"ID",    "Description", "Raw Value", "Status",
                            "Value", "Worst",       "Threshold"};
    const int widths[] = {30, 190, 70, 45, 40, 40, 60};
    for (int i = 0; i < 7; ++i) {
        char title[64] = "";
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.pszText = title;
        column.cchTextMax = sizeof title;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(titles[i], title);
        EXPECT_EQ(widths[i], column.cx);
        EXPECT_EQ(i, column.iSubItem);
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    }
    LVCOLUMNA beyond;
    ZeroMemory(&beyond, sizeof beyond);
    beyond.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 7, reinterpret_cast<LPARAM>(&beyond)));
    EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
}

TEST(StartupTest, CountedDrivesWithoutNamesLeaveAnEmptyListAndGetInfoReportsIt) {
    ResetTestMachine();
    TestMachine().InsertDrive(0, Drive("ALPHA", 1));
    TestMachine().FailStep(0, ScanStep::kVersion);
    DialogCatcher catcher;
    MainWindow main;
    EXPECT_TRUE(catcher.Seen().empty());
    EXPECT_TRUE(main.DriveList().empty());
    EXPECT_EQ(CB_ERR, SendMessageA(main.Item(1002), CB_GETCURSEL, 0, 0));
    EXPECT_TRUE(IsWindowEnabled(main.Item(1005)));
    EXPECT_TRUE(IsWindowEnabled(main.Item(3)));

    catcher.Then(DialogCatcher::Press(IDOK));
    main.Command(1005);
    ASSERT_EQ(1u, catcher.Seen().size());
    EXPECT_EQ("Error", catcher.Seen()[0].caption);
    EXPECT_EQ("There was an error retreiving the SMART information for the selected drive",
              catcher.Seen()[0].text);
    EXPECT_EQ(SystemIcon(IDI_WARNING), catcher.Seen()[0].icon);
    EXPECT_EQ(-1, g_selectedDrive);
}

TEST(GetInfoTest, DrivesAtOneAndThreeAreListedInPositionOrder) {
    ResetTestMachine();
    TestMachine().InsertDrive(1, Drive("BRAVO", 2));
    TestMachine().InsertDrive(3, Drive("DELTA", 4));
    MainWindow main;
    EXPECT_EQ((std::vector<std::string>{"BRAVO", "DELTA"}), main.DriveList());
    EXPECT_EQ(0, SendMessageA(main.Item(1002), CB_GETCURSEL, 0, 0));
    main.Select(1);
    main.Command(1005);
    EXPECT_EQ(3, g_selectedDrive);
    EXPECT_EQ(0u, main.Text(1003).find("Drive 3  SMART enabled\r\n"));
    EXPECT_EQ(4, main.ListRows());
}

// A suffix that made another drive's name would leave two items with one
// text, and Get Info would find the first drive for both.
TEST(GetInfoTest, EveryItemShowsItsOwnDriveWhenASuffixMeetsAModel) {
    ResetTestMachine();
    TestMachine().InsertDrive(0, Drive("X", 1));
    TestMachine().InsertDrive(1, Drive("X-1", 2));
    TestMachine().InsertDrive(2, Drive("X", 3));
    MainWindow main;
    EXPECT_EQ((std::vector<std::string>{"X-2", "X-1", "X-3"}), main.DriveList());
    for (int item = 0; item < 3; ++item) {
        main.Select(item);
        main.Command(1005);
        EXPECT_EQ(item, g_selectedDrive);
        EXPECT_EQ(item + 1, main.ListRows());
    }
}

TEST(GetInfoTest, ShowsTheWindowReportAndOneRowPerAttributeInSlotOrder) {
    ResetTestMachine();
    DriveCapture capture = Drive("ALPHA", 6);
    SetAttribute(&capture, 20, 5, 30, 30, 0xFFFFFFFF, 36);  // FAIL, raw -1
    TestMachine().InsertDrive(0, capture);
    DriveCapture noThresholds = Drive("ALPHA", 1);
    noThresholds.hasThresholds = false;  // its threshold read fails
    TestMachine().InsertDrive(2, noThresholds);
    MainWindow main;
    EXPECT_EQ((std::vector<std::string>{"ALPHA-1", "ALPHA-2"}), main.DriveList());
    main.Command(1005);
    ASSERT_EQ(0, g_selectedDrive);
    DriveReportText report;
    BuildDriveReportText(*g_inventory, 0, ReportVariant::kWindow, &report);
    EXPECT_EQ(report.text, main.Text(1003));
    ASSERT_EQ(7, main.ListRows());
    const char* ids[] = {"1", "3", "5", "7", "9", "C2", "5"};
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(ids[row], main.Cell(row, 0)) << row;
        EXPECT_EQ(36u, main.Cell(row, 1).size());
    }
    EXPECT_EQ("Raw Read Error Rate                 ", main.Cell(0, 1));
    EXPECT_EQ("1007 ms", main.Cell(1, 2));
    // 5007 is 0x138F: the temperature is raw byte 0 alone.
    EXPECT_EQ("143 C", main.Cell(5, 2));
    EXPECT_EQ("-1", main.Cell(6, 2));
    EXPECT_EQ("FAIL", main.Cell(6, 3));
    EXPECT_EQ("30", main.Cell(6, 4));
    EXPECT_EQ("30", main.Cell(6, 5));
    EXPECT_EQ("36", main.Cell(6, 6));
    EXPECT_EQ("OK", main.Cell(0, 3));
    EXPECT_EQ("100", main.Cell(0, 4));
    EXPECT_EQ("90", main.Cell(0, 5));
    EXPECT_EQ("0", main.Cell(0, 6));

    // The second drive replaces the first entirely.
    main.Select(1);
    main.Command(1005);
    EXPECT_EQ(2, g_selectedDrive);
    EXPECT_EQ(0u, main.Text(1003).find("Drive 2  SMART enabled"));
    EXPECT_NE(std::string::npos, main.Text(1003).find("Model Number: ALPHA\r\n"));
    ASSERT_EQ(1, main.ListRows());
    EXPECT_EQ("UNKNOWN", main.Cell(0, 3));
    EXPECT_EQ("-", main.Cell(0, 6));
    // And again: the same drive from the stored scan.
    main.Command(1005);
    EXPECT_EQ(2, g_selectedDrive);
    EXPECT_EQ(1, main.ListRows());
}

DriveCapture NvmeDrive(const char* model) {
    DriveCapture capture;
    capture.hasNvmeController = capture.hasNvmeHealth = true;
    std::memcpy(capture.nvmeController + 24, model, std::strlen(model));
    capture.nvmeHealth[1] = 0x2C;  // 300 K
    capture.nvmeHealth[2] = 0x01;
    capture.nvmeHealth[3] = 100;  // spare
    capture.nvmeHealth[4] = 10;   // its threshold
    return capture;
}

// An NVMe drive whose model an ATA drive shares: both listed with their
// suffixes; Get Info shows the NVMe block and its rows, each cell as
// vantrel-report --window prints it. Windows 9x never sees it, and its
// scan asks no NVMe query.
TEST(GetInfoTest, NvmeDriveIsListedWithItsTwinsSuffixAndShowsItsRows) {
    ResetTestMachine();
    TestMachine().InsertDrive(0, Drive("TWIN", 2));
    TestMachine().InsertDrive(2, NvmeDrive("TWIN"));
    {
        MainWindow main;
        EXPECT_EQ((std::vector<std::string>{"TWIN-1", "TWIN-2"}), main.DriveList());
        main.Select(1);
        main.Command(1005);
        ASSERT_EQ(2, g_selectedDrive);
        EXPECT_EQ(0u, main.Text(1003).find("Drive 2  NVMe\r\n\r\nNVMe CONTROLLER:\r\n"));
        EXPECT_NE(std::string::npos, main.Text(1003).find("Model Number: TWIN\r\n"));
        ASSERT_EQ(17, main.ListRows());
        const std::string rows[][7] = {
            {"1", "Critical Warning                    ", "0x0", "OK", "-", "-", "-"},
            {"2", "Composite Temperature               ", "27 C", "OK", "-", "-", "-"},
            {"3", "Available Spare                     ", "100%", "OK", "100", "-", "10"},
            {"11", "Critical Composite Temp Time        ", "0", "-", "-", "-", "-"},
        };
        const int at[] = {0, 1, 2, 16};
        for (int i = 0; i < 4; ++i) {
            for (int column = 0; column < 7; ++column) {
                EXPECT_EQ(rows[i][column], main.Cell(at[i], column)) << at[i] << "," << column;
            }
        }
        // The ATA twin afterwards: its own block and rows again.
        main.Select(0);
        main.Command(1005);
        EXPECT_EQ(0u, main.Text(1003).find("Drive 0  SMART enabled"));
        EXPECT_EQ(2, main.ListRows());
    }
    // The NVMe queries went to the NVMe drive's handle alone.
    DeviceHandle nvmeHandle = nullptr;
    int queries = 0;
    for (const DriverCall& call : TestMachine().Calls()) {
        if (call.kind == DriverCall::kOpen && call.name == "\\\\.\\PhysicalDrive2") {
            nvmeHandle = call.handle;
        }
        if (call.kind == DriverCall::kIoControl && call.code == 0x2D1400u) {
            EXPECT_EQ(nvmeHandle, call.handle);
            ++queries;
        }
    }
    EXPECT_EQ(3, queries);
    ResetTestMachine(kPlatformWindows9x);
    TestMachine().InsertDrive(0, Drive("TWIN", 2));
    TestMachine().InsertDrive(2, NvmeDrive("TWIN"));
    MainWindow main;
    EXPECT_EQ((std::vector<std::string>{"TWIN"}), main.DriveList());
    for (const DriverCall& call : TestMachine().Calls()) {
        EXPECT_NE(0x2D1400u, call.code) << "an NVMe query on Windows 9x";
    }
}

TEST(GetInfoTest, DriveWithoutSmartDataLeavesTheListEmpty) {
    ResetTestMachine();
    DriveCapture capture = Drive("BARE", 0);
    capture.hasSmartData = false;
    TestMachine().InsertDrive(0, capture);
    MainWindow main;
    main.Command(1005);
    EXPECT_EQ(0, g_selectedDrive);
    EXPECT_EQ(0u, main.Text(1003).find("Drive 0  SMART NOT enabled"));
    EXPECT_EQ(0, main.ListRows());
}

}  // namespace
