// From the box to a working server, driven as a user would: KDZ_INIT.exe from
// the medium, Next on its three pages, the installer it starts (language,
// welcome, licence, start, copying, result), Brellmark opened by the
// installer at the end and again from its Programs-menu link, where it lists
// the virtual servers, and finally the registered uninstall command. One run
// that checks each stage; the script around it compares the prefix before
// and after.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "resources/setup/resource.h"
#include "ui/testing/remote.h"

using namespace e2e;

namespace {

const wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TavixBrellmark";

HWND Shot(HWND w, const std::wstring& name) {
    WaitFor([] { return false; }, 400);
    SaveScreenshot(w, WinePath(Env(L"TAVIX_SHOT_DIR") + L"/" + name + L".bmp"));
    return w;
}

HWND Sheet() {
    return FindWizard(0);
}

// The installer's page now shown, by the control that only it has.
std::string PageName(HWND* page) {
    struct Marker {
        int id;
        const char* name;
    };
    static const Marker kMarkers[] = {{IDC_WELCOME_TEXT, "Welcome"}, {IDC_LICENCE_TEXT, "Licence"},
                                      {IDC_PS2, "Interface"},        {IDC_DEST_PATH, "Destination"},
                                      {IDC_FOLDER_NAME, "Folder"},   {IDC_SUMMARY, "Start"},
                                      {IDC_PROGRESS, "Copy"},        {IDC_RESULT_TEXT, "Result"}};
    HWND sheet = Sheet();
    *page =
        sheet ? reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
    if (*page == nullptr || !IsWindowVisible(*page))
        return "";
    for (const Marker& m : kMarkers)
        if (GetDlgItem(*page, m.id) != nullptr)
            return m.name;
    return "";
}

std::string WaitPageAfter(const std::string& from, HWND* page, DWORD ms = 60000) {
    std::string name;
    WaitFor(
        [&] {
            name = PageName(page);
            return !name.empty() && name != from;
        },
        ms);
    return name;
}

std::wstring RegText(HKEY root, const wchar_t* key, const wchar_t* name) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    HKEY k;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return {};
    RegQueryValueExW(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return buf;
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Brellmark's main window, once it lists `rows` servers.
HWND WaitBrellmark(int rows, DWORD ms = 60000) {
    HWND main = nullptr;
    WaitFor(
        [&] {
            main = FindMainWindow();
            if (main == nullptr)
                return false;
            HWND list = FindWindowExW(main, nullptr, WC_LISTVIEWW, nullptr);
            return list != nullptr && RowCount(list) >= rows;
        },
        ms);
    return main;
}

void CloseBrellmark(HWND main) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
    if (process != nullptr) {
        WaitForSingleObject(process, Scaled(15000));
        CloseHandle(process);
    }
}

// Answers the uninstaller as a user would, by keys: Yes to the question,
// Finish on the result. It runs from a temporary copy of itself, which ends
// after the program started by the command line.
void RemoveProduct(Program& remover) {
    HWND confirm = WaitDialog(L"Tavix Brellmark 4.0.1 Uninstallation", 20000);
    ASSERT_NE(confirm, nullptr) << "no confirmation from the uninstaller";
    PostMessageW(confirm, WM_CHAR, L'y', 0);
    HWND result = WaitDialog(L"Uninstall Result", 60000);
    ASSERT_NE(result, nullptr) << "the uninstaller did not finish";
    EXPECT_EQ(FindWindowW(L"#32770", L"Remove Shared File"), nullptr)
        << "a file of this product alone is no shared file";
    Shot(result, L"uninstall-result");
    PostMessageW(result, WM_CHAR, L'f', 0);
    EXPECT_TRUE(remover.Exited(20000));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(result); }, 20000));
    remover.Kill();
}

