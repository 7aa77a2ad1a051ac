// The real kivouninstall.exe under Wine, in a prefix of its own (see
// uninstall_e2e.sh), against registrations written here as the installer
// writes them: two products sharing files, a locked file, the uninstaller's
// own file, the restart, ExecuteFile, a hostile registration and the
// Uninstal.ini form. Every question is answered by its keys.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <fstream>
#include <string>
#include <vector>

#include "resources/uninstall/resource.h"
#include "ui/testing/keys.h"
#include "ui/testing/remote.h"

using namespace e2e;

namespace {

const std::string kU = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kShared = "Software\\Kivo\\Uninstall\\SharedFile\\";
const std::string kBin = "C:\\tavix-test";

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& data) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(k);
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

bool HasValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    const bool has =
        RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(k);
    return has;
}

std::string ReadValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return {};
    char buf[1024] = {};
    DWORD size = sizeof buf - 1;
    RegQueryValueExA(k, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return buf;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFile(const std::string& path, const std::string& text = "x") {
    std::string dir = path.substr(0, path.find_last_of('\\'));
    for (size_t i = 3; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '\\')
            CreateDirectoryA(dir.substr(0, i).c_str(), nullptr);
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The pending renames of the system, as text (NUL separators made '|').
std::string PendingRenames() {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, &k) != ERROR_SUCCESS)
        return {};
    std::vector<wchar_t> buf(32768);
    DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
    std::string out;
    if (RegQueryValueExW(k, L"PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buf.data()), &size) == ERROR_SUCCESS)
        for (DWORD i = 0; i < size / sizeof(wchar_t); ++i)
            out += buf[i] == 0 ? '|' : static_cast<char>(buf[i]);
    RegCloseKey(k);
    return out;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

HWND Dialog(const std::wstring& caption, DWORD ms = 15000) {
    return WaitDialog(caption, ms);
}

// Types a key into a dialog as the user would: the dialog's own message loop
// turns a letter into its button's mnemonic, Enter into the default button.
void Key(HWND dialog, wchar_t key) {
    if (key == L'\r') {
        PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(dialog, WM_KEYUP, VK_RETURN, 0);
    } else {
        PostMessageW(dialog, WM_CHAR, key, 0);
    }
}

// Saves a picture of the window into C:\tavix-test\shots (the script turns
// them into PNG files in the build directory).
void Shot(HWND w, const std::wstring& name) {
    CreateDirectoryW(L"C:\\tavix-test\\shots", nullptr);
    WaitFor([] { return false; }, 300);
    SaveScreenshot(w, L"C:\\tavix-test\\shots\\" + name + L".bmp");
}

std::wstring Text(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

class UninstallRun : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = kBin + "\\uninstall-" + std::to_string(++runs_) + ".log";
        SetEnvironmentVariableA("TAVIX_UNINSTALL_LOG", log_.c_str());
        SetEnvironmentVariableA("TAVIX_SETUP_RESTART_FILE", (kBin + "\\restart.txt").c_str());
        DeleteFileA((kBin + "\\restart.txt").c_str());
        // The companion library's stand-in is found on the search path.
        char path[4096] = {};
        GetEnvironmentVariableA("PATH", path, sizeof path);
        if (std::string(path).rfind(kBin, 0) != 0)
            SetEnvironmentVariableA("PATH", (kBin + ";" + path).c_str());
        SetEnvironmentVariableA("TAVIX_STANDIN_LOG", (kBin + "\\standin.log").c_str());
        DeleteFileA((kBin + "\\standin.log").c_str());
    }
    void TearDown() override { prog_.Kill(); }
    // Starts a command line as the system would run "UninstallString".
    bool Start(std::string commandLine, const std::string& dir = kBin) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              dir.c_str(), &si, &prog_.pi) != 0;
    }
    DWORD LauncherExit() {
        if (!prog_.Exited(Scaled(20000)))
            return 999;
        DWORD code = 0;
        GetExitCodeProcess(prog_.pi.hProcess, &code);
        return code;
    }
    // The copy has ended when it logged so.
    bool CopyEnded() {
        return WaitFor(
            [&] { return ReadAll(log_).find("kivouninstall ends") != std::string::npos; }, 20000);
    }
    bool Logged(const std::string& text) { return ReadAll(log_).find(text) != std::string::npos; }
    // Confirms, then answers the result dialog; returns the result dialog's
    // texts read before answering.
    void Confirm(const std::wstring& product) {
        HWND box = Dialog(product + L" Uninstallation");
        ASSERT_NE(box, nullptr) << ReadAll(log_);
        bool asked = false;
        for (const auto& t : StaticTexts(box))
            asked |= t == L"Are you sure you want to uninstall " + product +
                              L" and all of its components?";
        EXPECT_TRUE(asked);
        // The background window is there behind it.
        EXPECT_NE(FindWindowW(L"KivoUninstall", L"Uninstall"), nullptr);
        Key(box, L'y');
    }
    void Answer(const std::string& file, wchar_t key) {
        HWND q = Dialog(L"Remove Shared File");
        ASSERT_NE(q, nullptr) << "no question for " << file;
        EXPECT_EQ(Text(q, IDC_SHARED_NAME), std::wstring(file.begin(), file.end()));
        Shot(q, L"uninstall-shared-file");
        Key(q, key);
        WaitFor([&] { return !IsWindow(q); }, 5000);
    }
    HWND Result() {
        HWND progress = Dialog(L"Remove Programs From Your Computer");
        EXPECT_NE(progress, nullptr);
        Shot(progress, L"uninstall-progress");
        HWND r = Dialog(L"Uninstall Result", 30000);
        EXPECT_NE(r, nullptr) << ReadAll(log_);
        // No question was left open on the way.
        EXPECT_EQ(FindWindowW(L"#32770", L"Remove Shared File"), nullptr);
        return r;
    }

    static int runs_;
    std::string log_;
    Program prog_;
};
int UninstallRun::runs_ = 0;

