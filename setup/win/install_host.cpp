#include "setup/win/install_host.h"

#include <objbase.h>
#include <prsht.h>
#include <setupapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <winver.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "setup/win/system.h"
#include "ui/dialog.h"
#include "ui/kivosetup.h"

namespace setup_win {

namespace {

constexpr DWORD kInstallFlagForce = 0x00000001;  // INSTALLFLAG_FORCE of newdev.h

HKEY RootKey(setup::Root root) {
    switch (root) {
        case setup::kHklm:
            return HKEY_LOCAL_MACHINE;
        case setup::kHkcu:
            return HKEY_CURRENT_USER;
        case setup::kHkcr:
            return HKEY_CLASSES_ROOT;
        default:
            return HKEY_USERS;
    }
}

std::string Folder(int csidl) {
    char buf[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf)) && buf[0] != '\0')
        return buf;
    return {};
}

uint64_t Ticks(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

template <typename Fn>
Fn Export(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

// Cabinet iteration: one context for listing and extracting.
struct CabinetContext {
    std::vector<setup::CabinetMember>* members = nullptr;
    const std::function<std::string(const std::string&)>* want = nullptr;
    const std::function<bool()>* before = nullptr;
    bool stopped = false;
    WORD date = 0, time = 0;
};

UINT CALLBACK CabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
    auto* c = static_cast<CabinetContext*>(context);
    switch (notification) {
        case SPFILENOTIFY_FILEINCABINET: {
            auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1);
            if (c->members != nullptr) {
                c->members->push_back({info->NameInCabinet, info->FileSize});
                return FILEOP_SKIP;
            }
            if (!(*c->before)()) {
                c->stopped = true;
                SetLastError(ERROR_CANCELLED);
                return FILEOP_ABORT;
            }
            const std::string target = (*c->want)(info->NameInCabinet);
            if (target.empty() || target.size() >= MAX_PATH)
                return FILEOP_SKIP;
            lstrcpynA(info->FullTargetName, target.c_str(), MAX_PATH);
            c->date = info->DosDate;
            c->time = info->DosTime;
            return FILEOP_DOIT;
        }
        case SPFILENOTIFY_FILEEXTRACTED: {
            auto* paths = reinterpret_cast<FILEPATHS_A*>(param1);
            if (paths->Win32Error != NO_ERROR)
                return paths->Win32Error;
            // The date and time of the cabinet's record.
            FILETIME local, utc;
            if (DosDateTimeToFileTime(c->date, c->time, &local) &&
                LocalFileTimeToFileTime(&local, &utc)) {
                HANDLE f = CreateFileA(paths->Target, FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
                if (f != INVALID_HANDLE_VALUE) {
                    SetFileTime(f, nullptr, nullptr, &utc);
                    CloseHandle(f);
                }
            }
            return NO_ERROR;
        }
        case SPFILENOTIFY_NEEDNEWCABINET:
            return ERROR_FILE_NOT_FOUND;  // multi-part cabinets are not supported
        default:
            return NO_ERROR;
    }
}

}  // namespace

// ---- Files ---------------------------------------------------------------------

bool WinHost::FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WinHost::DirectoryExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int64_t WinHost::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d) ||
        (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

setup::FileVersion WinHost::Version(const std::string& path) {
    setup::FileVersion v;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return v;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return v;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len) &&
        fixed != nullptr && len >= sizeof *fixed) {
        v.hasFixed = true;
        v.fixed = (static_cast<uint64_t>(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
    }
    struct Translation {
        WORD language, codePage;
    }* tr = nullptr;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr),
                       &len) &&
        tr != nullptr && len >= sizeof *tr) {
        char key[64];
        std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion", tr->language,
                      tr->codePage);
        char* text = nullptr;
        if (VerQueryValueA(block.data(), key, reinterpret_cast<void**>(&text), &len) &&
            text != nullptr && len > 0)
            v.text.assign(text, strnlen(text, len));
    }
    return v;
}

uint64_t WinHost::WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d))
        return 0;
    return Ticks(d.ftLastWriteTime);
}

bool WinHost::MakeDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0 || DirectoryExists(path);
}

bool WinHost::RemoveDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

