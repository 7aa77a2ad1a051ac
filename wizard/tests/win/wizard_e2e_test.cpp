// End-to-end tests of the quick configuration wizard: the real Brellmark.exe
// and its real property sheet against the servers of wizard-servers.conf.
// Requests are checked byte for byte in the virtual NAS's log; timers are
// driven with WM_TIMER; dropped replies are chosen through its control FIFO.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/tests/win/session.h"
#include "ui/testing/keys.h"

using namespace e2e;

namespace {

const wchar_t kNameEmpty[] = L"Server Name can not be empty.";
const wchar_t kNameDigits[] = L"Server Name can not be all numbers.";
const wchar_t kNameIllegal[] = L"Server Name contains illegal character.";
const wchar_t kPasswordWrong[] =
    L"Please enter correct new password or check the 'Use the original password' option.";
const wchar_t kFormatWarning[] =
    L"The hard disk of the server is about to be formatted, all data on the disk will be "
    L"deleted.  Do you want to continue?";
const wchar_t kNoResponse[] =
    L"Quick Configuration Wizard cannot get response from the server.   Please check the "
    L"network connection and the status of the server.";
const wchar_t kFailed[] =
    L"Failed to configure the server.  Please visit our web site or refer to the user manual "
    L"for more information";
const wchar_t kComplete[] = L"Configuration process complete.";
const wchar_t kFinished[] =
    L"Congratulations. You have finished all the Configuration steps.   Your server is ready to "
    L"use now.";

constexpr int kBackButton = 0x3023, kNextButton = 0x3024, kFinishButton = 0x3025;
constexpr int TIMER_BAR_STEP = 6945, TIMER_RESTART_WAIT = 6946, TIMER_DISK_POLL = 6947,
              TIMER_NO_REPLY = 6948;

// `digits` ASCII digits and a zero byte, as the log quotes them.
bool DigitsWithZero(const std::string& quoted, size_t digits) {
    if (quoted.size() != digits + 6 || quoted.front() != '"' ||
        quoted.substr(digits + 1) != "\\x00\"")
        return false;
    return std::all_of(quoted.begin() + 1, quoted.begin() + 1 + static_cast<long>(digits),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// A wizard request (codes 18 to 26), not the discovery or status requests
// of the new discovery at the end.
bool Wizardly(const std::string& line) {
    const std::string cmd = Field(line, "cmd");
    return !cmd.empty() && std::stoi(cmd) >= 18;
}

struct Server {
    std::wstring name;
    std::string mac;
};
const Server kFull{L"WIZ-FULL", "00:11:32:dd:00:01"};
const Server kKeep{L"WIZ-KEEP", "00:11:32:dd:00:02"};
const Server kDrop{L"WIZ-DROP", "00:11:32:dd:00:03"};
const Server kCancel{L"WIZ-CANCEL", "00:11:32:dd:00:04"};
const Server kInput{L"WIZ-INPUT", "00:11:32:dd:00:05"};
const Server kNoDisk{L"WIZ-NODISK", "00:11:32:dd:00:06"};
const Server kSilent{L"WIZ-SILENT", "00:11:32:dd:00:07"};
const Server kStall{L"WIZ-STALL", "00:11:32:dd:00:08"};
const Server kLost{L"WIZ-LOST", "00:11:32:dd:00:09"};

// What the test enters on the six steps; defaults leave a page as it is.
struct Inputs {
    std::wstring name;
    std::wstring password, verify;
    bool keepPassword = false;
    int zone = -1;         // time zone list position
    bool ntpOnly = false;  // clock box on and off, then the time server box
    int encoding = -1;     // encoding list position
    bool dhcp = false;
    DWORD ip = 0, netmask = 0, gateway = 0, dns1 = 0, dns2 = 0;
    bool initDisk = false;
};

BOOL CALLBACK CollectVisible(HWND w, LPARAM lp) {
    auto* p = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == p->first && IsWindowVisible(w))
        p->second.push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectSheets(HWND w, LPARAM lp) {
    auto* out = reinterpret_cast<std::pair<DWORD, HWND>*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == out->first && IsWindowVisible(w) && GetDlgItem(w, IDC_PROMPT_DONT_ASK) == nullptr &&
        WindowText(w).rfind(L"Quick Configuration Wizard", 0) == 0) {
        out->second = w;
        return FALSE;
    }
    return TRUE;
}

class WizardTest : public BrellmarkSession {
protected:
    HWND sheet = nullptr;

    // The servers of the scenario's configuration file.
    int ListedAtStart() const override { return 9; }
    void TearDown() override {
        // A failed test may leave the sheet open at a page that can be cancelled.
        if (HWND s = FindSheet())
            PostMessageW(s, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        BrellmarkSession::TearDown();
    }

    // On a failure: what the program shows instead.
    void DumpWindows() {
        std::pair<DWORD, std::vector<HWND>> all{pid(), {}};
        EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&all));
        for (HWND w : all.second) {
            std::string line = "window \"" + Narrow(WindowText(w)) + "\":";
            for (const auto& t : StaticTexts(w))
                line += " [" + Narrow(t) + "]";
            ADD_FAILURE() << line;
        }
    }
    HWND FindSheet() {
        std::pair<DWORD, HWND> found{pid(), nullptr};
        EnumWindows(CollectSheets, reinterpret_cast<LPARAM>(&found));
        return found.second;
    }
    HWND Page() {
        DWORD_PTR r = 0;
        SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 2000, &r);
        return reinterpret_cast<HWND>(r);
    }
    HWND PageItem(int id) { return GetDlgItem(Page(), id); }
    std::wstring Title() { return WindowText(sheet); }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(sheet, id)) != FALSE; }
    void Send(HWND w, UINT msg, WPARAM wp, LPARAM lp = 0) {
        DWORD_PTR r = 0;
        SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r);
    }
    void Click(int id) { Send(PageItem(id), BM_CLICK, 0); }
    // Presses a button of the sheet and waits until the page shows `title`.
    bool Go(int button, const std::wstring& title) {
        PostMessageW(sheet, PSM_PRESSBUTTON, button, 0);
        return WaitFor([&] { return Title() == title; }, 5000);
    }
    static std::wstring StepTitle(int n) {
        return L"Quick Configuration Wizard - Step " + std::to_wstring(n);
    }

    long WaitRequest(const Server& s, int cmd, size_t from, DWORD ms = 8000) {
        return BrellmarkSession::WaitRequest(s, cmd, from, ms);
    }
    // Selects the server, asks for the wizard, logs in; the sheet's welcome page.
    bool Open(const Server& s) {
        const int row = RowOf(s.name);
        if (row < 0)
            return false;
        ClickRow(row);
        if (!WaitFor([&] { return SelectedRow(list) == row; }, 5000))
            return false;
        Press(main, ID_RUN_WIZARD);
        return LogIn();
    }
    // The login dialog that asking for the wizard opens; the welcome page.
    bool LogIn() {
        if (TypeLogin(WaitDialog(L"Administrator Login")) == nullptr)
            return false;
        if (!WaitFor([&] { return (sheet = FindSheet()) != nullptr; }, 10000)) {
            DumpWindows();
            return false;
        }
        return WaitFor([&] { return Title() == L"Quick Configuration Wizard - Welcome"; }, 5000);
    }

    // Fills the six steps and stops on the summary page.
    void Steps(const Inputs& in) {
        ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(1)));
        if (!in.name.empty()) {
            ASSERT_TRUE(SetText(PageItem(IDC_WIZ_NAME), in.name));
        }
        ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(2)));
        if (in.keepPassword) {
            Click(IDC_WIZ_KEEP_PASSWORD);
            EXPECT_FALSE(IsWindowEnabled(PageItem(IDC_WIZ_PASSWORD)));
        } else {
            SetText(PageItem(IDC_WIZ_PASSWORD), in.password);
            SetText(PageItem(IDC_WIZ_VERIFY), in.verify);
        }
        ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(3)));
        if (in.zone >= 0)
            Send(PageItem(IDC_WIZ_TIME_ZONE), CB_SETCURSEL, static_cast<WPARAM>(in.zone));
        if (in.ntpOnly) {
            Click(IDC_WIZ_SET_CLOCK);
            EXPECT_TRUE(IsWindowEnabled(PageItem(IDC_WIZ_DATE)));
            Click(IDC_WIZ_SET_CLOCK);
            EXPECT_FALSE(IsWindowEnabled(PageItem(IDC_WIZ_DATE)));
            if (IsChecked(PageItem(IDC_WIZ_USE_NTP)))  // shown checked: clear it first
                Click(IDC_WIZ_USE_NTP);
            Click(IDC_WIZ_USE_NTP);
        }
        ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(4)));
        if (in.encoding >= 0)
            Send(PageItem(IDC_WIZ_ENCODING), CB_SETCURSEL, static_cast<WPARAM>(in.encoding));
        ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(5)));
        if (in.dhcp) {
            Click(IDC_WIZ_DHCP);
            EXPECT_FALSE(IsWindowEnabled(PageItem(IDC_WIZ_IP)));
            EXPECT_TRUE(IsWindowEnabled(PageItem(IDC_WIZ_DNS1)));
        } else {
            Click(IDC_WIZ_STATIC);
            SetIpAddress(PageItem(IDC_WIZ_IP), in.ip);
            SetIpAddress(PageItem(IDC_WIZ_NETMASK), in.netmask);
            SetIpAddress(PageItem(IDC_WIZ_GATEWAY), in.gateway);
        }
        SetIpAddress(PageItem(IDC_WIZ_DNS1), in.dns1);
        SetIpAddress(PageItem(IDC_WIZ_DNS2), in.dns2);
        ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(6)));
        Click(in.initDisk ? IDC_WIZ_INIT_DISK : IDC_WIZ_KEEP_DISK);
        ASSERT_TRUE(Go(PSBTN_NEXT, L"Quick Configuration Wizard"));
    }
    // The six steps, then Next on the summary: the applying starts.
    void StepsThenApply(const Inputs& in) {
        ASSERT_NO_FATAL_FAILURE(Steps(in));
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    }

    // The summary's Status and Value columns.
    std::vector<std::pair<std::wstring, std::wstring>> Summary() {
        std::vector<std::pair<std::wstring, std::wstring>> out;
        for (const Row& r : Rows(PageItem(IDC_WIZ_SUMMARY), 2))
            out.emplace_back(r[0], r[1]);
        return out;
    }
    bool Checked(int row) { return IsWindowVisible(PageItem(IDC_WIZ_ROW_CHECK + row)) != FALSE; }
    bool Playing(int row) { return IsWindowVisible(PageItem(IDC_WIZ_ROW_ANIM + row)) != FALSE; }
    int Bar() {
        DWORD_PTR r = 0;
        SendMessageTimeoutW(PageItem(IDC_WIZ_PROGRESS), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000,
                            &r);
        return static_cast<int>(r);
    }
    // The applying page at its end: complete shown, Next alone, then the
    // finish page closes the sheet and the main window rediscovers. With
    // `mapDrive` the finish page's box stays ticked and the sheet stays up
    // behind the share selection it opens.
    void CompleteAndClose(bool mapDrive = false) {
        ASSERT_TRUE(
            WaitFor([&] { return IsWindowVisible(PageItem(IDC_WIZ_COMPLETE)) != FALSE; }, 15000))
            << "no end of the run";
        EXPECT_TRUE(Contains(StaticTexts(Page()), kComplete));
        EXPECT_TRUE(Enabled(kNextButton));
        EXPECT_FALSE(Enabled(kBackButton));
        EXPECT_FALSE(Enabled(IDCANCEL));
        for (int row = 1; row <= 7; ++row)
            EXPECT_TRUE(Checked(row)) << row;
        EXPECT_EQ(Bar(), 100);
        ASSERT_TRUE(Go(PSBTN_NEXT, L"Quick Configuration Wizard - Finish"));
        EXPECT_TRUE(WaitFor([&] { return Enabled(kFinishButton); }, 3000));
        EXPECT_FALSE(Enabled(IDCANCEL));
        EXPECT_FALSE(Enabled(kBackButton));
        EXPECT_TRUE(Contains(StaticTexts(Page()), kFinished));
        // The box is ticked when the page first shows.
        EXPECT_TRUE(IsChecked(PageItem(IDC_WIZ_MAP_DRIVE)));
        EXPECT_EQ(WindowText(PageItem(IDC_WIZ_MAP_DRIVE)),
                  L"Continue to map network drive for me.");
        if (mapDrive) {
            SaveScreenshot(sheet, WinePath(Env(L"TAVIX_OUT")) + L"\\wizard-finish.bmp");
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
            return;
        }
        Click(IDC_WIZ_MAP_DRIVE);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        ASSERT_TRUE(Gone(sheet, 8000));
        EXPECT_TRUE(NoWindow(L"Select Network Share"));
    }
    bool Listed(const std::wstring& name, const std::wstring& ip) {
        return WaitFor(
            [&] {
                const auto rows = Rows(list);
                return std::any_of(rows.begin(), rows.end(), [&](const Row& r) {
                    return r[0] == name && r[1] == ip && !r[4].empty();
                });
            },
            15000);
    }
    void PostTimer(int id) { PostMessageW(Page(), WM_TIMER, static_cast<WPARAM>(id), 0); }
    // Holds the server's disk initialisation at `percent` ("100" ends it),
    // once the server has taken the line.
    bool Format(const Server& s, const std::string& percent) {
        const size_t from = Log().size();
        return VnasControl("format " + s.mac + " " + percent) &&
               WaitLine(from, [&](const std::string& l) {
                   return l.rfind("event format ", 0) == 0 && Has(l, "percent=" + percent);
               }) >= 0;
    }
};

}  // namespace

