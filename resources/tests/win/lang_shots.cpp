// Shows every dialog of a program in every language it carries, measures each
// static and button text with the control's own font against the control's
// client area, and saves a picture of each dialog.
//
//   lang_shots.exe PROGRAM.exe OUTDIR [TAG]     all languages (or one); pictures
//                                               in OUTDIR/<tag>/<dialog>.bmp
//   lang_shots.exe --system PROGRAM.exe DIALOG [LANGID]
//                                               the language tag the system's
//                                               resource lookup picks for
//                                               DIALOG ("#102"; "*": the first),
//                                               after SetThreadLocale(LANGID)
//                                               when one is given (hex)
//
// Every text that does not fit is one line on standard output:
//   FAULT <tag> <dialog> <control id> "<text>" needs WxH, has WxH
// and the exit code is 1 when there was any.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/testing/remote.h"

namespace {

struct Language {
    LANGID id;
    const wchar_t* tag;
};
const Language kLanguages[] = {
    {0x0409, L"en-US"},
    {0x0404, L"zh-TW"},
    {0x0804, L"zh-CN"},
    {0x0406, L"da-DK"},
    {0x0413, L"nl-NL"},
    {0x040B, L"fi-FI"},
    {0x040C, L"fr-FR"},
    {0x0407, L"de-DE"},
    {0x0410, L"it-IT"},
    {0x0411, L"ja-JP"},
    {0x0412, L"ko-KR"},
    {0x0414, L"nb-NO"},
    {0x0416, L"pt-BR"},
    {0x0419, L"ru-RU"},
    {0x080A, L"es-MX"},
    {0x041D, L"sv-SE"},
    // The same texts under the primary language alone.
    {0x0006, L"da"},
    {0x0013, L"nl"},
    {0x000B, L"fi"},
    {0x000C, L"fr"},
    {0x0007, L"de"},
    {0x0010, L"it"},
    {0x0011, L"ja"},
    {0x0012, L"ko"},
    {0x0014, L"nb"},
    {0x0016, L"pt"},
    {0x0019, L"ru"},
    {0x000A, L"es"},
    {0x001D, L"sv"},
};

std::wstring Tag(LANGID id) {
    for (const auto& l : kLanguages)
        if (l.id == id)
            return l.tag;
    wchar_t buf[16];
    swprintf(buf, 16, L"%04X", id);
    return buf;
}

struct Dialog {
    std::wstring name;  // "#123" or the resource's name
    LPCWSTR resource;
    std::vector<LANGID> languages;
};

std::vector<Dialog> g_dialogs;
HMODULE g_module;
int g_faults = 0;

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR param) {
    reinterpret_cast<Dialog*>(param)->languages.push_back(lang);
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR) {
    Dialog d;
    if (IS_INTRESOURCE(name)) {
        d.name = L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
        d.resource = name;
    } else {
        d.name = name;
        d.resource = _wcsdup(name);
    }
    g_dialogs.push_back(d);
    EnumResourceLanguagesW(module, type, g_dialogs.back().resource, OnLanguage,
                           reinterpret_cast<LONG_PTR>(&g_dialogs.back()));
    return TRUE;
}

INT_PTR CALLBACK Quiet(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG;
}

// A copy of the template that shows as a visible top-level window, whatever
// it was made for (property sheet pages are child windows).
// Kept in DWORDs: a dialog template is DWORD-aligned.
bool Showable(LANGID lang, LPCWSTR name, std::vector<DWORD>* t) {
    HRSRC r = FindResourceExW(g_module, reinterpret_cast<LPCWSTR>(RT_DIALOG), name, lang);
    if (!r)
        return false;
    const DWORD size = SizeofResource(g_module, r);
    t->assign((size + 3) / 4, 0);
    CopyMemory(t->data(), LockResource(LoadResource(g_module, r)), size);
    const BYTE* p = reinterpret_cast<const BYTE*>(t->data());
    const bool ex = size > 4 && p[2] == 0xFF && p[3] == 0xFF;
    DWORD& style = (*t)[ex ? 3 : 0];
    style = (style & ~(WS_CHILD | WS_DISABLED | DS_CENTER)) | WS_POPUP | WS_CAPTION | WS_VISIBLE;
    return true;
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

struct Need {
    SIZE need;
    SIZE have;
    bool measured;
};

// What the control's text needs against what the control offers. Hidden
// controls count too: their programs show them when the time comes.
Need Measure(HWND c) {
    Need n = {};
    const int len = GetWindowTextLengthW(c);
    if (len == 0)
        return n;
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    GetWindowTextW(c, text.data(), len + 1);
    text.resize(static_cast<size_t>(len));
    const LONG style = GetWindowLongW(c, GWL_STYLE);
    RECT client;
    GetClientRect(c, &client);
    n.have = {client.right, client.bottom};
    HDC dc = GetDC(c);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    const std::wstring cls = ClassOf(c);
    UINT flags = DT_CALCRECT | DT_EXPANDTABS;
    int extraW = 0, extraH = 0;
    bool wraps = false;
    if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if ((type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT &&
             type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE) ||
            (style & SS_ELLIPSISMASK)) {
            ReleaseDC(c, dc);
            return n;
        }
        if (style & SS_NOPREFIX)
            flags |= DT_NOPREFIX;
        wraps = type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE;
    } else if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        const int box = GetSystemMetrics(SM_CXMENUCHECK);
        switch (type) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON:
                extraW = 2 * GetSystemMetrics(SM_CXEDGE) + 4;  // frame and focus rectangle
                extraH = 2 * GetSystemMetrics(SM_CYEDGE);
                break;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
            case BS_3STATE:
            case BS_AUTO3STATE:
                extraW = box + tm.tmAveCharWidth / 2 + 1;
                break;
            case BS_GROUPBOX:
                extraW = 2 * tm.tmAveCharWidth;  // the frame's corners
                n.have.cy = tm.tmHeight;
                break;
            default:
                ReleaseDC(c, dc);
                return n;
        }
        wraps = (style & BS_MULTILINE) != 0;
    } else {
        ReleaseDC(c, dc);
        return n;
    }
    RECT r = {0, 0, wraps ? n.have.cx - extraW : 32000, 0};
    DrawTextW(dc, text.c_str(), len, &r, flags | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    n.need = {r.right + extraW, r.bottom + extraH};
    n.measured = true;
    SelectObject(dc, old);
    ReleaseDC(c, dc);
    return n;
}

