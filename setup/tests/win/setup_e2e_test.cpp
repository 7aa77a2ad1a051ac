// The real setup.exe under Wine, driven by window messages: the pages that a
// setup file keeps, the silent and hidden modes, the no-restart switch, a
// missing setup file, the language dialog, the DirectX hand-off and the
// program after installation. The restart is recorded through
// TAVIX_SETUP_RESTART_FILE, never performed.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "resources/setup/resource.h"
#include "ui/testing/keys.h"
#include "ui/testing/remote.h"

using namespace e2e;

namespace {

std::wstring ShotPath(const std::wstring& name) {
    return WinePath(Env(L"TAVIX_SHOT_DIR") + L"/" + name + L".bmp");
}

// Lets the window paint, then saves it.
bool Shot(HWND w, const std::wstring& name) {
    WaitFor([] { return false; }, 400);
    return SaveScreenshot(w, ShotPath(name));
}

std::string N(const std::wstring& w) {
    return std::string(w.begin(), w.end());  // ASCII paths only
}

struct Page {
    int marker;
    const char* name;
};
const Page kPages[] = {{IDC_WELCOME_TEXT, "Welcome"}, {IDC_LICENCE_TEXT, "Licence"},
                       {IDC_PS2, "Interface"},        {IDC_DEST_PATH, "Destination"},
                       {IDC_FOLDER_NAME, "Folder"},   {IDC_SUMMARY, "Start"},
                       {IDC_PROGRESS, "Copy"},        {IDC_RESULT_TEXT, "Result"}};

class SetupRun : public ::testing::Test {
protected:
    void SetUp() override {
        static int n = 0;
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        dir_ = std::wstring(tmp) + L"tavix_setup_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++n);
        CreateDirectoryW(dir_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(WinePath(Env(L"TAVIX_SETUP_EXE")).c_str(),
                              (dir_ + L"\\setup.exe").c_str(), FALSE));
        CopyFileW(WinePath(Env(L"TAVIX_DX_DLL")).c_str(), (dir_ + L"\\lumodxhlp.dll").c_str(),
                  FALSE);
        CreateDirectoryW((dir_ + L"\\tools").c_str(), nullptr);
        CopyFileW(WinePath(Env(L"TAVIX_PROBE_EXE")).c_str(), (dir_ + L"\\tools\\probe.exe").c_str(),
                  FALSE);
        SetEnvironmentVariableW(L"TAVIX_SETUP_RESTART_FILE", (dir_ + L"\\restart.txt").c_str());
        SetEnvironmentVariableW(L"TAVIX_PROBE_FILE", (dir_ + L"\\probe.txt").c_str());
        SetEnvironmentVariableW(L"TAVIX_TEST_DXVERSION", L"0x00090000");
        SetEnvironmentVariableW(L"TAVIX_SETUP_PAUSE_AT", nullptr);
    }
    void TearDown() override {
        prog_.Kill();
        // Remove what the run left (flat tree of two levels).
        for (const wchar_t* sub : {L"\\tools", L"\\DirectX", L"\\lic", L"\\copied", L""}) {
            WIN32_FIND_DATAW fd;
            const std::wstring d = dir_ + sub;
            HANDLE h = FindFirstFileW((d + L"\\*").c_str(), &fd);
            if (h != INVALID_HANDLE_VALUE) {
                do
                    DeleteFileW((d + L"\\" + fd.cFileName).c_str());
                while (FindNextFileW(h, &fd));
                FindClose(h);
            }
            RemoveDirectoryW(d.c_str());
        }
    }
    void Write(const std::wstring& name, const std::string& text) {
        std::ofstream out(N(dir_ + L"\\" + name), std::ios::binary);
        out << text;
    }
    // The same setup file for every NT-family class.
    void WriteSetupFiles(const std::string& text) {
        for (const wchar_t* f : {L"SETUPXP.INI", L"SETUP2K.INI", L"SETUPNT.INI"})
            Write(f, text);
    }
    std::string Read(const std::wstring& name) {
        std::string all;
        for (const auto& l : ReadLines(dir_ + L"\\" + name))
            all += l + "\n";
        return all;
    }
    bool Start(const std::wstring& args) {
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        const std::wstring exe = dir_ + L"\\setup.exe";
        std::wstring cmd = L"\"" + exe + L"\" /LOG=\"" + dir_ + L"\\setup.log\" " + args;
        return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              dir_.c_str(), &si, &prog_.pi) != 0;
    }
    DWORD ExitCode(DWORD ms) {
        if (!prog_.Exited(ms))
            return 999;
        DWORD code = 0;
        GetExitCodeProcess(prog_.pi.hProcess, &code);
        return code;
    }
    // The wizard: the process's window that answers PSM_GETCURRENTPAGEHWND.
    HWND Wizard() { return FindWizard(prog_.pi.dwProcessId); }
    HWND CurrentPage() {
        HWND sheet = Wizard();
        return sheet ? reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))
                     : nullptr;
    }
    std::string PageName(HWND page) {
        for (const auto& p : kPages)
            if (page != nullptr && GetDlgItem(page, p.marker) != nullptr)
                return p.name;
        return "";
    }
    // Waits for a page other than `from` (which may be nullptr) and names it.
    std::string NextPage(HWND from, HWND* page) {
        std::string name;
        WaitFor(
            [&] {
                HWND p = CurrentPage();
                if (p == nullptr || p == from || !IsWindowVisible(p))
                    return false;
                name = PageName(p);
                *page = p;
                return !name.empty();
            },
            10000);
        return name;
    }
    // The result page, passing the copying page (which ends by itself over
    // the empty copy plan) on the way.
    std::string ToResult(HWND* page) {
        std::string name = NextPage(*page, page);
        if (name == "Copy")
            name = NextPage(*page, page);
        return name;
    }
    void PressNext() { PostMessageW(Wizard(), PSM_PRESSBUTTON, PSBTN_NEXT, 0); }
    void PressFinish() { PostMessageW(Wizard(), PSM_PRESSBUTTON, PSBTN_FINISH, 0); }
    std::vector<std::string> LoggedPages() {
        std::vector<std::string> out;
        for (const auto& l : ReadLines(dir_ + L"\\setup.log")) {
            const size_t at = l.find("page shown: ");
            if (at != std::string::npos)
                out.push_back(l.substr(at + 12, l.find_last_not_of("\r") - at - 11));
        }
        return out;
    }
    // The run ended with exit code 0 within `ms`, the restart asked for or not.
    void ExpectEndedWell(DWORD ms, bool restart) {
        EXPECT_EQ(ExitCode(ms), 0u);
        EXPECT_EQ(Read(L"restart.txt"), restart ? "restart\n" : "");
    }
    bool LogHas(const std::string& text) {
        for (const auto& l : ReadLines(dir_ + L"\\setup.log"))
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }

    std::wstring dir_;
    Program prog_;
};

