// The dispatcher's side of the wizard: the configuration reply of a wizard
// login opens it, its replies reach it only while it runs, and a wizard whose
// server has left the list sends nothing until the server is listed again.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "app/main_model.h"
#include "app/tests/fake_view.h"
#include "resources/brellmark/resource.h"

using namespace proto;

namespace {

class NullApplyView : public wiz::ApplyView {
public:
    void Send(uint16_t command, const CommandBuffer& items) override {
        CommandBuffer copy = items;
        sendResults.push_back(flow->Send(command, copy));
    }
    void StartTimer(int, unsigned) override {}
    void StopTimer(int) override {}
    void SetBar(int) override {}
    void PlayRow(int) override {}
    void CloseRow(int) override {}
    void CheckRow(int) override {}
    void ShowComplete() override {}
    void Pause(unsigned) override {}
    bool AskRetry() override { return retry; }
    void ShowFailure() override {}
    wiz::WizardFlow* flow = nullptr;
    std::vector<bool> sendResults;
    bool retry = false;
};

const uint8_t kMac[6] = {0, 0x11, 0x32, 0xee, 0, 1};
const uint8_t kTwinMac[6] = {0, 0x11, 0x32, 0xee, 0, 2};
const std::vector<uint8_t> kListed = {1, 3, 'N', 'A', 'S', 9, 2, 'W', 'G'};
constexpr uint32_t kIp = 0x0A4D0501;

ReplyBlock Reply(uint16_t command, uint16_t seq, std::vector<uint8_t> items = {},
                 const uint8_t* mac = kMac) {
    return ServerReply(kIp, mac, command, seq, items);
}

uint16_t CommandOf(const std::vector<uint8_t>& d) {
    return PacketHeader::Decode(d.data()).command;
}

class WizardDispatchTest : public DispatchTest {
protected:
    // Discovery, selection and the wizard's login up to the configuration
    // request (numbered 6; its reply carries 7).
    void LogIn() {
        model.Initialize();
        model.OnServerReply(Reply(CMD_DISCOVER, 0, kListed));
        model.OnListClick(0, 0);
        model.OnRunWizard();
        model.OnServerReply(Reply(CMD_LOGIN, 5));
        ASSERT_EQ(CommandOf(view.sent.back()), CMD_GET_CONFIG);
    }
};

}  // namespace

TEST_F(WizardDispatchTest, ConfigurationReplyRunsTheWizardThatGetsItsReplies) {
    LogIn();
    NullApplyView apply;
    wizard.wizard = [&](wiz::WizardFlow& flow) -> bool {
        EXPECT_EQ(flow.settings().m_serverName, "NAS");
        apply.flow = &flow;
        flow.AttachProgress(apply);
        EXPECT_EQ(CommandOf(view.sent.back()), CMD_SET_NAME);
        EXPECT_EQ(PacketHeader::Decode(view.sent.back().data()).seq, 8);
        // A repeated configuration reply opens no second wizard.
        model.OnServerReply(Reply(CMD_GET_CONFIG, 7, {1, 3, 'N', 'A', 'S'}));
        EXPECT_EQ(wizard.wizards, 1);
        model.OnServerReply(Reply(CMD_SET_NAME, 9));
        EXPECT_EQ(flow.machine()->stage(), 1);
        EXPECT_EQ(CommandOf(view.sent.back()), CMD_SET_PASSWORD);
        EXPECT_EQ(model.servers().At(0)->flow, app::FLOW_WIZARD);
        // The list is rebuilt: nothing goes out until the server is listed
        // again, behind a server of the same name.
        model.StartDiscovery();
        size_t sent = view.sent.size();
        model.OnServerReply(Reply(CMD_SET_PASSWORD, 11));
        EXPECT_EQ(flow.machine()->stage(), 2);
        EXPECT_EQ(view.sent.size(), sent);
        EXPECT_FALSE(apply.sendResults.back());
        model.OnServerReply(ServerReply(kIp + 1, kTwinMac, CMD_DISCOVER, 0, kListed));
        model.OnServerReply(Reply(CMD_DISCOVER, 0, kListed));
        // Found again by its id: Retry sends it the request awaited, and its
        // answer moves the run on.
        sent = view.sent.size();
        apply.retry = true;
        flow.machine()->OnTimer(wiz::kNoReplyTimer.id);
        EXPECT_EQ(view.sent.size(), sent + 1);
        if (view.sent.size() != sent + 1)
            return true;
        PacketHeader h = PacketHeader::Decode(view.sent.back().data());
        EXPECT_EQ(h.command, CMD_SET_DATETIME);
        EXPECT_EQ(std::memcmp(h.serverId, kMac, 6), 0);
        EXPECT_EQ(model.servers().At(1)->flow, app::FLOW_WIZARD);
        model.OnServerReply(Reply(CMD_SET_DATETIME, static_cast<uint16_t>(h.seq + 1)));
        EXPECT_EQ(flow.machine()->stage(), 3);
        h = PacketHeader::Decode(view.sent.back().data());
        EXPECT_EQ(h.command, CMD_SET_ENCODING);
        EXPECT_EQ(std::memcmp(h.serverId, kMac, 6), 0);
        return true;
    };
    model.OnServerReply(Reply(CMD_GET_CONFIG, 7, {1, 3, 'N', 'A', 'S'}));
    EXPECT_EQ(wizard.wizards, 1);
    // Closed: discovery again; later wizard replies are ignored.
    EXPECT_EQ(CommandOf(view.sent.back()), CMD_DISCOVER);
    const size_t sent = view.sent.size();
    model.OnServerReply(Reply(CMD_SET_DATETIME, 13));
    model.OnServerReply(Reply(CMD_DONE, 0));
    EXPECT_EQ(view.sent.size(), sent);
}

TEST_F(WizardDispatchTest, ServerWithoutDiskGetsNoWizardAndNoNewDiscovery) {
    LogIn();
    const size_t sent = view.sent.size();
    model.OnServerReply(Reply(CMD_GET_CONFIG, 7, {37, 2, '-', '5'}));
    EXPECT_EQ(wizard.wizards, 1);
    EXPECT_EQ(view.sent.size(), sent);
    EXPECT_EQ(model.servers().At(0)->selected, 0);
}
