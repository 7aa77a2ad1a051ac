#include "vnas/config.h"

#include <gtest/gtest.h>

#include <string>

namespace vnas {
namespace {

ServerConfig ParseOne(const std::string& text) {
    ParseResult r = ParseConfig(text, "t.conf");
    EXPECT_TRUE(r.config) << r.error.Text();
    if (!r.config || r.config->servers.empty())
        return {};
    return r.config->servers.front();
}

TEST(ConfigParse, ShippedExampleReadsAsDocumented) {
    ParseResult r = LoadConfigFile(VNAS_EXAMPLES_DIR "/four-servers.conf");
    ASSERT_TRUE(r.config) << r.error.Text();
    const auto& s = r.config->servers;
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].name, "NAS-1");
    EXPECT_EQ(s[0].address, 0x0A4D000Bu);
    EXPECT_EQ(s[0].ip, s[0].address);  // ip defaults to the address
    EXPECT_EQ(s[0].diskModel, "WD 2500JB");
    EXPECT_EQ(s[1].configured, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(s[1].ipMode, 1);
    EXPECT_EQ(s[1].adminPassword, "");
    EXPECT_EQ(s[2].router, 2u);
    EXPECT_EQ(s[2].ipMode, 2);
    EXPECT_EQ(s[2].version.size(), 8u);
    EXPECT_EQ(s[3].alias, "Office Storage");
    EXPECT_EQ(s[3].kind, 1);
    EXPECT_EQ(s[3].configured, (std::vector<uint8_t>{1}));
    EXPECT_EQ(s[3].setConfigReply, 1);
    EXPECT_EQ(s[3].adminPassword, "pass word");
}

TEST(ConfigParse, ValuesDefaultsAndQuoting) {
    const ServerConfig s = ParseOne(
        "; comment\n"
        "  # another\r\n"
        "[server]\r\n"
        "address = 127.0.1.5\n"
        "mac = 0011320000ff\n"
        "name = \"  a \\\"b\\\" \\x01\\\\\\n\\r\\t \"\n"
        "configured = none\n"
        "router = 1\n"
        "router_size = 1\n"
        "set_config_reply = none\n"
        "ip_mode = 7\n");
    EXPECT_EQ(s.name, std::string("  a \"b\" \x01\\\n\r\t "));
    EXPECT_FALSE(s.configured);
    EXPECT_EQ(s.router, 1u);
    EXPECT_EQ(s.routerSize, 1);
    EXPECT_FALSE(s.setConfigReply);
    EXPECT_EQ(s.ipMode, 7);
    EXPECT_EQ(s.lanIp, 0x7F000105u);
    EXPECT_EQ(s.lanMac, (Mac{0x00, 0x11, 0x32, 0x00, 0x01, 0x00}));  // MAC + 1, with carry
    EXPECT_EQ(s.dhcpStart, 0x7F000164u);
    EXPECT_EQ(s.dhcpEnd, 0x7F0001C7u);
    EXPECT_EQ(s.restartSeconds, 3);
    EXPECT_EQ(s.workgroup, "WORKGROUP");
}

TEST(ConfigParse, GenerateMakesManyServers) {
    ParseResult r = ParseConfig(
        "[generate]\ncount = 500\nfirst_address = 10.0.0.250\nfirst_mac = 00:00:00:00:ff:fe\n"
        "name_prefix = N\nname_digits = 3\nworkgroup = WG\nkind = 2\n"
        "[server]\naddress = 10.9.9.9\nmac = 01:02:03:04:05:06\nname = LAST\n",
        "g.conf");
    ASSERT_TRUE(r.config) << r.error.Text();
    const auto& s = r.config->servers;
    ASSERT_EQ(s.size(), 501u);
    EXPECT_EQ(s[0].name, "N001");
    EXPECT_EQ(s[0].address, 0x0A0000FAu);
    EXPECT_EQ(s[4].address, 0x0A0000FEu);
    EXPECT_EQ(s[5].address, 0x0A000101u);  // .255 and .0 skipped
    EXPECT_EQ(s[2].mac, (Mac{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(s[499].name, "N500");
    EXPECT_EQ(s[499].workgroup, "WG");
    EXPECT_EQ(s[499].kind, 2);
    EXPECT_EQ(s[499].ip, s[499].address);
    EXPECT_EQ(s[500].name, "LAST");
}

TEST(ConfigParse, ErrorsNameFileLineAndCause) {
    const std::string head = "[server]\naddress = 10.0.0.1\nmac = 00:11:22:33:44:55\nname = A\n";
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {"[servers]\n", "e.conf:1: unknown section [servers]"},
        {"name = x\n", "e.conf:1: key 'name' outside a section"},
        {"\n[server]\njust words\n", "e.conf:3: expected 'key = value'"},
        {"[server\n", "e.conf:1: section header without ']'"},
        {head + "colour = red\n", "e.conf:5: unknown key 'colour'"},
        {head + "name = B\n", "e.conf:5: key 'name' given twice (first on line 4)"},
        {head + "ip = 10.0.0.256\n", "e.conf:5: bad IPv4 address '10.0.0.256' for 'ip'"},
        {head + "gateway = 10.0.0\n", "e.conf:5: bad IPv4 address '10.0.0' for 'gateway'"},
        {head + "lan_mac = 00:11:22:33:44\n", "e.conf:5: bad hardware address"},
        {head + "version = 010203040506070809\n", "e.conf:5: bad version"},
        {head + "version = 2x\n", "e.conf:5: bad version"},
        {head + "configured = 0\n", "e.conf:5: bad configured value"},
        {head + "kind = 40000\n", "e.conf:5: bad number '40000'"},
        {head + "ip_mode = auto\n", "e.conf:5: bad ip mode 'auto'"},
        {head + "date = 02302005x\n", "e.conf:5: bad date"},
        {head + "time = 240000\n", "e.conf:5: bad time"},
        {head + "workgroup = \"abc\n", "e.conf:5: unterminated quoted value"},
        {head + "workgroup = \"abc\" x\n", "e.conf:5: text after the closing quote"},
        {head + "workgroup = \"\\q\"\n", "e.conf:5: unknown escape"},
        {head + "workgroup = " + std::string(256, 'w') + "\n", "e.conf:5: text longer than 255"},
        {head + "set_config_reply = maybe\n", "e.conf:5: bad reply status"},
        {head + "wake_seconds = 3601\n", "e.conf:5: bad number '3601' (expected 0 to 3600)"},
        {head + "time_zone = 256\n", "e.conf:5: bad number '256' (expected 0 to 255)"},
        {head + "sleeping = maybe\n", "e.conf:5: expected yes or no, not 'maybe'"},
        {head + "router = -1\n", "e.conf:5: bad router value '-1' (a number or none)"},
        {"# x\n[server]\naddress = 10.0.0.1\nname = A\n", "e.conf:2: [server] needs 'mac'"},
        {"[generate]\ncount = 2\nfirst_mac = 00:00:00:00:00:01\n",
         "e.conf:1: [generate] needs 'first_address'"},
        {"[generate]\ncount = 0\n", "e.conf:2: bad count '0'"},
        {"[generate]\nname = x\n", "e.conf:2: key 'name' not allowed in [generate]"},
        {"[generate]\ncount = 3\nfirst_address = 255.255.255.253\nfirst_mac = 00:00:00:00:00:01\n",
         "e.conf:1: addresses run past 255.255.255.254"},
        {"# nothing\n", "e.conf: no servers defined"},
    };
    for (const Case& c : cases) {
        ParseResult r = ParseConfig(c.text, "e.conf");
        ASSERT_FALSE(r.config) << c.text;
        EXPECT_EQ(r.error.Text().rfind(c.expected, 0), 0u)
            << "got: " << r.error.Text() << "\nwanted: " << c.expected;
    }
    EXPECT_EQ(LoadConfigFile("/nonexistent/x.conf").error.Text(),
              "/nonexistent/x.conf: cannot open the file");
}

}  // namespace
}  // namespace vnas