// Our own copy loop with a large buffer (kCopyChunk). Like CopyFile it
// overwrites, keeps the source's attributes and last-write time, and fails
// when the target is in use.
setup::Host::CopyStatus WinHost::CopyFile(const std::string& from, const std::string& to) {
    HANDLE src = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (src == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? kSourceMissing : kFailed;
    }
    // By name, not by handle: under Wine the handle's information includes
    // the volume's serial number, a round trip to the mount manager per file.
    WIN32_FILE_ATTRIBUTE_DATA info = {};
    const bool known = GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &info) != 0;
    // A target whose attributes stop the overwrite (read-only, hidden,
    // system) has them cleared and is tried again; the others are not
    // touched.
    constexpr DWORD kSticky =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    auto create = [&] {
        return CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    };
    HANDLE dst = create();
    if (dst == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        const DWORD old = GetFileAttributesA(to.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & kSticky) != 0 &&
            SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL))
            dst = create();
    }
    if (dst == INVALID_HANDLE_VALUE) {
        CloseHandle(src);
        return kFailed;
    }
    constexpr DWORD kChunk = kCopyChunk;
    if (buffer_.size() < kChunk)
        buffer_.resize(kChunk);
    bool ok = true;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(src, buffer_.data(), kChunk, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (!WriteFile(dst, buffer_.data(), got, &put, nullptr) || put != got) {
            ok = false;
            break;
        }
    }
    if (ok && known)
        SetFileTime(dst, nullptr, nullptr, &info.ftLastWriteTime);
    CloseHandle(dst);
    CloseHandle(src);
    if (!ok) {
        DeleteFileA(to.c_str());  // never a half-written target
        return kFailed;
    }
    // The source's read-only, hidden and system attributes go with it; a
    // new file has the archive attribute already.
    const DWORD keep = info.dwFileAttributes & (kSticky | FILE_ATTRIBUTE_ARCHIVE);
    if ((keep & kSticky) != 0)
        SetFileAttributesA(to.c_str(), keep);
    return kCopied;
}

bool WinHost::DeleteFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

