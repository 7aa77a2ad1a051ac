// The launcher's three hardware pages: where each window and control goes,
// what Next and Cancel do on each page, and how the installer is started.
// Plain C++; the Win32 program only applies these decisions.
#pragma once

#include <string>

namespace launcher {

constexpr int kPageCount = 3;
constexpr int kPageWidth = 640;
constexpr int kPageHeight = 480;
// Where the page's picture is drawn in its client area, and how much of it.
constexpr int kPictureX = 135, kPictureY = 70, kPictureWidth = 370, kPictureHeight = 223;
// The installer, found by the system's usual search for a program started by
// name (which begins with the launcher's own folder).
inline const char* const kInstaller = "setup.exe";

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// A page as the template lays it out (client pixels) and where it goes.
struct PageLayout {
    Rect window;              // screen coordinates
    Rect next, cancel, text;  // client coordinates
};

// The page window is 640 x 480, centred on a screen of the given size (no
// clamping: a smaller screen gives negative coordinates). Next goes to x 350
// and Cancel to x 480, each 100 wide, as tall as in the template and 20
// pixels higher; the text to 80,310 at its template size.
PageLayout LayOutPage(int screenWidth, int screenHeight, const Rect& nextTemplate,
                      const Rect& cancelTemplate, const Rect& textTemplate);

enum class PageAction {
    ShowNextPage,    // show the following page modally over this one
    StartInstaller,  // last page: start setup.exe, then close with OK
    Close,           // end this page's dialog (page 1's Cancel)
    EndProcess,      // end the whole launcher at once, exit code 0
};

// `page` counts from 1.
PageAction OnNext(int page);
PageAction OnCancel(int page);

// How a program is started. The launcher tries a new process first and asks
// the shell to open the program only when that fails.
class Starter {
public:
    virtual ~Starter() = default;
    virtual bool StartProcess(const std::string& commandLine) = 0;
    virtual bool ShellOpen(const std::string& file) = 0;
};

enum class StartedBy { Process, Shell, Nothing };
// Nothing is reported when neither way works: the launcher ends as usual.
StartedBy StartInstaller(Starter& starter);

}  // namespace launcher
