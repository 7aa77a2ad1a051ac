// Builds reply datagrams for the tests: a header (zero unless given) and a
// run of items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/packet.h"

namespace proto::testing {

struct Item {
    uint8_t tag;
    std::string value;
    int declaredLength = -1;  // length byte to send when it should lie
};

inline std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b)
        s.push_back(static_cast<char>(v));
    return s;
}

inline std::vector<uint8_t> Reply(const std::vector<Item>& items,
                                  const proto::PacketHeader& header = {}) {
    std::vector<uint8_t> d(16, 0);
    header.Encode(d.data());
    for (const Item& it : items) {
        d.push_back(it.tag);
        d.push_back(static_cast<uint8_t>(
            it.declaredLength >= 0 ? it.declaredLength : static_cast<int>(it.value.size())));
        d.insert(d.end(), it.value.begin(), it.value.end());
    }
    return d;
}

// The items of a request as they go on the wire (header stripped).
inline std::string WireItems(const proto::CommandBuffer& buffer) {
    const std::vector<uint8_t> d = proto::PackDatagram(proto::PacketHeader{}, buffer);
    return std::string(d.begin() + 16, d.end());
}

}  // namespace proto::testing
