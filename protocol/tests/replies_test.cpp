#include "protocol/replies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "protocol/tests/reply_builder.h"

using namespace proto;
using proto::testing::Bytes;
using proto::testing::Item;
using proto::testing::Reply;

namespace {

// One case of a decoder's table: the items sent and how the record differs
// from that of an empty reply.
template <typename Record>
struct Case {
    const char* name;
    std::vector<Item> items;
    std::function<void(Record&)> expect;
};

const std::string kLong(200, 'n');

TEST(DiscoveryReply, FirstAndSecondItemsAndTheName) {
    PacketHeader h;
    const uint8_t mac[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::memcpy(h.serverId, mac, 6);
    h.origin[0] = 'S';
    h.origin[1] = 'v';
    h.command = CMD_DISCOVER;
    h.kind = 1;
    std::vector<uint8_t> d(16);
    h.Encode(d.data());
    const std::vector<uint8_t> items = {38, 5,   'A', 'l', 'i', 'a', 's', 9,
                                        2,  'W', 'G', 1,   3,   'N', 'A', 'S'};
    d.insert(d.end(), items.begin(), items.end());
    DiscoveryRecord r;
    ASSERT_EQ(ReadDiscoveryReply(0x0A4D000B, d.data(), d.size(), &r), 1);
    EXPECT_EQ(r.displayName, "Alias");
    EXPECT_EQ(r.workgroup, "WG");
    EXPECT_STREQ(r.info.name, "NAS");
    EXPECT_EQ(r.info.kind, 1);
    EXPECT_EQ(r.info.seq, 1);
    EXPECT_EQ(r.info.ip, 0x0A4D000Bu);
    EXPECT_EQ(std::memcmp(r.info.id, d.data(), 8), 0);

    // Without TAG_SERVER_NAME the reply is not a server.
    std::vector<uint8_t> noName(d.begin(), d.begin() + 16 + 11);
    EXPECT_EQ(ReadDiscoveryReply(1, noName.data(), noName.size(), &r), 0);

    // A name longer than the record's field is cut to 29 characters.
    std::vector<uint8_t> longName(d.begin(), d.begin() + 16);
    longName.push_back(1);
    longName.push_back(60);
    for (int i = 0; i < 60; ++i)
        longName.push_back('n');
    ASSERT_EQ(ReadDiscoveryReply(1, longName.data(), longName.size(), &r), 1);
    EXPECT_EQ(std::strlen(r.info.name), 29u);
    EXPECT_EQ(r.displayName.size(), 60u);
    EXPECT_EQ(r.workgroup, "");
}

struct DiscoveryCase {
    const char* name;
    std::vector<Item> items;
    int read;  // ReadDiscoveryReply's result
    std::string serverName, displayName, workgroup;
};

const DiscoveryCase kDiscoveryCases[] = {
    {"NoItems", {}, 0, "", "", ""},
    {"ZeroTagBeforeTheName", {{0, ""}, {1, "NAS"}}, 0, "", "", ""},
    {"NameAlone", {{1, "NAS"}}, 1, "NAS", "NAS", ""},
    {"EmptyNameIsStillAName", {{1, ""}, {9, "WG"}}, 1, "", "", "WG"},
    {"FirstOfDuplicatedNames", {{1, "A"}, {1, "B"}}, 1, "A", "A", "B"},
    {"NameEndsAtItsZero", {{1, std::string("NA\0S", 4)}}, 1, "NA", "NA", ""},
    {"TruncatedSecondItem", {{1, "NAS"}, {9, "WGX", 6}}, 1, "NAS", "NAS", "WGX"},
    {"OversizeTexts",
     {{38, kLong}, {1, kLong}},
     1,
     std::string(29, 'n'),
     std::string(127, 'n'),
     std::string(127, 'n')},
};

TEST(ReadDiscoveryReply, TableOfMalformedReplies) {
    for (const auto& c : kDiscoveryCases) {
        const auto d = Reply(c.items);
        DiscoveryRecord r;
        ASSERT_EQ(ReadDiscoveryReply(1, d.data(), d.size(), &r), c.read) << c.name;
        if (c.read == 0)
            continue;
        EXPECT_EQ(r.info.name, c.serverName) << c.name;
        EXPECT_EQ(r.displayName, c.displayName) << c.name;
        EXPECT_EQ(r.workgroup, c.workgroup) << c.name;
    }
    DiscoveryRecord r;
    EXPECT_EQ(ReadDiscoveryReply(1, Reply({{1, "NAS"}}).data(), 15, &r), 0);
}

PacketHeader StatusHeader() {
    PacketHeader h;
    h.serverId[0] = 0x00;
    h.serverId[5] = 0x42;
    h.seq = 3;
    h.command = CMD_GET_STATUS;
    h.kind = 1;
    return h;
}

const Case<StatusReply> kStatusCases[] = {
    {"Empty", {}, [](StatusReply&) {}},
    {"ShortItemsFillTheLowOrderEnd",
     {{5, Bytes({10, 77})}, {32, Bytes({0})}, {12, Bytes({0xAB, 0xCD})}, {2, ""}},
     [](StatusReply& r) {
         r.ip = 0x0A4D0000;
         r.configured = -256;  // 0xFFFFFF00: the missing bytes stay 0xFF
         r.mac = MacValue{0xAB, 0xCD, 0, 0, 0, 0};
         r.version = VersionValue{{}, 0};
     }},
    {"LongItemsKeepTheirFirstBytes",
     {{7, Bytes({255, 255, 255, 0, 9, 9})},
      {2, Bytes({0x21, 3, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'})}},
     [](StatusReply& r) {
         r.netmask = 0xFFFFFF00;
         r.version = VersionValue{{0x21, 3, 'a', 'b', 'c', 'd', 'e', 'f'}, 10};
     }},
    {"TruncatedLastItemHoldsWhatArrived",
     {{1, "nas"}, {6, Bytes({10, 77}), 4}},
     [](StatusReply& r) {
         r.serverName = "nas";
         r.gateway = 0x0A4D0000;
     }},
    {"OverlongLengthSwallowsTheNextItem",
     {{9, "wg", 4}, {1, "nas"}},
     [](StatusReply& r) { r.workgroup = std::string("wg\x01\x03", 4); }},
    {"FirstOfDuplicatedItemsCounts",
     {{1, "first"}, {1, "second"}, {37, "0"}, {37, "1"}},
     [](StatusReply& r) {
         r.serverName = "first";
         r.diskStatus = "0";
     }},
    {"TextsAreCutAtTheLimitAndTheirFirstZero",
     {{1, kLong}, {9, std::string("ab\0cd", 5)}, {38, std::string(1, '\0')}},
     [](StatusReply& r) {
         r.serverName = std::string(kReplyTextChars, 'n');
         r.workgroup = "ab";
         r.diskModel = "";
     }},
    {"ZeroTagEndsTheItems",
     {{9, "wg"}, {0, ""}, {1, "nas"}},
     [](StatusReply& r) { r.workgroup = "wg"; }},
};

TEST(DecodeStatusReply, TableOfWellAndMalformedReplies) {
    for (const auto& c : kStatusCases) {
        StatusReply expected;
        expected.header = StatusHeader();
        c.expect(expected);
        const auto d = Reply(c.items, StatusHeader());
        EXPECT_EQ(DecodeStatusReply(d.data(), d.size()), expected) << c.name;
    }
}

const Case<ConfigReply> kConfigCases[] = {
    {"Empty", {}, [](ConfigReply&) {}},
    {"Router",
     {{17, Bytes({2})},
      {8, Bytes({4})},
      {18, std::string("user\0", 5)},
      {19, "secret"},
      {20, Bytes({10, 0, 0, 138})},
      {21, "pptp"},
      {22, "pw"},
      {23, Bytes({192, 168, 1, 1})},
      {25, Bytes({255, 255, 255, 0})},
      {24, Bytes({192, 168, 1, 254})},
      {28, Bytes({7})},
      {29, Bytes({192, 168, 1, 100})},
      {30, Bytes({192, 168, 1, 199})}},
     [](ConfigReply& r) {
         r.routerType = true;
         r.ipMode = 4;
         r.pppoeUser = "user";
         r.pppoePassword = "secret";
         r.pptpServer = 0x0A00008A;
         r.pptpUser = "pptp";
         r.pptpPassword = "pw";
         r.lanIp = 0xC0A80101;
         r.lanNetmask = 0xFFFFFF00;
         r.lanGateway = 0xC0A801FE;
         r.dhcpServer = 7;
         r.dhcpStart = 0xC0A80164;
         r.dhcpEnd = 0xC0A801C7;
     }},
    {"RouterValueInFourBytes",
     {{17, Bytes({2, 0, 0, 0})}},
     [](ConfigReply& r) { r.routerType = true; }},
    {"FirstRouterItemOfAnotherValue", {{17, Bytes({1})}, {17, Bytes({2})}}, [](ConfigReply&) {}},
    {"RouterValueWithHighBytes", {{17, Bytes({2, 0, 0, 1})}}, [](ConfigReply&) {}},
    {"OversizeTextsAreCut",
     {{18, kLong}, {19, kLong}, {3, "1207202699"}, {4, "10153099"}},
     [](ConfigReply& r) {
         r.pppoeUser = std::string(kReplyTextChars, 'n');
         r.pppoePassword = std::string(kReplyPasswordChars, 'n');
         r.date = "12072026";
         r.time = "101530";
     }},
    {"ShortDateAndTruncatedAddress",
     {{3, "1207"}, {30, Bytes({192, 168}), 4}},
     [](ConfigReply& r) {
         r.date = "1207";
         r.dhcpEnd = 0xC0A80000;
     }},
    {"DuplicatedModeAndEmptyByte",
     {{8, Bytes({2})}, {8, Bytes({1})}, {28, ""}},
     [](ConfigReply& r) { r.ipMode = 2; }},
};

TEST(DecodeConfigReply, TableOfWellAndMalformedReplies) {
    PacketHeader h;
    h.command = CMD_GET_CONFIG;
    h.seq = 7;
    for (const auto& c : kConfigCases) {
        ConfigReply expected;
        expected.header = h;
        c.expect(expected);
        const auto d = Reply(c.items, h);
        EXPECT_EQ(DecodeConfigReply(d.data(), d.size()), expected) << c.name;
    }
}

TEST(Decoders, DatagramsShorterThanAHeaderReadAsEmpty) {
    const auto d = Reply({{1, "nas"}});
    for (size_t n : {size_t{0}, size_t{2}, size_t{15}}) {
        EXPECT_EQ(DecodeStatusReply(d.data(), n), StatusReply{}) << n;
        EXPECT_EQ(DecodeConfigReply(d.data(), n), ConfigReply{}) << n;
    }
    EXPECT_EQ(DecodeStatusReply(nullptr, 40), StatusReply{});
    // A header with no room for an item's length byte.
    EXPECT_EQ(DecodeStatusReply(d.data(), 17), StatusReply{});
}

TEST(Decoders, LoginAndWriteResultsFromTheStatus) {
    const struct {
        int16_t status;
        bool accepted;
        WriteResult written;
    } kCases[] = {
        {0, true, WriteResult::Written},   {1, false, WriteResult::Busy},
        {2, false, WriteResult::Failed},   {3, false, WriteResult::Written},
        {-1, false, WriteResult::Written},
    };
    for (const auto& c : kCases) {
        PacketHeader h;
        h.status = c.status;
        EXPECT_EQ(DecodeLoginResult(h).accepted, c.accepted) << c.status;
        EXPECT_EQ(DecodeWriteResult(h), c.written) << c.status;
    }
}

}  // namespace
