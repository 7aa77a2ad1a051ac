#include "setup/win/setup_pages.h"

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "resources/setup/resource.h"
#include "setup/win/system.h"
#include "ui/dialog.h"

namespace setup_win {

namespace {

constexpr UINT WM_WORKER_DONE = WM_APP + 1;
constexpr int kBackButton = 0x3023;  // the wizard's Back button

void Log(const std::string& line) {
    ui::sys::Log(line);
}

std::wstring W(const std::string& s) {
    return ui::Widen(s);
}

void SetMsgResult(HWND page, LONG_PTR value) {
    SetWindowLongPtrW(page, DWLP_MSGRESULT, value);
}

// ---- Exit dialog -------------------------------------------------------------

class CExitSetup : public ui::Dialog {
public:
    CExitSetup(HWND parent, std::wstring text)
        : ui::Dialog(IDD_EXIT_SETUP, parent), text_(std::move(text)) {}

protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_EXIT_TEXT, text_);
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

private:
    std::wstring text_;
};

// ---- Drawing -------------------------------------------------------------------

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
void DrawProgress(const DRAWITEMSTRUCT* di, LONG percent) {
    const RECT rc = di->rcItem;
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

std::string ReadWholeFile(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    *ok = static_cast<bool>(in);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// ---- The pages ---------------------------------------------------------------------

class CWelcomePage : public CSetupPage {
public:
    explicit CWelcomePage(CSetupWizard& w) : CSetupPage(w, IDD_WELCOME, setup::kPageWelcome) {}

protected:
    void OnInitDialog() override {
        SetDlgItemTextW(hwnd(), IDC_WELCOME_TEXT, state().Product(IDS_WELCOME).c_str());
    }
    void Activated() override {
        SetupState& s = state();
        if (!s.pagesRemoved) {
            s.pagesRemoved = true;
            for (int p : setup::PagesRemoved(s.settings, s.flags)) {
                PropSheet_RemovePage(sheet(), p, nullptr);
                Log(std::string("page removed: ") + setup::PageName(p));
            }
        }
        Advance(PSWIZB_NEXT);
    }
};

class CLicencePage : public CSetupPage {
public:
    explicit CLicencePage(CSetupWizard& w) : CSetupPage(w, IDD_LICENCE, setup::kPageLicence) {}

protected:
    void OnInitDialog() override {
        ShowLicence();
        ui::KeepDialogKeys(Item(IDC_LICENCE_TEXT));
    }

private:
    void ShowLicence() {
        const SetupState& s = state();
        const std::string locale = setup_sys::UserLocale(s.os);
        std::string name = setup::LicenceFileName(locale);
        const std::string folder = setup::JoinPath(s.setupDir, s.settings.licenseFolder);
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
            SetDlgItemTextW(hwnd(), IDC_LICENCE_TEXT, ui::LoadText(IDS_NO_LICENCE).c_str());
            return;
        }
        Log("licence page shows " + setup::JoinPath(folder, name));
        std::string crlf;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
                crlf += '\r';
            crlf += text[i];
        }
        SetDlgItemTextW(hwnd(), IDC_LICENCE_TEXT, W(crlf).c_str());
    }
};

class CInterfacePage : public CSetupPage {
public:
    explicit CInterfacePage(CSetupWizard& w)
        : CSetupPage(w, IDD_INTERFACE, setup::kPageInterface) {}

protected:
    void OnInitDialog() override {
        CheckRadioButton(hwnd(), IDC_PS2, IDC_USB,
                         state().flags.interfaceType == setup::kPs2 ? IDC_PS2 : IDC_USB);
    }
    bool OnWizardNext() override {
        SetupState& s = state();
        const int type = IsChecked(IDC_PS2) ? setup::kPs2 : setup::kUsb;
        setup::ApplyInterface(&s.flags, s.settings, s.os, type);
        Log(std::string("interface chosen: ") + (type == setup::kPs2 ? "PS/2" : "USB") +
            "; restart " + (s.flags.restart ? "TRUE" : "FALSE"));
        return true;
    }
};

// The destination and the program folder: one text each, as the start set it.
class CPathPage : public CSetupPage {
public:
    CPathPage(CSetupWizard& w, UINT templateId, setup::Page page, int control,
              std::string SetupState::*path)
        : CSetupPage(w, templateId, page), control_(control), path_(path) {}

protected:
    void OnInitDialog() override { SetDlgItemTextW(hwnd(), control_, W(state().*path_).c_str()); }

private:
    int control_;
    std::string SetupState::*path_;
};

class CStartPage : public CSetupPage {
public:
    explicit CStartPage(CSetupWizard& w) : CSetupPage(w, IDD_START, setup::kPageStart) {}

protected:
    void OnInitDialog() override {
        const SetupState& s = state();
        const setup::SummaryLabels labels{ui::Narrow(ui::LoadText(IDS_PRODUCT)),
                                          ui::Narrow(ui::LoadText(IDS_VERSION)),
                                          ui::Narrow(ui::LoadText(IDS_INSTALL_DIR)),
                                          ui::Narrow(ui::LoadText(IDS_PROGRAM_FOLDER))};
        ui::KeepDialogKeys(Item(IDC_SUMMARY));
        SetDlgItemTextW(
            hwnd(), IDC_SUMMARY,
            W(setup::SummaryText(s.settings, labels, s.installDir, s.programFolder)).c_str());
    }
};

// The copying page: a worker thread runs the installation steps and presses
// Next at their end; Cancel pauses it for the Exit dialog.
class CCopyPage : public CSetupPage {
public:
    explicit CCopyPage(CSetupWizard& w) : CSetupPage(w, IDD_COPY, setup::kPageCopy) {}

protected:
    void Activated() override { StartCopying(); }  // the worker presses Next
    bool OnQueryCancel() override {
        SetupState& s = state();
        if (s.worker == nullptr)
            return CSetupPage::OnQueryCancel();
        if (s.registryStage)
            return false;  // Close waits for the registry and drivers
        InterlockedExchange(&s.held, 1);
        ResetEvent(s.pause);
        const bool exit = wizard_.AskExit(sheet());
        if (exit)
            InterlockedExchange(&s.cancel, 1);
        SetEvent(s.pause);
        InterlockedExchange(&s.held, 0);
        if (exit) {
            FinishCopying();  // waits for the worker, then rolls back
            s.exitCode = kExitCancelled;
        }
        return exit;
    }
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override {
        switch (msg) {
            case WM_WORKER_DONE:
                FinishCopying();
                break;
            case WM_SHOW_COPY:
                ShowCopyTexts(lParam);
                break;
            case WM_REGISTRY_STAGE:
                RegistryStage(wParam != 0);
                break;
            default:
                return CSetupPage::OnMessage(msg, wParam, lParam, handled);
        }
        *handled = true;
        return TRUE;
    }

private:
    static DWORD WINAPI Worker(LPVOID param) {
        auto* self = static_cast<CCopyPage*>(param);
        CoInitialize(nullptr);
        self->state().install->Run();
        CoUninitialize();
        PostMessageW(self->workerPage_, WM_WORKER_DONE, 0, 0);
        return 0;
    }