TEST(Medium, FromTheBoxToAWorkingServerAndBack) {
    CoInitialize(nullptr);
    const std::wstring medium = WinePath(Env(L"TAVIX_MEDIUM"));
    const std::wstring productDir = Folder(CSIDL_PROGRAM_FILES) + L"\\Tavix";
    ASSERT_FALSE(Exists(productDir)) << "the prefix must start without the product";

    // The launcher, started in the medium's folder as from the CD's root.
    SetCurrentDirectoryW(medium.c_str());
    Program launcher;
    ASSERT_TRUE(launcher.Start(medium + L"\\KDZ_INIT.exe"));
    for (size_t page = 1; page <= 3; ++page) {
        HWND top = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                std::vector<HWND> pages = TopLevelWindows(launcher.pi.dwProcessId, L"MV-300");
                top = pages.size() == page ? pages.back() : nullptr;
                for (HWND w : pages)
                    if (IsWindowEnabled(w))
                        top = w;
                return pages.size() == page && IsWindowEnabled(top);
            },
            15000))
            << "launcher page " << page;
        Press(top, IDOK);
    }
    ASSERT_TRUE(launcher.Exited(15000));
    launcher.Kill();

    // The installer it started: the medium offers languages, so it asks first.
    HWND language = WaitDialog(L"Select Language", 20000);
    ASSERT_NE(language, nullptr) << "setup.exe did not start from the launcher";
    Press(language, IDOK);

    HWND page = nullptr;
    std::vector<std::string> seen;
    std::string name = WaitPageAfter("", &page);
    while (!name.empty() && name != "Result") {
        seen.push_back(name);
        if (name == "Licence") {
            const std::wstring text = WindowText(GetDlgItem(page, IDC_LICENCE_TEXT));
            EXPECT_NE(text.find(L"TAVIX BRELLMARK SOFTWARE LICENCE"), std::wstring::npos)
                << "the English licence for an English user";
        }
        if (name != "Copy")
            PostMessageW(Sheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        name = WaitPageAfter(name, &page);
    }
    ASSERT_EQ(name, "Result") << "pages seen: " << seen.size();
    EXPECT_EQ(seen, (std::vector<std::string>{"Welcome", "Licence", "Start", "Copy"}));
    Shot(GetParent(page), L"setup-result");
    PostMessageW(Sheet(), PSM_PRESSBUTTON, PSBTN_FINISH, 0);

    // What the installation left: the program, its help, the uninstall entry
    // and the links.
    EXPECT_TRUE(Exists(productDir + L"\\Brellmark.exe"));
    EXPECT_TRUE(Exists(productDir + L"\\kivouninstall.exe"));
    EXPECT_TRUE(Exists(productDir + L"\\KDZ_ENG.mht"));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"Tavix Brellmark 4.0.1");
    const std::wstring uninstall = RegText(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString");
    EXPECT_EQ(uninstall, productDir + L"\\kivouninstall.exe TavixBrellmark");
    std::wstring programs = Folder(CSIDL_COMMON_PROGRAMS) + L"\\Tavix";
    if (!Exists(programs))
        programs = Folder(CSIDL_PROGRAMS) + L"\\Tavix";
    const std::wstring lnk = programs + L"\\Brellmark.lnk";
    ASSERT_TRUE(Exists(lnk)) << "no Programs-menu link";
    LinkInfo link;
    ASSERT_TRUE(ReadLink(lnk, &link));
    EXPECT_EQ(link.target, productDir + L"\\Brellmark.exe");

    // The installer opens Brellmark when the user finishes; it finds the
    // four servers. Closed again, it is started from its link.
    HWND main = WaitBrellmark(4);
    ASSERT_NE(main, nullptr) << "Brellmark was not opened after the installation";
    CloseBrellmark(main);
    ASSERT_GT(reinterpret_cast<INT_PTR>(
                  ShellExecuteW(nullptr, L"open", lnk.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
              32);
    main = WaitBrellmark(4);
    ASSERT_NE(main, nullptr) << "Brellmark from its link listed no servers";
    Shot(main, L"brellmark-installed");
    CloseBrellmark(main);

    // Removal with the registered command line.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    Program remover;
    std::wstring cmd = uninstall;
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &remover.pi));
    RemoveProduct(remover);
    EXPECT_TRUE(WaitFor([&] { return !Exists(productDir); }, 20000))
        << "the product's folder is still there";
    EXPECT_FALSE(Exists(lnk));
    EXPECT_TRUE(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString").empty());
    CoUninitialize();
}

}  // namespace
