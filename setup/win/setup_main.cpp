// The installer's program: start-up (setup file, language dialog, pre-run
// programs, switches), the background window of class KivoSetup and the wizard
// with its eight pages, the Exit dialog and the end (restart, DirectX
// hand-off, the program after installation).
//
// A plain program: the installer's state is one set of globals below. The
// rules live in setup/core; this file shows, reads and forwards.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "resources/setup/resource.h"
#include "setup/core/flow.h"
#include "setup/core/install.h"
#include "setup/win/install_host.h"
#include "setup/win/system.h"
#include "setup/win/win_profile.h"
#include "ui/background.h"
#include "ui/dialog.h"
#include "ui/property_page.h"

namespace {

constexpr UINT WM_RUN_WIZARD = WM_APP + 100;
constexpr UINT WM_WORKER_DONE = WM_APP + 1;
constexpr wchar_t kClassName[] = L"KivoSetup";
// Exit codes: 4 when the run ended but some file of the copy list is not in
// place (a source missing from the medium, a refused entry): the /LOG file
// names each one.
constexpr int kExitOk = 0, kExitNoSetupFile = 1, kExitCancelled = 2, kExitFailed = 3,
              kExitIncomplete = 4;

// ---- Installer state (process-wide) ----------------------------------------

setup::WinProfile g_profile;
setup::OsVersion g_os;
setup::Directories g_dirs;
char g_setupDir[MAX_PATH];
char g_setupFile[MAX_PATH];
char g_installDir[MAX_PATH];
char g_programFolder[MAX_PATH];
std::wstring g_caption;
setup::Settings g_settings;
setup::InstallerFlags g_flags;
setup::Switches g_switches;

volatile LONG g_cancel = 0;
HANDLE g_pause = nullptr;
HANDLE g_worker = nullptr;
volatile LONG g_percent = 0;
volatile LONG g_copyTextPending = 0;
volatile LONG g_held = 0;  // the worker is held (see PageLink::held)
int g_resultCode = 0;
bool g_driverRestart = false;
bool g_reenumerate = false;
struct TemporaryCopy {
    std::string target, temporary;
};
std::vector<TemporaryCopy> g_temporaryCopies;
setup::Handoff g_directX;
setup::Handoff g_runAfter;
setup::ResultKind g_resultKind = setup::kResultFinish;
int g_exitCode = kExitOk;

HWND g_background = nullptr;
int g_bandHeight = 0;
HBITMAP g_logo = nullptr;
bool g_pagesRemoved = false;
bool g_busy = false;
bool g_listRefused = false;
std::vector<std::string> g_notInstalled;
bool g_registryStage = false;
// The Exit dialog is open; the worker's end waits for the answer.
bool g_askingExit = false;
bool g_workerDonePending = false;
// Finish chose the restart: asked for when the program ends.
bool g_restartAtEnd = false;

// The installation steps of the copying page (worker thread).
setup_win::WinHost* g_host = nullptr;
setup_win::WinDriverHost g_driverHost;
std::unique_ptr<setup::Installation> g_install;

void Log(const std::string& line) {
    setup_sys::Log(line);
}
const setup::LogFn kLog = [](const std::string& l) { Log(l); };

std::wstring W(const std::string& s) {
    return ui::Widen(s);
}

std::wstring Product(UINT id) {
    return W(setup::FormatProduct(ui::Narrow(ui::LoadText(id)), g_settings.productName));
}

// ---- Language dialog ---------------------------------------------------------

class CSelectLanguage : public ui::Dialog {
public:
    CSelectLanguage(std::vector<setup::Language> offered, unsigned preselected)
        : ui::Dialog(IDD_SELECT_LANGUAGE, nullptr),
          offered_(std::move(offered)),
          chosen_(preselected) {}
    unsigned chosen() const { return chosen_; }

protected:
    BOOL OnInitDialog() override {
        HWND list = Item(IDC_LANG_LIST);
        for (const auto& l : offered_) {
            // Inserted at the end: the list keeps the installer's order.
            const LRESULT i =
                SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(ui::LoadText(l.nameId).c_str()));
            SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(i), l.lcid);
            if (l.lcid == chosen_)
                SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        }
        return TRUE;
    }
    void OnOK() override { Take(IDOK); }
    void OnCancel() override { Take(IDCANCEL); }  // closing counts as OK