    static long TestPauseAt(char* mode) {
        char buf[16] = {};
        const DWORD n = GetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", buf, sizeof buf);
        if (n == 0 || n >= sizeof buf)
            return -1;
        char* end = nullptr;
        const long at = std::strtol(buf, &end, 10);
        *mode = *end;
        return at;
    }

    void StartCopying() {
        SetupState& s = state();
        PropSheet_SetWizButtons(sheet(), 0);
        s.pause = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        s.cancel = 0;
        s.busy = true;
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        Animate_OpenEx(Item(IDC_ANIMATION), ui::Instance(), MAKEINTRESOURCEW(IDR_COPY_AVI));
        Animate_Play(Item(IDC_ANIMATION), 0, -1, -1);
        PageLink link;
        link.page = hwnd();
        link.pause = s.pause;
        link.cancel = &s.cancel;
        link.percent = &s.percent;
        link.copyTextPending = &s.copyTextPending;
        s.copyTextPending = 0;
        link.held = &s.held;
        s.held = 0;
        link.pauseAt = TestPauseAt(&link.pauseMode);
        s.install.reset();
        s.host = std::make_unique<WinHost>(link);
        s.host->os = s.os;
        setup::InstallInput in;
        in.os = s.os;
        in.dirs = s.dirs;
        in.settings = s.settings;
        in.flags = s.flags;
        in.setupFile = s.setupFile;
        in.installDir = s.installDir;
        s.install = std::make_unique<setup::Installation>(s.profile, *s.host, s.driverHost, in);
        workerPage_ = hwnd();
        DWORD id = 0;
        s.worker = CreateThread(nullptr, 0, Worker, this, 0, &id);
    }

