#include "dialogs/rules/login_request.h"

#include <algorithm>
#include <cstring>

namespace rules {

namespace {

// What a zero-filled char[128] holds after the dialog copied `text` into it.
std::string AsDialogBuffer(const std::string& text) {
    const std::size_t n = std::min(kLoginTextLimit, strnlen(text.c_str(), text.size()));
    return text.substr(0, n);
}

}  // namespace

int AddLoginItems(const std::string& password, const std::string& adminName,
                  proto::CommandBuffer& buffer) {
    if (!buffer.AddFixedText(proto::TAG_PASSWORD, AsDialogBuffer(password), kLoginFieldSize))
        return 0;
    return buffer.AddFixedText(proto::TAG_ADMIN_NAME, AsDialogBuffer(adminName), kLoginFieldSize);
}

}  // namespace rules
