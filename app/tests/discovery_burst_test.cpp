// Discovery when thousands of servers answer at once: a repeated answer
// costs no list or window work, and the directed broadcast of the subnet the
// limited broadcast reaches follows once the first replies pause, so that
// those servers do not answer twice within one burst.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_model.h"
#include "app/tests/fake_view.h"

using namespace proto;

namespace {

constexpr uint32_t kClient = 0x0A4D0002;    // 10.77.0.2/16
constexpr uint32_t kDirected = 0x0A4DFFFF;  // its directed broadcast
constexpr uint32_t kFirstServer = 0x0A4D0101;

// Counts every change the model asks of the window.
class CountingView : public FakeView {
public:
    int changes = 0;
    void AppendRow(const std::string& n, const std::string& ip, const std::string& wg) override {
        ++changes;
        FakeView::AppendRow(n, ip, wg);
    }
    void SetRowText(int r, int c, const std::string& t) override {
        ++changes;
        FakeView::SetRowText(r, c, t);
    }
    void Send(const std::vector<uint8_t>& d) override {
        ++changes;
        FakeView::Send(d);
    }
    int SendTo(const std::vector<uint8_t>& d, uint32_t address) override {
        ++changes;
        return FakeView::SendTo(d, address);
    }
    void StartTimer(int id, unsigned ms) override {
        ++changes;
        FakeView::StartTimer(id, ms);
    }
};

std::vector<uint8_t> Items(const std::string& name) {
    return Cat({Text(TAG_SERVER_NAME, name), Text(TAG_WORKGROUP, "WG")});
}

// One discovery on a computer with one adapter, which the limited broadcast
// leaves by.
struct Session {
    BasicFakeWindow<CountingView> window;
    CountingView& view = window.view;
    app::MainModel& model = window.model;

    Session() {
        view.interfaces = {{kClient, 0xFFFF0000, kIfUp | kIfBroadcast}};
        view.broadcastAdapter = kClient;
        model.Initialize();
    }
    // The discovery reply of server n (address, id and name of its own).
    void Answer(uint32_t n, const std::string& name = "", uint8_t idByte = 0) {
        const uint8_t mac[6] = {
            0, 0x11, 0x32, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), idByte};
        model.OnServerReply(ServerReply(kFirstServer + n, mac, CMD_DISCOVER, 0,
                                        Items(name.empty() ? "NAS-" + std::to_string(n) : name)));
    }
    size_t StatusRequests() {
        size_t k = 0;
        for (const auto& d : view.sent)
            k += PacketHeader::Decode(d.data()).command == CMD_GET_STATUS;
        return k;
    }
    int DirectedSent() {
        return static_cast<int>(std::count_if(view.sentTo.begin(), view.sentTo.end(),
                                              [](const auto& s) { return s.first == kDirected; }));
    }
};

}  // namespace

TEST(DiscoveryBurst, TheDirectedBroadcastFollowsOnceTheRepliesPause) {
    const std::vector<int> always(app::kDirectedMaxWaits, 1);
    const struct {
        const char* what;
        std::vector<int> answersPerWait;  // new servers before each expiry
        int sentAt;  // the expiry (from 1) that sends it; 0: the window's close
    } cases[] = {
        {"nobody answers at first", {0}, 1},
        {"a burst over two waits, then a pause", {5, 3, 0}, 3},
        {"the replies never pause", always, app::kDirectedMaxWaits},
        {"the window closes first", {2, 2}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session d;
        EXPECT_EQ(d.DirectedSent(), 0);
        uint32_t next = 0;
        int sentAt = 0;
        for (size_t wait = 0; wait < c.answersPerWait.size() && sentAt == 0; ++wait) {
            for (int k = 0; k < c.answersPerWait[wait]; ++k)
                d.Answer(next++);
            d.model.OnTimer(app::kDirectedTimer.id);
            if (d.DirectedSent() != 0)
                sentAt = static_cast<int>(wait) + 1;
        }
        if (sentAt == 0)
            d.model.OnTimer(app::kDiscoveryTimer.id);
        EXPECT_EQ(sentAt, c.sentAt);
        EXPECT_EQ(std::count(d.view.timers.begin(), d.view.timers.end(), app::kDirectedTimer.id),
                  0);
        // Once, whatever fires later.
        d.model.OnTimer(app::kDirectedTimer.id);
        d.model.OnTimer(app::kDiscoveryTimer.id);
        EXPECT_EQ(d.DirectedSent(), 1);
    }
}

TEST(DiscoveryBurst, ARepeatedAnswerCostsNoListOrWindowWork) {
    const struct {
        const char* what;
        uint32_t server;
        std::string name;
        uint8_t idByte;
        bool windowClosed;
        int replies;  // counted by the report
    } cases[] = {
        {"the directed broadcast's answer", 0, "", 0, false, 2},
        {"the same address under another name", 0, "OTHER", 0, false, 2},
        {"another server at a listed address", 0, "", 7, false, 2},
        {"after the window", 0, "", 0, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session d;
        d.Answer(0);
        ASSERT_EQ(d.model.servers().Count(), 1);
        ASSERT_EQ(d.StatusRequests(), 1u);
        if (c.windowClosed)
            d.model.OnTimer(app::kDiscoveryTimer.id);
        const int before = d.view.changes;
        d.Answer(c.server, c.name, c.idByte);
        EXPECT_EQ(d.view.changes, before);
        EXPECT_EQ(d.model.servers().Count(), 1);
        EXPECT_EQ(d.view.rows.size(), 1u);
        EXPECT_EQ(d.model.report().replies(), c.replies);
        EXPECT_EQ(d.model.report().listed(), 1);
    }
}

// A server whose first answer was lost is listed from its answer to the
// directed broadcast; every server is asked for its status once.
TEST(DiscoveryBurst, TheFollowingBroadcastListsWhatTheFirstBurstLost) {
    Session d;
    for (uint32_t n = 0; n < 50; ++n)
        if (n != 17)
            d.Answer(n);
    d.model.OnTimer(app::kDirectedTimer.id);
    d.model.OnTimer(app::kDirectedTimer.id);
    ASSERT_EQ(d.DirectedSent(), 1);
    for (uint32_t n = 0; n < 50; ++n)
        d.Answer(n);
    EXPECT_EQ(d.model.servers().Count(), 50);
    EXPECT_EQ(d.view.rows.size(), 50u);
    EXPECT_EQ(d.StatusRequests(), 50u);
    EXPECT_EQ(d.view.rows.back()[0], "NAS-17");
    EXPECT_EQ(d.model.report().replies(), 99);
}