TEST_F(UninstallRun, TwoProductsSharingFilesLockedFileOwnFileAndRestart) {
    const std::string shared = "C:\\Program Files\\TavixShared";
    const std::string a = "C:\\Program Files\\TavixA";
    for (const char* f : {"c1.dll", "c2.dll", "c3.dll"})
        WriteFile(shared + "\\" + f);
    CopyFileA((kBin + "\\kivouninstall.exe").c_str(), (shared + "\\kivouninstall.exe").c_str(),
              FALSE);
    ASSERT_TRUE(Exists(shared + "\\kivouninstall.exe"));
    for (const char* f : {"a.exe", "locked.dll", "sub\\data.txt"})
        WriteFile(a + "\\" + f);
    for (const char* key : {"TavixA", "TavixB"}) {
        const std::string u = kU + key;
        SetText(HKEY_LOCAL_MACHINE, u, "UninstallString", shared + "\\kivouninstall.exe " + key);
        for (const char* f : {"kivouninstall.exe", "c1.dll", "c2.dll", "c3.dll"}) {
            SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", f, shared);
            SetText(HKEY_LOCAL_MACHINE, kShared + f, key, shared);
        }
    }
    const std::string ua = kU + "TavixA";
    SetText(HKEY_LOCAL_MACHINE, ua, "DisplayName", "Tavix A");
    SetText(HKEY_LOCAL_MACHINE, ua + "\\DeleteFiles", "a.exe", a);
    SetText(HKEY_LOCAL_MACHINE, ua + "\\DeleteFiles", "locked.dll", a);
    SetText(HKEY_LOCAL_MACHINE, ua + "\\DeleteDirectory", a, "1");
    SetText(HKEY_CURRENT_USER, "Software\\TavixA\\Settings", "Size", "10");
    SetText(HKEY_CURRENT_USER, "Software\\TavixKeep", "Size", "10");
    SetText(HKEY_CURRENT_USER, "Software\\TavixKeep", "Other", "1");
    SetText(HKEY_LOCAL_MACHINE, ua + "\\DeleteRegs\\HKEY_CURRENT_USER", "Software\\TavixA", "");
    SetText(HKEY_LOCAL_MACHINE, ua + "\\DeleteRegs\\HKEY_CURRENT_USER",
            "Software\\TavixKeep\\\\Size", "Size");
    SetText(HKEY_LOCAL_MACHINE, ua + "\\ExecuteFile", "File", "cmd.exe");
    SetText(HKEY_LOCAL_MACHINE, ua + "\\ExecuteFile", "Parameters",
            "/c echo done>" + kBin + "\\executed.txt");
    SetText(HKEY_LOCAL_MACHINE, ua + "\\ExecuteFile", "Path", kBin);
    const std::string ub = kU + "TavixB";
    SetText(HKEY_LOCAL_MACHINE, ub, "DisplayName", "Tavix B");
    SetText(HKEY_LOCAL_MACHINE, ub, "CallConfigMg", "FALSE");
    SetText(HKEY_LOCAL_MACHINE, ub + "\\RestoreDrivers", "tavix", "restore.inf");
    SetText(HKEY_LOCAL_MACHINE, ub + "\\DeleteDevices", "dev", "USB\\VID_0A0B&PID_0001");

    // A file in use: opened without sharing its deletion.
    HANDLE locked = CreateFileA((a + "\\locked.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);

    // The first product, by the command line registered for it.
    ASSERT_TRUE(Start(shared + "\\kivouninstall.exe TavixA"));
    Confirm(L"Tavix A");
    Answer("c1.dll", L'n');  // No: kept
    Answer("c2.dll", L'a');  // Yes To All: s3.dll goes without a question
    HWND r = Result();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Text(r, IDC_RESULT_TEXT),
              L"Uninstall has successfully finished removing Tavix A from your computer.");
    EXPECT_EQ(Text(r, IDC_RESULT_TEXT2),
              L"You must restart your computer to complete the uninstallation process.");
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(r, IDC_RESTART_NOW)));
    EXPECT_TRUE(IsChecked(GetDlgItem(r, IDC_RESTART_NOW)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(r, IDC_REFUSED)));
    Shot(r, L"uninstall-result-restart");
    Key(r, L'i');  // "&I will restart my computer later."
    EXPECT_TRUE(WaitFor([&] { return IsChecked(GetDlgItem(r, IDC_RESTART_LATER)); }, 5000));
    Key(r, L'f');
    EXPECT_EQ(LauncherExit(), 0u);
    ASSERT_TRUE(CopyEnded()) << ReadAll(log_);
    CloseHandle(locked);

    EXPECT_TRUE(Exists(shared + "\\c1.dll"));
    EXPECT_FALSE(Exists(shared + "\\c2.dll"));
    EXPECT_FALSE(Exists(shared + "\\c3.dll"));
    EXPECT_TRUE(Exists(shared + "\\kivouninstall.exe"));  // TavixB's UninstallString names it
    EXPECT_FALSE(Exists(a + "\\a.exe"));
    EXPECT_FALSE(Exists(a + "\\sub"));
    EXPECT_TRUE(Exists(a + "\\locked.dll"));
    EXPECT_NE(Lower(PendingRenames()).find(Lower(a + "\\locked.dll")), std::string::npos)
        << PendingRenames();
    EXPECT_EQ(ReadAll(kBin + "\\restart.txt"), "");  // later
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\TavixA"));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, "Software\\TavixKeep", "Size"));
    EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, "Software\\TavixKeep", "Other"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ua));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kShared + "c1.dll", "TavixA"));
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kShared + "c1.dll", "TavixB"));
    EXPECT_TRUE(WaitFor([&] { return Exists(kBin + "\\executed.txt"); }, 10000));
    EXPECT_TRUE(Logged("own file kept")) << ReadAll(log_);
    // The temporary copy is gone once its last handle closed.
    EXPECT_TRUE(WaitFor(
        [&] {
            char temp[MAX_PATH];
            GetTempPathA(MAX_PATH, temp);
            WIN32_FIND_DATAA fd;
            HANDLE h = FindFirstFileA((std::string(temp) + "www*.tmp").c_str(), &fd);
            if (h == INVALID_HANDLE_VALUE)
                return true;
            FindClose(h);
            return false;
        },
        10000));

    // The second product: nothing to ask, the restart now.
    prog_.Kill();
    SetUp();
    ASSERT_TRUE(Start(shared + "\\kivouninstall.exe TavixB"));
    Confirm(L"Tavix B");
    r = Result();
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(IsChecked(GetDlgItem(r, IDC_RESTART_NOW)));
    Key(r, L'f');
    EXPECT_EQ(LauncherExit(), 0u);
    ASSERT_TRUE(CopyEnded());
    EXPECT_FALSE(Logged("shared C:"));  // no question asked
    EXPECT_FALSE(Exists(shared + "\\c1.dll"));
    EXPECT_FALSE(Exists(shared + "\\kivouninstall.exe"));  // nobody else names it now
    // A driver removed: the restart is offered, and taken.
    EXPECT_EQ(ReadAll(kBin + "\\restart.txt"), "restart\n");
    EXPECT_EQ(ReadAll(kBin + "\\standin.log"),
              "RestoreDeviceDriver(0,\"tavix\",\"restore.inf\",0,0)\r\n"
              "RemoveDeviceDriver(0,\"dev\",\"USB\\VID_0A0B&PID_0001\",0)\r\n");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ub));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kShared + "c1.dll"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kShared + "kivouninstall.exe"));
}

