// A thin property sheet page over plain Win32, the sibling of ui::Dialog for
// pages of a sheet (wizards): one object per page resource, virtual handlers
// for the sheet's notifications.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "ui/bound_window.h"

namespace ui {

// After a page change the sheet leaves the focus where the last page had it,
// often on a button that the new page disables, and then no key reaches the
// sheet. FocusPage puts it on the page's first input (the checked button of a
// radio group), else on the sheet's default button, else on the first button
// that can be pressed (Cancel while a wizard works). A page posts
// FocusPageMessage() to itself when it becomes active and calls FocusPage on
// it once the sheet has shown the page.
UINT FocusPageMessage();
void FocusPage(HWND page);

class PropertyPage : public BoundWindow<PropertyPage> {
public:
    explicit PropertyPage(UINT templateId) : BoundWindow(templateId) {}
    virtual ~PropertyPage() = default;
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;

    // The page for PropertySheetW; the sheet destroys it.
    HPROPSHEETPAGE Create(DWORD extraFlags = 0);
    HWND sheet() const { return hwnd_ ? GetParent(hwnd_) : nullptr; }
    bool IsChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void Check(int id, bool checked) {
        CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
    }

protected:
    // The page's window was created (first showing).
    virtual void OnInitDialog() {}
    // The page becomes active.
    virtual void OnSetActive() {}
    // Next pressed: true lets the wizard advance, false keeps it here.
    virtual bool OnWizardNext() { return true; }
    // Finish pressed: true lets the sheet close.
    virtual bool OnWizardFinish() { return true; }
    // Cancel, Escape or the window's close: true lets the sheet close (it
    // always may while the program closes).
    virtual bool OnQueryCancel() { return true; }
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // Every other message; set *handled to stop the default processing.
    virtual INT_PTR OnMessage(UINT /*msg*/, WPARAM, LPARAM, bool* handled) {
        *handled = false;
        return 0;
    }
    // The page's window is being destroyed.
    virtual void OnDestroy() {}

private:
    friend class BoundWindow<PropertyPage>;
    // WM_INITDIALOG of a page brings its PROPSHEETPAGEW, whose lParam is the object.
    static LPARAM ObjectOf(LPARAM param) {
        return reinterpret_cast<const PROPSHEETPAGEW*>(param)->lParam;
    }
    INT_PTR Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void Unbound() {}
};

// A page of a wizard: knows the wizard and its place in the order.
template <class Wizard, class Place>
class WizardPage : public PropertyPage {
public:
    WizardPage(Wizard& wizard, UINT templateId, Place page)
        : PropertyPage(templateId), wizard_(wizard), page_(page) {}

protected:
    Wizard& wizard_;
    Place page_;
};

// The sheet's pages, in order; none when one of them cannot be made (the
// ones made are destroyed then).
template <typename Pages>
std::vector<HPROPSHEETPAGE> CreatePages(const Pages& pages) {
    std::vector<HPROPSHEETPAGE> made;
    for (const auto& page : pages) {
        made.push_back(page->Create());
        if (made.back() != nullptr)
            continue;
        made.pop_back();
        for (HPROPSHEETPAGE h : made)
            DestroyPropertySheetPage(h);
        return {};
    }
    return made;
}

}  // namespace ui
