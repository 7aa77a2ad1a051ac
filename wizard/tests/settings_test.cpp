// Tables, the settings filled from the configuration reply, the steps' checks,
// the summary rows and the byte layout of every request.
#include <gtest/gtest.h>

#include "protocol/tests/reply_builder.h"
#include "resources/brellmark/resource.h"
#include "wizard/settings.h"
#include "wizard/tables.h"

using namespace wiz;
using proto::testing::Bytes;
using proto::testing::Item;
using proto::testing::Reply;
using proto::testing::WireItems;

namespace {

std::string Load(int id) {
    switch (id) {
        case IDS_WIZ_SUM_DHCP:
            return "DHCP";
        case IDS_WIZ_SUM_STATIC:
            return " (static)";
        case IDS_WIZ_SUM_YES:
            return "Yes";
        case IDS_WIZ_SUM_NO:
            return "No";
        case IDS_WIZ_ENC_CHS:
            return "Chinese-Simplified";
        case IDS_WIZ_ENC_CHT:
            return "Chinese-Traditional";
        default:
            return "";
    }
}

}  // namespace

TEST(WizardTables, OrderAndValuesAreThoseOfTheProtocol) {
    EXPECT_STREQ(TimeZoneTable[0], "(GMT-12:00) Eniwetok,Kwajalein");
    EXPECT_STREQ(TimeZoneTable[11], "(GMT-05:00) Eastern Time(US & Canada)");
    EXPECT_STREQ(TimeZoneTable[22],
                 "(GMT) Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London");
    EXPECT_STREQ(TimeZoneTable[40], "(GMT+05:00) Eekaterinburg");
    EXPECT_STREQ(TimeZoneTable[49], "(GMT+08:00) Taipei");
    EXPECT_STREQ(TimeZoneTable[62], "(GMT+12:00) Fiji, Kamchatka, Marshall Is.");
    // Offsets never decrease along the list.
    int last = -24 * 60;
    for (int i = 0; i < kTimeZoneCount; ++i) {
        const std::string t = TimeZoneTable[i];
        int minutes = 0;
        if (t.rfind("(GMT)", 0) != 0) {
            const int h = std::stoi(t.substr(5, 2)), m = std::stoi(t.substr(8, 2));
            minutes = (t[4] == '-' ? -1 : 1) * (h * 60 + m);
        }
        EXPECT_GE(minutes, last) << i;
        last = minutes;
    }

    EncodingTable enc;
    const int pages[] = {936, 950, 866, 437, 737, 861, 932, 949, 852, 850};
    for (int i = 0; i < kEncodingCount; ++i)
        EXPECT_EQ(enc[i].codePage, pages[i]) << i;
    EXPECT_EQ(enc[1].name, "Tranditional Chinese");
    enc.Localise(Load);
    EXPECT_EQ(enc[0].name, "Chinese-Simplified");
    EXPECT_EQ(enc[1].name, "Chinese-Traditional");
    EXPECT_EQ(enc[2].name, "Cyrillic");  // no localised text: the built-in name stays
    EXPECT_EQ(enc.IndexOf(850), 9);
    EXPECT_EQ(enc.IndexOf(1252), -1);
}

TEST(WizardTables, DefaultsFollowTheSystemLanguage) {
    struct Case {
        uint16_t lang;
        int zone, encoding;
    } cases[] = {
        {0x0404, 49, 1}, {0x0804, 45, 0}, {0x0C04, 11, 3}, {0x1004, 11, 3}, {0x0407, 23, 9},
        {0x0C0A, 25, 9}, {0x040C, 25, 9}, {0x0410, 23, 9}, {0x0411, 50, 6}, {0x0412, 51, 7},
        {0x0419, 34, 2}, {0x0409, 11, 3}, {0x0000, 11, 3},
    };
    for (const Case& c : cases) {
        const DefaultChoice d = DefaultsForLanguage(c.lang);
        EXPECT_EQ(d.timeZone, c.zone) << std::hex << c.lang;
        EXPECT_EQ(d.encoding, c.encoding) << std::hex << c.lang;
    }
}

