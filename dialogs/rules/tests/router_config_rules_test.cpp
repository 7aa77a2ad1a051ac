#include "dialogs/rules/router_config_rules.h"

#include <gtest/gtest.h>

#include "resources/brellmark/resource.h"

using namespace rules;

namespace {

constexpr uint32_t Ip(int a, int b, int c, int d) {
    return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 |
           static_cast<uint32_t>(c) << 8 | static_cast<uint32_t>(d);
}

RouterConfigFields Opening() {
    RouterConfigFields f;
    f.system.serverName = "ROUTER";
    f.system.month = "03";
    f.system.day = "15";
    f.system.year = "2005";
    f.system.hour = "12";
    f.system.minute = "00";
    f.system.second = "00";
    f.wanMode = 1;
    f.pptpServer = 0;
    f.lanIp = Ip(192, 168, 1, 1);
    f.lanNetmask = Ip(255, 255, 255, 0);
    f.dhcpServer = 1;
    f.dhcpStart = Ip(192, 168, 1, 100);
    f.dhcpEnd = Ip(192, 168, 1, 200);
    return f;
}

}  // namespace

// The checks in their order, and what each accepted change counts as.
TEST(RouterConfigRules, ChecksAndChangeFlags) {
    struct Case {
        const char* what;
        void (*edit)(RouterConfigFields&);
        int message;  // 0: accepted
        bool configChanged, settingsChanged;
    } cases[] = {
        {"nothing changed", [](RouterConfigFields&) {}, 0, false, false},
        {"empty name is fine here", [](RouterConfigFields& f) { f.system.serverName = ""; }, 0,
         true, false},
        {"bad name character", [](RouterConfigFields& f) { f.system.serverName = "A B"; },
         IDS_INVALID_NAME, false, false},
        {"month 13", [](RouterConfigFields& f) { f.system.month = "13"; }, IDS_INVALID_MONTH, false,
         false},
        {"fixed WAN without mask",
         [](RouterConfigFields& f) {
             f.wanMode = 2;
             f.wanIp = Ip(10, 0, 0, 2);
         },
         IDS_ADDRESS_NULL, false, false},
        {"fixed WAN",
         [](RouterConfigFields& f) {
             f.wanMode = 2;
             f.wanIp = Ip(10, 0, 0, 2);
             f.wanNetmask = Ip(255, 0, 0, 0);
         },
         0, true, false},
        {"PPPoE without user", [](RouterConfigFields& f) { f.wanMode = 3; }, IDS_NULL_USER_NAME,
         false, false},
        {"PPPoE with empty password",
         [](RouterConfigFields& f) {
             f.wanMode = 3;
             f.pppoeUser = "dsl";
         },
         0, true, false},
        {"PPTP server checked before its user", [](RouterConfigFields& f) { f.wanMode = 4; },
         IDS_ADDRESS_NULL, false, false},
        {"PPTP without user",
         [](RouterConfigFields& f) {
             f.wanMode = 4;
             f.pptpServer = Ip(10, 1, 1, 1);
         },
         IDS_NULL_USER_NAME, false, false},
        {"LAN mask 0", [](RouterConfigFields& f) { f.lanNetmask = 0; }, IDS_ADDRESS_NULL, false,
         false},
        {"DHCP server off: no range check, no restart",
         [](RouterConfigFields& f) {
             f.dhcpServer = 0;
             f.dhcpStart = 0;
         },
         0, false, true},
        {"DHCP range start 0", [](RouterConfigFields& f) { f.dhcpStart = 0; }, IDS_ADDRESS_NULL,
         false, false},
        {"DHCP range moved", [](RouterConfigFields& f) { f.dhcpEnd = Ip(192, 168, 1, 150); }, 0,
         false, true},
        {"PPPoE text typed, then DHCP again", [](RouterConfigFields& f) { f.pppoeUser = "typed"; },
         0, false, false},
        {"a user name too long for its item",
         [](RouterConfigFields& f) {
             f.wanMode = 3;
             f.pppoeUser = std::string(128, 'u');
         },
         IDS_TEXT_TOO_LONG, false, false},
    };
    for (const auto& c : cases) {
        RouterConfigRules rules;
        rules.Open(Opening());
        RouterConfigFields controls = rules.fields();
        c.edit(controls);
        const ConfigValidation v = rules.Validate(controls);
        EXPECT_EQ(v.messageId, c.message) << c.what;
        EXPECT_EQ(v.ok, c.message == 0) << c.what;
        if (v.ok) {
            EXPECT_EQ(rules.configChanged(), c.configChanged) << c.what;
            EXPECT_EQ(rules.settingsChanged(), c.settingsChanged) << c.what;
        }
    }
}

TEST(RouterConfigRules, OddWanModeOpensAsDhcpAndCountsAsAChange) {
    RouterConfigFields f = Opening();
    f.wanMode = 7;
    RouterConfigRules rules;
    rules.Open(f);
    EXPECT_EQ(rules.fields().wanMode, 1);
    ASSERT_TRUE(rules.Validate(rules.fields()).ok);
    EXPECT_TRUE(rules.configChanged());
}

TEST(RouterConfigRules, SetConfigItemsInOrder) {
    RouterConfigFields f = Opening();
    f.wanMode = 3;
    f.pppoeUser = "dsl";
    proto::CommandBuffer b;
    ASSERT_EQ(AddRouterSetConfigItems(f, true, 1, b), 1);
    const std::vector<uint8_t> d = proto::PackDatagram(b.header, b);
    std::vector<int> tags;
    for (size_t at = 16; at + 1 < d.size() && d[at] != 0; at += 2u + d[at + 1])
        tags.push_back(d[at]);
    using namespace proto;
    EXPECT_EQ(tags,
              (std::vector<int>{TAG_SERVER_NAME, TAG_DATE, TAG_TIME, TAG_IP_MODE, TAG_IP,
                                TAG_NETMASK, TAG_GATEWAY, TAG_RESTART, TAG_PPPOE_USER,
                                TAG_PPPOE_PASSWORD, TAG_PPTP_SERVER, TAG_PPTP_USER,
                                TAG_PPTP_PASSWORD, TAG_DHCP_SERVER, TAG_LAN_IP, TAG_LAN_NETMASK,
                                TAG_LAN_GATEWAY, TAG_DHCP_START, TAG_DHCP_END}));
    // "dsl" and its zero; an empty password is a lone zero.
    const size_t user = 16 + 18 + 10 + 8 + 3 + 18 + 3;
    EXPECT_EQ(std::vector<uint8_t>(d.begin() + user, d.begin() + user + 8),
              std::vector<uint8_t>({TAG_PPPOE_USER, 4, 'd', 's', 'l', 0, TAG_PPPOE_PASSWORD, 1}));
}
