#include "ui/dialog.h"

#include <commctrl.h>

#include <vector>

namespace ui {

namespace {
HINSTANCE g_instance = nullptr;
bool g_closing = false;

BOOL CALLBACK EndModal(HWND w, LPARAM keep) {
    if (w == reinterpret_cast<HWND>(keep) || !IsWindowVisible(w))
        return TRUE;
    // A property sheet runs a loop of its own, which its Cancel ends; any
    // other window that is no dialog ignores EndDialog.
    if (FindWindowExW(w, nullptr, WC_TABCONTROLW, nullptr) != nullptr)
        PostMessageW(w, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    else
        EndDialog(w, IDCANCEL);
    return TRUE;
}
}  // namespace

bool Closing() {
    return g_closing;
}

void EndModalWindows(HWND keep) {
    g_closing = true;
    EnumThreadWindows(GetCurrentThreadId(), EndModal, reinterpret_cast<LPARAM>(keep));
}

HINSTANCE Instance() {
    return g_instance ? g_instance : GetModuleHandleW(nullptr);
}
void SetInstance(HINSTANCE instance) {
    g_instance = instance;
}

std::wstring LoadText(UINT id) {
    const wchar_t* p = nullptr;
    const int n = LoadStringW(Instance(), id, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 && p != nullptr ? std::wstring(p, static_cast<size_t>(n)) : std::wstring();
}

std::wstring FillText(const std::wstring& format, std::initializer_list<std::wstring> args) {
    std::wstring text;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's' &&
            next != args.end()) {
            text += *next++;
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

namespace {
LRESULT CALLBACK DialogKeysProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    if (msg == WM_GETDLGCODE) {
        const auto* m = reinterpret_cast<const MSG*>(lParam);
        if (m != nullptr && m->message == WM_KEYDOWN &&
            (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE || m->wParam == VK_TAB))
            return 0;
        return DefSubclassProc(w, msg, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    }
    if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(w, DialogKeysProc, 0);
    return DefSubclassProc(w, msg, wParam, lParam);
}
}  // namespace

void KeepDialogKeys(HWND edit) {
    SetWindowSubclass(edit, DialogKeysProc, 0, 0);
}

std::wstring Widen(const std::string& bytes) {
    if (bytes.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

void SetUpReportList(HWND list, std::initializer_list<ListColumn> columns) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    int i = 0;
    for (const ListColumn& c : columns) {
        std::wstring text = LoadText(c.text);
        LVCOLUMNW col = {};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = c.format;
        col.cx = c.width;
        col.pszText = text.data();
        col.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&col));
        ++i;
    }
}

int AppendListRow(HWND list, std::initializer_list<std::wstring> cells) {
    int row = -1;
    int column = 0;
    for (const std::wstring& cell : cells) {
        std::wstring text = cell;
        LVITEMW item = {};
        item.pszText = text.data();
        if (column == 0) {
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            row = static_cast<int>(
                SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            if (row < 0)
                return -1;
        } else {
            item.iSubItem = column;
            SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
        }
        ++column;
    }
    return row;
}

int MessageBoxIds(HWND owner, UINT textId, UINT captionId, UINT flags) {
    if (g_closing)
        return IDCANCEL;
    return MessageBoxW(owner, LoadText(textId).c_str(), LoadText(captionId).c_str(), flags);
}

Dialog::~Dialog() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::DoModal() {
    if (g_closing)
        return IDCANCEL;
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId_), parent_, Proc,
                           reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless() {
    return CreateDialogParamW(Instance(), MAKEINTRESOURCEW(templateId_), parent_, Proc,
                              reinterpret_cast<LPARAM>(this));
}

std::wstring Dialog::ItemText(int id) const {
    HWND item = Item(id);
    const int n = GetWindowTextLengthW(item);
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(item, buf.data(), n + 1);
    return std::wstring(buf.data());
}

void Dialog::SetItemText(int id, const std::wstring& text) {
    SetDlgItemTextW(hwnd_, id, text.c_str());
}

INT_PTR Dialog::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (OnCommand(id, code, reinterpret_cast<HWND>(lParam)))
                return TRUE;
            if (id == IDOK && code == BN_CLICKED) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
            return FALSE;
        }
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) {
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
        default: {
            bool handled = false;
            const INT_PTR r = OnMessage(msg, wParam, lParam, &handled);
            return handled ? r : FALSE;
        }
    }
}

}  // namespace ui
