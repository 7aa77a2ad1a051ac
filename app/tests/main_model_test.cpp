#include "app/main_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "app/tests/fake_view.h"
#include "resources/brellmark/resource.h"

using namespace proto;
using app::MainModel;

namespace {

using Server = TestServer;

const Server kA = {{0, 1, 2, 3, 4, 0xA}, 0x0A4D000A, "ALPHA"};
const Server kB = {{0, 1, 2, 3, 4, 0xB}, 0x0A4D000B, "BRAVO"};
const Server kC = {{0, 1, 2, 3, 4, 0xC}, 0x0A4D000C, "alpha"};

class ModelTest : public DispatchTest {};

}  // namespace

TEST_F(ModelTest, DiscoveryListsEachServerOnceAndAsksForItsStatus) {
    model.Initialize();
    ASSERT_EQ(view.sent.size(), 1u);
    EXPECT_EQ(view.sent[0], std::vector<uint8_t>({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(model.discovering(), 1);
    EXPECT_FALSE(view.serverButtons);

    Discover(kA);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0][0], "ALPHA");
    EXPECT_EQ(view.rows[0][1], "10.77.0.10");
    EXPECT_EQ(view.rows[0][2], "WG");
    // The status request goes to the newcomer, numbered 2; its counter is then 3.
    const PacketHeader h = LastSent();
    EXPECT_EQ(h.command, CMD_GET_STATUS);
    EXPECT_EQ(h.seq, 2);
    EXPECT_EQ(std::memcmp(h.serverId, kA.mac, 6), 0);
    EXPECT_EQ(h.origin[0], 'C');
    EXPECT_EQ(model.servers().At(0)->seq, 3);

    // Same address again, or a reply without a name: not listed.
    Discover(kA);
    model.OnServerReply(Block(kB.ip, From(kB, CMD_DISCOVER, 0), Text(TAG_WORKGROUP, "WG")));
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.sent.size(), 2u);

    // After the window closes, discovery replies are ignored.
    model.OnTimer(app::kDiscoveryTimer.id);
    EXPECT_EQ(model.discovering(), 0);
    Discover(kB);
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.noServers, 0);
}

TEST_F(ModelTest, NoServersShownOncePerDiscovery) {
    model.Initialize();
    model.OnTimer(app::kDiscoveryTimer.id);
    model.OnTimer(app::kDiscoveryTimer.id);
    EXPECT_EQ(view.noServers, 1);
    model.StartDiscovery();
    model.OnTimer(app::kDiscoveryTimer.id);
    EXPECT_EQ(view.noServers, 2);
}

TEST_F(ModelTest, StatusRepliesFillVersionAndState) {
    model.Initialize();
    Discover(kA, 1);
    Discover(kB);
    const std::vector<uint8_t> v8 = {TAG_VERSION, 8, 0x21, 0xFE, 'A', 0, 0, 0, 0, 0};
    model.OnServerReply(
        Block(kA.ip, From(kA, CMD_GET_STATUS, 3, 0, 1),
              Cat({Text(TAG_SERVER_NAME, "ALPHA"), v8, {TAG_CONFIGURED, 4, 0, 0, 0, 0}})));
    EXPECT_EQ(view.rows[0][3], "w2.1.A");
    EXPECT_EQ(view.rows[0][4], "Not yet configured.");
    // A single byte 1 does not read as configured.
    model.OnServerReply(Block(kB.ip, From(kB, CMD_GET_STATUS, 3),
                              Cat({Text(TAG_SERVER_NAME, "BRAVO"),
                                   {TAG_VERSION, 2, 0x21, 0xFE},
                                   {TAG_CONFIGURED, 1, 1}})));
    EXPECT_EQ(view.rows[1][3], "2.1");
    EXPECT_EQ(view.rows[1][4], "--");
    // A name that matches no row changes nothing.
    model.OnServerReply(
        Block(kB.ip, From(kB, CMD_GET_STATUS, 3),
              Cat({Text(TAG_SERVER_NAME, "NOBODY"), {TAG_CONFIGURED, 4, 1, 0, 0, 0}})));
    EXPECT_EQ(view.rows[1][4], "--");
}

