#include "launcher/core/pages.h"

namespace launcher {

namespace {

Rect MovedTo(int x, int y, int width, int height) {
    return Rect{x, y, x + width, y + height};
}

}  // namespace

PageLayout LayOutPage(int screenWidth, int screenHeight, const Rect& nextTemplate,
                      const Rect& cancelTemplate, const Rect& textTemplate) {
    PageLayout out;
    const int left = screenWidth / 2 - kPageWidth / 2;
    const int top = screenHeight / 2 - kPageHeight / 2;
    out.window = Rect{left, top, left + kPageWidth, top + kPageHeight};
    out.next = MovedTo(350, nextTemplate.top - 20, 100, nextTemplate.Height());
    out.cancel = MovedTo(480, cancelTemplate.top - 20, 100, cancelTemplate.Height());
    out.text = MovedTo(80, 310, textTemplate.Width(), textTemplate.Height());
    return out;
}

PageAction OnNext(int page) {
    return page < kPageCount ? PageAction::ShowNextPage : PageAction::StartInstaller;
}

PageAction OnCancel(int page) {
    return page == 1 ? PageAction::Close : PageAction::EndProcess;
}

StartedBy StartInstaller(Starter& starter) {
    if (starter.StartProcess(kInstaller))
        return StartedBy::Process;
    if (starter.ShellOpen(kInstaller))
        return StartedBy::Shell;
    return StartedBy::Nothing;
}

}  // namespace launcher
