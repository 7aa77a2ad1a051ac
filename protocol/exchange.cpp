#include "protocol/exchange.h"

#include <algorithm>
#include <cstring>

namespace proto {

void AddressRequest(ServerInfo* target, uint16_t command, CommandBuffer& buffer) {
    PacketHeader& h = buffer.header;
    if (target != nullptr) {
        // The stored counter keeps growing; only the header value wraps.
        ++target->seq;
        target->afterDiscovery = -1;  // it numbers from this request now
        h.seq = static_cast<uint16_t>(static_cast<unsigned>(target->seq) % kSeqModulo);
        std::memcpy(h.serverId, target->id, 6);
        h.origin[0] = 'C';
        h.origin[1] = 'l';
    } else {
        h.seq = 0;
    }
    h.command = command;
    h.status = 0;
    h.kind = 0;
}

int AcceptReply(ServerInfo* selected, const uint8_t* data, std::size_t length) {
    if (data == nullptr || length < kHeaderSize)
        return 0;
    const PacketHeader h = PacketHeader::Decode(data);
    if (h.command == CMD_DISCOVER)
        return 1;
    if (selected == nullptr)
        return 1;
    if (std::memcmp(h.serverId, selected->id, 6) != 0)
        return 0;
    const unsigned expected = (static_cast<unsigned>(selected->seq) + 1u) % kSeqModulo;
    // A discovery answer in the middle of an exchange does not change what
    // the server answers a request (its number plus one), but what it sends
    // of its own accord goes on from that answer.
    const bool afterDiscovery =
        selected->afterDiscovery >= 0 && h.seq == static_cast<unsigned>(selected->afterDiscovery);
    if (h.seq != expected && !afterDiscovery)
        return 0;
    selected->seq = h.seq;
    selected->afterDiscovery = -1;
    return 1;
}

void NoteDiscoveryAnswer(ServerInfo* server, const uint8_t* data, std::size_t length) {
    if (server == nullptr || data == nullptr || length < kHeaderSize)
        return;
    const PacketHeader h = PacketHeader::Decode(data);
    if (std::memcmp(h.serverId, server->id, 6) == 0)
        server->afterDiscovery = static_cast<int>((h.seq + 1u) % kSeqModulo);
}

int PassesReceiveFilter(uint32_t sourceNetOrder, const uint32_t* localAddrs, int localCount,
                        int length) {
    for (int i = 0; i < std::min(localCount, 10); ++i)
        if (localAddrs[i] == sourceNetOrder)
            return 0;
    if (length < static_cast<int>(kHeaderSize))
        return 0;
    return length <= static_cast<int>(kMaxDatagram) ? 1 : 0;
}

int FillReplyBlock(ReplyBlock* block, uint32_t sourceHostOrder, const uint8_t* data,
                   std::size_t length) {
    if (length < kHeaderSize || length > kMaxDatagram)
        return 0;
    std::memset(block, 0, sizeof *block);
    block->sourceIp = sourceHostOrder;
    block->length = static_cast<uint32_t>(length);
    std::memcpy(block->data, data, length);
    return 1;
}

const char* ConfiguredStateText(int32_t configured) {
    if (configured == 0)
        return "Not yet configured.";
    if (configured == 1)
        return "System is configured.";
    return "--";
}

}  // namespace proto
