// The settings dialogs as the user meets them: each dialog runs modally on
// the test's thread while a second thread finds its window, fills and presses
// its controls, reads and dismisses the message boxes and checks what the
// boxes keep. No network: nothing here creates a socket.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/win/admin_login.h"
#include "dialogs/win/basic_config.h"
#include "dialogs/win/details.h"
#include "protocol/tests/reply_builder.h"
#include "resources/brellmark/resource.h"
#include "ui/testing/remote.h"

namespace {

using proto::testing::Bytes;
using proto::testing::Item;

constexpr DWORD Ip(int a, int b, int c, int d) {
    return static_cast<DWORD>(a) << 24 | static_cast<DWORD>(b) << 16 | static_cast<DWORD>(c) << 8 |
           static_cast<DWORD>(d);
}

// Drives the windows of the thread `ui` from another thread. Every wait is
// bounded; every call that reaches a window times out.
class Driver {
public:
    explicit Driver(DWORD ui) : ui_(ui) {}

    // A visible top-level window of the dialog thread with this caption.
    HWND Find(const std::wstring& caption) const {
        struct State {
            std::wstring caption;
            HWND found;
        } s{caption, nullptr};
        EnumThreadWindows(
            ui_,
            [](HWND w, LPARAM lp) CALLBACK -> BOOL {
                auto* st = reinterpret_cast<State*>(lp);
                if (IsWindowVisible(w) && e2e::WindowText(w) == st->caption) {
                    st->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&s));
        return s.found;
    }
    HWND Wait(const std::wstring& caption, DWORD ms = 5000) const {
        for (DWORD waited = 0; waited < ms; waited += 20) {
            if (HWND w = Find(caption))
                return w;
            Sleep(20);
        }
        return nullptr;
    }
    bool Gone(HWND w, DWORD ms = 5000) const {
        for (DWORD waited = 0; waited < ms; waited += 20) {
            if (!IsWindow(w) || !IsWindowVisible(w))
                return true;
            Sleep(20);
        }
        return false;
    }
    // The text of a message box (its non-empty static control).
    static std::wstring MessageText(HWND box) {
        std::wstring text;
        EnumChildWindows(
            box,
            [](HWND w, LPARAM lp) CALLBACK -> BOOL {
                wchar_t cls[32] = {};
                GetClassNameW(w, cls, 32);
                const std::wstring t = e2e::WindowText(w);
                if (lstrcmpiW(cls, L"Static") == 0 && !t.empty()) {
                    *reinterpret_cast<std::wstring*>(lp) = t;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        return text;
    }
    // Waits for a message box with `caption`, returns its text and presses OK.
    std::wstring Dismiss(const std::wstring& caption) const {
        HWND box = Wait(caption);
        if (box == nullptr)
            return L"<no message box>";
        const std::wstring text = MessageText(box);
        e2e::Press(box, IDOK);
        Gone(box);
        return text;
    }

private:
    DWORD ui_;
};

// Runs `script` on a second thread while `show` runs the modal dialog here.
// Whatever the script leaves open is cancelled, so the call always returns.
INT_PTR RunDriven(const std::function<INT_PTR()>& show, const std::wstring& caption,
                  const std::function<void(Driver&, HWND)>& script) {
    Driver driver(GetCurrentThreadId());
    std::thread t([&] {
        HWND dialog = driver.Wait(caption);
        if (dialog != nullptr)
            script(driver, dialog);
        for (int i = 0; i < 50; ++i) {
            HWND left = driver.Find(caption);
            if (left == nullptr)
                break;
            for (const wchar_t* box : {L"Error", L"Warning"})
                if (HWND b = driver.Find(box))
                    e2e::Press(b, IDOK);
            e2e::Press(left, IDCANCEL);
            Sleep(100);
        }
    });
    const INT_PTR result = show();
    t.join();
    return result;
}

class DialogsWinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
        InitCommonControlsEx(&icc);
    }
};

// ---------------------------------------------------------------------------
// Basic configuration

rules::BasicConfigFields Opening() {
    rules::BasicConfigFields f;
    f.serverName = "NAS-1";
    f.month = "03";
    f.day = "15";
    f.year = "2005";
    f.hour = "12";
    f.minute = "00";
    f.second = "00";
    f.ipMode = 2;
    f.ip = Ip(10, 0, 0, 5);
    f.netmask = Ip(255, 255, 255, 0);
    f.gateway = Ip(10, 0, 0, 1);
    return f;
}

struct Input {
    enum Kind { Set, TypeOver, TypeAfter, Address, Click } kind;
    int id;
    std::wstring text;
    DWORD address = 0;
};
Input SetBox(int id, const wchar_t* t) {
    return {Input::Set, id, t};
}
Input TypeOver(int id, const wchar_t* t) {
    return {Input::TypeOver, id, t};
}
Input TypeAfter(int id, const wchar_t* t) {
    return {Input::TypeAfter, id, t};
}
Input Address(int id, DWORD a) {
    return {Input::Address, id, L"", a};
}
Input Click(int id) {
    return {Input::Click, id, L""};
}

void Apply(HWND dialog, const Input& in) {
    HWND box = GetDlgItem(dialog, in.id);
    switch (in.kind) {
        case Input::Set:
            e2e::SetText(box, in.text);
            break;
        case Input::TypeOver:
            e2e::Type(box, in.text, true);
            break;
        case Input::TypeAfter:
            e2e::Type(box, in.text, false);
            break;
        case Input::Address: {
            DWORD_PTR r = 0;
            SendMessageTimeoutW(box, IPM_SETADDRESS, 0, static_cast<LPARAM>(in.address),
                                SMTO_ABORTIFHUNG, 2000, &r);
            break;
        }
        case Input::Click: {
            // What a click on a radio button tells the dialog.
            DWORD_PTR r = 0;
            SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(in.id, BN_CLICKED),
                                reinterpret_cast<LPARAM>(box), SMTO_ABORTIFHUNG, 2000, &r);
            break;
        }
    }
}

struct Expected {
    int id;
    std::wstring text;  // an edit box's text, or "a.b.c.d" of an address control
};

std::wstring Dotted(DWORD a) {
    wchar_t buf[20];
    swprintf(buf, 20, L"%u.%u.%u.%u", (a >> 24) & 255, (a >> 16) & 255, (a >> 8) & 255, a & 255);
    return buf;
}

std::wstring BoxValue(HWND dialog, int id) {
    HWND box = GetDlgItem(dialog, id);
    if (id == IDC_IP_ADDRESS || id == IDC_NETMASK || id == IDC_GATEWAY) {
        DWORD a = 0;
        DWORD_PTR r = 0;
        SendMessageTimeoutW(box, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a), SMTO_ABORTIFHUNG,
                            2000, &r);
        return Dotted(a);
    }
    return e2e::WindowText(box);
}

// Opens the basic configuration with `opening`, makes the `inputs` and presses
// OK; `then` sees the dialog after. Returns how the dialog ended.
INT_PTR TypeAndPressOk(rules::BasicConfigRules& rules, const rules::BasicConfigFields& opening,
                       const std::vector<Input>& inputs,
                       const std::function<void(Driver&, HWND)>& then) {
    return RunDriven(
        [&] {
            CBasicConfig dlg(nullptr, opening, rules);
            return dlg.DoModal();
        },
        L"Basic Configuration",
        [&](Driver& d, HWND dialog) {
            for (const Input& in : inputs)
                Apply(dialog, in);
            e2e::Press(dialog, IDOK);
            then(d, dialog);
        });
}

// A parameterised case's name: its description, each character that is not a
// letter or a digit as '_'.
template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string n;
    for (const char* p = info.param.what; *p; ++p)
        n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return n;
}

