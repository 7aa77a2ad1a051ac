// The real setup.exe installing a test medium under Wine: files in
// subfolders, a cabinet made by gcab, version resources compiled by windres,
// a .reg file imported by Wine's regedit, programs to run, a link, registry
// values and the uninstall registration; a target in use; Exit at each file
// with its rollback, and Resume; a cabinet that cannot be read.
//
// Environment (install_e2e.sh): TAVIX_SETUP_EXE, TAVIX_PROBE_EXE,
// TAVIX_VER1_DLL, TAVIX_VER2_DLL, TAVIX_CAB (cabinet holding cab1.txt and
// cab2.txt).
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "resources/setup/resource.h"
#include "ui/testing/remote.h"

using namespace e2e;

namespace {

std::wstring W(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Every value below a key, as "path|name" -> "type:data".
void DumpKey(HKEY root, const std::string& path, std::map<std::string, std::string>* out) {
    HKEY k;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return;
    (*out)[path + "|<key>"] = "";
    for (DWORD i = 0;; ++i) {
        char name[512];
        BYTE data[2048];
        DWORD nlen = sizeof name, dlen = sizeof data, type = 0;
        if (RegEnumValueA(k, i, name, &nlen, nullptr, &type, data, &dlen) != ERROR_SUCCESS)
            break;
        (*out)[path + "|" + name] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), dlen);
    }
    std::vector<std::string> subs;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nlen = sizeof name;
        if (RegEnumKeyExA(k, i, name, &nlen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subs.push_back(name);
    }
    RegCloseKey(k);
    for (const auto& s : subs)
        DumpKey(root, path + "\\" + s, out);
}

// Files below a directory with size and write time.
void DumpTree(const std::string& dir, std::map<std::string, std::string>* out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = dir + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)[path + "\\"] = "";
            DumpTree(path, out);
        } else {
            (*out)[path] = std::to_string(fd.nFileSizeLow) + "@" +
                           std::to_string(fd.ftLastWriteTime.dwLowDateTime);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::string FolderPath(int csidl) {
    char buf[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf);
    return buf;
}

std::string RegText(HKEY root, const std::string& key, const std::string& name, DWORD* type) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return "<no key>";
    BYTE data[4096];
    DWORD len = sizeof data;
    *type = 0;
    const LONG r = RegQueryValueExA(k, name.c_str(), nullptr, type, data, &len);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS)
        return "<none>";
    std::string s(reinterpret_cast<char*>(data), len);
    if (*type == REG_SZ || *type == REG_MULTI_SZ)
        while (!s.empty() && s.back() == '\0')
            s.pop_back();
    return s;
}

std::string Text(HKEY root, const std::string& key, const std::string& name) {
    DWORD type = 0;
    const std::string s = RegText(root, key, name, &type);
    return type == REG_SZ || type == 0 ? s : "<type " + std::to_string(type) + ">";
}

uint64_t FileVersionOf(const std::string& path) {
    DWORD h = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &h);
    if (size == 0)
        return 0;
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* f = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&f), &len) || f == nullptr)
        return 0;
    return (static_cast<uint64_t>(f->dwFileVersionMS) << 32) | f->dwFileVersionLS;
}

