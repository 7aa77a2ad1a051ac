// Every way out of every flow but the import, end to end: the real
// Brellmark.exe against the servers of flows-servers.conf. One table per flow
// family; each row brings a flow to a point, leaves it one way, and then
// checks the same things: the flow's window is gone (or, where there is no
// way out, stays), nothing more is sent to the server, no timer of the flow
// goes on (its WM_TIMER is sent and shows nothing), late, repeated and
// look-alike replies open nothing, and a program asked to close ends within
// a few seconds without another word to the server.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/tests/win/session.h"

using namespace e2e;

namespace {

struct Server {
    std::wstring name, ip;
    std::string mac;
};
const Server kStore{L"FL-STORE", L"10.77.6.1", "00:11:32:ff:00:01"};
const Server kTwin{L"FL-STORE", L"10.77.6.11", "00:11:32:ff:00:11"};
const Server kRouter{L"FL-ROUTER", L"10.77.6.2", "00:11:32:ff:00:02"};
const Server kWiz{L"FL-WIZ", L"10.77.6.3", "00:11:32:ff:00:03"};
const Server kFresh{L"FL-FRESH", L"10.77.6.4", "00:11:32:ff:00:04"};
constexpr int kServers = 5;

constexpr int TIMER_CONFIG_REPLY = 101, TIMER_FIND = 102;
constexpr int TIMER_NO_REPLY = 6948;

const wchar_t kDisconnected[] = L"Server disconnected, please try again.";
const wchar_t kNoResponse[] =
    L"Quick Configuration Wizard cannot get response from the server.   Please check the "
    L"network connection and the status of the server.";

// How the flow is left.
enum class Out {
    Cancel,     // its Cancel (or Close) button
    Escape,     // the Escape key
    CloseBox,   // the window's close box
    AltF4,      // Alt+F4
    Return,     // Return on the default button (OK, Finish, Close)
    Exit,       // the main window's "E&xit" while the flow runs
    CloseMain,  // the main window closed (its close box, the task bar)
    Vanish,     // the server says nothing more; the flow's time limit ends it
    Refresh,    // the list rebuilt while the window is open, then OK
};
const char* OutName(Out o) {
    const char* names[] = {"Cancel",      "Escape", "Close box",          "Alt+F4",
                           "Return",      "Exit",   "main window closed", "no reply",
                           "list rebuilt"};
    return names[static_cast<int>(o)];
}
bool Ends(Out o) {
    return o == Out::Exit || o == Out::CloseMain;
}

// Where a flow stands when it is left.
struct Point {
    HWND window = nullptr;  // the flow's window, or none while a request is out
    const Server* server = nullptr;
    std::vector<int> late;        // replies that must move nothing afterwards
    std::function<void()> leave;  // how a window that stays is left for the next row
    HWND under = nullptr;         // the window below the flow's, which may stay
    bool ok = true;               // the flow got there
};

struct Case {
    const char* flow;
    Out out;
    // What may still go to the server after the way out (commands).
    std::vector<int> allowed;
    // The window has no way out of this kind and stays.
    bool stays = false;
};

// Ways out of one flow: each of `outs`, with the same allowance.
struct Ways {
    const char* flow;
    std::vector<Out> outs;
    std::vector<int> allowed = {};
    bool stays = false;
};
std::vector<Case> Table(const std::vector<Ways>& groups) {
    std::vector<Case> table;
    for (const Ways& g : groups)
        for (Out out : g.outs)
            table.push_back({g.flow, out, g.allowed, g.stays});
    return table;
}

class FlowsTest : public BrellmarkSession {
protected:
    int ListedAtStart() const override { return kServers; }
    void SetUp() override {
        BrellmarkSession::SetUp();
        if (HasFatalFailure())
            return;
        prompt_ = WaitPrompt(5000);
    }
    void TearDown() override {
        if (HWND s = Sheet())
            PostMessageW(s, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        DismissPrompt();
        BrellmarkSession::TearDown();
    }

    static bool IsPrompt(HWND w) { return GetDlgItem(w, IDC_PROMPT_DONT_ASK) != nullptr; }
    HWND WaitPrompt(DWORD ms) {
        HWND p = nullptr;
        WaitFor(
            [&] {
                for (HWND w : OtherWindows())
                    if (IsPrompt(w))
                        p = w;
                return p != nullptr;
            },
            ms);
        return p;
    }
    // The prompt for FL-FRESH (each start and each new discovery offers it)
    // out of the way.
    void DismissPrompt() {
        for (HWND w : OtherWindows()) {
            if (IsPrompt(w)) {
                Press(w, IDCANCEL);
                ASSERT_TRUE(Gone(w));
            }
        }
        prompt_ = nullptr;
    }
    HWND Sheet() {
        for (HWND w : OtherWindows())
            if (!IsPrompt(w) && WindowText(w).rfind(L"Quick Configuration Wizard", 0) == 0)
                return w;
        return nullptr;
    }
    HWND Page(HWND sheet) {
        DWORD_PTR r = 0;
        SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 2000, &r);
        return reinterpret_cast<HWND>(r);
    }