// One refused input: the message and the boxes as the user then sees them.
struct Refusal {
    const char* what;
    std::vector<Input> inputs;
    const wchar_t* message;
    std::vector<Expected> kept;
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.what;
}

class BasicConfigRefusals : public DialogsWinTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(BasicConfigRefusals, ShowTheMessageAndKeepTheInput) {
    const Refusal& c = GetParam();
    rules::BasicConfigRules rules;
    std::wstring shown;
    std::vector<std::wstring> seen;
    bool stillOpen = false;
    const INT_PTR result = TypeAndPressOk(rules, Opening(), c.inputs, [&](Driver& d, HWND dialog) {
        shown = d.Dismiss(L"Error");
        stillOpen = IsWindowVisible(dialog) != 0;
        for (const Expected& e : c.kept)
            seen.push_back(BoxValue(dialog, e.id));
        e2e::Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(shown, c.message);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(seen.size(), c.kept.size());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], c.kept[i].text) << "control " << c.kept[i].id;
}

const wchar_t kInvalidName[] =
    L"You have specify an invalid server name, please refer to your user's manual and try again.";
const wchar_t kEmptyName[] = L"Server Name can not be empty.";
const wchar_t kDigitsName[] = L"Server Name can not be all numbers.";
const wchar_t kBadYear[] = L"Invalid year value for the ' Date' field, please check again.";
const wchar_t kBadMonth[] = L"Invalid month value for the ' Date' field, please check again.";
const wchar_t kBadDay[] = L"Invalid day value for the ' Date' field, please check again.";
const wchar_t kBadHour[] = L"Invalid hour value for the ' Time' field, please check again.";
const wchar_t kBadMinute[] = L"Invalid minute value for the ' Time' field, please check again.";
const wchar_t kBadSecond[] = L"Invalid second value for the ' Time' field, please check again.";
const wchar_t kAddressNull[] = L"IP Address or Subnet Mask cannot be null, please check again.";