std::vector<setup::Host::DirItem> WinHost::List(const std::string& dir) {
    std::vector<DirItem> items;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return items;
    do {
        const std::string name = fd.cFileName;
        if (name != "." && name != "..")
            items.push_back({name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return items;
}

std::string WinHost::ScratchDirectory() {
    char temp[MAX_PATH] = {};
    if (GetTempPathA(MAX_PATH, temp) == 0)
        return {};
    for (int n = 0; n < 1000; ++n) {
        const std::string dir = setup::JoinPath(temp, "_KivoKeep" + std::to_string(n));
        if (CreateDirectoryA(dir.c_str(), nullptr))
            return dir;
    }
    return {};
}

// ---- Registry ------------------------------------------------------------------

// Keys stay open while the installation runs (one registration per file
// would otherwise open and close the same keys again and again).
HKEY WinHost::Key(setup::Root root, const std::string& key, bool create, bool* created) {
    const std::string id = std::string(setup::RootName(root)) + "\\" + setup::Upper(key);
    const auto it = keys_.find(id);
    if (it != keys_.end())
        return it->second;
    HKEY k = nullptr;
    DWORD disposition = 0;
    LONG r = create ? RegCreateKeyExA(RootKey(root), key.c_str(), 0, nullptr, 0,
                                      KEY_READ | KEY_WRITE, nullptr, &k, &disposition)
                    : RegOpenKeyExA(RootKey(root), key.c_str(), 0, KEY_READ | KEY_WRITE, &k);
    if (created != nullptr)
        *created = r == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    if (r == ERROR_ACCESS_DENIED && !create)  // readable only (a user without rights)
        r = RegOpenKeyExA(RootKey(root), key.c_str(), 0, KEY_READ, &k);
    if (r != ERROR_SUCCESS)
        return nullptr;
    keys_[id] = k;
    return k;
}

void WinHost::CloseKeys() {
    for (auto& [id, k] : keys_)
        RegCloseKey(k);
    keys_.clear();
}

WinHost::~WinHost() {
    CloseKeys();
}

bool WinHost::KeyExists(setup::Root root, const std::string& key) {
    return Key(root, key, false) != nullptr;
}

bool WinHost::CreateKey(setup::Root root, const std::string& key) {
    return Key(root, key, true) != nullptr;
}

setup::Host::KeyOutcome WinHost::OpenOrCreateKey(setup::Root root, const std::string& key) {
    bool created = false;
    if (Key(root, key, true, &created) == nullptr)
        return kKeyFailed;
    return created ? kKeyCreated : kKeyExisted;
}

bool WinHost::ReadValue(setup::Root root, const std::string& key, const std::string& name,
                        setup::RegData* data) {
    HKEY k = Key(root, key, false);
    if (k == nullptr)
        return false;
    // Into a buffer that holds most values at once: one request to the
    // system's registry instead of asking for the size first.
    DWORD type = 0, size = kValueGuess;
    std::vector<uint8_t> bytes(size);
    LONG r = RegQueryValueExA(k, name.c_str(), nullptr, &type, bytes.data(), &size);
    if (r == ERROR_MORE_DATA) {
        bytes.assign(size, 0);
        r = RegQueryValueExA(k, name.c_str(), nullptr, &type, bytes.data(), &size);
    }
    if (r != ERROR_SUCCESS)
        return false;
    bytes.resize(size);
    data->bytes = std::move(bytes);
    data->type = type;
    return true;
}

bool WinHost::WriteValue(setup::Root root, const std::string& key, const std::string& name,
                         const setup::RegData& data) {
    HKEY k = Key(root, key, true);
    return k != nullptr && RegSetValueExA(k, name.c_str(), 0, data.type, data.bytes.data(),
                                          static_cast<DWORD>(data.bytes.size())) == ERROR_SUCCESS;
}

bool WinHost::DeleteValue(setup::Root root, const std::string& key, const std::string& name) {
    HKEY k = Key(root, key, false);
    return k != nullptr && RegDeleteValueA(k, name.c_str()) == ERROR_SUCCESS;
}

bool WinHost::DeleteKey(setup::Root root, const std::string& key) {
    HKEY k = Key(root, key, false);
    if (k == nullptr)
        return false;
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    if (subkeys != 0 || values != 0)
        return false;  // something else lives there now
    CloseKeys();
    return RegDeleteKeyA(RootKey(root), key.c_str()) == ERROR_SUCCESS;
}

// ---- Cabinets -----------------------------------------------------------------

// SetupIterateCabinetA, loaded by name like the driver step's functions, so
// that the program imports nothing from setupapi.dll.
static BOOL IterateCabinet(const std::string& cabinet, CabinetContext* c) {
    HMODULE lib = LoadLibraryA("setupapi.dll");
    if (lib == nullptr)
        return FALSE;
    using Fn = BOOL(WINAPI*)(PCSTR, DWORD, PSP_FILE_CALLBACK_A, PVOID);
    auto fn = Export<Fn>(lib, "SetupIterateCabinetA");
    const BOOL ok = fn != nullptr && fn(cabinet.c_str(), 0, CabinetCallback, c);
    FreeLibrary(lib);
    return ok;
}

bool WinHost::ListCabinet(const std::string& cabinet, std::vector<setup::CabinetMember>* members) {
    CabinetContext c;
    c.members = members;
    return IterateCabinet(cabinet, &c) != 0;
}

bool WinHost::ExtractCabinet(const std::string& cabinet,
                             const std::function<std::string(const std::string&)>& want,
                             const std::function<bool()>& before) {
    if (!FileExists(cabinet))
        return false;
    CabinetContext c;
    c.want = &want;
    c.before = &before;
    const BOOL ok = IterateCabinet(cabinet, &c);
    return ok != 0 && !c.stopped;
}

// ---- The copying page -----------------------------------------------------------

void WinHost::ShowCopy(const std::string& from, const std::string& to) {
    if (link_.page == nullptr)
        return;
    const DWORD now = GetTickCount();
    if (textShown_ && now - lastText_ < kPageMs)
        return;
    if (link_.copyTextPending != nullptr && InterlockedExchange(link_.copyTextPending, 1) != 0)
        return;
    textShown_ = true;
    lastText_ = now;
    auto* texts = new std::pair<std::wstring, std::wstring>(ui::Widen(from), ui::Widen(to));
    if (!PostMessageW(link_.page, WM_SHOW_COPY, 0, reinterpret_cast<LPARAM>(texts))) {
        delete texts;
        if (link_.copyTextPending != nullptr)
            InterlockedExchange(link_.copyTextPending, 0);
    }
}

void WinHost::SetPercent(int percent) {
    if (percent == lastPercent_)
        return;  // the bar only changes with the number
    lastPercent_ = percent;
    if (link_.percent != nullptr)
        InterlockedExchange(link_.percent, percent);
    const DWORD now = GetTickCount();
    if (barShown_ && now - lastBar_ < kPageMs && percent < 100)
        return;
    barShown_ = true;
    lastBar_ = now;
    if (link_.page != nullptr) {
        HWND bar = GetDlgItem(link_.page, 1112);  // IDC_PROGRESS
        InvalidateRect(bar, nullptr, FALSE);
    }
}

bool WinHost::WaitPause(size_t file) {
    if (link_.pauseAt >= 0 && file == static_cast<size_t>(link_.pauseAt) && link_.page != nullptr) {
        if (link_.pauseMode == 'c') {
            // Cancel pressed just after the worker passed this wait.
            Log("test hook: Cancel pressed as file " + std::to_string(file) + " is copied");
            PostMessageW(GetParent(link_.page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            return true;
        }
        Log("test hook: worker held before file " + std::to_string(file));
        if (link_.held != nullptr)
            InterlockedExchange(link_.held, 1);
        ResetEvent(link_.pause);
        if (link_.pauseMode != 'h')
            PostMessageW(GetParent(link_.page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    }
    if (link_.pause != nullptr && (link_.held == nullptr || *link_.held != 0))
        WaitForSingleObject(link_.pause, INFINITE);
    return link_.cancel == nullptr || *link_.cancel == 0;
}

void WinHost::EnterRegistryStage() {
    if (link_.page != nullptr)
        PostMessageW(link_.page, WM_REGISTRY_STAGE, 1, 0);
}

void WinHost::LeaveRegistryStage() {
    if (link_.page != nullptr)
        PostMessageW(link_.page, WM_REGISTRY_STAGE, 0, 0);
}

// ---- Programs, links --------------------------------------------------------------

void WinHost::CloseProgram(const std::string& windowClass, const std::string& title) {
    if (windowClass.empty() && title.empty())
        return;
    auto find = [&] {
        return FindWindowA(windowClass.empty() ? nullptr : windowClass.c_str(),
                           title.empty() ? nullptr : title.c_str());
    };
    HWND w = find();
    if (w == nullptr)
        return;
    DestroyWindow(w);
    Sleep(2000);
    w = find();
    if (w == nullptr)
        return;
    char cls[256] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, "KivoReplionClass") == 0) {
        PostMessageW(w, WM_COMMAND, 32774, 0);
        Sleep(2000);
        w = find();
        if (w == nullptr)
            return;
    }
    if (os.Is9x()) {
        SendMessageTimeoutW(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
        Sleep(1000);
        return;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process =
        OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                        PROCESS_VM_WRITE | PROCESS_VM_READ | SYNCHRONIZE | PROCESS_TERMINATE,
                    FALSE, pid);
    if (process == nullptr)
        return;
    // A thread started in that process at the process-exit entry point.
    auto exitProcess = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "ExitProcess")));
    HANDLE thread = exitProcess != nullptr
                        ? CreateRemoteThread(process, nullptr, 0, exitProcess, nullptr, 0, nullptr)
                        : nullptr;
    if (thread != nullptr)
        CloseHandle(thread);
    else
        TerminateProcess(process, 0);
    if (WaitForSingleObject(process, 10000) == WAIT_TIMEOUT)
        TerminateProcess(process, 0);
    CloseHandle(process);
    Log("closed the program of window class \"" + std::string(cls) + "\"");
}

std::string WinHost::ShortcutFolder(int place) {
    int common = 0, own = 0;
    switch (place) {
        case 0:
            common = CSIDL_COMMON_DESKTOPDIRECTORY;
            own = CSIDL_DESKTOPDIRECTORY;
            break;
        case 1:
            common = CSIDL_COMMON_STARTMENU;
            own = CSIDL_STARTMENU;
            break;
        case 2:
            common = CSIDL_COMMON_PROGRAMS;
            own = CSIDL_PROGRAMS;
            break;
        default:
            return {};
    }
    const std::string f = Folder(common);
    return f.empty() ? Folder(own) : f;
}

bool WinHost::CreateLink(const Link& link) {
    const HRESULT init = CoInitialize(nullptr);
    IShellLinkA* shell = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell)))) {
        shell->SetPath(link.target.c_str());
        shell->SetWorkingDirectory(link.directory.c_str());
        shell->SetArguments(link.arguments.c_str());
        shell->SetDescription(link.description.c_str());
        shell->SetIconLocation(link.iconPath.c_str(), link.iconIndex);
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            ok = SUCCEEDED(file->Save(ui::Widen(link.path).c_str(), TRUE));
            file->Release();
        }
        shell->Release();
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return ok;
}

