// End-to-end tests of the configure, login and details flows: the real
// Brellmark.exe and its real dialogs against the servers of
// configure-servers.conf. Requests are checked in the virtual NAS's log;
// write replies are chosen through its control FIFO.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/tests/win/session.h"
#include "ui/testing/keys.h"

using namespace e2e;

namespace {

const wchar_t kLoginRefused[] = L"Incorrect name or password, please check and enter again.";
const wchar_t kRestartQuestion[] =
    L"The server configuration has been changed, you need to restart the server for changes to "
    L"take effect. \nRestart the server now?";
const wchar_t kSetupBusy[] = L"Setup is used by another administrator now, please try again later.";
const wchar_t kWriteError[] =
    L"Writing configuration file error, please contact the technical support.";
const wchar_t kDisconnected[] = L"Server disconnected, please try again.";
const wchar_t kInvalidName[] =
    L"You have specify an invalid server name, please refer to your user's manual and try again.";
const wchar_t kInvalidMonth[] = L"Invalid month value for the ' Date' field, please check again.";
const wchar_t kAddressNull[] = L"IP Address or Subnet Mask cannot be null, please check again.";

// A 16-byte text field as the log shows it: the text, then \x00 for each zero.
std::string Field16(const std::string& text) {
    std::string s = text;
    for (size_t i = text.size(); i < 16; ++i)
        s += "\\x00";
    return s;
}

std::wstring Repeat(const std::wstring& unit, size_t count) {
    std::wstring s;
    for (size_t i = 0; i < count; ++i)
        s += unit;
    return s;
}

bool Control(const std::string& line) {
    return VnasControl(line);
}

struct Server {
    std::wstring name;
    std::string mac;
};
const Server kKeep{L"CFG-KEEP", "00:11:32:cc:00:01"};
const Server kName{L"CFG-NAME", "00:11:32:cc:00:02"};
const Server kDate{L"CFG-DATE", "00:11:32:cc:00:03"};
const Server kReply{L"CFG-REPLY", "00:11:32:cc:00:04"};
const Server kMove{L"CFG-MOVE", "00:11:32:cc:00:05"};
const Server kDhcp{L"CFG-DHCP", "00:11:32:cc:00:06"};
const Server kRouter{L"CFG-ROUTER", "00:11:32:cc:00:07"};
const Server kLong{L"", "00:11:32:cc:00:08"};  // named by its first 127 characters
const Server kGone{L"CFG-GONE", "00:11:32:cc:00:09"};

std::wstring LongName() {
    std::wstring s = L"LONG";
    while (s.size() < 255)
        s += L"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return s.substr(0, 255);
}

class ConfigureTest : public BrellmarkSession {
protected:
    static constexpr int kServers = 11;

    // Every server listed with its state: no status reply is still on its
    // way that could open a Details view of its own.
    int ListedAtStart() const override { return kServers; }

    void Select(const std::wstring& name) {
        const int row = RowOf(name);
        ASSERT_GE(row, 0) << "no row for the server";
        ClickRow(row);
        ASSERT_TRUE(WaitFor(
            [&] {
                return SelectedRow(list) == row && IsWindowEnabled(GetDlgItem(main, IDC_CONFIGURE));
            },
            5000));
    }
    // Selects the server, logs in and returns the configuration dialog;
    // `*replyLine` gets the log line of the configuration reply.
    HWND OpenConfig(const Server& server, long* replyLine,
                    const std::wstring& password = L"secret") {
        const size_t from = Log().size();
        Select(server.name);
        Press(main, IDC_CONFIGURE);
        HWND login = WaitDialog(L"Administrator Login");
        EXPECT_NE(login, nullptr);
        if (login == nullptr)
            return nullptr;
        EXPECT_EQ(WindowText(GetDlgItem(login, IDC_ADMIN_NAME)), L"Administrator");
        TypeLogin(login, password.c_str());
        *replyLine = WaitLine(from, [&](const std::string& l) {
            return l.rfind("tx ", 0) == 0 && Has(l, "cmd=2") && Has(l, "id=" + server.mac);
        });
        EXPECT_GE(*replyLine, 0) << "no configuration reply";
        return WaitDialog(L"Basic Configuration");
    }

