// End-to-end tests of help and web administration through the real shell:
// a stand-in browser, registered in this test prefix only as "IEXPLORE.EXE"
// and as the http and https handler, writes down what it was given.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/tests/win/session.h"

using namespace e2e;

namespace {

std::wstring Folder(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\') + 1);
}

bool SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

class ShellTest : public BrellmarkSession {
protected:
    std::wstring log_, installed_;

    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        log_ = std::wstring(temp) + L"browser.log";
        DeleteFileW(log_.c_str());
        SetEnvironmentVariableW(L"TAVIX_BROWSER_LOG", log_.c_str());
        // The program in a folder with blanks, the help files beside it.
        const std::wstring from = Folder(Path(L"TAVIX_BRELLMARK"));
        const std::wstring dir = std::wstring(temp) + L"Tavix Help Test\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        installed_ = dir + L"Brellmark.exe";
        ASSERT_TRUE(CopyFileW((from + L"Brellmark.exe").c_str(), installed_.c_str(), FALSE));
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((from + L"KDZ_*.mht").c_str(), &found);
        int helpFiles = 0;
        for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &found))
            helpFiles += CopyFileW((from + found.cFileName).c_str(),
                                   (dir + found.cFileName).c_str(), FALSE) != FALSE;
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
        ASSERT_EQ(helpFiles, 16);
        const std::wstring browser = from + L"tests\\standin_browser.exe";
        ASSERT_TRUE(
            SetValue(HKEY_LOCAL_MACHINE,
                     L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
                     nullptr, browser));
        // The prefix's own iexplore.exe is found before the App Paths entry,
        // and Wine prefers its built-in program to a file of that name.
        ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"iexplore.exe",
                             L"native"));
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        ASSERT_TRUE(
            CopyFileW(browser.c_str(), (std::wstring(system) + L"\\iexplore.exe").c_str(), FALSE));
        for (const wchar_t* scheme : {L"http", L"https"})
            ASSERT_TRUE(SetValue(HKEY_CLASSES_ROOT,
                                 std::wstring(scheme) + L"\\shell\\open\\command", nullptr,
                                 L"\"" + browser + L"\" \"%1\""));
        SetEnvironmentVariableW(L"TAVIX_BRELLMARK", installed_.c_str());
        ASSERT_TRUE(program.Start(installed_));
        ASSERT_TRUE(WaitFor([&] { return (main = FindMainWindow()) != nullptr; }, 30000));
        list = GetDlgItem(main, IDC_SERVER_LIST);
        ASSERT_TRUE(WaitFor([&] { return RowCount(list) == 3; }, 20000));
    }

    // The command lines the stand-in got, after waiting for the `count`-th.
    std::vector<std::wstring> Calls(size_t count) {
        std::vector<std::wstring> lines;
        WaitFor(
            [&] {
                lines.clear();
                for (const std::string& l : ReadLines(log_)) {
                    std::wstring w(l.begin(), l.end());
                    if (!w.empty() && w[0] == 0xFEFF)
                        w.erase(0, 1);
                    lines.push_back(w);
                }
                return lines.size() >= count;
            },
            15000);
        return lines;
    }
    static bool EndsWith(const std::wstring& s, const std::wstring& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    }
};

}  // namespace

TEST_F(ShellTest, HelpByLocaleAndWebAdministrationByKind) {
    const std::wstring folder = Folder(installed_);
    // The locale and the help file it opens.
    const std::pair<const wchar_t*, const wchar_t*> help[] = {{L"00000407", L"KDZ_DUE.mht"},
                                                              {L"00000409", L"KDZ_ENG.mht"},
                                                              {L"0000040A", L"KDZ_ENG.mht"}};
    size_t calls = 0;
    for (const auto& [locale, file] : help) {
        ASSERT_TRUE(
            SetValue(HKEY_CURRENT_USER, L"Control Panel\\International", L"Locale", locale));
        Press(main, IDC_HELP_BUTTON);
        const auto lines = Calls(++calls);
        ASSERT_EQ(lines.size(), calls) << "the browser was not started";
        // The whole path, blanks and all, as one quoted parameter.
        EXPECT_TRUE(EndsWith(lines.back(), L"\"" + folder + file + L"\""))
            << std::string(lines.back().begin(), lines.back().end());
        EXPECT_NE(GetFileAttributesW((folder + file).c_str()), INVALID_FILE_ATTRIBUTES)
            << "no help file beside the program";
    }
    // The server and the address its web administration opens.
    const std::pair<const wchar_t*, const wchar_t*> web[] = {
        {L"WEB-KIND0", L"\"http://10.77.4.10\""},
        {L"WEB-KIND1", L"\"https://10.77.4.11:8098/\""},
        {L"WEB-KIND2", L"\"http://10.77.4.12:6000/\""}};
    for (const auto& [name, address] : web) {
        const int row = RowOf(name);
        ASSERT_GE(row, 0);
        ClickRow(row);
        ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) == row; }, 5000));
        const RECT r = ItemRect(list, row);
        const LPARAM at = MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2);
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(list, WM_LBUTTONUP, 0, at);
        const auto lines = Calls(++calls);
        ASSERT_EQ(lines.size(), calls) << "no browser for " << std::string(name, name + 9);
        EXPECT_TRUE(EndsWith(lines.back(), address))
            << std::string(lines.back().begin(), lines.back().end());
    }
}
