#include "ui/property_page.h"

#include "ui/dialog.h"

namespace ui {

UINT FocusPageMessage() {
    static const UINT message = RegisterWindowMessageW(L"TavixFocusPage");
    return message;
}

namespace {

bool CanFocus(HWND w) {
    return w != nullptr && IsWindowVisible(w) && IsWindowEnabled(w);
}

// The first enabled tab stop among the children of `parent`, or nullptr.
HWND FirstTabStop(HWND parent) {
    for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        if (CanFocus(c) && (GetWindowLongPtrW(c, GWL_STYLE) & WS_TABSTOP) != 0)
            return c;
    return nullptr;
}

}  // namespace

void FocusPage(HWND page) {
    HWND sheet = GetParent(page);
    if (sheet == nullptr || !IsWindowVisible(page))
        return;
    HWND target = FirstTabStop(page);
    if (target != nullptr && (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0) {
        // The checked button of the group has the focus, as Tab would put it.
        HWND c = target;
        do {
            if (SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED && CanFocus(c)) {
                target = c;
                break;
            }
            c = GetNextDlgGroupItem(page, c, FALSE);
        } while (c != nullptr && c != target);
    }
    if (target == nullptr) {
        const LRESULT def = SendMessageW(sheet, DM_GETDEFID, 0, 0);
        HWND button = HIWORD(def) == DC_HASDEFID ? GetDlgItem(sheet, LOWORD(def)) : nullptr;
        target = CanFocus(button) ? button : FirstTabStop(sheet);
    }
    if (target != nullptr)
        SendMessageW(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

HPROPSHEETPAGE PropertyPage::Create(DWORD extraFlags) {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT | extraFlags;
    page.hInstance = Instance();
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pfnDlgProc = Proc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
}

INT_PTR PropertyPage::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            switch (header->code) {
                case PSN_SETACTIVE:
                    OnSetActive();
                    // After the buttons it set, which the sheet takes in turn.
                    PostMessageW(hwnd_, FocusPageMessage(), 0, 0);
                    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
                    return TRUE;
                case PSN_WIZNEXT:
                    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, OnWizardNext() ? 0 : -1);
                    return TRUE;
                case PSN_WIZFINISH:
                    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, OnWizardFinish() ? FALSE : TRUE);
                    return TRUE;
                case PSN_QUERYCANCEL:
                    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT,
                                      OnQueryCancel() || Closing() ? FALSE : TRUE);
                    return TRUE;
                default:
                    break;
            }
            bool handled = false;
            const INT_PTR r = OnMessage(msg, wParam, lParam, &handled);
            return handled ? r : FALSE;
        }
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default: {
            if (msg == FocusPageMessage()) {
                FocusPage(hwnd_);
                return TRUE;
            }
            bool handled = false;
            const INT_PTR r = OnMessage(msg, wParam, lParam, &handled);
            return handled ? r : FALSE;
        }
    }
}

}  // namespace ui
