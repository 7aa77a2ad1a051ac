#include <gtest/gtest.h>

#include <functional>

#include "mapdrive/select_share.h"
#include "mapdrive/tests/scripted_network.h"

using namespace mapdrive;
using mapdrive::testing::ScriptedNetwork;

namespace {

// The credentials prompt answers from a script of typed user names and
// passwords and connects as the real one does; nothing left means Cancel.
struct ScriptedView : SelectShareView {
    ScriptedNetwork& net;
    std::vector<std::pair<std::string, std::string>> typed;
    std::vector<ConnectRequest> prompts;
    std::vector<int> connectErrors;
    int dialogDrive = 0;
    std::vector<std::string> dialogs, opened;

    explicit ScriptedView(ScriptedNetwork& n) : net(n) {}
    bool RunConnect(ConnectRequest& request) override {
        prompts.push_back(request);
        while (!typed.empty()) {
            request.userName = typed.front().first;
            request.password = typed.front().second;
            typed.erase(typed.begin());
            int access = 0;
            const int result = connectShare(net, request.server, request.share, request.userName,
                                            request.password, &access);
            if (ConnectSucceeded(result, access))
                return true;
            connectErrors.push_back(result);
        }
        return false;
    }
    int ConnectionDialog(const std::string& remote, int* drive) override {
        dialogs.push_back(remote);
        *drive = dialogDrive;
        return 0;
    }
    void OpenDrive(const std::string& root) override { opened.push_back(root); }
};

struct Fixture : ::testing::Test {
    ScriptedNetwork net;
    ScriptedView view{net};
    int Count(const std::string& prefix) {
        int n = 0;
        for (const auto& c : net.calls)
            n += c.rfind(prefix, 0) == 0;
        return n;
    }
};

}  // namespace

TEST_F(Fixture, OpeningFallsBackStepByStep) {
    net.servers["open"] = {{"b", "A"}, true};
    net.servers["anon"] = {{"pub"}, false, true};
    net.servers["logon"] = {{"home"}, false, false, true};
    net.servers["auth"] = {{"secret", "team"}, false, false, false, "alice", "pw"};

    SelectShareFlow open(net, view, "10.0.0.1", "OPEN");
    EXPECT_TRUE(open.Open());
    EXPECT_EQ(open.shares(), (std::vector<std::string>{"b", "A"}));  // the list box sorts
    EXPECT_EQ(open.userName(), "netuser");  // no connection to \\10.0.0.1: the default user
    EXPECT_EQ(net.calls.front(), "user \\\\10.0.0.1");
    EXPECT_EQ(Count("add"), 0);

    // Anonymous "IPC$": listed, then cancelled; nothing left behind, no prompt.
    SelectShareFlow anon(net, view, "10.0.0.2", "ANON");
    EXPECT_TRUE(anon.Open());
    EXPECT_EQ(anon.shares(), std::vector<std::string>{"pub"});
    EXPECT_EQ(Count("add \\\\ANON\\IPC$ user= password="), 1);
    EXPECT_EQ(Count("cancel \\\\ANON\\IPC$"), 1);
    EXPECT_TRUE(net.connections.empty());

    // The logged-on user's credentials, kept as a connection to the server.
    SelectShareFlow logon(net, view, "10.0.0.3", "LOGON");
    EXPECT_TRUE(logon.Open());
    EXPECT_EQ(logon.shares(), std::vector<std::string>{"home"});
    EXPECT_EQ(net.connections, std::vector<std::string>{"\\\\LOGON\\IPC$"});
    EXPECT_TRUE(view.prompts.empty());

    // Asking the user: a wrong password, then the right one.
    view.typed = {{"alice", "bad"}, {"alice", "pw"}};
    SelectShareFlow auth(net, view, "10.0.0.4", "AUTH");
    EXPECT_TRUE(auth.Open());
    ASSERT_EQ(view.prompts.size(), 1u);
    EXPECT_EQ(view.prompts[0].server, "AUTH");
    EXPECT_EQ(view.prompts[0].share, "");
    EXPECT_EQ(view.prompts[0].userName, "netuser");
    EXPECT_EQ(view.connectErrors, std::vector<int>{kErrorLogonFailure});
    EXPECT_EQ(auth.userName(), "alice");
    EXPECT_EQ(auth.password(), "pw");
    EXPECT_EQ(auth.shares(), (std::vector<std::string>{"secret", "team"}));

    // Cancelling the opening prompt closes the dialog.
    net.connections.clear();
    SelectShareFlow cancelled(net, view, "10.0.0.4", "AUTH");
    EXPECT_FALSE(cancelled.Open());
    EXPECT_EQ(view.prompts.size(), 2u);
}

