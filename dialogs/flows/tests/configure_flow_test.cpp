// The login and the basic configuration as the dispatcher drives them: the
// login's answer, the configuration read, the dialog's decision, the write
// and its time limit, replies nobody waits for, and a server that left the
// list while a dialog was open.
#include <gtest/gtest.h>

#include <cstring>

#include "app/main_model.h"
#include "app/tests/fake_view.h"
#include "resources/brellmark/resource.h"

using namespace proto;

namespace {

class ConfigureFlowTest : public DispatchTest {};

// The basic configuration dialog: opens on what the server sent, `edit`
// changes the boxes, then OK.
template <class Edit>
auto OkAfter(Edit edit) {
    return [edit](const rules::BasicConfigFields& f, rules::BasicConfigRules& r) {
        r.Open(f);
        auto changed = r.fields();
        edit(changed);
        return r.Validate(changed).ok;
    };
}

// ALPHA's configuration in DHCP mode: name, date and time.
const std::vector<uint8_t> kAlphaDhcp = Cat({Text(TAG_SERVER_NAME, "ALPHA"),
                                             Text(TAG_DATE, "03152005"),
                                             Text(TAG_TIME, "120000"),
                                             {TAG_IP_MODE, 1, 1}});

}  // namespace

TEST_F(ConfigureFlowTest, ConfigureFlow) {
    model.Initialize();
    Discover(kAlpha);
    Select(0);
    configure.loginOk = false;
    const size_t before = view.sent.size();
    model.OnConfigure();
    EXPECT_EQ(view.sent.size(), before);  // Cancel sends nothing
    EXPECT_EQ(model.FindSelected()->flow, app::FLOW_NONE);

    configure.loginOk = true;
    model.OnConfigure();
    EXPECT_EQ(model.FindSelected()->flow, app::FLOW_CONFIGURE);
    PacketHeader login = LastSent();
    ASSERT_EQ(login.command, CMD_LOGIN);
    EXPECT_EQ(login.seq, 4);
    EXPECT_EQ(view.sent.back().size(), 16u + 18 + 18);

    // Refused.
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 5, -1), {}));
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_LOGIN_REFUSED}));

    // Accepted: the configuration is read, then the dialog decides.
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 7), {}));
    EXPECT_EQ(LastSent().command, CMD_GET_CONFIG);
    EXPECT_EQ(LastSent().seq, 8);
    const auto config = Cat({Text(TAG_SERVER_NAME, "ALPHA"),
                             Text(TAG_DATE, "03152005"),
                             Text(TAG_TIME, "120000"),
                             {TAG_IP_MODE, 1, 0},
                             {TAG_IP, 4, 10, 77, 0, 10},
                             {TAG_NETMASK, 4, 255, 255, 0, 0}});
    // OK without changes: logout only.
    configure.basicConfig = OkAfter([](rules::BasicConfigFields&) {});
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 9), config));
    EXPECT_EQ(LastSent().command, CMD_LOGOUT);
    EXPECT_EQ(view.sent.back().size(), 16u);
    EXPECT_TRUE(configure.questions.empty());

    // A new name, No to the restart question: written without restart.
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 12), {}));
    configure.basicConfig =
        OkAfter([](rules::BasicConfigFields& changed) { changed.serverName = "NEWNAME"; });
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 14), config));
    EXPECT_EQ(configure.questions, std::vector<int>({IDS_RESTART_QUESTION}));
    const auto& d = view.sent.back();
    EXPECT_EQ(PacketHeader::Decode(d.data()).command, CMD_SET_CONFIG);
    EXPECT_EQ(d[16], TAG_SERVER_NAME);
    EXPECT_EQ(d[17], 16);
    EXPECT_EQ(d[16 + 18], TAG_IP_MODE);  // no date and time
    EXPECT_EQ(d.back(), 0);              // TAG_RESTART 0
    EXPECT_EQ(d[d.size() - 3], TAG_RESTART);
    EXPECT_EQ(model.configReplied(), 0);
    EXPECT_NE(std::find(view.timers.begin(), view.timers.end(), dialogs::kConfigReplyTimer.id),
              view.timers.end());

    // Status 2 shows its message and stops the timer; the timer then stays quiet.
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_SET_CONFIG, 16, 2), {}));
    EXPECT_EQ(configure.messages.back(), IDS_WRITE_CONFIG_ERROR);
    EXPECT_EQ(model.configReplied(), 1);
    model.OnTimer(dialogs::kConfigReplyTimer.id);
    EXPECT_EQ(configure.messages.back(), IDS_WRITE_CONFIG_ERROR);
}

