#include "protocol/discovery.h"

#include <gtest/gtest.h>

using namespace proto;

namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}
constexpr uint32_t kUpBcast = kIfUp | kIfBroadcast;

TEST(Discovery, DirectedBroadcastOfEachKindOfInterface) {
    const struct {
        LocalInterface i;
        uint32_t want;
    } cases[] = {
        {{Ip(10, 77, 0, 2), Ip(255, 255, 0, 0), kUpBcast}, Ip(10, 77, 255, 255)},
        {{Ip(192, 168, 1, 20), Ip(255, 255, 255, 0), kUpBcast}, Ip(192, 168, 1, 255)},
        {{Ip(172, 16, 5, 9), Ip(255, 255, 255, 252), kUpBcast}, Ip(172, 16, 5, 11)},  // /30
        {{Ip(10, 0, 0, 1), Ip(255, 255, 255, 254), kUpBcast}, 0},                     // /31
        {{Ip(10, 0, 0, 1), Ip(255, 255, 255, 255), kUpBcast}, 0},                     // /32
        {{Ip(10, 0, 0, 1), 0, kUpBcast}, 0},                                          // /0
        {{Ip(10, 0, 0, 1), Ip(255, 0, 255, 0), kUpBcast}, 0},                   // not a netmask
        {{Ip(10, 77, 0, 2), Ip(255, 255, 0, 0), kIfBroadcast}, 0},              // down
        {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0), kIfUp | kIfLoopback}, 0},         // loopback
        {{Ip(10, 8, 0, 6), Ip(255, 255, 255, 0), kIfUp | kIfPointToPoint}, 0},  // VPN tunnel
        {{0, Ip(255, 255, 255, 0), kUpBcast}, 0},                               // no address
    };
    for (const auto& c : cases)
        EXPECT_EQ(DirectedBroadcast(c.i), c.want)
            << std::hex << c.i.address << "/" << c.i.netmask << " flags " << c.i.flags;
}

TEST(Discovery, ProbesStartWithTheLimitedBroadcastAndNeverRepeatADestination) {
    const std::vector<LocalInterface> interfaces = {
        {Ip(127, 0, 0, 1), Ip(255, 0, 0, 0), kIfUp | kIfLoopback},
        {Ip(10, 77, 0, 2), Ip(255, 255, 0, 0), kUpBcast},
        {Ip(10, 78, 0, 2), Ip(255, 255, 0, 0), kUpBcast},
        {Ip(10, 77, 0, 3), Ip(255, 255, 0, 0), kUpBcast},  // second address, same subnet
        {Ip(10, 8, 0, 6), Ip(255, 255, 255, 0), kIfUp | kIfPointToPoint},
    };
    const auto probes =
        DiscoveryProbes(interfaces, {Ip(10, 79, 1, 5), Ip(10, 78, 255, 255), Ip(10, 79, 1, 5), 0});
    ASSERT_EQ(probes.size(), 4u);
    EXPECT_EQ(probes[0].kind, ProbeKind::LimitedBroadcast);
    EXPECT_EQ(probes[0].destination, kLimitedBroadcast);
    EXPECT_EQ(probes[1].kind, ProbeKind::Adapter);
    EXPECT_EQ(probes[1].destination, Ip(10, 77, 255, 255));
    EXPECT_EQ(probes[1].adapter, Ip(10, 77, 0, 2));
    EXPECT_EQ(probes[1].netmask, Ip(255, 255, 0, 0));
    EXPECT_EQ(probes[2].destination, Ip(10, 78, 255, 255));
    EXPECT_EQ(probes[3].kind, ProbeKind::Typed);
    EXPECT_EQ(probes[3].destination, Ip(10, 79, 1, 5));
    // Without any adapter the limited broadcast still goes out.
    EXPECT_EQ(DiscoveryProbes({}, {}).size(), 1u);
}

TEST(Discovery, RequestsGoWhereTheLimitedBroadcastDoesNot) {
    const std::vector<LocalInterface> two = {{Ip(10, 77, 0, 2), Ip(255, 255, 0, 0), kUpBcast},
                                             {Ip(10, 78, 0, 2), Ip(255, 255, 0, 0), kUpBcast}};
    const auto both = DiscoveryProbes(two, {});
    const auto one = DiscoveryProbes({two[0]}, {});
    const uint32_t a = Ip(10, 77, 1, 1), b = Ip(10, 78, 1, 1), far = Ip(10, 79, 1, 5);
    const struct {
        uint32_t server;
        bool typed;
        const std::vector<Probe>& probes;
        uint32_t broadcastAdapter;
        uint32_t want;
    } cases[] = {
        {a, false, both, Ip(10, 77, 0, 2), kLimitedBroadcast},
        {a, false, both, Ip(10, 77, 0, 9), kLimitedBroadcast},  // same subnet, other address
        {b, false, both, Ip(10, 77, 0, 2), Ip(10, 78, 255, 255)},
        {b, false, both, Ip(10, 78, 0, 2), kLimitedBroadcast},
        {a, false, both, 0, Ip(10, 77, 255, 255)},  // unknown: each by its subnet's broadcast
        {a, false, one, 0, kLimitedBroadcast},      // one adapter: the broadcast reaches them
        {far, false, both, Ip(10, 77, 0, 2), kLimitedBroadcast},  // a stranger
        {far, true, both, Ip(10, 77, 0, 2), far},
        {a, true, one, Ip(10, 77, 0, 2), a},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RequestDestination(c.server, c.typed, c.probes, c.broadcastAdapter), c.want)
            << std::hex << c.server << " via " << c.broadcastAdapter;
}

