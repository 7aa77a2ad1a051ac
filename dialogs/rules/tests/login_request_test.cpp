#include "dialogs/rules/login_request.h"

#include <gtest/gtest.h>

#include "protocol/packet.h"
#include "protocol/tests/reply_builder.h"

namespace rules {
namespace {

using proto::testing::WireItems;

std::string Fixed16(const std::string& text) {
    std::string s = text.substr(0, 16);
    s.resize(16, '\0');
    return s;
}

TEST(LoginRequest, PasswordThenNameAsSixteenByteFields) {
    struct Case {
        std::string password;
        std::string name;
        std::string wirePassword;
        std::string wireName;
    };
    const Case cases[] = {
        // OK without typing: empty password, the preset name.
        {"", "Administrator", std::string(16, '\0'), Fixed16("Administrator")},
        // 20 characters go out as the first 16, without terminator.
        {"abcdefghijklmnopqrst", "admin", "abcdefghijklmnop", Fixed16("admin")},
        {"exactly16chars!!", "", "exactly16chars!!", std::string(16, '\0')},
        // The dialog's buffer ends at the first NUL.
        {std::string("ab\0cd", 5), "x", Fixed16("ab"), Fixed16("x")},
    };
    for (const Case& c : cases) {
        proto::CommandBuffer buffer;
        ASSERT_EQ(1, AddLoginItems(c.password, c.name, buffer));
        const std::string expected =
            std::string("\x0A\x10", 2) + c.wirePassword + std::string("\x0B\x10", 2) + c.wireName;
        EXPECT_EQ(expected, WireItems(buffer)) << "password " << c.password.size() << " bytes";
    }
}

}  // namespace
}  // namespace rules
