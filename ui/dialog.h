// A thin dialog class over plain Win32: one object per dialog resource, one
// virtual handler per kind of message. Text crosses the boundary as wide
// strings in the user interface and as ANSI bytes everywhere else.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <initializer_list>
#include <string>

#include "ui/bound_window.h"

namespace ui {

HINSTANCE Instance();
void SetInstance(HINSTANCE instance);

// Loads a string resource (empty when missing).
std::wstring LoadText(UINT id);
// ANSI code page <-> UTF-16.
std::wstring Widen(const std::string& bytes);
std::string Narrow(const std::wstring& text);

// Appends a row to a report-style list view: the first text in the item, the
// others in its subitems. Returns the row's index, or -1.
int AppendListRow(HWND list, std::initializer_list<std::wstring> cells);

// A report-style list's columns, in order: each its title from the string
// table, its width in pixels and its alignment.
struct ListColumn {
    UINT text;
    int width;
    int format = LVCFMT_LEFT;
};
// Every report list of the programs: full-row selection, grid lines and
// these columns.
void SetUpReportList(HWND list, std::initializer_list<ListColumn> columns);

// A text with each "%s" replaced by the next of `args` in turn (a "%s"
// beyond them stays as it is).
std::wstring FillText(const std::wstring& format, std::initializer_list<std::wstring> args);

// A read-only text box of several lines that the user scrolls by keyboard
// (PAGE DOWN and the arrows): Return, Escape and Tab still act on the dialog
// (its default button, Cancel, the next control), as in a one-line box. A
// multi-line box would keep them, and inside a wizard page it cannot reach
// the sheet's buttons.
void KeepDialogKeys(HWND edit);

// Message box with texts from the string table.
int MessageBoxIds(HWND owner, UINT textId, UINT captionId, UINT flags);

// The program is closing: every modal window of the calling thread other
// than `keep` (dialogs, message boxes, property sheets) ends as if
// cancelled, each when its own message loop next runs, and from now on
// DoModal and MessageBoxIds return IDCANCEL without showing anything and
// property pages let their sheet be cancelled.
void EndModalWindows(HWND keep);
bool Closing();

class Dialog : public BoundWindow<Dialog> {
public:
    Dialog(UINT templateId, HWND parent) : BoundWindow(templateId), parent_(parent) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    INT_PTR DoModal();
    HWND CreateModeless();

    std::wstring ItemText(int id) const;
    void SetItemText(int id, const std::wstring& text);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(hwnd_, IDOK); }
    virtual void OnCancel() { EndDialog(hwnd_, IDCANCEL); }
    // Returns true when the command was handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT* /*result*/) { return false; }
    // Every other message; set *handled to stop the default processing.
    virtual INT_PTR OnMessage(UINT /*msg*/, WPARAM, LPARAM, bool* handled) {
        *handled = false;
        return 0;
    }
    virtual void OnDestroyed() {}

    HWND parent_;

private:
    friend class BoundWindow<Dialog>;
    static LPARAM ObjectOf(LPARAM param) { return param; }
    INT_PTR Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void Unbound() { OnDestroyed(); }
};

}  // namespace ui
