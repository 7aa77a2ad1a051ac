#include "mapdrive/win/share_dialogs.h"

#include <shellapi.h>
#include <winnetwk.h>

#include "mapdrive/win/wnet_network.h"
#include "resources/brellmark/resource.h"

namespace mapdrive {

namespace {

// The 95/98/ME family keeps one logon for the network and Windows.
bool IsWindows9x() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&info);
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// Results that mean the system offers no connection dialog of its own.
bool DialogMissing(DWORD result) {
    return result == ERROR_NO_NETWORK || result == ERROR_NOT_SUPPORTED ||
           result == ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

// ---------------------------------------------------------------------------
// CConnect

CConnect::CConnect(HWND parent, Network& net) : ui::Dialog(IDD_CONNECT, parent), net_(net) {}

BOOL CConnect::OnInitDialog() {
    SetItemText(IDC_CONNECT_SERVER, ui::Widen(server));
    if (share.empty()) {
        ShowWindow(Item(IDC_CONNECT_SHARE_LABEL), SW_HIDE);
        ShowWindow(Item(IDC_CONNECT_SHARE), SW_HIDE);
    } else {
        SetItemText(IDC_CONNECT_SHARE, ui::Widen(share));
    }
    if (IsWindows9x()) {
        std::string logon;
        if (!net_.LogonName(&logon)) {
            MessageBoxW(hwnd(), ui::LoadText(IDS_CONNECT_RELOGIN).c_str(),
                        ui::LoadText(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
            EndDialog(hwnd(), IDCANCEL);
            return TRUE;
        }
        userName = logon;
        EnableItem(IDC_CONNECT_USER, false);
    }
    SetItemText(IDC_CONNECT_USER, ui::Widen(userName));
    SetItemText(IDC_CONNECT_PASSWORD, ui::Widen(password));
    return TRUE;
}

void CConnect::OnOK() {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    userName = ui::Narrow(ItemText(IDC_CONNECT_USER));
    password = ui::Narrow(ItemText(IDC_CONNECT_PASSWORD));
    int access = ACCESS_NONE;
    result = connectShare(net_, server, share, userName, password, &access);
    SetCursor(previous);
    if (ConnectSucceeded(result, access)) {
        EndDialog(hwnd(), IDOK);
        return;
    }
    ShowConnectError(hwnd(), result);
    SetItemText(IDC_CONNECT_USER, ui::Widen(userName));
    SetItemText(IDC_CONNECT_PASSWORD, ui::Widen(password));
    PostMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_CONNECT_PASSWORD)), TRUE);
}

// ---------------------------------------------------------------------------
// CDriveLetter

CDriveLetter::CDriveLetter(HWND parent, Network& net, std::string remote)
    : ui::Dialog(IDD_DRIVE_LETTER, parent), net_(net), remote_(std::move(remote)) {}

BOOL CDriveLetter::OnInitDialog() {
    SetItemText(IDC_DRIVE_PATH, ui::Widen(remote_));
    HWND combo = Item(IDC_DRIVE_LETTER);
    for (char letter : FreeDriveLetters(GetLogicalDrives())) {
        const wchar_t text[3] = {static_cast<wchar_t>(letter), L':', 0};
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    // Like the system's dialog: the last free letter first.
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    if (count > 0)
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
    else
        EnableItem(IDOK, false);
    return TRUE;
}

void CDriveLetter::OnOK() {
    const std::wstring text = ItemText(IDC_DRIVE_LETTER);
    if (text.size() < 2 || text[0] < L'A' || text[0] > L'Z')
        return;
    const std::string local = ui::Narrow(text.substr(0, 2));
    const int result = net_.AddConnection(remote_, &local, std::nullopt, std::nullopt);
    if (result != 0) {
        ShowConnectError(hwnd(), result);
        return;
    }
    drive = text[0] - L'A' + 1;
    EndDialog(hwnd(), IDOK);
}

// ---------------------------------------------------------------------------
// CSelectShare

CSelectShare::CSelectShare(HWND parent, Network& net, const std::string& address,
                           const std::string& name)
    : ui::Dialog(IDD_SELECT_SHARE, parent),
      serverAddress(address),
      serverName(name),
      net_(net),
      flow_(net, *this, address, name) {}

BOOL CSelectShare::OnInitDialog() {
    if (!flow_.Open()) {
        EndDialog(hwnd(), IDCANCEL);
        return TRUE;
    }
    HWND list = Item(IDC_SHARE_LIST);
    for (const std::string& name : flow_.shares())
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::Widen(name).c_str()));
    if (flow_.shares().empty())
        EnableItem(IDC_MAP_NETWORK_DRIVE, false);
    return TRUE;
}

bool CSelectShare::OnCommand(int id, int code, HWND) {
    if (id == IDC_SHARE_LIST && code == LBN_SELCHANGE) {
        EnableItem(IDC_MAP_NETWORK_DRIVE, true);
        return true;
    }
    if (id == IDC_MAP_NETWORK_DRIVE && code == BN_CLICKED) {
        MapNetworkDrive();
        return true;
    }
    return false;
}

// Enter presses the default button.
void CSelectShare::OnOK() {
    if (IsWindowEnabled(Item(IDC_MAP_NETWORK_DRIVE)))
        MapNetworkDrive();
}

void CSelectShare::MapNetworkDrive() {
    HWND list = Item(IDC_SHARE_LIST);
    const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
    std::string share;
    if (at != LB_ERR) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(at), 0);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(at),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(wcslen(text.c_str()));
        share = ui::Narrow(text);
    }
    if (flow_.Map(at == LB_ERR ? nullptr : &share) == SelectShareFlow::MAP_CLOSE)
        EndDialog(hwnd(), IDOK);
}

bool CSelectShare::RunConnect(ConnectRequest& request) {
    CConnect connect(hwnd(), net_);
    connect.server = request.server;
    connect.share = request.share;
    connect.userName = request.userName;
    connect.password = request.password;
    if (connect.DoModal() != IDOK)
        return false;
    request.userName = connect.userName;
    request.password = connect.password;
    return true;
}

int CSelectShare::ConnectionDialog(const std::string& remote, int* drive) {
    *drive = 0;
    std::wstring wremote = ui::Widen(remote);
    NETRESOURCEW resource = {};
    resource.dwScope = RESOURCE_GLOBALNET;
    resource.dwType = RESOURCETYPE_DISK;
    resource.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    resource.lpRemoteName = wremote.data();
    CONNECTDLGSTRUCTW dialog = {};
    dialog.cbStructure = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpConnRes = &resource;
    dialog.dwFlags = CONNDLG_RO_PATH;
    const DWORD result = WNetConnectionDialog1W(&dialog);
    if (result == NO_ERROR) {
        if (dialog.dwDevNum >= 1 && dialog.dwDevNum <= 26)
            *drive = static_cast<int>(dialog.dwDevNum);
        return 0;
    }
    if (!DialogMissing(result))
        return static_cast<int>(result);
    CDriveLetter letter(hwnd(), net_, remote);
    if (letter.DoModal() != IDOK)
        return ERROR_CANCELLED;
    *drive = letter.drive;
    return 0;
}

void CSelectShare::OpenDrive(const std::string& root) {
    ShellExecuteW(hwnd(), L"open", ui::Widen(root).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void RunSelectShare(HWND owner, const std::string& serverAddress, const std::string& serverName) {
    WNetNetwork net;
    CSelectShare dialog(owner, net, serverAddress, serverName);
    dialog.DoModal();
}

}  // namespace mapdrive
