// The background window of the installer and the uninstaller: teal, an
// optional bitmap at the right edge and a title in large italic letters with
// a shadow, broken into two lines when it does not fit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

// The title broken at the last blank that lets the first line fit `width`.
std::vector<std::wstring> TitleLines(HDC dc, const std::wstring& title, int width);

// Paints the window (call from WM_PAINT). Returns the height of the title
// band: the title's lines plus 10, at least the bitmap's height.
int PaintTitleBackground(HWND hwnd, const std::wstring& title, HBITMAP logo);

}  // namespace ui