    void FinishCopying() {
        SetupState& s = state();
        if (s.askingExit) {
            Log("the worker ended while the Exit dialog is open: it waits for the answer");
            s.workerDonePending = true;
            return;
        }
        s.workerDonePending = false;
        if (s.worker != nullptr) {
            WaitForSingleObject(s.worker, INFINITE);
            CloseHandle(s.worker);
            s.worker = nullptr;
        }
        s.busy = false;
        Animate_Stop(Item(IDC_ANIMATION));
        if (s.cancel != 0) {
            // Exit: undo what was copied and registered, newest first.
            s.install->Rollback();
            s.host->CloseKeys();
            return;
        }
        s.install->DiscardBackups();
        s.host->CloseKeys();
        for (const auto& line : s.install->journal().entries())
            Log("journal: " + setup::Journal::Line(line));
        s.resultCode = s.install->resultCode();
        s.listRefused = s.install->refusedList();
        s.driverRestart = s.install->driverRestart();
        s.reenumerate = s.install->reenumerate();
        s.flags.configMg = s.install->configMg();
        for (const auto& t : s.install->temporaryCopies())
            s.temporaryCopies.push_back(t);
        s.notInstalled = s.install->notInstalled();
        PropSheet_SetWizButtons(sheet(), PSWIZB_NEXT);
        PropSheet_PressButton(sheet(), PSBTN_NEXT);
    }

    void ShowCopyTexts(LPARAM lParam) {
        std::unique_ptr<std::pair<std::wstring, std::wstring>> texts(
            reinterpret_cast<std::pair<std::wstring, std::wstring>*>(lParam));
        SetDlgItemTextW(hwnd(), IDC_FROM, texts->first.c_str());
        SetDlgItemTextW(hwnd(), IDC_TO, texts->second.c_str());
        InterlockedExchange(&state().copyTextPending, 0);
    }

    void RegistryStage(bool enter) {
        HWND animation = Item(IDC_ANIMATION);
        if (!enter) {
            Animate_Stop(animation);
            return;
        }
        state().registryStage = true;
        for (int id : {IDC_FROM, IDC_TO, IDC_FROM_LABEL, IDC_TO_LABEL})
            ShowWindow(Item(id), SW_HIDE);
        SetDlgItemTextW(hwnd(), IDC_UPDATING, ui::LoadText(IDS_UPDATING).c_str());
        ShowWindow(Item(IDC_UPDATING), SW_SHOW);
        PropSheet_CancelToClose(sheet());
        Animate_OpenEx(animation, ui::Instance(), MAKEINTRESOURCEW(IDR_UPDATE_AVI));
        Animate_Play(animation, 0, -1, -1);
    }

