// The not-configured prompt as the dispatcher drives it: which status reply
// opens it, what its box stores, and how its answer logs in to the very
// server it named, among servers that share their factory name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_model.h"
#include "resources/brellmark/resource.h"

using namespace proto;

namespace {

class PromptView : public app::MainView {
public:
    std::vector<std::vector<uint8_t>> sent;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> prompts;  // "name (address)" of each prompt opened
    std::vector<uint32_t> saved;
    std::vector<int> messages;
    uint32_t stored = 1;
    int selectedRow = -1, closed = 0, logins = 0;
    bool loginOk = true;
    std::function<void()> duringLogin;

    int RowCount() override { return static_cast<int>(rows.size()); }
    void DeleteAllRows() override { rows.clear(); }
    void AppendRow(const std::string& n, const std::string& ip, const std::string& wg) override {
        rows.push_back({n, ip, wg, "", ""});
    }
    std::string RowText(int r, int c) override { return rows[size_t(r)][size_t(c)]; }
    void SetRowText(int r, int c, const std::string& t) override { rows[size_t(r)][size_t(c)] = t; }
    void ReorderRows(const std::vector<int>&) override {}
    void EnableServerButtons(bool) override {}
    void EnableHelp(bool) override {}
    void PlayBusy() override {}
    void StopBusy() override {}
    void StartTimer(int, unsigned) override {}
    void StopTimer(int) override {}
    void Send(const std::vector<uint8_t>& d) override { sent.push_back(d); }
    void ShowMessage(int id, int) override { messages.push_back(id); }
    bool AskYesNo(int, int) override { return false; }
    void ShowNoServers() override {}
    bool RunLogin(std::string* p, std::string* n) override {
        ++logins;
        if (duringLogin)
            duringLogin();
        *p = "pw";
        *n = "admin";
        return loginOk;
    }
    bool RunBasicConfig(const rules::BasicConfigFields&, rules::BasicConfigRules&) override {
        return false;
    }
    bool RunRouterConfig(const rules::RouterConfigFields&, rules::RouterConfigRules&) override {
        return false;
    }
    void ShowDetails(const uint8_t*, size_t) override {}
    void StartImport(app::ServerHandle) override {}
    void AddImportRow(const std::string&, const std::string&) override {}
    bool OpenSetupPrompt(const std::string& name, const std::string& address) override {
        prompts.push_back(name + " (" + address + ")");
        return true;
    }
    void CloseSetupPrompt() override { ++closed; }
    uint32_t LoadAskSetup() override { return stored; }
    void SaveAskSetup(uint32_t v) override { saved.push_back(v); }
    void SelectRow(int row) override { selectedRow = row; }
    std::function<bool(wiz::WizardFlow&)> wizard;
    bool RunWizard(wiz::WizardFlow& flow) override { return wizard ? wizard(flow) : true; }
};

struct Server {
    uint32_t ip;
    uint8_t mac[6];
};
// Two new servers under one factory name, and a configured one.
const Server kA{0x0A4D0001, {0, 0x11, 0x32, 0xaa, 0, 1}};
const Server kB{0x0A4D0002, {0, 0x11, 0x32, 0xaa, 0, 2}};
const Server kC{0x0A4D0003, {0, 0x11, 0x32, 0xaa, 0, 3}};

ReplyBlock Reply(const Server& s, uint16_t command, uint16_t seq, std::vector<uint8_t> items = {}) {
    PacketHeader h;
    std::memcpy(h.serverId, s.mac, 6);
    h.command = command;
    h.seq = seq;
    std::vector<uint8_t> d(16);
    h.Encode(d.data());
    d.insert(d.end(), items.begin(), items.end());
    ReplyBlock b{};
    FillReplyBlock(&b, s.ip, d.data(), d.size());
    return b;
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
    PromptView view;
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
    EXPECT_EQ(model.servers().At(1)->flow, FLOW_WIZARD);
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