    // The rows of the Details view of a server, closed again.
    std::vector<std::pair<std::wstring, std::wstring>> DetailsOf(const std::wstring& name) {
        std::vector<std::pair<std::wstring, std::wstring>> out;
        Select(name);
        Press(main, IDC_DETAILS);
        HWND details = WaitDialog(L"Details");
        EXPECT_NE(details, nullptr);
        if (details == nullptr)
            return out;
        HWND view = GetDlgItem(details, IDC_DETAILS_LIST);
        for (const Row& r : Rows(view, 2))
            out.emplace_back(r[0], r[1]);
        Press(details, IDOK);
        EXPECT_TRUE(Gone(details));
        return out;
    }

    HWND Box(HWND dialog, int id) { return GetDlgItem(dialog, id); }
    std::wstring Text(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
};

using Rows2 = std::vector<std::pair<std::wstring, std::wstring>>;

}  // namespace

TEST_F(ConfigureTest, RefusedLoginShowsItsMessageAndGoesNoFurther) {
    const size_t from = Log().size();
    Select(kKeep.name);
    Press(main, IDC_CONFIGURE);
    ASSERT_NE(TypeLogin(WaitDialog(L"Administrator Login"), L"wrong"), nullptr);
    EXPECT_TRUE(Answer(L"Error", kLoginRefused));
    Settle();
    const auto rx = RequestsTo(kKeep, from);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_TRUE(Has(rx[0], "cmd=3") && Has(rx[0], "len=52")) << rx[0];
    // Password first, then the name, each a 16-byte field.
    EXPECT_EQ(Items(rx[0]), "10:\"" + Field16("wrong") + "\",11:\"" + Field16("admin") + "\"");
    EXPECT_TRUE(NoWindow(L"Basic Configuration"));
}

TEST_F(ConfigureTest, OkWithoutChangesLogsOutAndCancelSendsNothing) {
    long reply = -1;
    HWND dlg = OpenConfig(kKeep, &reply);
    ASSERT_NE(dlg, nullptr);
    // Filled from the configuration reply.
    EXPECT_EQ(Text(dlg, IDC_SERVER_NAME), L"CFG-KEEP");
    EXPECT_EQ(Text(dlg, IDC_MONTH), L"03");
    EXPECT_EQ(Text(dlg, IDC_DAY), L"15");
    EXPECT_EQ(Text(dlg, IDC_YEAR), L"2005");
    EXPECT_EQ(Text(dlg, IDC_HOUR), L"12");
    EXPECT_TRUE(IsChecked(Box(dlg, IDC_FIXED_IP)));
    EXPECT_FALSE(IsChecked(Box(dlg, IDC_DHCP)));
    EXPECT_EQ(IpAddress(Box(dlg, IDC_IP_ADDRESS)), Ip(10, 77, 2, 1));
    EXPECT_EQ(IpAddress(Box(dlg, IDC_NETMASK)), Ip(255, 255, 0, 0));
    EXPECT_EQ(IpAddress(Box(dlg, IDC_GATEWAY)), Ip(10, 77, 0, 1));
    EXPECT_TRUE(IsWindowEnabled(Box(dlg, IDC_IP_ADDRESS)));

    Press(dlg, IDOK);
    ASSERT_TRUE(Gone(dlg));
    ASSERT_GE(
        WaitLine(static_cast<size_t>(reply),
                 [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=10"); }),
        0);
    Settle();
    auto rx = RequestsTo(kKeep, static_cast<size_t>(reply));
    ASSERT_EQ(rx.size(), 1u) << rx.back();
    EXPECT_TRUE(Has(rx[0], "cmd=10") && Has(rx[0], "len=16")) << rx[0];
    EXPECT_TRUE(NoWindow(L"Warning"));

    // Cancel: not even a logout.
    dlg = OpenConfig(kKeep, &reply);
    ASSERT_NE(dlg, nullptr);
    Press(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(dlg));
    Settle();
    rx = RequestsTo(kKeep, static_cast<size_t>(reply));
    EXPECT_TRUE(rx.empty()) << rx.front();
}

TEST_F(ConfigureTest, NewNameWithNoToRestartWritesWithoutRestart) {
    long reply = -1;
    HWND dlg = OpenConfig(kName, &reply);
    ASSERT_NE(dlg, nullptr);
    SetText(Box(dlg, IDC_SERVER_NAME), L"CFG-RENAMED");
    Press(dlg, IDOK);
    ASSERT_TRUE(Answer(L"Warning", kRestartQuestion, IDNO));
    const long write = WaitLine(static_cast<size_t>(reply), [](const std::string& l) {
        return l.rfind("rx ", 0) == 0 && Has(l, "cmd=4");
    });
    ASSERT_GE(write, 0);
    Settle();
    const auto rx = RequestsTo(kName, static_cast<size_t>(reply));
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(Items(rx[0]), "1:\"" + Field16("CFG-RENAMED") +
                                "\",8:02,5:10.77.2.2,7:255.255.0.0,6:10.77.0.1,16:00");
    // Status 0 shows nothing; no restart began.
    EXPECT_TRUE(NoWindow(L"Warning"));
    const auto log = Log();
    EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find("restart-begin server=\"CFG-RENAMED\"") != std::string::npos;
    }));
}