const char kFourAsksFalse[] =
    "[Setup]\r\nProductName=Tavix\r\nVersion=4.0.1\r\nAskLicense=FALSE\r\nAskType=FALSE\r\n"
    "AskPath=FALSE\r\nAskProgramFolder=FALSE\r\nRestart=FALSE\r\n"
    "[PreRun Programs]\r\nprobe.exe=%1%\\tools,prerun,1\r\n"
    "[Run Program After Installation]\r\nprobe.exe=%1%\\tools,x,after \"a,b\"\r\n";

TEST_F(SetupRun, FourAsksFalseShowsFourPagesAndRunsProgramsBeforeAndAfter) {
    WriteSetupFiles(kFourAsksFalse);
    ASSERT_TRUE(Start(L""));
    HWND page = nullptr;
    ASSERT_EQ(NextPage(nullptr, &page), "Welcome");
    // The background window: class KivoSetup, caption "Setup", the work area.
    HWND bg = FindWindowW(L"KivoSetup", nullptr);
    ASSERT_NE(bg, nullptr);
    EXPECT_EQ(WindowText(bg), L"Setup");
    EXPECT_TRUE(IsWindowVisible(bg));
    RECT work, r;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(bg, &r);
    EXPECT_GE(r.right - r.left, work.right - work.left);
    // The pre-run program ran and was waited for before the wizard.
    EXPECT_NE(Read(L"probe.txt").find("tools\\probe.exe\" prerun|"), std::string::npos)
        << Read(L"probe.txt");
    EXPECT_NE(WindowText(GetDlgItem(page, IDC_WELCOME_TEXT))
                  .find(L"Welcome to the Tavix Setup program.  This program will install Tavix on "
                        L"your computer."),
              std::wstring::npos);
    EXPECT_TRUE(Shot(bg, (L"setup-background-welcome")));
    EXPECT_TRUE(Shot(Wizard(), (L"setup-1-welcome")));
    PressNext();
    ASSERT_EQ(NextPage(page, &page), "Start");
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_SUMMARY)),
              L"Product:\r\n          Tavix\r\n\r\nVersion:\r\n          4.0.1");
    EXPECT_TRUE(Shot(Wizard(), (L"setup-6-start")));
    PressNext();
    ASSERT_EQ(ToResult(&page), "Result");  // the copying page passes by itself
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_RESULT_TEXT)),
              L"Setup has successfully installed Tavix.\n\nClick Finish to complete Setup.");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_RESTART_NOW)));
    HWND cancel = GetDlgItem(Wizard(), IDCANCEL);
    EXPECT_EQ(WindowText(cancel), L"Close");
    EXPECT_FALSE(IsWindowEnabled(cancel));
    EXPECT_TRUE(Shot(Wizard(), (L"setup-8-result-finish")));
    PressFinish();
    EXPECT_EQ(ExitCode(10000), 0u);
    EXPECT_EQ(LoggedPages(), (std::vector<std::string>{"Welcome", "Start Installation",
                                                       "Installation Procedures", "Setup Result"}));
    EXPECT_TRUE(LogHas("setup file: "));
    // The program after installation, opened with its arguments in its folder.
    EXPECT_TRUE(WaitFor(
        [&] { return Read(L"probe.txt").find("after \"a,b\"|") != std::string::npos; }, 10000))
        << Read(L"probe.txt");
    EXPECT_EQ(Read(L"restart.txt"), "");
}