void WinHost::RunAndWait(const std::string& commandLine, const std::string& directory,
                         unsigned long ms) {
    ui::sys::RunCommand(commandLine, directory, true, ms);
}

void WinHost::ShellOpen(const std::string& file, const std::string& arguments,
                        const std::string& directory) {
    ui::sys::ShellRun(file, arguments, directory);
}

std::string WinHost::UserLocale() {
    return setup_sys::UserLocale(os);
}

void WinHost::Log(const std::string& line) {
    ui::sys::Log(line);
}

// ---- Drivers ------------------------------------------------------------------

int WinDriverHost::UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                                bool* reboot) {
    HMODULE lib = LoadLibraryA("newdev.dll");
    if (lib == nullptr)
        return -1;
    using Fn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);
    auto fn = Export<Fn>(lib, "UpdateDriverForPlugAndPlayDevicesA");
    int result = -1;
    if (fn != nullptr) {
        BOOL restart = FALSE;
        result =
            fn(nullptr, hardwareId.c_str(), infPath.c_str(), kInstallFlagForce, &restart) ? 1 : 0;
        *reboot = restart != FALSE;
    }
    FreeLibrary(lib);
    return result;
}

std::string WinDriverHost::CopyOemInf(const std::string& source) {
    HMODULE lib = LoadLibraryA("setupapi.dll");
    if (lib == nullptr)
        return {};
    using Fn = BOOL(WINAPI*)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
    auto fn = Export<Fn>(lib, "SetupCopyOEMInfA");
    std::string copy;
    if (fn != nullptr) {
        char name[MAX_PATH] = {};
        if (fn(source.c_str(), nullptr, SPOST_PATH, 0, name, MAX_PATH, nullptr, nullptr))
            copy = name;
    }
    FreeLibrary(lib);
    return copy;
}