    HWND workerPage_ = nullptr;  // where the worker posts its end
};

class CResultPage : public CSetupPage {
public:
    explicit CResultPage(CSetupWizard& w) : CSetupPage(w, IDD_RESULT, setup::kPageResult) {}

protected:
    void OnInitDialog() override;
    void Activated() override {
        PropSheet_SetWizButtons(sheet(), PSWIZB_FINISH);
        HWND cancel = GetDlgItem(sheet(), IDCANCEL);
        SetWindowTextW(cancel, ui::LoadText(IDS_CLOSE).c_str());
        EnableWindow(cancel, FALSE);
        HWND back = GetDlgItem(sheet(), kBackButton);
        if (back != nullptr)
            EnableWindow(back, FALSE);
        // Silent and hidden runs end by themselves, also after a failure:
        // the exit code and the log say what happened.
        if (state().flags.silent)
            PostMessageW(sheet(), PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    }
    bool OnWizardFinish() override;
    bool OnQueryCancel() override { return true; }
};

void CResultPage::OnInitDialog() {
    SetupState& s = state();
    const std::string file = s.setupFile;
    setup::ValueParser parser(s.profile, file, s.dirs);
    s.directX = setup::DirectXHandoff(s.profile, file, parser, setup_sys::InstalledDirectXVersion(),
                                      setup_sys::UserLocale(s.os), Log);
    s.runAfter = setup::ProgramAfterInstallation(s.profile, file, parser);
    if (!s.runAfter.empty())
        Log("program after installation: " + s.runAfter.program + " " + s.runAfter.arguments);
    if (s.resultCode == 0)
        for (const auto& t : s.temporaryCopies)
            setup_sys::ScheduleRename(s.os, s.dirs.windows, t.target, t.temporary);
    setup::ResultInput in;
    in.resultCode = s.listRefused ? -1 : s.resultCode;
    in.temporaryCopies = s.temporaryCopies.size();
    in.restart = s.flags.restart;
    in.driverRestart = s.driverRestart;
    in.noRestart = s.flags.noRestart;
    in.directX = !s.directX.empty();
    in.programAfter = !s.runAfter.empty();
    s.resultKind = setup::DecideResult(in, &s.flags.restart);
    std::wstring text;
    switch (s.resultKind) {
        case setup::kResultFailed:
            text = ui::LoadText(s.listRefused ? IDS_TOO_MANY_FILES : IDS_FAILED);
            SetDlgItemTextW(hwnd(), IDC_RESULT_TEXT2, ui::LoadText(IDS_FAILED_MORE).c_str());
            ShowWindow(Item(IDC_RESULT_TEXT2), SW_SHOW);
            Log(s.listRefused ? "result: failed (copy list refused)"
                              : "result: failed (code " + std::to_string(s.resultCode) + ")");
            s.exitCode = kExitFailed;
            break;
        case setup::kResultAskRestart:
            text = s.Product(IDS_RESTART_TEXT);
            ShowWindow(Item(IDC_RESTART_NOW), SW_SHOW);
            ShowWindow(Item(IDC_RESTART_LATER), SW_SHOW);
            CheckRadioButton(hwnd(), IDC_RESTART_NOW, IDC_RESTART_LATER, IDC_RESTART_NOW);
            Log("result: restart offered");
            break;
        case setup::kResultDirectX:
            text = s.Product(IDS_DIRECTX);
            Log("result: DirectX follows");
            break;
        default:
            text = s.Product(IDS_FINISH_TEXT);
            Log(s.flags.noRestart && (s.flags.restart || s.driverRestart)
                    ? "result: finish (restart not offered: /NR)"
                    : "result: finish");
    }
    SetDlgItemTextW(hwnd(), IDC_RESULT_TEXT, text.c_str());
    if (s.resultKind != setup::kResultFailed && !s.notInstalled.empty()) {
        // The page says nothing of it; the exit code and the log do.
        for (const auto& f : s.notInstalled)
            Log("not installed: " + f);
        Log("result: incomplete, " + std::to_string(s.notInstalled.size()) +
            " files of the setup file not installed");
        s.exitCode = kExitIncomplete;
    }
}

bool CResultPage::OnWizardFinish() {
    SetupState& s = state();
    const bool now = IsChecked(IDC_RESTART_NOW);
    switch (setup::DecideFinish(s.resultKind, now, !s.directX.empty(), !s.runAfter.empty(),
                                s.reenumerate)) {
        case setup::kFinishRestart:
            if (!s.flags.silent && setup_sys::FloppyInDriveA())
                MessageBoxW(sheet(), ui::LoadText(IDS_REMOVE_DISKS).c_str(),
                            ui::LoadText(IDS_WARNING).c_str(), MB_OK | MB_ICONEXCLAMATION);
            // Asked for once every window of the installer is gone: the
            // system's end of session then finds none of them waiting.
            s.restartAtEnd = true;
            break;
        case setup::kFinishDirectX:
            ui::sys::ShellRun(s.directX.program, s.directX.arguments, s.directX.folder);
            break;
        case setup::kFinishProgram:
            ui::sys::ShellRun(s.runAfter.program, s.runAfter.arguments, s.runAfter.folder);
            break;
        case setup::kFinishReenumerate:
            setup_sys::ReenumerateDevices();
            break;
        default:
            Log(now ? "finish" : "finish; the user restarts later");
    }
    return true;
}

// Hidden mode: the wizard is created without WS_VISIBLE.
int CALLBACK HiddenSheetCallback(HWND, UINT msg, LPARAM lParam) {
    if (msg == PSCB_PRECREATE && lParam != 0) {
        auto* words = reinterpret_cast<WORD*>(lParam);
        DWORD* style = words[1] == 0xFFFF ? reinterpret_cast<DWORD*>(words + 6)
                                          : reinterpret_cast<DWORD*>(words);
        *style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    return 0;
}

int CALLBACK SheetCallback(HWND, UINT, LPARAM) {
    return 0;
}

}  // namespace

std::wstring SetupState::Product(UINT id) const {
    return W(setup::FormatProduct(ui::Narrow(ui::LoadText(id)), settings.productName));
}

// ---- CSetupPage ------------------------------------------------------------------

SetupState& CSetupPage::state() {
    return wizard_.state();
}

void CSetupPage::OnSetActive() {
    if (state().flags.hidden)
        ShowWindow(sheet(), SW_HIDE);
    wizard_.Position(sheet());
    Log(std::string("page shown: ") + setup::PageName(page_));
    Activated();
}

void CSetupPage::Activated() {
    Advance(PSWIZB_BACK | PSWIZB_NEXT);
}

void CSetupPage::Advance(DWORD buttons) {
    PropSheet_SetWizButtons(sheet(), buttons);
    if (state().flags.silent)
        PostMessageW(sheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

bool CSetupPage::OnQueryCancel() {
    const bool exit = wizard_.AskExit(sheet());
    if (exit)
        state().exitCode = kExitCancelled;
    return exit;
}

INT_PTR CSetupPage::OnMessage(UINT msg, WPARAM, LPARAM lParam, bool* handled) {
    *handled = false;
    if (msg == WM_DRAWITEM) {
        const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (di->CtlID == IDC_PICTURE)
            DrawPicture(di);
        else if (di->CtlID == IDC_PROGRESS)
            DrawProgress(di, state().percent);
        *handled = true;
        return TRUE;
    }
    if (msg == WM_SETCURSOR && state().busy) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        SetMsgResult(hwnd(), TRUE);
        *handled = true;
        return TRUE;
    }
    return 0;
}

// ---- CSetupWizard ------------------------------------------------------------------

CSetupWizard::CSetupWizard(HWND owner, SetupState& state, std::function<int()> bandBottom)
    : owner_(owner), state_(state), bandBottom_(std::move(bandBottom)) {
    pages_.push_back(std::make_unique<CWelcomePage>(*this));
    pages_.push_back(std::make_unique<CLicencePage>(*this));
    pages_.push_back(std::make_unique<CInterfacePage>(*this));
    pages_.push_back(std::make_unique<CPathPage>(*this, IDD_DESTINATION, setup::kPageDestination,
                                                 IDC_DEST_PATH, &SetupState::installDir));
    pages_.push_back(std::make_unique<CPathPage>(*this, IDD_FOLDER, setup::kPageFolder,
                                                 IDC_FOLDER_NAME, &SetupState::programFolder));
    pages_.push_back(std::make_unique<CStartPage>(*this));
    pages_.push_back(std::make_unique<CCopyPage>(*this));
    pages_.push_back(std::make_unique<CResultPage>(*this));
}

CSetupWizard::~CSetupWizard() = default;

INT_PTR CSetupWizard::DoModal() {
    std::vector<HPROPSHEETPAGE> handles = ui::CreatePages(pages_);
    if (handles.empty())
        return -1;
    PROPSHEETHEADERW h = {};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_WIZARD | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    h.hwndParent = owner_;
    h.hInstance = ui::Instance();
    h.nPages = static_cast<UINT>(handles.size());
    h.phpage = handles.data();
    h.pfnCallback = state_.flags.hidden ? HiddenSheetCallback : SheetCallback;
    return PropertySheetW(&h);
}

void CSetupWizard::Position(HWND sheet) const {
    const int band = bandBottom_ ? bandBottom_() : 0;
    RECT work, r;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(sheet, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    if (y < work.top + band)
        y = work.top + band;
    if (y + h > work.bottom)
        y = work.bottom - h;
    SetWindowPos(sheet, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CSetupWizard::AskExit(HWND sheet) {
    CExitSetup dlg(sheet, state_.Product(IDS_EXIT_TEXT));
    state_.askingExit = true;
    const bool exit = dlg.DoModal() == IDC_EXIT_SETUP;
    state_.askingExit = false;
    Log(exit ? "Exit dialog: Exit Setup" : "Exit dialog: Resume");
    if (state_.workerDonePending && !exit) {
        state_.workerDonePending = false;
        PostMessageW(PropSheet_GetCurrentPageHwnd(sheet), WM_WORKER_DONE, 0, 0);
    }
    return exit;
}

}  // namespace setup_win
