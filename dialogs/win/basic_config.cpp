#include "dialogs/win/basic_config.h"

#include <commctrl.h>

#include "dialogs/win/config_boxes.h"
#include "resources/brellmark/resource.h"

namespace {
const int kAddressBoxes[] = {IDC_IP_ADDRESS, IDC_NETMASK, IDC_GATEWAY};
}  // namespace

CBasicConfig::CBasicConfig(HWND parent, const rules::BasicConfigFields& fields,
                           rules::BasicConfigRules& rules)
    : CConfigDialog(IDD_BASIC_CONFIG, parent, fields, rules) {}

void CBasicConfig::FillControls(const rules::BasicConfigFields& f) {
    FillSystemBlock(hwnd(), f);
    SetIpMode(f.ipMode == 1 ? 1 : 2);
    const uint32_t addrs[] = {f.ip, f.netmask, f.gateway};
    for (int i = 0; i < 3; ++i)
        SendMessageW(Item(kAddressBoxes[i]), IPM_SETADDRESS, 0, addrs[i]);
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
    ReadSystemBlock(hwnd(), &f);
    f.ipMode = ipMode_;
    DWORD a[3] = {};
    for (int i = 0; i < 3; ++i)
        SendMessageW(Item(kAddressBoxes[i]), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a[i]));
    f.ip = a[0];
    f.netmask = a[1];
    f.gateway = a[2];
    return f;
}