TEST_F(SetupRun, EveryPageWithInterfaceChoiceExitDialogAndRestartLater) {
    const std::string ini =
        "[Setup]\r\nProductName=Tavix Storage\r\nSetupTitle=Tavix Storage Server Software Setup "
        "for Every Desktop\r\nAskLicense=TRUE\r\nLicenseFolder=lic\r\nAskPath=TRUE\r\n"
        "AskProgramFolder=TRUE\r\n";
    WriteSetupFiles(ini);
    CreateDirectoryW((dir_ + L"\\lic").c_str(), nullptr);
    Write(L"lic\\LICENENG.TXT", "TAVIX LICENCE\nline two\n");
    ASSERT_TRUE(Start(L"/unknown"));
    HWND page = nullptr;
    ASSERT_EQ(NextPage(nullptr, &page), "Welcome");
    // Cancel shows the Exit dialog; Resume keeps the wizard.
    PostMessageW(Wizard(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    HWND exitDlg = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (exitDlg = FindTopLevel(prog_.pi.dwProcessId, L"Exit Setup")) != nullptr; },
        5000));
    EXPECT_NE(
        WindowText(GetDlgItem(exitDlg, IDC_EXIT_TEXT)).find(L"Tavix Storage will not be installed"),
        std::wstring::npos);
    EXPECT_TRUE(Shot(exitDlg, (L"setup-exit-dialog")));
    Press(exitDlg, IDC_RESUME);
    ASSERT_TRUE(WaitFor(
        [&] { return FindTopLevel(prog_.pi.dwProcessId, L"Exit Setup") == nullptr; }, 5000));
    HWND bg = FindWindowW(L"KivoSetup", nullptr);
    EXPECT_TRUE(Shot(bg, (L"setup-background-two-line-title")));
    const char* expected[] = {"Licence", "Interface", "Destination", "Folder", "Start"};
    for (const char* name : expected) {
        PressNext();
        ASSERT_EQ(NextPage(page, &page), name);
        if (std::string(name) == "Licence") {
            EXPECT_EQ(WindowText(GetDlgItem(page, IDC_LICENCE_TEXT)),
                      L"TAVIX LICENCE\r\nline two\r\n");
        }
        if (std::string(name) == "Interface") {
            EXPECT_TRUE(IsChecked(GetDlgItem(page, IDC_USB)));
            SendMessageW(GetDlgItem(page, IDC_PS2), BM_CLICK, 0, 0);
        }
        if (std::string(name) == "Start") {
            const std::wstring summary = WindowText(GetDlgItem(page, IDC_SUMMARY));
            EXPECT_NE(summary.find(L"Installation Directory:\r\n          "), std::wstring::npos);
            EXPECT_NE(summary.find(L"Program Folder:"), std::wstring::npos);
        }
        EXPECT_TRUE(Shot(Wizard(),
                         (std::wstring(L"setup-page-") + std::wstring(name, name + strlen(name)))));
    }
    PressNext();
    ASSERT_EQ(ToResult(&page), "Result");
    // PS/2 on the NT family asks for a restart.
    EXPECT_NE(WindowText(GetDlgItem(page, IDC_RESULT_TEXT)).find(L"you must restart your computer"),
              std::wstring::npos);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_RESTART_NOW)));
    EXPECT_TRUE(IsChecked(GetDlgItem(page, IDC_RESTART_NOW)));
    EXPECT_TRUE(Shot(Wizard(), (L"setup-8-result-restart")));
    SendMessageW(GetDlgItem(page, IDC_RESTART_LATER), BM_CLICK, 0, 0);
    PressFinish();
    ExpectEndedWell(10000, false);
    EXPECT_TRUE(LogHas("unknown switch /unknown ignored"));
    EXPECT_TRUE(LogHas("interface chosen: PS/2"));
}