// A running program's window of the class the installer closes: it goes
// away on the command 32774 only.
LRESULT CALLBACK ReplionProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == 32774) {
        DestroyWindow(w);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        tag_ = "TavixE2E" + std::to_string(GetCurrentProcessId());
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        medium_ = std::string(tmp) + tag_ + "_medium";
        root_ = std::string(tmp) + tag_ + "_root";
        programs_ = FolderPath(CSIDL_COMMON_PROGRAMS);
        if (programs_.empty())
            programs_ = FolderPath(CSIDL_PROGRAMS);
        CreateDirectoryA(medium_.c_str(), nullptr);
        for (const char* sub : {"\\app", "\\tools", "\\docs"})
            CreateDirectoryA((medium_ + sub).c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(WinePath(Env(L"TAVIX_SETUP_EXE")).c_str(),
                              W(medium_ + "\\setup.exe").c_str(), FALSE));
        const std::wstring ver1 = WinePath(Env(L"TAVIX_VER1_DLL"));
        const std::wstring ver2 = WinePath(Env(L"TAVIX_VER2_DLL"));
        const std::wstring probe = WinePath(Env(L"TAVIX_PROBE_EXE"));
        ASSERT_TRUE(CopyFileW(ver2.c_str(), W(medium_ + "\\app\\app.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver1.c_str(), W(medium_ + "\\app\\older.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver2.c_str(), W(medium_ + "\\app\\equal.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver2.c_str(), W(medium_ + "\\app\\newer.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver2.c_str(), W(medium_ + "\\app\\busy.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(probe.c_str(), W(medium_ + "\\tools\\probe.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(WinePath(Env(L"TAVIX_CAB")).c_str(),
                              W(medium_ + "\\data.cab").c_str(), FALSE));
        Write(medium_ + "\\docs\\readme.txt", "read me\r\n");
        Write(medium_ + "\\tools\\kivouninstall.exe", "uninstaller stand-in");
        Write(medium_ + "\\extra.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\" + tag_ +
                                           "\\Reg]\r\n\"FromReg\"=\"yes\"\r\n\r\n");
        // What the machine holds before: a newer, an equal (written later than
        // the medium), an older and a busy target.
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA((root_ + "\\sys").c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(ver2.c_str(), W(root_ + "\\sys\\older.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver2.c_str(), W(root_ + "\\sys\\equal.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver1.c_str(), W(root_ + "\\sys\\newer.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ver1.c_str(), W(root_ + "\\sys\\busy.dll").c_str(), FALSE));
        SetTime(root_ + "\\sys\\equal.dll", 24);
        SetTime(medium_ + "\\app\\newer.dll", -24);
        SetEnvironmentVariableA("TAVIX_PROBE_FILE", (medium_ + "\\probe.txt").c_str());
        SetEnvironmentVariableA("TAVIX_SETUP_RESTART_FILE", (medium_ + "\\restart.txt").c_str());
        SetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", nullptr);
        RegKeys();
    }
    void TearDown() override {
        prog_.Kill();
        for (const auto& [root, key] : RegKeys())
            SHDeleteKeyA(root, key.c_str());
        for (const char* f :
             {"app.dll", "older.dll", "equal.dll", "newer.dll", "busy.dll", "readme.txt",
              "cab1.txt", "cab2.txt", "kivouninstall.exe", "Tavix App.lnk"})
            SHDeleteKeyA(HKEY_LOCAL_MACHINE,
                         (std::string("Software\\Kivo\\Uninstall\\SharedFile\\") + f).c_str());
        RemoveTree(root_);
        RemoveTree(medium_);
        RemoveTree(programs_ + "\\" + tag_);
        RestorePendingRenames();
    }

    std::vector<std::pair<HKEY, std::string>> RegKeys() {
        return {{HKEY_LOCAL_MACHINE, kUninstall + tag_},
                {HKEY_LOCAL_MACHINE, "Software\\Kivo\\Uninstall\\SharedReg\\" + tag_},
                {HKEY_CURRENT_USER, "Software\\" + tag_}};
    }

    static void Write(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    static void SetTime(const std::string& path, int hours) {
        HANDLE f =
            CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
        t.QuadPart += static_cast<int64_t>(hours) * 3600LL * 10000000LL;
        FILETIME ft{t.LowPart, t.HighPart};
        SetFileTime(f, nullptr, nullptr, &ft);
        CloseHandle(f);
    }
    static void RemoveTree(const std::string& dir) {
        if (dir.empty() || dir.size() < 8)
            return;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = fd.cFileName, path = dir + "\\" + name;
                if (name == "." || name == "..")
                    continue;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(path);
                } else {
                    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(path.c_str());
                }
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(dir.c_str());
    }

    std::string SetupFile(bool cabinet = true, const std::string& cabName = "data.cab") {
        std::string s = "[Setup]\nProductName=Tavix E2E\nUninstallKey=" + tag_ +
                        "\nAskType=FALSE\nUSBType=FALSE\nRestart=FALSE\n";
        if (cabinet)
            s += "CabFile=TRUE\nCabFileName=" + cabName + "\n";
        s += "[Strings]\nroot=" + root_ +
             "\n"
             "[Copy Files]\n"
             "app\\app.dll=%root%\\new\n"
             "app\\older.dll=%root%\\sys\n"
             "app\\equal.dll=%root%\\sys\n"
             "app\\newer.dll=%root%\\sys\n"
             "app\\busy.dll=%root%\\sys\n"
             "docs\\readme.txt=%root%\\new\\docs\n"
             "tools\\kivouninstall.exe=%root%\\new\n";
        if (cabinet)
            s += "cab1.txt=%root%\\cab\ncab2.txt=%root%\\cab,second.txt\n";
        s += "[Kill Programs]\n1=KivoReplionClass," + tag_ + "\n";
        s += "[Create Shortcut]\n1=app.dll,%root%\\new,2," + tag_ +
             ",Tavix App,0,-arg,Tavix\n"
             "[Add Registry]\n"
             "1=1,HKCU,Software\\" +
             tag_ +
             ",Text,0,hello\n"
             "2=1,HKCU,Software\\" +
             tag_ +
             ",Number,1,0A\n"
             "3=0,HKCU,Software\\" +
             tag_ +
             ",Blob,1,01,02,ff\n"
             "[Add Registry Files]\nextra.reg=\n"
             "[Run Other Programs]\nprobe.exe=%1%\\tools,other\n"
             "[Run Programs]\nprobe.exe=%1%\\tools,shell\n";
        return s;
    }
    void WriteSetup(const std::string& text) {
        for (const char* f : {"SETUPXP.INI", "SETUP2K.INI", "SETUPNT.INI"})
            Write(medium_ + "\\" + f, text);
    }
    bool Start(const std::string& args) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        const std::string exe = medium_ + "\\setup.exe";
        std::string cmd = "\"" + exe + "\" /LOG=\"" + medium_ + "\\setup.log\" " + args;
        return CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              medium_.c_str(), &si, &prog_.pi) != 0;
    }
    DWORD ExitCode(DWORD ms) {
        if (!prog_.Exited(Scaled(ms)))
            return 999;
        DWORD code = 0;
        GetExitCodeProcess(prog_.pi.hProcess, &code);
        CloseHandle(prog_.pi.hProcess);
        CloseHandle(prog_.pi.hThread);
        prog_.pi = {};
        return code;
    }
    std::string Log() {
        std::string all;
        for (const auto& l : ReadLines(W(medium_ + "\\setup.log")))
            all += l + "\n";
        return all;
    }
    std::string Probe() {
        std::string all;
        for (const auto& l : ReadLines(W(medium_ + "\\probe.txt")))
            all += l + "\n";
        return all;
    }
    // The pending renames of the prefix, so that the test can remove its own.
    static constexpr char kSession[] = "System\\CurrentControlSet\\Control\\Session Manager";
    std::string PendingRenames() {
        DWORD type = 0;
        return RegText(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations", &type);
    }
    void RestorePendingRenames() {
        std::string all = PendingRenames();
        if (all == "<none>" || all == "<no key>")
            return;
        // Pairs of zero-ended strings; drop those that name this test's files.
        std::vector<std::string> parts;
        for (size_t i = 0; i < all.size();) {
            const size_t end = all.find('\0', i);
            parts.push_back(all.substr(i, end == std::string::npos ? std::string::npos : end - i));
            if (end == std::string::npos)
                break;
            i = end + 1;
        }
        std::string kept;
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            if (parts[i].find(tag_) == std::string::npos)
                kept += parts[i] + '\0' + parts[i + 1] + '\0';
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSession, 0, KEY_WRITE, &k) != ERROR_SUCCESS)
            return;
        if (kept.empty()) {
            RegDeleteValueA(k, "PendingFileRenameOperations");
        } else {
            kept += '\0';
            RegSetValueExA(k, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(kept.data()),
                           static_cast<DWORD>(kept.size()));
        }
        RegCloseKey(k);
    }
    // Everything Exit must leave as it was.
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> all;
        DumpTree(root_, &all);
        DumpTree(programs_, &all);
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        DumpTree(windows, &all);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string t = temp;
        t.pop_back();
        DumpTree(t, &all);
        for (auto it = all.begin(); it != all.end();)
            it = it->first.rfind(medium_, 0) == 0 ? all.erase(it) : std::next(it);
        for (const auto& [root, key] : RegKeys())
            DumpKey(root, key, &all);
        DumpKey(HKEY_LOCAL_MACHINE, "Software\\Kivo", &all);
        return all;
    }

    std::string tag_, medium_, root_, programs_;
    Program prog_;
};

TEST_F(Install, SilentRunInstallsFilesLinksRegistryAndRegistration) {
    WriteSetup(SetupFile());
    // The busy target is held open without sharing while setup runs.
    HANDLE busy = CreateFileA((root_ + "\\sys\\busy.dll").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReplionProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KivoReplionClass";
    RegisterClassW(&wc);
    HWND running = CreateWindowW(L"KivoReplionClass", W(tag_).c_str(), WS_OVERLAPPED, 0, 0, 50, 50,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(running, nullptr);
    ASSERT_TRUE(Start("/S"));
    // This thread answers the installer's command while it waits.
    EXPECT_TRUE(WaitFor([&] { return prog_.Exited(0); }, Scaled(60000)));
    EXPECT_EQ(ExitCode(1000), 0u);
    EXPECT_FALSE(IsWindow(running)) << "closed by the command 32774";
    CloseHandle(busy);
    const std::string log = Log();

    // Files, by version rule.
    EXPECT_EQ(FileVersionOf(root_ + "\\new\\app.dll"), 0x0002000000000000ull);
    EXPECT_EQ(FileVersionOf(root_ + "\\sys\\older.dll"), 0x0002000000000000ull) << "older source";
    EXPECT_EQ(FileVersionOf(root_ + "\\sys\\newer.dll"), 0x0002000000000000ull) << "newer source";
    EXPECT_NE(log.find("equal.dll: source equal, left as it is"), std::string::npos) << log;
    EXPECT_NE(log.find("older.dll: source older, left as it is"), std::string::npos);
    EXPECT_EQ(
        GetFileAttributesA((root_ + "\\new\\docs\\readme.txt").c_str()) != INVALID_FILE_ATTRIBUTES,
        true);
    // The cabinet's members, one under a new name; the cabinet directory is gone.
    std::ifstream cab1(root_ + "\\cab\\cab1.txt"), cab2(root_ + "\\cab\\second.txt");
    std::string c1, c2;
    std::getline(cab1, c1);
    std::getline(cab2, c2);
    EXPECT_EQ(c1, "first member");
    EXPECT_EQ(c2, "second member");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(GetFileAttributesA((std::string(windows) + "\\_KivoTempDir0").c_str()),
              INVALID_FILE_ATTRIBUTES);

    // The busy target: a temporary copy and a rename at restart.
    EXPECT_EQ(FileVersionOf(root_ + "\\sys\\busy.dll"), 0x0001000000000000ull);
    EXPECT_EQ(FileVersionOf(root_ + "\\sys\\busy.0"), 0x0002000000000000ull);
    const std::string pending = PendingRenames();
    EXPECT_NE(pending.find(root_ + "\\sys\\busy.0"), std::string::npos);
    EXPECT_NE(pending.find(root_ + "\\sys\\busy.dll"), std::string::npos);
    EXPECT_NE(log.find("result: restart offered"), std::string::npos);
    std::ifstream restart(medium_ + "\\restart.txt");
    std::string line;
    std::getline(restart, line);
    EXPECT_EQ(line, "restart") << "silent Finish restarts (recorded)";

    // The link, read back through the shell.
    const std::string lnk = programs_ + "\\" + tag_ + "\\Tavix App.lnk";
    LinkInfo link;
    ASSERT_TRUE(ReadLink(W(lnk), &link)) << lnk;
    EXPECT_TRUE(lstrcmpiW(link.target.c_str(), W(root_ + "\\new\\app.dll").c_str()) == 0)
        << std::string(link.target.begin(), link.target.end());
    EXPECT_EQ(link.arguments, L"-arg");
    EXPECT_TRUE(lstrcmpiW(link.directory.c_str(), W(root_ + "\\new").c_str()) == 0)
        << std::string(link.directory.begin(), link.directory.end());

    // Registry values of the right types, and the .reg file.
    DWORD type = 0;
    const std::string key = "Software\\" + tag_;
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, key, "Text", &type), "hello");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, key, "Number", &type), std::string("\x0a\0\0\0", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, key, "Blob", &type), "\x01\x02\xff");
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Text(HKEY_CURRENT_USER, key + "\\Reg", "FromReg"), "yes");

    // The uninstall registration as the uninstaller reads it.
    const std::string u = kUninstall + tag_;
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u, "UninstallString"),
              root_ + "\\new\\kivouninstall.exe " + tag_);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u, "DisplayName"), "Tavix E2E");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "app.dll"), root_ + "\\new");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "second.txt"), root_ + "\\cab");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "Tavix App.lnk"),
              programs_ + "\\" + tag_);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteDirectory", root_ + "\\new\\docs"), "1");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteDirectory", programs_ + "\\" + tag_), "1");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteRegs\\HKEY_CURRENT_USER", key + "\\\\Text"),
              "Text");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, u + "\\DeleteRegs\\HKEY_CURRENT_USER", key + "\\\\Blob"),
              "<none>");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Kivo\\Uninstall\\SharedFile\\app.dll", tag_),
              root_ + "\\new");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE,
                   "Software\\Kivo\\Uninstall\\SharedReg\\" + tag_ + "\\HKEY_CURRENT_USER",
                   key + "\\\\Number"),
              "Number");

    // The run programs ran: the other one waited for, the shell one opened.
    EXPECT_TRUE(WaitFor([&] { return Probe().find("shell|") != std::string::npos; }, Scaled(10000)))
        << Probe();
    EXPECT_NE(Probe().find("probe.exe other|" + medium_ + "\\tools"), std::string::npos) << Probe();
}

