// The check of "Find by Address...": the typed text becomes one server
// address, or a message says why not. Portable: the name lookup is passed in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/discovery.h"

namespace rules {

struct FindAddressResult {
    uint32_t address = 0;  // host order; 0 when the text was refused
    int messageId = 0;     // the refusal's text, with one %s for `argument`
    std::string argument;
};

// Longest host name the check passes on to the lookup.
constexpr size_t kMaxHostName = 253;

// Blanks around the text are ignored. A dotted address is taken as it is; any
// other text made of letters, digits, '-' and '.' is looked up by `resolve`
// (0 when the name is unknown). The address must be one a server can have:
// not 0.x.x.x, loopback, multicast or broadcast, nor this computer's own.
FindAddressResult CheckFindAddress(const std::string& text,
                                   const std::vector<proto::LocalInterface>& interfaces,
                                   const std::function<uint32_t(const std::string&)>& resolve);

}  // namespace rules