TEST_F(UninstallRun, HostileRegistrationFromUninstalIniDeletesNothingOutsideTheProduct) {
    char profile[MAX_PATH] = {}, windows[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile)));
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string home = "C:\\Program Files\\TavixH";
    WriteFile(home + "\\h.txt");
    WriteFile(std::string(profile) + "\\keep.txt");
    WriteFile("C:\\keep-root.txt");
    ASSERT_TRUE(CopyFileA((kBin + "\\kivouninstall.exe").c_str(),
                          (home + "\\kivouninstall.exe").c_str(), FALSE));
    WriteFile(home + "\\Uninstal.ini", "[Uninstall]\r\nUninstallKey=TavixH\r\n");
    const std::string u = kU + "TavixH";
    SetText(HKEY_LOCAL_MACHINE, u, "DisplayName", "Tavix Hostile");
    SetText(HKEY_LOCAL_MACHINE, u, "UninstallString", home + "\\kivouninstall.exe TavixH");
    for (const std::string& d : {std::string(windows), std::string("C:\\"), std::string(profile),
                                 std::string("C:\\Program Files"), home})
        SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteDirectory", d, "1");
    SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "..\\..\\keep-root.txt", home);
    SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "system32", "%10%");
    SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "win.ini", "%10%");  // not its copy
    SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "h.txt", home);
    SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteRegs\\HKEY_LOCAL_MACHINE", "Software", "");
    SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteRegs\\HKEY_CURRENT_USER", "Software\\", "0");

    // No argument: the key comes from Uninstal.ini beside the program.
    ASSERT_TRUE(Start("\"" + home + "\\kivouninstall.exe\"", home));
    Confirm(L"Tavix Hostile");
    HWND r = Result();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Text(r, IDC_RESULT_TEXT),
              L"Uninstall has successfully finished removing Tavix Hostile from your computer.");
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(r, IDC_REFUSED)));
    const std::wstring refused = Text(r, IDC_REFUSED);
    for (const wchar_t* line :
         {L"These entries of the registration lie outside Tavix Hostile and were left in place:",
          L"Folder: C:\\\r\n", L"\\win.ini\r\n", L"Folder: C:\\Program Files\r\n", L"File: ",
          L"Registry key: HKEY_LOCAL_MACHINE\\Software",
          L"Registry key: HKEY_CURRENT_USER\\Software"})
        EXPECT_NE(refused.find(line), std::wstring::npos) << refused.size();
    Shot(r, L"uninstall-result-refused");
    Key(r, L'\r');
    EXPECT_EQ(LauncherExit(), 0u);
    ASSERT_TRUE(CopyEnded());

    EXPECT_FALSE(Exists(home)) << ReadAll(log_);  // the product's own folder went
    for (const std::string& kept :
         {std::string(windows) + "\\win.ini", std::string(windows) + "\\system32\\kernel32.dll",
          std::string(profile) + "\\keep.txt", std::string("C:\\keep-root.txt"),
          kBin + "\\kivouninstall.exe"})
        EXPECT_TRUE(Exists(kept)) << kept;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Wine"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, u));
}