const Refusal kRefusals[] = {
    // The name's character set: the last edit of the name box is undone.
    {"underscore typed behind the name",
     {TypeOver(IDC_MONTH, L"7"), TypeAfter(IDC_SERVER_NAME, L"_01")},
     kInvalidName,
     {{IDC_SERVER_NAME, L"NAS-1"}, {IDC_MONTH, L"7"}, {IDC_IP_ADDRESS, L"10.0.0.5"}}},
    {"blank typed over the name",
     {Address(IDC_GATEWAY, Ip(10, 0, 0, 9)), TypeOver(IDC_SERVER_NAME, L"nas 01")},
     kInvalidName,
     {{IDC_SERVER_NAME, L"NAS-1"}, {IDC_GATEWAY, L"10.0.0.9"}}},
    {"dot", {TypeOver(IDC_SERVER_NAME, L"nas.01")}, kInvalidName, {{IDC_SERVER_NAME, L"NAS-1"}}},
    {"empty name",
     {SetBox(IDC_SERVER_NAME, L""), TypeOver(IDC_DAY, L"20")},
     kEmptyName,
     {{IDC_SERVER_NAME, L""}, {IDC_DAY, L"20"}}},
    {"digits only",
     {SetBox(IDC_SERVER_NAME, L"12345")},
     kDigitsName,
     {{IDC_SERVER_NAME, L"12345"}}},
    // Dates and times: the failing box's typing is undone; the boxes before
    // it were rewritten with leading zeros; the other input stays.
    {"month 13",
     {SetBox(IDC_SERVER_NAME, L"nas-01"), TypeOver(IDC_YEAR, L"7"), TypeOver(IDC_MONTH, L"13")},
     kBadMonth,
     {{IDC_MONTH, L"03"}, {IDC_YEAR, L"0007"}, {IDC_SERVER_NAME, L"nas-01"}}},
    {"month 0", {TypeOver(IDC_MONTH, L"0")}, kBadMonth, {{IDC_MONTH, L"03"}}},
    {"day 32", {TypeOver(IDC_DAY, L"32")}, kBadDay, {{IDC_DAY, L"15"}, {IDC_MONTH, L"03"}}},
    {"day 0", {TypeOver(IDC_DAY, L"0")}, kBadDay, {{IDC_DAY, L"15"}}},
    {"hour 24", {TypeOver(IDC_HOUR, L"24")}, kBadHour, {{IDC_HOUR, L"12"}}},
    {"minute 60",
     {TypeOver(IDC_MONTH, L"4"), TypeOver(IDC_MINUTE, L"60")},
     kBadMinute,
     {{IDC_MINUTE, L"00"}, {IDC_MONTH, L"04"}}},
    {"second 60", {TypeOver(IDC_SECOND, L"60")}, kBadSecond, {{IDC_SECOND, L"00"}}},
    {"year beyond any int",
     {SetBox(IDC_YEAR, L"99999999999")},
     kBadYear,
     {{IDC_YEAR, L"99999999999"}}},
    // Addresses: nothing undone.
    {"fixed address with mask 0.0.0.0",
     {SetBox(IDC_SERVER_NAME, L"nas-02"), Address(IDC_NETMASK, 0)},
     kAddressNull,
     {{IDC_SERVER_NAME, L"nas-02"},
      {IDC_IP_ADDRESS, L"10.0.0.5"},
      {IDC_NETMASK, L"0.0.0.0"},
      {IDC_GATEWAY, L"10.0.0.1"}}},
    {"fixed address 0.0.0.0 after switching from DHCP",
     {Click(IDC_DHCP), Click(IDC_FIXED_IP), Address(IDC_IP_ADDRESS, 0)},
     kAddressNull,
     {{IDC_IP_ADDRESS, L"0.0.0.0"}, {IDC_NETMASK, L"255.255.255.0"}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, BasicConfigRefusals, ::testing::ValuesIn(kRefusals),
                         CaseName<Refusal>);

// One accepted input: what the caller reads after OK.
struct Acceptance {
    const char* what;
    std::vector<Input> inputs;
    bool configChanged;
    bool dateTimeChanged;
    std::function<void(const rules::BasicConfigFields&)> check;
    rules::BasicConfigFields opening = Opening();  // what the dialog opens with
};

void PrintTo(const Acceptance& c, std::ostream* os) {
    *os << c.what;
}

class BasicConfigAcceptances : public DialogsWinTest,
                               public ::testing::WithParamInterface<Acceptance> {};

TEST_P(BasicConfigAcceptances, CloseWithOkAndReportTheChanges) {
    const Acceptance& c = GetParam();
    rules::BasicConfigRules rules;
    std::wstring unexpected;
    const INT_PTR result = TypeAndPressOk(rules, c.opening, c.inputs, [&](Driver& d, HWND dialog) {
        if (!d.Gone(dialog, 3000))
            unexpected = Driver::MessageText(d.Find(L"Error"));
    });
    ASSERT_EQ(result, IDOK) << unexpected;
    EXPECT_EQ(rules.configChanged(), c.configChanged);
    EXPECT_EQ(rules.dateTimeChanged(), c.dateTimeChanged);
    if (c.check)
        c.check(rules.fields());
}

rules::BasicConfigFields OpeningDhcp() {
    rules::BasicConfigFields f = Opening();
    f.ipMode = 1;
    f.ip = f.netmask = f.gateway = 0;
    return f;
}

rules::BasicConfigFields OpeningLongName() {
    rules::BasicConfigFields f = Opening();
    f.serverName = std::string(40, 'N');
    return f;
}

const Acceptance kAcceptances[] = {
    {"nothing changed", {}, false, false, nullptr},
    {"seconds alone",
     {TypeOver(IDC_SECOND, L"30")},
     false,
     false,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.second, "30"); }},
    {"month 3 reads back as 03",
     {TypeOver(IDC_MONTH, L"3")},
     false,
     true,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.month, "03"); }},
    {"year 0 reads back as 0000 and day 31 in February",
     {TypeOver(IDC_YEAR, L"0"), TypeOver(IDC_MONTH, L"2"), TypeOver(IDC_DAY, L"31")},
     false,
     true,
     [](const rules::BasicConfigFields& f) {
         EXPECT_EQ(f.year, "0000");
         EXPECT_EQ(f.month, "02");
         EXPECT_EQ(f.day, "31");
     }},
    {"a name with a hyphen",
     {TypeOver(IDC_SERVER_NAME, L"nas-01")},
     true,
     false,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.serverName, "nas-01"); }},
    {"the name's letter case", {TypeOver(IDC_SERVER_NAME, L"nas-1")}, true, false, nullptr},
    {"the name box takes 14 characters",
     {TypeOver(IDC_SERVER_NAME, L"ABCDEFGHIJKLMNOPQRST")},
     true,
     false,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.serverName, "ABCDEFGHIJKLMN"); }},
    {"gateway 0.0.0.0",
     {Address(IDC_GATEWAY, 0)},
     true,
     false,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.gateway, 0u); }},
    {"fixed to DHCP and back",
     {Click(IDC_DHCP), Click(IDC_FIXED_IP)},
     false,
     false,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.ipMode, 2); }},
    {"DHCP with a blank mask",
     {Address(IDC_NETMASK, 0), Click(IDC_DHCP)},
     true,
     false,
     [](const rules::BasicConfigFields& f) {
         // In DHCP mode the addresses keep the values the dialog opened with.
         EXPECT_EQ(f.ipMode, 1);
         EXPECT_EQ(f.netmask, Ip(255, 255, 255, 0));
     }},
    {"DHCP server given a fixed address",
     {Click(IDC_FIXED_IP), Address(IDC_IP_ADDRESS, Ip(10, 0, 0, 7)),
      Address(IDC_NETMASK, Ip(255, 0, 0, 0))},
     true,
     false,
     [](const rules::BasicConfigFields& f) {
         EXPECT_EQ(f.ipMode, 2);
         EXPECT_EQ(f.ip, Ip(10, 0, 0, 7));
         EXPECT_EQ(f.netmask, Ip(255, 0, 0, 0));
         EXPECT_EQ(f.gateway, 0u);
     },
     OpeningDhcp()},
    // A name longer than the box opens cut to 14 characters: what would be
    // written is what the user sees, and it counts as a change of the name.
    {"a name longer than the box",
     {},
     true,
     false,
     [](const rules::BasicConfigFields& f) { EXPECT_EQ(f.serverName, std::string(14, 'N')); },
     OpeningLongName()},
};

