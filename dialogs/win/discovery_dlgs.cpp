#include "dialogs/win/discovery_dlgs.h"

#include <commctrl.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "dialogs/rules/find_address.h"
#include "protocol/packet.h"
#include "resources/brellmark/resource.h"

CFindAddress::CFindAddress(HWND parent, std::vector<proto::LocalInterface> interfaces)
    : ui::Dialog(IDD_FIND_ADDRESS, parent), interfaces_(std::move(interfaces)) {}

BOOL CFindAddress::OnInitDialog() {
    SendMessageW(Item(IDC_FIND_ADDRESS), EM_LIMITTEXT, rules::kMaxHostName, 0);
    SetFocus(Item(IDC_FIND_ADDRESS));
    return FALSE;
}

uint32_t ResolveIPv4(const std::string& name) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return 0;
    uint32_t address = 0;
    for (addrinfo* a = found; a != nullptr && address == 0; a = a->ai_next)
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in))
            address = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return address;
}

void CFindAddress::OnOK() {
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const rules::FindAddressResult r =
        rules::CheckFindAddress(ui::Narrow(ItemText(IDC_FIND_ADDRESS)), interfaces_, ResolveIPv4);
    SetCursor(old);
    if (r.address == 0) {
        MessageBoxW(hwnd(),
                    ui::FillText(ui::LoadText(r.messageId), {ui::Widen(r.argument)}).c_str(),
                    ui::LoadText(IDS_CAPTION_ERROR).c_str(), MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(IDC_FIND_ADDRESS));
        SendMessageW(Item(IDC_FIND_ADDRESS), EM_SETSEL, 0, -1);
        return;
    }
    address = r.address;
    EndDialog(hwnd(), IDOK);
}

CDiscoveryReport::CDiscoveryReport(HWND parent, const proto::DiscoveryReport& report)
    : ui::Dialog(IDD_DISCOVERY_REPORT, parent), report_(report) {}

BOOL CDiscoveryReport::OnInitDialog() {
    HWND list = Item(IDC_REPORT_LIST);
    ui::SetUpReportList(list, {{IDS_REPORT_COL_ADAPTER, 130},
                               {IDS_REPORT_COL_NETMASK, 95},
                               {IDS_REPORT_COL_SENT_TO, 110},
                               {IDS_REPORT_COL_REPLIES, 55, LVCFMT_RIGHT},
                               {IDS_REPORT_COL_LISTED, 85, LVCFMT_RIGHT}});
    auto dotted = [](uint32_t a) { return ui::Widen(proto::FormatIPv4(a)); };
    for (const proto::Probe& p : report_.probes()) {
        std::wstring adapter, netmask;
        switch (p.kind) {
            case proto::ProbeKind::LimitedBroadcast:
                adapter = ui::LoadText(IDS_REPORT_LIMITED);
                break;
            case proto::ProbeKind::Adapter:
                adapter = dotted(p.adapter);
                netmask = dotted(p.netmask);
                break;
            case proto::ProbeKind::Typed:
                adapter = ui::LoadText(IDS_REPORT_TYPED);
                break;
        }
        std::wstring sentTo = dotted(p.destination);
        if (p.sendError != 0)
            sentTo += L" - " + ui::FillText(ui::LoadText(IDS_REPORT_SEND_ERROR),
                                            {std::to_wstring(p.sendError)});
        ui::AppendListRow(list, {adapter, netmask, sentTo, std::to_wstring(p.replies),
                                 std::to_wstring(p.listed)});
    }
    std::wstring summary;
    if (!report_.started())
        summary = ui::LoadText(IDS_REPORT_NONE);
    else if (report_.running())
        summary =
            ui::FillText(ui::LoadText(IDS_REPORT_RUNNING), {std::to_wstring(report_.replies())});
    else
        summary =
            ui::FillText(ui::LoadText(IDS_REPORT_FINISHED), {std::to_wstring(report_.listed())});
    SetItemText(IDC_REPORT_SUMMARY, summary);

    static const UINT kHintText[] = {0,
                                     IDS_HINT_NO_ADAPTER,
                                     IDS_HINT_NOTHING,
                                     IDS_HINT_VPN,
                                     IDS_HINT_OTHER_SUBNET,
                                     IDS_HINT_SEND_FAILED,
                                     IDS_HINT_TYPED_SILENT,
                                     IDS_HINT_RUNNING};
    std::wstring hints;
    for (const auto& h : report_.Hints()) {
        if (h.id <= 0 || h.id >= static_cast<int>(sizeof kHintText / sizeof kHintText[0]))
            continue;
        if (!hints.empty())
            hints += L"\r\n";
        hints += L"- " + ui::FillText(ui::LoadText(kHintText[h.id]), {ui::Widen(h.argument)});
    }
    if (hints.empty() && report_.started())
        hints = ui::LoadText(IDS_REPORT_NO_HINTS);
    SetItemText(IDC_REPORT_HINTS, hints);
    SetFocus(Item(IDOK));
    return FALSE;
}

bool CDiscoveryReport::OnCommand(int id, int code, HWND) {
    if (id == IDC_REPORT_FIND && code == BN_CLICKED) {
        EndDialog(hwnd(), IDC_REPORT_FIND);
        return true;
    }
    return false;
}
