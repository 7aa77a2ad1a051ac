#include "ui/background.h"

#include <utility>

#include "ui/dialog.h"

namespace ui {

namespace {
// Posted by WM_CREATE: the dialogs run once the message loop does.
constexpr UINT WM_RUN_DIALOGS = WM_APP + 100;
}  // namespace

std::vector<std::wstring> TitleLines(HDC dc, const std::wstring& title, int width) {
    SIZE size;
    GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &size);
    if (size.cx <= width)
        return {title};
    for (size_t blank = title.rfind(L' '); blank != std::wstring::npos && blank > 0;
         blank = title.rfind(L' ', blank - 1)) {
        GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(blank), &size);
        if (size.cx <= width)
            return {title.substr(0, blank), title.substr(blank + 1)};
    }
    return {title};
}

int PaintTitleBackground(HWND hwnd, const std::wstring& title, HBITMAP logo) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH teal = CreateSolidBrush(RGB(0, 128, 128));
    FillRect(dc, &client, teal);
    DeleteObject(teal);
    int logoHeight = 0;
    if (logo != nullptr) {
        BITMAP info;
        GetObjectW(logo, sizeof info, &info);
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, logo);
        BitBlt(dc, client.right - info.bmWidth, 0, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        logoHeight = info.bmHeight;
    }
    HFONT font = CreateFontW(42, 0, 0, 0, 600, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_ROMAN, L"Times New Roman");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const auto lines = TitleLines(dc, title, client.right - 15);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    for (int pass = 0; pass < 2; ++pass) {
        SetTextColor(dc, pass == 0 ? RGB(0, 0, 0) : RGB(255, 255, 255));
        const int x = pass == 0 ? 15 : 10, y = pass == 0 ? 10 : 5;
        for (size_t i = 0; i < lines.size(); ++i)
            TextOutW(dc, x, y + static_cast<int>(i) * tm.tmHeight, lines[i].c_str(),
                     static_cast<int>(lines[i].size()));
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
    const int band = tm.tmHeight * static_cast<int>(lines.size()) + 10;
    return band < logoHeight ? logoHeight : band;
}

BackgroundWindow::BackgroundWindow(Look look, std::function<void(HWND)> run,
                                   std::function<void()> destroyed)
    : look_(std::move(look)), run_(std::move(run)), destroyed_(std::move(destroyed)) {}

bool BackgroundWindow::Create() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = Instance();
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(look_.iconId));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = look_.className;
    RegisterClassW(&wc);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    hwnd_ = CreateWindowExW(0, look_.className, look_.caption.c_str(), look_.style, work.left,
                            work.top, work.right - work.left, work.bottom - work.top, nullptr,
                            nullptr, wc.hInstance, this);
    if (hwnd_ == nullptr)
        return false;
    if (look_.show) {
        ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
        UpdateWindow(hwnd_);
    }
    return true;
}

void BackgroundWindow::RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK BackgroundWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The object comes with WM_NCCREATE; the few messages before it get the
    // default processing.
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(
                              reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<BackgroundWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    self->hwnd_ = hwnd;
    const LRESULT r = self->Handle(msg, wParam, lParam);
    if (msg == WM_NCDESTROY)
        self->hwnd_ = nullptr;  // the last message the window gets
    return r;
}

LRESULT BackgroundWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            PostMessageW(hwnd_, WM_RUN_DIALOGS, 0, 0);
            return 0;
        case WM_RUN_DIALOGS:
            run_(hwnd_);
            DestroyWindow(hwnd_);
            return 0;
        case WM_PAINT:
            bandBottom_ = PaintTitleBackground(hwnd_, look_.title, look_.logo) +
                          GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            if (destroyed_)
                destroyed_();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

}  // namespace ui
