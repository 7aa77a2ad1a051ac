#include "import/win/import_session.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "resources/brellmark/resource.h"

namespace {

// To the result window: lParam points to a Row to append (sent, so the row
// is added on the window's thread while the sender waits).
constexpr UINT WM_IMPORT_ADD_ROW = WM_APP + 0x104;
// To the result window: show yourself and take the keyboard (sent, so that
// the window comes forward on its own thread).
constexpr UINT WM_IMPORT_SHOW = WM_APP + 0x105;

// Brings `dialog` forward with the focus on `control`, as the dialog manager
// would put it when the window opens.
void TakeKeyboard(HWND dialog, HWND control) {
    SetForegroundWindow(dialog);
    SetActiveWindow(dialog);
    if (control != nullptr)
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

struct Row {
    std::wstring type, text;
};

// Both windows are modeless, and whichever loop runs (the main window's, a
// modal dialog's, a message box's) hands the dialog manager only its own
// dialog's keys: the hook gives the import's windows theirs, as the loop
// takes each key from the queue.
HWND g_keyWindows[2] = {};
HHOOK g_keys = nullptr;

LRESULT CALLBACK ImportKeys(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg != nullptr && msg->message >= WM_KEYFIRST &&
        msg->message <= WM_KEYLAST) {
        for (HWND w : g_keyWindows) {
            if (w != nullptr && IsWindow(w) && (msg->hwnd == w || IsChild(w, msg->hwnd)) &&
                IsDialogMessageW(w, msg)) {
                msg->message = WM_NULL;  // handled: the loop passes on nothing
                msg->wParam = 0;
                msg->lParam = 0;
                break;
            }
        }
    }
    return CallNextHookEx(g_keys, code, wParam, lParam);
}

}  // namespace

// ---------------------------------------------------------------------------
// Status window

CImportStatus::CImportStatus(HWND parent, const std::wstring& path)
    : ui::Dialog(IDD_IMPORT_STATUS, parent), path_(path) {}

BOOL CImportStatus::OnInitDialog() {
    SetItemText(IDC_IMPORT_FILE, path_);
    SendMessageW(Item(IDC_IMPORT_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(Item(IDC_IMPORT_PROGRESS), PBM_SETPOS, 0, 0);
    return TRUE;
}

void CImportStatus::OnCancel() {
    // Closing the window cancels the import after the current piece.
    DestroyWindow(hwnd());
}

INT_PTR CImportStatus::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd());
        *handled = true;
        return TRUE;
    }
    if (msg == WM_IMPORT_PROGRESS) {
        const unsigned long long done = wParam, total = static_cast<unsigned long long>(lParam);
        const unsigned percent = total ? static_cast<unsigned>(done * 100 / total) : 100;
        SendMessageW(Item(IDC_IMPORT_PROGRESS), PBM_SETPOS, percent, 0);
        wchar_t text[16];
        swprintf(text, 16, L"%d %c", static_cast<int>(percent), L'%');
        SetItemText(IDC_IMPORT_PERCENT, text);
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, 0);
        *handled = true;
        return TRUE;
    }
    *handled = false;
    return FALSE;
}

// ---------------------------------------------------------------------------
// Result window

CImportResult::CImportResult(HWND parent, HWND notify)
    : ui::Dialog(IDD_IMPORT_RESULT, parent), notify_(notify) {}

BOOL CImportResult::OnInitDialog() {
    HWND list = Item(IDC_IMPORT_LIST);
    ListView_SetTextColor(list, RGB(255, 0, 0));
    const auto pixels = [&](int units) {  // widths in dialog units
        RECT r = {0, 0, units, 8};
        MapDialogRect(hwnd(), &r);
        return static_cast<int>(r.right);
    };
    ui::SetUpReportList(list, {{IDS_IMPORT_COL_TYPE, pixels(90), LVCFMT_CENTER},
                               {IDS_IMPORT_COL_COMMAND, pixels(400)}});
    return TRUE;
}

void CImportResult::AddRow(const std::wstring& type, const std::wstring& text) {
    ui::AppendListRow(Item(IDC_IMPORT_LIST), {type, text});
}

void CImportResult::OnOK() {
    DestroyWindow(hwnd());
}

void CImportResult::OnCancel() {
    DestroyWindow(hwnd());
}