TEST_F(WizardTest, FullRunSendsSevenRequestsFollowsTheFormatAndFindsTheServerAgain) {
    const size_t from = Log().size();
    ASSERT_TRUE(Open(kFull));
    // The welcome page lays the sheet out: 499 pixels wide, Next at 300.
    RECT r;
    GetWindowRect(sheet, &r);
    EXPECT_EQ(r.right - r.left, 499);
    SaveScreenshot(sheet, WinePath(Env(L"TAVIX_OUT")) + L"\\wizard-welcome.bmp");
    EXPECT_TRUE(Enabled(kNextButton));
    EXPECT_FALSE(Enabled(kBackButton));
    // Step 1 starts with the server's name; Step 6 with the disk's texts.
    ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(1)));
    EXPECT_EQ(WindowText(PageItem(IDC_WIZ_NAME)), L"WIZ-FULL");
    ASSERT_TRUE(Go(PSBTN_BACK, L"Quick Configuration Wizard - Welcome"));

    Inputs in;
    in.name = L"WIZ-DONE";
    in.password = in.verify = L"newpass";
    in.zone = 46;
    in.encoding = 0;
    in.ip = Ip(10, 77, 3, 50);
    in.netmask = Ip(255, 255, 0, 0);
    in.gateway = Ip(10, 77, 0, 1);
    in.dns1 = Ip(8, 8, 8, 8);
    in.initDisk = true;
    ASSERT_NO_FATAL_FAILURE(Steps(in));
    EXPECT_EQ(Summary(), (std::vector<std::pair<std::wstring, std::wstring>>{
                             {L"Server Name", L"WIZ-DONE"},
                             {L"Time Zone", L"(GMT+08:00) Beijing, Chongqing, Hong Kong, Urumqi"},
                             {L"Filename Encoding", L"Chinese-Simplified"},
                             {L"Network", L"10.77.3.50 (static)"},
                             {L"Disk Initialization", L"Yes"},
                             {L"Primary DNS Server", L"8.8.8.8"},
                             {L"Secondary DNS Server", L"0.0.0.0"}}));
    // Nothing has reached the server yet; Cancel on the format warning stays.
    EXPECT_TRUE(RequestsTo(kFull, from).size() == 2u);  // login, configuration read
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ASSERT_TRUE(Answer(L"Warning", kFormatWarning, IDCANCEL));
    EXPECT_EQ(Title(), L"Quick Configuration Wizard");
    EXPECT_TRUE(IsWindow(PageItem(IDC_WIZ_SUMMARY)));
    const size_t applyFrom = Log().size();
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ASSERT_TRUE(Answer(L"Warning", kFormatWarning, IDOK));

    // The settings go one at a time, each after the previous reply.
    ASSERT_GE(WaitRequest(kFull, 24, applyFrom), 0) << "no CMD_INIT_DISK";
    ASSERT_TRUE(WaitFor([&] { return Playing(6); }, 5000));
    EXPECT_FALSE(Enabled(kFinishButton));
    EXPECT_FALSE(Enabled(kBackButton));
    EXPECT_FALSE(Enabled(IDCANCEL));
    for (int row = 1; row <= 5; ++row)
        EXPECT_TRUE(Checked(row)) << row;
    EXPECT_FALSE(Checked(6));
    // Neither Cancel nor the window's close leaves the applying page.
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    PostMessageW(sheet, WM_CLOSE, 0, 0);
    Settle(300);
    EXPECT_TRUE(IsWindow(sheet) && IsWindowVisible(sheet));

    // Disk polls by the timer; the bar follows the percentage. The format
    // moves only when the test says so (the server holds it), whatever the
    // program's own poll timer reads meanwhile.
    ASSERT_TRUE(Format(kFull, "40"));
    size_t pollFrom = Log().size();
    PostTimer(TIMER_DISK_POLL);
    const long progress = WaitLine(
        pollFrom, [&](const std::string& l) { return l.rfind("tx ", 0) == 0 && Has(l, "cmd=18"); });
    ASSERT_GE(progress, 0);
    EXPECT_EQ(Field(Log()[static_cast<size_t>(progress)], "status"), "40");
    ASSERT_TRUE(WaitFor([&] { return Bar() == 40; }, 3000)) << Bar() << " vs 40";
    // Mid-run: rows 1-5 checked, row 6's clip playing, the bar part way.
    SaveScreenshot(sheet, WinePath(Env(L"TAVIX_OUT")) + L"\\wizard-applying.bmp");

    // The format ends: the next poll reads 100; CMD_FINISH follows after two seconds.
    pollFrom = Log().size();
    ASSERT_TRUE(Format(kFull, "100"));
    PostTimer(TIMER_DISK_POLL);
    ASSERT_GE(WaitLine(pollFrom,
                       [&](const std::string& l) {
                           return l.rfind("tx ", 0) == 0 && Has(l, "cmd=18") &&
                                  Has(l, "status=100");
                       }),
              0)
        << "the format never reached 100";
    ASSERT_GE(WaitRequest(kFull, 25, applyFrom), 0) << "no CMD_FINISH";
    EXPECT_TRUE(WaitFor([&] { return Checked(6) && Playing(7); }, 3000));
    ASSERT_GE(
        WaitLine(
            applyFrom,
            [](const std::string& l) { return l.rfind("event done server=\"WIZ-DONE\"", 0) == 0; },
            10000),
        0);
    CompleteAndClose();

    // Exactly the seven requests, polls between the disk's and the finish.
    std::vector<std::string> rx = RequestsTo(kFull, applyFrom);
    std::vector<std::string> kinds;
    for (const std::string& l : rx)
        if (Wizardly(l) && Field(l, "cmd") != "18")
            kinds.push_back(Field(l, "cmd"));
    EXPECT_EQ(kinds, (std::vector<std::string>{"19", "20", "21", "22", "23", "24", "25"}));
    auto itemsOf = [&](const char* cmd) {
        for (const std::string& l : rx)
            if (Field(l, "cmd") == cmd)
                return Items(l);
        return std::string("(none)");
    };
    EXPECT_EQ(itemsOf("19"), "1:\"WIZ-DONE\"");
    EXPECT_EQ(itemsOf("20"), "11:\"administrator\\x00\",10:\"newpass\"");
    const std::string dt = itemsOf("21");  // zone 46, time and date each with a zero
    ASSERT_EQ(dt.substr(0, 8), "33:2e,4:") << dt;
    EXPECT_TRUE(DigitsWithZero(dt.substr(8, 12), 6)) << dt;
    EXPECT_EQ(dt.substr(20, 3), ",3:") << dt;
    EXPECT_TRUE(DigitsWithZero(dt.substr(23), 8)) << dt;
    EXPECT_EQ(itemsOf("22"), "35:\"936\\x00\"");
    EXPECT_EQ(itemsOf("23"), "8:02,5:10.77.3.50,7:255.255.0.0,6:10.77.0.1,43:8.8.8.8,44:0.0.0.0");
    EXPECT_EQ(itemsOf("24"), "34:01");
    EXPECT_EQ(itemsOf("25"), "");
    EXPECT_EQ(itemsOf("18"), "");

    // Found again under its new name and address.
    EXPECT_TRUE(Listed(L"WIZ-DONE", L"10.77.3.50"));
    EXPECT_LT(RowOf(L"WIZ-FULL"), 0);
}

