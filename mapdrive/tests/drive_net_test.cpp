#include <gtest/gtest.h>

#include "mapdrive/drive_net.h"
#include "mapdrive/tests/scripted_network.h"
#include "resources/brellmark/resource.h"

using namespace mapdrive;
using mapdrive::testing::ScriptedNetwork;

TEST(DriveNet, EveryMappedConnectErrorHasItsMessage) {
    const struct {
        int code;
        int text;
    } cases[] = {
        {5, IDS_CONNECT_ACCESS_DENIED},
        {53, IDS_CONNECT_NO_SERVER},
        {1219, IDS_CONNECT_CREDENTIAL_CONFLICT},
        {1231, IDS_CONNECT_UNREACHABLE},
        {1313, IDS_CONNECT_READ_ONLY},
        {1326, IDS_CONNECT_LOGON_FAILURE},
        {0, IDS_CONNECT_FAILED},
        {67, IDS_CONNECT_FAILED},
        {1222, IDS_CONNECT_FAILED},
        {-1, IDS_CONNECT_FAILED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConnectErrorTextId(c.code), c.text) << "code " << c.code;
}

TEST(DriveNet, ListSharesKeepsTheLastPathPartAndTreatsNoItemsAsEmpty) {
    ScriptedNetwork net;
    net.servers["nas"] = {{"public", "Media", "a b"}, true};
    net.servers["empty"] = {{}, true};
    ShareList list;
    list.count = 7;
    EXPECT_EQ(listShares(net, "NAS", &list), 0);
    EXPECT_EQ(list.text, "public\nMedia\na b\n");
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"public", "Media", "a b"}));
    EXPECT_EQ(net.calls.back(), "enum \\\\NAS");

    EXPECT_EQ(listShares(net, "empty", &list), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_TRUE(list.text.empty());

    net.enumerateError = kErrorAccessDenied;  // a failure leaves an empty list
    EXPECT_EQ(listShares(net, "NAS", &list), kErrorAccessDenied);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(listShares(net, "nowhere", &list), kErrorAccessDenied);
}

TEST(DriveNet, ConnectionTestsCancelsAndConnects) {
    ScriptedNetwork net;
    net.connections = {"\\\\SRV\\public", "\\\\srv2\\data"};
    const std::string pub = "PUBLIC", data = "data", other = "other";
    EXPECT_TRUE(isConnected(net, "srv", nullptr));
    EXPECT_TRUE(isConnected(net, "srv", &pub));
    EXPECT_FALSE(isConnected(net, "srv", &data));
    EXPECT_FALSE(isConnected(net, "sr", nullptr));  // a prefix of a name is not the server
    EXPECT_TRUE(isConnected(net, "srv2", nullptr));
    net.connections = {"\\\\srv2\\data", "\\\\srv\\publicity"};
    EXPECT_FALSE(isConnected(net, "srv", &pub));  // whole names only with a share
    net.connections = {"\\\\srv2\\data"};
    EXPECT_FALSE(isConnected(net, "srv", nullptr));

    // Cancelling every connection of a server, and one share by name.
    net.connections = {"\\\\srv\\a", "\\\\SRV\\b", "\\\\srv2\\c"};
    EXPECT_TRUE(cancelShare(net, "srv", nullptr));
    EXPECT_EQ(net.connections, std::vector<std::string>{"\\\\srv2\\c"});
    EXPECT_FALSE(cancelShare(net, "srv", nullptr));
    const std::string c = "c";
    EXPECT_TRUE(cancelShare(net, "\\\\srv2", &c));
    EXPECT_EQ(net.calls.back(), "cancel \\\\srv2\\c");
    EXPECT_FALSE(cancelShare(net, "srv2", &c));

    // An empty share connects to the server itself; access is probed anyway.
    net.servers["srv"] = {{"public"}, false, false, false, "bob", "pw"};
    int access = -1;
    EXPECT_EQ(connectShare(net, "srv", "", std::string("bob"), std::string("pw"), &access), 0);
    EXPECT_EQ(net.calls[net.calls.size() - 2], "add \\\\srv user=bob password=pw");
    EXPECT_EQ(access, ACCESS_WRITE);
    EXPECT_EQ(connectShare(net, "srv", "public", std::string("bob"), std::string("no"), &access),
              kErrorLogonFailure);
    EXPECT_EQ(net.calls.back(), "probe \\\\srv\\public");
    EXPECT_EQ(access, ACCESS_NONE);
    EXPECT_TRUE(ConnectSucceeded(0, ACCESS_NONE));
    EXPECT_TRUE(ConnectSucceeded(kErrorSessionCredentialConflict, ACCESS_WRITE));
    EXPECT_FALSE(ConnectSucceeded(kErrorSessionCredentialConflict, ACCESS_READ));
}

TEST(DriveNet, DrivesAndProbePaths) {
    EXPECT_EQ(DriveRoot(1), "a:");
    EXPECT_EQ(DriveRoot(3), "c:");
    EXPECT_EQ(DriveRoot(26), "z:");
    EXPECT_EQ(DriveRoot(0), "");
    EXPECT_EQ(DriveRoot(27), "");
    EXPECT_EQ(FreeDriveLetters(0x3ffffff), std::vector<char>{});
    EXPECT_EQ(FreeDriveLetters(~(1u << 25 | 1u << 3)), (std::vector<char>{'D', 'Z'}));
    EXPECT_EQ(FreeDriveLetters(0).size(), 24u);
    EXPECT_EQ(ProbeFilePath("\\\\s\\p"), "\\\\s\\p\\.replion_last_access");
    EXPECT_EQ(ProbeFilePath("\\\\s\\p\\"), "\\\\s\\p\\.replion_last_access");
    EXPECT_EQ(AccessFromProbe(true, false), ACCESS_WRITE);
    EXPECT_EQ(AccessFromProbe(false, true), ACCESS_READ);
    EXPECT_EQ(AccessFromProbe(false, false), ACCESS_NONE);
}