TEST(WizardSettingsTest, FilledFromTheConfigurationReply) {
    const std::string longName(200, 'N');
    const auto reply = Reply({{proto::TAG_SERVER_NAME, longName},
                              {proto::TAG_IP_MODE, Bytes({0})},
                              {proto::TAG_IP, Bytes({10, 77, 3, 1})},
                              {proto::TAG_NETMASK, Bytes({255, 255, 0, 0})},
                              {proto::TAG_GATEWAY, Bytes({10, 77, 0, 1})},
                              {proto::TAG_DNS1, Bytes({8, 8, 8, 8})},
                              {proto::TAG_NTP_SERVER, "1pool"},
                              {proto::TAG_TIME_ZONE, Bytes({5})},
                              {proto::TAG_DISK_STATUS, "1"},
                              {proto::TAG_DISK_MODEL, "WD 2500JB"},
                              {proto::TAG_DISK_CAPACITY, "232.9 GB"}});
    WizardSettings s;
    PageState p;
    ASSERT_TRUE(FillFromConfigReply(proto::DecodeConfigReply(reply.data(), reply.size()), &s, &p));
    EXPECT_EQ(s.m_serverName, longName.substr(0, 127));
    EXPECT_EQ(s.m_ipMode, 0);
    EXPECT_EQ(s.m_ip, 0x0A4D0301u);
    EXPECT_EQ(s.m_netmask, 0xFFFF0000u);
    EXPECT_EQ(s.m_gateway, 0x0A4D0001u);
    EXPECT_EQ(s.m_dns1, 0x08080808u);
    EXPECT_EQ(s.m_dns2, 0u);  // absent
    EXPECT_EQ(s.m_ntpState, '1');
    EXPECT_EQ(s.m_timeZoneIndex, 0);  // the reply's time zone is not used
    EXPECT_EQ(p.m_diskChoice, 1);
    EXPECT_EQ(p.m_diskModel, "WD 2500JB");
    EXPECT_EQ(p.m_diskCapacity, "232.9 GB");

    struct Case {
        std::string status;
        bool hasDisk;
        int choice;
    } cases[] = {{"-5", false, 0}, {"0", true, 0}, {"", true, 0}, {"11", true, 0}, {"1", true, 1}};
    for (const Case& c : cases) {
        const auto r = Reply({{proto::TAG_DISK_STATUS, c.status}});
        EXPECT_EQ(FillFromConfigReply(proto::DecodeConfigReply(r.data(), r.size()), &s, &p),
                  c.hasDisk)
            << c.status;
        EXPECT_EQ(p.m_diskChoice, c.choice) << c.status;
    }
    // A header alone: everything zero, a disk assumed.
    const auto empty = Reply({});
    EXPECT_TRUE(FillFromConfigReply(proto::DecodeConfigReply(empty.data(), empty.size()), &s, &p));
    EXPECT_EQ(s.m_serverName, "");
    EXPECT_EQ(s.m_ip, 0u);
}

TEST(WizardSteps, NameAndPasswordChecksInTheirOrder) {
    struct Case {
        std::string name;
        int message;
    } names[] = {
        {"", IDS_WIZ_NAME_EMPTY},
        {"12345", IDS_WIZ_NAME_ALL_DIGITS},
        {"0", IDS_WIZ_NAME_ALL_DIGITS},
        {"nas.1", IDS_WIZ_NAME_ILLEGAL},
        {"nas 1", IDS_WIZ_NAME_ILLEGAL},
        {"nas_1", IDS_WIZ_NAME_ILLEGAL},
        {"n\xE9s", IDS_WIZ_NAME_ILLEGAL},
        {"-", 0},
        {"Nas-01", 0},
        {"abcdefghijklmn", 0},
        {"1-2", 0},
        {"zZ9", 0},
    };
    for (const Case& c : names) {
        WizardSettings s;
        s.m_serverName = "OLD";
        EXPECT_EQ(Step1Next(c.name, &s), c.message) << c.name;
        EXPECT_EQ(s.m_serverName, c.message == 0 ? c.name : "OLD") << c.name;
    }

    struct PwCase {
        std::string password, verify;
        bool keep;
        int message;
    } pws[] = {
        {"", "", false, IDS_WIZ_PASSWORD_WRONG},
        {"abc", "", false, IDS_WIZ_PASSWORD_WRONG},
        {"", "abc", false, IDS_WIZ_PASSWORD_WRONG},
        {"abc", "ABC", false, IDS_WIZ_PASSWORD_WRONG},
        {"a", "a", false, 0},
        {"", "", true, 0},
        {"abc", "xyz", true, 0},
        {"Secret99", "Secret99", false, 0},
    };
    for (const PwCase& c : pws) {
        WizardSettings s;
        EXPECT_EQ(CheckPassword(c.password, c.verify, c.keep, &s), c.message) << c.password;
        EXPECT_EQ(s.m_password, c.password);  // stored whatever the outcome
    }
}