TEST_F(ModelTest, SelectionDropsOtherServersReplies) {
    model.Initialize();
    Discover(kA);
    Select(0);
    EXPECT_TRUE(view.serverButtons);
    Discover(kB);  // discovery replies still pass
    ASSERT_EQ(view.rows.size(), 2u);
    model.OnServerReply(
        Block(kB.ip, From(kB, CMD_GET_STATUS, 3),
              Cat({Text(TAG_SERVER_NAME, "BRAVO"), {TAG_CONFIGURED, 4, 1, 0, 0, 0}})));
    EXPECT_EQ(view.rows[1][4], "");
    // A click off the rows with nothing shown selected disables the buttons.
    model.OnListClick(-1, -1);
    EXPECT_FALSE(view.serverButtons);
}

TEST_F(ModelTest, SortingMovesRecordsWithTheirRows) {
    model.Initialize();
    Discover(kB);
    Discover(kA);
    Discover(kC);  // "alpha" equals "ALPHA" when compared upper-case
    Select(2);     // alpha
    // First click on Name sorts descending: exact reverse of ascending.
    model.OnColumnClick(app::COL_NAME);
    EXPECT_EQ(view.rows[0][0], "BRAVO");
    EXPECT_EQ(view.rows[1][0], "alpha");
    EXPECT_EQ(view.rows[2][0], "ALPHA");
    // Ascending keeps equal texts in their current order.
    model.OnColumnClick(app::COL_NAME);
    EXPECT_EQ(view.rows[0][0], "alpha");
    EXPECT_EQ(view.rows[1][0], "ALPHA");
    EXPECT_EQ(view.rows[2][0], "BRAVO");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(model.servers().At(i)->name, view.rows[static_cast<size_t>(i)][0]) << i;
    // The selected record is still the highlighted server, and requests go to it.
    ASSERT_NE(model.FindSelected(), nullptr);
    EXPECT_STREQ(model.FindSelected()->name, "alpha");
    model.OnDetails();
    EXPECT_EQ(std::memcmp(LastSent().serverId, kC.mac, 6), 0);
    // The first click on another column sorts ascending.
    model.OnColumnClick(app::COL_IP);
    EXPECT_EQ(view.rows[0][1], "10.77.0.10");
    EXPECT_EQ(model.sortAscending(), 1);
}

TEST_F(ModelTest, KeyboardSelectionStopsAtTheEnds) {
    model.Initialize();
    Discover(kA);
    Discover(kB);
    model.OnListKey(+1, 1);
    EXPECT_STREQ(model.FindSelected()->name, "BRAVO");
    model.OnListKey(-1, 0);
    EXPECT_STREQ(model.FindSelected()->name, "ALPHA");
    model.OnListKey(+1, 0);
    EXPECT_STREQ(model.FindSelected()->name, "BRAVO");
    model.OnListKey(+1, -1);
    EXPECT_FALSE(view.serverButtons);
}

TEST_F(ModelTest, ClickOnUnconfiguredRowAsksEachTime) {
    model.Initialize();
    Discover(kA);
    view.rows[0][4] = "Not yet configured.";
    Select(0);
    Select(0);
    EXPECT_EQ(wizard.asked, 2);
    EXPECT_TRUE(model.OnListRightClick(0));
    EXPECT_FALSE(model.OnListRightClick(-1));
}

TEST_F(ModelTest, RediscoverEmptiesTheList) {
    model.Initialize();
    Discover(kA);
    model.OnServerReply(Block(kB.ip, From(kB, CMD_REDISCOVER, 0), {}));
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(model.servers().Count(), 0);
    EXPECT_EQ(PacketHeader::Decode(view.sent.back().data()).command, CMD_DISCOVER);
}

