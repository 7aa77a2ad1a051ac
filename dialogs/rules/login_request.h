// The CMD_LOGIN request built from the two texts of the administrator login
// dialog. Portable: no platform headers.
#pragma once

#include <string>

#include "protocol/packet.h"

namespace rules {

// Width of the password and name fields of a login request.
constexpr std::size_t kLoginFieldSize = 16;
// The login dialog reads at most this many characters from each box.
constexpr std::size_t kLoginTextLimit = 127;

// Adds TAG_PASSWORD, then TAG_ADMIN_NAME to `buffer`, each as a fixed text of
// 16 bytes: the text (up to its first NUL, at most 127 characters) cut to 16
// bytes or padded with zero bytes. Returns 1 when both items were added.
int AddLoginItems(const std::string& password, const std::string& adminName,
                  proto::CommandBuffer& buffer);

}  // namespace rules