INT_PTR CImportResult::OnMessage(UINT msg, WPARAM, LPARAM lParam, bool* handled) {
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd());
        *handled = true;
        return TRUE;
    }
    if (msg == WM_IMPORT_SHOW) {
        ShowWindow(hwnd(), SW_SHOW);
        TakeKeyboard(hwnd(), GetNextDlgTabItem(hwnd(), nullptr, FALSE));
        *handled = true;
        return TRUE;
    }
    if (msg == WM_IMPORT_ADD_ROW) {
        const Row* row = reinterpret_cast<const Row*>(lParam);
        AddRow(row->type, row->text);
        *handled = true;
        return TRUE;
    }
    *handled = false;
    return FALSE;
}

void CImportResult::OnDestroyed() {
    if (notify_ != nullptr)
        SendMessageW(notify_, WM_IMPORT_DONE, 0, 0);
}

// ---------------------------------------------------------------------------
// Session

ImportSession::ImportSession(HWND mainWindow, accounts::LineSender& sender)
    : main_(mainWindow), sender_(sender) {
    if (g_keys == nullptr)
        g_keys = SetWindowsHookExW(WH_GETMESSAGE, ImportKeys, nullptr, GetCurrentThreadId());
}

ImportSession::~ImportSession() {
    Stop();
    g_keyWindows[0] = g_keyWindows[1] = nullptr;
    if (g_keys != nullptr)
        UnhookWindowsHookEx(g_keys);
    g_keys = nullptr;
}

bool ImportSession::Busy() const {
    return Running() || (resultHwnd_ != nullptr && IsWindow(resultHwnd_));
}

void ImportSession::Raise() {
    for (HWND w : {resultHwnd_, statusHwnd_}) {
        if (w != nullptr && IsWindow(w) && IsWindowVisible(w)) {
            SetForegroundWindow(w);
            return;
        }
    }
}

namespace {

// "a|b|c||" -> "a\0b\0c\0\0"
std::wstring Filter(const std::wstring& text) {
    std::wstring f = text;
    for (wchar_t& c : f)
        if (c == L'|')
            c = L'\0';
    return f + std::wstring(2, L'\0');
}

}  // namespace

