// What ui::Dialog and ui::PropertyPage share: the object behind a dialog
// template, bound to its window from WM_INITDIALOG (whose parameter leads to
// the object) to WM_NCDESTROY, and the dialog procedure that passes each
// message on to it.
#pragma once

#include <windows.h>

namespace ui {

// Owner (a friend) provides: static LPARAM ObjectOf(LPARAM) (the object's
// address from WM_INITDIALOG's parameter), INT_PTR Handle(UINT, WPARAM,
// LPARAM) and void Unbound() (its window is gone).
template <class Owner>
class BoundWindow {
public:
    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void EnableItem(int id, bool enable) { EnableWindow(Item(id), enable ? TRUE : FALSE); }

protected:
    explicit BoundWindow(UINT templateId) : templateId_(templateId) {}

    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        Owner* self;
        if (msg == WM_INITDIALOG) {
            const LPARAM object = Owner::ObjectOf(lParam);
            self = reinterpret_cast<Owner*>(object);
            static_cast<BoundWindow*>(self)->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, DWLP_USER, object);
        } else {
            self = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        }
        if (self == nullptr)
            return FALSE;
        const INT_PTR r = self->Handle(msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            static_cast<BoundWindow*>(self)->hwnd_ = nullptr;
            self->Unbound();
        }
        return r;
    }

    UINT templateId_;
    HWND hwnd_ = nullptr;
};

}  // namespace ui
