// The uninstaller's program: the three command-line forms, the temporary
// self-copy (deleted when its last handle closes), the background window of
// class KivoUninstall with the confirmation, the progress dialog whose worker
// thread runs the six steps, the shared-file question, the result dialog with
// the restart, and ExecuteFile at the end.
//
// A plain program: its state is one set of globals below. The rules live in
// uninstall/core; this file shows, reads and forwards.
#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>

#include "resources/uninstall/resource.h"
#include "ui/background.h"
#include "ui/dialog.h"
#include "ui/system.h"
#include "uninstall/core/command_line.h"
#include "uninstall/core/engine.h"
#include "uninstall/win/win_seams.h"

namespace {

constexpr UINT WM_STEP_DONE = WM_APP + 200;  // + step 1 to 6 (32969 to 32974)
constexpr wchar_t kClassName[] = L"KivoUninstall";
constexpr char kEventName[] = "DeleteSelfEvent";
constexpr UINT_PTR kCloseTimer = 1;
constexpr int kExitOk = 0, kExitNoRegistration = 1, kExitDeclined = 2, kExitFailed = 3;

// ---- Uninstaller state (process-wide) -------------------------------------------

shared::OsVersion g_os;
std::string g_key;
std::string g_home;
std::optional<uninst::Registration> g_reg;
uninst_win::WinRegistry g_registry;
uninst_win::WinFiles g_files;
uninst::Places g_places;
uninst::Outcome g_outcome;
HANDLE g_deleteSelfEvent = nullptr;
std::wstring g_caption;
int g_exitCode = kExitOk;

void Log(const std::string& line) {
    ui::sys::Log(line);
}

std::wstring Product(UINT id) {
    return ui::Widen(
        shared::FormatProduct(ui::Narrow(ui::LoadText(id)), g_reg ? g_reg->displayName : ""));
}

void SignalLauncher() {
    if (g_deleteSelfEvent != nullptr) {
        SetEvent(g_deleteSelfEvent);
        CloseHandle(g_deleteSelfEvent);
        g_deleteSelfEvent = nullptr;
    }
}

// ---- Shared-file question --------------------------------------------------------

class CSharedFile : public ui::Dialog {
public:
    CSharedFile(HWND parent, std::string file, std::string dir)
        : ui::Dialog(IDD_SHARED_FILE, parent), file_(std::move(file)), dir_(std::move(dir)) {}

protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_SHARED_NAME, ui::Widen(file_));
        SetItemText(IDC_SHARED_DIR, ui::Widen(dir_));
        SetForegroundWindow(hwnd());
        return TRUE;
    }
    void OnOK() override { EndDialog(hwnd(), IDC_SHARED_YES); }
    void OnCancel() override { EndDialog(hwnd(), IDC_SHARED_NO); }  // closing keeps the file
    bool OnCommand(int id, int, HWND) override {
        if (id == IDC_SHARED_YES || id == IDC_SHARED_YES_ALL || id == IDC_SHARED_NO ||
            id == IDC_SHARED_NO_ALL) {
            EndDialog(hwnd(), id);
            return true;
        }
        return false;
    }

private:
    std::string file_, dir_;
};

// ---- The host of the six steps (the worker thread) -------------------------------

class WinHost : public uninst::Host {
public:
    explicit WinHost(HWND progress) : progress_(progress) {}
    void RestoreDeviceDriver(const std::string& name, const std::string& data,
                             bool configMg) override {
        uninst_win::RestoreDeviceDriver(name, data, configMg);
    }
    int RemoveDeviceDriver(const std::string& name, const std::string& data) override {
        return uninst_win::RemoveDeviceDriver(name, data);
    }
    void CloseProgram(const uninst::WindowToClose& window) override {
        uninst_win::CloseProgram(window, g_os.IsNT());
    }
    void Unregister(const std::string& path) override { uninst_win::Unregister(path); }
    void RunAndWait(const std::string& commandLine, unsigned ms) override {
        uninst_win::RunAndWait(commandLine, ms);
    }
    void Sleep(unsigned ms) override { ::Sleep(ms); }
    uninst::SharedAnswer AskShared(const std::string& file, const std::string& dir) override {
        CSharedFile dlg(progress_, file, dir);
        switch (dlg.DoModal()) {
            case IDC_SHARED_YES:
                return uninst::SharedAnswer::kYes;
            case IDC_SHARED_YES_ALL:
                return uninst::SharedAnswer::kYesToAll;
            case IDC_SHARED_NO_ALL:
                return uninst::SharedAnswer::kNoToAll;
            default:
                return uninst::SharedAnswer::kNo;
        }
    }
    void StepFinished(int step) override {
        Log("step " + std::to_string(step) + " finished");
        PostMessageW(progress_, WM_STEP_DONE + static_cast<UINT>(step), 0, 0);
    }
    void Log(const std::string& line) override { ui::sys::Log(line); }

private:
    HWND progress_;
};