TEST_F(WizardTest, KeptPasswordDhcpTimeServerAndNoDiskInitialisation) {
    ASSERT_TRUE(Open(kKeep));
    Inputs in;
    in.keepPassword = true;
    in.ntpOnly = true;
    in.dhcp = true;
    in.dns1 = Ip(10, 77, 0, 1);
    in.dns2 = Ip(10, 77, 0, 2);
    ASSERT_NO_FATAL_FAILURE(Steps(in));
    const auto summary = Summary();
    ASSERT_EQ(summary.size(), 7u);
    EXPECT_EQ(summary[0].second, L"WIZ-KEEP");
    EXPECT_EQ(summary[2].second, L"English");  // the default list entry, code page 437
    EXPECT_EQ(summary[3].second, L"DHCP");
    EXPECT_EQ(summary[4].second, L"No");
    const size_t from = Log().size();
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);  // no format, no warning
    ASSERT_GE(WaitRequest(kKeep, 25, from), 0) << "no CMD_FINISH";
    EXPECT_TRUE(WaitFor([&] { return Checked(6) && Playing(7) && !Playing(6); }, 3000));
    ASSERT_GE(
        WaitLine(
            from,
            [](const std::string& l) { return l.rfind("event done server=\"WIZ-KEEP\"", 0) == 0; },
            10000),
        0);
    CompleteAndClose();
    const auto rx = RequestsTo(kKeep, from);
    std::vector<std::string> kinds, items, lengths;
    for (const std::string& l : rx)
        if (Wizardly(l)) {
            kinds.push_back(Field(l, "cmd"));
            items.push_back(Items(l));
            lengths.push_back(Field(l, "len"));
        }
    ASSERT_EQ(kinds, (std::vector<std::string>{"19", "20", "21", "22", "23", "24", "25"}));
    EXPECT_EQ(lengths[1], "16");  // CMD_SET_PASSWORD without items
    EXPECT_EQ(items[1], "");
    EXPECT_EQ(items[2], "33:0b,42:\"pool.ntp.org\\x00\"");
    EXPECT_EQ(items[3], "35:\"437\\x00\"");
    EXPECT_EQ(items[4], "8:01,43:10.77.0.1,44:10.77.0.2");
    EXPECT_EQ(items[5], "34:00");
    EXPECT_TRUE(Listed(L"WIZ-KEEP", L"10.77.3.2"));
}

