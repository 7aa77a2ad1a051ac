// The folders of directory ids, the product name in texts and the
// wininit.ini line, as both programs use them.
#include <gtest/gtest.h>

#include "ui/rules/system_rules.h"

namespace {

TEST(SharedRules, FormatProduct) {
    EXPECT_EQ(shared::FormatProduct("Welcome to %s, %s.", "T"), "Welcome to T, T.");
    EXPECT_EQ(shared::FormatProduct("100%", "T"), "100%");
}

TEST(SharedRules, WindowsFolder) {
    const struct {
        const char *id, *want;  // want null: no folder of Windows
    } cases[] = {{"10", "C:\\W"},      {"12", "C:\\W\\System32\\Drivers"},
                 {"17", "C:\\W\\Inf"}, {"18", "C:\\W\\Help"},
                 {"11", nullptr},      {"%10%", nullptr},
                 {"", nullptr},        {"100", nullptr}};
    for (const auto& c : cases) {
        std::string folder = "unchanged";
        EXPECT_EQ(shared::WindowsFolder("C:\\W", c.id, &folder), c.want != nullptr) << c.id;
        EXPECT_EQ(folder, c.want != nullptr ? c.want : "unchanged") << c.id;
    }
}

TEST(SharedRules, AddRenameLine) {
    struct Case {
        const char *wininit, *target, *temporary, *want;
    } cases[] = {
        {"", "C:\\a.dll", "C:\\a.0", "[Rename]\r\nC:\\a.dll=C:\\a.0\r\n"},
        {"[x]\r\n[rename]\r\nb=c\r\n", "t", "u", "[x]\r\n[rename]\r\nt=u\r\nb=c\r\n"},
        {"[x]", "t", "u", "[x]\r\n[Rename]\r\nt=u\r\n"},
        // The section as the last line, without its line end.
        {"[x]\r\n[RENAME]", "NUL", "C:\\a.0", "[x]\r\n[RENAME]\r\nNUL=C:\\a.0\r\n"},
        // Only a whole line names the section.
        {"[Renamed]\n", "NUL", "C:\\a.0", "[Renamed]\n[Rename]\r\nNUL=C:\\a.0\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shared::AddRenameLine(c.wininit, c.target, c.temporary), c.want) << c.wininit;
}

TEST(SharedRules, PathParts) {
    struct Case {
        const char *path, *separators, *directory, *name;
    } cases[] = {
        {"C:\\a\\b.dll", "\\", "C:\\a", "b.dll"},
        {"C:\\a/b.dll", "\\", "C:", "a/b.dll"},  // a slash is no separator here
        {"C:\\a/b.dll", "\\/", "C:\\a", "b.dll"},
        {"b.dll", "\\/", "", "b.dll"},
        {"C:\\a\\", "\\", "C:\\a", ""},
        {"", "\\", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shared::PathDirectory(c.path, c.separators), c.directory) << c.path;
        EXPECT_EQ(shared::PathFileName(c.path, c.separators), c.name) << c.path;
    }
}

}  // namespace
