#include "app/win/brellmark_dlg.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "dialogs/win/about_dlg.h"
#include "dialogs/win/discovery_dlgs.h"
#include "dialogs/win/help_web.h"
#include "dialogs/win/no_servers.h"
#include "mapdrive/win/share_dialogs.h"
#include "resources/brellmark/resource.h"

namespace {

constexpr int kBannerX = 15, kBannerY = 12, kBannerW = 443, kBannerH = 73;
constexpr int kAnimX = 395, kAnimY = 12;

struct ColumnSpec {
    UINT textId;
    int format;
    int width;
    int wideWidth;
};
const ColumnSpec kColumns[] = {
    {IDS_COL_NAME, LVCFMT_LEFT, 90, 90},        {IDS_COL_IP, LVCFMT_RIGHT, 90, 150},
    {IDS_COL_WORKGROUP, LVCFMT_RIGHT, 80, 150}, {IDS_COL_VERSION, LVCFMT_RIGHT, 60, 60},
    {IDS_COL_STATE, LVCFMT_RIGHT, 108, 108},
};

const int kServerButtons[] = {IDC_CONFIGURE, IDC_DETAILS, IDC_MAP_DRIVE};

// Posted to the main window to draw the list again after a burst of changes.
constexpr UINT WM_LIST_REDRAW = WM_APP + 0x102;

}  // namespace

CBrellmarkDlg::CBrellmarkDlg(HWND parent)
    : ui::Dialog(IDD_BRELLMARK_DIALOG, parent),
      promptView_(*this, [this](bool ticked) { model_.OnSetupDontAsk(ticked); }),
      model_(*this, {configureView_, detailsView_, promptView_, wizardView_, importView_}) {
    icon_ = static_cast<HICON>(
        LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0));
    smallIcon_ = static_cast<HICON>(
        LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    banner_ = static_cast<HBITMAP>(
        LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0, 0));
}

