// End-to-end tests of the real Brellmark.exe against the virtual NAS. The
// test script starts the virtual servers in the server namespace and this
// program under Wine in the client namespace; it starts Brellmark.exe, drives
// it with window messages and reads the virtual NAS's log.
#include <algorithm>
#include <map>

#include "app/tests/win/session.h"
#include "ui/testing/keys.h"

using namespace e2e;

namespace {

std::map<std::wstring, Row> ByAddress(const std::vector<Row>& rows) {
    std::map<std::wstring, Row> m;
    for (const auto& r : rows)
        m[r[1]] = r;
    return m;
}

class BrellmarkTest : public BrellmarkSession {
protected:
    size_t logStart = 0;  // the log lines before this test's program started

    std::vector<std::string> Received() { return LogLines("rx ", logStart); }
    // Discoveries started: each sends one limited broadcast (and, besides it,
    // one directed broadcast per adapter).
    static long Discoveries(const std::vector<std::string>& rx,
                            const char* dst = "255.255.255.255") {
        return std::count_if(rx.begin(), rx.end(), [&](const std::string& l) {
            return Has(l, "cmd=1") && Has(l, std::string("dst=") + dst + ":8097");
        });
    }

    void SetUp() override {
        logStart = Log().size();
        BrellmarkSession::SetUp();
    }

    // Waits until `n` rows exist and `filled` of them show a System State.
    std::vector<Row> WaitRows(int n, int filled, DWORD ms = 20000) {
        std::vector<Row> rows;
        WaitFor(
            [&] {
                if (RowCount(list) < n)
                    return false;
                rows = Rows(list);
                const auto withState = std::count_if(rows.begin(), rows.end(),
                                                     [](const Row& r) { return !r[4].empty(); });
                return static_cast<int>(rows.size()) == n && withState >= filled;
            },
            ms);
        return rows;
    }
};

}  // namespace

TEST_F(BrellmarkTest, ListsFourServersAsTheyAnswer) {
    const auto rows = WaitRows(4, 3);
    ASSERT_EQ(rows.size(), 4u);
    auto m = ByAddress(rows);
    EXPECT_EQ(m[L"10.77.0.11"], (Row{L"NAS-1", L"10.77.0.11", L"WORKGROUP", L"w1.23060920",
                                     L"System is configured."}));
    EXPECT_EQ(m[L"10.77.0.12"],
              (Row{L"NAS-2", L"10.77.0.12", L"HOME", L"2.1", L"Not yet configured."}));
    EXPECT_EQ(m[L"10.77.0.13"], (Row{L"NAS-3", L"10.77.0.13", L"WORKGROUP", L"2.13", L"--"}));
    // Its status reply names NAS-4, which no row shows: Version and State stay empty.
    EXPECT_EQ(m[L"10.77.0.14"], (Row{L"Office Storage", L"10.77.0.14", L"OFFICE", L"", L""}));

    // The log: the discovery broadcast, then one status request per server,
    // addressed by its id, "Cl", numbered 2. The directed broadcast of the
    // client's subnet follows once the first replies have paused.
    ASSERT_TRUE(WaitFor([&] { return Discoveries(Received(), "10.77.255.255") == 1; }, 10000));
    Settle(300);
    const auto rx = Received();
    ASSERT_FALSE(rx.empty());
    EXPECT_TRUE(Has(rx[0], "cmd=1") && Has(rx[0], "len=16") && Has(rx[0], "seq=0") &&
                Has(rx[0], "id=00:00:00:00:00:00") && Has(rx[0], "origin=0000") &&
                Has(rx[0], "dst=255.255.255.255:8097"))
        << rx[0];
    for (const char* mac :
         {"00:11:32:aa:00:01", "00:11:32:aa:00:02", "00:11:32:aa:00:03", "00:11:32:aa:00:04"}) {
        const auto n = std::count_if(rx.begin(), rx.end(), [&](const std::string& l) {
            return Has(l, "cmd=5") && Has(l, std::string("id=") + mac);
        });
        EXPECT_EQ(n, 1) << mac;
        const auto good = std::count_if(rx.begin(), rx.end(), [&](const std::string& l) {
            return Has(l, "cmd=5") && Has(l, std::string("id=") + mac) && Has(l, "origin=436c") &&
                   Has(l, "seq=2") && Has(l, "len=16");
        });
        EXPECT_EQ(good, 1) << mac;
    }
    // One discovery: the limited broadcast and the same 16 bytes to the
    // client adapter's subnet, answered twice by each server, listed once.
    EXPECT_EQ(Discoveries(rx), 1);
    EXPECT_EQ(Discoveries(rx, "10.77.255.255"), 1);
    for (const auto& l : rx) {
        if (Has(l, "cmd=1")) {
            EXPECT_TRUE(Has(l, "len=16") && Has(l, "seq=0") && Has(l, "id=00:00:00:00:00:00")) << l;
        }
    }

    // NAS-2 brought up the offer to set it up; cancelled, it leaves the list
    // as it was.
    HWND prompt = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (prompt = FindTopLevel(pid(), L"Quick Configuration Wizard")) != nullptr; },
        5000));
    EXPECT_TRUE(Contains(StaticTexts(prompt),
                         L"The server 'NAS-2' (10.77.0.12) is not configured yet, would  you like "
                         L"to set it up now?\n\nThe Quick Configuration Wizard will guide you "
                         L"through the configuration process."));
    Press(prompt, IDCANCEL);
    ASSERT_TRUE(Gone(prompt));
    EXPECT_EQ(Rows(list), rows);

    const std::wstring out = Env(L"TAVIX_OUT");
    if (!out.empty()) {
        // Let the busy clip and the banner settle before the picture.
        WaitFor([] { return false; }, 300);
        EXPECT_TRUE(SaveScreenshot(main, WinePath(out + L"/brellmark-main.bmp")));
    }
}

