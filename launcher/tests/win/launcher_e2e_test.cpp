// The real KDZ_INIT.exe under Wine, driven by window messages: the pages'
// size, place and controls, Next through to the installer (a probe program
// standing in for setup.exe records its start) by button and by Return,
// every way out of each page (Cancel, Escape, Alt+F4, the close box), and a
// missing installer. Screenshots of the three pages go to $TAVIX_SHOT_DIR.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/launcher/resource.h"
#include "ui/testing/keys.h"
#include "ui/testing/remote.h"

using namespace e2e;

namespace {

const wchar_t kCaption[] = L"MV-300";
const wchar_t* const kTexts[] = {
    L"Connect MV-300 to a hub/switch/router or PC/notebook with network cable according to your "
    L"network environment.",
    L"Connect MV-300 to the power supply.",
    L"Turn on MV-300. Please wait until the Power LED glows in blue, the LAN LED glows in orange, "
    L"and the Status LED glows in green."};

RECT ClientRect(HWND dialog, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct Case {
    const char* name;
    bool installerPresent;
    int cancelOnPage;  // 0: Next on every page
    Way way;           // how the page is left: Next or Cancel by button, or a key
    int expectedStarts;
};

class LauncherRun : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        static int n = 0;
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        dir_ = std::wstring(tmp) + L"tavix_launcher_" + std::to_wstring(GetCurrentProcessId()) +
               L"_" + std::to_wstring(++n);
        CreateDirectoryW(dir_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(WinePath(Env(L"TAVIX_LAUNCHER_EXE")).c_str(),
                              (dir_ + L"\\KDZ_INIT.exe").c_str(), FALSE));
        // Names repeat between runs (Wine reuses process ids): start clean.
        DeleteFileW((dir_ + L"\\setup.exe").c_str());
        DeleteFileW((dir_ + L"\\probe.txt").c_str());
        if (GetParam().installerPresent) {
            ASSERT_TRUE(CopyFileW(WinePath(Env(L"TAVIX_PROBE_EXE")).c_str(),
                                  (dir_ + L"\\setup.exe").c_str(), FALSE));
        }
        probe_ = dir_ + L"\\probe.txt";
        SetEnvironmentVariableW(L"TAVIX_PROBE_FILE", probe_.c_str());
        SetCurrentDirectoryW(dir_.c_str());
    }
    void TearDown() override {
        program_.Kill();
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        SetCurrentDirectoryW(tmp);
    }

    // The page on top: the last of the stacked pages, the only enabled one.
    HWND WaitForPage(size_t number) {
        HWND page = nullptr;
        WaitFor(
            [&] {
                std::vector<HWND> pages = TopLevelWindows(program_.pi.dwProcessId, kCaption);
                page = nullptr;
                if (pages.size() != number)
                    return false;
                for (HWND w : pages)
                    if (IsWindowEnabled(w))
                        page = w;
                return page != nullptr;
            },
            10000);
        return page;
    }

    // Every way ends the launcher with exit code 0 and nothing left on screen,
    // having started the installer `starts` times.
    void ExpectEnded(int starts) {
        ASSERT_TRUE(program_.Exited(10000)) << "the launcher did not end";
        DWORD code = 1;
        GetExitCodeProcess(program_.pi.hProcess, &code);
        EXPECT_EQ(code, 0u);
        WaitFor([&] { return ReadLines(probe_).size() >= static_cast<size_t>(starts); },
                starts > 0 ? 10000 : 1000);
        std::vector<std::string> lines = ReadLines(probe_);
        ASSERT_EQ(lines.size(), static_cast<size_t>(starts));
        if (!lines.empty()) {
            EXPECT_EQ(lines[0].substr(0, lines[0].find('|')), "setup.exe");
        }
    }

    std::wstring dir_, probe_;
    Program program_;
};

