// The not-configured prompt as the dispatcher drives it: which status reply
// opens it, what its box stores, and how its answer logs in to the very
// server it named, among servers that share their factory name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_model.h"
#include "app/tests/fake_view.h"
#include "resources/brellmark/resource.h"

using namespace proto;

namespace {

struct Server {
    uint32_t ip;
    uint8_t mac[6];
};
// Two new servers under one factory name, and a configured one.
const Server kA{0x0A4D0001, {0, 0x11, 0x32, 0xaa, 0, 1}};
const Server kB{0x0A4D0002, {0, 0x11, 0x32, 0xaa, 0, 2}};
const Server kC{0x0A4D0003, {0, 0x11, 0x32, 0xaa, 0, 3}};

ReplyBlock Reply(const Server& s, uint16_t command, uint16_t seq, std::vector<uint8_t> items = {}) {
    return ServerReply(s.ip, s.mac, command, seq, items);
}

std::vector<uint8_t> Named(const std::string& name, std::vector<uint8_t> more = {}) {
    std::vector<uint8_t> items = {1, static_cast<uint8_t>(name.size())};
    items.insert(items.end(), name.begin(), name.end());
    items.insert(items.end(), more.begin(), more.end());
    return items;
}

std::vector<uint8_t> Status(const std::string& name, uint8_t configured) {
    return Named(name, {32, 4, configured, 0, 0, 0});
}

class SetupPromptDispatchTest : public ::testing::Test {
protected:
    FakeView view;
    app::MainModel model{view};

    // Discovery of the three servers and their status replies (numbered 3).
    void Discover() {
        model.StartDiscovery();
        for (const Server* s : {&kA, &kB, &kC})
            model.OnServerReply(Reply(*s, CMD_DISCOVER, 0, Named(s == &kC ? "DONE" : "NAS")));
    }
    void Statuses(const std::vector<const Server*>& order) {
        for (const Server* s : order)
            model.OnServerReply(
                Reply(*s, CMD_GET_STATUS, 3, Status(s == &kC ? "DONE" : "NAS", s == &kC ? 1 : 0)));
    }
    const std::vector<uint8_t>& Last() { return view.sent.back(); }
    static uint16_t CommandOf(const std::vector<uint8_t>& d) {
        return PacketHeader::Decode(d.data()).command;
    }
    static bool To(const std::vector<uint8_t>& d, const Server& s) {
        return std::memcmp(d.data(), s.mac, 6) == 0;
    }
};

}  // namespace

TEST_F(SetupPromptDispatchTest, PromptAnsweredOkLogsInToTheServerItNamedAndStartsTheWizard) {
    model.Initialize();
    Discover();
    Statuses({&kC, &kB, &kA});
    // Only the first unconfigured server is offered, by its name and address.
    ASSERT_EQ(view.prompts, (std::vector<std::string>{"NAS (10.77.0.2)"}));
    EXPECT_EQ(view.rows[1][app::COL_STATE], "Not yet configured.");
    // The box: stored at once, both ways.
    model.OnSetupDontAsk(true);
    model.OnSetupDontAsk(false);
    model.OnSetupDontAsk(true);
    EXPECT_EQ(view.saved, (std::vector<uint32_t>{0, 1, 0}));

    // OK: the login goes to the second "NAS", which is now the selected row.
    const size_t before = view.sent.size();
    model.OnSetupAnswer(false);
    EXPECT_FALSE(model.setupPrompt().open());
    ASSERT_EQ(view.sent.size(), before + 1);
    EXPECT_EQ(CommandOf(Last()), CMD_LOGIN);
    EXPECT_TRUE(To(Last(), kB));
    EXPECT_EQ(view.selectedRow, 1);
    EXPECT_EQ(model.servers().At(1)->flow, app::FLOW_WIZARD);
    EXPECT_EQ(model.servers().At(1)->selected, 1);
    // A repeated answer does nothing.
    model.OnSetupAnswer(false);
    EXPECT_EQ(view.logins, 1);

    // Login accepted, configuration read, the wizard for that server; it
    // hands the share selection the new name and the server's address.
    model.OnServerReply(Reply(kB, CMD_LOGIN, 5));
    ASSERT_EQ(CommandOf(Last()), CMD_GET_CONFIG);
    std::string finishName, finishAddress;
    view.wizard = [&](wiz::WizardFlow& flow) {
        flow.settings().m_serverName = "NAS-RENAMED-TO-A-LONG-NAME-OVER-30";
        const auto target = flow.FinishTarget();
        finishName = target.name;
        finishAddress = target.address;
        EXPECT_STREQ(model.servers().At(1)->name, "NAS-RENAMED-TO-A-LONG-NAME-OV");
        // A server's call for a new discovery refills the list under the
        // wizard: no prompt over it, even while asking.
        model.OnSetupDontAsk(false);
        Discover();
        Statuses({&kA});
        EXPECT_EQ(view.prompts.size(), 1u);
        model.OnSetupDontAsk(true);
        return true;
    };
    model.OnServerReply(Reply(kB, CMD_GET_CONFIG, 7, Named("NAS")));
    EXPECT_EQ(finishName, "NAS-RENAMED-TO-A-LONG-NAME-OVER-30");
    EXPECT_EQ(finishAddress, "10.77.0.2");

    // Ticked: the new discovery offers nothing more in this run.
    Discover();
    Statuses({&kA, &kB});
    EXPECT_EQ(view.prompts.size(), 1u);
}