// Replies nobody asked for: whatever the selection, and numbered so that the
// acceptance rule lets them through, they open nothing and send nothing.
TEST_F(ModelTest, RepliesNoFlowWaitsForAreDropped) {
    struct Case {
        const char* what;
        int selectRow;  // -1: none selected
        uint16_t command;
        int16_t status;
        bool details;  // press "&Details" first, and let its reply come
    } cases[] = {
        {"login refused, none selected", -1, CMD_LOGIN, 1, false},
        {"login accepted, none selected", -1, CMD_LOGIN, 0, false},
        {"configuration, none selected", -1, CMD_GET_CONFIG, 0, false},
        {"write busy, none selected", -1, CMD_SET_CONFIG, 1, false},
        {"write error, none selected", -1, CMD_SET_CONFIG, 2, false},
        {"login refused, selected", 0, CMD_LOGIN, 1, false},
        {"configuration, selected", 0, CMD_GET_CONFIG, 0, false},
        {"write error, selected", 0, CMD_SET_CONFIG, 2, false},
        {"second details reply", 0, CMD_GET_STATUS, 0, true},
    };
    for (const auto& c : cases) {
        FakeWindow fw;
        FakeView& v = fw.view;
        MainModel& m = fw.model;
        int opened = 0;
        fw.config.basicConfig = [&](const rules::BasicConfigFields&, rules::BasicConfigRules&) {
            ++opened;
            return true;
        };
        m.Initialize();
        m.OnServerReply(Block(kA.ip, From(kA, CMD_DISCOVER, 0),
                              Cat({Text(TAG_SERVER_NAME, "ALPHA"), Text(TAG_WORKGROUP, "WG")})));
        if (c.selectRow >= 0)
            m.OnListClick(c.selectRow, c.selectRow);
        uint16_t seq = 4;  // the selected server's next reply number
        if (c.details) {
            m.OnDetails();
            m.OnServerReply(
                Block(kA.ip, From(kA, CMD_GET_STATUS, 5), Text(TAG_SERVER_NAME, "ALPHA")));
            ASSERT_EQ(fw.details.shown, 1) << c.what;
            seq = 6;
        }
        const size_t sent = v.sent.size();
        for (int i = 0; i < 20; ++i)  // repeated, numbered as expected each time
            m.OnServerReply(Block(kA.ip,
                                  From(kA, c.command, static_cast<uint16_t>(seq + i), c.status),
                                  Text(TAG_SERVER_NAME, "ALPHA")));
        EXPECT_TRUE(fw.config.messages.empty()) << c.what;
        EXPECT_EQ(v.sent.size(), sent) << c.what;
        EXPECT_EQ(opened, 0) << c.what;
        EXPECT_EQ(fw.details.shown, c.details ? 1 : 0) << c.what;
    }
}

// New servers share their factory name: each row shows its own server's
// state, before and after a sort; the alias row of a server whose first item
// is not its name still matches nothing.
TEST_F(ModelTest, ServersOfOneNameShowTheirOwnState) {
    const Server twin1 = {{0, 1, 2, 3, 4, 0x61}, 0x0A4D003D, "NAS-TWIN"};
    const Server twin2 = {{0, 1, 2, 3, 4, 0x62}, 0x0A4D003E, "NAS-TWIN"};
    model.Initialize();
    Discover(twin1);
    Discover(twin2);
    auto status = [&](const Server& s, uint8_t configured, const std::vector<uint8_t>& version,
                      int16_t kind) {
        model.OnServerReply(Block(s.ip, From(s, CMD_GET_STATUS, 3, 0, kind),
                                  Cat({Text(TAG_SERVER_NAME, s.name),
                                       version,
                                       {TAG_CONFIGURED, 4, configured, 0, 0, 0}})));
    };
    status(twin2, 0, {TAG_VERSION, 8, 0x23, 0x06, 0x09, 0x20, 0, 0, 0, 0}, 1);
    status(twin1, 1, {TAG_VERSION, 2, 0x21, 0xFE}, 0);
    EXPECT_EQ(view.rows[0][3], "2.1");
    EXPECT_EQ(view.rows[0][4], "System is configured.");
    EXPECT_EQ(view.rows[1][4], "Not yet configured.");
    model.OnColumnClick(app::COL_IP);  // ascending by address: unchanged
    model.OnColumnClick(app::COL_IP);  // descending: twin2 first
    EXPECT_EQ(view.rows[0][1], "10.77.0.62");
    status(twin1, 1, {TAG_VERSION, 2, 0x22, 0xFE}, 0);
    status(twin2, 0, {TAG_VERSION, 2, 0x23, 0xFE}, 0);
    EXPECT_EQ(view.rows[0][3], "2.3");
    EXPECT_EQ(view.rows[0][4], "Not yet configured.");
    EXPECT_EQ(view.rows[1][3], "2.2");
    EXPECT_EQ(view.rows[1][4], "System is configured.");
    // A server not in the list that uses the same name changes no row.
    const Server stranger = {{9, 9, 9, 9, 9, 9}, 0x0A4D0063, "NAS-TWIN"};
    status(stranger, 1, {TAG_VERSION, 2, 0x29, 0xFE}, 0);
    EXPECT_EQ(view.rows[0][3], "2.3");
    EXPECT_EQ(view.rows[1][3], "2.2");
}

