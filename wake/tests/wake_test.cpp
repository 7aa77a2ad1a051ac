#include <gtest/gtest.h>

#include <map>

#include "wake/magic_packet.h"
#include "wake/server_memory.h"
#include "wake/wake_flow.h"

using namespace wake;

namespace {

const Mac kMac = {0x00, 0x11, 0x32, 0xaa, 0xbb, 0x01};

class MapStore : public RecordStore {
public:
    std::map<std::string, std::string> values;
    int writes = 0, removes = 0;
    std::vector<std::pair<std::string, std::string>> ReadAll() override {
        return {values.begin(), values.end()};
    }
    bool Write(const std::string& key, const std::string& value) override {
        values[key] = value;
        ++writes;
        return true;
    }
    bool Remove(const std::string& key) override {
        ++removes;
        return values.erase(key) != 0;
    }
};

Mac MacOf(int n) {
    return {0x00, 0x11, 0x32, 0x00, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
}

}  // namespace

// The stored record: what is read back, and what is refused.
TEST(WakeRecord, ParsesOnlyWellFormedRecords) {
    const RememberedServer s{kMac, "NAS;1 x", 0x0A4D0005, 1765200000};
    EXPECT_EQ(RecordKey(kMac), "001132aabb01");
    EXPECT_EQ(RecordValue(s), "1;10.77.0.5;1765200000;NAS;1 x");
    const std::string name29(29, 'N');
    struct Case {
        const char* why;
        std::string key, value;
        bool ok;
    } cases[] = {
        {"round trip", RecordKey(kMac), RecordValue(s), true},
        {"upper-case key", "001132AABB01", RecordValue(s), true},
        {"longest name", "001132aabb01", "1;10.77.0.5;1;" + name29, true},
        {"name too long", "001132aabb01", "1;10.77.0.5;1;" + name29 + "N", false},
        {"record too long", "001132aabb01", "1;10.77.0.5;1;N" + std::string(100, ' '), false},
        {"empty name", "001132aabb01", "1;10.77.0.5;1;", false},
        {"control byte in name", "001132aabb01", "1;10.77.0.5;1;A\tB", false},
        {"other version", "001132aabb01", "2;10.77.0.5;1;NAS", false},
        {"missing field", "001132aabb01", "1;10.77.0.5;NAS", false},
        {"bad address", "001132aabb01", "1;10.77.0.256;1;NAS", false},
        {"broadcast address", "001132aabb01", "1;255.255.255.255;1;NAS", false},
        {"zero address", "001132aabb01", "1;0.0.0.0;1;NAS", false},
        {"signed time", "001132aabb01", "1;10.77.0.5;-1;NAS", false},
        {"time too long", "001132aabb01", "1;10.77.0.5;1234567890123;NAS", false},
        {"short key", "001132aabb0", RecordValue(s), false},
        {"key not hex", "001132aabbzz", RecordValue(s), false},
        {"group address", "011132aabb01", RecordValue(s), false},
        {"broadcast hardware address", "ffffffffffff", RecordValue(s), false},
        {"zero hardware address", "000000000000", RecordValue(s), false},
        {"empty", "", "", false},
    };
    for (const Case& c : cases) {
        RememberedServer out;
        EXPECT_EQ(ParseRecord(c.key, c.value, &out), c.ok) << c.why;
        if (c.ok && std::string(c.why) == "round trip") {
            EXPECT_EQ(out, s);
        }
    }
}

// Loading rebuilds the store from what is valid, newest first, bounded.
TEST(WakeMemory, LoadKeepsTheValidMostRecentAndBoundsTheList) {
    MapStore store;
    for (int i = 0; i < 300; ++i)
        store.values[RecordKey(MacOf(i))] = "1;10.77.1." + std::to_string(i % 250 + 1) + ";" +
                                            std::to_string(1000 + i) + ";S" + std::to_string(i);
    store.values["001132aabb01"] = "1;10.77.0.5;junk;NAS";  // malformed
    store.values["not-a-mac"] = "1;10.77.0.5;5000;NAS";
    ServerMemory memory(store);
    memory.Load();
    ASSERT_EQ(memory.servers().size(), kMaxRemembered);
    EXPECT_EQ(memory.servers().front().name, "S299");
    EXPECT_EQ(memory.servers().back().name, "S44");
    EXPECT_EQ(store.values.size(), kMaxRemembered);
    EXPECT_EQ(store.values.count("001132aabb01"), 0u);

    // A new server pushes the least recently seen out, in the store too.
    EXPECT_TRUE(memory.Remember(kMac, "NEW", 0x0A4D0005, 9000));
    EXPECT_FALSE(memory.Remember(Mac{}, "ZERO", 0x0A4D0005, 9000));
    EXPECT_FALSE(memory.Remember(MacOf(1), "", 0x0A4D0005, 9000));
    EXPECT_EQ(store.values.count("001132aabb01"), 0u);  // not before Save
    memory.Save();
    EXPECT_EQ(store.values["001132aabb01"], "1;10.77.0.5;9000;NEW");
    EXPECT_EQ(store.values.count(RecordKey(MacOf(44))), 0u);
    EXPECT_EQ(store.values.size(), kMaxRemembered);
    EXPECT_FALSE(memory.dirty());

    // Forgotten at once; the list offered leaves out the listed ones.
    EXPECT_TRUE(memory.Forget(MacOf(299)));
    EXPECT_FALSE(memory.Forget(MacOf(299)));
    EXPECT_EQ(store.values.count(RecordKey(MacOf(299))), 0u);
    const auto offered = memory.NotListed({kMac, MacOf(298)});
    ASSERT_EQ(offered.size(), kMaxRemembered - 3);
    EXPECT_EQ(offered.front().name, "S297");

    // A burst of new servers costs one write for each that stays and a
    // removal only for those the store held.
    MapStore fresh;
    ServerMemory burst(fresh);
    burst.Load();
    for (int i = 0; i < 1000; ++i)
        burst.Remember(MacOf(i), "B" + std::to_string(i), 0x0A4D0005, 5000);
    burst.Save();
    EXPECT_EQ(fresh.writes, static_cast<int>(kMaxRemembered));
    EXPECT_EQ(fresh.removes, 0);
    EXPECT_EQ(fresh.values.count(RecordKey(MacOf(999))), 1u);
}

TEST(WakePacket, MagicPacketAndItsDestinations) {
    const auto p = MagicPacket(kMac);
    ASSERT_EQ(p.size(), kMagicPacketSize);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(p[i], 0xFF);
    for (size_t i = 6; i < p.size(); ++i)
        EXPECT_EQ(p[i], kMac[(i - 6) % 6]) << i;

    using proto::LocalInterface;
    const uint32_t up = proto::kIfUp | proto::kIfBroadcast;
    struct Case {
        const char* why;
        std::vector<LocalInterface> interfaces;
        std::vector<uint32_t> want;
    } cases[] = {
        {"no adapter", {}, {0xFFFFFFFF}},
        {"two adapters",
         {{0x0A4D0002, 0xFFFF0000, up}, {0xC0A80105, 0xFFFFFF00, up}},
         {0xFFFFFFFF, 0x0A4DFFFF, 0xC0A801FF}},
        {"two addresses on one subnet",
         {{0x0A4D0002, 0xFFFF0000, up}, {0x0A4D0003, 0xFFFF0000, up}},
         {0xFFFFFFFF, 0x0A4DFFFF}},
        {"loopback, down, point-to-point, /32",
         {{0x7F000001, 0xFF000000, up | proto::kIfLoopback},
          {0x0A4E0002, 0xFFFF0000, proto::kIfBroadcast},
          {0x0A4F0002, 0xFFFFFF00, up | proto::kIfPointToPoint},
          {0x0A500002, 0xFFFFFFFF, up}},
         {0xFFFFFFFF}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WakeDestinations(c.interfaces), c.want) << c.why;
}

namespace {

class FakeWakeView : public WakeView {
public:
    std::vector<proto::LocalInterface> interfaces = {
        {0x0A4D0002, 0xFFFF0000, proto::kIfUp | proto::kIfBroadcast}};
    std::vector<uint32_t> sentTo;
    int sendError = 0;
    std::map<int, unsigned> timers;
    int rediscovered = 0;
    std::vector<std::pair<bool, std::string>> results;

    std::vector<proto::LocalInterface> LocalInterfaces() override { return interfaces; }
    int SendWake(const std::vector<uint8_t>& packet, uint32_t destination) override {
        EXPECT_EQ(packet.size(), kMagicPacketSize);
        sentTo.push_back(destination);
        return sendError;
    }
    void StartTimer(int id, unsigned ms) override { timers[id] = ms; }
    void StopTimer(int id) override { timers.erase(id); }
    void Rediscover() override { ++rediscovered; }
    void ShowWakeResult(bool answered, const std::string& name) override {
        results.emplace_back(answered, name);
    }
    int64_t Now() override { return 1765200000; }
};

}  // namespace

TEST(WakeFlowTest, OnlyARememberedServerNotListedIsWokenAndItsAnswerIsTold) {
    MapStore store;
    ServerMemory memory(store);
    memory.Load();
    FakeWakeView view;
    WakeFlow flow(view, memory);

    // Never seen: nothing goes out.
    EXPECT_EQ(flow.Wake(kMac, {}), WakeFlow::WakeResult::NotRemembered);
    EXPECT_TRUE(view.sentTo.empty());

    // Listed servers are remembered, written once after the burst.
    flow.OnServerListed(kMac.data(), "NAS-1", 0x0A4D0005);
    flow.OnServerListed(MacOf(2).data(), "NAS-2", 0x0A4D0006);
    EXPECT_TRUE(store.values.empty());
    EXPECT_TRUE(flow.OnTimer(kWakeSaveTimer.id));
    EXPECT_EQ(store.values.size(), 2u);
    EXPECT_EQ(flow.Candidates({MacOf(2)}).size(), 1u);

    // Listed now (the list changed under the dialog): not woken.
    EXPECT_EQ(flow.Wake(kMac, {kMac}), WakeFlow::WakeResult::Listed);
    EXPECT_TRUE(view.sentTo.empty());
    // Every send failing is said so.
    view.sendError = 10051;
    EXPECT_EQ(flow.Wake(kMac, {}), WakeFlow::WakeResult::SendFailed);
    EXPECT_FALSE(flow.waiting());
    view.sendError = 0;
    view.sentTo.clear();

    // Sent to the limited and the adapter's broadcast; after the wait a new
    // discovery; its time over without the server: not answered.
    EXPECT_EQ(flow.Wake(kMac, {}), WakeFlow::WakeResult::Sent);
    EXPECT_EQ(view.sentTo, (std::vector<uint32_t>{0xFFFFFFFF, 0x0A4DFFFF}));
    EXPECT_EQ(view.timers.at(kWakeWaitTimer.id), kWakeWaitTimer.ms);
    flow.OnTimer(kWakeWaitTimer.id);
    EXPECT_EQ(view.rediscovered, 1);
    flow.OnServerListed(MacOf(2).data(), "NAS-2", 0x0A4D0006);
    flow.OnTimer(kWakeAnswerTimer.id);
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_EQ(view.results[0], std::make_pair(false, std::string("NAS-1")));

    // Woken again, and this time it answers the new discovery.
    flow.Wake(kMac, {});
    flow.OnTimer(kWakeWaitTimer.id);
    flow.OnServerListed(kMac.data(), "NAS-1", 0x0A4D0005);
    ASSERT_EQ(view.results.size(), 2u);
    EXPECT_TRUE(view.results[1].first);
    EXPECT_FALSE(view.timers.count(kWakeAnswerTimer.id));
    // A late timer changes nothing.
    flow.OnTimer(kWakeAnswerTimer.id);
    EXPECT_EQ(view.results.size(), 2u);
    EXPECT_FALSE(flow.OnTimer(100));

    // Forgotten: gone from the store and from the offer.
    EXPECT_TRUE(flow.Forget(kMac));
    EXPECT_EQ(store.values.count(RecordKey(kMac)), 0u);
    EXPECT_EQ(flow.Wake(kMac, {}), WakeFlow::WakeResult::NotRemembered);
}
