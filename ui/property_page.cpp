#include "ui/property_page.h"

#include "ui/dialog.h"

namespace ui {

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

INT_PTR CALLBACK PropertyPage::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    PropertyPage* self;
    if (msg == WM_INITDIALOG) {
        const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        self = reinterpret_cast<PropertyPage*>(page->lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, page->lParam);
    } else {
        self = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr)
        return FALSE;
    const INT_PTR r = self->Handle(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return r;
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
            bool handled = false;
            const INT_PTR r = OnMessage(msg, wParam, lParam, &handled);
            return handled ? r : FALSE;
        }
    }
}

}  // namespace ui