private:
    void Take(int how) {
        HWND list = Item(IDC_LANG_LIST);
        const LRESULT i = SendMessageW(list, CB_GETCURSEL, 0, 0);
        if (i != CB_ERR)
            chosen_ = static_cast<unsigned>(
                SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        EndDialog(hwnd(), how);
    }
    std::vector<setup::Language> offered_;
    unsigned chosen_;
};

// ---- Exit dialog -------------------------------------------------------------

class CExitSetup : public ui::Dialog {
public:
    explicit CExitSetup(HWND parent) : ui::Dialog(IDD_EXIT_SETUP, parent) {}

protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_EXIT_TEXT, Product(IDS_EXIT_TEXT));
        return TRUE;
    }
    void OnOK() override { EndDialog(hwnd(), IDC_RESUME); }
    void OnCancel() override { EndDialog(hwnd(), IDC_RESUME); }
    bool OnCommand(int id, int, HWND) override {
        if (id == IDC_RESUME || id == IDC_EXIT_SETUP) {
            EndDialog(hwnd(), id);
            return true;
        }
        return false;
    }
};

// True when the user chose "Exit Setup". A worker that ends meanwhile is
// finished after the answer: Exit rolls back all it did, Resume goes on to
// the result as if nothing had been asked.
bool AskExit(HWND owner) {
    CExitSetup dlg(owner);
    g_askingExit = true;
    const bool exit = dlg.DoModal() == IDC_EXIT_SETUP;
    g_askingExit = false;
    Log(exit ? "Exit dialog: Exit Setup" : "Exit dialog: Resume");
    if (g_workerDonePending && !exit) {
        g_workerDonePending = false;
        PostMessageW(PropSheet_GetCurrentPageHwnd(owner), WM_WORKER_DONE, 0, 0);
    }
    return exit;
}

// ---- Wizard ------------------------------------------------------------------

HWND Sheet(HWND page) {
    return GetParent(page);
}