TEST_F(WizardTest, DroppedReplyRetryResendsAndCancelEndsOnTheFailurePage) {
    // Retry: CMD_SET_ENCODING again, the same bytes, and the run completes.
    size_t from = Log().size();
    ASSERT_TRUE(VnasControl("drop-reply WIZ-DROP 22"));
    ASSERT_GE(WaitLine(from,
                       [](const std::string& l) {
                           return l.rfind("event drop-reply server=\"WIZ-DROP\"", 0) == 0;
                       }),
              0);
    ASSERT_TRUE(Open(kDrop));
    Inputs in;
    in.name = L"WIZ-DROP";
    in.password = in.verify = L"pw";
    in.ip = Ip(10, 77, 3, 3);
    in.netmask = Ip(255, 255, 0, 0);
    ASSERT_NO_FATAL_FAILURE(Steps(in));
    from = Log().size();
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ASSERT_GE(WaitLine(from,
                       [](const std::string& l) {
                           return l.rfind("event reply-dropped server=\"WIZ-DROP\" cmd=22", 0) == 0;
                       }),
              0);
    Settle(500);
    EXPECT_TRUE(Checked(3));
    EXPECT_FALSE(Checked(4));
    PostTimer(TIMER_NO_REPLY);
    ASSERT_TRUE(Answer(L"Warning", kNoResponse, IDRETRY));
    ASSERT_GE(WaitRequest(kDrop, 25, from), 0) << "the run did not go on";
    ASSERT_GE(
        WaitLine(
            from,
            [](const std::string& l) { return l.rfind("event done server=\"WIZ-DROP\"", 0) == 0; },
            10000),
        0);
    CompleteAndClose();
    std::vector<std::string> kinds, encodings;
    for (const std::string& l : RequestsTo(kDrop, from)) {
        if (!Wizardly(l))
            continue;
        kinds.push_back(Field(l, "cmd"));
        if (Field(l, "cmd") == "22")
            encodings.push_back(Items(l));
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"19", "20", "21", "22", "22", "23", "24", "25"}));
    ASSERT_EQ(encodings.size(), 2u);
    EXPECT_EQ(encodings[0], encodings[1]);

    // Cancel: the failure page, Finish alone; nothing more is sent.
    ASSERT_TRUE(Listed(L"WIZ-CANCEL", L"10.77.3.4"));
    from = Log().size();
    ASSERT_TRUE(VnasControl("drop-reply WIZ-CANCEL 23"));
    ASSERT_TRUE(Open(kCancel));
    in.name = L"WIZ-CANCEL";
    in.ip = Ip(10, 77, 3, 4);
    ASSERT_NO_FATAL_FAILURE(StepsThenApply(in));
    ASSERT_GE(WaitLine(from,
                       [](const std::string& l) {
                           return l.rfind("event reply-dropped server=\"WIZ-CANCEL\" cmd=23", 0) ==
                                  0;
                       }),
              0);
    HWND progress = Page();
    PostTimer(TIMER_NO_REPLY);
    ASSERT_TRUE(Answer(L"Warning", kNoResponse, IDCANCEL));
    ASSERT_TRUE(WaitFor([&] { return Contains(StaticTexts(Page()), kFailed); }, 5000));
    EXPECT_TRUE(WaitFor([&] { return Enabled(kFinishButton); }, 3000));
    EXPECT_FALSE(Enabled(IDCANCEL));
    const size_t after = Log().size();
    // The applying page stopped with the run: no second question.
    PostMessageW(progress, WM_TIMER, TIMER_NO_REPLY, 0);
    Settle(800);
    EXPECT_TRUE(TopLevelWindows(pid(), L"Warning").empty());
    // By keyboard: the failure page passes the checks, Return is Finish.
    KeyWalk walk;
    walk.find = [&](const std::wstring& name) -> HWND {
        if (name == L"Tavix")
            return IsWindow(sheet) ? nullptr : main;
        return IsWindow(sheet) ? Page() : nullptr;
    };
    EXPECT_TRUE(walk.Walk({{L"failure page", VK_RETURN, L"Tavix"}}));
    EXPECT_TRUE(walk.faults.empty()) << walk.Report();
    ASSERT_TRUE(Gone(sheet, 8000));
    Settle();
    for (const std::string& l : RequestsTo(kCancel, after))
        EXPECT_LT(std::stoi(Field(l, "cmd")), 18) << l;  // only the new discovery's status
}