TEST_F(Fixture, AnExistingConnectionSkipsTheDefaultCredentials) {
    net.servers["auth"] = {{"s"}, false, false, true, "alice", "pw"};
    net.enumerateError = kErrorAccessDenied;  // never lists
    net.connections = {"\\\\auth\\other"};
    SelectShareFlow flow(net, view, "10.0.0.4", "AUTH");
    view.typed = {{"alice", "pw"}};
    EXPECT_TRUE(flow.Open());
    EXPECT_EQ(Count("add \\\\AUTH user=(none)"), 0);
    EXPECT_EQ(view.prompts.size(), 1u);
    EXPECT_TRUE(flow.shares().empty());  // the map button starts disabled
    EXPECT_EQ(flow.lastListResult(), kErrorAccessDenied);
}

TEST_F(Fixture, MapNetworkDrive) {
    net.servers["auth"] = {{"secret"}, true, false, false, "alice", "pw"};
    SelectShareFlow flow(net, view, "10.0.0.4", "AUTH");
    ASSERT_TRUE(flow.Open());
    EXPECT_EQ(flow.Map(nullptr), SelectShareFlow::MAP_NOTHING);

    // No connection yet: the prompt offers "administrator"; Cancel keeps the dialog.
    const std::string secret = "secret";
    EXPECT_EQ(flow.Map(&secret), SelectShareFlow::MAP_STAY_OPEN);
    ASSERT_EQ(view.prompts.size(), 1u);
    EXPECT_EQ(view.prompts[0].userName, "administrator");
    EXPECT_EQ(view.prompts[0].share, "secret");
    EXPECT_TRUE(view.dialogs.empty());

    view.typed = {{"alice", "pw"}};
    view.dialogDrive = 26;
    EXPECT_EQ(flow.Map(&secret), SelectShareFlow::MAP_CLOSE);
    EXPECT_EQ(view.dialogs, std::vector<std::string>{"\\\\AUTH\\secret"});
    EXPECT_EQ(view.opened, std::vector<std::string>{"z:"});

    // Connected now: straight to the connection dialog; no drive, nothing opened.
    view.dialogDrive = 0;
    EXPECT_EQ(flow.Map(&secret), SelectShareFlow::MAP_CLOSE);
    EXPECT_EQ(view.prompts.size(), 2u);
    EXPECT_EQ(view.opened.size(), 1u);
}

TEST_F(Fixture, AServerWithoutANameGoesByItsAddress) {
    net.servers["10.0.0.9"] = {{"pub"}, false, false, false, "bob", "pw"};
    SelectShareFlow flow(net, view, "10.0.0.9", "");
    view.typed = {{"bob", "pw"}};
    ASSERT_TRUE(flow.Open());
    EXPECT_EQ(flow.serverText(), "10.0.0.9");
    EXPECT_EQ(view.prompts[0].server, "10.0.0.9");
    EXPECT_EQ(Count("enum \\\\10.0.0.9"), 3);
    EXPECT_EQ(Count("add \\\\10.0.0.9\\IPC$"), 1);
    EXPECT_EQ(flow.shares(), std::vector<std::string>{"pub"});
    view.dialogDrive = 5;
    const std::string pub = "pub";
    EXPECT_EQ(flow.Map(&pub), SelectShareFlow::MAP_CLOSE);
    EXPECT_EQ(view.dialogs, std::vector<std::string>{"\\\\10.0.0.9\\pub"});
    EXPECT_EQ(view.opened, std::vector<std::string>{"e:"});
}