TEST(WizardSteps, ClockBoxesStep5AndStep6) {
    PageState p;
    EXPECT_TRUE(p.m_setClock);
    EXPECT_FALSE(p.m_useNtp);
    EXPECT_TRUE(OnClockBox(true, &p));  // unchecks the time server box, m_useNtp kept
    EXPECT_TRUE(OnNtpBox(true, &p));    // unchecks the clock box, m_setClock kept
    EXPECT_TRUE(p.m_setClock);
    EXPECT_TRUE(p.m_useNtp);
    EXPECT_FALSE(OnClockBox(false, &p));
    EXPECT_FALSE(p.m_setClock);
    EXPECT_FALSE(OnNtpBox(false, &p));
    EXPECT_FALSE(p.m_useNtp);

    EXPECT_EQ(DateText(3, 5, 2026), "03052026");
    EXPECT_EQ(TimeText(7, 0, 9), "070009");
    WizardSettings s;
    StoreStep3(49, "03052026", "070009", &s);
    EXPECT_EQ(s.m_timeZoneIndex, 49);
    EXPECT_EQ(s.m_timeZoneName, "(GMT+08:00) Taipei");

    StoreStep5(true, 1, 2, 3, 4, 5, &s);
    EXPECT_EQ(s.m_ipMode, 1);
    EXPECT_EQ(s.m_ip, 1u);  // the disabled fields are stored too
    StoreStep5(false, 0, 0, 0, 0, 0, &s);
    EXPECT_EQ(s.m_ipMode, 2);

    // Step 6: an initialised disk preselects "Do not initialize" until the
    // first Next; afterwards the choice made then.
    struct Case {
        uint8_t reported;
        bool firstShown;
        bool userChoice;
        bool shownAfter;
    } cases[] = {{1, false, true, true},
                 {1, false, false, false},
                 {0, true, false, false},
                 {0, true, true, true}};
    for (const Case& c : cases) {
        PageState ps;
        ps.m_diskChoice = c.reported;
        EXPECT_EQ(InitDiskCheckedOnActivate(ps), c.firstShown);
        EXPECT_EQ(InitDiskCheckedOnActivate(ps), c.firstShown);  // Back and again
        StoreStep6(c.userChoice, &ps, &s);
        EXPECT_EQ(s.m_initDisk, c.userChoice ? 1 : 0);
        EXPECT_EQ(InitDiskCheckedOnActivate(ps), c.shownAfter);
    }
}