void PositionWizard(HWND sheet) {
    RECT work, r;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(sheet, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    if (y < work.top + g_bandHeight)
        y = work.top + g_bandHeight;
    if (y + h > work.bottom)
        y = work.bottom - h;
    SetWindowPos(sheet, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DrawPicture(const DRAWITEMSTRUCT* di) {
    HBITMAP bmp = LoadBitmapW(ui::Instance(), MAKEINTRESOURCEW(IDB_SIDE));
    if (bmp == nullptr)
        return;
    BITMAP info;
    GetObjectW(bmp, sizeof info, &info);
    HDC mem = CreateCompatibleDC(di->hDC);
    HGDIOBJ old = SelectObject(mem, bmp);
    SetStretchBltMode(di->hDC, COLORONCOLOR);
    StretchBlt(di->hDC, di->rcItem.left, di->rcItem.top, di->rcItem.right - di->rcItem.left,
               di->rcItem.bottom - di->rcItem.top, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
}

// White box, blue bar for the percentage, the percentage centred: white over
// the bar, black beside it.
void DrawProgress(const DRAWITEMSTRUCT* di) {
    const RECT rc = di->rcItem;
    const LONG percent = g_percent;
    RECT bar = rc;
    bar.right = rc.left + (rc.right - rc.left) * percent / 100;
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(di->hDC, &rc, white);
    FillRect(di->hDC, &bar, blue);
    DeleteObject(white);
    DeleteObject(blue);
    wchar_t text[8];
    wsprintfW(text, L"%d%%", static_cast<int>(percent));
    SetBkMode(di->hDC, TRANSPARENT);
    RECT t = rc;
    const int saved = SaveDC(di->hDC);
    ExcludeClipRect(di->hDC, bar.left, bar.top, bar.right, bar.bottom);
    SetTextColor(di->hDC, RGB(0, 0, 0));
    DrawTextW(di->hDC, text, -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RestoreDC(di->hDC, saved);
    IntersectClipRect(di->hDC, bar.left, bar.top, bar.right, bar.bottom);
    SetTextColor(di->hDC, RGB(255, 255, 255));
    DrawTextW(di->hDC, text, -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectClipRgn(di->hDC, nullptr);
}

void SetMsgResult(HWND page, LONG_PTR value) {
    SetWindowLongPtrW(page, DWLP_MSGRESULT, value);
}

std::string ReadWholeFile(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    *ok = static_cast<bool>(in);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void InitLicence(HWND page) {
    const std::string locale = setup_sys::UserLocale(g_os);
    std::string name = setup::LicenceFileName(locale);
    const std::string folder = setup::JoinPath(g_setupDir, g_settings.licenseFolder);
    bool ok = false;
    std::string text;
    if (!name.empty())
        text = ReadWholeFile(setup::JoinPath(folder, name), &ok);
    if (!ok) {
        // No text for this locale: the English one, else a note.
        Log("licence for locale " + locale + " not found; trying LICENENG.TXT");
        name = "LICENENG.TXT";
        text = ReadWholeFile(setup::JoinPath(folder, name), &ok);
    }
    if (!ok) {
        SetDlgItemTextW(page, IDC_LICENCE_TEXT, ui::LoadText(IDS_NO_LICENCE).c_str());
        return;
    }
    Log("licence page shows " + setup::JoinPath(folder, name));
    std::string crlf;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            crlf += '\r';
        crlf += text[i];
    }
    SetDlgItemTextW(page, IDC_LICENCE_TEXT, W(crlf).c_str());
}

DWORD WINAPI CopyWorker(LPVOID param) {
    HWND page = static_cast<HWND>(param);
    CoInitialize(nullptr);
    g_install->Run();
    CoUninitialize();
    PostMessageW(page, WM_WORKER_DONE, 0, 0);
    return 0;
}

long TestPauseAt(char* mode) {
    char buf[16] = {};
    const DWORD n = GetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", buf, sizeof buf);
    if (n == 0 || n >= sizeof buf)
        return -1;
    char* end = nullptr;
    const long at = std::strtol(buf, &end, 10);
    *mode = *end;
    return at;
}

void StartCopying(HWND page) {
    PropSheet_SetWizButtons(Sheet(page), 0);
    g_pause = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    g_cancel = 0;
    g_busy = true;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    Animate_OpenEx(GetDlgItem(page, IDC_ANIMATION), ui::Instance(), MAKEINTRESOURCEW(IDR_COPY_AVI));
    Animate_Play(GetDlgItem(page, IDC_ANIMATION), 0, -1, -1);
    setup_win::PageLink link;
    link.page = page;
    link.pause = g_pause;
    link.cancel = &g_cancel;
    link.percent = &g_percent;
    link.copyTextPending = &g_copyTextPending;
    g_copyTextPending = 0;
    link.held = &g_held;
    g_held = 0;
    link.pauseAt = TestPauseAt(&link.pauseMode);
    delete g_host;
    g_host = new setup_win::WinHost(link);
    g_host->os = g_os;
    setup::InstallInput in;
    in.os = g_os;
    in.dirs = g_dirs;
    in.settings = g_settings;
    in.flags = g_flags;
    in.setupFile = g_setupFile;
    in.installDir = g_installDir;
    g_install = std::make_unique<setup::Installation>(g_profile, *g_host, g_driverHost, in);
    DWORD id = 0;
    g_worker = CreateThread(nullptr, 0, CopyWorker, page, 0, &id);
}

void FinishCopying(HWND page) {
    if (g_askingExit) {
        Log("the worker ended while the Exit dialog is open: it waits for the answer");
        g_workerDonePending = true;
        return;
    }
    g_workerDonePending = false;
    if (g_worker != nullptr) {
        WaitForSingleObject(g_worker, INFINITE);
        CloseHandle(g_worker);
        g_worker = nullptr;
    }
    g_busy = false;
    Animate_Stop(GetDlgItem(page, IDC_ANIMATION));
    if (g_cancel != 0) {
        // Exit: undo what was copied and registered, newest first.
        g_install->Rollback();
        g_host->CloseKeys();
        return;
    }
    g_install->DiscardBackups();
    g_host->CloseKeys();
    for (const auto& line : g_install->journal().entries())
        Log("journal: " + setup::Journal::Line(line));
    g_resultCode = g_install->resultCode();
    g_listRefused = g_install->refusedList();
    g_driverRestart = g_install->driverRestart();
    g_reenumerate = g_install->reenumerate();
    g_flags.configMg = g_install->configMg();
    for (const auto& t : g_install->temporaryCopies())
        g_temporaryCopies.push_back({t.target, t.temporary});
    g_notInstalled = g_install->notInstalled();
    PropSheet_SetWizButtons(Sheet(page), PSWIZB_NEXT);
    PropSheet_PressButton(Sheet(page), PSBTN_NEXT);
}

void ShowCopyTexts(HWND page, LPARAM lParam) {
    std::unique_ptr<std::pair<std::wstring, std::wstring>> texts(
        reinterpret_cast<std::pair<std::wstring, std::wstring>*>(lParam));
    SetDlgItemTextW(page, IDC_FROM, texts->first.c_str());
    SetDlgItemTextW(page, IDC_TO, texts->second.c_str());
    InterlockedExchange(&g_copyTextPending, 0);
}

void RegistryStage(HWND page, bool enter) {
    HWND animation = GetDlgItem(page, IDC_ANIMATION);
    if (!enter) {
        Animate_Stop(animation);
        return;
    }
    g_registryStage = true;
    for (int id : {IDC_FROM, IDC_TO, IDC_FROM_LABEL, IDC_TO_LABEL})
        ShowWindow(GetDlgItem(page, id), SW_HIDE);
    SetDlgItemTextW(page, IDC_UPDATING, ui::LoadText(IDS_UPDATING).c_str());
    ShowWindow(GetDlgItem(page, IDC_UPDATING), SW_SHOW);
    PropSheet_CancelToClose(Sheet(page));
    Animate_OpenEx(animation, ui::Instance(), MAKEINTRESOURCEW(IDR_UPDATE_AVI));
    Animate_Play(animation, 0, -1, -1);
}

void InitResult(HWND page) {
    const std::string file = g_setupFile;
    setup::ValueParser parser(g_profile, file, g_dirs);
    g_directX = setup::DirectXHandoff(g_profile, file, parser, setup_sys::InstalledDirectXVersion(),
                                      setup_sys::UserLocale(g_os), kLog);
    g_runAfter = setup::ProgramAfterInstallation(g_profile, file, parser);
    if (!g_runAfter.empty())
        Log("program after installation: " + g_runAfter.program + " " + g_runAfter.arguments);
    if (g_resultCode == 0)
        for (const auto& t : g_temporaryCopies)
            setup_sys::ScheduleRename(g_os, g_dirs.windows, t.target, t.temporary);
    setup::ResultInput in;
    in.resultCode = g_listRefused ? -1 : g_resultCode;
    in.temporaryCopies = g_temporaryCopies.size();
    in.restart = g_flags.restart;
    in.driverRestart = g_driverRestart;
    in.noRestart = g_flags.noRestart;
    in.directX = !g_directX.empty();
    in.programAfter = !g_runAfter.empty();
    g_resultKind = setup::DecideResult(in, &g_flags.restart);
    std::wstring text;
    switch (g_resultKind) {
        case setup::kResultFailed:
            text = ui::LoadText(g_listRefused ? IDS_TOO_MANY_FILES : IDS_FAILED);
            SetDlgItemTextW(page, IDC_RESULT_TEXT2, ui::LoadText(IDS_FAILED_MORE).c_str());
            ShowWindow(GetDlgItem(page, IDC_RESULT_TEXT2), SW_SHOW);
            Log(g_listRefused ? "result: failed (copy list refused)"
                              : "result: failed (code " + std::to_string(g_resultCode) + ")");
            g_exitCode = kExitFailed;
            break;
        case setup::kResultAskRestart:
            text = Product(IDS_RESTART_TEXT);
            ShowWindow(GetDlgItem(page, IDC_RESTART_NOW), SW_SHOW);
            ShowWindow(GetDlgItem(page, IDC_RESTART_LATER), SW_SHOW);
            CheckRadioButton(page, IDC_RESTART_NOW, IDC_RESTART_LATER, IDC_RESTART_NOW);
            Log("result: restart offered");
            break;
        case setup::kResultDirectX:
            text = Product(IDS_DIRECTX);
            Log("result: DirectX follows");
            break;
        default:
            text = Product(IDS_FINISH_TEXT);
            Log(g_flags.noRestart && (g_flags.restart || g_driverRestart)
                    ? "result: finish (restart not offered: /NR)"
                    : "result: finish");
    }
    SetDlgItemTextW(page, IDC_RESULT_TEXT, text.c_str());
    if (g_resultKind != setup::kResultFailed && !g_notInstalled.empty()) {
        // The page says nothing of it; the exit code and the log do.
        for (const auto& f : g_notInstalled)
            Log("not installed: " + f);
        Log("result: incomplete, " + std::to_string(g_notInstalled.size()) +
            " files of the setup file not installed");
        g_exitCode = kExitIncomplete;
    }
}

void OnFinish(HWND page) {
    const bool now = IsDlgButtonChecked(page, IDC_RESTART_NOW) == BST_CHECKED;
    switch (setup::DecideFinish(g_resultKind, now, !g_directX.empty(), !g_runAfter.empty(),
                                g_reenumerate)) {
        case setup::kFinishRestart:
            if (!g_flags.silent && setup_sys::FloppyInDriveA())
                MessageBoxW(Sheet(page), ui::LoadText(IDS_REMOVE_DISKS).c_str(),
                            ui::LoadText(IDS_WARNING).c_str(), MB_OK | MB_ICONEXCLAMATION);
            // Asked for once every window of the installer is gone: the
            // system's end of session then finds none of them waiting.
            g_restartAtEnd = true;
            break;
        case setup::kFinishDirectX:
            setup_sys::ShellRun(g_directX.program, g_directX.arguments, g_directX.folder);
            break;
        case setup::kFinishProgram:
            setup_sys::ShellRun(g_runAfter.program, g_runAfter.arguments, g_runAfter.folder);
            break;
        case setup::kFinishReenumerate:
            setup_sys::ReenumerateDevices();
            break;
        default:
            Log(now ? "finish" : "finish; the user restarts later");
    }
}

void OnActivate(HWND page, int which) {
    HWND sheet = Sheet(page);
    if (g_flags.hidden)
        ShowWindow(sheet, SW_HIDE);
    PositionWizard(sheet);
    Log(std::string("page shown: ") + setup::PageName(which));
    DWORD buttons = PSWIZB_BACK | PSWIZB_NEXT;
    switch (which) {
        case setup::kPageWelcome:
            buttons = PSWIZB_NEXT;
            if (!g_pagesRemoved) {
                g_pagesRemoved = true;
                for (int p : setup::PagesRemoved(g_settings, g_flags)) {
                    PropSheet_RemovePage(sheet, p, nullptr);
                    Log(std::string("page removed: ") + setup::PageName(p));
                }
            }
            break;
        case setup::kPageCopy:
            StartCopying(page);
            return;  // the worker presses Next
        case setup::kPageResult: {
            PropSheet_SetWizButtons(sheet, PSWIZB_FINISH);
            HWND cancel = GetDlgItem(sheet, IDCANCEL);
            SetWindowTextW(cancel, ui::LoadText(IDS_CLOSE).c_str());
            EnableWindow(cancel, FALSE);
            HWND back = GetDlgItem(sheet, 0x3023);  // the wizard's Back button
            if (back != nullptr)
                EnableWindow(back, FALSE);
            // Silent and hidden runs end by themselves, also after a failure:
            // the exit code and the log say what happened.
            if (g_flags.silent)
                PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
            return;
        }
        default:
            break;
    }
    PropSheet_SetWizButtons(sheet, buttons);
    if (g_flags.silent)
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        const int which = static_cast<int>(psp->lParam);
        SetWindowLongPtrW(page, DWLP_USER, which);
        switch (which) {
            case setup::kPageWelcome:
                SetDlgItemTextW(page, IDC_WELCOME_TEXT, Product(IDS_WELCOME).c_str());
                break;
            case setup::kPageLicence:
                InitLicence(page);
                ui::KeepDialogKeys(GetDlgItem(page, IDC_LICENCE_TEXT));
                break;
            case setup::kPageInterface:
                CheckRadioButton(page, IDC_PS2, IDC_USB,
                                 g_flags.interfaceType == setup::kPs2 ? IDC_PS2 : IDC_USB);
                break;
            case setup::kPageDestination:
                SetDlgItemTextW(page, IDC_DEST_PATH, W(g_installDir).c_str());
                break;
            case setup::kPageFolder:
                SetDlgItemTextW(page, IDC_FOLDER_NAME, W(g_programFolder).c_str());
                break;
            case setup::kPageStart: {
                const setup::SummaryLabels labels{ui::Narrow(ui::LoadText(IDS_PRODUCT)),
                                                  ui::Narrow(ui::LoadText(IDS_VERSION)),
                                                  ui::Narrow(ui::LoadText(IDS_INSTALL_DIR)),
                                                  ui::Narrow(ui::LoadText(IDS_PROGRAM_FOLDER))};
                ui::KeepDialogKeys(GetDlgItem(page, IDC_SUMMARY));
                SetDlgItemTextW(
                    page, IDC_SUMMARY,
                    W(setup::SummaryText(g_settings, labels, g_installDir, g_programFolder))
                        .c_str());
                break;
            }
            case setup::kPageResult:
                InitResult(page);
                break;
            default:
                break;
        }
        return TRUE;
    }
    const int which = static_cast<int>(GetWindowLongPtrW(page, DWLP_USER));
    if (msg == ui::FocusPageMessage()) {
        ui::FocusPage(page);
        return TRUE;
    }
    switch (msg) {
        case WM_DRAWITEM: {
            const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (di->CtlID == IDC_PICTURE)
                DrawPicture(di);
            else if (di->CtlID == IDC_PROGRESS)
                DrawProgress(di);
            return TRUE;
        }
        case WM_SETCURSOR:
            if (g_busy) {
                SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                SetMsgResult(page, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_WORKER_DONE:
            FinishCopying(page);
            return TRUE;
        case setup_win::WM_SHOW_COPY:
            ShowCopyTexts(page, lParam);
            return TRUE;
        case setup_win::WM_REGISTRY_STAGE:
            RegistryStage(page, wParam != 0);
            return TRUE;
        case WM_NOTIFY: {
            const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
            switch (nm->code) {
                case PSN_SETACTIVE:
                    OnActivate(page, which);
                    // After the buttons it set, which the sheet takes in turn.
                    PostMessageW(page, ui::FocusPageMessage(), 0, 0);
                    SetMsgResult(page, 0);
                    return TRUE;
                case PSN_WIZNEXT:
                    if (which == setup::kPageInterface) {
                        const int type = IsDlgButtonChecked(page, IDC_PS2) == BST_CHECKED
                                             ? setup::kPs2
                                             : setup::kUsb;
                        setup::ApplyInterface(&g_flags, g_settings, g_os, type);
                        Log(std::string("interface chosen: ") +
                            (type == setup::kPs2 ? "PS/2" : "USB") + "; restart " +
                            (g_flags.restart ? "TRUE" : "FALSE"));
                    }
                    SetMsgResult(page, 0);
                    return TRUE;
                case PSN_WIZFINISH:
                    OnFinish(page);
                    SetMsgResult(page, 0);
                    return TRUE;
                case PSN_QUERYCANCEL: {
                    if (which == setup::kPageResult) {
                        SetMsgResult(page, FALSE);
                        return TRUE;
                    }
                    const bool copying = which == setup::kPageCopy && g_worker != nullptr;
                    if (copying && g_registryStage) {
                        SetMsgResult(page, TRUE);  // Close waits for the registry and drivers
                        return TRUE;
                    }
                    if (copying) {
                        InterlockedExchange(&g_held, 1);
                        ResetEvent(g_pause);
                    }
                    const bool exit = AskExit(Sheet(page));
                    if (copying) {
                        if (exit)
                            InterlockedExchange(&g_cancel, 1);
                        SetEvent(g_pause);
                        InterlockedExchange(&g_held, 0);
                        if (exit)
                            FinishCopying(page);  // waits for the worker, then rolls back
                    }
                    if (exit)
                        g_exitCode = kExitCancelled;
                    SetMsgResult(page, exit ? FALSE : TRUE);
                    return TRUE;
                }
                default:
                    return FALSE;
            }
        }
        default:
            return FALSE;
    }
}

int CALLBACK SheetCallback(HWND, UINT msg, LPARAM lParam) {
    if (msg == PSCB_PRECREATE && g_flags.hidden && lParam != 0) {
        // Hidden mode: the wizard is created without WS_VISIBLE.
        auto* words = reinterpret_cast<WORD*>(lParam);
        DWORD* style = words[1] == 0xFFFF ? reinterpret_cast<DWORD*>(words + 6)
                                          : reinterpret_cast<DWORD*>(words);
        *style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    return 0;
}

void RunWizard(HWND owner) {
    static const UINT templates[setup::kPageCount] = {IDD_WELCOME,     IDD_LICENCE, IDD_INTERFACE,
                                                      IDD_DESTINATION, IDD_FOLDER,  IDD_START,
                                                      IDD_COPY,        IDD_RESULT};
    PROPSHEETPAGEW pages[setup::kPageCount] = {};
    HPROPSHEETPAGE handles[setup::kPageCount] = {};
    for (int i = 0; i < setup::kPageCount; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = ui::Instance();
        pages[i].pszTemplate = MAKEINTRESOURCEW(templates[i]);
        pages[i].pfnDlgProc = PageProc;
        pages[i].lParam = i;
        handles[i] = CreatePropertySheetPageW(&pages[i]);
    }
    PROPSHEETHEADERW h = {};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_WIZARD | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    h.hwndParent = owner;
    h.hInstance = ui::Instance();
    h.nPages = setup::kPageCount;
    h.phpage = handles;
    h.pfnCallback = SheetCallback;
    PropertySheetW(&h);
}

// ---- Background window ---------------------------------------------------------

LRESULT CALLBACK BackgroundProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            PostMessageW(hwnd, WM_RUN_WIZARD, 0, 0);
            return 0;
        case WM_RUN_WIZARD:
            RunWizard(hwnd);
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT:
            g_bandHeight = ui::PaintTitleBackground(hwnd, W(g_settings.setupTitle), g_logo) +
                           GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

bool CreateBackground(HINSTANCE instance) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BackgroundProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_SETUP_ICON));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);
    if (!g_settings.bkgLogo.empty()) {
        const std::string logo = setup::JoinPath(g_setupDir, g_settings.bkgLogo);
        g_logo = static_cast<HBITMAP>(
            LoadImageA(nullptr, logo.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    g_background =
        CreateWindowExW(0, kClassName, g_caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                        work.left, work.top, work.right - work.left, work.bottom - work.top,
                        nullptr, nullptr, instance, nullptr);
    if (g_background == nullptr)
        return false;
    if (!g_flags.hidden) {
        ShowWindow(g_background, SW_SHOWMAXIMIZED);
        UpdateWindow(g_background);
    }
    return true;
}

// ---- Start-up ----------------------------------------------------------------

void Copy(char* dst, const std::string& src) {
    lstrcpynA(dst, src.c_str(), MAX_PATH);
}

bool ChooseSetupFile() {
    const std::string langFile = setup::JoinPath(g_setupDir, "SelLang.INI");
    std::string chosen;
    if (g_profile.Exists(langFile)) {
        const auto offered = setup::OfferedLanguages(g_profile, langFile);
        if (offered.empty()) {
            Log("SelLang.INI offers no language");
        } else {
            const unsigned pre = setup::PreselectedLanguage(offered, GetUserDefaultLCID() & 0xFFFF);
            unsigned lcid = pre;
            if (g_switches.silent || g_switches.hidden) {
                Log("language dialog skipped (silent): " + setup::LanguageSection(lcid));
            } else {
                CSelectLanguage dlg(offered, pre);
                dlg.DoModal();
                lcid = dlg.chosen();
                Log("language chosen: " + setup::LanguageSection(lcid));
            }
            if (g_os.IsNT() &&
                g_profile.Int(langFile, "Settings", "Change resource by language", 0) != 0) {
                SetThreadLocale(lcid);
                Log("thread locale set to " + setup::LanguageSection(lcid));
            }
            chosen = setup::LanguageProfileFile(g_profile, g_os, g_setupDir, lcid, kLog);
        }
    } else {
        Log("no SelLang.INI");
    }
    if (chosen.empty())
        chosen = setup::SystemSetupFile(g_profile, g_os, g_setupDir, kLog);
    if (!g_profile.Exists(chosen)) {
        Log("setup file " + chosen + " does not exist: not supported");
        return false;
    }
    Log("setup file: " + chosen);
    Copy(g_setupFile, chosen);
    return true;
}

void RunPreRunPrograms() {
    setup::ValueParser parser(g_profile, g_setupFile, g_dirs);
    for (const auto& p : setup::PreRunPrograms(g_profile, g_setupFile, parser))
        setup_sys::RunCommand(p.commandLine, p.directory, p.wait, INFINITE);
}

int Run(HINSTANCE instance) {
    ui::SetInstance(instance);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);

    // The switches are read now (for /LOG) and applied after the setup file.
    g_switches = setup::ParseSwitches(GetCommandLineA() + [] {
        // Skip the program name.
        const char* cmd = GetCommandLineA();
        size_t i = 0;
        if (cmd[0] == '"') {
            for (i = 1; cmd[i] != '\0' && cmd[i] != '"'; ++i) {
            }
            if (cmd[i] == '"')
                ++i;
        } else {
            while (cmd[i] != '\0' && cmd[i] != ' ' && cmd[i] != '\t')
                ++i;
        }
        return i;
    }());
    setup_sys::OpenLog(g_switches.logFile);
    Log(std::string("setup starts: ") + GetCommandLineA());

    g_os = setup_sys::QueryOs();
    Copy(g_setupDir, setup_sys::ModuleDirectory());
    g_dirs = setup_sys::QueryDirectories(g_setupDir);
    Copy(g_installDir, g_dirs.system);
    g_caption = ui::LoadText(IDS_SETUP);
    Log("setup directory " + std::string(g_setupDir) + "; platform " +
        std::to_string(g_os.platform) + ", version " + std::to_string(g_os.major) + "." +
        std::to_string(g_os.minor));

    if (g_os.IsNT() && g_profile.Exists(setup::JoinPath(g_setupDir, "SelLang.INI"))) {
        const LCID now = GetThreadLocale();
        const unsigned want = setup::InstallerThreadLocale(now & 0xFFFF);
        if (want != (now & 0xFFFF))
            SetThreadLocale(want);
    }
    if (!ChooseSetupFile()) {
        if (!g_switches.hidden && !g_switches.silent)
            ui::MessageBoxIds(nullptr, IDS_NOT_SUPPORTED, IDS_SETUP_WARNING,
                              MB_OK | MB_ICONEXCLAMATION);
        return kExitNoSetupFile;
    }
    g_settings = setup::ReadSettings(g_profile, g_setupFile, g_setupDir);
    Log("product \"" + g_settings.productName + "\", version " + g_settings.version);
    g_flags = setup::InitialFlags(g_settings, g_os, kLog);
    RunPreRunPrograms();
    setup::ApplySwitches(&g_flags, g_switches, g_settings, g_os, kLog);
    if (g_flags.silent) {
        // No system message box ("no disk in the drive") may stop a run that
        // nobody answers.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }

    if (!CreateBackground(instance))
        return kExitNoSetupFile;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_restartAtEnd)
        setup_sys::RestartComputer(g_os);
    Log("setup ends (" + std::to_string(g_exitCode) + ")");
    return g_exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return Run(instance);
}
