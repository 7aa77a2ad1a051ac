#include "dialogs/win/details.h"

#include <commctrl.h>

#include "dialogs/rules/details_rows.h"
#include "resources/brellmark/resource.h"

CDetails::CDetails(HWND parent, const proto::StatusReply& reply)
    : ui::Dialog(IDD_DETAILS, parent), reply_(reply) {}

BOOL CDetails::OnInitDialog() {
    HWND list = Item(IDC_DETAILS_LIST);
    SetWindowPos(list, nullptr, 10, 10, 350, 197, SWP_NOZORDER);
    ui::SetUpReportList(list, {{IDS_DET_STATUS, 150}, {IDS_DET_VALUE, 200}});
    for (const rules::DetailsRow& r : rules::DetailsRows(reply_))
        ui::AppendListRow(
            list, {r.labelId ? ui::LoadText(static_cast<UINT>(r.labelId)) : L"",
                   r.valueId ? ui::LoadText(static_cast<UINT>(r.valueId)) : ui::Widen(r.value)});
    return TRUE;
}
