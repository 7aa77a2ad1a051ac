// Feeds random and mutated datagrams to every reader of replies; the reply
// decoders must read what the item look-ups read. Built with
// AddressSanitizer and UBSan in the native tree: any overrun fails the run.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>

#include "protocol/exchange.h"
#include "protocol/replies.h"

using namespace proto;

namespace {

// The decoders read every field as a look-up of its tag would.
void DecodersAgreeWithLookups(const uint8_t* p, size_t n) {
    const StatusReply st = DecodeStatusReply(p, n);
    const ConfigReply cf = DecodeConfigReply(p, n);
    const std::pair<uint8_t, uint32_t ConfigReply::*> kAddresses[] = {
        {TAG_IP, &ConfigReply::ip},
        {TAG_NETMASK, &ConfigReply::netmask},
        {TAG_GATEWAY, &ConfigReply::gateway},
        {TAG_DNS1, &ConfigReply::dns1},
        {TAG_DNS2, &ConfigReply::dns2},
        {TAG_PPTP_SERVER, &ConfigReply::pptpServer},
        {TAG_LAN_IP, &ConfigReply::lanIp},
        {TAG_LAN_NETMASK, &ConfigReply::lanNetmask},
        {TAG_LAN_GATEWAY, &ConfigReply::lanGateway},
        {TAG_DHCP_START, &ConfigReply::dhcpStart},
        {TAG_DHCP_END, &ConfigReply::dhcpEnd},
    };
    for (const auto& [tag, member] : kAddresses)
        ASSERT_EQ(cf.*member, FindIPv4(p, n, tag)) << int{tag};
    const std::tuple<uint8_t, size_t, std::string ConfigReply::*> kTexts[] = {
        {TAG_SERVER_NAME, 127, &ConfigReply::serverName},
        {TAG_DATE, 8, &ConfigReply::date},
        {TAG_TIME, 6, &ConfigReply::time},
        {TAG_NTP_SERVER, 127, &ConfigReply::ntpServer},
        {TAG_DISK_STATUS, 127, &ConfigReply::diskStatus},
        {TAG_DISK_MODEL, 127, &ConfigReply::diskModel},
        {TAG_DISK_CAPACITY, 127, &ConfigReply::diskCapacity},
        {TAG_PPPOE_USER, 127, &ConfigReply::pppoeUser},
        {TAG_PPPOE_PASSWORD, 31, &ConfigReply::pppoePassword},
        {TAG_PPTP_USER, 127, &ConfigReply::pptpUser},
        {TAG_PPTP_PASSWORD, 31, &ConfigReply::pptpPassword},
    };
    for (const auto& [tag, max, member] : kTexts) {
        std::string s;
        FindText(p, n, tag, max, &s);
        ASSERT_EQ(cf.*member, s) << int{tag};
    }
    uint8_t b = 0;
    ASSERT_EQ(st.ipMode.has_value(), FindByte(p, n, TAG_IP_MODE, &b) == 1);
    ASSERT_EQ(cf.ipMode, st.ipMode.value_or(0));
    b = 0;
    FindByte(p, n, TAG_DHCP_SERVER, &b);
    ASSERT_EQ(cf.dhcpServer, b);
    int present = 0;
    const int32_t router = FindInt32Zero(p, n, TAG_ROUTER, &present);
    ASSERT_EQ(cf.routerType, present && router == 2);
    ASSERT_EQ(st.router, present == 1);
    ASSERT_EQ(st.configured, FindInt32(p, n, TAG_CONFIGURED));
    const uint32_t mask = FindIPv4(p, n, TAG_NETMASK, &present);
    ASSERT_EQ(st.netmask, present ? std::optional<uint32_t>(mask) : std::nullopt);
    ASSERT_EQ(st.workgroup, [&] {
        std::string s;
        FindText(p, n, TAG_WORKGROUP, 127, &s);
        return s;
    }());
    uint8_t v[8] = {};
    size_t len = 0;
    ASSERT_EQ(st.version.has_value(), FindItem(p, n, TAG_VERSION, v, sizeof v, &len) == 1);
    if (st.version) {
        ASSERT_EQ(st.version->Text(true), VersionText(v, len, true));
    }
}

// Reads a datagram the way the program does: through a zero-filled block.
void ReadEverything(const std::vector<uint8_t>& d, ServerInfo* selected) {
    auto block = std::make_unique<ReplyBlock>();
    if (!FillReplyBlock(block.get(), 0x0A4D0001, d.data(), d.size())) {
        // Too short or too long for the program: the readers must still cope.
        AcceptReply(selected, d.data(), d.size());
        std::string s;
        FindText(d.data(), d.size(), TAG_SERVER_NAME, 127, &s);
        DecodersAgreeWithLookups(d.data(), d.size());
        return;
    }
    const uint8_t* p = block->data;
    const size_t n = block->length;
    AcceptReply(selected, p, n);
    DiscoveryRecord rec;
    ReadDiscoveryReply(block->sourceIp, p, n, &rec);
    ASSERT_LT(std::strlen(rec.info.name), sizeof rec.info.name);
    std::string s;
    for (int tag = 0; tag < 256; tag += 7) {
        FindText(p, n, static_cast<uint8_t>(tag), 127, &s);
        ASSERT_LE(s.size(), 127u);
    }
    FindInt32(p, n, TAG_CONFIGURED);
    FindInt32Zero(p, n, TAG_ROUTER);
    FindIPv4(p, n, TAG_IP);
    uint8_t b;
    FindByte(p, n, TAG_IP_MODE, &b);
    uint8_t v[8];
    size_t len = 0;
    if (FindItem(p, n, TAG_VERSION, v, sizeof v, &len))
        VersionText(v, len, true);
    DecodersAgreeWithLookups(p, n);
    ItemRef ref;
    for (int i = 0; i < 4; ++i) {
        if (ItemAt(p, n, i, &ref)) {
            ASSERT_LE(ref.value + ref.length, p + n);
        }
    }
}

}  // namespace