INSTANTIATE_TEST_SUITE_P(Cases, BasicConfigAcceptances, ::testing::ValuesIn(kAcceptances),
                         CaseName<Acceptance>);

TEST_F(DialogsWinTest, BasicConfigOpensWithTheReplyValues) {
    rules::BasicConfigRules rules;
    std::vector<std::wstring> seen;
    bool dhcpChecked = false, addressEnabled = true;
    RunDriven(
        [&] {
            CBasicConfig dlg(nullptr, OpeningDhcp(), rules);
            return dlg.DoModal();
        },
        L"Basic Configuration",
        [&](Driver&, HWND dialog) {
            for (int id : {IDC_SERVER_NAME, IDC_MONTH, IDC_DAY, IDC_YEAR, IDC_HOUR, IDC_MINUTE,
                           IDC_SECOND, IDC_IP_ADDRESS})
                seen.push_back(BoxValue(dialog, id));
            dhcpChecked =
                SendMessageW(GetDlgItem(dialog, IDC_DHCP), BM_GETCHECK, 0, 0) == BST_CHECKED;
            addressEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_IP_ADDRESS)) != 0;
            e2e::Press(dialog, IDCANCEL);
        });
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"NAS-1", L"03", L"15", L"2005", L"12", L"00", L"00",
                                               L"0.0.0.0"}));
    EXPECT_TRUE(dhcpChecked);
    EXPECT_FALSE(addressEnabled);
}

