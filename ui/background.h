// The background window of the installer and the uninstaller: teal, an
// optional bitmap at the right edge and a title in large italic letters with
// a shadow, broken into two lines when it does not fit. It covers the work
// area and, once its message loop runs, runs the program's dialogs; it is
// destroyed when they have ended, and the loop ends with it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

// The title broken at the last blank that lets the first line fit `width`.
std::vector<std::wstring> TitleLines(HDC dc, const std::wstring& title, int width);

// Paints the window (call from WM_PAINT). Returns the height of the title
// band: the title's lines plus 10, at least the bitmap's height.
int PaintTitleBackground(HWND hwnd, const std::wstring& title, HBITMAP logo);

class BackgroundWindow {
public:
    struct Look {
        const wchar_t* className;
        UINT iconId;
        std::wstring caption;    // the window's (and the taskbar's) text
        std::wstring title;      // painted in the band
        HBITMAP logo = nullptr;  // not owned; may be null
        DWORD style = WS_OVERLAPPEDWINDOW;
        bool show = true;  // false: created but never shown (hidden runs)
    };
    // `run` is called once the message loop runs, with the window as the
    // dialogs' owner; `destroyed` (optional) when the window goes.
    BackgroundWindow(Look look, std::function<void(HWND)> run,
                     std::function<void()> destroyed = nullptr);
    BackgroundWindow(const BackgroundWindow&) = delete;
    BackgroundWindow& operator=(const BackgroundWindow&) = delete;

    // Registers the class and creates the window over the work area; false
    // when it cannot.
    bool Create();
    // Dispatches messages until the window is gone.
    void RunMessageLoop();

    HWND hwnd() const { return hwnd_; }
    // How far below the work area's top the window's caption, frame and title
    // band reach; 0 until the window was first painted.
    int bandBottom() const { return bandBottom_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    Look look_;
    std::function<void(HWND)> run_;
    std::function<void()> destroyed_;
    HWND hwnd_ = nullptr;
    int bandBottom_ = 0;
};

}  // namespace ui
