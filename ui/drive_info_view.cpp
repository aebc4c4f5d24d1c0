#include "ui/drive_info_view.h"

#include <commctrl.h>

#include "report/attribute_format.h"
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

}  // namespace

void ShowDriveInfo(HWND owner, const DriveInventory& inventory, int position) {
    DriveReportText report;
    BuildDriveReportText(inventory, position, ReportVariant::kWindow, &report);
    SendMessageA(GetDlgItem(owner, IDC_DRIVE_INFO), WM_CLEAR, 0, 0);
    SetDlgItemTextA(owner, IDC_DRIVE_INFO, report.text);
    SendMessageA(GetDlgItem(owner, IDC_ATTR_LIST), LVM_DELETEALLITEMS, 0, 0);
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
    HWND list = GetDlgItem(owner, IDC_ATTR_LIST);
    AttributeRowText text = FormatAttributeRow(record, thresholdsKnown);
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = 0;
    item.iSubItem = 0;
    item.pszText = text.cells[0];
    const int row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < kAttributeColumns; ++column) {
        SetSubItem(list, row, column, text.cells[column]);
    }
    return row;
}