// Every way out of the uninstaller: the confirmation, the shared-file
// question, the progress dialog while it removes, and the result, each by
// its button, Return, Escape, Alt+F4 or the close box. Each row registers a
// small product again and checks that the program ends within seconds with
// its exit code and no window, that a declined run leaves everything in
// place, and that only Finish (or Return) takes the restart.
struct UninstallWay {
    Way confirm;   // kButton: No; kReturn: Yes (the default button)
    Way shared;    // the question about the shared file (kButton: No)
    Way progress;  // sent to the progress dialog while the question holds the removal
    Way result;    // kButton: Finish
    int code;
    bool restart;
};
const UninstallWay kUninstallWays[] = {
    {Way::kButton, Way::kButton, Way::kButton, Way::kButton, 2, false},
    {Way::kEscape, Way::kButton, Way::kButton, Way::kButton, 2, false},
    {Way::kAltF4, Way::kButton, Way::kButton, Way::kButton, 2, false},
    {Way::kReturn, Way::kEscape, Way::kEscape, Way::kButton, 0, true},
    {Way::kReturn, Way::kAltF4, Way::kAltF4, Way::kReturn, 0, true},
    {Way::kReturn, Way::kCloseBox, Way::kCloseBox, Way::kEscape, 0, false},
    {Way::kReturn, Way::kButton, Way::kEscape, Way::kAltF4, 0, false},
    {Way::kReturn, Way::kButton, Way::kButton, Way::kCloseBox, 0, false},
};

