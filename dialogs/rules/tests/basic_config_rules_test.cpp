#include "dialogs/rules/basic_config_rules.h"

#include <gtest/gtest.h>

#include <functional>

#include "protocol/tests/reply_builder.h"
#include "resources/brellmark/resource.h"

namespace rules {
namespace {

using proto::testing::Bytes;
using proto::testing::Reply;
using proto::testing::WireItems;

constexpr uint32_t kIp = 0xC0A8010A;       // 192.168.1.10
constexpr uint32_t kMask = 0xFFFFFF00;     // 255.255.255.0
constexpr uint32_t kGateway = 0xC0A80101;  // 192.168.1.1

// nas-01 on 15 March 2005 at 13:45:59, with a fixed address.
BasicConfigFields Opening() {
    return {"nas-01", "03", "15", "2005", "13", "45", "59", 2, kIp, kMask, kGateway};
}

TEST(ConfigReply, FillsFieldsFromItems) {
    const auto d = Reply({{1, "nas-01"},
                          {3, "03152005"},
                          {4, "134559"},
                          {8, Bytes({0})},
                          {5, Bytes({192, 168, 1, 10})},
                          {7, Bytes({255, 255, 255, 0})},
                          {6, Bytes({192, 168, 1, 1})}});
    const BasicConfigFields f = FieldsFromConfigReply(proto::DecodeConfigReply(d.data(), d.size()));
    const BasicConfigFields want = Opening();
    EXPECT_EQ(want.serverName, f.serverName);
    EXPECT_EQ((std::vector<std::string>{"03", "15", "2005", "13", "45", "59"}),
              (std::vector<std::string>{f.month, f.day, f.year, f.hour, f.minute, f.second}));
    EXPECT_EQ(2, f.ipMode);
    EXPECT_EQ(kIp, f.ip);
    EXPECT_EQ(kMask, f.netmask);
    EXPECT_EQ(kGateway, f.gateway);
}

TEST(ConfigReply, ShortMissingAndTruncatedItems) {
    // Short date, no time, no name, any non-zero mode byte is DHCP, and an
    // address item whose length runs past the end of the datagram.
    const auto d = Reply({{3, "031"}, {8, Bytes({7})}, {5, Bytes({10, 0}), 200}});
    const BasicConfigFields f = FieldsFromConfigReply(proto::DecodeConfigReply(d.data(), d.size()));
    EXPECT_EQ("", f.serverName);
    EXPECT_EQ("03", f.month);
    EXPECT_EQ("1", f.day);
    EXPECT_EQ("", f.year);
    EXPECT_EQ("", f.hour + f.minute + f.second);
    EXPECT_EQ(1, f.ipMode);
    EXPECT_EQ(0x0A000000u, f.ip);
    EXPECT_EQ(0u, f.netmask);

    const auto noMode = Reply({{3, std::string("0315\0\0\0\0", 8)}});
    const BasicConfigFields g =
        FieldsFromConfigReply(proto::DecodeConfigReply(noMode.data(), noMode.size()));
    EXPECT_EQ(2, g.ipMode);
    EXPECT_EQ("15", g.day);
    EXPECT_EQ("", g.year);
}

struct RefusedCase {
    const char* what;
    std::function<void(BasicConfigFields&)> edit;
    int messageId;
    ConfigBox box;
    bool undo;
    std::size_t reformattedBefore;  // boxes rewritten before the failure
};

TEST(BasicConfigValidate, RefusedInputs) {
    const RefusedCase cases[] = {
        {"underscore", [](auto& f) { f.serverName = "nas_01"; }, IDS_INVALID_NAME, ConfigBox::Name,
         true, 0},
        {"blank", [](auto& f) { f.serverName = "nas 01"; }, IDS_INVALID_NAME, ConfigBox::Name, true,
         0},
        {"dot", [](auto& f) { f.serverName = "nas.01"; }, IDS_INVALID_NAME, ConfigBox::Name, true,
         0},
        {"empty name", [](auto& f) { f.serverName = ""; }, IDS_NAME_EMPTY, ConfigBox::Name, false,
         0},
        {"digits", [](auto& f) { f.serverName = "12345"; }, IDS_NAME_ALL_DIGITS, ConfigBox::Name,
         false, 0},
        {"name before date",
         [](auto& f) {
             f.serverName = "a b";
             f.month = "13";
         },
         IDS_INVALID_NAME, ConfigBox::Name, true, 0},
        {"huge year", [](auto& f) { f.year = "99999999999999999999999"; }, IDS_INVALID_YEAR,
         ConfigBox::Year, true, 0},
        {"month 0", [](auto& f) { f.month = "0"; }, IDS_INVALID_MONTH, ConfigBox::Month, true, 1},
        {"month 13", [](auto& f) { f.month = "13"; }, IDS_INVALID_MONTH, ConfigBox::Month, true, 1},
        {"empty month", [](auto& f) { f.month = ""; }, IDS_INVALID_MONTH, ConfigBox::Month, true,
         1},
        {"day 0", [](auto& f) { f.day = "0"; }, IDS_INVALID_DAY, ConfigBox::Day, true, 2},
        {"day 32", [](auto& f) { f.day = "32"; }, IDS_INVALID_DAY, ConfigBox::Day, true, 2},
        {"hour 24", [](auto& f) { f.hour = "24"; }, IDS_INVALID_HOUR, ConfigBox::Hour, true, 3},
        {"minute 60", [](auto& f) { f.minute = "60"; }, IDS_INVALID_MINUTE, ConfigBox::Minute, true,
         4},
        {"second 60", [](auto& f) { f.second = "60"; }, IDS_INVALID_SECOND, ConfigBox::Second, true,
         5},
        {"ip 0", [](auto& f) { f.ip = 0; }, IDS_ADDRESS_NULL, ConfigBox::Addresses, false, 6},
        {"mask 0", [](auto& f) { f.netmask = 0; }, IDS_ADDRESS_NULL, ConfigBox::Addresses, false,
         6},
    };
    for (const RefusedCase& c : cases) {
        BasicConfigRules rules;
        rules.Open(Opening());
        BasicConfigFields controls = Opening();
        c.edit(controls);
        const ConfigValidation r = rules.Validate(controls);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(c.messageId, r.messageId) << c.what;
        EXPECT_EQ(c.box, r.box) << c.what;
        EXPECT_EQ(c.undo, r.undoLastEdit) << c.what;
        EXPECT_EQ(c.reformattedBefore, r.reformatted.size()) << c.what;
    }
}

TEST(BasicConfigValidate, AcceptsAndReformats) {
    BasicConfigRules rules;
    rules.Open(Opening());
    BasicConfigFields controls = Opening();
    controls.year = "0";
    controls.month = "3";
    controls.day = "31";  // any month
    controls.hour = "7x";
    controls.minute = "00059";
    controls.second = "";
    controls.gateway = 0;  // may be blank
    const ConfigValidation r = rules.Validate(controls);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(0, r.messageId);
    const std::vector<BoxText> want = {{ConfigBox::Year, "0000"}, {ConfigBox::Month, "03"},
                                       {ConfigBox::Day, "31"},    {ConfigBox::Hour, "07"},
                                       {ConfigBox::Minute, "59"}, {ConfigBox::Second, "00"}};
    EXPECT_EQ(want, r.reformatted);
    EXPECT_EQ("0000", rules.fields().year);
    EXPECT_EQ("03", rules.fields().month);
    EXPECT_EQ("00", rules.fields().second);
    EXPECT_EQ(0u, rules.fields().gateway);
    EXPECT_TRUE(rules.dateTimeChanged());
    EXPECT_TRUE(rules.configChanged());  // gateway differs
}

TEST(BasicConfigValidate, WhatCountsAsAChange) {
    struct Case {
        const char* what;
        int openMode;
        std::function<void(BasicConfigFields&)> edit;
        bool configChanged;
        bool dateTimeChanged;
    };
    const Case cases[] = {
        {"nothing", 2, [](auto&) {}, false, false},
        {"seconds only", 2, [](auto& f) { f.second = "00"; }, false, false},
        {"letter case of name", 2, [](auto& f) { f.serverName = "NAS-01"; }, true, false},
        {"minute", 2, [](auto& f) { f.minute = "46"; }, false, true},
        {"same value, other text", 2, [](auto& f) { f.year = "02005"; }, false, true},
        {"fixed to DHCP", 2, [](auto& f) { f.ipMode = 1; }, true, false},
        {"netmask", 2, [](auto& f) { f.netmask = 0xFFFF0000; }, true, false},
        // In DHCP mode the address controls are not read.
        {"DHCP, addresses ignored", 1,
         [](auto& f) {
             f.ip = 0;
             f.netmask = 0;
         },
         false, false},
        {"DHCP to fixed", 1, [](auto& f) { f.ipMode = 2; }, true, false},
    };
    for (const Case& c : cases) {
        BasicConfigFields opening = Opening();
        opening.ipMode = c.openMode;
        BasicConfigRules rules;
        rules.Open(opening);
        BasicConfigFields controls = opening;
        c.edit(controls);
        ASSERT_TRUE(rules.Validate(controls).ok) << c.what;
        EXPECT_EQ(c.configChanged, rules.configChanged()) << c.what;
        EXPECT_EQ(c.dateTimeChanged, rules.dateTimeChanged()) << c.what;
        const ConfigDecision d = DecideAfterOk(rules.configChanged(), rules.dateTimeChanged());
        EXPECT_EQ(c.configChanged, d.askRestart) << c.what;
        EXPECT_EQ(!c.configChanged && !c.dateTimeChanged, d.sendLogout) << c.what;
        EXPECT_NE(d.sendLogout, d.sendSetConfig) << c.what;
    }
}

TEST(BasicConfigValidate, ModeSwitchedBackIsNoChange) {
    BasicConfigRules rules;
    BasicConfigFields odd = Opening();
    odd.ipMode = 0;  // anything but DHCP opens as a fixed address
    rules.Open(odd);
    EXPECT_EQ(2, rules.fields().ipMode);
    rules.Open(Opening());
    BasicConfigFields controls = Opening();
    controls.ipMode = 1;
    ASSERT_TRUE(rules.Validate(controls).ok);
    EXPECT_TRUE(rules.configChanged());
    controls.ipMode = 2;
    ASSERT_TRUE(rules.Validate(controls).ok);
    EXPECT_FALSE(rules.configChanged());
}

TEST(BasicConfigValidate, DateTimeChangeSticksUntilOpen) {
    BasicConfigRules rules;
    rules.Open(Opening());
    BasicConfigFields controls = Opening();
    controls.year = "2006";
    controls.hour = "99";  // refused, but the year change is already seen
    EXPECT_FALSE(rules.Validate(controls).ok);
    EXPECT_TRUE(rules.dateTimeChanged());
    ASSERT_TRUE(rules.Validate(Opening()).ok);
    EXPECT_TRUE(rules.dateTimeChanged());
    rules.Open(Opening());
    EXPECT_FALSE(rules.dateTimeChanged());
}

TEST(SetConfigItems, NameChangeWithoutRestart) {
    BasicConfigFields f = Opening();
    f.serverName = "NAS-02";
    proto::CommandBuffer buffer;
    ASSERT_EQ(1, AddSetConfigItems(f, false, 0, buffer));
    const std::string want = Bytes({1, 16}) + std::string("NAS-02") + std::string(10, '\0') +
                             Bytes({8, 1, 2}) + Bytes({5, 4, 192, 168, 1, 10}) +
                             Bytes({7, 4, 255, 255, 255, 0}) + Bytes({6, 4, 192, 168, 1, 1}) +
                             Bytes({16, 1, 0});
    EXPECT_EQ(want, WireItems(buffer));
}

TEST(SetConfigItems, DateChangeCarriesDateAndTime) {
    BasicConfigFields f = Opening();
    f.year = "2006";
    f.ipMode = 1;
    f.ip = f.netmask = f.gateway = 0;
    f.serverName = "abcdefghijklmnopq";  // longer than the field: cut, no terminator
    proto::CommandBuffer buffer;
    ASSERT_EQ(1, AddSetConfigItems(f, true, 1, buffer));
    const std::string want = Bytes({1, 16}) + "abcdefghijklmnop" + Bytes({3, 8}) + "03152006" +
                             Bytes({4, 6}) + "134559" + Bytes({8, 1, 1}) +
                             Bytes({5, 4, 0, 0, 0, 0}) + Bytes({7, 4, 0, 0, 0, 0}) +
                             Bytes({6, 4, 0, 0, 0, 0}) + Bytes({16, 1, 1});
    EXPECT_EQ(want, WireItems(buffer));
}

}  // namespace
}  // namespace rules