struct Child {
    HWND dialog;
    std::wstring tag, name;
};

BOOL CALLBACK CheckChild(HWND c, LPARAM param) {
    const auto* ctx = reinterpret_cast<Child*>(param);
    const Need n = Measure(c);
    if (n.measured && (n.need.cx > n.have.cx || n.need.cy > n.have.cy)) {
        ++g_faults;
        const std::wstring text = e2e::WindowText(c);
        // UTF-8 on standard output whatever the console's code page.
        std::wstring full = L"FAULT " + ctx->tag + L" " + ctx->name + L" " +
                            std::to_wstring(GetDlgCtrlID(c)) + L" \"" + text + L"\" needs " +
                            std::to_wstring(n.need.cx) + L"x" + std::to_wstring(n.need.cy) +
                            L", has " + std::to_wstring(n.have.cx) + L"x" +
                            std::to_wstring(n.have.cy) + L"\n";
        char utf8[4096];
        const int k =
            WideCharToMultiByte(CP_UTF8, 0, full.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        if (k > 0)
            fwrite(utf8, 1, static_cast<size_t>(k - 1), stdout);
    }
    return TRUE;
}

void Pump() {
    MSG m;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        Sleep(5);
    }
}

HWND Create(LANGID lang, const Dialog& d) {
    std::vector<DWORD> t;
    if (!Showable(lang, d.resource, &t))
        return nullptr;
    return CreateDialogIndirectParamW(g_module, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                      nullptr, Quiet, 0);
}

int AllLanguages(const std::wstring& out, const std::wstring& only) {
    for (const Dialog& d : g_dialogs) {
        for (LANGID lang : d.languages) {
            // The copies under a primary language alone repeat a language.
            if (SUBLANGID(lang) == SUBLANG_NEUTRAL)
                continue;
            const std::wstring tag = Tag(lang);
            if (!only.empty() && tag != only)
                continue;
            HWND w = Create(lang, d);
            if (!w) {
                printf("FAULT %ls %ls cannot be created\n", tag.c_str(), d.name.c_str());
                ++g_faults;
                continue;
            }
            SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
            Pump();
            Child ctx = {w, tag, d.name};
            EnumChildWindows(w, CheckChild, reinterpret_cast<LPARAM>(&ctx));
            CreateDirectoryW((out + L"\\" + tag).c_str(), nullptr);
            RedrawWindow(w, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
            Pump();
            e2e::SaveScreenshot(w, out + L"\\" + tag + L"\\" + d.name + L".bmp");
            DestroyWindow(w);
        }
    }
    fflush(stdout);
    return g_faults ? 1 : 0;
}

// The language of the dialog as the system's lookup picks it: the
// language whose own template has the same caption.
int SystemChoice(const std::wstring& dialog) {
    for (const Dialog& d : g_dialogs) {
        if (dialog != L"*" && d.name != dialog)
            continue;
        HRSRC r = FindResourceW(g_module, d.resource, reinterpret_cast<LPCWSTR>(RT_DIALOG));
        for (LANGID lang : d.languages) {
            if (FindResourceExW(g_module, reinterpret_cast<LPCWSTR>(RT_DIALOG), d.resource, lang) ==
                r) {
                printf("%ls\n", Tag(lang).c_str());
                return 0;
            }
        }
    }
    printf("none\n");
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES |
                                                ICC_INTERNET_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    const bool system = (argc == 4 || argc == 5) && lstrcmpW(argv[1], L"--system") == 0;
    // As the installer's "Change resource by language" does.
    if (system && argc == 5)
        SetThreadLocale(MAKELCID(static_cast<LANGID>(wcstoul(argv[4], nullptr, 16)), SORT_DEFAULT));
    if (!system && argc != 3 && argc != 4) {
        fprintf(
            stderr,
            "usage: lang_shots PROGRAM.exe OUTDIR [TAG] | --system PROGRAM.exe #DIALOG [LANGID]\n");
        return 2;
    }
    g_module = LoadLibraryExW(argv[system ? 2 : 1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!g_module) {
        fprintf(stderr, "cannot load %ls\n", argv[system ? 2 : 1]);
        return 2;
    }
    // Dialogs that name a window class of their program.
    WNDCLASSW wc = {};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"LumoNASTavixClass";
    RegisterClassW(&wc);
    EnumResourceNamesW(g_module, reinterpret_cast<LPCWSTR>(RT_DIALOG), OnName, 0);
    if (system)
        return SystemChoice(argv[3]);
    return AllLanguages(argv[2], argc == 4 ? argv[3] : L"");
}