TEST_F(UninstallRun, EveryWayOutEndsTheProgram) {
    const std::string app = "C:\\Program Files\\TavixW", common = "C:\\Program Files\\TavixWCommon";
    const std::string u = kU + "TavixW";
    // What the product holds: files, its registration and a value.
    const auto state = [&] {
        std::string st;
        for (const std::string& f : {app + "\\w.exe", app + "\\sub\\d.txt", common + "\\s.dll"})
            st += Exists(f) ? "1" : "0";
        st += KeyExists(HKEY_LOCAL_MACHINE, u) ? "1" : "0";
        st += HasValue(HKEY_CURRENT_USER, "Software\\TavixW", "Size") ? "1" : "0";
        return st;
    };
    SetText(HKEY_LOCAL_MACHINE, kU + "TavixWOther", "DisplayName", "Other");
    for (const auto& row : kUninstallWays) {
        SCOPED_TRACE(std::string("confirm ") + WayName(row.confirm) + ", shared " +
                     WayName(row.shared) + ", progress " + WayName(row.progress) + ", result " +
                     WayName(row.result));
        SetUp();
        for (const std::string& f : {app + "\\w.exe", app + "\\sub\\d.txt", common + "\\s.dll"})
            WriteFile(f);
        SetText(HKEY_LOCAL_MACHINE, u, "DisplayName", "Tavix W");
        SetText(HKEY_LOCAL_MACHINE, u, "UninstallString", kBin + "\\kivouninstall.exe TavixW");
        SetText(HKEY_LOCAL_MACHINE, u, "NeedRestart", "TRUE");
        SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "w.exe", app);
        SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteFiles", "s.dll", common);
        SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteDirectory", app, "1");
        SetText(HKEY_LOCAL_MACHINE, u + "\\DeleteRegs\\HKEY_CURRENT_USER", "Software\\TavixW", "");
        SetText(HKEY_CURRENT_USER, "Software\\TavixW", "Size", "1");
        for (const char* product : {"TavixW", "TavixWOther"})
            SetText(HKEY_LOCAL_MACHINE, kShared + "s.dll", product, common);
        ASSERT_EQ(state(), "11111");

        ASSERT_TRUE(Start(kBin + "\\kivouninstall.exe TavixW"));
        HWND box = Dialog(L"Tavix W Uninstallation");
        ASSERT_NE(box, nullptr) << ReadAll(log_);
        Leave(box, row.confirm, IDNO);
        if (row.code == 2) {
            // A Yes/No box may keep Escape and Alt+F4 to itself; it never
            // takes them for Yes.
            if (WaitFor([&] { return Logged("kivouninstall ends"); }, 2000) == false)
                Key(box, L'n');
        } else {
            HWND q = Dialog(L"Remove Shared File");
            ASSERT_NE(q, nullptr) << ReadAll(log_);
            HWND progress = FindWindowW(L"#32770", L"Remove Programs From Your Computer");
            ASSERT_NE(progress, nullptr);
            Leave(progress, row.progress, IDCANCEL);  // the removal goes on
            Leave(q, row.shared, IDC_SHARED_NO);
            HWND r = Dialog(L"Uninstall Result", 30000);
            ASSERT_NE(r, nullptr) << ReadAll(log_);
            EXPECT_TRUE(IsChecked(GetDlgItem(r, IDC_RESTART_NOW)));
            Leave(r, row.result, IDC_FINISH);
        }
        EXPECT_TRUE(WaitFor(
            [&] { return Logged("kivouninstall ends (" + std::to_string(row.code) + ")"); }, 10000))
            << ReadAll(log_);
        EXPECT_EQ(LauncherExit(), 0u);
        EXPECT_EQ(FindWindowW(L"KivoUninstall", nullptr), nullptr);
        // Declined: everything stays. Otherwise the product is gone but the
        // file the other product still uses.
        EXPECT_EQ(state(), row.code == 2 ? "11111" : "00100");
        EXPECT_EQ(ReadAll(kBin + "\\restart.txt"), row.restart ? "restart\n" : "");
        prog_.Kill();
    }
}

