#include "wake/magic_packet.h"

#include <algorithm>

namespace wake {

std::vector<uint8_t> MagicPacket(const Mac& mac) {
    std::vector<uint8_t> packet(6, 0xFF);
    packet.reserve(kMagicPacketSize);
    for (int i = 0; i < 16; ++i)
        packet.insert(packet.end(), mac.begin(), mac.end());
    return packet;
}

std::vector<uint32_t> WakeDestinations(const std::vector<proto::LocalInterface>& interfaces) {
    std::vector<uint32_t> out = {proto::kLimitedBroadcast};
    for (const proto::LocalInterface& i : interfaces) {
        const uint32_t b = proto::DirectedBroadcast(i);
        if (b != 0 && std::find(out.begin(), out.end(), b) == out.end())
            out.push_back(b);
    }
    return out;
}

}  // namespace wake