// The window closes at each point of a flow: in the login, in the
// configuration dialog, in the restart question, with a write or a typed
// address waiting for its answer. From then on nothing is sent or shown,
// whatever the dialog returns and whatever replies and timers still come,
// and no timer is left running.
TEST_F(ModelTest, ClosingInTheMiddleOfAFlowEndsIt) {
    enum Moment { Login, Dialog, Question, Write, Find };
    for (Moment at : {Login, Dialog, Question, Write, Find}) {
        SCOPED_TRACE(at);
        FakeWindow fw;
        FakeView& v = fw.view;
        MainModel& m = fw.model;
        size_t sent = 0, sentTo = 0, messages = 0;
        auto close = [&] {
            m.Close();
            sent = v.sent.size();
            sentTo = v.sentTo.size();
            messages = fw.config.messages.size();
        };
        m.Initialize();
        m.OnServerReply(Block(kA.ip, From(kA, CMD_DISCOVER, 0), Text(TAG_SERVER_NAME, "ALPHA")));
        m.OnListClick(0, 0);
        fw.config.answerYes = true;
        fw.config.basicConfig = [&](const rules::BasicConfigFields& f, rules::BasicConfigRules& r) {
            r.Open(f);
            auto changed = r.fields();
            changed.serverName = "RENAMED";
            if (at == Dialog)
                close();
            return r.Validate(changed).ok;
        };
        if (at == Login)
            fw.config.duringLogin = close;
        if (at == Question)
            fw.config.duringQuestion = close;
        if (at == Find) {
            m.FindByAddress(0x0A4D0063);
            close();
        } else {
            m.OnConfigure();
            m.OnServerReply(Block(kA.ip, From(kA, CMD_LOGIN, 5), {}));
            m.OnServerReply(Block(kA.ip, From(kA, CMD_GET_CONFIG, 7),
                                  Cat({Text(TAG_SERVER_NAME, "ALPHA"),
                                       Text(TAG_DATE, "03152005"),
                                       Text(TAG_TIME, "120000"),
                                       {TAG_IP_MODE, 1, 1}})));
        }
        if (at == Write)
            close();
        // Late, repeated and new replies, and every timer of the window.
        for (uint16_t cmd : {CMD_LOGIN, CMD_GET_CONFIG, CMD_SET_CONFIG, CMD_GET_STATUS,
                             CMD_REDISCOVER, CMD_DISCOVER})
            for (uint16_t seq = 0; seq < 12; ++seq)
                m.OnServerReply(Block(kA.ip, From(kA, cmd, seq, 1), Text(TAG_SERVER_NAME, "X")));
        for (int id : {app::kDiscoveryTimer.id, dialogs::kConfigReplyTimer.id, app::kFindTimer.id})
            m.OnTimer(id);
        EXPECT_TRUE(m.closing());
        EXPECT_EQ(v.sent.size(), sent);
        EXPECT_EQ(v.sentTo.size(), sentTo);
        EXPECT_EQ(fw.config.messages.size(), messages);
        EXPECT_TRUE(v.noAnswer.empty());
        EXPECT_TRUE(v.timers.empty());
        EXPECT_EQ(fw.details.shown, 0);
    }
}