// ---------------------------------------------------------------------------
// Administrator login

TEST_F(DialogsWinTest, LoginReadsBothBoxesWithoutChecksAndCancelReadsNothing) {
    struct Case {
        const wchar_t* name;      // nullptr: leave the box as it opened
        const wchar_t* password;  // nullptr: leave it
        std::string wantName, wantPassword;
    } cases[] = {
        {nullptr, nullptr, "Administrator", ""},
        {L"", L"", "", ""},
        {L"admin", L"a password of twenty", "admin", "a password of twenty"},
        {nullptr, nullptr, "Administrator", std::string(127, 'p')},
    };
    const std::wstring longPassword(200, L'p');
    cases[3].password = longPassword.c_str();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wantName + "/" + c.wantPassword.substr(0, 20));
        std::wstring openedName = L"?", openedPassword = L"?";
        const INT_PTR result = RunDriven(
            [&] {
                CAdminLogin dlg(nullptr);
                const INT_PTR r = dlg.DoModal();
                EXPECT_EQ(dlg.adminName, c.wantName);
                EXPECT_EQ(dlg.password, c.wantPassword);
                return r;
            },
            L"Administrator Login",
            [&](Driver&, HWND dialog) {
                openedName = e2e::WindowText(GetDlgItem(dialog, IDC_ADMIN_NAME));
                openedPassword = e2e::WindowText(GetDlgItem(dialog, IDC_ADMIN_PASSWORD));
                if (c.name)
                    e2e::SetText(GetDlgItem(dialog, IDC_ADMIN_NAME), c.name);
                if (c.password)
                    e2e::SetText(GetDlgItem(dialog, IDC_ADMIN_PASSWORD), c.password);
                e2e::Press(dialog, IDOK);
            });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(openedName, L"Administrator");
        EXPECT_EQ(openedPassword, L"");
    }

    std::string readName = "untouched";
    const INT_PTR result = RunDriven(
        [&] {
            CAdminLogin dlg(nullptr);
            dlg.adminName = "untouched";
            const INT_PTR r = dlg.DoModal();
            readName = dlg.adminName;
            return r;
        },
        L"Administrator Login",
        [&](Driver&, HWND dialog) {
            e2e::SetText(GetDlgItem(dialog, IDC_ADMIN_NAME), L"someone");
            e2e::Press(dialog, IDCANCEL);
        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(readName, "untouched");
}

// ---------------------------------------------------------------------------
// Details

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

Rows ReadList(HWND list) {
    Rows rows;
    for (const e2e::Row& row : e2e::Rows(list, 2))
        rows.emplace_back(row[0], row[1]);
    return rows;
}

struct DetailsView {
    Rows rows;
    RECT place = {};
    int widths[2] = {};
    std::wstring headers[2];
    LRESULT extendedStyle = 0;
};

DetailsView ShowDetails(const std::vector<uint8_t>& reply) {
    DetailsView v;
    RunDriven(
        [&] {
            const proto::StatusReply status = proto::DecodeStatusReply(reply.data(), reply.size());
            CDetails dlg(nullptr, status);
            return dlg.DoModal();
        },
        L"Details",
        [&](Driver&, HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_DETAILS_LIST);
            v.rows = ReadList(list);
            GetWindowRect(list, &v.place);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&v.place), 2);
            v.extendedStyle = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
            for (int c = 0; c < 2; ++c) {
                v.widths[c] = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
                wchar_t buf[64] = {};
                LVCOLUMNW col = {};
                col.mask = LVCF_TEXT;
                col.pszText = buf;
                col.cchTextMax = 64;
                SendMessageW(list, LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
                v.headers[c] = buf;
            }
            e2e::Press(dialog, IDOK);
        });
    return v;
}

