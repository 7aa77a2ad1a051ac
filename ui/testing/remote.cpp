#include "ui/testing/remote.h"

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cwchar>
#include <fstream>

namespace e2e {

std::wstring Env(const wchar_t* name) {
    wchar_t buf[1024];
    const DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::wstring WinePath(const std::wstring& unixPath) {
    std::wstring out = L"Z:" + unixPath;
    for (auto& c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return lines;
    std::string all;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        all.append(buf, got);
    CloseHandle(f);
    size_t start = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == '\n') {
            lines.push_back(all.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

std::vector<std::string> StartingWith(const std::vector<std::string>& lines,
                                      const std::string& prefix, size_t from) {
    std::vector<std::string> out;
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0)
            out.push_back(lines[i]);
    return out;
}

bool VnasControl(const std::string& line) {
    const std::wstring fifo = WinePath(Env(L"TAVIX_VNAS_CONTROL"));
    HANDLE f = CreateFileW(fifo.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    const std::string text = line + "\n";
    DWORD wrote = 0;
    const bool ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) &&
                    wrote == text.size();
    CloseHandle(f);
    return ok;
}

DWORD Scaled(DWORD ms) {
    static const DWORD scale = [] {
        const std::wstring text = Env(L"TAVIX_TIME_SCALE");
        const unsigned long n = text.empty() ? 1 : std::wcstoul(text.c_str(), nullptr, 10);
        return n >= 1 && n <= 100 ? static_cast<DWORD>(n) : 1;
    }();
    return ms * scale;
}

bool WaitFor(const std::function<bool()>& done, DWORD ms) {
    ms = Scaled(ms);
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(25);
    }
}

bool Program::Start(const std::wstring& exe) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe + L"\"";
    return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi) != 0;
}

bool Program::Exited(DWORD ms) {
    return WaitForSingleObject(pi.hProcess, Scaled(ms)) == WAIT_OBJECT_0;
}

void Program::Kill() {
    if (pi.hProcess == nullptr)
        return;
    if (!Exited(0)) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    pi = {};
}

HWND FindMainWindow(const wchar_t* windowClass) {
    HWND w = FindWindowW(windowClass, nullptr);
    return w != nullptr && IsWindowVisible(w) ? w : nullptr;
}

namespace {
struct EnumState {
    DWORD pid;
    std::wstring caption;
    std::vector<HWND> found;
};
BOOL CALLBACK EnumTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<EnumState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == s->pid && IsWindowVisible(w) && WindowText(w) == s->caption)
        s->found.push_back(w);
    return TRUE;
}
BOOL CALLBACK EnumStatic(HWND w, LPARAM lp) {
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        const std::wstring t = WindowText(w);
        if (!t.empty())
            reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(t);
    }
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid, const std::wstring& caption) {
    EnumState s{pid, caption, {}};
    EnumWindows(EnumTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindTopLevel(DWORD pid, const std::wstring& caption) {
    auto all = TopLevelWindows(pid, caption);
    return all.empty() ? nullptr : all.front();
}

HWND WaitDialog(const std::wstring& caption, DWORD ms) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            found = FindWindowW(L"#32770", caption.c_str());
            return found != nullptr && IsWindowVisible(found);
        },
        ms);
    return found;
}