// Every adapter's subnet is asked with the same bytes as the broadcast; a
// server that answers each of them is listed once, and the report says where
// the replies came from.
TEST_F(ModelTest, DiscoveryAsksEveryAdapterAndListsEachServerOnce) {
    view.interfaces = {{0x7F000001, 0xFF000000, kIfUp | kIfLoopback},
                       {0x0A4D0002, 0xFFFF0000, kIfUp | kIfBroadcast},
                       {0x0A4E0002, 0xFFFF0000, kIfUp | kIfBroadcast}};
    view.sendErrors[0x0A4EFFFF] = 10051;
    view.broadcastAdapter = 0x0A4D0002;
    model.Initialize();
    ASSERT_EQ(view.sent.size(), 1u);  // the limited broadcast, as always
    // The directed broadcasts follow, one each time the replies pause: the
    // second adapter's, then the one of the subnet the limited broadcast
    // reaches.
    EXPECT_TRUE(view.sentTo.empty());
    const Server b2 = {{0, 1, 2, 3, 4, 0xD}, 0x0A4E0101, "BRAVO2"};
    Discover(kA);
    model.OnTimer(app::kDirectedTimer.id);  // a reply came: it waits on
    model.OnTimer(app::kDirectedTimer.id);
    ASSERT_EQ(view.sentTo.size(), 1u);
    EXPECT_EQ(view.sentTo[0].first, 0x0A4EFFFFu);
    model.OnTimer(app::kDirectedTimer.id);
    ASSERT_EQ(view.sentTo.size(), 2u);
    EXPECT_EQ(view.sentTo[1].first, 0x0A4DFFFFu);
    for (const auto& [to, d] : view.sentTo)
        EXPECT_EQ(d, view.sent[0]);
    Discover(kA);  // answered the limited and the directed broadcast
    Discover(b2);
    Discover(b2);
    EXPECT_EQ(view.rows.size(), 2u);
    const auto& probes = model.report().probes();
    ASSERT_EQ(probes.size(), 3u);
    EXPECT_EQ(probes[1].replies, 2);
    EXPECT_EQ(probes[1].listed, 1);
    EXPECT_EQ(probes[2].replies, 2);
    EXPECT_EQ(probes[2].sendError, 10051);
    EXPECT_TRUE(model.report().running());
    // The status requests: ALPHA's by the limited broadcast, which reaches
    // its subnet; BRAVO2's by its own subnet's broadcast, as the limited one
    // leaves by the other adapter. So do the requests of a flow.
    EXPECT_EQ(view.sent.size(), 2u);
    EXPECT_EQ(PacketHeader::Decode(view.sent[1].data()).command, CMD_GET_STATUS);
    ASSERT_EQ(view.sentTo.size(), 3u);
    EXPECT_EQ(view.sentTo[2].first, 0x0A4EFFFFu);
    EXPECT_EQ(PacketHeader::Decode(view.sentTo[2].second.data()).command, CMD_GET_STATUS);
    Select(1);
    model.OnDetails();
    EXPECT_EQ(view.sentTo.back().first, 0x0A4EFFFFu);
    EXPECT_EQ(PacketHeader::Decode(view.sentTo.back().second.data()).command, CMD_GET_STATUS);
    Select(0);
    model.OnDetails();
    EXPECT_EQ(view.sentTo.size(), 4u);
    EXPECT_EQ(view.sent.size(), 3u);

    model.OnTimer(app::kDiscoveryTimer.id);
    EXPECT_FALSE(model.report().running());
    EXPECT_EQ(view.noServers, 0);
}