TEST_P(LauncherRun, PagesThenInstaller) {
    const Case& c = GetParam();
    ASSERT_TRUE(program_.Start(dir_ + L"\\KDZ_INIT.exe"));
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const int last = c.cancelOnPage == 0 ? 3 : c.cancelOnPage;
    for (int number = 1; number <= last; ++number) {
        SCOPED_TRACE("page " + std::to_string(number));
        HWND page = WaitForPage(static_cast<size_t>(number));
        ASSERT_NE(page, nullptr);
        std::vector<std::wstring> texts = StaticTexts(page);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], kTexts[number - 1]);

        // 640 x 480, centred; each page exactly over the one beneath it.
        RECT w;
        GetWindowRect(page, &w);
        EXPECT_EQ(w.left, screenW / 2 - 320);
        EXPECT_EQ(w.top, screenH / 2 - 240);
        EXPECT_EQ(w.right - w.left, 640);
        EXPECT_EQ(w.bottom - w.top, 480);
        const RECT next = ClientRect(page, IDOK), cancel = ClientRect(page, IDCANCEL);
        const RECT text = ClientRect(page, IDC_PAGE_TEXT);
        EXPECT_EQ(next.left, 350);
        EXPECT_EQ(next.right - next.left, 100);
        EXPECT_EQ(cancel.left, 480);
        EXPECT_EQ(cancel.right - cancel.left, 100);
        EXPECT_EQ(next.top, cancel.top);
        EXPECT_EQ(text.left, 80);
        EXPECT_EQ(text.top, 310);
        RECT client;
        GetClientRect(page, &client);
        EXPECT_LE(next.bottom, client.bottom) << "Next falls off the page";
        EXPECT_LE(text.bottom, next.top) << "the text runs into the buttons";
        EXPECT_EQ(WindowText(GetDlgItem(page, IDOK)), L"Next");
        EXPECT_EQ(WindowText(GetDlgItem(page, IDCANCEL)), L"Cancel");

        if (c.installerPresent && c.cancelOnPage == 0) {
            WaitFor([] { return false; }, 400);
            SaveScreenshot(page, WinePath(Env(L"TAVIX_SHOT_DIR") + L"/launcher-page" +
                                          std::to_wstring(number) + L".bmp"));
        }
        if (number == c.cancelOnPage || c.cancelOnPage == 0)
            Leave(page, c.way, number == c.cancelOnPage ? IDCANCEL : IDOK);
        else
            Press(page, IDOK);
    }

    ExpectEnded(c.expectedStarts);
}

const Case kCases[] = {
    {"NextThrice", true, 0, Way::kButton, 1},        {"ReturnThrice", true, 0, Way::kReturn, 1},
    {"InstallerMissing", false, 0, Way::kButton, 0}, {"CancelOnPage1", true, 1, Way::kButton, 0},
    {"EscapeOnPage1", true, 1, Way::kEscape, 0},     {"AltF4OnPage1", true, 1, Way::kAltF4, 0},
    {"CloseBoxOnPage1", true, 1, Way::kCloseBox, 0}, {"CancelOnPage2", true, 2, Way::kButton, 0},
    {"EscapeOnPage2", true, 2, Way::kEscape, 0},     {"AltF4OnPage2", true, 2, Way::kAltF4, 0},
    {"CloseBoxOnPage2", true, 2, Way::kCloseBox, 0}, {"CancelOnPage3", true, 3, Way::kButton, 0},
    {"EscapeOnPage3", true, 3, Way::kEscape, 0},     {"AltF4OnPage3", true, 3, Way::kAltF4, 0},
    {"CloseBoxOnPage3", true, 3, Way::kCloseBox, 0},
};

INSTANTIATE_TEST_SUITE_P(Launcher, LauncherRun, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The three pages by keyboard alone: Return is Next on each (the third
// starts the installer), or Escape is Cancel on the third; the checks of
// ui/testing/keys.h on every page.
class LauncherKeys : public LauncherRun {};

TEST_P(LauncherKeys, WalksEveryPage) {
    const Case& c = GetParam();
    ASSERT_TRUE(program_.Start(dir_ + L"\\KDZ_INIT.exe"));
    const std::vector<KeyStep> steps = {
        {L"1", VK_RETURN, L"2"},
        {L"2", VK_RETURN, L"3"},
        {L"3", c.cancelOnPage == 3 ? static_cast<UINT>(VK_ESCAPE) : VK_RETURN, L""},
    };
    // Page n is on top while n pages are open.
    const auto find = [&](const std::wstring& name) -> HWND {
        const auto pages = TopLevelWindows(program_.pi.dwProcessId, kCaption);
        if (pages.size() != std::wcstoul(name.c_str(), nullptr, 10))
            return nullptr;
        for (HWND w : pages)
            if (IsWindowEnabled(w))
                return w;
        return nullptr;
    };
    KeyWalk walk;
    walk.find = find;
    walk.Walk(steps);
    EXPECT_TRUE(walk.faults.empty()) << walk.Report();
    ExpectEnded(c.expectedStarts);
}

const Case kKeyCases[] = {{"ReturnThrice", true, 0, Way::kReturn, 1},
                          {"EscapeOnPage3", true, 3, Way::kEscape, 0}};
INSTANTIATE_TEST_SUITE_P(Keyboard, LauncherKeys, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
