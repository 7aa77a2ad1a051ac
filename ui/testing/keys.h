// Keyboard checks of another process's windows, as a user without a mouse
// meets them: where the focus is, what Return and Escape do, where each
// access key leads and whether Tab follows the layout.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The window that has the keyboard focus in the thread of `window`.
HWND FocusOf(HWND window);

// What is wrong with the keyboard in a dialog, or in a wizard's or property
// sheet's current page (pass the page; its sheet's buttons count with it):
// - the focus is on the first enabled tab stop of the page or dialog, or on
//   the default button (when `wantDefault`, one that is visible and enabled);
// - no access key twice among the visible controls of the window;
// - each label's access key reaches the input it names: pressed, it moves the
//   focus to an input to the right of or below the label;
// - the tab stops of each dialog or page in tab order never lead left along a
//   row or up along a column;
// - Tab reaches every group of radio buttons.
// Each fault is one line of text naming the controls.
std::vector<std::string> KeyboardFaults(HWND window, bool wantDefault = true);

// Presses `vk` (down and up) on the window that has the focus in the thread
// of `window`, as the keyboard would; a letter 'A' to 'Z' is that access key
// (Alt and the letter). False when nothing has the focus.
bool PressKey(HWND window, UINT vk);

// One step of a walk through a program's windows by keyboard: the window
// `name` is checked (the first time the walk meets it: the focus is where a
// window puts it on opening), `key` pressed, and `next` awaited. With `opens`
// the key opens `next` over the window (which stays); otherwise the window
// goes away (or the wizard leaves the page) and `next` follows. An empty
// `next` means the program ends (the driver checks how).
struct KeyStep {
    const wchar_t* name;
    UINT key;
    const wchar_t* next;
    bool opens = false;
    bool wantDefault = true;
};

// Return on each of `names` in turn, its default button leading to the next.
std::vector<KeyStep> ReturnThrough(const std::vector<const wchar_t*>& names);

// A walk: `find` names the windows (nullptr while one is not shown),
// `before` runs once a window is found, before its checks (to fill it in,
// take a picture). Faults gather as "name: fault".
struct KeyWalk {
    std::function<HWND(const std::wstring& name)> find;
    DWORD ms = 10000;  // for each window to appear (scaled)
    std::function<void(const KeyStep&, HWND)> before;
    // Runs once the key is pressed, before `next` is awaited (to end a wait
    // the program would time, by its timer message).
    std::function<void(const KeyStep&, HWND)> after;
    std::vector<std::string> faults;

    // Walks `steps` in order; stops at a window that does not appear or a
    // key that leads nowhere, and then returns false.
    bool Walk(const std::vector<KeyStep>& steps);
    // The faults, one a line.
    std::string Report() const;
    // How many windows were checked.
    size_t Checked() const { return checked_.size(); }

private:
    std::vector<HWND> checked_;
};

}  // namespace e2e