TEST_F(Install, ExitAtEachFileRollsBackAndResumeCompletes) {
    WriteSetup(SetupFile());
    // Waits before files: two cabinet members, then each file that is copied
    // (app, newer, busy, readme, kivouninstall, cab1, cab2): nine in all.
    const int kWaits = 9;
    const auto before = Snapshot();
    for (int at = 0; at < kWaits; ++at) {
        SetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", std::to_string(at).c_str());
        ASSERT_TRUE(Start("/S"));
        HWND exitDlg = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                return (exitDlg = FindTopLevel(prog_.pi.dwProcessId, L"Exit Setup")) != nullptr;
            },
            Scaled(30000)))
            << "file " << at;
        Press(exitDlg, IDC_EXIT_SETUP);
        EXPECT_EQ(ExitCode(30000), 2u) << "file " << at;
        const auto after = Snapshot();
        EXPECT_EQ(after, before) << "exit at file " << at;
        if (after != before) {
            for (const auto& [k, v] : after)
                if (!before.count(k) || before.at(k) != v)
                    ADD_FAILURE() << "left or changed: " << k;
            for (const auto& [k, v] : before)
                if (!after.count(k))
                    ADD_FAILURE() << "lost: " << k;
            break;
        }
    }
    // Resume at the fourth file: the installation completes.
    SetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", "3");
    ASSERT_TRUE(Start("/S"));
    HWND exitDlg = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (exitDlg = FindTopLevel(prog_.pi.dwProcessId, L"Exit Setup")) != nullptr; },
        Scaled(30000)));
    Press(exitDlg, IDC_RESUME);
    EXPECT_EQ(ExitCode(60000), 0u);
    EXPECT_EQ(FileVersionOf(root_ + "\\sys\\newer.dll"), 0x0002000000000000ull);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, "Software\\" + tag_, "Text"), "hello");
    EXPECT_NE(Log().find("Exit dialog: Resume"), std::string::npos);
    // The program opened by the shell is not waited for by setup: by the test,
    // so that it writes into this test's medium and not the next one's.
    EXPECT_TRUE(
        WaitFor([&] { return Probe().find("shell|") != std::string::npos; }, Scaled(10000)));
}