TEST_F(WizardTest, RefusedInputsGiveTheirMessagesAndBackKeepsWhatWasTyped) {
    const size_t from = Log().size();
    ASSERT_TRUE(Open(kInput));
    ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(1)));
    HWND name = PageItem(IDC_WIZ_NAME);
    // The box takes 14 characters.
    Type(name, L"ABCDEFGHIJKLMNOP", true);
    EXPECT_EQ(WindowText(name), L"ABCDEFGHIJKLMN");
    struct Case {
        const wchar_t* text;
        const wchar_t* message;
    } names[] = {{L"", kNameEmpty},        {L"2026", kNameDigits},   {L"nas.1", kNameIllegal},
                 {L"nas 1", kNameIllegal}, {L"nas_1", kNameIllegal}, {L"n\u00e4s", kNameIllegal}};
    for (const Case& c : names) {
        SCOPED_TRACE(Narrow(c.text));
        SetText(name, c.text);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        ASSERT_TRUE(Answer(L"Error", c.message));
        EXPECT_EQ(Title(), StepTitle(1));
        EXPECT_EQ(WindowText(name), c.text);
    }
    SetText(name, L"Nas-In2");
    ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(2)));
    struct PwCase {
        const wchar_t* password;
        const wchar_t* verify;
    } pws[] = {{L"", L""}, {L"abc", L""}, {L"abc", L"ABC"}};
    HWND pw = PageItem(IDC_WIZ_PASSWORD), verify = PageItem(IDC_WIZ_VERIFY);
    Type(pw, L"12345678901234567", true);
    EXPECT_EQ(WindowText(pw).size(), 16u);
    for (const PwCase& c : pws) {
        SCOPED_TRACE(Narrow(c.password));
        SetText(pw, c.password);
        SetText(verify, c.verify);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        ASSERT_TRUE(Answer(L"Error", kPasswordWrong));
        EXPECT_EQ(Title(), StepTitle(2));
    }
    // Back and Next again: what was typed is still there.
    ASSERT_TRUE(Go(PSBTN_BACK, StepTitle(1)));
    EXPECT_EQ(WindowText(PageItem(IDC_WIZ_NAME)), L"Nas-In2");
    ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(2)));
    EXPECT_EQ(WindowText(PageItem(IDC_WIZ_PASSWORD)), L"abc");
    EXPECT_EQ(WindowText(PageItem(IDC_WIZ_VERIFY)), L"ABC");
    // The box passes whatever the fields hold.
    Click(IDC_WIZ_KEEP_PASSWORD);
    ASSERT_TRUE(Go(PSBTN_NEXT, StepTitle(3)));
    // Cancel before the summary: nothing sent, the list rebuilt.
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(Gone(sheet, 5000));
    ASSERT_TRUE(Listed(L"WIZ-INPUT", L"10.77.3.5"));
    for (const std::string& l : RequestsTo(kInput, from)) {
        const int cmd = std::stoi(Field(l, "cmd"));
        EXPECT_TRUE(cmd < 18) << l;
    }

    // A server without a disk gets its message and no wizard.
    const int row = RowOf(kNoDisk.name);
    ASSERT_GE(row, 0);
    ClickRow(row);
    ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) == row; }, 5000));
    Press(main, ID_RUN_WIZARD);
    ASSERT_NE(TypeLogin(WaitDialog(L"Administrator Login")), nullptr);
    EXPECT_TRUE(
        Answer(L"Warning",
               L"The server 'WIZ-NODISK' (10.77.3.6) can not detect any hard disk, please "
               L"install the hard disk first or check the internal disk cable connection."));
    EXPECT_EQ(FindSheet(), nullptr);
}