TEST_F(SetupRun, SilentCompletesAndRestartsThroughTheSeam) {
    WriteSetupFiles("[Setup]\r\nProductName=Tavix\r\nAskLicense=TRUE\r\nAskPath=TRUE\r\n");
    ASSERT_TRUE(Start(L"/S"));
    ExpectEndedWell(20000, true);  // the interface page's default keeps restart
    EXPECT_EQ(LoggedPages(), (std::vector<std::string>{"Welcome", "Start Installation",
                                                       "Installation Procedures", "Setup Result"}));
}

TEST_F(SetupRun, HiddenShowsNoWindowAndNoRestartNeverOffersOne) {
    WriteSetupFiles("[Setup]\r\nProductName=Tavix\r\nPS2Type=FALSE\r\nRestart=TRUE\r\n");
    ASSERT_TRUE(Start(L"/H /NR"));
    bool seen = false;
    const DWORD start = GetTickCount();
    while (!prog_.Exited(0) && GetTickCount() - start < 20000) {
        seen =
            seen || !TopLevelWindows(prog_.pi.dwProcessId, L"Setup").empty() || Wizard() != nullptr;
        Sleep(10);
    }
    EXPECT_FALSE(seen);
    ExpectEndedWell(1000, false);
    EXPECT_TRUE(LogHas("restart not offered: /NR"));
    EXPECT_TRUE(LogHas("switch /H: hidden and silent"));
}

TEST_F(SetupRun, NoRestartSwitchShowsFinishWhereRestartWasDue) {
    WriteSetupFiles("[Setup]\r\nProductName=Tavix\r\nAskType=FALSE\r\nRestart=TRUE\r\n");
    ASSERT_TRUE(Start(L"/NR"));
    HWND page = nullptr;
    ASSERT_EQ(NextPage(nullptr, &page), "Welcome");
    PressNext();
    ASSERT_EQ(NextPage(page, &page), "Start");
    PressNext();
    ASSERT_EQ(ToResult(&page), "Result");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_RESTART_NOW)));
    EXPECT_NE(WindowText(GetDlgItem(page, IDC_RESULT_TEXT)).find(L"Click Finish"),
              std::wstring::npos);
    PressFinish();
    ExpectEndedWell(10000, false);
}

