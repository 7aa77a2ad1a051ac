#include "dialogs/win/config_boxes.h"

#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

#include <string>

namespace {

constexpr size_t kNameBoxChars = 14;

struct SystemBox {
    int id;
    std::string rules::BasicConfigFields::*member;
};
constexpr SystemBox kSystemBoxes[] = {
    {IDC_SERVER_NAME, &rules::BasicConfigFields::serverName},
    {IDC_MONTH, &rules::BasicConfigFields::month},
    {IDC_DAY, &rules::BasicConfigFields::day},
    {IDC_YEAR, &rules::BasicConfigFields::year},
    {IDC_HOUR, &rules::BasicConfigFields::hour},
    {IDC_MINUTE, &rules::BasicConfigFields::minute},
    {IDC_SECOND, &rules::BasicConfigFields::second},
};

std::wstring BoxText(HWND dialog, int id) {
    HWND box = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

void FillSystemBlock(HWND dialog, const rules::BasicConfigFields& fields) {
    SendDlgItemMessageW(dialog, IDC_SERVER_NAME, EM_LIMITTEXT, kNameBoxChars, 0);
    for (const SystemBox& b : kSystemBoxes) {
        std::wstring text = ui::Widen(fields.*(b.member));
        if (b.id == IDC_SERVER_NAME && text.size() > kNameBoxChars)
            text.resize(kNameBoxChars);
        SetDlgItemTextW(dialog, b.id, text.c_str());
    }
}

void ReadSystemBlock(HWND dialog, rules::BasicConfigFields* fields) {
    for (const SystemBox& b : kSystemBoxes)
        fields->*(b.member) = ui::Narrow(BoxText(dialog, b.id));
}

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
