#include "dialogs/win/basic_config.h"

#include <commctrl.h>

#include "dialogs/win/config_boxes.h"
#include "resources/brellmark/resource.h"

namespace {
const int kAddressBoxes[] = {IDC_IP_ADDRESS, IDC_NETMASK, IDC_GATEWAY};
constexpr size_t kNameBoxChars = 14;
}  // namespace

CBasicConfig::CBasicConfig(HWND parent, const rules::BasicConfigFields& fields,
                           rules::BasicConfigRules& rules)
    : ui::Dialog(IDD_BASIC_CONFIG, parent), fields_(fields), rules_(rules) {}

BOOL CBasicConfig::OnInitDialog() {
    rules_.Open(fields_);
    const rules::BasicConfigFields& f = rules_.fields();
    SendMessageW(Item(IDC_SERVER_NAME), EM_LIMITTEXT, kNameBoxChars, 0);
    // A longer name from the server opens cut to what the box holds: OK then
    // writes the name the user saw (and counts the cut as a change) instead
    // of silently cutting it to the request's 16 bytes.
    std::wstring name = ui::Widen(f.serverName);
    if (name.size() > kNameBoxChars)
        name.resize(kNameBoxChars);
    SetItemText(IDC_SERVER_NAME, name);
    SetItemText(IDC_MONTH, ui::Widen(f.month));
    SetItemText(IDC_DAY, ui::Widen(f.day));
    SetItemText(IDC_YEAR, ui::Widen(f.year));
    SetItemText(IDC_HOUR, ui::Widen(f.hour));
    SetItemText(IDC_MINUTE, ui::Widen(f.minute));
    SetItemText(IDC_SECOND, ui::Widen(f.second));
    SetIpMode(f.ipMode == 1 ? 1 : 2);
    const uint32_t addrs[] = {f.ip, f.netmask, f.gateway};
    for (int i = 0; i < 3; ++i)
        SendMessageW(Item(kAddressBoxes[i]), IPM_SETADDRESS, 0, addrs[i]);
    return TRUE;
}

void CBasicConfig::SetIpMode(int mode) {
    ipMode_ = mode;
    CheckRadioButton(hwnd(), IDC_DHCP, IDC_FIXED_IP, mode == 1 ? IDC_DHCP : IDC_FIXED_IP);
    for (int id : kAddressBoxes)
        EnableItem(id, mode != 1);
}

bool CBasicConfig::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    if (id == IDC_DHCP) {
        SetIpMode(1);
        return true;
    }
    if (id == IDC_FIXED_IP) {
        SetIpMode(2);
        return true;
    }
    return false;
}

rules::BasicConfigFields CBasicConfig::ReadControls() {
    rules::BasicConfigFields f;
    f.serverName = ui::Narrow(ItemText(IDC_SERVER_NAME));
    f.month = ui::Narrow(ItemText(IDC_MONTH));
    f.day = ui::Narrow(ItemText(IDC_DAY));
    f.year = ui::Narrow(ItemText(IDC_YEAR));
    f.hour = ui::Narrow(ItemText(IDC_HOUR));
    f.minute = ui::Narrow(ItemText(IDC_MINUTE));
    f.second = ui::Narrow(ItemText(IDC_SECOND));
    f.ipMode = ipMode_;
    DWORD a[3] = {};
    for (int i = 0; i < 3; ++i)
        SendMessageW(Item(kAddressBoxes[i]), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a[i]));
    f.ip = a[0];
    f.netmask = a[1];
    f.gateway = a[2];
    return f;
}

void CBasicConfig::OnOK() {
    if (ApplyValidation(hwnd(), rules_.Validate(ReadControls())))
        EndDialog(hwnd(), IDOK);
}
