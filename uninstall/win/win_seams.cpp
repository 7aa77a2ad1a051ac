#include "uninstall/win/win_seams.h"

#include <shellapi.h>
#include <shlobj.h>

#include "ui/kivosetup.h"
#include "ui/system.h"

namespace uninst_win {

using uninst::Root;

namespace {

HKEY RootKey(Root root) {
    // In the order of uninst::Root; any other value is the users root.
    static const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT};
    const auto i = static_cast<size_t>(root);
    return i < sizeof kRoots / sizeof kRoots[0] ? kRoots[i] : HKEY_USERS;
}

class Key {
public:
    Key(Root root, const std::string& path, REGSAM access) {
        if (RegOpenKeyExA(RootKey(root), path.c_str(), 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool Gone(LONG r) {
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND || r == ERROR_PATH_NOT_FOUND;
}

LONG DeleteTreeOf(HKEY parent, const std::string& path, int depth) {
    HKEY key;
    LONG r = RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (r != ERROR_SUCCESS)
        return r;
    if (depth < 64) {
        char name[256];
        for (;;) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (!Gone(DeleteTreeOf(key, name, depth + 1)))
                break;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, path.c_str());
}

std::string Folder(int csidl) {
    char buf[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf)))
        return buf;
    return {};
}

std::string Env(const char* name) {
    char buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA(name, buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buf) : std::string();
}

HMODULE Companion() {
    return LoadLibraryA(kivosetup::kLibrary);
}

template <typename Fn>
Fn Export(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

}  // namespace

bool WinRegistry::KeyExists(Root root, const std::string& path) {
    Key k(root, path, KEY_READ);
    return k.get() != nullptr;
}

std::vector<uninst::Value> WinRegistry::Values(Root root, const std::string& path) {
    std::vector<uninst::Value> out;
    Key k(root, path, KEY_READ);
    if (k.get() == nullptr)
        return out;
    std::string name(16384, '\0');
    std::string data(8192, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size() - 1);
        DWORD type = 0;
        const LONG r = RegEnumValueA(k.get(), i, name.data(), &nameSize, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA)
            break;
        uninst::Value v;
        v.name.assign(name.data(), nameSize);
        if (r == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            v.data.assign(data.data(), dataSize);
            while (!v.data.empty() && v.data.back() == '\0')
                v.data.pop_back();
        }
        out.push_back(v);
    }
    return out;
}

std::vector<std::string> WinRegistry::Subkeys(Root root, const std::string& path) {
    std::vector<std::string> out;
    Key k(root, path, KEY_READ);
    if (k.get() == nullptr)
        return out;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(k.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        out.emplace_back(name, size);
    }
    return out;
}

bool WinRegistry::DeleteValue(Root root, const std::string& path, const std::string& name) {
    Key k(root, path, KEY_SET_VALUE);
    if (k.get() == nullptr)
        return !KeyExists(root, path);
    return Gone(RegDeleteValueA(k.get(), name.c_str()));
}

bool WinRegistry::DeleteTree(Root root, const std::string& path) {
    if (path.empty())
        return false;  // never a whole root
    return Gone(DeleteTreeOf(RootKey(root), path, 0));
}

bool WinRegistry::SetText(Root root, const std::string& path, const std::string& name,
                          const std::string& data) {
    HKEY k = nullptr;
    if (path.empty() || RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                        nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG r =
        RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

bool WinRegistry::DeleteKey(Root root, const std::string& path) {
    if (path.empty())
        return false;
    return Gone(RegDeleteKeyA(RootKey(root), path.c_str()));
}

bool WinFiles::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WinFiles::IsDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uninst::Files::Deleted WinFiles::DeleteFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path.c_str()))
        return Deleted::kDone;
    const DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
        return Deleted::kNotFound;
    return Exists(path) ? Deleted::kFailed : Deleted::kDone;
}

bool WinFiles::RemoveDirectory(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    return RemoveDirectoryA(path.c_str()) != 0;
}

std::vector<uninst::DirEntry> WinFiles::List(const std::string& dir) {
    std::vector<uninst::DirEntry> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(uninst::Join(dir, "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        out.push_back({name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

uninst::Places QueryPlaces(const std::string& home, const std::string& ownFileName) {
    uninst::Places p;
    char buf[MAX_PATH] = {};
    GetWindowsDirectoryA(buf, MAX_PATH);
    p.windows = buf;
    GetSystemDirectoryA(buf, MAX_PATH);
    p.system = buf;
    p.home = home;
    p.ownFileName = ownFileName;
    const std::string ini = uninst::Join(home, "Uninstal.ini");
    p.strings = [ini](const std::string& key) {
        char value[MAX_PATH] = {};
        GetPrivateProfileStringA("Strings", key.c_str(), "", value, MAX_PATH, ini.c_str());
        return std::string(value);
    };
    p.protection.Add(p.windows);
    p.protection.Add(p.system);
    static const int kFolders[] = {
        CSIDL_PROGRAM_FILES,
        CSIDL_PROGRAM_FILES_COMMON,
        CSIDL_PROFILE,
        CSIDL_APPDATA,
        CSIDL_LOCAL_APPDATA,
        CSIDL_COMMON_APPDATA,
        CSIDL_PERSONAL,
        CSIDL_COMMON_DOCUMENTS,
        CSIDL_DESKTOPDIRECTORY,
        CSIDL_COMMON_DESKTOPDIRECTORY,
        CSIDL_PROGRAMS,
        CSIDL_COMMON_PROGRAMS,
        CSIDL_STARTMENU,
        CSIDL_COMMON_STARTMENU,
        CSIDL_STARTUP,
        CSIDL_COMMON_STARTUP,
        CSIDL_FONTS,
        CSIDL_SYSTEMX86,
        CSIDL_PROGRAM_FILESX86,
    };
    for (int csidl : kFolders)
        p.protection.Add(Folder(csidl));
    for (const char* v : {"USERPROFILE", "ALLUSERSPROFILE", "PUBLIC", "ProgramFiles",
                          "ProgramFiles(x86)", "ProgramW6432", "SystemRoot", "windir"})
        p.protection.Add(Env(v));
    return p;
}

std::string UninstallKeyFromIni(const std::string& dir) {
    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("Uninstall", "UninstallKey", "", value, MAX_PATH,
                             uninst::Join(dir, "Uninstal.ini").c_str());
    return value;
}

void RestoreDeviceDriver(const std::string& name, const std::string& data, bool configMg) {
    HMODULE lib = Companion();
    if (lib == nullptr) {
        ui::sys::Log("kivosetup.dll not loaded: RestoreDeviceDriver skipped");
        return;
    }
    if (auto fn = Export<kivosetup::RestoreDeviceDriverFn>(lib, kivosetup::kRestoreDeviceDriver))
        fn(nullptr, name.c_str(), data.c_str(), 0, configMg ? 1 : 0);
    FreeLibrary(lib);
}

int RemoveDeviceDriver(const std::string& name, const std::string& data) {
    HMODULE lib = Companion();
    if (lib == nullptr) {
        ui::sys::Log("kivosetup.dll not loaded: RemoveDeviceDriver skipped");
        return 0;
    }
    int n = 0;
    if (auto fn = Export<kivosetup::RemoveDeviceDriverFn>(lib, kivosetup::kRemoveDeviceDriver))
        n = fn(nullptr, name.c_str(), data.c_str(), 0);
    FreeLibrary(lib);
    return n;
}

void CloseProgram(const uninst::WindowToClose& window, bool nt) {
    HWND w = FindWindowA(window.windowClass.empty() ? nullptr : window.windowClass.c_str(),
                         window.caption.empty() ? nullptr : window.caption.c_str());
    if (w == nullptr)
        return;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId())
        return;
    ui::sys::Log("closing the program of window " + window.windowClass + "|" + window.caption);
    if (nt) {
        HANDLE proc =
            OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                            PROCESS_VM_WRITE | PROCESS_VM_READ | SYNCHRONIZE,
                        FALSE, pid);
        if (proc != nullptr) {
            auto exitProcess = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleA("kernel32.dll"), "ExitProcess")));
            HANDLE t = CreateRemoteThread(proc, nullptr, 0, exitProcess, nullptr, 0, nullptr);
            if (t != nullptr) {
                WaitForSingleObject(proc, 3000);
                CloseHandle(t);
            }
            CloseHandle(proc);
        }
    } else {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 3000, &result);
        Sleep(3000);
    }
    char cls[64] = {};
    if (IsWindow(w) && GetClassNameA(w, cls, sizeof cls) > 0 &&
        lstrcmpiA(cls, "KivoReplionClass") == 0) {
        PostMessageA(w, WM_COMMAND, 32774, 0);
        Sleep(3000);
    }
}

void Unregister(const std::string& path) {
    const std::string params = "/s /u \"" + path + "\"";
    ShellExecuteA(nullptr, "open", "Regsvr32.exe", params.c_str(), nullptr, SW_HIDE);
    ui::sys::Log("Regsvr32.exe " + params);
}

void RunAndWait(const std::string& commandLine, DWORD ms) {
    ui::sys::RunCommand(commandLine, std::string(), true, ms);
}

bool DeleteAtRestart(const std::string& path, bool nt, const std::string& windowsDir) {
    ui::sys::Log("deleted at the next restart: " + path);
    if (nt)
        return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    return ui::sys::AddToWininit(windowsDir, "NUL", path);
}

}  // namespace uninst_win