TEST_F(UninstallRun, UnknownProductEndsWithoutAWindow) {
    ASSERT_TRUE(Start(kBin + "\\kivouninstall.exe NoSuchProduct"));
    EXPECT_EQ(LauncherExit(), 1u);  // the copy ended: the launcher does not wait for ever
    EXPECT_TRUE(Logged("no registration"));
    EXPECT_EQ(FindWindowW(L"KivoUninstall", nullptr), nullptr);
}

// Every window of the uninstaller by keyboard alone: the confirmation, the
// shared-file question, the progress once done and the result with its
// restart choice, each answered by Return (the default button) after the
// checks of ui/testing/keys.h. A locked file makes the restart due.
TEST_F(UninstallRun, KeyboardWalksEveryWindow) {
    const std::string dir = "C:\\Program Files\\TavixKeys";
    for (const char* f : {"s.dll", "locked.dll"})
        WriteFile(dir + "\\" + f);
    for (const char* key : {"TavixK1", "TavixK2"}) {
        SetText(HKEY_LOCAL_MACHINE, kU + key, "UninstallString",
                kBin + "\\kivouninstall.exe " + key);
        SetText(HKEY_LOCAL_MACHINE, kU + key + "\\DeleteFiles", "s.dll", dir);
        SetText(HKEY_LOCAL_MACHINE, kShared + "s.dll", key, dir);
    }
    SetText(HKEY_LOCAL_MACHINE, kU + "TavixK1", "DisplayName", "Tavix K");
    SetText(HKEY_LOCAL_MACHINE, kU + "TavixK1\\DeleteFiles", "locked.dll", dir);
    HANDLE locked = CreateFileA((dir + "\\locked.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Start(kBin + "\\kivouninstall.exe TavixK1"));
    const std::vector<KeyStep> steps = {
        // The system's message box shows its default by the focus alone. Yes.
        {L"Tavix K Uninstallation", VK_RETURN, L"Remove Shared File", false, false},
        {L"Remove Shared File", VK_RETURN, L"Remove Programs From Your Computer"},  // Yes
        {L"Remove Programs From Your Computer", VK_RETURN, L"Uninstall Result"},    // OK
        {L"Uninstall Result", VK_RETURN, L""},  // Finish: restart now
    };
    const auto find = [](const std::wstring& caption) -> HWND {
        HWND w = FindWindowW(L"#32770", caption.c_str());
        if (w == nullptr || !IsWindowVisible(w) || !IsWindowEnabled(w))
            return nullptr;
        // The progress counts once its work is done and OK can be pressed.
        if (caption == L"Remove Programs From Your Computer" &&
            !IsWindowEnabled(GetDlgItem(w, IDOK)))
            return nullptr;
        return w;
    };
    KeyWalk walk;
    walk.find = find;
    walk.ms = 20000;
    walk.Walk(steps);
    EXPECT_TRUE(walk.faults.empty()) << walk.Report() << ReadAll(log_);
    ASSERT_TRUE(CopyEnded()) << ReadAll(log_);
    CloseHandle(locked);
    EXPECT_FALSE(Exists(dir + "\\s.dll"));
    EXPECT_EQ(ReadAll(kBin + "\\restart.txt"), "restart\n");
}

}  // namespace

namespace {

// The uninstallation half of the round trip (round_trip.sh installs before
// and compares after): the command line that the installer registered, the
// questions answered by keys. Runs only when the script names the product.
TEST(RoundTrip, UninstallByTheRegisteredCommandLine) {
    char key[128] = {};
    if (GetEnvironmentVariableA("TAVIX_ROUND_TRIP_KEY", key, sizeof key) == 0)
        GTEST_SKIP() << "run by round_trip.sh";
    const std::string u = kU + key;
    std::string command = ReadValue(HKEY_LOCAL_MACHINE, u, "UninstallString");
    ASSERT_FALSE(command.empty()) << u;
    const std::string product = ReadValue(HKEY_LOCAL_MACHINE, u, "DisplayName");
    const std::string log = kBin + "\\round-trip-" + key + ".log";
    SetEnvironmentVariableA("TAVIX_UNINSTALL_LOG", log.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    Program prog;
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               kBin.c_str(), &si, &prog.pi))
        << command;
    HWND box = Dialog(std::wstring(product.begin(), product.end()) + L" Uninstallation");
    ASSERT_NE(box, nullptr) << ReadAll(log);
    Key(box, L'y');
    // Every file that another product shares is kept (No); the script names
    // the files asked about.
    std::string asked;
    HWND r = nullptr;
    for (;;) {
        HWND q = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                q = FindWindowW(L"#32770", L"Remove Shared File");
                r = FindWindowW(L"#32770", L"Uninstall Result");
                return (q != nullptr && IsWindowVisible(q)) || r != nullptr;
            },
            30000))
            << ReadAll(log);
        if (r != nullptr)
            break;
        const std::wstring name = Text(q, IDC_SHARED_NAME);
        if (!asked.empty())
            asked += ',';
        asked.append(name.begin(), name.end());
        Key(q, L'n');
        WaitFor([&] { return !IsWindow(q); }, 5000);
    }
    char expected[256] = {};
    GetEnvironmentVariableA("TAVIX_ROUND_TRIP_SHARED", expected, sizeof expected);
    EXPECT_EQ(asked, expected);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(r, IDC_REFUSED)))
        << WindowText(GetDlgItem(r, IDC_REFUSED)).size();
    // The result takes keys once its loop runs and a control of it has the focus.
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(r) && IsChild(r, FocusOf(r)); }, 10000));
    Key(r, L'f');
    EXPECT_TRUE(prog.Exited(20000));
    EXPECT_TRUE(WaitFor(
        [&] { return ReadAll(log).find("kivouninstall ends (0)") != std::string::npos; }, 20000))
        << ReadAll(log);
    prog.Kill();
}

}  // namespace
