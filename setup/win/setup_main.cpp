// The installer's program: start-up (setup file, language dialog, pre-run
// programs, switches), the background window of class KivoSetup, the wizard
// (setup/win/setup_pages.h) and the end (the restart asked for at Finish).
//
// The installer's state is one SetupState, made here and handed to the
// wizard. The rules live in setup/core; this file shows, reads and forwards.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/setup/resource.h"
#include "setup/core/flow.h"
#include "setup/win/setup_pages.h"
#include "setup/win/setup_state.h"
#include "setup/win/system.h"
#include "ui/background.h"
#include "ui/dialog.h"

namespace {

using setup_win::SetupState;

constexpr wchar_t kClassName[] = L"KivoSetup";

void Log(const std::string& line) {
    ui::sys::Log(line);
}
const setup::LogFn kLog = [](const std::string& l) { Log(l); };

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

// ---- Start-up ----------------------------------------------------------------

// Paths kept as the system's functions give them: at most MAX_PATH - 1 bytes.
std::string Bounded(const std::string& path) {
    return path.substr(0, MAX_PATH - 1);
}

bool ChooseSetupFile(SetupState& s) {
    const std::string langFile = setup::JoinPath(s.setupDir, "SelLang.INI");
    std::string chosen;
    if (s.profile.Exists(langFile)) {
        const auto offered = setup::OfferedLanguages(s.profile, langFile);
        if (offered.empty()) {
            Log("SelLang.INI offers no language");
        } else {
            const unsigned pre = setup::PreselectedLanguage(offered, GetUserDefaultLCID() & 0xFFFF);
            unsigned lcid = pre;
            if (s.switches.silent || s.switches.hidden) {
                Log("language dialog skipped (silent): " + setup::LanguageSection(lcid));
            } else {
                CSelectLanguage dlg(offered, pre);
                dlg.DoModal();
                lcid = dlg.chosen();
                Log("language chosen: " + setup::LanguageSection(lcid));
            }
            if (s.os.IsNT() &&
                s.profile.Int(langFile, "Settings", "Change resource by language", 0) != 0) {
                SetThreadLocale(lcid);
                Log("thread locale set to " + setup::LanguageSection(lcid));
            }
            chosen = setup::LanguageProfileFile(s.profile, s.os, s.setupDir, lcid, kLog);
        }
    } else {
        Log("no SelLang.INI");
    }
    if (chosen.empty())
        chosen = setup::SystemSetupFile(s.profile, s.os, s.setupDir, kLog);
    if (!s.profile.Exists(chosen)) {
        Log("setup file " + chosen + " does not exist: not supported");
        return false;
    }
    Log("setup file: " + chosen);
    s.setupFile = Bounded(chosen);
    return true;
}

void RunPreRunPrograms(SetupState& s) {
    setup::ValueParser parser(s.profile, s.setupFile, s.dirs);
    for (const auto& p : setup::PreRunPrograms(s.profile, s.setupFile, parser))
        ui::sys::RunCommand(p.commandLine, p.directory, p.wait, INFINITE);
}

// The command line after the program's name.
const char* Arguments(const char* cmd) {
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
    return cmd + i;
}

// The background window and the wizard over it; returns when both are gone.
bool ShowWizard(SetupState& s) {
    HBITMAP logo = nullptr;
    if (!s.settings.bkgLogo.empty()) {
        const std::string file = setup::JoinPath(s.setupDir, s.settings.bkgLogo);
        logo = static_cast<HBITMAP>(
            LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }
    std::unique_ptr<ui::BackgroundWindow> background;
    background = std::make_unique<ui::BackgroundWindow>(
        ui::BackgroundWindow::Look{kClassName, IDR_SETUP_ICON, s.caption,
                                   ui::Widen(s.settings.setupTitle), logo,
                                   WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, !s.flags.hidden},
        [&](HWND owner) {
            setup_win::CSetupWizard wizard(owner, s, [&] { return background->bandBottom(); });
            wizard.DoModal();
        });
    const bool created = background->Create();
    if (created)
        background->RunMessageLoop();
    if (logo != nullptr)
        DeleteObject(logo);
    return created;
}

int Run(HINSTANCE instance) {
    ui::SetInstance(instance);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    SetupState s;

    // The switches are read now (for /LOG) and applied after the setup file.
    s.switches = setup::ParseSwitches(Arguments(GetCommandLineA()));
    ui::sys::OpenLog(s.switches.logFile);
    Log(std::string("setup starts: ") + GetCommandLineA());

    s.os = ui::sys::QueryOs();
    s.setupDir = Bounded(ui::sys::ModuleDirectory());
    s.dirs = setup_sys::QueryDirectories(s.setupDir);
    s.installDir = Bounded(s.dirs.system);
    s.caption = ui::LoadText(IDS_SETUP);
    Log("setup directory " + s.setupDir + "; platform " + std::to_string(s.os.platform) +
        ", version " + std::to_string(s.os.major) + "." + std::to_string(s.os.minor));

    if (s.os.IsNT() && s.profile.Exists(setup::JoinPath(s.setupDir, "SelLang.INI"))) {
        const LCID now = GetThreadLocale();
        const unsigned want = setup::InstallerThreadLocale(now & 0xFFFF);
        if (want != (now & 0xFFFF))
            SetThreadLocale(want);
    }
    if (!ChooseSetupFile(s)) {
        if (!s.switches.hidden && !s.switches.silent)
            ui::MessageBoxIds(nullptr, IDS_NOT_SUPPORTED, IDS_SETUP_WARNING,
                              MB_OK | MB_ICONEXCLAMATION);
        return setup_win::kExitNoSetupFile;
    }
    s.settings = setup::ReadSettings(s.profile, s.setupFile, s.setupDir);
    Log("product \"" + s.settings.productName + "\", version " + s.settings.version);
    s.flags = setup::InitialFlags(s.settings, s.os, kLog);
    RunPreRunPrograms(s);
    setup::ApplySwitches(&s.flags, s.switches, s.settings, s.os, kLog);
    if (s.flags.silent) {
        // No system message box ("no disk in the drive") may stop a run that
        // nobody answers.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }

    if (!ShowWizard(s))
        return setup_win::kExitNoSetupFile;
    if (s.restartAtEnd)
        ui::sys::RestartComputer(s.os);
    Log("setup ends (" + std::to_string(s.exitCode) + ")");
    return s.exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return Run(instance);
}
