// Discovery beyond the one broadcast, end to end: the client has two adapters
// on two subnets with a virtual NAS on each, and a server sits in a third
// subnet that only routing reaches (brellmark_e2e.sh, scenario "subnets").
// Each subnet's virtual NAS writes a log of its own.
#include <algorithm>
#include <map>

#include "app/tests/win/session.h"

using namespace e2e;

namespace {

const std::wstring kFindCaption = L"Find by Address";
const std::wstring kReportCaption = L"Discovery Report";

class DiscoveryTest : public BrellmarkSession {
protected:
    static std::vector<std::string> LogOf(const wchar_t* env) { return ReadLines(Path(env)); }
    // Discovery requests a log received with this destination.
    static long DiscoversTo(const std::vector<std::string>& log, const std::string& dst) {
        return std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.rfind("rx ", 0) == 0 && Has(l, "cmd=1") && Has(l, "dst=" + dst + ":8097");
        });
    }
    std::map<std::wstring, Row> ByAddress() {
        std::map<std::wstring, Row> m;
        for (const auto& r : Rows(list))
            m[r[1]] = r;
        return m;
    }
    // Find by Address from the system menu: types `text` and presses OK.
    HWND OpenFind() {
        PostMessageW(main, WM_SYSCOMMAND, IDM_FIND_ADDRESS, 0);
        return WaitDialog(kFindCaption);
    }
    void Find(const std::wstring& text) {
        HWND dlg = OpenFind();
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(SetText(GetDlgItem(dlg, IDC_FIND_ADDRESS), text));
        Press(dlg, IDOK);
        ASSERT_TRUE(Gone(dlg));
    }
};

}  // namespace