TEST_F(ConfigureTest, DateChangeAloneWritesDateAndTimeWithoutAsking) {
    long reply = -1;
    HWND dlg = OpenConfig(kDate, &reply);
    ASSERT_NE(dlg, nullptr);
    Type(Box(dlg, IDC_MONTH), L"4", true);
    const std::wstring hour = Text(dlg, IDC_HOUR), minute = Text(dlg, IDC_MINUTE),
                       second = Text(dlg, IDC_SECOND);
    Press(dlg, IDOK);
    ASSERT_TRUE(Gone(dlg));
    ASSERT_GE(
        WaitLine(static_cast<size_t>(reply),
                 [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=4"); }),
        0);
    Settle();
    EXPECT_TRUE(NoWindow(L"Warning"));
    const auto rx = RequestsTo(kDate, static_cast<size_t>(reply));
    ASSERT_EQ(rx.size(), 1u);
    // The month reads back as 04; date 8 bytes, time 6 bytes.
    EXPECT_EQ(Items(rx[0]), "1:\"" + Field16("CFG-DATE") + "\",3:\"04152005\",4:\"" +
                                Narrow(hour + minute + second) +
                                "\",8:02,5:10.77.2.3,7:255.255.0.0,6:10.77.0.1,16:00");
}

TEST_F(ConfigureTest, WriteRepliesAndTheirAbsenceShowTheirMessages) {
    struct Case {
        const char* reply;
        const wchar_t* message;
    } cases[] = {{"1", kSetupBusy}, {"2", kWriteError}, {"none", kDisconnected}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        const size_t before = Log().size();
        ASSERT_TRUE(Control(std::string("set-config-reply CFG-REPLY ") + c.reply));
        ASSERT_GE(WaitLine(before,
                           [](const std::string& l) {
                               return l.rfind("event set-config-reply server=\"CFG-REPLY\"", 0) ==
                                      0;
                           }),
                  0)
            << "the control line did not arrive";
        long reply = -1;
        HWND dlg = OpenConfig(kReply, &reply);
        ASSERT_NE(dlg, nullptr);
        Type(Box(dlg, IDC_DAY), L"16", true);
        Press(dlg, IDOK);
        ASSERT_TRUE(Gone(dlg));
        ASSERT_GE(WaitLine(static_cast<size_t>(reply),
                           [](const std::string& l) {
                               return l.rfind("rx ", 0) == 0 && Has(l, "cmd=4");
                           }),
                  0);
        if (std::string(c.reply) == "none") {
            // No reply: the reply timer's expiry (not waited for) reports it.
            Settle(300);
            EXPECT_TRUE(NoWindow(L"Warning"));
            PostMessageW(main, WM_TIMER, 101, 0);
            EXPECT_TRUE(Answer(L"Warning", c.message));
        } else {
            EXPECT_TRUE(Answer(L"Warning", c.message));
            // The reply came: a late expiry of the timer shows nothing.
            PostMessageW(main, WM_TIMER, 101, 0);
            Settle(500);
            EXPECT_TRUE(NoWindow(L"Warning"));
        }
    }
}

TEST_F(ConfigureTest, RestartFindsTheServerAgainUnderItsNewName) {
    long reply = -1;
    HWND dlg = OpenConfig(kMove, &reply);
    ASSERT_NE(dlg, nullptr);
    SetText(Box(dlg, IDC_SERVER_NAME), L"CFG-MOVED");
    SetIpAddress(Box(dlg, IDC_IP_ADDRESS), Ip(10, 77, 2, 50));
    Press(dlg, IDOK);
    ASSERT_TRUE(Answer(L"Warning", kRestartQuestion, IDYES));
    ASSERT_GE(
        WaitLine(static_cast<size_t>(reply),
                 [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=4"); }),
        0);
    const auto rx = RequestsTo(kMove, static_cast<size_t>(reply));
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(Items(rx[0]), "1:\"" + Field16("CFG-MOVED") +
                                "\",8:02,5:10.77.2.50,7:255.255.0.0,6:10.77.0.1,16:01");
    EXPECT_GE(WaitLine(
                  static_cast<size_t>(reply),
                  [](const std::string& l) {
                      return l.rfind("event restart-end server=\"CFG-MOVED\"", 0) == 0;
                  },
                  10000),
              0)
        << "the server did not come back";
    Press(main, IDC_REFRESH);
    std::vector<Row> rows;
    ASSERT_TRUE(WaitFor(
        [&] {
            rows = Rows(list);
            return std::any_of(rows.begin(), rows.end(), [](const Row& r) {
                return r[0] == L"CFG-MOVED" && r[1] == L"10.77.2.50" && !r[4].empty();
            });
        },
        10000));
    EXPECT_EQ(RowCount(list), kServers);
    EXPECT_LT(RowOf(L"CFG-MOVE"), 0);
}

TEST_F(ConfigureTest, DetailsShowTheLayoutsAndOnlyPresentDiskRows) {
    const struct {
        const Server& server;
        Rows2 rest;  // after the name, workgroup and version every layout starts with
    } cases[] = {
        // Storage, DHCP without an address, no disk items.
        {kDhcp,
         {{L"MAC Address", L"00-11-32-CC-00-06"},
          {L"DHCP", L"Enabled"},
          {L"IP Address", L"--"},
          {L"Subnet Mask", L"--"},
          {L"Gateway", L"--"}}},
        // Storage with a fixed address and all three disk items.
        {kKeep,
         {{L"MAC Address", L"00-11-32-CC-00-01"},
          {L"DHCP", L"Disabled"},
          {L"IP Address", L"10.77.2.1"},
          {L"Subnet Mask", L"255.255.0.0"},
          {L"Gateway", L"10.77.0.1"},
          {L"Disk Status", L"Initialized"},
          {L"Disk Model", L"WD 2500JB"},
          {L"Disk Capacity", L"232.9 GB"}}},
        // Router: WAN without an address, LAN MAC all zero, disk status only.
        {kRouter,
         {{L"", L""},
          {L"WAN Settings", L""},
          {L"MAC Address", L"00-11-32-CC-00-07"},
          {L"Connection Type", L"DHCP"},
          {L"IP Address", L"--"},
          {L"Subnet Mask", L"--"},
          {L"Gateway", L"--"},
          {L"", L""},
          {L"LAN Settings", L""},
          {L"MAC Address", L"--"},
          {L"Connection Type", L"Static"},
          {L"IP Address", L"10.77.2.7"},
          {L"Subnet Mask", L"255.255.0.0"},
          {L"Gateway", L"10.77.0.1"},
          {L"Disk Status", L"Not initialized"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.server.name));
        Rows2 want = {{L"Server Name", c.server.name},
                      {L"Workgroup Name", L"WORKGROUP"},
                      {L"Version", L"2.13"}};
        want.insert(want.end(), c.rest.begin(), c.rest.end());
        EXPECT_EQ(DetailsOf(c.server.name), want);
    }
}

// A router-type server opens the router dialog filled from its reply; its
// refused inputs give their messages; a change writes every item in order.
TEST_F(ConfigureTest, RouterServerOpensTheRouterDialogAndWritesItsItems) {
    long reply = -1;
    HWND dlg = OpenConfig(kRouter, &reply);
    ASSERT_NE(dlg, nullptr);
    ASSERT_NE(GetDlgItem(dlg, IDC_PPPOE_USER), nullptr) << "not the router dialog";
    EXPECT_EQ(Text(dlg, IDC_SERVER_NAME), L"CFG-ROUTER");
    EXPECT_TRUE(IsChecked(Box(dlg, IDC_DHCP)));
    EXPECT_FALSE(IsWindowEnabled(Box(dlg, IDC_PPPOE_USER)));
    EXPECT_EQ(IpAddress(Box(dlg, IDC_LAN_IP)), Ip(10, 77, 2, 7));
    EXPECT_EQ(IpAddress(Box(dlg, IDC_DHCP_END)), Ip(10, 77, 2, 200));
    EXPECT_TRUE(IsChecked(Box(dlg, IDC_DHCP_SERVER)));

    const wchar_t kNullUser[] = L"Null user name isn't allowed!";
    struct Case {
        int mode;   // radio button to press
        int clear;  // an address control to blank, or 0
        const wchar_t* message;
    } cases[] = {{IDC_PPPOE, 0, kNullUser},
                 {IDC_PPTP, 0, kAddressNull},  // server address checked before the user name
                 {IDC_DHCP, IDC_LAN_NETMASK, kAddressNull}};
    for (const Case& c : cases) {
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(c.mode, BN_CLICKED), 0);
        if (c.clear)
            SetIpAddress(Box(dlg, c.clear), 0);
        Press(dlg, IDOK);
        EXPECT_TRUE(Answer(L"Error", c.message)) << Narrow(c.message);
        if (c.clear)
            SetIpAddress(Box(dlg, c.clear), Ip(255, 255, 0, 0));
    }
    // The four WAN choices are one group: from DHCP, Down twice chooses PPPoE.
    PostMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Box(dlg, IDC_DHCP)), TRUE);
    int at = IDC_DHCP;
    for (int id : {IDC_FIXED_IP, IDC_PPPOE}) {
        ASSERT_TRUE(WaitFor([&] { return FocusOf(dlg) == Box(dlg, at); }, 5000)) << at;
        PressKey(dlg, VK_DOWN);
        ASSERT_TRUE(WaitFor([&] { return IsChecked(Box(dlg, id)); }, 5000)) << id;
        at = id;
    }
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Box(dlg, IDC_PPPOE_USER)) != FALSE; }, 5000));
    SetText(Box(dlg, IDC_PPPOE_USER), L"dsl");
    SetText(Box(dlg, IDC_PPPOE_PASSWORD), L"pw");
    Press(dlg, IDOK);
    ASSERT_TRUE(Answer(L"Warning", kRestartQuestion, IDNO));
    ASSERT_GE(
        WaitLine(static_cast<size_t>(reply),
                 [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=4"); }),
        0);
    const auto rx = RequestsTo(kRouter, static_cast<size_t>(reply));
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(Items(rx[0]), "1:\"" + Field16("CFG-ROUTER") +
                                "\",8:03,5:0.0.0.0,7:0.0.0.0,6:0.0.0.0,16:00,18:\"dsl\\x00\","
                                "19:\"pw\\x00\",20:0.0.0.0,21:\"\\x00\",22:\"\\x00\",28:01,"
                                "23:10.77.2.7,25:255.255.0.0,24:10.77.0.1,29:10.77.2.100,"
                                "30:10.77.2.200");
}

TEST_F(ConfigureTest, RefusedInputShowsItsMessageAndKeepsTheRest) {
    long reply = -1;
    HWND dlg = OpenConfig(kKeep, &reply);
    ASSERT_NE(dlg, nullptr);
    HWND name = Box(dlg, IDC_SERVER_NAME), month = Box(dlg, IDC_MONTH);
    Type(month, L"5", true);
    SetIpAddress(Box(dlg, IDC_GATEWAY), Ip(10, 77, 0, 254));

    // An underscore: the name's last edit is undone, the rest stays.
    SetText(name, L"nas");
    Type(name, L"_01", false);
    ASSERT_EQ(WindowText(name), L"nas_01");
    Press(dlg, IDOK);
    ASSERT_TRUE(Answer(L"Error", kInvalidName));
    EXPECT_EQ(WindowText(name), L"nas");
    EXPECT_EQ(WindowText(month), L"5");
    EXPECT_EQ(IpAddress(Box(dlg, IDC_GATEWAY)), Ip(10, 77, 0, 254));

    // Month 13: refused, its typing undone; the year was rewritten first.
    SetText(name, L"nas-01");
    Type(month, L"13", true);
    Press(dlg, IDOK);
    ASSERT_TRUE(Answer(L"Error", kInvalidMonth));
    EXPECT_EQ(WindowText(month), L"5");
    EXPECT_EQ(WindowText(name), L"nas-01");
    EXPECT_EQ(Text(dlg, IDC_YEAR), L"2005");
    EXPECT_EQ(IpAddress(Box(dlg, IDC_GATEWAY)), Ip(10, 77, 0, 254));

    // A fixed address with mask 0.0.0.0; the month has been rewritten as 05.
    SetIpAddress(Box(dlg, IDC_NETMASK), 0);
    Press(dlg, IDOK);
    ASSERT_TRUE(Answer(L"Error", kAddressNull));
    EXPECT_EQ(WindowText(month), L"05");
    EXPECT_EQ(WindowText(name), L"nas-01");
    EXPECT_EQ(IpAddress(Box(dlg, IDC_IP_ADDRESS)), Ip(10, 77, 2, 1));
    EXPECT_EQ(IpAddress(Box(dlg, IDC_GATEWAY)), Ip(10, 77, 0, 254));

    // Nothing reached the server while the dialog was open, nor after Cancel.
    Press(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(dlg));
    Settle();
    const auto rx = RequestsTo(kKeep, static_cast<size_t>(reply));
    EXPECT_TRUE(rx.empty()) << rx.front();
}

TEST_F(ConfigureTest, OverLongTextsAreShownCut) {
    const std::wstring name127 = LongName().substr(0, 127);
    const int row = RowOf(name127);
    ASSERT_GE(row, 0);
    const Row r = Rows(list)[static_cast<size_t>(row)];
    EXPECT_EQ(r[1], L"10.77.2.8");
    EXPECT_EQ(r[2], Repeat(L"W", 127));
    EXPECT_EQ(r[4], L"System is configured.");

    const Rows2 details = DetailsOf(name127);
    ASSERT_EQ(details.size(), 11u);
    EXPECT_EQ(details[0], (std::pair<std::wstring, std::wstring>{L"Server Name", name127}));
    EXPECT_EQ(details[1],
              (std::pair<std::wstring, std::wstring>{L"Workgroup Name", Repeat(L"W", 127)}));
    EXPECT_EQ(details[9],
              (std::pair<std::wstring, std::wstring>{L"Disk Model", Repeat(L"M", 127)}));
    EXPECT_EQ(details[10], (std::pair<std::wstring, std::wstring>{L"Disk Capacity", L"232.9 GB"}));

    Server longServer = kLong;
    longServer.name = name127;
    long reply = -1;
    HWND dlg = OpenConfig(longServer, &reply);
    ASSERT_NE(dlg, nullptr);
    // The name box holds 14 characters.
    EXPECT_EQ(Text(dlg, IDC_SERVER_NAME), name127.substr(0, 14));
    Press(dlg, IDCANCEL);
    ASSERT_TRUE(Gone(dlg));
    EXPECT_FALSE(program.Exited(0));
    EXPECT_NE(FindMainWindow(), nullptr);
}

// Another host sends login, configuration and write replies nobody asked for,
// numbered so that the acceptance rule lets them through: with no server
// selected, with another server selected, and from the selected server itself.
// Nothing opens, nothing is sent; the real flows above still show their
// messages.
TEST_F(ConfigureTest, RepliesNobodyAskedForOpenNothing) {
    auto flood = [&](const char* from) {
        const size_t before = Log().size();
        const std::string server = from;
        for (const char* what : {" 3 1 20", " 3 0 5", " 4 1 20", " 4 2 20", " 2 0 5"})
            ASSERT_TRUE(Control("reply " + server + what));
        // 70 replies sent, then time for all of them to be handled.
        ASSERT_GE(WaitLine(before,
                           [&](const std::string& l) {
                               return l.rfind("event reply ", 0) == 0 && Has(l, "cmd=2");
                           }),
                  0);
        Settle(1500);
        for (const wchar_t* caption : {L"Error", L"Warning", L"Basic Configuration"})
            EXPECT_TRUE(NoWindow(caption)) << Narrow(caption) << " after replies from " << from;
        EXPECT_TRUE(LogLines("rx ", before).empty()) << "a request was sent";
    };
    flood("CFG-KEEP");  // none selected
    Select(kKeep.name);
    flood("CFG-DHCP");  // another server selected
    flood("CFG-KEEP");  // the selected server, numbered as its next reply
    EXPECT_EQ(RowCount(list), kServers);
}

// Two new servers of one name: each row shows its own server's Version and
// System State, also for status replies that arrive after a sort.
TEST_F(ConfigureTest, ServersOfOneNameShowTheirOwnState) {
    auto check = [&](const char* when) {
        int seen = 0;
        for (const Row& r : Rows(list)) {
            if (r[1] == L"10.77.2.61") {
                ++seen;
                EXPECT_EQ(r[3], L"2.13") << when;
                EXPECT_EQ(r[4], L"System is configured.") << when;
            } else if (r[1] == L"10.77.2.62") {
                ++seen;
                EXPECT_EQ(r[3], L"w1.23060920") << when;
                EXPECT_EQ(r[4], L"Not yet configured.") << when;
            }
        }
        EXPECT_EQ(seen, 2) << when;
    };
    check("after discovery");
    ClickHeader(1);  // by address, ascending
    ClickHeader(1);  // descending: the second twin is now above the first
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto rows = Rows(list);
            return RowOf(L"NAS-TWIN") >= 0 &&
                   rows[static_cast<size_t>(RowOf(L"NAS-TWIN"))][1] == L"10.77.2.62";
        },
        5000));
    // Both answer again, the first one first: each must land on its own row.
    const size_t before = Log().size();
    ASSERT_TRUE(Control("reply 00:11:32:cc:00:61 5"));
    ASSERT_TRUE(Control("reply 00:11:32:cc:00:62 5"));
    ASSERT_GE(WaitLine(before,
                       [](const std::string& l) {
                           return l.rfind("tx ", 0) == 0 && Has(l, "cmd=5") &&
                                  Has(l, "id=00:11:32:cc:00:62");
                       }),
              0);
    Settle(700);
    check("after a sort");
}

