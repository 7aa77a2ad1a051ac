#include "dialogs/rules/find_address.h"

#include <gtest/gtest.h>

#include "resources/brellmark/resource.h"

namespace {

using proto::LocalInterface;

TEST(FindAddress, TakesAddressesAndNamesAndRefusesTheRestWithItsReason) {
    const std::vector<LocalInterface> mine = {
        {0x0A4D0002, 0xFFFF0000, proto::kIfUp | proto::kIfBroadcast}};  // 10.77.0.2/16
    std::vector<std::string> looked;
    auto resolve = [&](const std::string& name) -> uint32_t {
        looked.push_back(name);
        if (name == "farnas.lan")
            return 0x0A4F0105;  // 10.79.1.5
        if (name == "me")
            return 0x0A4D0002;
        return 0;
    };
    const struct {
        const char* text;
        uint32_t address;
        int message;
        const char* argument;
    } cases[] = {
        {"10.79.1.5", 0x0A4F0105, 0, ""},
        {"  10.79.1.5\t", 0x0A4F0105, 0, ""},
        {"farnas.lan", 0x0A4F0105, 0, ""},
        {"", 0, IDS_FIND_EMPTY, ""},
        {"   ", 0, IDS_FIND_EMPTY, ""},
        {"10.79.1.300", 0, IDS_FIND_UNSPECIFIED, "10.79.1.300"},
        {"10.79.1", 0, IDS_FIND_UNSPECIFIED, "10.79.1"},
        {"0.0.0.0", 0, IDS_FIND_UNSPECIFIED, "0.0.0.0"},
        {"nowhere", 0, IDS_FIND_UNRESOLVED, "nowhere"},
        {"bad name", 0, IDS_FIND_UNRESOLVED, "bad name"},  // never looked up
        {"127.0.0.1", 0, IDS_FIND_LOOPBACK, "127.0.0.1"},
        {"239.1.2.3", 0, IDS_FIND_MULTICAST, "239.1.2.3"},
        {"240.0.0.1", 0, IDS_FIND_MULTICAST, "240.0.0.1"},
        {"255.255.255.255", 0, IDS_FIND_BROADCAST, "255.255.255.255"},
        {"10.77.255.255", 0, IDS_FIND_BROADCAST, "10.77.255.255"},
        {"10.77.0.2", 0, IDS_FIND_OWN_ADDRESS, "10.77.0.2"},
        {"me", 0, IDS_FIND_OWN_ADDRESS, "10.77.0.2"},
    };
    for (const auto& c : cases) {
        const auto r = rules::CheckFindAddress(c.text, mine, resolve);
        EXPECT_EQ(r.address, c.address) << c.text;
        EXPECT_EQ(r.messageId, c.message) << c.text;
        EXPECT_EQ(r.argument, c.argument) << c.text;
    }
    EXPECT_EQ(looked, (std::vector<std::string>{"farnas.lan", "nowhere", "me"}));
    // A name too long for a host name is not looked up.
    looked.clear();
    EXPECT_EQ(rules::CheckFindAddress(std::string(300, 'a'), mine, resolve).messageId,
              IDS_FIND_UNRESOLVED);
    EXPECT_TRUE(looked.empty());
}

}  // namespace