TEST_F(DialogsWinTest, DetailsOfAStorageServerWithoutAddressOrDisks) {
    using namespace proto;
    const auto reply = proto::testing::Reply({
        {TAG_SERVER_NAME, "NAS-2"},
        {TAG_WORKGROUP, "HOME"},
        {TAG_VERSION, Bytes({0x21, 0xFE})},
        {TAG_MAC, Bytes({0x00, 0x11, 0x32, 0xAA, 0x00, 0x02})},
        {TAG_IP_MODE, Bytes({1})},
        {TAG_IP, Bytes({0, 0, 0, 0})},
        {TAG_NETMASK, Bytes({255, 255, 255, 0})},
        {TAG_GATEWAY, Bytes({10, 0, 0, 1})},
    });
    const DetailsView v = ShowDetails(reply);
    EXPECT_EQ(v.rows, (Rows{{L"Server Name", L"NAS-2"},
                            {L"Workgroup Name", L"HOME"},
                            {L"Version", L"2.1"},
                            {L"MAC Address", L"00-11-32-AA-00-02"},
                            {L"DHCP", L"Enabled"},
                            {L"IP Address", L"--"},
                            {L"Subnet Mask", L"--"},
                            {L"Gateway", L"--"}}));
    EXPECT_EQ(v.place.left, 10);
    EXPECT_EQ(v.place.top, 10);
    EXPECT_EQ(v.place.right - v.place.left, 350);
    EXPECT_EQ(v.place.bottom - v.place.top, 197);
    EXPECT_EQ(v.headers[0], L"Status");
    EXPECT_EQ(v.headers[1], L"Value");
    EXPECT_EQ(v.widths[0], 150);
    EXPECT_EQ(v.widths[1], 200);
    EXPECT_EQ(v.extendedStyle & (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES),
              LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
}

TEST_F(DialogsWinTest, DetailsOfARouterWithOverLongTextsAndADisk) {
    using namespace proto;
    const std::string name(255, 'N');
    const auto reply = proto::testing::Reply({
        {TAG_SERVER_NAME, name},
        {TAG_WORKGROUP, std::string(200, 'W')},
        {TAG_VERSION, Bytes({0x21, 0x03})},
        {TAG_MAC, Bytes({0, 0, 0, 0, 0, 0})},
        {TAG_IP_MODE, Bytes({3})},
        {TAG_IP, Bytes({0, 0, 0, 0})},
        {TAG_ROUTER, Bytes({2})},
        {TAG_LAN_IP, Bytes({192, 168, 1, 1})},
        {TAG_LAN_NETMASK, Bytes({255, 255, 255, 0})},
        {TAG_LAN_GATEWAY, Bytes({0, 0, 0, 0})},
        {TAG_LAN_IP_MODE, Bytes({9})},
        {TAG_LAN_MAC, Bytes({0, 0, 0, 0, 0, 0})},
        {TAG_DISK_STATUS, "-5"},
        {TAG_DISK_MODEL, std::string(255, 'M')},
    });
    const DetailsView v = ShowDetails(reply);
    EXPECT_EQ(v.rows, (Rows{{L"Server Name", std::wstring(127, L'N')},
                            {L"Workgroup Name", std::wstring(127, L'W')},
                            {L"Version", L"2.13"},
                            {L"", L""},
                            {L"WAN Settings", L""},
                            {L"MAC Address", L"00-00-00-00-00-00"},
                            {L"Connection Type", L"PPPoE"},
                            {L"IP Address", L"--"},
                            {L"Subnet Mask", L"--"},
                            {L"Gateway", L"--"},
                            {L"", L""},
                            {L"LAN Settings", L""},
                            {L"MAC Address", L"--"},
                            {L"Connection Type", L""},
                            {L"IP Address", L"192.168.1.1"},
                            {L"Subnet Mask", L"255.255.255.0"},
                            {L"Gateway", L"0.0.0.0"},
                            {L"Disk Status", L"Not initialized"},
                            {L"Disk Model", std::wstring(127, L'M')}}));
}

}  // namespace