TEST_F(SetupPromptDispatchTest, CancelStoredChoiceAndAVanishedServerSendNothing) {
    // A stored "don't ask" silences even the first prompt of the run.
    view.stored = 0;
    model.Initialize();
    Discover();
    Statuses({&kA});
    EXPECT_TRUE(view.prompts.empty());

    // Asking again: Cancel sends nothing and the next reply offers again.
    view.stored = 1;
    model.Initialize();
    Discover();
    Statuses({&kA});
    ASSERT_EQ(view.prompts.size(), 1u);
    size_t sent = view.sent.size();
    model.OnSetupAnswer(true);
    EXPECT_EQ(view.logins, 0);
    EXPECT_EQ(view.sent.size(), sent);
    Statuses({&kB});
    ASSERT_EQ(view.prompts.size(), 2u);
    EXPECT_EQ(view.prompts[1], "NAS (10.77.0.2)");

    // OK, then the login is cancelled: nothing.
    view.loginOk = false;
    model.OnSetupAnswer(false);
    EXPECT_EQ(view.sent.size(), sent);

    // The list is rebuilt while the login is open and the server does not
    // come back: a message, nothing sent.
    Statuses({&kA});
    ASSERT_EQ(view.prompts.size(), 3u);
    view.loginOk = true;
    view.duringLogin = [&] { model.StartDiscovery(); };
    model.OnSetupAnswer(false);
    EXPECT_EQ(CommandOf(Last()), CMD_DISCOVER);
    EXPECT_EQ(view.messages.back(), IDS_SERVER_DISCONNECTED);

    // Rebuilt and found again: the login goes to its new record.
    Statuses({&kA});  // no row yet: nothing offered
    EXPECT_EQ(view.prompts.size(), 3u);
    view.duringLogin = nullptr;
    Discover();
    Statuses({&kA});
    ASSERT_EQ(view.prompts.size(), 4u);
    view.duringLogin = [&] {
        Discover();
        Statuses({&kC});
    };
    model.OnSetupAnswer(false);
    EXPECT_EQ(CommandOf(Last()), CMD_LOGIN);
    EXPECT_TRUE(To(Last(), kA));

    // A wizard started from the list takes an open prompt away without an
    // answer.
    view.duringLogin = nullptr;
    Discover();
    Statuses({&kB});
    ASSERT_TRUE(model.setupPrompt().open());
    model.OnListClick(0, 0);
    model.OnRunWizard();
    model.OnServerReply(Reply(kA, CMD_LOGIN, 5));
    model.OnServerReply(Reply(kA, CMD_GET_CONFIG, 7, Named("NAS")));
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(model.setupPrompt().open());
    const int logins = view.logins;
    model.OnSetupAnswer(false);
    EXPECT_EQ(view.logins, logins);
}

TEST_F(SetupPromptDispatchTest, NoPromptOverAnotherFlowsDialog) {
    // While a flow's dialog is open no server is offered: the prompt would
    // take the keyboard from the dialog, and Return meant for the dialog
    // would open a second login over it. A prompt open before goes away as
    // the dialog opens; back at the list the next status reply offers again.
    using Inside = std::function<void()>;
    const struct {
        const char* dialog;
        std::function<void(const Inside&)> open;
    } cases[] = {
        {"the login of Configure",
         [&](const Inside& inside) {
             view.duringLogin = inside;
             model.OnListClick(2, 2);
             model.OnConfigure();
         }},
        {"the prompt's own login",
         [&](const Inside& inside) {
             view.duringLogin = inside;
             model.OnSetupAnswer(false);
         }},
        {"the basic configuration",
         [&](const Inside& inside) {
             view.basicConfig = [&](const rules::BasicConfigFields&, rules::BasicConfigRules&) {
                 inside();
                 return false;
             };
             model.OnListClick(2, 2);
             model.OnConfigure();
             model.OnServerReply(Reply(kC, CMD_LOGIN, 5));
             model.OnServerReply(Reply(kC, CMD_GET_CONFIG, 7, Named("DONE")));
         }},
        {"the list's own question",
         [&](const Inside& inside) {
             view.duringQuestion = inside;
             model.OnListClick(0, 0);
         }},
        {"the import's windows",
         [&](const Inside& inside) {
             model.OnListClick(2, 2);
             model.OnImportUsers();
             model.OnServerReply(Reply(kC, CMD_LOGIN, 5));
             model.OnServerReply(Reply(kC, CMD_GET_CONFIG, 7, Named("DONE")));
             inside();
             model.OnImportDone(-1);
         }},
        {"a dialog of the main window",
         [&](const Inside& inside) {
             app::MainModel::FlowDialog about(model);
             inside();
         }},
    };
    model.Initialize();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialog);
        Discover();
        Statuses({&kA, &kB});
        ASSERT_TRUE(model.setupPrompt().open());
        const size_t offered = view.prompts.size();
        const int logins = view.logins;
        bool reached = false;
        c.open([&] {
            if (reached)
                return;  // a second login, over the first
            reached = true;
            EXPECT_FALSE(model.setupPrompt().open());  // taken away, or answered
            Discover();
            Statuses({&kA, &kB});
            EXPECT_EQ(view.prompts.size(), offered);
            if (model.setupPrompt().open())
                model.OnSetupAnswer(false);  // Return, meant for the dialog
        });
        EXPECT_TRUE(reached);
        EXPECT_LE(view.logins - logins, 1);  // never a login over the dialog
        view.duringLogin = view.duringQuestion = nullptr;
        view.basicConfig = nullptr;
        Discover();
        Statuses({&kA});
        EXPECT_EQ(view.prompts.size(), offered + 1);
        model.OnSetupAnswer(true);
    }
}