CBrellmarkDlg::~CBrellmarkDlg() {
    Destroy();
    if (banner_)
        DeleteObject(banner_);
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

BOOL CBrellmarkDlg::OnInitDialog() {
    // System menu: "&Help" and "&About Tavix...", each after a separator.
    if (HMENU sys = GetSystemMenu(hwnd(), FALSE)) {
        const std::wstring help = ui::LoadText(IDS_HELP_MENU);
        if (!help.empty()) {
            AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(sys, MF_STRING, IDM_HELP, help.c_str());
        }
        const std::wstring import = ui::LoadText(IDS_IMPORT_MENU);
        if (!import.empty()) {
            AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(sys, MF_STRING | MF_GRAYED, IDM_IMPORT, import.c_str());
        }
        // Discovery beyond the broadcast: a typed address and the report.
        const std::wstring find = ui::LoadText(IDS_FIND_MENU);
        const std::wstring report = ui::LoadText(IDS_REPORT_MENU);
        if (!find.empty() || !report.empty())
            AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
        if (!find.empty())
            AppendMenuW(sys, MF_STRING, IDM_FIND_ADDRESS, find.c_str());
        if (!report.empty())
            AppendMenuW(sys, MF_STRING, IDM_DISCOVERY_REPORT, report.c_str());
        const std::wstring wakeUp = ui::LoadText(IDS_WAKE_MENU);
        if (!wakeUp.empty())
            AppendMenuW(sys, MF_STRING, IDM_WAKE_UP, wakeUp.c_str());
        const std::wstring about = ui::LoadText(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(sys, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    busyAnim_ = CreateWindowExW(0, ANIMATE_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, kAnimX, kAnimY,
                                0, 0, hwnd(), nullptr, ui::Instance(), nullptr);
    SendMessageW(busyAnim_, ACM_OPENW, reinterpret_cast<WPARAM>(ui::Instance()),
                 static_cast<LPARAM>(IDR_BUSY_AVI));

    list_ = Item(IDC_SERVER_LIST);
    LayoutList();

    socket_ = std::make_unique<CServerSocket>();
    socket_->Create(hwnd(), WM_SERVER_REPLIES);
    import_ = std::make_unique<ImportSession>(hwnd(), model_.importFlow());
    importView_.Attach(import_.get());
    wake_ = std::make_unique<CWakeSession>(hwnd(), model_);

    // The stored "don't ask" is read (the key made when missing) before the
    // first status reply can open the prompt.
    model_.Initialize();

    // Centre on the desktop.
    RECT r;
    GetWindowRect(hwnd(), &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(hwnd(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EnableHelp(true);
    SetFocus(Item(IDC_EXIT));
    return FALSE;
}

void CBrellmarkDlg::LayoutList() {
    RECT window;
    GetWindowRect(hwnd(), &window);
    const bool wide = (window.right - window.left) > 553;
    int width = 453, height = 183;
    if (wide) {
        RECT client, button;
        GetClientRect(hwnd(), &client);
        GetWindowRect(Item(IDC_CONFIGURE), &button);
        POINT top = {button.left, button.top};
        ScreenToClient(hwnd(), &top);
        width = client.right - 30;
        height = top.y - 112;
    }
    SetWindowPos(list_, nullptr, 15, 100, width, height, SWP_NOZORDER);
    const auto column = [&](int i) {
        return ui::ListColumn{kColumns[i].textId, wide ? kColumns[i].wideWidth : kColumns[i].width,
                              kColumns[i].format};
    };
    ui::SetUpReportList(list_, {column(0), column(1), column(2), column(3), column(4)});
}

int CBrellmarkDlg::RowCount() {
    return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
}

void CBrellmarkDlg::DeleteAllRows() {
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
}

void CBrellmarkDlg::DeferRedraw() {
    if (redrawDeferred_ || !PostMessageW(hwnd(), WM_LIST_REDRAW, 0, 0))
        return;
    redrawDeferred_ = true;
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
}

void CBrellmarkDlg::ResumeRedraw() {
    if (!redrawDeferred_)
        return;
    redrawDeferred_ = false;
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void CBrellmarkDlg::AppendRow(const std::string& name, const std::string& ip,
                              const std::string& workgroup) {
    DeferRedraw();
    std::wstring n = ui::Widen(name);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount();
    item.pszText = n.data();
    const int row =
        static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    SetRowText(row, app::COL_IP, ip);
    SetRowText(row, app::COL_WORKGROUP, workgroup);
}

std::wstring CBrellmarkDlg::CellText(int row, int column) {
    wchar_t buf[260] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = 259;
    SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buf;
}

std::string CBrellmarkDlg::RowText(int row, int column) {
    return ui::Narrow(CellText(row, column));
}

void CBrellmarkDlg::SetRowText(int row, int column, const std::string& text) {
    DeferRedraw();
    std::wstring t = ui::Widen(text);
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = t.data();
    SendMessageW(list_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void CBrellmarkDlg::ReorderRows(const std::vector<int>& order) {
    struct Row {
        std::wstring text[5];
        UINT state;
        LPARAM data;
    };
    std::vector<Row> rows(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        for (int c = 0; c < 5; ++c)
            rows[i].text[c] = CellText(static_cast<int>(i), c);
        rows[i].state =
            ListView_GetItemState(list_, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED);
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        rows[i].data = item.lParam;
    }
    for (size_t i = 0; i < order.size(); ++i) {
        Row& r = rows[static_cast<size_t>(order[i])];
        for (int c = 0; c < 5; ++c) {
            LVITEMW item = {};
            item.iSubItem = c;
            item.pszText = r.text[c].data();
            SendMessageW(list_, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        }
        LVITEMW item = {};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.iItem = static_cast<int>(i);
        item.lParam = r.data;
        item.state = r.state;
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CBrellmarkDlg::EnableServerButtons(bool enable) {
    for (int id : kServerButtons)
        EnableItem(id, enable);
}

void CBrellmarkDlg::EnableHelp(bool enable) {
    EnableItem(IDC_HELP_BUTTON, enable);
}

void CBrellmarkDlg::PlayBusy() {
    SendMessageW(busyAnim_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
}

void CBrellmarkDlg::StopBusy() {
    SendMessageW(busyAnim_, ACM_STOP, 0, 0);
    SendMessageW(busyAnim_, ACM_PLAY, 1, MAKELONG(0, 0));
}

void CBrellmarkDlg::StartTimer(int id, unsigned ms) {
    SetTimer(hwnd(), static_cast<UINT_PTR>(id), ms, nullptr);
}

void CBrellmarkDlg::StopTimer(int id) {
    KillTimer(hwnd(), static_cast<UINT_PTR>(id));
}

void CBrellmarkDlg::Send(const std::vector<uint8_t>& datagram) {
    if (socket_)
        socket_->SendDatagram(datagram);
}

int CBrellmarkDlg::SendTo(const std::vector<uint8_t>& datagram, uint32_t address) {
    return socket_ ? socket_->SendDatagramTo(datagram, address) : WSAENOTSOCK;
}

std::vector<proto::LocalInterface> CBrellmarkDlg::LocalInterfaces() {
    std::vector<proto::LocalInterface> interfaces;
    GetLocalInterfaces(&interfaces);
    return interfaces;
}

uint32_t CBrellmarkDlg::BroadcastAdapter() {
    return GetBroadcastAdapter();
}

void CBrellmarkDlg::ShowNoAnswerAt(const std::string& address) {
    MessageBoxW(hwnd(),
                ui::FillText(ui::LoadText(IDS_FIND_NO_ANSWER), {ui::Widen(address)}).c_str(),
                ui::LoadText(IDS_CAPTION_WARNING).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void CBrellmarkDlg::FindByAddress() {
    app::MainModel::FlowDialog dialog(model_);
    CFindAddress dlg(hwnd(), LocalInterfaces());
    if (dlg.DoModal() != IDOK)
        return;
    const std::wstring dotted = ui::Widen(proto::FormatIPv4(dlg.address));
    UINT text = 0;
    switch (model_.FindByAddress(dlg.address)) {
        case app::MainModel::FindResult::Sent:
            return;
        case app::MainModel::FindResult::AlreadyListed:
            text = IDS_FIND_LISTED;
            break;
        case app::MainModel::FindResult::SendFailed:
            text = IDS_FIND_SEND_FAILED;
            break;
    }
    MessageBoxW(hwnd(), ui::FillText(ui::LoadText(text), {dotted}).c_str(),
                ui::LoadText(IDS_CAPTION_WARNING).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void CBrellmarkDlg::ShowDiscoveryReport() {
    app::MainModel::FlowDialog dialog(model_);
    CDiscoveryReport dlg(hwnd(), model_.report());
    if (dlg.DoModal() == IDC_REPORT_FIND)
        FindByAddress();
}

void CBrellmarkDlg::ShowNoServers() {
    CNoServers dlg(hwnd());
    dlg.DoModal();
}

void CBrellmarkDlg::SelectRow(int row) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, row, FALSE);
}

void CBrellmarkDlg::ServerListed(const proto::ServerInfo& server) {
    if (wake_)
        wake_->OnServerListed(server);
}

bool CBrellmarkDlg::ImportAllowed() {
    return import_ && !import_->Busy() && model_.SelectedCopy().has_value();
}

void CBrellmarkDlg::OnImportUsers() {
    if (ImportAllowed())
        model_.OnImportUsers();
    else if (import_)
        import_->Raise();
}

int CBrellmarkDlg::SelectedRow() {
    return static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CBrellmarkDlg::ShowContextMenu(POINT screen, bool wizardEnabled, bool importEnabled) {
    HMENU menu = LoadMenuW(ui::Instance(), MAKEINTRESOURCEW(IDR_LIST_MENU));
    if (menu == nullptr)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    EnableMenuItem(popup, ID_RUN_WIZARD, MF_BYCOMMAND | (wizardEnabled ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(popup, ID_IMPORT_USERS, MF_BYCOMMAND | (importEnabled ? MF_ENABLED : MF_GRAYED));
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr);
    DestroyMenu(menu);
}

bool CBrellmarkDlg::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED && code != 0)
        return false;
    switch (id) {
        case IDC_CONFIGURE:
            model_.OnConfigure();
            return true;
        case IDC_DETAILS:
            model_.OnDetails();
            return true;
        case IDC_MAP_DRIVE:
            // The dialog gets copies: a discovery may rebuild the list while it is open.
            if (const std::optional<proto::ServerInfo> server = model_.SelectedCopy()) {
                app::MainModel::FlowDialog dialog(model_);
                mapdrive::RunSelectShare(
                    hwnd(), proto::FormatIPv4(server->ip),
                    std::string(server->name, strnlen(server->name, sizeof server->name)));
            }
            return true;
        case IDC_REFRESH:
            model_.StartDiscovery();
            return true;
        case IDC_HELP_BUTTON:
            ShowHelp(hwnd());
            return true;
        case IDC_EXIT:
            OnCancel();
            return true;
        case ID_RUN_WIZARD:
            model_.OnRunWizard();
            return true;
        case ID_SETUP_ANSWER:
            // Posted by the prompt once its window is gone: 1 = cancelled.
            model_.OnSetupAnswer(reinterpret_cast<LPARAM>(control) != 0);
            return true;
        case ID_IMPORT_USERS:
            OnImportUsers();
            return true;
        case ID_FIND_ADDRESS:
            FindByAddress();
            return true;
        case ID_DISCOVERY_REPORT:
            ShowDiscoveryReport();
            return true;
        case ID_WAKE_UP:
            if (wake_)
                wake_->Run();
            return true;
        default:
            return false;
    }
}

bool CBrellmarkDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_SERVER_LIST)
        return false;
    switch (header->code) {
        case NM_CLICK: {
            LVHITTESTINFO hit = {};
            GetCursorPos(&hit.pt);
            ScreenToClient(list_, &hit.pt);
            auto* act = reinterpret_cast<NMITEMACTIVATE*>(header);
            if (act->ptAction.x || act->ptAction.y)
                hit.pt = act->ptAction;
            const int row = static_cast<int>(
                SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            model_.OnListClick(row, SelectedRow());
            *result = 0;
            return true;
        }
        case NM_RCLICK: {
            auto* act = reinterpret_cast<NMITEMACTIVATE*>(header);
            LVHITTESTINFO hit = {};
            hit.pt = act->ptAction;
            const int row = static_cast<int>(
                SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            const bool wizard = model_.OnListRightClick(row);
            POINT screen = act->ptAction;
            ClientToScreen(list_, &screen);
            ShowContextMenu(screen, wizard, row >= 0 && ImportAllowed());
            *result = 0;
            return true;
        }
        case NM_DBLCLK: {
            // The selected server's web administration pages.
            if (const std::optional<proto::ServerInfo> server = model_.SelectedCopy())
                OpenWebAdmin(hwnd(), server->kind, server->ip);
            *result = 0;
            return true;
        }
        case LVN_COLUMNCLICK:
            model_.OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
            *result = 0;
            return true;
        case LVN_KEYDOWN: {
            const WORD key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
            model_.OnListKey(key == VK_DOWN ? 1 : key == VK_UP ? -1 : 0, SelectedRow());
            *result = 0;
            return true;
        }
        default:
            return false;
    }
}

INT_PTR CBrellmarkDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = true;
    if (msg == WM_SERVER_REPLY) {
        auto* block = reinterpret_cast<proto::ReplyBlock*>(lParam);
        if (block != nullptr) {
            model_.OnServerReply(*block);
            CServerSocket::FreeReplyBlock(block);
        }
        return TRUE;
    }
    if (msg == WM_SERVER_REPLIES) {
        DispatchReplies();
        return TRUE;
    }
    if (socket_ && socket_->HandleMessage(msg, wParam, lParam))
        return TRUE;
    switch (msg) {
        case WM_LIST_REDRAW:
            ResumeRedraw();
            return TRUE;
        case WM_TIMER:
            if (!wake_ || !wake_->OnTimer(static_cast<int>(wParam)))
                model_.OnTimer(static_cast<int>(wParam));
            return TRUE;
        case WM_IMPORT_DONE:
            if (import_)
                import_->ResultClosed();
            model_.OnImportDone(SelectedRow());
            return TRUE;
        case ImportSession::WM_IMPORT_WORKER_ENDED:
            if (import_)
                import_->WorkerEnded();
            return TRUE;
        case WM_INITMENU:
            // The menu handed over is not always the one GetSystemMenu gives
            // (it may hold the system menu as its submenu).
            EnableMenuItem(GetSystemMenu(hwnd(), FALSE), IDM_IMPORT,
                           MF_BYCOMMAND | (ImportAllowed() ? MF_ENABLED : MF_GRAYED));
            *handled = false;
            return FALSE;
        case WM_SYSCOMMAND:
            if (wParam == IDM_ABOUTBOX) {
                app::MainModel::FlowDialog dialog(model_);
                CAbout about(hwnd());
                about.DoModal();
                return TRUE;
            }
            if (wParam == IDM_HELP) {
                ShowHelp(hwnd());
                return TRUE;
            }
            if ((wParam & 0xFFF0) == IDM_FIND_ADDRESS) {
                FindByAddress();
                return TRUE;
            }
            if ((wParam & 0xFFF0) == IDM_DISCOVERY_REPORT) {
                ShowDiscoveryReport();
                return TRUE;
            }
            if ((wParam & 0xFFF0) == IDM_WAKE_UP) {
                app::MainModel::FlowDialog dialog(model_);
                if (wake_)
                    wake_->Run();
                return TRUE;
            }
            if ((wParam & 0xFFF0) == IDM_IMPORT) {
                OnImportUsers();
                return TRUE;
            }
            *handled = false;
            return FALSE;
        case WM_PAINT:
            Paint();
            return TRUE;
        case WM_QUERYDRAGICON:
            SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(icon_));
            return TRUE;
        case WM_DESTROY:
            Destroy();
            *handled = false;
            return FALSE;
        default:
            *handled = false;
            return FALSE;
    }
}

void CBrellmarkDlg::DispatchReplies() {
    if (!socket_)
        return;
    socket_->NoticeTaken();
    // A bounded number per notice, so that other messages get their turn; a
    // reply's handling may run a dialog, whose message loop takes the rest
    // through the notice the socket keeps posted while replies wait.
    for (int i = 0; i < kRepliesPerNotice && socket_; ++i) {
        proto::ReplyBlock* block = socket_->TakeReply();
        if (block == nullptr)
            break;
        model_.OnServerReply(*block);
        CServerSocket::FreeReplyBlock(block);
    }
}

void CBrellmarkDlg::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    if (IsIconic(hwnd())) {
        RECT r;
        GetClientRect(hwnd(), &r);
        const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (r.right - cx + 1) / 2, (r.bottom - cy + 1) / 2, icon_);
    } else {
        if (banner_) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, banner_);
            BitBlt(dc, kBannerX, kBannerY, kBannerW, kBannerH, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
        HPEN black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        HGDIOBJ old = SelectObject(dc, white);
        MoveToEx(dc, 414, 29, nullptr);
        LineTo(dc, 446, 29);
        MoveToEx(dc, 414, 29, nullptr);
        LineTo(dc, 414, 61);
        SelectObject(dc, black);
        MoveToEx(dc, 446, 29, nullptr);
        LineTo(dc, 446, 61);
        MoveToEx(dc, 414, 61, nullptr);
        LineTo(dc, 446, 61);
        SelectObject(dc, old);
        DeleteObject(white);
        DeleteObject(black);
    }
    EndPaint(hwnd(), &ps);
}

void CBrellmarkDlg::OnOK() {}  // Enter does not close the window; "E&xit" does

void CBrellmarkDlg::OnCancel() {
    // Also in the middle of a flow, with its dialogs open over this window
    // or a request out: nothing more is sent or said, every window of the
    // flow ends as if cancelled, and the program ends.
    model_.Close();
    promptView_.CloseSetupPrompt();
    if (import_)
        import_->Stop();  // not one more line once the user has asked to end
    ui::EndModalWindows(hwnd());
    EndDialog(hwnd(), IDCANCEL);
}

void CBrellmarkDlg::Destroy() {
    promptView_.CloseSetupPrompt();
    if (import_)
        import_->Stop();
    if (wake_)
        wake_->Flush();
    if (socket_) {
        socket_->Close();
        socket_.reset();
    }
    model_.ClearServers();
}