TEST_F(Install, UnreadableCabinetFailsWithCode3AndLeavesNothing) {
    Write(medium_ + "\\broken.cab", "MSCF this is not a cabinet");
    WriteSetup(SetupFile(true, "broken.cab"));
    const auto before = Snapshot();
    // A silent run ends by itself after a failure too; the log says why.
    ASSERT_TRUE(Start("/S"));
    EXPECT_EQ(ExitCode(30000), 3u) << "a failure is not reported as success";
    EXPECT_NE(Log().find("result: failed (code 3)"), std::string::npos) << Log();
    EXPECT_EQ(Snapshot(), before);
    ASSERT_TRUE(Start("/H"));
    EXPECT_EQ(ExitCode(30000), 3u);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Probe(), "") << "nothing after the copy step runs";
}

// Every way out of the installer: from each page, from the copying (its
// rollback), from the result page, and each way of answering the Exit
// dialog. Each row starts setup.exe, leaves at its place its way and checks
// that the process ends within seconds with its exit code, the /LOG line, and
// that an abandoned installation leaves the machine as it was.
struct WayOut {
    const char* switches;
    const char* page;  // the page left ("Copy": the worker held before its third file,
                       // "CopyEnd": Cancel pressed as the last one is copied, not held)
    Way way;           // kButton: Cancel (while copying pressed by the test hook, as a
                       // hidden run has no window to press it on), on the result page Finish
    Way answer;        // the Exit dialog: kButton "Exit Setup"; the others resume
    DWORD code;
    const char* logged;
};
const WayOut kWaysOut[] = {
    {"", "Welcome", Way::kButton, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Welcome", Way::kEscape, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Welcome", Way::kAltF4, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Welcome", Way::kCloseBox, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Licence", Way::kEscape, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Interface", Way::kAltF4, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Destination", Way::kCloseBox, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Folder", Way::kButton, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Start", Way::kEscape, Way::kButton, 2, "Exit dialog: Exit Setup"},
    {"", "Welcome", Way::kButton, Way::kReturn, 2, "Exit dialog: Resume"},
    {"", "Licence", Way::kButton, Way::kEscape, 2, "Exit dialog: Resume"},
    {"", "Start", Way::kButton, Way::kAltF4, 2, "Exit dialog: Resume"},
    {"", "Copy", Way::kButton, Way::kButton, 2, "rolling back"},
    {"", "Copy", Way::kEscape, Way::kButton, 2, "rolling back"},
    {"", "Copy", Way::kAltF4, Way::kButton, 2, "rolling back"},
    {"", "Copy", Way::kCloseBox, Way::kButton, 2, "rolling back"},
    {"/S", "Copy", Way::kEscape, Way::kButton, 2, "rolling back"},
    {"/H", "Copy", Way::kButton, Way::kButton, 2, "rolling back"},
    // Cancel pressed as the last file is copied: the worker ends while the
    // Exit dialog is open, and Exit still rolls back all of it.
    {"", "CopyEnd", Way::kButton, Way::kButton, 2, "rolling back"},
    {"/S /NR", "Copy", Way::kAltF4, Way::kButton, 2, "rolling back"},
    {"", "Result", Way::kButton, Way::kButton, 0, "result: finish"},
    {"", "Result", Way::kReturn, Way::kButton, 0, "result: finish"},
    {"", "Result", Way::kEscape, Way::kButton, 0, "result: finish"},
    {"", "Result", Way::kAltF4, Way::kButton, 0, "result: finish"},
    {"", "Result", Way::kCloseBox, Way::kButton, 0, "result: finish"},
};

