// Request numbering and addressing, the reply acceptance rule, the receive
// filter and the reply block handed to the user interface. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/packet.h"

namespace proto {

// One discovered server.
struct ServerInfo {
    int flow = 0;  // what the program is doing with it; 0 nothing
    int seq = 1;
    int selected = 0;
    uint32_t ip = 0;     // host order, first octet most significant
    uint8_t id[8] = {};  // serverId then origin of its discovery reply
    char name[30] = {};  // TAG_SERVER_NAME, zero-terminated
    int16_t kind = 0;
    // The number of the server's next message of its own accord (a
    // rediscovery, the end of a restart) when it has answered a discovery
    // since the last request to it: its count goes on from that answer.
    // -1 when it has not.
    int afterDiscovery = -1;
};

// A received datagram on its way to the program's window.
struct ReplyBlock {
    uint32_t sourceIp;  // host order
    uint32_t length;    // 16 to 1024
    uint8_t data[kMaxDatagram];
};
static_assert(sizeof(ReplyBlock) == 1032, "ReplyBlock is 1032 bytes");

// Numbers and addresses `buffer` for `command` as the sender does: with a
// target server its counter grows by one, the header carries the counter
// modulo 10000, bytes 0-5 of its id and "Cl"; without one the header keeps
// its bytes 0-7 and carries seq 0. status and kind are 0.
void AddressRequest(ServerInfo* target, uint16_t command, CommandBuffer& buffer);

// The acceptance rule for a reply datagram (at least 16 bytes), given the
// selected server or none. From the selected server the number after its
// counter is accepted, and so is its afterDiscovery number while it has one.
// On acceptance the selected server's counter takes the reply's seq. Returns
// 1 to accept, 0 to drop.
int AcceptReply(ServerInfo* selected, const uint8_t* data, std::size_t length);

// A listed server's discovery reply (at least 16 bytes) came again: when it
// comes from `server` itself (not another at its address), notes the number
// its next message of its own accord will carry.
void NoteDiscoveryAnswer(ServerInfo* server, const uint8_t* data, std::size_t length);

// The socket's receive filter: 1 when a datagram of `length` bytes (negative:
// the receive failed) from `sourceNetOrder` is to be delivered.
int PassesReceiveFilter(uint32_t sourceNetOrder, const uint32_t* localAddrs, int localCount,
                        int length);

// Fills a zeroed block from a received datagram. Returns 0 when the datagram
// does not fit (more than 1024 bytes) or is shorter than a header.
int FillReplyBlock(ReplyBlock* block, uint32_t sourceHostOrder, const uint8_t* data,
                   std::size_t length);

// The System State column text for a TAG_CONFIGURED value.
const char* ConfiguredStateText(int32_t configured);

}  // namespace proto