TEST_F(SetupRun, MissingSetupFileShowsNotSupported) {
    ASSERT_TRUE(Start(L""));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (box = FindTopLevel(prog_.pi.dwProcessId, L"Setup Warning")) != nullptr; },
        10000));
    bool found = false;
    for (const auto& t : StaticTexts(box))
        found = found || t == L"Current O.S. is not supported by this software, please refer to "
                              L"the user's manual or readme.txt for more information.";
    EXPECT_TRUE(found);
    EXPECT_TRUE(Shot(box, (L"setup-not-supported")));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(ExitCode(10000), 1u);
    EXPECT_EQ(FindWindowW(L"KivoSetup", nullptr), nullptr);
}

TEST_F(SetupRun, LanguageDialogPicksTheChosenLanguagesProfile) {
    std::string lang;
    for (const char* l : {"0x00000407", "0x00000409", "0x0000040C"}) {
        const std::string name = std::string(l).substr(6) + ".ini";
        lang += std::string("[") + l + "]\r\nsupport=1\r\nWinXP Profile=" + name +
                "\r\nWin2K Profile=" + name + "\r\nWinNT Profile=" + name + "\r\n";
        Write(std::wstring(name.begin(), name.end()),
              "[Setup]\r\nProductName=Product " + name + "\r\nAskType=FALSE\r\n");
    }
    lang += "[0x00000411]\r\nsupport=0\r\nWinNT Profile=0411.ini\r\n";
    Write(L"SelLang.INI", lang);
    ASSERT_TRUE(Start(L""));
    HWND dlg = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (dlg = FindTopLevel(prog_.pi.dwProcessId, L"Select Language")) != nullptr; },
        10000));
    HWND list = GetDlgItem(dlg, IDC_LANG_LIST);
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0),
              3);  // English, French, German: the installer's order
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, 0, 0), 1033);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, 1, 0), 1036);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, 2, 0), 1031);
    EXPECT_TRUE(Shot(dlg, (L"setup-language")));
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    Press(dlg, IDOK);
    HWND page = nullptr;
    ASSERT_EQ(NextPage(nullptr, &page), "Welcome");
    EXPECT_NE(WindowText(GetDlgItem(page, IDC_WELCOME_TEXT)).find(L"install Product 040C.ini"),
              std::wstring::npos);
    EXPECT_TRUE(LogHas("language chosen: 0x0000040C"));
    PostMessageW(Wizard(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    HWND exitDlg = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (exitDlg = FindTopLevel(prog_.pi.dwProcessId, L"Exit Setup")) != nullptr; },
        5000));
    Press(exitDlg, IDC_EXIT_SETUP);
    EXPECT_EQ(ExitCode(10000), 2u);
}

TEST_F(SetupRun, DirectXHandoffReplacesTheRestartAndRunsWithQ) {
    CreateDirectoryW((dir_ + L"\\DirectX").c_str(), nullptr);
    CopyFileW(WinePath(Env(L"TAVIX_PROBE_EXE")).c_str(), (dir_ + L"\\DirectX\\dxsetup.exe").c_str(),
              FALSE);
    WriteSetupFiles(
        "[Setup]\r\nProductName=Tavix\r\nAskType=FALSE\r\nRestart=TRUE\r\n"
        "[PostCheck Programs]\r\nDirectX9=0x00090003,DirectX,dxsetup.exe\r\n");
    ASSERT_TRUE(Start(L""));
    HWND page = nullptr;
    ASSERT_EQ(NextPage(nullptr, &page), "Welcome");
    PressNext();
    ASSERT_EQ(NextPage(page, &page), "Start");
    PressNext();
    ASSERT_EQ(ToResult(&page), "Result");
    EXPECT_NE(
        WindowText(GetDlgItem(page, IDC_RESULT_TEXT)).find(L"it also needs to install DirectX"),
        std::wstring::npos);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_RESTART_NOW)));
    EXPECT_TRUE(Shot(Wizard(), (L"setup-8-result-directx")));
    PressFinish();
    EXPECT_EQ(ExitCode(10000), 0u);
    EXPECT_TRUE(WaitFor([&] { return Read(L"probe.txt").find("/Q|") != std::string::npos; }, 10000))
        << Read(L"probe.txt");
    EXPECT_NE(Read(L"probe.txt").find("DirectX"), std::string::npos);
    EXPECT_EQ(Read(L"restart.txt"), "");
}