DWORD WINAPI Worker(LPVOID param) {
    WinHost host(static_cast<HWND>(param));
    uninst::Uninstaller u(*g_reg, g_registry, g_files, host, g_places);
    u.Run();
    g_outcome = u.outcome();
    return 0;
}

// ---- Progress dialog -----------------------------------------------------------

class CProgress : public ui::Dialog {
public:
    CProgress() : ui::Dialog(IDD_PROGRESS, nullptr) {}

protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_PROGRESS_TEXT, Product(IDS_PROGRESS_TEXT));
        SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 12));
        SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETSTEP, 2, 0);
        check_ = static_cast<HBITMAP>(LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDB_CHECK),
                                                 IMAGE_BITMAP, 0, 0,
                                                 LR_LOADTRANSPARENT | LR_LOADMAP3DCOLORS));
        for (int i = 0; i < 6; ++i) {
            SendMessageW(Item(IDC_CHECK1 + i), STM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(check_));
            ShowWindow(Item(IDC_CHECK1 + i), SW_HIDE);
        }
        Animate_OpenEx(Item(IDC_ANIMATION), ui::Instance(), MAKEINTRESOURCEW(IDR_STEP_AVI));
        StartStep(1);
        SetForegroundWindow(hwnd());
        DWORD id = 0;
        worker_ = CreateThread(nullptr, 0, Worker, hwnd(), 0, &id);
        return TRUE;
    }
    void OnOK() override {
        if (done_)
            EndDialog(hwnd(), IDOK);
    }
    void OnCancel() override {
        if (done_)
            EndDialog(hwnd(), IDOK);
    }
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM, bool* handled) override {
        if (msg > WM_STEP_DONE && msg <= WM_STEP_DONE + 6) {
            StepDone(static_cast<int>(msg - WM_STEP_DONE));
            *handled = true;
            return TRUE;
        }
        if (msg == WM_TIMER && wParam == kCloseTimer) {
            KillTimer(hwnd(), kCloseTimer);
            EndDialog(hwnd(), IDOK);
            *handled = true;
            return TRUE;
        }
        *handled = false;
        return 0;
    }
    void OnDestroyed() override {
        if (check_ != nullptr)
            DeleteObject(check_);
    }

private:
    void StartStep(int step) {
        ShowWindow(Item(IDC_STEP1 + step - 1), SW_SHOW);
        RECT r;
        GetWindowRect(Item(IDC_CHECK1 + step - 1), &r);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
        HWND anim = Item(IDC_ANIMATION);
        SetWindowPos(anim, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(anim, SW_SHOW);
        Animate_Play(anim, 0, -1, -1);
    }
    void StepDone(int step) {
        ShowWindow(Item(IDC_CHECK1 + step - 1), SW_SHOW);
        SendMessageW(Item(IDC_PROGRESS_BAR), PBM_STEPIT, 0, 0);
        if (step < 6) {
            StartStep(step + 1);
            return;
        }
        Animate_Stop(Item(IDC_ANIMATION));
        ShowWindow(Item(IDC_ANIMATION), SW_HIDE);
        WaitForSingleObject(worker_, INFINITE);
        CloseHandle(worker_);
        worker_ = nullptr;
        done_ = true;
        if (g_outcome.failed) {
            EndDialog(hwnd(), IDCANCEL);
            return;
        }
        SetItemText(IDC_DONE_TEXT, ui::LoadText(IDS_COMPLETED));
        EnableItem(IDOK, true);
        // Nothing could have the focus while the steps ran; Return presses OK.
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
        SetTimer(hwnd(), kCloseTimer, 2000, nullptr);
    }

    HANDLE worker_ = nullptr;
    HBITMAP check_ = nullptr;
    bool done_ = false;
};

// ---- Result dialog -------------------------------------------------------------

