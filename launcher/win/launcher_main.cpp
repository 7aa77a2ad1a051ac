// KDZ_INIT.exe: three hardware pages (network cable, power supply, power on),
// each a modal dialog over the previous one, then the installer. Reads no
// configuration, writes nothing, always exits with code 0.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "launcher/core/pages.h"
#include "resources/launcher/resource.h"
#include "ui/dialog.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

class SystemStarter : public launcher::Starter {
public:
    bool StartProcess(const std::string& commandLine) override {
        std::wstring line = ui::Widen(commandLine);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_FORCEONFEEDBACK;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                            nullptr, nullptr, &si, &pi))
            return false;
        // The launcher neither waits for the installer nor keeps its handles.
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    }
    bool ShellOpen(const std::string& file) override {
        HINSTANCE r = ShellExecuteW(nullptr, L"open", ui::Widen(file).c_str(), nullptr, nullptr,
                                    SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(r) > 32;
    }
};

HBRUSH WhiteBrush() {
    static HBRUSH brush = CreateSolidBrush(kWhite);
    return brush;
}

launcher::Rect ClientRectOf(HWND dialog, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return launcher::Rect{r.left, r.top, r.right, r.bottom};
}

void Place(HWND control, const launcher::Rect& r) {
    MoveWindow(control, r.left, r.top, r.Width(), r.Height(), TRUE);
}

class Page : public ui::Dialog {
public:
    Page(int number, HWND parent) : ui::Dialog(IDD_PAGE1 + number - 1, parent), number_(number) {}
    ~Page() override {
        if (picture_ != nullptr)
            DeleteObject(picture_);
    }

protected:
    BOOL OnInitDialog() override {
        HICON big = static_cast<HICON>(
            LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDR_LAUNCHER_ICON), IMAGE_ICON,
                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
        HICON small = static_cast<HICON>(
            LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDR_LAUNCHER_ICON), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        picture_ = static_cast<HBITMAP>(LoadImageW(ui::Instance(),
                                                   MAKEINTRESOURCEW(IDB_PAGE1 + number_ - 1),
                                                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));

        const launcher::PageLayout layout = launcher::LayOutPage(
            GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
            ClientRectOf(hwnd(), Item(IDOK)), ClientRectOf(hwnd(), Item(IDCANCEL)),
            ClientRectOf(hwnd(), Item(IDC_PAGE_TEXT)));
        MoveWindow(hwnd(), layout.window.left, layout.window.top, layout.window.Width(),
                   layout.window.Height(), TRUE);
        Place(Item(IDOK), layout.next);
        Place(Item(IDCANCEL), layout.cancel);
        Place(Item(IDC_PAGE_TEXT), layout.text);
        return TRUE;
    }

    void OnOK() override {
        switch (launcher::OnNext(number_)) {
            case launcher::PageAction::ShowNextPage: {
                Page next(number_ + 1, hwnd());
                if (next.DoModal() == IDOK)
                    EndDialog(hwnd(), IDOK);
                break;
            }
            case launcher::PageAction::StartInstaller: {
                SystemStarter starter;
                launcher::StartInstaller(starter);
                EndDialog(hwnd(), IDOK);
                break;
            }
            default:
                break;
        }
    }

    void OnCancel() override {
        if (launcher::OnCancel(number_) == launcher::PageAction::EndProcess)
            ExitProcess(0);
        EndDialog(hwnd(), IDCANCEL);
    }

    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM, bool* handled) override {
        switch (msg) {
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN: {
                *handled = true;
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, kBlack);
                SetBkColor(dc, kWhite);
                return reinterpret_cast<INT_PTR>(WhiteBrush());
            }
            case WM_PAINT:
                *handled = true;
                Paint();
                return TRUE;
            default:
                *handled = false;
                return 0;
        }
    }

private:
    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        if (IsIconic(hwnd())) {
            RECT client;
            GetClientRect(hwnd(), &client);
            HICON icon = reinterpret_cast<HICON>(SendMessageW(hwnd(), WM_GETICON, ICON_BIG, 0));
            DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                     (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, icon);
        } else if (picture_ != nullptr) {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(memory, picture_);
            BitBlt(dc, launcher::kPictureX, launcher::kPictureY, launcher::kPictureWidth,
                   launcher::kPictureHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        EndPaint(hwnd(), &ps);
    }

    int number_;
    HBITMAP picture_ = nullptr;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    ui::SetInstance(instance);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    Page first(1, nullptr);
    first.DoModal();
    return 0;
}