    void Select(const Server& s) {
        const auto rows = Rows(list);
        int row = -1;
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i][0] == s.name && rows[i][1] == s.ip)
                row = static_cast<int>(i);
        ASSERT_GE(row, 0) << "no row for " << Narrow(s.ip);
        ClickRow(row);
        ASSERT_TRUE(WaitFor(
            [&] {
                return SelectedRow(list) == row && IsWindowEnabled(GetDlgItem(main, IDC_CONFIGURE));
            },
            5000));
    }
    long WaitRequest(const Server& s, int cmd, size_t from) {
        return BrellmarkSession::WaitRequest(s, cmd, from, 10000);
    }
    void PostTimers(HWND w, std::initializer_list<int> ids) {
        for (int id : ids)
            PostMessageW(w, WM_TIMER, static_cast<WPARAM>(id), 0);
    }

    // Leaves `p` the way the row says.
    void TakeWayOut(const Case& c, const Point& p) {
        switch (c.out) {
            case Out::Cancel:
                Press(p.window, IDCANCEL);
                break;
            case Out::Escape:
                Key(p.window, VK_ESCAPE);
                break;
            case Out::CloseBox:
                CloseBox(p.window);
                break;
            case Out::AltF4:
                AltF4(p.window);
                break;
            case Out::Return:
                Key(p.window, VK_RETURN);
                break;
            case Out::Refresh:
                Press(p.window, IDOK);
                break;
            case Out::Exit:
                Press(main, IDC_EXIT);
                break;
            case Out::CloseMain:
                PostMessageW(main, WM_CLOSE, 0, 0);
                break;
            case Out::Vanish:
                break;  // the row's opener made the server silent
        }
    }

    // The checks every row shares, from log line `from` (the way out) on.
    void CheckAfter(const Case& c, const Point& p, size_t from) {
        const std::string row = std::string(c.flow) + ", " + OutName(c.out);
        if (Ends(c.out)) {
            const DWORD asked = GetTickCount();
            if (program.Exited(5000)) {
                std::printf("exit-ms %lu %s\n", static_cast<unsigned long>(GetTickCount() - asked),
                            row.c_str());
            } else {
                ADD_FAILURE() << row << ": still running";
                for (HWND w : OtherWindows())
                    ADD_FAILURE() << row << ": open: \"" << Narrow(WindowText(w)) << "\"";
            }
            Settle(1000);
            for (const std::string& l : LogLines("rx ", from))
                ADD_FAILURE() << row << ": sent after the end: " << l;
            Restart();
            return;
        }
        if (p.window != nullptr) {
            if (c.stays) {
                Settle(700);
                EXPECT_TRUE(IsWindowVisible(p.window)) << row << ": left although it may not be";
            } else {
                EXPECT_TRUE(Gone(p.window)) << row << ": still open";
            }
        }
        // The list rebuilt under the dialog: its OK says so and sends nothing.
        if (c.out == Out::Refresh) {
            EXPECT_TRUE(Answer(L"Warning", kDisconnected)) << row;
        }
        // The flow's time limits, and the replies that come too late, twice,
        // or from the look-alike server.
        PostTimers(main, {TIMER_CONFIG_REPLY, TIMER_FIND});
        // Status 2 would tell of a refused login or a failed write if taken.
        for (int cmd : c.stays ? std::vector<int>{} : p.late) {
            VnasControl("reply " + p.server->mac + " " + std::to_string(cmd) + " 2 2");
            VnasControl("reply " + kTwin.mac + " " + std::to_string(cmd));
        }
        Settle(1500);
        for (HWND w : OtherWindows())
            if (!(c.stays && w == p.window) && w != p.under && !IsPrompt(w))
                ADD_FAILURE() << row << ": window left: \"" << Narrow(WindowText(w)) << "\"";
        for (const std::string& l : RequestsTo(*p.server, from)) {
            bool ok = false;
            for (int cmd : c.allowed)
                ok = ok || Has(l, "cmd=" + std::to_string(cmd));
            EXPECT_TRUE(ok) << row << ": sent after the way out: " << l;
        }
        // Whatever is left open for the next row is closed.
        if (c.stays && p.leave)
            p.leave();
        for (HWND w : OtherWindows())
            if (!IsPrompt(w))
                Press(w, IDCANCEL);
        if (HWND s = Sheet())
            PostMessageW(s, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        WaitFor(
            [&] {
                const auto left = OtherWindows();
                return std::all_of(left.begin(), left.end(), IsPrompt);
            },
            5000);
        WaitListed(kServers);
    }

    // The virtual NAS asks for a new discovery ("rediscover <args>"); waits
    // for the client's and for the list rebuilt from it.
    void Rediscover(const std::string& args) {
        const size_t at = Log().size();
        EXPECT_TRUE(VnasControl("rediscover " + args));
        EXPECT_GE(
            WaitLine(
                at, [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=1"); }),
            0);
        WaitListed(kServers);
    }

    // Runs the table: `open` brings the flow of each row to its point.
    void RunTable(const std::vector<Case>& table, const std::function<Point(const Case&)>& open) {
        for (const Case& c : table) {
            SCOPED_TRACE(std::string(c.flow) + ", " + OutName(c.out));
            const Point p = open(c);
            if (HasFatalFailure())
                return;
            ASSERT_NE(p.server, nullptr);
            if (!p.ok) {
                // The flow did not get where the row starts: a clean start
                // for the next one.
                ADD_FAILURE() << "could not get to the row's point";
                Restart();
                continue;
            }
            const size_t from = Log().size();
            TakeWayOut(c, p);
            CheckAfter(c, p, from);
            if (HasFatalFailure())
                return;
        }
    }

    HWND prompt_ = nullptr;
};

}  // namespace

// The dialogs of the main window's flows: login, basic configuration of
// both kinds, the restart question, the write awaiting its reply, details.
TEST_F(FlowsTest, ConfigureLoginAndDetails) {
    DismissPrompt();
    const std::vector<Case> table = Table({
        {"login", {Out::Cancel, Out::Escape, Out::CloseBox, Out::AltF4, Out::Exit, Out::CloseMain}},
        // The list is rebuilt under the login: its OK sends nothing.
        {"login", {Out::Refresh}, {1, 5}},
        {"configure", {Out::Cancel, Out::Escape, Out::CloseBox, Out::AltF4}},
        {"configure", {Out::Return}, {10}},  // OK without changes: the logout alone
        {"configure", {Out::Exit, Out::CloseMain}},
        {"configure", {Out::Refresh}, {1, 5}},
        {"router", {Out::Cancel, Out::Escape, Out::CloseMain}},
        {"restart question", {Out::Exit, Out::CloseMain}},
        {"write", {Out::Exit, Out::Vanish}},
        {"details", {Out::Return, Out::Escape, Out::CloseBox, Out::AltF4, Out::Exit, Out::Vanish}},
        {"details request", {Out::Exit}},
    });
    RunTable(table, [&](const Case& c) {
        DismissPrompt();
        Point p;
        const std::string flow = c.flow;
        const size_t from = Log().size();
        if (flow == "details" || flow == "details request") {
            p.server = &kStore;
            // A late answer to a request still waited for may show it.
            if (c.out != Out::Vanish)
                p.late = {5};
            Select(kStore);
            if (c.out == Out::Vanish || flow == "details request")
                VnasControl("drop-reply " + kStore.mac + " 5");
            Press(main, IDC_DETAILS);
            if (c.out == Out::Vanish || flow == "details request") {
                // No reply: nothing opens and nothing waits.
                p.ok = p.ok && WaitRequest(kStore, 5, from) >= 0;
                return p;
            }
            p.window = WaitDialog(L"Details");
            p.ok = p.ok && p.window != nullptr;
            return p;
        }
        const Server& s = flow == "router" ? kRouter : kStore;
        p.server = &s;
        p.late = {3, 2, 4};
        Select(s);
        Press(main, IDC_CONFIGURE);
        HWND login = WaitDialog(L"Administrator Login");
        p.ok = login != nullptr;
        if (!p.ok)
            return p;
        if (flow == "login") {
            p.window = login;
            if (c.out == Out::Refresh) {
                Rediscover(s.mac);
                DismissPrompt();  // offered again by the new discovery
                SetText(GetDlgItem(login, IDC_ADMIN_NAME), L"admin");
                SetText(GetDlgItem(login, IDC_ADMIN_PASSWORD), L"secret");
            }
            return p;
        }
        TypeLogin(login);
        p.ok = p.ok && WaitRequest(s, 2, from) >= 0;
        p.window = WaitDialog(L"Basic Configuration");
        p.ok = p.ok && p.window != nullptr;
        if (flow == "configure" && c.out == Out::Refresh) {
            Rediscover(s.mac);
            DismissPrompt();
        }
        if (flow == "restart question") {
            SetText(GetDlgItem(p.window, IDC_SERVER_NAME), L"FL-RENAMED");
            Press(p.window, IDOK);
            p.window = WaitDialog(L"Warning");
            p.ok = p.ok && p.window != nullptr;
        }
        if (flow == "write") {
            // A date change alone: written without the question; no reply.
            EXPECT_TRUE(VnasControl("set-config-reply " + kStore.mac + " none"));
            HWND year = GetDlgItem(p.window, IDC_YEAR);
            SetText(year, WindowText(year) == L"2006" ? L"2007" : L"2006");
            Press(p.window, IDOK);
            p.ok = p.ok && WaitRequest(s, 4, from) >= 0;
            EXPECT_TRUE(Gone(p.window));
            p.window = nullptr;
            if (c.out == Out::Vanish) {
                // The 120 seconds end: the one message, then nothing more.
                PostTimers(main, {TIMER_CONFIG_REPLY});
                EXPECT_TRUE(Answer(L"Warning", kDisconnected));
                EXPECT_TRUE(VnasControl("set-config-reply " + kStore.mac + " 0"));
            }
        }
        return p;
    });
    // No write was ever taken in part; a flow can still be started after
    // all of them.
    for (const std::string& l : LogLines("event set-config"))
        EXPECT_EQ(l.find("rejected="), std::string::npos) << l;
    DismissPrompt();
    Select(kStore);
    Press(main, IDC_DETAILS);
    HWND details = WaitDialog(L"Details");
    ASSERT_NE(details, nullptr);
    Press(details, IDOK);
    EXPECT_TRUE(Gone(details));
}

// The not-configured prompt, find by address and the discovery report.
TEST_F(FlowsTest, PromptFindAndReport) {
    const std::vector<Case> table = Table({
        {"prompt", {Out::Cancel, Out::Escape, Out::CloseBox, Out::AltF4, Out::CloseMain}},
        {"prompt then login", {Out::Cancel}},
        {"find", {Out::Cancel, Out::Escape, Out::CloseBox, Out::CloseMain}},
        {"find waiting", {Out::Exit}},
        {"discovery", {Out::CloseMain}},
        {"find waiting", {Out::Vanish}},
        {"report", {Out::Return, Out::Escape, Out::CloseBox, Out::CloseMain}},
    });
    RunTable(table, [&](const Case& c) {
        Point p;
        const std::string flow = c.flow;
        p.server = &kFresh;
        p.late = {3, 2};
        if (flow.rfind("prompt", 0) == 0) {
            if (prompt_ == nullptr || !IsWindow(prompt_)) {
                // A new discovery offers it again.
                Press(main, IDC_REFRESH);
                prompt_ = WaitPrompt(15000);
                WaitListed(kServers);
            }
            p.window = prompt_;
            prompt_ = nullptr;
            p.ok = p.ok && p.window != nullptr;
            if (flow == "prompt then login") {
                Press(p.window, IDOK);
                EXPECT_TRUE(Gone(p.window));
                p.window = WaitDialog(L"Administrator Login");
                p.ok = p.ok && p.window != nullptr;
            }
            return p;
        }
        DismissPrompt();
        if (flow == "discovery") {
            // The discovery window runs.
            const size_t at = Log().size();
            Press(main, IDC_REFRESH);
            EXPECT_GE(WaitLine(at,
                               [](const std::string& l) {
                                   return l.rfind("rx ", 0) == 0 && Has(l, "cmd=1");
                               }),
                      0);
            Settle(300);  // every adapter's copy of the request
            return p;
        }
        if (flow == "report") {
            PostMessageW(main, WM_SYSCOMMAND, IDM_DISCOVERY_REPORT, 0);
            p.window = WaitDialog(L"Discovery Report");
            p.ok = p.ok && p.window != nullptr;
            return p;
        }
        PostMessageW(main, WM_SYSCOMMAND, IDM_FIND_ADDRESS, 0);
        p.window = WaitDialog(L"Find by Address");
        p.ok = p.ok && p.window != nullptr;
        if (flow == "find waiting") {
            // An address where nobody answers: the wait runs.
            SetText(GetDlgItem(p.window, IDC_FIND_ADDRESS), L"10.77.6.99");
            Press(p.window, IDOK);
            EXPECT_TRUE(Gone(p.window));
            p.window = nullptr;
            if (c.out == Out::Vanish) {
                PostTimers(main, {TIMER_FIND});
                EXPECT_TRUE(Answer(L"Warning",
                                   L"No server answered at 10.77.6.99. Please check the address, "
                                   L"that the server is turned on, and that no firewall between "
                                   L"this computer and the server blocks UDP port 8097."));
            }
        }
        return p;
    });
}

// The wizard before the run (every way out), while applying (Escape, the
// close box and Alt+F4 do nothing there; the program's end ends it), with
// the Retry question open, and the share selection.
TEST_F(FlowsTest, WizardAndDriveMapping) {
    DismissPrompt();
    const std::vector<Case> table = Table({
        // A wizard that was shown ends with a new discovery.
        {"welcome", {Out::Cancel, Out::Escape, Out::CloseBox}, {1, 5}},
        {"welcome", {Out::CloseMain}},
        {"applying", {Out::Escape, Out::CloseBox, Out::AltF4}, {}, true},
        {"applying", {Out::Exit}},
        // A server's call for a new discovery under the run: the wizard
        // keeps its server, listed anew, and goes on with it.
        {"applying, list rebuilt", {Out::Exit}},
        {"retry question", {Out::CloseMain}},
        {"failure page", {Out::Escape, Out::CloseBox}, {}, true},
        {"failure page", {Out::Return}, {1, 5}},
        {"failure page", {Out::CloseMain}},
        {"share", {Out::Cancel, Out::Escape, Out::CloseBox, Out::CloseMain}},
        // Its "Map Network Drive": the credentials or the drive letter.
        {"map", {Out::Cancel, Out::Escape, Out::CloseBox, Out::CloseMain}},
    });
    RunTable(table, [&](const Case& c) {
        DismissPrompt();
        Point p;
        const std::string flow = c.flow;
        if (flow == "share" || flow == "map") {
            p.server = &kStore;
            Select(kStore);
            Press(main, IDC_MAP_DRIVE);
            p.window = WaitDialog(L"Select Network Share");
            p.ok = p.ok && p.window != nullptr;
            if (flow == "share" || p.window == nullptr)
                return p;
            p.under = p.window;
            SendMessageTimeoutW(GetDlgItem(p.under, IDC_SHARE_LIST), LB_SETCURSEL, 0, 0,
                                SMTO_ABORTIFHUNG, 2000, nullptr);
            Press(p.under, IDC_MAP_NETWORK_DRIVE);
            p.ok = WaitFor(
                [&] {
                    p.window = FindTopLevel(pid(), L"Connect");
                    if (p.window == nullptr)
                        p.window = FindTopLevel(pid(), L"Map Network Drive");
                    return p.window != nullptr;
                },
                10000);
            return p;
        }
        p.server = &kWiz;
        p.late = {19, 20, 26, 18};
        const size_t from = Log().size();
        Select(kWiz);
        Press(main, ID_RUN_WIZARD);
        TypeLogin(WaitDialog(L"Administrator Login"));
        p.ok = p.ok && WaitRequest(kWiz, 2, from) >= 0;
        HWND sheet = nullptr;
        p.ok = WaitFor([&] { return (sheet = Sheet()) != nullptr; }, 10000);
        p.window = sheet;
        if (flow == "welcome" || sheet == nullptr)
            return p;
        // The shortest way to the run: every page as it is, password kept,
        // DHCP, disk kept; the server never answers the first request.
        EXPECT_TRUE(VnasControl("wizard-fail " + kWiz.mac + " 19 none"));
        auto next = [&] {
            const std::wstring before = WindowText(sheet);
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
            return WaitFor([&] { return WindowText(sheet) != before; }, 5000);
        };
        for (int step = 0; step < 7; ++step) {
            HWND page = Page(sheet);
            if (HWND keep = GetDlgItem(page, IDC_WIZ_KEEP_PASSWORD))
                SendMessageTimeoutW(keep, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
            if (HWND dhcp = GetDlgItem(page, IDC_WIZ_DHCP))
                SendMessageTimeoutW(dhcp, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
            if (HWND disk = GetDlgItem(page, IDC_WIZ_KEEP_DISK))
                SendMessageTimeoutW(disk, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
            EXPECT_TRUE(next()) << "step " << step;
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        const long asked = WaitRequest(kWiz, 19, from);
        p.ok = p.ok && asked >= 0;
        EXPECT_TRUE(
            WaitFor([&] { return GetDlgItem(Page(sheet), IDC_WIZ_PROGRESS) != nullptr; }, 5000));
        if (flow == "applying, list rebuilt" && asked >= 0) {
            // Numbered as the answer to the request out, so that it is taken.
            const std::string line = Log()[static_cast<size_t>(asked)];
            const int seq = std::atoi(line.c_str() + line.find(" seq=") + 5);
            Rediscover(kWiz.mac + " " + std::to_string(seq + 1));
            // Retry asks the server again, and its answer moves the run on
            // (to a request that gets no answer, so that the server stays).
            EXPECT_TRUE(VnasControl("wizard-fail " + kWiz.mac + " 20 none"));
            EXPECT_TRUE(VnasControl("wizard-fail " + kWiz.mac + " 19 off"));
            const size_t again = Log().size();
            PostTimers(Page(sheet), {TIMER_NO_REPLY});
            EXPECT_TRUE(Answer(L"Warning", kNoResponse, IDRETRY));
            EXPECT_GE(WaitRequest(kWiz, 19, again), 0) << "not asked again";
            EXPECT_GE(WaitRequest(kWiz, 20, again), 0) << "the run did not go on";
        }
        if (flow == "retry question") {
            PostTimers(Page(sheet), {TIMER_NO_REPLY});
            p.window = WaitDialog(L"Warning");
            p.ok = p.ok && p.window != nullptr;
        }
        if (flow == "failure page") {
            PostTimers(Page(sheet), {TIMER_NO_REPLY});
            EXPECT_TRUE(Answer(L"Warning", kNoResponse, IDCANCEL));
            EXPECT_TRUE(WaitFor(
                [&] { return GetDlgItem(Page(sheet), IDC_WIZ_PROGRESS) == nullptr; }, 5000));
            p.leave = [sheet] { PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0); };
            return p;
        }
        // The one way from the run: give up on the question, then Finish.
        p.leave = [this, sheet] {
            PostTimers(Page(sheet), {TIMER_NO_REPLY});
            EXPECT_TRUE(Answer(L"Warning", kNoResponse, IDCANCEL));
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
            EXPECT_TRUE(Gone(sheet, 8000));
        };
        return p;
    });
    EXPECT_TRUE(VnasControl("wizard-fail " + kWiz.mac + " 19 off"));
    EXPECT_TRUE(VnasControl("wizard-fail " + kWiz.mac + " 20 off"));
}