TEST_F(Install, EveryWayOutEndsTheRunAndAnAbandonedOneLeavesNothing) {
    const struct {
        int marker;
        const char* name;
    } pages[] = {{IDC_WELCOME_TEXT, "Welcome"}, {IDC_LICENCE_TEXT, "Licence"},
                 {IDC_PS2, "Interface"},        {IDC_DEST_PATH, "Destination"},
                 {IDC_FOLDER_NAME, "Folder"},   {IDC_SUMMARY, "Start"},
                 {IDC_PROGRESS, "Copy"},        {IDC_RESULT_TEXT, "Result"}};
    const auto wizard = [&] { return FindWizard(prog_.pi.dwProcessId); };
    const auto current = [&]() -> std::string {
        HWND sheet = wizard();
        HWND page = sheet
                        ? reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))
                        : nullptr;
        for (const auto& p : pages)
            if (page != nullptr && IsWindowVisible(page) && GetDlgItem(page, p.marker) != nullptr)
                return p.name;
        return "";
    };
    const auto exitDialog = [&] {
        HWND d = nullptr;
        WaitFor([&] { return (d = FindTopLevel(prog_.pi.dwProcessId, L"Exit Setup")) != nullptr; },
                Scaled(10000));
        return d;
    };
    // Every page on; the result page rows install nothing.
    std::string pagesOn = SetupFile();
    const std::string off = "AskType=FALSE\nUSBType=FALSE\n";
    pagesOn.replace(pagesOn.find(off), off.size(),
                    "AskLicense=TRUE\nAskPath=TRUE\nAskProgramFolder=TRUE\n");
    const auto before = Snapshot();
    for (const auto& row : kWaysOut) {
        const std::string page = row.page;
        SCOPED_TRACE(std::string(row.switches) + " " + page + " " + WayName(row.way) +
                     ", Exit dialog " + WayName(row.answer));
        const bool copying = page.rfind("Copy", 0) == 0;
        // What regedit imports is not the installer's to undo: left out where
        // the whole run is rolled back.
        const std::string reg = "[Add Registry Files]\nextra.reg=\n";
        std::string file = pagesOn;
        if (page == "CopyEnd")
            file.erase(file.find(reg), reg.size());
        WriteSetup(page == "Result" ? "[Setup]\nProductName=Tavix E2E\nAskType=FALSE\n" : file);
        const bool hook = copying && row.way == Way::kButton;
        SetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", !copying            ? nullptr
                                                        : page == "CopyEnd" ? "9c"
                                                        : hook              ? "2"
                                                                            : "2h");
        DeleteFileA((medium_ + "\\setup.log").c_str());
        ASSERT_TRUE(Start(row.switches));
        // Silent runs go to the copying by themselves; else Next up to the
        // page (the copying: from the last page before it).
        const std::string to = copying ? "Start" : page;
        if (std::string(row.switches).empty()) {
            ASSERT_TRUE(WaitFor([&] { return current() == "Welcome"; }, Scaled(10000)));
            for (std::string was = "Welcome"; was != to;) {
                PostMessageW(wizard(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
                ASSERT_TRUE(WaitFor(
                    [&] {
                        const std::string now = current();
                        return !now.empty() && now != was && now != "Copy";
                    },
                    Scaled(10000)))
                    << "after " << was;
                was = current();
            }
            if (copying)
                PostMessageW(wizard(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        }
        if (page == "Copy") {
            ASSERT_TRUE(WaitFor([&] { return Log().find("worker held") != std::string::npos; },
                                Scaled(30000)));
        }
        if (!hook)
            Leave(wizard(), row.way, page == "Result" ? 0x3025 : IDCANCEL);  // Finish, Cancel
        if (page != "Result") {
            HWND dlg = exitDialog();
            ASSERT_NE(dlg, nullptr);
            if (page == "CopyEnd") {
                // The worker passed its last wait (the tenth: three cabinet
                // members, seven files) and ends meanwhile.
                WaitFor(
                    [&] {
                        return Log().find("worker ended while the Exit dialog") !=
                                   std::string::npos ||
                               current() == "Result";
                    },
                    Scaled(30000));
            }
            Leave(dlg, row.answer, IDC_EXIT_SETUP);
            if (row.answer != Way::kButton) {
                // Resumed: the same page again, and then left for good.
                ASSERT_TRUE(
                    WaitFor([&] { return !IsWindow(dlg) && current() == page; }, Scaled(10000)));
                Press(wizard(), IDCANCEL);
                ASSERT_NE(dlg = exitDialog(), nullptr);
                Press(dlg, IDC_EXIT_SETUP);
            }
        }
        EXPECT_EQ(ExitCode(10000), row.code);
        EXPECT_NE(Log().find(row.logged), std::string::npos) << Log();
        const auto after = Snapshot();
        EXPECT_EQ(after, before);
        if (after != before)
            break;
    }
    SetEnvironmentVariableA("TAVIX_SETUP_PAUSE_AT", nullptr);
}

}  // namespace
