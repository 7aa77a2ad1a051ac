#include "app/server_list.h"

#include <gtest/gtest.h>

using app::HelpEnabledForVersion;
using app::SortOrder;

TEST(SortOrder, StableAscendingAndExactReverseDescending) {
    const std::vector<std::string> t = {"b", "A", "a", "C", "B"};
    EXPECT_EQ(SortOrder(t, true), std::vector<int>({1, 2, 0, 4, 3}));
    EXPECT_EQ(SortOrder(t, false), std::vector<int>({3, 4, 0, 2, 1}));
    EXPECT_TRUE(SortOrder({}, true).empty());
}

TEST(ServerList, MarkSelectedKeepsOneSelection) {
    app::ServerList list;
    for (int i = 0; i < 3; ++i)
        list.Append(proto::ServerInfo{}, "");
    list.MarkSelected(1);
    list.MarkSelected(2);
    int selected = 0;
    for (int i = 0; i < list.Count(); ++i)
        selected += list.At(i)->selected;
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(list.FindSelected(), list.At(2));
    list.MarkSelected(2);
    EXPECT_EQ(list.FindSelected(), list.At(2));
    list.MarkSelected(7);  // no such row: the old selection is cleared
    EXPECT_EQ(list.FindSelected(), nullptr);
}

TEST(HelpAfterImport, VersionRule) {
    struct Case {
        const char* version;
        bool enabled;
    } cases[] = {{"1.0", true},   {"4.2", true},   {"2.29", true},  {"2.3", false},
                 {"2.28", false}, {"3.13", true},  {"3.9", false},  {"w4.1.A", false},
                 {"", false},     {"5.99", false}, {"2.291A", true}};
    for (const auto& c : cases)
        EXPECT_EQ(HelpEnabledForVersion(c.version), c.enabled) << c.version;
}
