#include "ui/background.h"

namespace ui {

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

}  // namespace ui