TEST_F(WizardTest, EveryWayToTheFailurePageStopsTheRunAndLeavesNothingRunning) {
    // Gives up on the question; the failure page alone, and the page's timers
    // and late replies move nothing any more.
    auto giveUp = [&](const Server& s, const std::wstring& ip) {
        HWND progress = Page();
        PostTimer(TIMER_NO_REPLY);
        ASSERT_TRUE(Answer(L"Warning", kNoResponse, IDCANCEL));
        ASSERT_TRUE(WaitFor([&] { return Contains(StaticTexts(Page()), kFailed); }, 5000));
        EXPECT_EQ(Title(), L"Quick Configuration Wizard");
        EXPECT_TRUE(WaitFor([&] { return Enabled(kFinishButton); }, 3000));
        EXPECT_FALSE(Enabled(kBackButton));
        EXPECT_FALSE(Enabled(IDCANCEL));
        // Cancel and the window's close do not leave it either.
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        PostMessageW(sheet, WM_CLOSE, 0, 0);
        const size_t after = Log().size();
        for (int id : {TIMER_NO_REPLY, TIMER_DISK_POLL, TIMER_BAR_STEP, TIMER_RESTART_WAIT})
            PostMessageW(progress, WM_TIMER, static_cast<WPARAM>(id), 0);
        Settle(800);
        EXPECT_TRUE(IsWindowVisible(sheet));
        EXPECT_TRUE(TopLevelWindows(pid(), L"Warning").empty());
        EXPECT_TRUE(RequestsTo(s, after).empty());
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        ASSERT_TRUE(Gone(sheet, 8000));
        ASSERT_TRUE(Listed(s.name, ip));
    };

    // No reply to CMD_SET_NAME, ever: Retry sends it again, Cancel gives up.
    size_t from = Log().size();
    ASSERT_TRUE(VnasControl("wizard-fail WIZ-SILENT 19 none"));
    ASSERT_TRUE(Open(kSilent));
    Inputs in;
    in.keepPassword = true;
    in.dhcp = true;
    ASSERT_NO_FATAL_FAILURE(StepsThenApply(in));
    ASSERT_GE(WaitRequest(kSilent, 19, from), 0);
    PostTimer(TIMER_NO_REPLY);
    ASSERT_TRUE(Answer(L"Warning", kNoResponse, IDRETRY));
    ASSERT_TRUE(WaitFor(
        [&] {
            int n = 0;
            for (const std::string& l : RequestsTo(kSilent, from))
                n += Field(l, "cmd") == "19";
            return n == 2;
        },
        5000));
    EXPECT_FALSE(Checked(1));
    std::vector<std::string> sent;
    giveUp(kSilent, L"10.77.3.7");
    if (HasFatalFailure())
        return;
    for (const std::string& l : RequestsTo(kSilent, from))
        if (Wizardly(l))
            sent.push_back(Field(l, "cmd"));
    EXPECT_EQ(sent, (std::vector<std::string>{"19", "19"}));

    // The disk initialisation's progress stops coming: the question comes
    // only once the polls have been answered before; Retry sends nothing.
    from = Log().size();
    ASSERT_TRUE(Open(kStall));
    in.initDisk = true;
    ASSERT_NO_FATAL_FAILURE(StepsThenApply(in));
    ASSERT_TRUE(Answer(L"Warning", kFormatWarning, IDOK));
    ASSERT_GE(WaitRequest(kStall, 24, from), 0);
    ASSERT_TRUE(WaitFor([&] { return Playing(6); }, 5000));
    size_t pollFrom = Log().size();
    PostTimer(TIMER_DISK_POLL);
    ASSERT_GE(WaitLine(pollFrom,
                       [&](const std::string& l) {
                           return l.rfind("tx ", 0) == 0 && Has(l, "cmd=18") &&
                                  Has(l, "id=" + kStall.mac);
                       }),
              0);
    ASSERT_TRUE(VnasControl("wizard-fail WIZ-STALL 18 none"));
    pollFrom = Log().size();
    PostTimer(TIMER_DISK_POLL);
    ASSERT_GE(WaitLine(pollFrom,
                       [](const std::string& l) {
                           return l.rfind("event wizard-failed server=\"WIZ-STALL\" cmd=18", 0) ==
                                  0;
                       }),
              0);
    const size_t retryFrom = Log().size();
    PostTimer(TIMER_NO_REPLY);
    ASSERT_TRUE(Answer(L"Warning", kNoResponse, IDRETRY));
    Settle(500);
    EXPECT_TRUE(RequestsTo(kStall, retryFrom).empty());
    EXPECT_TRUE(Playing(6));
    // The server answers again, too late: the page has stopped polling.
    giveUp(kStall, L"10.77.3.8");
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(VnasControl("wizard-fail WIZ-STALL 18 off"));
    // No poll timer outlived the page: nothing in more than a poll period.
    const size_t quiet = Log().size();
    Settle(5600);
    for (const std::string& l : RequestsTo(kStall, quiet))
        EXPECT_LT(std::stoi(Field(l, "cmd")), 18) << l;

    // CMD_FINISH lost, and the server never comes back with CMD_DONE: the
    // question comes here too, so the page can be left.
    from = Log().size();
    ASSERT_TRUE(VnasControl("wizard-fail WIZ-LOST 25 none"));
    ASSERT_TRUE(Open(kLost));
    in.initDisk = false;
    ASSERT_NO_FATAL_FAILURE(StepsThenApply(in));
    ASSERT_GE(WaitRequest(kLost, 25, from), 0);
    EXPECT_TRUE(WaitFor([&] { return Checked(6) && Playing(7); }, 3000));
    giveUp(kLost, L"10.77.3.9");
}

