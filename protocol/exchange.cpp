#include "protocol/exchange.h"

#include <algorithm>
#include <cstring>

namespace proto {

void AddressRequest(ServerInfo* target, uint16_t command, CommandBuffer& buffer) {
    PacketHeader& h = buffer.header;
    if (target != nullptr) {
        // The stored counter keeps growing; only the header value wraps.
        ++target->seq;
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
    if (h.seq != expected)
        return 0;
    selected->seq = h.seq;
    return 1;
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