// The server asks for a new discovery while its configuration dialog is
// open: the list is rebuilt, and OK then sends nothing, to nobody, and says
// so.
TEST_F(ConfigureTest, ServerGoneWhileTheDialogIsOpenGetsNothing) {
    long reply = -1;
    HWND dlg = OpenConfig(kGone, &reply);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(Control("rediscover CFG-GONE"));
    ASSERT_GE(
        WaitLine(static_cast<size_t>(reply),
                 [](const std::string& l) { return l.rfind("rx ", 0) == 0 && Has(l, "cmd=1"); }),
        0)
        << "no new discovery";
    ASSERT_TRUE(WaitFor([&] { return RowCount(list) == kServers; }, 10000));
    SetText(Box(dlg, IDC_SERVER_NAME), L"CFG-RENAMED");
    Press(dlg, IDOK);
    // The name changed, so the restart question comes first; then the news.
    ASSERT_TRUE(Answer(L"Warning", kRestartQuestion, IDYES));
    EXPECT_TRUE(Answer(L"Warning", kDisconnected));
    Settle(500);
    for (const std::string& l : LogLines("rx ", static_cast<size_t>(reply))) {
        EXPECT_FALSE(Has(l, "cmd=4")) << l;
        EXPECT_TRUE(Has(l, "cmd=1") || Has(l, "origin=436c")) << "unaddressed: " << l;
    }
}