// ---------------------------------------------------------------------------
// The not-configured prompt against prompt-servers.conf: two servers never
// configured, one configured. The registry is read with the prefix's own
// reg.exe.

namespace {

// "0x1", "0x0", or "" when the value is missing.
std::string StoredAskSetup() {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &sa, 0))
        return "pipe?";
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = write;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = L"reg.exe query \"HKCU\\Software\\Kivo\\Configured\" /v Fastrig";
    const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(write);
    std::string out;
    if (started) {
        char buf[512];
        DWORD n = 0;
        while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0)
            out.append(buf, n);
        WaitForSingleObject(pi.hProcess, Scaled(20000));
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(read);
    const size_t at = out.find("REG_DWORD");
    if (at == std::string::npos)
        return "";
    const size_t hex = out.find("0x", at);
    return hex == std::string::npos ? "" : out.substr(hex, out.find_first_of("\r\n ", hex) - hex);
}

const wchar_t kPromptFormat[] =
    L"The server '%s' (%s) is not configured yet, would  you like to set it up now?\n\n"
    L"The Quick Configuration Wizard will guide you through the configuration process.";

const Server kFresh{L"PR-FRESH", "00:11:32:ee:00:01"};
const Server kOther{L"PR-OTHER", "00:11:32:ee:00:02"};

class PromptTest : public WizardTest {
protected:
    int ListedAtStart() const override { return 3; }
    void TearDown() override {
        for (HWND p : Prompts())
            Press(p, IDCANCEL);
        if (HWND share = FindTopLevel(pid(), L"Select Network Share"))
            Press(share, IDCANCEL);
        WizardTest::TearDown();
    }
    std::vector<HWND> Prompts() {
        std::vector<HWND> out;
        for (HWND w : TopLevelWindows(pid(), L"Quick Configuration Wizard"))
            if (GetDlgItem(w, IDC_PROMPT_DONT_ASK) != nullptr && IsWindowVisible(w))
                out.push_back(w);
        return out;
    }
    HWND WaitPrompt(DWORD ms = 15000) {
        HWND p = nullptr;
        WaitFor(
            [&] {
                const auto all = Prompts();
                p = all.empty() ? nullptr : all.front();
                return p != nullptr;
            },
            ms);
        return p;
    }
    static std::wstring PromptText(const std::wstring& name, const std::wstring& ip) {
        std::wstring t = kPromptFormat;
        t.replace(t.find(L"%s"), 2, name);
        t.replace(t.find(L"%s"), 2, ip);
        return t;
    }
    // The server a prompt names, by its text.
    const Server* Named(HWND prompt) {
        const auto texts = StaticTexts(prompt);
        for (const Server* s : {&kFresh, &kOther}) {
            const std::wstring ip = s == &kFresh ? L"10.77.4.1" : L"10.77.4.2";
            if (Contains(texts, PromptText(s->name, ip)))
                return s;
        }
        for (const auto& t : texts)
            ADD_FAILURE() << "prompt text: " << Narrow(t);
        return nullptr;
    }
};

}  // namespace