int WinDriverHost::InstallPnP(const std::string& deviceClass, const std::string& infPath,
                              const std::string& param5, const std::string& provider,
                              const std::string& param4, int force, int configMg) {
    HMODULE lib = LoadLibraryA(kivosetup::kLibrary);
    if (lib == nullptr)
        return 0;
    auto fn = Export<kivosetup::InstallPnPDeviceDriverFn>(lib, kivosetup::kInstallPnPDeviceDriver);
    const int n = fn != nullptr ? fn(deviceClass.c_str(), infPath.c_str(), param5.c_str(),
                                     provider.c_str(), param4.c_str(), force, configMg)
                                : 0;
    FreeLibrary(lib);
    return n;
}

int WinDriverHost::ConnectedDevices(const std::string& deviceClass, const std::string& param5,
                                    const std::string& provider) {
    HMODULE lib = LoadLibraryA(kivosetup::kLibrary);
    if (lib == nullptr)
        return 0;
    auto fn =
        Export<kivosetup::GetConnectedDeviceNumberFn>(lib, kivosetup::kGetConnectedDeviceNumber);
    const int n = fn != nullptr ? fn(deviceClass.c_str(), param5.c_str(), provider.c_str()) : 0;
    FreeLibrary(lib);
    return n;
}

void WinDriverHost::RemoveDeviceFromRegistry(const std::string& hardwareId) {
    HMODULE lib = LoadLibraryA(kivosetup::kLibrary);
    if (lib == nullptr)
        return;
    auto fn =
        Export<kivosetup::RemoveDeviceFromRegistryFn>(lib, kivosetup::kRemoveDeviceFromRegistry);
    if (fn != nullptr)
        fn("", hardwareId.c_str());
    FreeLibrary(lib);
}

bool WinDriverHost::OnFixedDisk(const std::string& path) {
    if (path.size() < 2 || path[1] != ':')
        return false;
    const std::string root = path.substr(0, 2) + "\\";
    return GetDriveTypeA(root.c_str()) == DRIVE_FIXED;
}

void WinDriverHost::Wait(unsigned long ms) {
    char buf[32] = {};
    const DWORD n = GetEnvironmentVariableA("TAVIX_SETUP_DRIVER_WAIT_MS", buf, sizeof buf);
    if (n > 0 && n < sizeof buf)
        ms = std::strtoul(buf, nullptr, 10);
    Sleep(ms);
}

}  // namespace setup_win
