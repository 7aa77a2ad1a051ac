#include "setup/win/system.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "setup/core/flow.h"

namespace setup_sys {

namespace {
FILE* g_log = nullptr;

std::string Env(const char* name) {
    char buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(name, buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

std::string Folder(int csidl) {
    char buf[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf)) && buf[0] != '\0')
        return buf;
    return {};
}

std::string RegText(HKEY root, const char* subkey, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char buf[64] = {};
    DWORD size = sizeof buf - 1;
    DWORD type = 0;
    const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? std::string(buf) : std::string();
}
}  // namespace

setup::OsVersion QueryOs() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    setup::OsVersion os;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExA(&info)) {
#pragma GCC diagnostic pop
        os.platform = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 2;
        os.major = info.dwMajorVersion;
        os.minor = info.dwMinorVersion;
    }
    return os;
}

std::string ModuleDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    const size_t slash = dir.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

setup::Directories QueryDirectories(const std::string& setupDir) {
    setup::Directories d;
    d.setup = setupDir;
    char buf[MAX_PATH] = {};
    GetWindowsDirectoryA(buf, MAX_PATH);
    d.windows = buf;
    GetSystemDirectoryA(buf, MAX_PATH);
    d.system = buf;
    d.programsMenu = Folder(CSIDL_COMMON_PROGRAMS);
    if (d.programsMenu.empty())
        d.programsMenu = Folder(CSIDL_PROGRAMS);
    d.programFiles = Folder(CSIDL_PROGRAM_FILES);
    return d;
}

std::string UserLocale(const setup::OsVersion& os) {
    const std::string v =
        os.IsNT() ? RegText(HKEY_CURRENT_USER, "Control Panel\\International", "Locale")
                  : RegText(HKEY_CURRENT_USER, "Control Panel\\Desktop\\ResourceLocale", nullptr);
    return v.empty() ? "00000409" : v;
}

unsigned long InstalledDirectXVersion() {
    HMODULE lib = LoadLibraryA("lumodxhlp.dll");
    if (lib == nullptr) {
        Log("lumodxhlp.dll not loaded: DirectX version 0");
        return 0;
    }
    using Fn = unsigned long(WINAPI*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, "GetDXVersion")));
    const unsigned long v = fn != nullptr ? fn() : 0;
    FreeLibrary(lib);
    Log("GetDXVersion: " + std::to_string(v));
    return v;
}

void ReenumerateDevices() {
    HMODULE lib = LoadLibraryA("kivosetup.dll");
    if (lib == nullptr)
        return;
    using Fn = void(WINAPI*)();
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(lib, "ReenumerateDeviceWithoutDelay")));
    if (fn != nullptr)
        fn();
    FreeLibrary(lib);
}

bool RunCommand(const std::string& commandLine, const std::string& directory, bool wait,
                unsigned long waitMs) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = commandLine;
    const DWORD a = GetFileAttributesA(directory.c_str());
    const char* dir =
        !directory.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0
            ? directory.c_str()
            : nullptr;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) {
        Log("cannot start " + commandLine);
        return false;
    }
    Log("started " + commandLine + (wait ? " (waiting)" : ""));
    if (wait)
        WaitForSingleObject(pi.hProcess, waitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool ShellRun(const std::string& file, const std::string& arguments, const std::string& directory) {
    const INT_PTR r = reinterpret_cast<INT_PTR>(ShellExecuteA(
        nullptr, "open", file.c_str(), arguments.empty() ? nullptr : arguments.c_str(),
        directory.empty() ? nullptr : directory.c_str(), SW_SHOWNORMAL));
    Log("shell opens " + file + " " + arguments + (r > 32 ? "" : " (failed)"));
    return r > 32;
}

bool RestartComputer(const setup::OsVersion& os) {
    const std::string record = Env("TAVIX_SETUP_RESTART_FILE");
    if (!record.empty()) {
        Log("restart recorded in " + record + " instead of restarting");
        std::ofstream out(record, std::ios::app | std::ios::binary);
        out << "restart\n";
        return true;
    }
    Log("restarting the computer");
    if (os.IsNT()) {
        HANDLE token;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            TOKEN_PRIVILEGES tp = {};
            LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
            tp.PrivilegeCount = 1;
            tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
            CloseHandle(token);
        }
    }
    return ExitWindowsEx(EWX_REBOOT, 0) != 0;
}

bool FloppyInDriveA() {
    if (GetDriveTypeA("A:\\") != DRIVE_REMOVABLE)
        return false;
    const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    const BOOL present =
        GetVolumeInformationA("A:\\", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0);
    SetErrorMode(old);
    return present != 0;
}

bool ScheduleRename(const setup::OsVersion& os, const std::string& windowsDir,
                    const std::string& target, const std::string& temporary) {
    if (!os.Is95())
        return MoveFileExA(temporary.c_str(), target.c_str(),
                           MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
    const std::string path = windowsDir + "\\wininit.ini";
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << setup::AddRenameLine(text, target, temporary);
    return static_cast<bool>(out);
}

void OpenLog(const std::string& path) {
    if (g_log == nullptr && !path.empty())
        g_log = std::fopen(path.c_str(), "ab");
}

void Log(const std::string& line) {
    if (g_log == nullptr)
        return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::fprintf(g_log, "%02u:%02u:%02u.%03u %s\r\n", t.wHour, t.wMinute, t.wSecond,
                 t.wMilliseconds, line.c_str());
    std::fflush(g_log);
}

}  // namespace setup_sys