TEST_F(DiscoveryTest, EveryAdapterThenATypedAddressThenTheReport) {
    // Both subnets are listed, each server once, both TWINs by their address.
    WaitListed(3);
    auto rows = ByAddress();
    EXPECT_EQ(rows[L"10.77.1.1"],
              (Row{L"TWIN", L"10.77.1.1", L"FIRST", L"2.13", L"System is configured."}));
    EXPECT_EQ(rows[L"10.77.1.2"][4], L"Not yet configured.");
    EXPECT_EQ(rows[L"10.78.1.1"],
              (Row{L"TWIN", L"10.78.1.1", L"SECOND", L"2.13", L"System is configured."}));
    // The limited broadcast reached the first subnet only; the second heard
    // its own directed broadcast at once; the first subnet's directed
    // broadcast followed once the first replies paused; the routed server
    // heard nothing.
    ASSERT_TRUE(WaitFor([] { return DiscoversTo(Log(), "10.77.255.255") == 1; }, 30000));
    Settle();
    const auto first = Log();
    const auto second = LogOf(L"TAVIX_VNAS_LOG_SECOND");
    EXPECT_EQ(DiscoversTo(first, "255.255.255.255"), 1);
    EXPECT_EQ(DiscoversTo(first, "10.77.255.255"), 1);
    EXPECT_EQ(DiscoversTo(second, "255.255.255.255"), 0);
    EXPECT_EQ(DiscoversTo(second, "10.78.255.255"), 1);
    const auto routed = LogOf(L"TAVIX_VNAS_LOG_ROUTED");
    EXPECT_EQ(std::count_if(routed.begin(), routed.end(),
                            [](const std::string& l) { return l.rfind("rx ", 0) == 0; }),
              0);
    // Each first-subnet server answered twice and was asked for its status once.
    EXPECT_EQ(std::count_if(
                  first.begin(), first.end(),
                  [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=5"); }),
              2);

    // A mistyped address is refused with its reason and the dialog stays.
    HWND dlg = OpenFind();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(SetText(GetDlgItem(dlg, IDC_FIND_ADDRESS), L"10.79.1.300"));
    Press(dlg, IDOK);
    EXPECT_TRUE(Answer(L"Error",
                       L"10.79.1.300 is not the address of a server. Please type the "
                       L"server's IP address, for example 192.168.1.20."));
    ASSERT_TRUE(IsWindow(dlg));
    // The routed server by its host name (from the client's hosts file).
    ASSERT_TRUE(SetText(GetDlgItem(dlg, IDC_FIND_ADDRESS), L" farnas "));
    Press(dlg, IDOK);
    ASSERT_TRUE(Gone(dlg));
    WaitListed(4);
    EXPECT_EQ(ByAddress()[L"10.79.1.5"],
              (Row{L"FAR-1", L"10.79.1.5", L"ROUTED", L"2.13", L"System is configured."}));
    EXPECT_EQ(DiscoversTo(LogOf(L"TAVIX_VNAS_LOG_ROUTED"), "10.79.1.5"), 1);

    // Asked again while listed: said so, nothing sent.
    Find(L"10.79.1.5");
    EXPECT_TRUE(Answer(L"Warning", L"The server at 10.79.1.5 is listed already."));
    // An address where nobody answers: said so when the wait is over.
    Find(L"10.79.1.9");
    Settle(300);
    PostMessageW(main, WM_TIMER, 102 /*kFindTimer*/, 0);
    EXPECT_TRUE(Answer(L"Warning",
                       L"No server answered at 10.79.1.9. Please check the address, that the "
                       L"server is turned on, and that no firewall between this computer and "
                       L"the server blocks UDP port 8097."));
    EXPECT_EQ(DiscoversTo(LogOf(L"TAVIX_VNAS_LOG_ROUTED"), "10.79.1.5"), 1);

    // The discovery window closes; the report names both adapters and counts.
    PostMessageW(main, WM_TIMER, 100 /*kDiscoveryTimer*/, 0);
    Settle(300);
    PostMessageW(main, WM_SYSCOMMAND, IDM_DISCOVERY_REPORT, 0);
    HWND report = WaitDialog(kReportCaption);
    ASSERT_NE(report, nullptr);
    const auto lines = Rows(GetDlgItem(report, IDC_REPORT_LIST));
    const std::vector<Row> want = {
        {L"Any (other subnets)", L"", L"255.255.255.255", L"0", L"0"},
        {L"10.77.0.2", L"255.255.0.0", L"10.77.255.255", L"4", L"2"},
        {L"10.78.0.2", L"255.255.0.0", L"10.78.255.255", L"1", L"1"},
        {L"Typed address", L"", L"10.79.1.5", L"1", L"1"},
        {L"Typed address", L"", L"10.79.1.9", L"0", L"0"},
    };
    EXPECT_EQ(lines, want);
    EXPECT_EQ(WindowText(GetDlgItem(report, IDC_REPORT_SUMMARY)),
              L"Last discovery: 4 servers listed.");
    EXPECT_EQ(WindowText(GetDlgItem(report, IDC_REPORT_HINTS)),
              L"- No server answered at 10.79.1.9.");
    const std::wstring out = Env(L"TAVIX_OUT");
    if (!out.empty()) {
        Settle(300);
        EXPECT_TRUE(SaveScreenshot(report, WinePath(out + L"/discovery-report.bmp")));
    }
    // Its "Find by Address..." goes on to the address dialog.
    Press(report, IDC_REPORT_FIND);
    ASSERT_TRUE(Gone(report));
    dlg = WaitDialog(kFindCaption);
    ASSERT_NE(dlg, nullptr);
    Press(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(dlg));

    // Refresh asks the typed addresses again with the broadcasts: all four
    // come back (the second subnet once its directed broadcast has followed).
    Press(main, IDC_REFRESH);
    ASSERT_TRUE(WaitFor(
        [] { return DiscoversTo(LogOf(L"TAVIX_VNAS_LOG_SECOND"), "10.78.255.255") == 2; }, 30000));
    WaitListed(4);
    EXPECT_EQ(DiscoversTo(LogOf(L"TAVIX_VNAS_LOG_ROUTED"), "10.79.1.5"), 2);
    EXPECT_EQ(DiscoversTo(Log(), "255.255.255.255"), 2);
    EXPECT_EQ(DiscoversTo(LogOf(L"TAVIX_VNAS_LOG_SECOND"), "10.78.255.255"), 2);
}
