#include "dialogs/rules/find_address.h"

#include "protocol/packet.h"
#include "resources/brellmark/resource.h"

namespace rules {

namespace {

bool IsHostNameText(const std::string& s) {
    if (s.empty() || s.size() > kMaxHostName)
        return false;
    for (char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

bool AllDigitsAndDots(const std::string& s) {
    return s.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

FindAddressResult CheckFindAddress(const std::string& text,
                                   const std::vector<proto::LocalInterface>& interfaces,
                                   const std::function<uint32_t(const std::string&)>& resolve) {
    FindAddressResult r;
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        r.messageId = IDS_FIND_EMPTY;
        return r;
    }
    const std::string t = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    uint32_t address = 0;
    if (!proto::ParseIPv4(t, &address)) {
        // "10.0.0.300" is a mistyped address, not a host name.
        if (AllDigitsAndDots(t)) {
            r.messageId = IDS_FIND_UNSPECIFIED;
            r.argument = t;
            return r;
        }
        address = IsHostNameText(t) && resolve ? resolve(t) : 0;
        if (address == 0) {
            r.messageId = IDS_FIND_UNRESOLVED;
            r.argument = t.substr(0, 64);
            return r;
        }
    }
    r.argument = proto::FormatIPv4(address);
    switch (proto::CheckServerAddress(address, interfaces)) {
        case proto::AddressProblem::None:
            r.address = address;
            r.argument.clear();
            break;
        case proto::AddressProblem::Unspecified:
            r.messageId = IDS_FIND_UNSPECIFIED;
            break;
        case proto::AddressProblem::Loopback:
            r.messageId = IDS_FIND_LOOPBACK;
            break;
        case proto::AddressProblem::Multicast:
            r.messageId = IDS_FIND_MULTICAST;
            break;
        case proto::AddressProblem::Broadcast:
            r.messageId = IDS_FIND_BROADCAST;
            break;
        case proto::AddressProblem::OwnAddress:
            r.messageId = IDS_FIND_OWN_ADDRESS;
            break;
    }
    return r;
}

}  // namespace rules
