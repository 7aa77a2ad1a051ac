// Waking a sleeping server, end to end (brellmark_e2e.sh, scenario "wake"):
// listed, put to sleep, woken from "Wake Up a Server" by keyboard and listed
// again; the virtual NAS logs every magic packet byte for byte.
#include <set>

#include "app/tests/win/session.h"

using namespace e2e;

namespace {

const std::wstring kWakeCaption = L"Wake Up a Server";

class WakeTest : public BrellmarkSession {
protected:
    // The remembered server's record in the registry, empty when none.
    static std::string Record(const char* mac) {
        char value[256] = {};
        DWORD size = sizeof value - 1;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kivo\\Servers", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return "";
        const LONG r =
            RegQueryValueExA(key, mac, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        return r == ERROR_SUCCESS ? value : "";
    }
    // The record without its time: "1;address;name".
    static std::string Untimed(const std::string& record) {
        const size_t a = record.find(';', 2), b = record.find(';', a + 1);
        return a == std::string::npos || b == std::string::npos
                   ? record
                   : record.substr(0, a) + record.substr(b);
    }
    // From the system menu, or from the list's menu.
    HWND OpenWake(bool listMenu = false) {
        if (listMenu)
            PostMessageW(main, WM_COMMAND, ID_WAKE_UP, 0);
        else
            PostMessageW(main, WM_SYSCOMMAND, IDM_WAKE_UP, 0);
        return WaitDialog(kWakeCaption);
    }
    void SleepAndRefresh(const char* name, int remaining) {
        ASSERT_TRUE(VnasControl(std::string("sleep ") + name));
        ASSERT_GE(WaitLine(0,
                           [&](const std::string& l) {
                               return l.rfind(std::string("event sleep server=\"") + name, 0) == 0;
                           }),
                  0);
        Press(main, IDC_REFRESH);
        WaitListed(remaining);
        // The remembered servers are written once the burst is over.
        PostMessageW(main, WM_TIMER, 112 /*kWakeSaveTimer*/, 0);
        Settle(300);
    }
};

}  // namespace

TEST_F(WakeTest, ListedThenAsleepThenWokenFromTheDialog) {
    WaitListed(2);
    // Of the records an earlier run left, the valid one is offered; the
    // others were never trusted and are gone from the registry.
    HWND dlg = OpenWake();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Rows(GetDlgItem(dlg, IDC_WAKE_LIST), 3),
              (std::vector<Row>{Row{L"GHOST-1", L"00:11:32:cc:00:aa", L"10.77.5.10"}}));
    for (const char* bad : {"001132cc00b1", "001132cc00b2", "001132cc00b3"})
        EXPECT_EQ(Record(bad), "") << bad;
    // Forgotten by its button: none left to wake.
    Press(dlg, IDC_WAKE_FORGET);
    EXPECT_TRUE(WaitFor([&] { return RowCount(GetDlgItem(dlg, IDC_WAKE_LIST)) == 0; }, 5000));
    EXPECT_EQ(Record("001132cc00aa"), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
    EXPECT_TRUE(Contains(StaticTexts(dlg),
                         L"Every server listed before answers now: there is "
                         L"none to wake up."));
    Press(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(dlg));

    SleepAndRefresh("WAKE-1", 1);
    EXPECT_EQ(Untimed(Record("001132cc0001")), "1;10.77.5.1;WAKE-1");
    EXPECT_EQ(Untimed(Record("001132cc0002")), "1;10.77.5.2;OTHER-1");
    EXPECT_EQ(Record("001132cc0003"), "");

    // Only the server seen before and missing now is offered; the one never
    // seen cannot be chosen.
    dlg = OpenWake();
    ASSERT_NE(dlg, nullptr);
    HWND rows = GetDlgItem(dlg, IDC_WAKE_LIST);
    const auto offered = Rows(rows, 3);
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0], (Row{L"WAKE-1", L"00:11:32:cc:00:01", L"10.77.5.1"}));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
    const std::wstring out = Env(L"TAVIX_OUT");
    if (!out.empty()) {
        Settle(300);
        EXPECT_TRUE(SaveScreenshot(dlg, WinePath(out + L"/wake-up.bmp")));
    }
    // Enter in the list wakes the highlighted server.
    const size_t from = Log().size();
    Key(rows, VK_RETURN);
    ASSERT_TRUE(Gone(dlg));

    // The magic packet, byte for byte, to the limited broadcast and to the
    // adapter's directed broadcast on port 9, and nowhere else.
    std::string magic = "ffffffffffff";
    for (int i = 0; i < 16; ++i)
        magic += "001132cc0001";
    ASSERT_GE(WaitLine(from,
                       [](const std::string& l) {
                           return l.rfind("event wake server=\"WAKE-1\" seconds=2", 0) == 0;
                       }),
              0);
    Settle(300);
    std::set<std::string> destinations;
    for (const auto& l : LogLines("rx-wake ", from)) {
        EXPECT_TRUE(Has(l, "bytes=" + magic)) << l;
        EXPECT_TRUE(Has(l, "len=102")) << l;
        destinations.insert(l.substr(l.find(" dst=") + 5, l.find(" len=") - l.find(" dst=") - 5));
    }
    EXPECT_EQ(destinations, (std::set<std::string>{"255.255.255.255:9", "10.77.255.255:9"}));

    // Once it is up, the new discovery (its wait cut short) lists it again
    // and the user is told.
    ASSERT_GE(WaitLine(from,
                       [](const std::string& l) {
                           return l.rfind("event restart-end server=\"WAKE-1\"", 0) == 0;
                       }),
              0);
    PostMessageW(main, WM_TIMER, 110 /*kWakeWaitTimer*/, 0);
    EXPECT_TRUE(Answer(L"Tavix",
                       L"WAKE-1 is awake and listed again. Its disks may need up to 60 "
                       L"seconds to spin up."));
    WaitListed(2);

    // Another server, slow to wake: the new discovery finds nothing and the
    // user is told to wait for its disks.
    SleepAndRefresh("OTHER-1", 1);
    dlg = OpenWake(true);
    ASSERT_NE(dlg, nullptr);
    rows = GetDlgItem(dlg, IDC_WAKE_LIST);
    ASSERT_EQ(Rows(rows, 1), (std::vector<Row>{Row{L"OTHER-1"}}));
    Press(dlg, IDOK);
    ASSERT_TRUE(Gone(dlg));
    ASSERT_GE(WaitLine(from,
                       [](const std::string& l) {
                           return l.rfind("event wake server=\"OTHER-1\" seconds=60", 0) == 0;
                       }),
              0);
    PostMessageW(main, WM_TIMER, 110 /*kWakeWaitTimer*/, 0);
    PostMessageW(main, WM_TIMER, 111 /*kWakeAnswerTimer*/, 0);
    EXPECT_TRUE(Answer(L"Warning",
                       L"OTHER-1 has not answered yet. Its disks may need up to 60 seconds to "
                       L"spin up: press Refresh then. If it still does not answer, check that "
                       L"its wake-on-LAN is enabled."));
    WaitListed(1);

    // Forgotten by the Delete key, in the registry too; Escape closes the
    // dialog.
    dlg = OpenWake(true);
    ASSERT_NE(dlg, nullptr);
    rows = GetDlgItem(dlg, IDC_WAKE_LIST);
    ASSERT_EQ(Rows(rows, 1), (std::vector<Row>{Row{L"OTHER-1"}}));
    Key(rows, VK_DELETE);
    EXPECT_TRUE(WaitFor([&] { return RowCount(rows) == 0; }, 5000));
    EXPECT_EQ(Record("001132cc0002"), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
    Key(GetDlgItem(dlg, IDCANCEL), VK_ESCAPE);
    ASSERT_TRUE(Gone(dlg));
    EXPECT_EQ(Untimed(Record("001132cc0001")), "1;10.77.5.1;WAKE-1");
}