namespace {

struct WizardSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK EnumWizard(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<WizardSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    DWORD_PTR page = 0;
    if ((s->pid == 0 || pid == s->pid) && IsWindowVisible(w) &&
        SendMessageTimeoutW(w, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 1000, &page) != 0 &&
        page != 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindWizard(DWORD pid) {
    WizardSearch s{pid, nullptr};
    EnumWindows(EnumWizard, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool ReadLink(const std::wstring& lnk, LinkInfo* out) {
    const bool initialized = SUCCEEDED(CoInitialize(nullptr));
    bool ok = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {}, args[MAX_PATH] = {}, dir[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) {
                link->GetArguments(args, MAX_PATH);
                link->GetWorkingDirectory(dir, MAX_PATH);
                *out = LinkInfo{path, args, dir};
                ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    if (initialized)
        CoUninitialize();
    return ok;
}

std::wstring WindowText(HWND w) {
    wchar_t buf[1024] = {};
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                             2000, &n))
        return {};
    return buf;
}

std::vector<std::wstring> StaticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    EnumChildWindows(dialog, EnumStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

const char* WayName(Way way) {
    switch (way) {
        case Way::kButton:
            return "button";
        case Way::kReturn:
            return "Return";
        case Way::kEscape:
            return "Escape";
        case Way::kAltF4:
            return "Alt+F4";
        default:
            return "close box";
    }
}

void PostKey(HWND target, UINT vk, bool alt) {
    const LPARAM bits = 1 | (static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16) |
                        (alt ? LPARAM{1} << 29 : 0);
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, bits);
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, bits | (LPARAM{3} << 30));
}

void Leave(HWND window, Way way, int button) {
    switch (way) {
        case Way::kButton:
            Press(window, button);
            break;
        case Way::kReturn:
            PostKey(window, VK_RETURN);
            break;
        case Way::kEscape:
            PostKey(window, VK_ESCAPE);
            break;
        case Way::kAltF4:
            PostKey(window, VK_F4, true);
            break;
        case Way::kCloseBox:
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
}

namespace {
// A block of memory in the list's process.
class RemoteBuffer {
public:
    explicit RemoteBuffer(HWND w, size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        proc_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (proc_)
            mem_ = static_cast<char*>(
                VirtualAllocEx(proc_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBuffer() {
        if (mem_)
            VirtualFreeEx(proc_, mem_, 0, MEM_RELEASE);
        if (proc_)
            CloseHandle(proc_);
    }
    char* at(size_t offset) const { return mem_ + offset; }
    bool ok() const { return mem_ != nullptr; }
    void Write(size_t offset, const void* data, size_t n) {
        WriteProcessMemory(proc_, mem_ + offset, data, n, nullptr);
    }
    void Read(size_t offset, void* data, size_t n) {
        ReadProcessMemory(proc_, mem_ + offset, data, n, nullptr);
    }

private:
    HANDLE proc_ = nullptr;
    char* mem_ = nullptr;
    size_t size_;
};
}  // namespace

bool SetText(HWND control, const std::wstring& text) {
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, 2000, &r) != 0 &&
           r != 0;
}

void Type(HWND edit, const std::wstring& text, bool replace) {
    DWORD_PTR r = 0;
    const LPARAM end = replace ? -1 : static_cast<LPARAM>(WindowText(edit).size());
    SendMessageTimeoutW(edit, EM_SETSEL, replace ? 0 : static_cast<WPARAM>(end), end,
                        SMTO_ABORTIFHUNG, 2000, &r);
    for (wchar_t c : text)
        SendMessageTimeoutW(edit, WM_CHAR, c, 1, SMTO_ABORTIFHUNG, 2000, &r);
}

bool IsChecked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

DWORD IpAddress(HWND control) {
    RemoteBuffer buf(control, sizeof(DWORD));
    if (!buf.ok())
        return 0;
    DWORD a = 0;
    buf.Write(0, &a, sizeof a);
    SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(buf.at(0)));
    buf.Read(0, &a, sizeof a);
    return a;
}

void SetIpAddress(HWND control, DWORD hostOrder) {
    SendMessageW(control, IPM_SETADDRESS, 0, static_cast<LPARAM>(hostOrder));
}

int RowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

namespace {
std::wstring ReadCell(RemoteBuffer& buf, HWND list, int row, int column) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.cchTextMax = 256;
    item.pszText = reinterpret_cast<LPWSTR>(buf.at(sizeof item));
    buf.Write(0, &item, sizeof item);
    wchar_t zero = 0;
    buf.Write(sizeof item, &zero, sizeof zero);
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buf.at(0)));
    wchar_t text[257] = {};
    buf.Read(sizeof item, text, 256 * sizeof(wchar_t));
    return text;
}
}  // namespace

int FirstEmptyCell(HWND list, int column, int from) {
    RemoteBuffer buf(list, 4096);
    if (!buf.ok())
        return from;
    const int n = RowCount(list);
    while (from < n && !ReadCell(buf, list, from, column).empty())
        ++from;
    return from;
}

std::vector<Row> Rows(HWND list, int columns) {
    std::vector<Row> rows;
    RemoteBuffer buf(list, 4096);
    if (!buf.ok())
        return rows;
    const int n = RowCount(list);
    for (int r = 0; r < n; ++r) {
        Row row;
        for (int c = 0; c < columns; ++c)
            row[static_cast<size_t>(c)] = ReadCell(buf, list, r, c);
        rows.push_back(row);
    }
    return rows;
}

RECT ItemRect(HWND list, int row) {
    RECT r = {};
    RemoteBuffer buf(list, sizeof r);
    r.left = LVIR_BOUNDS;
    buf.Write(0, &r, sizeof r);
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(buf.at(0)));
    buf.Read(0, &r, sizeof r);
    return r;
}

RECT HeaderRect(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT r = {};
    RemoteBuffer buf(header, sizeof r);
    SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(buf.at(0)));
    buf.Read(0, &r, sizeof r);
    return r;
}

void Click(HWND window, POINT p) {
    const LPARAM at = MAKELPARAM(p.x, p.y);
    PostMessageW(window, WM_MOUSEMOVE, 0, at);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

int SelectedRow(HWND list) {
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool SaveScreenshot(HWND window, const std::wstring& path) {
    RECT r;
    GetWindowRect(window, &r);
    // A maximised window reaches past the screen's edges; keep what is on it.
    const RECT screenRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&r, &r, &screenRect);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    bool ok = false;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD wrote;
        ok = WriteFile(f, &fh, sizeof fh, &wrote, nullptr) &&
             WriteFile(f, &bi.bmiHeader, sizeof bi.bmiHeader, &wrote, nullptr) &&
             WriteFile(f, bits, size, &wrote, nullptr);
        CloseHandle(f);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace e2e
