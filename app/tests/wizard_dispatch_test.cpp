// The dispatcher's side of the wizard: the configuration reply of a wizard
// login opens it, its replies reach it only while it runs, and a wizard whose
// server has left the list sends nothing.
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
    bool AskRetry() override { return false; }
    void ShowFailure() override {}
    wiz::WizardFlow* flow = nullptr;
    std::vector<bool> sendResults;
};

const uint8_t kMac[6] = {0, 0x11, 0x32, 0xee, 0, 1};
constexpr uint32_t kIp = 0x0A4D0501;

ReplyBlock Reply(uint16_t command, uint16_t seq, std::vector<uint8_t> items = {},
                 const uint8_t* mac = kMac) {
    return ServerReply(kIp, mac, command, seq, items);
}

uint16_t CommandOf(const std::vector<uint8_t>& d) {
    return PacketHeader::Decode(d.data()).command;
}

class WizardDispatchTest : public ::testing::Test {
protected:
    FakeView view;
    app::MainModel model{view};

    // Discovery, selection and the wizard's login up to the configuration
    // request (numbered 6; its reply carries 7).
    void LogIn() {
        model.Initialize();
        model.OnServerReply(Reply(CMD_DISCOVER, 0, {1, 3, 'N', 'A', 'S', 9, 2, 'W', 'G'}));
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
    view.wizard = [&](wiz::WizardFlow& flow) {
        EXPECT_EQ(flow.settings().m_serverName, "NAS");
        apply.flow = &flow;
        flow.AttachProgress(apply);
        EXPECT_EQ(CommandOf(view.sent.back()), CMD_SET_NAME);
        EXPECT_EQ(PacketHeader::Decode(view.sent.back().data()).seq, 8);
        // A repeated configuration reply opens no second wizard.
        model.OnServerReply(Reply(CMD_GET_CONFIG, 7, {1, 3, 'N', 'A', 'S'}));
        EXPECT_EQ(view.wizards, 1);
        model.OnServerReply(Reply(CMD_SET_NAME, 9));
        EXPECT_EQ(flow.machine()->stage(), 1);
        EXPECT_EQ(CommandOf(view.sent.back()), CMD_SET_PASSWORD);
        EXPECT_EQ(model.servers().At(0)->flow, app::FLOW_WIZARD);
        // The list is rebuilt: the server is gone, nothing more is sent.
        model.StartDiscovery();
        const size_t sent = view.sent.size();
        model.OnServerReply(Reply(CMD_SET_PASSWORD, 11));
        EXPECT_EQ(flow.machine()->stage(), 2);
        EXPECT_EQ(view.sent.size(), sent);
        EXPECT_FALSE(apply.sendResults.back());
        return true;
    };
    model.OnServerReply(Reply(CMD_GET_CONFIG, 7, {1, 3, 'N', 'A', 'S'}));
    EXPECT_EQ(view.wizards, 1);
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
    EXPECT_EQ(view.wizards, 1);
    EXPECT_EQ(view.sent.size(), sent);
    EXPECT_EQ(model.servers().At(0)->selected, 0);
}