TEST_F(BrellmarkTest, SortingReversesAndKeepsRecordsWithRows) {
    ASSERT_EQ(WaitRows(4, 3).size(), 4u);
    std::vector<Row> rows;
    // Clicks the header of `column`, then waits for `text` in that column of row `row`.
    // The list is read item by item, so a sort can fall between two reads: a
    // read counts once a second one finds the same.
    const auto sortBy = [&](int column, int row, const wchar_t* text) {
        ClickHeader(column);
        return WaitFor(
            [&] {
                rows = Rows(list);
                return rows[row][column] == text && Rows(list) == rows;
            },
            5000);
    };
    // First click on Name: descending.
    ASSERT_TRUE(sortBy(0, 0, L"Office Storage"));
    EXPECT_EQ(rows[3][0], L"NAS-1");
    ASSERT_TRUE(sortBy(0, 0, L"NAS-1"));
    EXPECT_EQ(rows[1][0], L"NAS-2");
    EXPECT_EQ(rows[3][0], L"Office Storage");

    // Workgroup: ascending, then the exact reverse, so the two WORKGROUP rows swap.
    ASSERT_TRUE(sortBy(2, 0, L"HOME"));
    ASSERT_EQ(rows[2][2], L"WORKGROUP");
    const std::wstring firstEqual = rows[2][1], secondEqual = rows[3][1];
    ASSERT_TRUE(sortBy(2, 3, L"HOME"));
    EXPECT_EQ(rows[0][1], secondEqual);
    EXPECT_EQ(rows[1][1], firstEqual);

    // After the sort, "&Configure" acts on the highlighted server.
    const int row = RowOf(L"NAS-3");
    ASSERT_GE(row, 0);
    ClickRow(row);
    ASSERT_TRUE(WaitFor(
        [&] {
            return SelectedRow(list) == row && IsWindowEnabled(GetDlgItem(main, IDC_CONFIGURE));
        },
        5000));
    Press(main, IDC_CONFIGURE);
    HWND login = WaitDialog(L"Administrator Login");
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(login, IDC_ADMIN_NAME)), L"Administrator");
    Press(login, IDOK);
    // NAS-3 wants admin/admin: the login is refused.
    HWND error = WaitDialog(L"Error");
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(
        Contains(StaticTexts(error), L"Incorrect name or password, please check and enter again."));
    Press(error, IDOK);
    const auto rx = Received();
    const auto login3 = std::count_if(rx.begin(), rx.end(), [](const std::string& l) {
        return Has(l, "cmd=3") && Has(l, "id=00:11:32:aa:00:03") && Has(l, "origin=436c") &&
               Has(l, "seq=4");
    });
    EXPECT_EQ(login3, 1);
    const auto logins =
        std::count_if(rx.begin(), rx.end(), [](const std::string& l) { return Has(l, "cmd=3"); });
    EXPECT_EQ(logins, 1);
}

TEST_F(BrellmarkTest, SecondStartBringsTheFirstWindowForward) {
    ASSERT_EQ(WaitRows(4, 3).size(), 4u);
    ShowWindow(main, SW_MINIMIZE);
    Program second;
    ASSERT_TRUE(second.Start(Path(L"TAVIX_BRELLMARK")));
    EXPECT_TRUE(second.Exited(20000));
    second.Kill();
    EXPECT_FALSE(IsIconic(main));
    EXPECT_EQ(TopLevelWindows(pid(), L"Tavix").size(), 1u);
    // The second copy sent nothing: still exactly one discovery in the log.
    const auto rx = Received();
    EXPECT_EQ(Discoveries(rx), 1);
}

TEST_F(BrellmarkTest, RefreshDiscoversAgain) {
    ASSERT_EQ(WaitRows(4, 3).size(), 4u);
    Press(main, IDC_REFRESH);
    // The press is posted: the old rows may still be read before it is
    // handled, so wait for the new discovery first.
    ASSERT_TRUE(WaitFor([&] { return Discoveries(Received()) >= 2; }, 10000));
    ASSERT_EQ(WaitRows(4, 3).size(), 4u);
    Settle();
    EXPECT_EQ(Discoveries(Received()), 2);
}

