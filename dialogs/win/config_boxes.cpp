#include "dialogs/win/config_boxes.h"

#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

int ConfigBoxId(rules::ConfigBox box) {
    using rules::ConfigBox;
    switch (box) {
        case ConfigBox::Name:
            return IDC_SERVER_NAME;
        case ConfigBox::Year:
            return IDC_YEAR;
        case ConfigBox::Month:
            return IDC_MONTH;
        case ConfigBox::Day:
            return IDC_DAY;
        case ConfigBox::Hour:
            return IDC_HOUR;
        case ConfigBox::Minute:
            return IDC_MINUTE;
        case ConfigBox::Second:
            return IDC_SECOND;
        case ConfigBox::Addresses:
            return IDC_IP_ADDRESS;
        case ConfigBox::PptpServer:
            return IDC_PPTP_SERVER;
        case ConfigBox::PppoeUser:
            return IDC_PPPOE_USER;
        case ConfigBox::PptpUser:
            return IDC_PPTP_USER;
        case ConfigBox::LanAddresses:
            return IDC_LAN_IP;
        case ConfigBox::DhcpRange:
            return IDC_DHCP_START;
        default:
            return 0;
    }
}

bool ApplyValidation(HWND dialog, const rules::ConfigValidation& v) {
    for (const rules::BoxText& t : v.reformatted)
        SetDlgItemTextW(dialog, ConfigBoxId(t.box), ui::Widen(t.text).c_str());
    if (v.ok)
        return true;
    ui::MessageBoxIds(dialog, static_cast<UINT>(v.messageId), IDS_CAPTION_ERROR,
                      MB_OK | MB_ICONEXCLAMATION);
    if (const int box = ConfigBoxId(v.box)) {
        if (v.undoLastEdit)
            SendDlgItemMessageW(dialog, box, EM_UNDO, 0, 0);
        SetFocus(GetDlgItem(dialog, box));
    }
    return false;
}