TEST_F(PromptTest, YesLeadsThroughTheWizardToTheShareDialogAndDontAskHoldsAcrossStarts) {
    // The first start made the key and asked.
    EXPECT_EQ(StoredAskSetup(), "0x1");
    HWND prompt = WaitPrompt();
    ASSERT_NE(prompt, nullptr) << "no prompt";
    // Another flow's login takes the prompt away, and a discovery while it
    // is open offers nothing: the login keeps the keyboard, and no second
    // login opens over it. Back at the list the next discovery offers again.
    const int old = RowOf(L"PR-OLD");
    ASSERT_GE(old, 0);
    ClickRow(old);
    ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) == old; }, 5000));
    Press(main, IDC_CONFIGURE);
    HWND login = WaitDialog(L"Administrator Login");
    ASSERT_NE(login, nullptr);
    ASSERT_TRUE(Gone(prompt));
    Press(main, IDC_REFRESH);  // as a server's call for a new discovery
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto rows = Rows(list);
            const int fresh = RowOf(L"PR-FRESH");
            return rows.size() == 3 && fresh >= 0 &&
                   rows[static_cast<size_t>(fresh)][4] == L"Not yet configured.";
        },
        20000));
    Settle(1000);
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(TopLevelWindows(pid(), L"Administrator Login").size(), 1u);
    Press(login, IDCANCEL);
    ASSERT_TRUE(Gone(login));
    Press(main, IDC_REFRESH);
    prompt = WaitPrompt();
    ASSERT_NE(prompt, nullptr) << "no prompt back at the list";
    const Server* first = Named(prompt);
    ASSERT_NE(first, nullptr);
    const Server& other = first == &kFresh ? kOther : kFresh;
    // One prompt for two unconfigured servers; above every window, centred.
    Settle(1000);
    EXPECT_EQ(Prompts().size(), 1u);
    EXPECT_TRUE((GetWindowLongPtrW(prompt, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    RECT r;
    GetWindowRect(prompt, &r);
    EXPECT_LE(std::abs((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 - r.left), 1);
    EXPECT_FALSE(IsChecked(GetDlgItem(prompt, IDC_PROMPT_DONT_ASK)));
    // Without a window manager (Xvfb) Wine leaves the X stacking of framed
    // windows as they were mapped, so the main window's later repaints can
    // cover the top-most prompt on the screen; raising it again shows it as
    // a desktop would.
    SetWindowPos(prompt, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(prompt, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WaitFor([] { return false; }, 400);  // let it paint
    SaveScreenshot(prompt, WinePath(Env(L"TAVIX_OUT")) + L"\\wizard-prompt.bmp");
    // The main window stays usable meanwhile.
    EXPECT_TRUE(IsWindowEnabled(main));

    // OK by keyboard, once the prompt is the active window (as a click or a
    // desktop's window manager makes it): login, then the wizard for the
    // server it named.
    const size_t from = Log().size();
    ASSERT_TRUE(WaitFor(
        [&] {
            SetForegroundWindow(prompt);
            return GetForegroundWindow() == prompt && IsChild(prompt, FocusOf(prompt));
        },
        5000));
    KeyWalk walk;
    walk.find = [&](const std::wstring& name) -> HWND {
        if (name == L"Administrator Login")
            return FindTopLevel(pid(), name);
        return IsWindowVisible(prompt) ? prompt : nullptr;
    };
    EXPECT_TRUE(walk.Walk({{L"prompt", VK_RETURN, L"Administrator Login"}}));
    EXPECT_TRUE(walk.faults.empty()) << walk.Report();
    ASSERT_TRUE(Gone(prompt));
    ASSERT_TRUE(LogIn());
    ASSERT_GE(WaitRequest(*first, 3, from), 0) << "no login to the named server";
    Inputs in;
    in.name = L"PR-DONE";
    in.keepPassword = true;
    in.dhcp = true;
    ASSERT_NO_FATAL_FAILURE(StepsThenApply(in));
    ASSERT_GE(
        WaitLine(
            from,
            [](const std::string& l) { return l.rfind("event done server=\"PR-DONE\"", 0) == 0; },
            15000),
        0);
    CompleteAndClose(true);
    if (HasFatalFailure())
        return;
    // Finish with the box ticked: the share selection for the new name,
    // listed by the test network; the wizard closes after it.
    HWND share = WaitDialog(L"Select Network Share");
    ASSERT_NE(share, nullptr);
    HWND box = GetDlgItem(share, IDC_SHARE_LIST);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(box, LB_GETCOUNT, 0, 0) == 2; }, 5000));
    wchar_t item[64] = {};
    SendMessageW(box, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"docs");
    EXPECT_TRUE(IsWindowVisible(sheet));
    Press(share, IDCANCEL);
    ASSERT_TRUE(Gone(share));
    ASSERT_TRUE(Gone(sheet, 8000));
    ASSERT_TRUE(Listed(L"PR-DONE", first == &kFresh ? L"10.77.4.1" : L"10.77.4.2"));
    EXPECT_EQ(Rows(list)[static_cast<size_t>(RowOf(L"PR-DONE"))][4], L"System is configured.");

    // The new discovery offers the other server. The box is stored at once,
    // both ways; Cancel leaves the list as it was and sends nothing.
    prompt = WaitPrompt();
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(Named(prompt), &other);
    HWND dontAsk = GetDlgItem(prompt, IDC_PROMPT_DONT_ASK);
    Send(dontAsk, BM_CLICK, 0);
    EXPECT_EQ(StoredAskSetup(), "0x0");
    Send(dontAsk, BM_CLICK, 0);
    EXPECT_EQ(StoredAskSetup(), "0x1");
    Send(dontAsk, BM_CLICK, 0);
    EXPECT_EQ(StoredAskSetup(), "0x0");
    const auto rows = Rows(list);
    const size_t cancelFrom = Log().size();
    // Escape is Cancel: the keys reach the prompt through the main window's loop.
    PostMessageW(GetDlgItem(prompt, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(Gone(prompt));
    Settle(1000);
    EXPECT_TRUE(NoWindow(L"Administrator Login"));
    EXPECT_EQ(Rows(list), rows);
    EXPECT_TRUE(RequestsTo(other, cancelFrom).empty());

    // Refresh: the choice holds for this run.
    Press(main, IDC_REFRESH);
    WaitListed(3);
    Settle(1500);
    EXPECT_TRUE(Prompts().empty());

    // And for the next start: nothing is asked, though a server is new.
    Press(main, IDC_EXIT);
    ASSERT_TRUE(program.Exited(10000));
    program.Kill();
    ASSERT_TRUE(program.Start(Path(L"TAVIX_BRELLMARK")));
    main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = FindMainWindow()) != nullptr; }, 30000));
    list = GetDlgItem(main, IDC_SERVER_LIST);
    WaitListed(3);
    EXPECT_EQ(Rows(list)[static_cast<size_t>(RowOf(other.name))][4], L"Not yet configured.");
    Settle(1500);
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(StoredAskSetup(), "0x0");
}