// A server that answers a discovery in the middle of an exchange (a directed
// broadcast that followed late, another computer's discovery) numbers what it
// sends of its own accord from that answer, while its answers to requests
// keep their numbers: a rediscovery numbered either way is taken during the
// login, so the list is rebuilt and its OK says so.
TEST_F(ModelTest, ADiscoveryAnswerDuringAFlowKeepsItsServerInTurn) {
    const Server other = {{0, 1, 2, 3, 4, 0xE}, kA.ip, "OTHER"};
    const struct {
        const char* what;
        bool windowOpen;
        const Server* answers;  // the discovery answer during the login
        uint16_t seq;           // of the rediscovery that follows it
        bool rebuilt;
    } cases[] = {
        {"numbered after the answer", true, &kA, 2, true},
        {"numbered after the exchange", true, &kA, 4, true},
        {"after the window", false, &kA, 2, true},
        {"no answer", true, nullptr, 2, false},
        {"another server at its address", true, &other, 2, false},
        {"out of turn", true, &kA, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeWindow fw;
        FakeView& v = fw.view;
        MainModel& m = fw.model;
        m.Initialize();
        m.OnServerReply(
            Block(kA.ip, From(kA, CMD_DISCOVER, 1), Cat({Text(TAG_SERVER_NAME, kA.name)})));
        ASSERT_EQ(m.servers().At(0)->seq, 3);
        if (!c.windowOpen)
            m.OnTimer(app::kDiscoveryTimer.id);
        m.OnListClick(0, 0);
        fw.config.duringLogin = [&] {
            if (c.answers != nullptr)
                m.OnServerReply(Block(kA.ip, From(*c.answers, CMD_DISCOVER, 1),
                                      Cat({Text(TAG_SERVER_NAME, c.answers->name)})));
            m.OnServerReply(Block(kA.ip, From(kA, CMD_REDISCOVER, c.seq), {}));
        };
        m.OnConfigure();
        const PacketHeader last = PacketHeader::Decode(v.sent.back().data());
        if (c.rebuilt) {
            EXPECT_EQ(fw.config.messages, std::vector<int>({IDS_SERVER_DISCONNECTED}));
            EXPECT_EQ(last.command, CMD_DISCOVER);
        } else {
            EXPECT_TRUE(fw.config.messages.empty());
            EXPECT_EQ(last.command, CMD_LOGIN);
            EXPECT_EQ(last.seq, 4);
        }
    }
}

// Find by address: the reply of the server asked is taken after the window
// has closed (others are not), it is listed once, later discoveries ask it
// again, and silence is reported once the wait is over.
TEST_F(ModelTest, FindByAddressListsTheServerAskedAndReportsSilence) {
    model.Initialize();
    Discover(kA);
    model.OnTimer(app::kDiscoveryTimer.id);
    const Server far = {{0, 1, 2, 3, 4, 0xF}, 0x0A4F0105, "FAR"};
    const Server other = {{0, 1, 2, 3, 4, 0xE}, 0x0A4F0106, "OTHER"};
    using R = MainModel::FindResult;

    EXPECT_EQ(model.FindByAddress(kA.ip), R::AlreadyListed);
    EXPECT_TRUE(view.sentTo.empty());
    EXPECT_EQ(model.FindByAddress(far.ip), R::Sent);
    ASSERT_EQ(view.sentTo.size(), 1u);
    EXPECT_EQ(view.sentTo[0].first, far.ip);
    const PacketHeader asked = PacketHeader::Decode(view.sentTo[0].second.data());
    EXPECT_EQ(asked.command, CMD_DISCOVER);
    EXPECT_EQ(asked.seq, 0);
    EXPECT_EQ(view.sentTo[0].second.size(), kHeaderSize);
    EXPECT_NE(std::find(view.timers.begin(), view.timers.end(), app::kFindTimer.id),
              view.timers.end());

    Select(0);        // a selected server does not stop the new one from being listed
    Discover(other);  // not asked, after the window: ignored
    Discover(far);
    Discover(far);
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[1][0], "FAR");
    EXPECT_EQ(view.rows[1][1], "10.79.1.5");
    EXPECT_EQ(view.sentTo.back().first, far.ip);  // where the broadcast does not go
    EXPECT_EQ(PacketHeader::Decode(view.sentTo.back().second.data()).command, CMD_GET_STATUS);
    EXPECT_EQ(std::count(view.timers.begin(), view.timers.end(), app::kFindTimer.id), 0);
    Discover(far);  // answered already: no longer awaited
    model.OnTimer(app::kFindTimer.id);
    EXPECT_TRUE(view.noAnswer.empty());
    EXPECT_EQ(model.report().probes().back().replies, 1);

    // Asked again by the next discovery, with the broadcast.
    model.StartDiscovery();
    EXPECT_EQ(view.sentTo.back().first, far.ip);
    model.OnTimer(app::kDiscoveryTimer.id);

    // A silent address: reported when the wait ends, and in the hints.
    view.sendErrors[other.ip + 1] = 10065;
    EXPECT_EQ(model.FindByAddress(other.ip + 1), R::SendFailed);
    EXPECT_EQ(model.FindByAddress(other.ip), R::Sent);
    model.OnTimer(app::kFindTimer.id);
    EXPECT_EQ(view.noAnswer, std::vector<std::string>({"10.79.1.6"}));
    Discover(other);  // too late
    EXPECT_TRUE(view.rows.empty());
    std::vector<int> hints;
    for (const auto& h : model.report().Hints())
        hints.push_back(h.id);
    EXPECT_EQ(std::count(hints.begin(), hints.end(), DiscoveryReport::kHintTypedSilent), 2);
    EXPECT_EQ(std::count(hints.begin(), hints.end(), DiscoveryReport::kHintSendFailed), 1);

    // The remembered addresses are bounded, the newest kept.
    for (uint32_t i = 0; i < 20; ++i)
        model.FindByAddress(0x0A500001 + i);
    EXPECT_EQ(model.typedAddresses().size(), app::kMaxTypedAddresses);
    EXPECT_EQ(model.typedAddresses().back(), 0x0A500001u + 19);
}
