// Helpers for tests that drive a real program (Brellmark.exe, setup.exe) from another process:
// start it, find its windows, read list views through memory allocated in
// its address space, press buttons and take screenshots.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

std::wstring Env(const wchar_t* name);
// "/tmp/x" -> "Z:\tmp\x", for paths handed over by the Linux side.
std::wstring WinePath(const std::wstring& unixPath);
std::vector<std::string> ReadLines(const std::wstring& path);
// The lines from line `from` on that start with `prefix`.
std::vector<std::string> StartingWith(const std::vector<std::string>& lines,
                                      const std::string& prefix, size_t from = 0);
// Writes one control line into the virtual NAS's FIFO ($TAVIX_VNAS_CONTROL).
bool VnasControl(const std::string& line);

// `ms` times the run's slow-down factor ($TAVIX_TIME_SCALE, default 1): the
// shipped 32-bit programs may run under user-space emulation, several times
// slower. Every wait below is scaled by it.
DWORD Scaled(DWORD ms);

// Polls `done` every 25 ms, pumping this thread's messages, up to `ms`.
bool WaitFor(const std::function<bool()>& done, DWORD ms);

struct Program {
    PROCESS_INFORMATION pi = {};
    bool Start(const std::wstring& exe);
    bool Exited(DWORD ms);
    void Kill();
};

// The visible top-level window of a class (by default Brellmark's main window).
HWND FindMainWindow(const wchar_t* windowClass = L"LumoNASTavixClass");
// A top-level window of the process with this caption (dialogs, message boxes).
HWND FindTopLevel(DWORD pid, const std::wstring& caption);
std::vector<HWND> TopLevelWindows(DWORD pid, const std::wstring& caption);
// A visible dialog or message box of any process by its caption, waited for
// up to `ms` (scaled).
HWND WaitDialog(const std::wstring& caption, DWORD ms);
// A wizard (property sheet) on screen: the visible top-level window that
// names a current page; of process `pid`, or of any process when 0.
HWND FindWizard(DWORD pid);
std::wstring WindowText(HWND w);
// A shell link read back through the shell's link interface.
struct LinkInfo {
    std::wstring target, arguments, directory;
};
bool ReadLink(const std::wstring& lnk, LinkInfo* out);
// Texts of the static controls of a dialog, in z-order.
std::vector<std::wstring> StaticTexts(HWND dialog);
// Presses a button of a dialog without waiting for what it starts.
void Press(HWND dialog, int id);

// A key pressed and released, posted to `target` as the keyboard posts it
// (its scan code; with `alt` the context bit, so that the message loop's
// translation makes a system key of it).
void PostKey(HWND target, UINT vk, bool alt = false);

// The ways a user leaves a window: one of its buttons, Return (the default
// button), Escape, Alt+F4 and the close box. Each is posted as the keyboard
// or the mouse would post it, so that the program's own message loop (and
// its dialog manager) turns it into what it means.
enum class Way { kButton, kReturn, kEscape, kAltF4, kCloseBox };
const char* WayName(Way way);
void Leave(HWND window, Way way, int button = IDCANCEL);

// Controls of another process's dialog. SetText replaces a control's text
// (for an edit box this also empties its undo buffer); Type sends the
// characters one by one as typed, after selecting all of the old text
// (`replace`) or putting the caret behind it, so the box can undo them.
bool SetText(HWND control, const std::wstring& text);
void Type(HWND edit, const std::wstring& text, bool replace);
bool IsChecked(HWND button);
// The address of an IP address control, host order (0 when blank).
DWORD IpAddress(HWND control);
void SetIpAddress(HWND control, DWORD hostOrder);

using Row = std::array<std::wstring, 5>;
int RowCount(HWND list);
std::vector<Row> Rows(HWND list, int columns = 5);
// The first row from `from` on whose `column` is empty (or the row count).
int FirstEmptyCell(HWND list, int column, int from);
RECT ItemRect(HWND list, int row);
RECT HeaderRect(HWND list, int column);
void Click(HWND window, POINT client);
int SelectedRow(HWND list);

// Saves the screen area of `window` as a 24-bit BMP.
bool SaveScreenshot(HWND window, const std::wstring& path);

}  // namespace e2e
