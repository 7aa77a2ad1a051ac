// Start-up: one copy per desktop, the dialog window class, Windows Sockets,
// then the main window until the user closes it.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>

#include "app/win/brellmark_dlg.h"
#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

namespace {

constexpr wchar_t kClassName[] = L"LumoNASTavixClass";

class CBrellmarkApp {
public:
    // Always false: the program ends when the main window is closed.
    bool InitInstance(HINSTANCE instance) {
        ui::SetInstance(instance);
        if (HWND running = FindWindowW(kClassName, nullptr)) {
            ShowWindow(running, SW_SHOWNORMAL);
            BringWindowToTop(running);
            SetForegroundWindow(running);
            return false;
        }
        WNDCLASSW wc = {};
        wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_BYTEALIGNWINDOW;
        wc.lpfnWndProc = DefDlgProcW;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(9));
        wc.lpszClassName = kClassName;
        RegisterClassW(&wc);

        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
            MessageBoxW(nullptr, ui::LoadText(IDS_WINSOCK_FAILED).c_str(),
                        ui::LoadText(IDS_APP_TITLE).c_str(), MB_OK);
            return false;
        }
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES |
                                                    ICC_DATE_CLASSES | ICC_ANIMATE_CLASS};
        InitCommonControlsEx(&icc);

        CBrellmarkDlg dlg;
        dlg.DoModal();
        WSACleanup();
        return false;
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    CBrellmarkApp app;
    app.InitInstance(instance);
    return 0;
}
