#include "ui/drive_info_view.h"

#include <commctrl.h>

#include "inventory/nvme_data.h"
#include "report/attribute_format.h"
#include "report/nvme_report_text.h"
#include "report/report_text.h"
#include "resources/resource.h"

namespace {

void SetSubItem(HWND list, int row, int column, const char* text) {
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

// Inserts a row of cells at the top of the list.
int InsertRow(HWND owner, char* const cells[kAttributeColumns]) {
    HWND list = GetDlgItem(owner, IDC_ATTR_LIST);
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = 0;
    item.iSubItem = 0;
    item.pszText = cells[0];
    const int row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < kAttributeColumns; ++column) {
        SetSubItem(list, row, column, cells[column]);
    }
    return row;
}

void SetDriveInfoText(HWND owner, const char* text) {
    SendMessageA(GetDlgItem(owner, IDC_DRIVE_INFO), WM_CLEAR, 0, 0);
    SetDlgItemTextA(owner, IDC_DRIVE_INFO, text);
    SendMessageA(GetDlgItem(owner, IDC_ATTR_LIST), LVM_DELETEALLITEMS, 0, 0);
}

// An NVMe drive: its block, and its health log as rows in the row table's
// order, top to bottom.
void ShowNvmeInfo(HWND owner, const NvmeReplies& replies, int position) {
    NvmeDrive drive;
    DecodeNvmeDrive(replies, &drive);
    char text[kNvmeReportTextSize];
    NvmeReportText(position, drive, text);
    SetDriveInfoText(owner, text);
    NvmeRows rows;
    NvmeHealthRows(drive.controller, drive.log, &rows);
    for (int index = kNvmeRowCount - 1; index >= 0; --index) {
        NvmeRowCells cells;
        NvmeWindowCells(rows.rows[index], &cells);
        char* const columns[kAttributeColumns] = {cells.cells[0], cells.cells[1], cells.cells[2],
                                                  cells.cells[3], cells.cells[4], cells.cells[5],
                                                  cells.cells[6]};
        InsertRow(owner, columns);
    }
}

}  // namespace

void ShowDriveInfo(HWND owner, const DriveInventory& inventory, int position) {
    if (const NvmeReplies* replies = inventory.nvme[position]) {
        ShowNvmeInfo(owner, *replies, position);
        return;
    }
    DriveReportText report;
    BuildDriveReportText(inventory, position, ReportVariant::kWindow, &report);
    SetDriveInfoText(owner, report.text);
    // Every row goes in at the top, so adding the last record first leaves
    // the list in the drive's own slot order.
    const bool thresholdsKnown = inventory.ThresholdsKnown(position);
    for (int index = inventory.GetAttributeCount(position) - 1; index >= 0; --index) {
        AttributeRecord record;
        if (inventory.GetAttribute(position, index, &record)) {
            AddAttributeRow(owner, record, thresholdsKnown);
        }
    }
}

int AddAttributeRow(HWND owner, const AttributeRecord& record, bool thresholdsKnown) {
    AttributeRowText text = FormatAttributeRow(record, thresholdsKnown);
    char* const cells[kAttributeColumns] = {text.cells[0], text.cells[1], text.cells[2],
                                            text.cells[3], text.cells[4], text.cells[5],
                                            text.cells[6]};
    return InsertRow(owner, cells);
}