// The windows before the wizard, left every way: the language dialog
// (closing it counts as OK: the selected language's profile) and the
// "not supported" box (the program ends with code 1).
TEST_F(SetupRun, LanguageDialogAndNotSupportedBoxEveryWay) {
    for (const Way way : {Way::kReturn, Way::kEscape, Way::kAltF4, Way::kCloseBox}) {
        SCOPED_TRACE(WayName(way));
        Write(L"SelLang.INI",
              "[0x00000409]\r\nsupport=1\r\nWinXP Profile=en.ini\r\nWin2K "
              "Profile=en.ini\r\nWinNT Profile=en.ini\r\n");
        Write(L"en.ini", "[Setup]\r\nProductName=Product EN\r\nAskType=FALSE\r\n");
        ASSERT_TRUE(Start(L""));
        HWND dlg = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                return (dlg = FindTopLevel(prog_.pi.dwProcessId, L"Select Language")) != nullptr;
            },
            10000));
        Leave(dlg, way, IDOK);
        HWND page = nullptr;
        ASSERT_EQ(NextPage(nullptr, &page), "Welcome");
        EXPECT_NE(WindowText(GetDlgItem(page, IDC_WELCOME_TEXT)).find(L"Product EN"),
                  std::wstring::npos);
        prog_.Kill();

        // Without any setup file: the warning, then the end.
        DeleteFileW((dir_ + L"\\SelLang.INI").c_str());
        DeleteFileW((dir_ + L"\\en.ini").c_str());
        ASSERT_TRUE(Start(L""));
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] { return (box = FindTopLevel(prog_.pi.dwProcessId, L"Setup Warning")) != nullptr; },
            10000));
        Leave(box, way, IDOK);
        EXPECT_EQ(ExitCode(5000), 1u);
        prog_.Kill();
    }
}

