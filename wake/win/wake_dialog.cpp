#include "wake/win/wake_dialog.h"

#include <commctrl.h>

#include "protocol/packet.h"
#include "resources/brellmark/resource.h"

CWakeUp::CWakeUp(HWND parent, std::vector<wake::RememberedServer> servers,
                 std::function<bool(const wake::Mac&)> forget)
    : ui::Dialog(IDD_WAKE_UP, parent), servers_(std::move(servers)), forget_(std::move(forget)) {}

std::wstring LastSeenText(int64_t seconds) {
    // FILETIME counts 100 ns from 1601.
    const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME utc, local;
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return L"";
    wchar_t date[64] = {}, time[64] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 64);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 64);
    return std::wstring(date) + L" " + time;
}

BOOL CWakeUp::OnInitDialog() {
    HWND list = Item(IDC_WAKE_LIST);
    ui::SetUpReportList(list, {{IDS_WAKE_COL_NAME, 95},
                               {IDS_WAKE_COL_MAC, 115},
                               {IDS_WAKE_COL_ADDRESS, 105},
                               {IDS_WAKE_COL_SEEN, 112}});
    Fill(0);
    SetFocus(servers_.empty() ? Item(IDCANCEL) : list);
    return FALSE;
}

void CWakeUp::Fill(int select) {
    HWND list = Item(IDC_WAKE_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (const wake::RememberedServer& s : servers_)
        ui::AppendListRow(list, {ui::Widen(s.name), ui::Widen(wake::FormatMac(s.mac)),
                                 ui::Widen(proto::FormatIPv4(s.ip)), LastSeenText(s.lastSeen)});
    if (servers_.empty()) {
        SetItemText(IDC_WAKE_INTRO, ui::LoadText(IDS_WAKE_NONE));
    } else {
        select = std::min(select, static_cast<int>(servers_.size()) - 1);
        ListView_SetItemState(list, select, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
    UpdateButtons();
}

int CWakeUp::Selected() const {
    const int row = static_cast<int>(
        SendMessageW(Item(IDC_WAKE_LIST), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return row >= 0 && row < static_cast<int>(servers_.size()) ? row : -1;
}

void CWakeUp::UpdateButtons() {
    const bool any = Selected() >= 0;
    EnableItem(IDOK, any);
    EnableItem(IDC_WAKE_FORGET, any);
    if (!any && GetFocus() == nullptr)
        SetFocus(Item(IDCANCEL));
}

void CWakeUp::OnOK() {
    const int row = Selected();
    if (row < 0)
        return;  // nothing chosen: Enter does nothing
    chosen = servers_[static_cast<size_t>(row)].mac;
    EndDialog(hwnd(), IDOK);
}

void CWakeUp::Forget() {
    const int row = Selected();
    if (row < 0)
        return;
    forget_(servers_[static_cast<size_t>(row)].mac);
    servers_.erase(servers_.begin() + row);
    Fill(row);
    if (servers_.empty())
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDCANCEL)), TRUE);
}

bool CWakeUp::OnCommand(int id, int code, HWND) {
    if (id == IDC_WAKE_FORGET && code == BN_CLICKED) {
        Forget();
        return true;
    }
    return false;
}

bool CWakeUp::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_WAKE_LIST)
        return false;
    switch (header->code) {
        case LVN_ITEMCHANGED:
            UpdateButtons();
            *result = 0;
            return true;
        case NM_DBLCLK:
            OnOK();
            *result = 0;
            return true;
        case LVN_KEYDOWN:
            if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE)
                Forget();
            *result = 0;
            return true;
        default:
            return false;
    }
}
