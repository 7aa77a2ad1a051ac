#include "dialogs/win/details.h"

#include <commctrl.h>

#include "dialogs/rules/details_rows.h"
#include "resources/brellmark/resource.h"

CDetails::CDetails(HWND parent, const proto::StatusReply& reply)
    : ui::Dialog(IDD_DETAILS, parent), reply_(reply) {}

BOOL CDetails::OnInitDialog() {
    HWND list = Item(IDC_DETAILS_LIST);
    SetWindowPos(list, nullptr, 10, 10, 350, 197, SWP_NOZORDER);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const struct {
        UINT id;
        int width;
    } columns[] = {{IDS_DET_STATUS, 150}, {IDS_DET_VALUE, 200}};
    for (int i = 0; i < 2; ++i) {
        std::wstring text = ui::LoadText(columns[i].id);
        LVCOLUMNW col = {};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = columns[i].width;
        col.pszText = text.data();
        col.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    for (const rules::DetailsRow& r : rules::DetailsRows(reply_))
        ui::AppendListRow(
            list, {r.labelId ? ui::LoadText(static_cast<UINT>(r.labelId)) : L"",
                   r.valueId ? ui::LoadText(static_cast<UINT>(r.valueId)) : ui::Widen(r.value)});
    return TRUE;
}