// A setup file nobody should write: texts thousands of characters long,
// values that mean nothing, 250 copy entries whose files are not on the
// medium and a 300-character target name. A silent or hidden run ends by
// itself on it, and its exit code and log say that it did not install it.
TEST_F(SetupRun, AbsurdSetupFileEndsSilentRunsWithTheReason) {
    auto absurd = [&](bool cabinet) {
        std::string ini = "[Setup]\r\nProductName=" + std::string(5000, 'P') +
                          "\r\nSetupTitle=" + std::string(3000, 'T') +
                          "\r\nVersion=" + std::string(4000, 'V') +
                          "\r\nAskType=maybe\r\nRestart=-7\r\nUSBType=2\r\nAskPath=TRUE\r\n"
                          "AskLicense=TRUE\r\nLicenseFolder=" +
                          std::string(900, 'L') + "\r\n";
        if (cabinet)
            ini += "CabFile=TRUE\r\nCabFileName=\r\n";
        ini += "[Copy Files]\r\n";
        for (int i = 0; i < 250; ++i)
            ini += "missing" + std::to_string(i) + ".dll=" + N(dir_) + "\\out\r\n";
        ini += "probe.exe=" + N(dir_) + "\\out," + std::string(300, 'n') + ".exe\r\n";
        ini += "[Strings]\r\nx=" + std::string(6000, 'S') + "\r\n";
        return ini;
    };
    CopyFileW(WinePath(Env(L"TAVIX_PROBE_EXE")).c_str(), (dir_ + L"\\probe.exe").c_str(), FALSE);
    struct Row {
        const wchar_t* switches;
        bool cabinet;
        DWORD code;
        const char* reason;
    } rows[] = {
        {L"/S", false, 4, "result: incomplete, 250 files of the setup file not installed"},
        {L"/H", false, 4, "missing9.dll: source "},
        {L"/S /NR", true, 3, "no cabinet named: result 3"},
        {L"/H", true, 3, "result: failed (code 3)"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(N(r.switches) + (r.cabinet ? " cabinet" : ""));
        WriteSetupFiles(absurd(r.cabinet));
        DeleteFileW((dir_ + L"\\setup.log").c_str());
        ASSERT_TRUE(Start(r.switches));
        EXPECT_EQ(ExitCode(30000), r.code);
        EXPECT_TRUE(LogHas(r.reason)) << Read(L"setup.log").substr(0, 3000);
        EXPECT_EQ(Wizard(), nullptr);
        prog_.Kill();
    }
}

// Every window of the installer by keyboard alone: the language dialog,
// each page, the Exit dialog from Welcome and from the copying page (held at
// its first file), the result with its restart choice. Return presses the
// default button, Escape is Cancel; the checks of ui/testing/keys.h on each.
TEST_F(SetupRun, KeyboardWalksEveryWindow) {
    Write(L"SelLang.INI",
          "[0x00000409]\r\nsupport=1\r\nWinXP Profile=keys.ini\r\nWin2K Profile=keys.ini\r\n"
          "WinNT Profile=keys.ini\r\n[0x00000407]\r\nsupport=1\r\nWinXP Profile=keys.ini\r\n"
          "Win2K Profile=keys.ini\r\nWinNT Profile=keys.ini\r\n");
    Write(L"keys.ini",
          "[Setup]\r\nProductName=Tavix\r\nAskLicense=TRUE\r\nLicenseFolder=lic\r\n"
          "AskPath=TRUE\r\nAskProgramFolder=TRUE\r\nRestart=TRUE\r\n"
          "[Copy Files]\r\nlic\\LICENENG.TXT=%1%\\copied\r\n");
    CreateDirectoryW((dir_ + L"\\lic").c_str(), nullptr);
    Write(L"lic\\LICENENG.TXT", "TAVIX LICENCE\n");
    SetEnvironmentVariableW(L"TAVIX_SETUP_PAUSE_AT", L"0h");  // held, not cancelled
    ASSERT_TRUE(Start(L""));
    const std::vector<KeyStep> steps = {
        {L"Select Language", VK_RETURN, L"Welcome"},
        {L"Welcome", VK_ESCAPE, L"Exit Setup", true},
        {L"Exit Setup", VK_ESCAPE, L"Welcome"},  // Resume
        {L"Welcome", VK_RETURN, L"Licence"},
        {L"Licence", VK_RETURN, L"Interface"},
        {L"Interface", VK_RETURN, L"Destination"},
        {L"Destination", VK_RETURN, L"Folder"},
        {L"Folder", VK_RETURN, L"Start"},
        {L"Start", VK_RETURN, L"Copy"},
        {L"Copy", VK_ESCAPE, L"Exit Setup", true, false},  // Next waits for the copying
        {L"Exit Setup", VK_RETURN, L"Result"},             // Resume, the default
        {L"Result", VK_RETURN, L""},                       // Finish: restart now
    };
    const auto find = [&](const std::wstring& name) -> HWND {
        for (const auto& p : kPages)
            if (name == std::wstring(p.name, p.name + strlen(p.name))) {
                HWND page = CurrentPage();
                return page != nullptr && PageName(page) == p.name ? page : nullptr;
            }
        return FindTopLevel(prog_.pi.dwProcessId, name);
    };
    KeyWalk walk;
    walk.find = find;
    walk.before = [&](const KeyStep& step, HWND w) {
        if (std::wstring(step.name) == L"Interface")  // PS/2 asks for a restart at the end
            SendMessageW(GetDlgItem(w, IDC_PS2), BM_CLICK, 0, 0);
        if (std::wstring(step.name) == L"Copy") {
            EXPECT_TRUE(Shot(GetAncestor(w, GA_ROOT), L"setup-keys-copy"));
        }
    };
    walk.Walk(steps);
    EXPECT_TRUE(walk.faults.empty()) << walk.Report() << Read(L"setup.log");
    ExpectEndedWell(20000, true);
}

}  // namespace