bool ImportSession::Start(accounts::ImportServer server) {
    if (Busy()) {
        Raise();  // one import at a time: the open one comes forward
        return false;
    }
    wchar_t path[MAX_PATH] = L"*.txt";
    const std::wstring filter = Filter(ui::LoadText(IDS_IMPORT_FILTER));
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = main_;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"txt";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameW(&ofn))
        return false;

    HANDLE f =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        ui::MessageBoxIds(main_, IDS_IMPORT_FILE_ERROR, IDS_CAPTION_ERROR,
                          MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    uint8_t head[accounts::kSignatureBytes] = {};
    DWORD got = 0;
    const BOOL read = ReadFile(f, head, sizeof head, &got, nullptr);
    CloseHandle(f);
    if (!read || accounts::CheckSignature(head, got) != accounts::Signature::kOk) {
        // Not an account file (or another program's): nothing is sent.
        ui::MessageBoxIds(main_, IDS_IMPORT_BAD_FORMAT, IDS_CAPTION_ERROR,
                          MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    EnableWindow(GetDlgItem(main_, IDC_HELP_BUTTON), FALSE);
    server_ = server;
    path_ = path;
    // The hidden result window first: the dialog manager puts the focus in
    // each window as it is made, and the status window, shown at once, keeps
    // the keyboard (its Cancel button) while the import runs.
    result_ = std::make_unique<CImportResult>(main_, main_);
    resultHwnd_ = result_->CreateModeless();
    status_ = std::make_unique<CImportStatus>(main_, path_);
    statusHwnd_ = status_->CreateModeless();
    if (statusHwnd_ != nullptr)
        TakeKeyboard(statusHwnd_, GetDlgItem(statusHwnd_, IDCANCEL));
    g_keyWindows[0] = statusHwnd_;
    g_keyWindows[1] = resultHwnd_;
    quitting_ = false;
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (thread_ == nullptr) {
        DestroyWindow(statusHwnd_);
        DestroyWindow(resultHwnd_);
    }
    // WM_IMPORT_DONE follows when the result window goes.
    return thread_ != nullptr && resultHwnd_ != nullptr;
}

DWORD WINAPI ImportSession::ThreadMain(LPVOID param) {
    auto* self = static_cast<ImportSession*>(param);
    // Named where the system can (a debugger, or a test, tells it by name).
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    if (const auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription"))))
        describe(GetCurrentThread(), L"account import");
    accounts::RunImport(*self, self->sender_.importReplies());
    self->Finish();
    PostMessageW(self->main_, WM_IMPORT_WORKER_ENDED, 0, 0);
    return 0;
}

void ImportSession::Finish() {
    if (IsWindow(statusHwnd_))
        SendMessageW(statusHwnd_, WM_CLOSE, 0, 0);
    if (quitting_ || !IsWindow(resultHwnd_))
        return;
    const int rows =
        static_cast<int>(SendDlgItemMessageW(resultHwnd_, IDC_IMPORT_LIST, LVM_GETITEMCOUNT, 0, 0));
    if (rows == 0) {
        wchar_t caption[128] = {};
        GetWindowTextW(resultHwnd_, caption, 128);
        SendMessageW(resultHwnd_, WM_CLOSE, 0, 0);
        MessageBoxW(main_, ui::LoadText(IDS_IMPORT_SUCCESS).c_str(), caption,
                    MB_OK | MB_ICONINFORMATION);
    } else {
        SendMessageW(resultHwnd_, WM_IMPORT_SHOW, 0, 0);
    }
}

void ImportSession::WorkerEnded() {
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    status_.reset();
    g_keyWindows[0] = nullptr;
}

void ImportSession::ResultClosed() {
    resultHwnd_ = nullptr;
    g_keyWindows[1] = nullptr;
}

void ImportSession::Stop() {
    quitting_ = true;
    sender_.importReplies().Close();
    if (thread_ != nullptr) {
        // The worker may be sending to our windows: keep their messages moving.
        for (int i = 0; i < 1000; ++i) {
            const DWORD r = MsgWaitForMultipleObjects(1, &thread_, FALSE, 50, QS_SENDMESSAGE);
            if (r == WAIT_OBJECT_0)
                break;
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers sent messages
        }
        CloseHandle(thread_);
        thread_ = nullptr;
    }
}

void ImportSession::AddRowFromDispatcher(const std::string& type, const std::string& text) {
    if (result_ != nullptr && IsWindow(resultHwnd_))
        result_->AddRow(ui::Widen(type), ui::Widen(text));
}

// --- worker thread ---------------------------------------------------------

bool ImportSession::StatusOpen() {
    return !quitting_ && IsWindow(statusHwnd_);
}

bool ImportSession::Open(uint64_t* length) {
    file_ = CreateFileW(path_.c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size = {};
    if (file_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(file_, &size))
        return false;
    *length = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool ImportSession::Read(uint8_t* buffer, std::size_t want, std::size_t* got) {
    DWORD n = 0;
    if (!ReadFile(file_, buffer, static_cast<DWORD>(want), &n, nullptr))
        return false;
    *got = n;
    return true;
}

void ImportSession::CloseFile() {
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool ImportSession::SendLine(const std::string& line, accounts::ReplyMailbox& mailbox) {
    return sender_.SendImportLine(server_, line, mailbox);
}

void ImportSession::AddRow(const std::string& type, const std::string& text) {
    Row row{ui::Widen(type), ui::Widen(text)};
    if (IsWindow(resultHwnd_))
        SendMessageW(resultHwnd_, WM_IMPORT_ADD_ROW, 0, reinterpret_cast<LPARAM>(&row));
}

void ImportSession::Progress(uint64_t done, uint64_t total) {
    if (IsWindow(statusHwnd_))
        SendMessageW(statusHwnd_, WM_IMPORT_PROGRESS, static_cast<WPARAM>(done),
                     static_cast<LPARAM>(total));
}

void ImportSession::Pause(std::chrono::milliseconds ms) {
    Sleep(static_cast<DWORD>(ms.count()));
}

void ImportSession::FileError() {
    if (!quitting_)
        MessageBoxW(main_, ui::LoadText(IDS_IMPORT_FILE_ERROR).c_str(),
                    ui::LoadText(IDS_CAPTION_ERROR).c_str(), MB_OK | MB_ICONEXCLAMATION);
}