TEST_F(BrellmarkTest, AServerAsksForANewDiscovery) {
    ASSERT_EQ(WaitRows(4, 3).size(), 4u);
    ASSERT_TRUE(VnasControl("rediscover NAS-2"));
    // The list is emptied and filled again by a second discovery.
    ASSERT_TRUE(WaitFor([&] { return Discoveries(Received()) == 2; }, 10000));
    EXPECT_EQ(WaitRows(4, 3).size(), 4u);
}

TEST_F(BrellmarkTest, AboutBoxAndEscape) {
    ASSERT_EQ(WaitRows(4, 3).size(), 4u);
    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = WaitDialog(L"About Tavix");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(Contains(StaticTexts(about), L"Tavix Version 4.0.1"));
    Press(about, IDOK);
    ASSERT_TRUE(WaitFor([&] { return FindTopLevel(pid(), L"About Tavix") == nullptr; }, 5000));
    // Escape closes the main window like "E&xit" and ends the program.
    PostMessageW(GetDlgItem(main, IDC_EXIT), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(program.Exited(10000));
    main = nullptr;
}

// Run without any virtual server.
TEST_F(BrellmarkTest, NoServersIsShownOncePerDiscovery) {
    EXPECT_EQ(RowCount(list), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_CONFIGURE)));
    // The discovery window ends; a second expiry while the dialog is open shows nothing more.
    PostMessageW(main, WM_TIMER, 100, 0);
    HWND dlg = nullptr;
    auto noServers = [&] {
        std::vector<HWND> found;
        for (HWND w : TopLevelWindows(pid(), L"Tavix"))
            if (w != main)
                found.push_back(w);
        return found;
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            auto f = noServers();
            return !f.empty() && (dlg = f[0]);
        },
        10000));
    PostMessageW(main, WM_TIMER, 100, 0);
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(noServers().size(), 1u);
    EXPECT_TRUE(Contains(
        StaticTexts(dlg),
        L"Cannot detect any servers on the local network. Please check the following items:"));
    // By keyboard: Return closes it.
    KeyWalk walk;
    walk.find = [&](const std::wstring& name) -> HWND {
        const auto f = noServers();
        if (name == L"Tavix")
            return f.empty() ? main : nullptr;
        return f.empty() ? nullptr : f[0];
    };
    EXPECT_TRUE(walk.Walk({{L"no servers", VK_RETURN, L"Tavix"}}));
    EXPECT_TRUE(walk.faults.empty()) << walk.Report();

    // The discovery report: the adapter was asked, nobody answered, and the
    // hints say what to check.
    PostMessageW(main, WM_SYSCOMMAND, IDM_DISCOVERY_REPORT, 0);
    HWND report = WaitDialog(L"Discovery Report");
    ASSERT_NE(report, nullptr);
    const auto rows = Rows(GetDlgItem(report, IDC_REPORT_LIST));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (Row{L"10.77.0.2", L"255.255.0.0", L"10.77.255.255", L"0", L"0"}));
    const std::wstring hints = WindowText(GetDlgItem(report, IDC_REPORT_HINTS));
    for (const wchar_t* hint : {L"- No server answered. A firewall", L"- A VPN or a virtual",
                                L"use Find by Address... with its IP address."})
        EXPECT_NE(hints.find(hint), std::wstring::npos) << Narrow(hints);
    Press(report, IDOK);
    EXPECT_TRUE(Gone(report));
}

// Run against five hundred virtual servers.
TEST_F(BrellmarkTest, FiveHundredServersAreAllListed) {
    // Watch the System State column cheaply: rows already filled stay filled,
    // so each poll reads only from the first row still empty.
    int firstEmpty = 0;
    FILETIME done = {};
    const bool complete = WaitFor(
        [&] {
            firstEmpty = FirstEmptyCell(list, 4, firstEmpty);
            if (firstEmpty < 500)
                return false;
            GetSystemTimeAsFileTime(&done);
            return true;
        },
        60000);
    ASSERT_TRUE(complete) << RowCount(list) << " rows, " << firstEmpty << " with a state";
    const auto rows = Rows(list);
    ASSERT_EQ(rows.size(), 500u);
    int filled = 0;
    for (const auto& r : rows)
        filled += r[3] == L"2.13" && r[4] == L"System is configured.";
    EXPECT_EQ(filled, 500);
    // Unix time of completion in microseconds, for the script's report.
    const ULONGLONG t = (static_cast<ULONGLONG>(done.dwHighDateTime) << 32) | done.dwLowDateTime;
    std::printf("list-complete-us=%llu\n", (t - 116444736000000000ULL) / 10);
}