void DeleteOwnFile() {
    if (g_outcome.ownFile.empty() ||
        GetFileAttributesA(g_outcome.ownFile.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    const auto others = uninst::OtherUninstallStrings(g_registry, g_key);
    if (!uninst::OwnFileDeletable(g_outcome.ownFile, g_places.system, others)) {
        Log("own file kept: another product's UninstallString names it");
        return;
    }
    SetFileAttributesA(g_outcome.ownFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(g_outcome.ownFile.c_str()))
        Log("own file deleted: " + g_outcome.ownFile);
    else
        uninst_win::DeleteAtRestart(g_outcome.ownFile, g_os.IsNT(), g_places.windows);
}

class CResult : public ui::Dialog {
public:
    CResult() : ui::Dialog(IDD_RESULT, nullptr) {}

protected:
    BOOL OnInitDialog() override {
        if (g_outcome.failed) {
            SetItemText(IDC_RESULT_TEXT, Product(IDS_FAILURE));
            SetItemText(IDC_RESULT_TEXT2, ui::LoadText(IDS_FAILURE_MORE));
            ShowWindow(Item(IDC_RESULT_TEXT2), SW_SHOW);
            Log("result: failed");
        } else {
            SetItemText(IDC_RESULT_TEXT, Product(IDS_SUCCESS));
            if (g_outcome.RestartOffered()) {
                SetItemText(IDC_RESULT_TEXT2, ui::LoadText(IDS_MUST_RESTART));
                for (int id : {IDC_RESULT_TEXT2, IDC_RESTART_NOW, IDC_RESTART_LATER, IDC_DISK_TEXT})
                    ShowWindow(Item(id), SW_SHOW);
                CheckRadioButton(hwnd(), IDC_RESTART_NOW, IDC_RESTART_LATER, IDC_RESTART_NOW);
                Log("result: restart offered");
            } else {
                Log("result: success");
            }
        }
        if (!g_outcome.refused.empty()) {
            std::wstring text = Product(IDS_REFUSED_HEAD);
            for (const auto& r : g_outcome.refused) {
                const UINT id = r.kind == uninst::Refusal::kFolder ? IDS_REFUSED_FOLDER
                                : r.kind == uninst::Refusal::kFile ? IDS_REFUSED_FILE
                                                                   : IDS_REFUSED_KEY;
                text += L"\r\n" +
                        ui::Widen(shared::FormatProduct(ui::Narrow(ui::LoadText(id)), r.target));
            }
            SetItemText(IDC_REFUSED, text);
            if (!g_outcome.failed && !g_outcome.RestartOffered()) {
                // No restart choices: the list takes their place.
                RECT below, list;
                GetWindowRect(Item(IDC_RESULT_TEXT2), &below);
                GetWindowRect(Item(IDC_REFUSED), &list);
                MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&below), 2);
                MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&list), 2);
                SetWindowPos(Item(IDC_REFUSED), nullptr, list.left, below.top,
                             list.right - list.left, list.bottom - below.top, SWP_NOZORDER);
            }
            ShowWindow(Item(IDC_REFUSED), SW_SHOW);
            Log("result: " + std::to_string(g_outcome.refused.size()) + " entries refused");
        }
        SetForegroundWindow(hwnd());
        return TRUE;
    }
    void OnOK() override { Finish(true); }
    // Escape, Alt+F4: the uninstallation is done, so closing finishes it
    // too, but never restarts the computer.
    void OnCancel() override { Finish(false); }
    bool OnCommand(int id, int, HWND) override {
        if (id != IDC_FINISH)
            return false;
        Finish(true);
        return true;
    }

private:
    void Finish(bool mayRestart) {
        if (!g_outcome.failed) {
            for (const auto& path : g_outcome.restartList)
                uninst_win::DeleteAtRestart(path, g_os.IsNT(), g_places.windows);
            const bool later = IsDlgButtonChecked(hwnd(), IDC_RESTART_LATER) == BST_CHECKED;
            DeleteOwnFile();
            if (g_outcome.RestartOffered() && !later && mayRestart)
                ui::sys::RestartComputer(g_os);
            else
                Log(mayRestart ? "finish without restart" : "result closed without restart");
        }
        EndDialog(hwnd(), IDC_FINISH);
    }
};

// ---- Background window -----------------------------------------------------------