TEST_F(ConfigureFlowTest, ConfigWriteWithoutReplyTimesOut) {
    model.Initialize();
    Discover(kAlpha);
    Select(0);
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 5), {}));
    configure.basicConfig = OkAfter([](rules::BasicConfigFields& changed) {
        changed.year = "2030";  // a date change alone asks nothing
    });
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 7), kAlphaDhcp));
    EXPECT_TRUE(configure.questions.empty());
    const auto& d = view.sent.back();
    EXPECT_EQ(d[16 + 18], TAG_DATE);
    EXPECT_EQ(std::string(d.begin() + 36, d.begin() + 44), "03152030");
    const uint16_t seq = LastSent().seq;
    model.OnTimer(dialogs::kConfigReplyTimer.id);
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_SERVER_DISCONNECTED}));
    // The answer after the time limit, and its repeat, tell nothing more.
    for (uint16_t n : {1, 2})
        model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_SET_CONFIG, seq + n, 2), {}));
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_SERVER_DISCONNECTED}));
}

TEST_F(ConfigureFlowTest, ConfigRepliesOutsideTheConfigureFlowAreIgnored) {
    model.Initialize();
    Discover(kAlpha);
    Select(0);
    int opened = 0;
    configure.basicConfig = [&](const rules::BasicConfigFields&, rules::BasicConfigRules&) {
        ++opened;
        return false;
    };
    // No login sent: its reply asks for nothing, and a configuration reply opens nothing.
    const size_t before = view.sent.size();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 4), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 5), {}));
    EXPECT_EQ(view.sent.size(), before);
    EXPECT_EQ(opened, 0);
    // Details: the status reply opens the details view instead of filling the list.
    model.OnDetails();
    EXPECT_EQ(model.listMode(), 0);
    model.OnServerReply(
        Block(kAlpha.ip, From(kAlpha, CMD_GET_STATUS, 7), Text(TAG_SERVER_NAME, "ALPHA")));
    EXPECT_EQ(details.shown, 1);
    // A router-type server (TAG_ROUTER 2) does not open the storage dialog;
    // TAG_ROUTER 1 does.
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 9), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 11), {TAG_ROUTER, 1, 2}));
    EXPECT_EQ(opened, 0);
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 13), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 15), {TAG_ROUTER, 1, 1}));
    EXPECT_EQ(opened, 1);
}

// A login is answered once: a repeated reply does nothing more, and the real
// flow still shows its messages.
TEST_F(ConfigureFlowTest, RepeatedLoginReplyActsOnce) {
    model.Initialize();
    Discover(kAlpha);
    Select(0);
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 5, 1), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 6, 1), {}));
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_LOGIN_REFUSED}));
    // A write reply from another server with the same number is not the answer.
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 8), {}));
    configure.basicConfig =
        OkAfter([](rules::BasicConfigFields& changed) { changed.year = "2031"; });
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 10), kAlphaDhcp));
    ASSERT_EQ(LastSent().command, CMD_SET_CONFIG);
    model.OnListClick(-1, -1);  // nothing selected: every reply passes acceptance
    model.OnServerReply(Block(kBravo.ip, From(kBravo, CMD_SET_CONFIG, 12, 2), {}));
    EXPECT_EQ(model.configReplied(), 0);
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_SET_CONFIG, 12, 1), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_SET_CONFIG, 13, 2), {}));
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_LOGIN_REFUSED, IDS_SETUP_BUSY}));
}

// The list is rebuilt while a dialog is open: OK sends nothing, not even to
// every server at once, and the user is told.
TEST_F(ConfigureFlowTest, AFlowWhoseServerVanishedSendsNothing) {
    model.Initialize();
    Discover(kAlpha);
    Select(0);
    model.OnConfigure();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 5), {}));
    configure.basicConfig = [&](const rules::BasicConfigFields& f, rules::BasicConfigRules& r) {
        // While the dialog is open, the server asks for a new discovery.
        model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_REDISCOVER, 8), {}));
        Discover(kAlpha);  // it answers again, but as a new record
        r.Open(f);
        auto changed = r.fields();
        changed.serverName = "RENAMED";
        return r.Validate(changed).ok;
    };
    configure.answerYes = true;
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 7), kAlphaDhcp));
    EXPECT_NE(LastSent().command, CMD_SET_CONFIG);
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_SERVER_DISCONNECTED}));
    EXPECT_EQ(model.configReplied(), 1);
    // The same while the login dialog is open; and no request but a
    // discovery ever leaves without a server addressed.
    Select(0);
    configure.messages.clear();
    configure.duringLogin = [&] {
        model.StartDiscovery();
        Discover(kAlpha);
    };
    const size_t before = view.sent.size();
    model.OnConfigure();
    EXPECT_EQ(view.sent.size(), before + 2);  // the discovery and the status request
    EXPECT_EQ(configure.messages, std::vector<int>({IDS_SERVER_DISCONNECTED}));
    CommandBuffer get;
    EXPECT_FALSE(model.SendCommand(get, CMD_GET_CONFIG));
    EXPECT_FALSE(model.SendCommandTo(nullptr, get, CMD_LOGIN));
    for (const auto& d : view.sent) {
        const PacketHeader h = PacketHeader::Decode(d.data());
        const bool addressed = h.origin[0] == 'C' && h.origin[1] == 'l';
        EXPECT_TRUE(h.command == CMD_DISCOVER || addressed) << h.command;
    }
}