TEST(ReplyFuzz, RandomAndMutatedDatagrams) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> size(0, 1100);
    ServerInfo selected;
    selected.seq = 5;
    // A realistic status reply to mutate.
    std::vector<uint8_t> seed(16);
    seed[10] = CMD_GET_STATUS;
    const uint8_t items[] = {1,   5,   'N', 'A', 'S', '-', '1', 2,   8,   0x12, 3,   '0',
                             '6', '0', '9', '2', '0', 32,  4,   1,   0,   0,    0,   5,
                             4,   10,  77,  0,   11,  9,   9,   'W', 'O', 'R',  'K', 'G',
                             'R', 'O', 'U', 'P', 38,  3,   'H', 'D', 'D'};
    seed.insert(seed.end(), std::begin(items), std::end(items));

    const int kRounds = 120000;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<uint8_t> d;
        if (round % 2 == 0) {
            d.resize(static_cast<size_t>(size(rng)));
            for (auto& c : d)
                c = static_cast<uint8_t>(byte(rng));
        } else {
            d = seed;
            const int edits = 1 + round % 8;
            for (int e = 0; e < edits; ++e) {
                const size_t at = static_cast<size_t>(byte(rng)) % (d.size() + 1);
                switch (byte(rng) % 4) {
                    case 0:
                        if (at < d.size())
                            d[at] = static_cast<uint8_t>(byte(rng));
                        break;
                    case 1:  // an item length that overruns
                        if (at < d.size())
                            d[at] = 0xFF;
                        break;
                    case 2:
                        d.resize(static_cast<size_t>(size(rng)) % (d.size() + 1));
                        break;
                    default:
                        d.insert(d.begin() + static_cast<long>(std::min(at, d.size())),
                                 static_cast<size_t>(byte(rng)), static_cast<uint8_t>(byte(rng)));
                }
            }
        }
        ReadEverything(d, (round % 3 == 0) ? nullptr : &selected);
        if (HasFatalFailure())
            FAIL() << "round " << round;
    }
}