TEST(WizardSummary, SevenRowsAndTheFormatQuestion) {
    WizardSettings s;
    s.m_serverName = "NAS-9";
    s.m_timeZoneName = TimeZoneTable[45];
    s.m_encoding = 936;
    s.m_ipMode = 2;
    s.m_ip = 0x0A4D0332;
    s.m_dns1 = 0x08080808;
    s.m_initDisk = 1;
    EncodingTable enc;
    enc.Localise(Load);
    EXPECT_EQ(
        SummaryRows(s, enc, Load),
        (std::vector<SummaryRow>{{IDS_WIZ_SUM_NAME, "NAS-9"},
                                 {IDS_WIZ_SUM_TIME_ZONE, "(GMT+07:00) Bangkok, Hanoi, Jakarta"},
                                 {IDS_WIZ_SUM_ENCODING, "Chinese-Simplified"},
                                 {IDS_WIZ_SUM_NETWORK, "10.77.3.50 (static)"},
                                 {IDS_WIZ_SUM_DISK, "Yes"},
                                 {IDS_WIZ_SUM_DNS1, "8.8.8.8"},
                                 {IDS_WIZ_SUM_DNS2, "0.0.0.0"}}));
    EXPECT_TRUE(NeedsFormatWarning(s));
    s.m_ipMode = 1;
    s.m_encoding = 1252;
    s.m_initDisk = 0;
    const auto rows = SummaryRows(s, enc, Load);
    EXPECT_EQ(rows[2].value, "");
    EXPECT_EQ(rows[3].value, "DHCP");
    EXPECT_EQ(rows[4].value, "No");
    EXPECT_FALSE(NeedsFormatWarning(s));
}

TEST(WizardRequests, ItemBytesOfEveryRequest) {
    WizardSettings s;
    s.m_serverName = "NewNas";
    s.m_password = "pw1";
    s.m_timeZoneIndex = 46;
    s.m_date = "12312026";
    s.m_time = "235958";
    s.m_encoding = 936;
    s.m_ipMode = 2;
    s.m_ip = 0x0A4D0332;
    s.m_netmask = 0xFFFF0000;
    s.m_gateway = 0x0A4D0001;
    s.m_dns1 = 0x01020304;
    s.m_dns2 = 0;
    s.m_initDisk = 1;
    PageState p;
    PageState keepNtp;
    keepNtp.m_keepPassword = true;
    keepNtp.m_setClock = false;
    keepNtp.m_useNtp = true;
    WizardSettings dhcp = s;
    dhcp.m_ipMode = 1;
    WizardSettings wide = s;
    wide.m_encoding = 1252;

    struct Case {
        uint16_t command;
        const WizardSettings* s;
        const PageState* p;
        std::string wire;
    } cases[] = {
        {proto::CMD_SET_NAME, &s, &p, Bytes({1, 6}) + "NewNas"},
        {proto::CMD_SET_PASSWORD, &s, &p,
         Bytes({11, 14}) + std::string("administrator\0", 14) + Bytes({10, 3}) + "pw1"},
        {proto::CMD_SET_PASSWORD, &s, &keepNtp, ""},
        {proto::CMD_SET_DATETIME, &s, &p,
         Bytes({33, 1, 46, 4, 7}) + std::string("235958\0", 7) + Bytes({3, 9}) +
             std::string("12312026\0", 9)},
        {proto::CMD_SET_DATETIME, &s, &keepNtp,
         Bytes({33, 1, 46, 42, 13}) + std::string("pool.ntp.org\0", 13)},
        {proto::CMD_SET_ENCODING, &s, &p, Bytes({35, 4}) + std::string("936\0", 4)},
        {proto::CMD_SET_ENCODING, &wide, &p, Bytes({35, 4}) + "1252"},
        {proto::CMD_SET_NETWORK, &s, &p,
         Bytes({8,  1,  2, 5, 4,  10, 77, 3, 50, 7, 4,  255, 255, 0, 0, 6, 4,
                10, 77, 0, 1, 43, 4,  1,  2, 3,  4, 44, 4,   0,   0, 0, 0})},
        {proto::CMD_SET_NETWORK, &dhcp, &p, Bytes({8, 1, 1, 43, 4, 1, 2, 3, 4, 44, 4, 0, 0, 0, 0})},
        {proto::CMD_INIT_DISK, &s, &p, Bytes({34, 1, 1})},
        {proto::CMD_FINISH, &s, &p, ""},
        {proto::CMD_DISK_PROGRESS, &s, &p, ""},
    };
    for (const Case& c : cases) {
        proto::CommandBuffer b;
        BuildRequest(c.command, *c.s, *c.p, &b);
        EXPECT_EQ(WireItems(b), c.wire) << c.command;
    }
}
