#include "ui/system.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ui::sys {

namespace {
FILE* g_log = nullptr;

std::string Env(const char* name) {
    char buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(name, buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}
}  // namespace

shared::OsVersion QueryOs() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    shared::OsVersion os;
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

std::string ModulePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string ModuleDirectory() {
    const std::string path = ModulePath();
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
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

bool RestartComputer(const shared::OsVersion& os) {
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

bool AddToWininit(const std::string& windowsDir, const std::string& target,
                  const std::string& temporary) {
    const std::string path = windowsDir + "\\wininit.ini";
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << shared::AddRenameLine(text, target, temporary);
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

}  // namespace ui::sys