void Confirm(HWND owner) {
    const int answer =
        MessageBoxW(owner, Product(IDS_CONFIRM).c_str(), Product(IDS_CONFIRM_CAPTION).c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    SignalLauncher();
    if (answer != IDYES) {
        Log("confirmation: No");
        g_exitCode = kExitDeclined;
        return;
    }
    Log("confirmation: Yes");
    CProgress progress;
    progress.DoModal();
    CResult result;
    result.DoModal();
    if (g_outcome.failed)
        g_exitCode = kExitFailed;
}

void RunExecuteFile() {
    const auto& e = g_reg->executeFile;
    if (!e.file.empty())
        ui::sys::ShellRun(e.file, e.parameters, e.path);
}

int RunUninstallation() {
    g_reg = uninst::ReadRegistration(g_registry, g_key);
    if (!g_reg) {
        Log("no registration for \"" + g_key + "\": the program ends");
        return kExitNoRegistration;
    }
    Log("product \"" + g_reg->displayName + "\", home " + g_home);
    // The uninstaller's own file: the program that "UninstallString" names.
    std::string own =
        uninst::FileNameOf(uninst::SplitUninstallString(g_reg->uninstallString).program);
    if (own.empty())
        own = "kivouninstall.exe";
    g_places = uninst_win::QueryPlaces(g_home, own);

    ui::BackgroundWindow background(
        {kClassName, IDR_UNINSTALL_ICON, g_caption, ui::Widen(g_reg->displayName)}, Confirm,
        RunExecuteFile);
    if (!background.Create())
        return kExitNoRegistration;
    background.RunMessageLoop();
    return g_exitCode;
}

// ---- The launching process -------------------------------------------------------

// Copies the program to a temporary file, starts the copy and waits until it
// has the user's answer (or has ended).
int LaunchCopy() {
    char tempDir[MAX_PATH] = {}, copy[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tempDir);
    const std::string self = ui::sys::ModulePath();
    if (GetTempFileNameA(tempDir, "www", 0, copy) == 0 || !CopyFileA(self.c_str(), copy, FALSE)) {
        Log("cannot make the temporary copy");
        return kExitNoRegistration;
    }
    MoveFileExA(copy, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE onClose = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                 OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE event = CreateEventA(&inherit, TRUE, FALSE, kEventName);
    std::string cmd = uninst::CopyCommandLine(copy, g_key, g_home);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    Log("starting the copy: " + cmd);
    if (!CreateProcessA(copy, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        Log("cannot start the copy");
        if (onClose != INVALID_HANDLE_VALUE)
            CloseHandle(onClose);
        DeleteFileA(copy);
        return kExitNoRegistration;
    }
    HANDLE waits[2] = {event, pi.hProcess};
    // The copy's answer ends this process with success, also when the copy
    // has ended since (a declined run ends at once); only a copy that ended
    // without an answer passes its code on.
    DWORD code = kExitOk;
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(event);
    if (onClose != INVALID_HANDLE_VALUE)
        CloseHandle(onClose);
    Log("the launching process ends");
    return static_cast<int>(code);
}

int Run(HINSTANCE instance) {
    ui::SetInstance(instance);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    char log[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TAVIX_UNINSTALL_LOG", log, MAX_PATH) > 0)
        ui::sys::OpenLog(log);
    const std::string self = ui::sys::ModulePath();
    const uninst::Arguments args =
        uninst::ParseArguments(uninst::SkipProgramName(GetCommandLineA(), self));
    Log(std::string("kivouninstall starts: ") + GetCommandLineA());
    g_os = ui::sys::QueryOs();
    g_caption = ui::LoadText(IDS_UNINSTALL);
    g_home = uninst::DirectoryOf(self);
    g_key = args.key;
    if (args.form == uninst::Form::kFromIni || args.form == uninst::Form::kFromIniDirect) {
        g_key = uninst_win::UninstallKeyFromIni(g_home);
        if (g_key.empty()) {
            Log("no key in Uninstal.ini: the program ends");
            return kExitNoRegistration;
        }
    }
    if (args.form == uninst::Form::kLaunch || args.form == uninst::Form::kFromIni)
        return LaunchCopy();
    // Away from the folders it deletes: a process's current directory cannot
    // be removed.
    char tempDir[MAX_PATH] = {};
    if (GetTempPathA(MAX_PATH, tempDir) > 0)
        SetCurrentDirectoryA(tempDir);
    if (args.form == uninst::Form::kCopy) {
        if (!args.home.empty())
            g_home = args.home;
        g_deleteSelfEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, kEventName);
    }
    // Without the confirmation the launcher learns of the end from the
    // copy's process handle, with its exit code.
    const int code = RunUninstallation();
    if (g_deleteSelfEvent != nullptr)
        CloseHandle(g_deleteSelfEvent);
    Log("kivouninstall ends (" + std::to_string(code) + ")");
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return Run(instance);
}