TEST(Discovery, DirectedBroadcastsFollowTheSubnetTheLimitedOneReachesLast) {
    const LocalInterface a = {Ip(10, 77, 0, 2), Ip(255, 255, 0, 0), kUpBcast};
    const LocalInterface b = {Ip(10, 78, 0, 2), Ip(255, 255, 0, 0), kUpBcast};
    const LocalInterface c = {Ip(192, 168, 1, 20), Ip(255, 255, 255, 0), kUpBcast};
    const uint32_t toA = Ip(10, 77, 255, 255), toB = Ip(10, 78, 255, 255),
                   toC = Ip(192, 168, 1, 255);
    const struct {
        const char* what;
        std::vector<LocalInterface> interfaces;
        uint32_t broadcastAdapter;
        std::vector<uint32_t> want;
    } cases[] = {
        {"one adapter, the broadcast's", {a}, Ip(10, 77, 0, 2), {toA}},
        {"one adapter, the broadcast's not known", {a}, 0, {toA}},
        {"the broadcast's subnet last", {a, b, c}, Ip(10, 77, 0, 9), {toB, toC, toA}},
        {"the second adapter's last", {a, b}, Ip(10, 78, 0, 2), {toA, toB}},
        {"not known which: in their order", {a, b}, 0, {toA, toB}},
        {"the broadcast leaves by none of them (a VPN)", {a, b}, Ip(10, 8, 0, 6), {toA, toB}},
        {"no adapter", {}, 0, {}},
    };
    for (const auto& t : cases)
        EXPECT_EQ(FollowingBroadcasts(DiscoveryProbes(t.interfaces, {Ip(10, 79, 1, 5)}),
                                      t.broadcastAdapter),
                  t.want)
            << t.what;
}

TEST(Discovery, ParsesOnlyTheStrictDottedForm) {
    const struct {
        const char* text;
        uint32_t want;  // 0: refused
    } cases[] = {
        {"10.79.1.5", Ip(10, 79, 1, 5)},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"010.1.1.1", Ip(10, 1, 1, 1)},
        {"10.79.1", 0},
        {"10.79.1.5.", 0},
        {"10.79.1.256", 0},
        {"10.79..5", 0},
        {" 10.79.1.5", 0},
        {"10.79.1.5 ", 0},
        {"1e.1.1.1", 0},
        {"1.2.3.4444", 0},
        {"", 0},
        {"-1.2.3.4", 0},
        {"10.79.1.0005", 0},
    };
    for (const auto& c : cases) {
        uint32_t got = 0;
        const int ok = ParseIPv4(c.text, &got);
        EXPECT_EQ(ok ? got : 0u, c.want) << c.text;
    }
    uint32_t zero = 1;
    EXPECT_EQ(ParseIPv4("0.0.0.0", &zero), 1);
    EXPECT_EQ(zero, 0u);
}

TEST(Discovery, ReportCountsRepliesPerAdapterAndHintsWhenNothingAnswered) {
    DiscoveryReport report;
    EXPECT_TRUE(report.Hints().empty());  // no discovery yet
    const std::vector<LocalInterface> two = {{Ip(10, 77, 0, 2), Ip(255, 255, 0, 0), kUpBcast},
                                             {Ip(10, 78, 0, 2), Ip(255, 255, 0, 0), kUpBcast}};
    auto probes = DiscoveryProbes(two, {Ip(10, 79, 1, 5)});
    probes[2].sendError = 10065;
    report.Begin(probes);
    EXPECT_EQ(report.adapters(), 2);
    report.OnReply(Ip(10, 77, 1, 1), true);
    report.OnReply(Ip(10, 77, 1, 1), false);  // the same server again
    report.OnReply(Ip(10, 77, 1, 2), true);
    report.OnReply(Ip(10, 79, 1, 5), true);    // the typed address
    report.OnReply(Ip(192, 168, 9, 9), true);  // outside every subnet
    const auto& p = report.probes();
    EXPECT_EQ(p[0].replies, 1);  // limited broadcast: the stranger
    EXPECT_EQ(p[1].replies, 3);
    EXPECT_EQ(p[1].listed, 2);
    EXPECT_EQ(p[2].replies, 0);
    EXPECT_EQ(p[3].replies, 1);
    EXPECT_EQ(report.replies(), 5);
    EXPECT_EQ(report.listed(), 4);
    // While it runs: only that it runs and the failed send.
    auto hints = report.Hints();
    ASSERT_EQ(hints.size(), 2u);
    EXPECT_EQ(hints[0].id, DiscoveryReport::kHintStillRunning);
    EXPECT_EQ(hints[1].id, DiscoveryReport::kHintSendFailed);
    EXPECT_EQ(hints[1].argument, "10.78.255.255");

    // A discovery that nobody answers, without adapters, with a typed address
    // asked on its own afterwards.
    report.Begin(DiscoveryProbes({}, {}));
    report.Finish();
    report.AddTyped(Ip(10, 79, 1, 6), 0);
    std::vector<int> ids;
    for (const auto& h : report.Hints())
        ids.push_back(h.id);
    EXPECT_EQ(ids,
              (std::vector<int>{DiscoveryReport::kHintNoAdapter, DiscoveryReport::kHintNothing,
                                DiscoveryReport::kHintVpn, DiscoveryReport::kHintOtherSubnet}));
    report.EndWait(Ip(10, 79, 1, 6));  // its time is up
    hints = report.Hints();
    EXPECT_EQ(hints.back().id, DiscoveryReport::kHintTypedSilent);
    EXPECT_EQ(hints.back().argument, "10.79.1.6");
}

}  // namespace
