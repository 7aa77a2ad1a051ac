#include "dialogs/win/router_config.h"

#include <commctrl.h>

#include "dialogs/win/config_boxes.h"
#include "resources/brellmark/resource.h"

namespace {

const int kModeButtons[] = {IDC_DHCP, IDC_FIXED_IP, IDC_PPPOE, IDC_PPTP};
// The WAN controls each mode enables (all others are disabled).
const int kWanControls[] = {IDC_IP_ADDRESS,     IDC_NETMASK,     IDC_GATEWAY,   IDC_PPPOE_USER,
                            IDC_PPPOE_PASSWORD, IDC_PPTP_SERVER, IDC_PPTP_USER, IDC_PPTP_PASSWORD};
bool EnabledIn(int mode, int id) {
    switch (mode) {
        case 2:
            return id == IDC_IP_ADDRESS || id == IDC_NETMASK || id == IDC_GATEWAY;
        case 3:
            return id == IDC_PPPOE_USER || id == IDC_PPPOE_PASSWORD;
        case 4:
            return id == IDC_PPTP_SERVER || id == IDC_PPTP_USER || id == IDC_PPTP_PASSWORD;
        default:
            return false;
    }
}

}  // namespace

CRouterConfig::CRouterConfig(HWND parent, const rules::RouterConfigFields& fields,
                             rules::RouterConfigRules& rules)
    : CConfigDialog(IDD_ROUTER_CONFIG, parent, fields, rules) {}

void CRouterConfig::FillControls(const rules::RouterConfigFields& f) {
    FillSystemBlock(hwnd(), f.system);
    // Each account box holds what its item can carry.
    SendMessageW(Item(IDC_PPPOE_USER), EM_LIMITTEXT, rules::kRouterUserBytes, 0);
    SendMessageW(Item(IDC_PPTP_USER), EM_LIMITTEXT, rules::kRouterUserBytes, 0);
    SendMessageW(Item(IDC_PPPOE_PASSWORD), EM_LIMITTEXT, rules::kRouterPasswordBytes, 0);
    SendMessageW(Item(IDC_PPTP_PASSWORD), EM_LIMITTEXT, rules::kRouterPasswordBytes, 0);
    SetItemText(IDC_PPPOE_USER, ui::Widen(f.pppoeUser));
    SetItemText(IDC_PPPOE_PASSWORD, ui::Widen(f.pppoePassword));
    SetItemText(IDC_PPTP_USER, ui::Widen(f.pptpUser));
    SetItemText(IDC_PPTP_PASSWORD, ui::Widen(f.pptpPassword));
    SetWanMode(f.wanMode);
    CheckDlgButton(hwnd(), IDC_DHCP_SERVER, f.dhcpServer ? BST_CHECKED : BST_UNCHECKED);
    ApplyDhcpServer();
    const struct {
        int id;
        uint32_t value;
    } addresses[] = {{IDC_IP_ADDRESS, f.wanIp},       {IDC_NETMASK, f.wanNetmask},
                     {IDC_GATEWAY, f.wanGateway},     {IDC_PPTP_SERVER, f.pptpServer},
                     {IDC_LAN_IP, f.lanIp},           {IDC_LAN_NETMASK, f.lanNetmask},
                     {IDC_LAN_GATEWAY, f.lanGateway}, {IDC_DHCP_START, f.dhcpStart},
                     {IDC_DHCP_END, f.dhcpEnd}};
    for (const auto& a : addresses)
        SendMessageW(Item(a.id), IPM_SETADDRESS, 0, a.value);
}

void CRouterConfig::SetWanMode(int mode) {
    wanMode_ = mode >= 2 && mode <= 4 ? mode : 1;
    for (int i = 0; i < 4; ++i)
        CheckDlgButton(hwnd(), kModeButtons[i], i + 1 == wanMode_ ? BST_CHECKED : BST_UNCHECKED);
    for (int id : kWanControls)
        EnableItem(id, EnabledIn(wanMode_, id));
}

void CRouterConfig::ApplyDhcpServer() {
    const bool on = IsDlgButtonChecked(hwnd(), IDC_DHCP_SERVER) == BST_CHECKED;
    EnableItem(IDC_DHCP_START, on);
    EnableItem(IDC_DHCP_END, on);
}

bool CRouterConfig::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (id == kModeButtons[i]) {
            SetWanMode(i + 1);
            return true;
        }
    }
    if (id == IDC_DHCP_SERVER) {
        ApplyDhcpServer();
        return true;
    }
    return false;
}

uint32_t CRouterConfig::Address(int id) {
    DWORD a = 0;
    SendMessageW(Item(id), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a));
    return a;
}

rules::RouterConfigFields CRouterConfig::ReadControls() {
    rules::RouterConfigFields f;
    ReadSystemBlock(hwnd(), &f.system);
    f.wanMode = static_cast<uint8_t>(wanMode_);
    f.wanIp = Address(IDC_IP_ADDRESS);
    f.wanNetmask = Address(IDC_NETMASK);
    f.wanGateway = Address(IDC_GATEWAY);
    f.pppoeUser = ui::Narrow(ItemText(IDC_PPPOE_USER));
    f.pppoePassword = ui::Narrow(ItemText(IDC_PPPOE_PASSWORD));
    f.pptpServer = Address(IDC_PPTP_SERVER);
    f.pptpUser = ui::Narrow(ItemText(IDC_PPTP_USER));
    f.pptpPassword = ui::Narrow(ItemText(IDC_PPTP_PASSWORD));
    f.lanIp = Address(IDC_LAN_IP);
    f.lanNetmask = Address(IDC_LAN_NETMASK);
    f.lanGateway = Address(IDC_LAN_GATEWAY);
    f.dhcpServer = IsDlgButtonChecked(hwnd(), IDC_DHCP_SERVER) == BST_CHECKED ? 1 : 0;
    f.dhcpStart = Address(IDC_DHCP_START);
    f.dhcpEnd = Address(IDC_DHCP_END);
    return f;
}
