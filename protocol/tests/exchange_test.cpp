#include "protocol/exchange.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace proto;

namespace {

ServerInfo Server(uint8_t last, int seq) {
    ServerInfo s;
    const uint8_t id[8] = {0, 0x11, 0x22, 0x33, 0x44, last, 'S', 'v'};
    std::memcpy(s.id, id, 8);
    s.seq = seq;
    return s;
}

std::vector<uint8_t> ReplyFrom(const ServerInfo& s, uint16_t seq, uint16_t command) {
    PacketHeader h;
    std::memcpy(h.serverId, s.id, 6);
    h.seq = seq;
    h.command = command;
    std::vector<uint8_t> d(16);
    h.Encode(d.data());
    return d;
}

}  // namespace

TEST(AddressRequest, NumbersAndAddressesTheTarget) {
    ServerInfo a = Server(0x55, 1);
    CommandBuffer b;
    AddressRequest(&a, CMD_GET_STATUS, b);
    EXPECT_EQ(a.seq, 2);
    auto d = PackDatagram(b.header, b);
    const std::vector<uint8_t> want = {0, 0x11, 0x22, 0x33, 0x44, 0x55, 'C', 'l',
                                       2, 0,    5,    0,    0,    0,    0,   0};
    EXPECT_EQ(d, want);

    // The stored counter grows past 9999; only the header value wraps.
    ServerInfo w = Server(0x55, 9999);
    CommandBuffer wb;
    AddressRequest(&w, CMD_LOGIN, wb);
    EXPECT_EQ(w.seq, 10000);
    EXPECT_EQ(wb.header.seq, 0);
    AddressRequest(&w, CMD_LOGIN, wb);
    EXPECT_EQ(wb.header.seq, 1);

    // Without a target the header keeps its id bytes and carries seq 0.
    CommandBuffer none;
    none.header.serverId[0] = 7;
    AddressRequest(nullptr, CMD_DISCOVER, none);
    EXPECT_EQ(none.header.seq, 0);
    EXPECT_EQ(none.header.serverId[0], 7);
    EXPECT_EQ(none.header.origin[0], 0);
}

TEST(AcceptReply, SelectedServerAndSequence) {
    ServerInfo a = Server(0x0A, 7);
    ServerInfo b = Server(0x0B, 7);
    // Discovery replies pass whatever is selected.
    auto disc = ReplyFrom(b, 99, CMD_DISCOVER);
    EXPECT_EQ(AcceptReply(&a, disc.data(), disc.size()), 1);
    EXPECT_EQ(a.seq, 7);
    // Another server, or a wrong number, is dropped and changes nothing.
    auto fromB = ReplyFrom(b, 8, CMD_GET_STATUS);
    EXPECT_EQ(AcceptReply(&a, fromB.data(), fromB.size()), 0);
    auto skip = ReplyFrom(a, 9, CMD_GET_STATUS);
    EXPECT_EQ(AcceptReply(&a, skip.data(), skip.size()), 0);
    EXPECT_EQ(a.seq, 7);
    // The expected number is accepted and becomes the counter.
    auto good = ReplyFrom(a, 8, CMD_GET_STATUS);
    EXPECT_EQ(AcceptReply(&a, good.data(), good.size()), 1);
    EXPECT_EQ(a.seq, 8);
    // With nothing selected any reply is accepted.
    EXPECT_EQ(AcceptReply(nullptr, fromB.data(), fromB.size()), 1);
    // Too short to hold a header.
    EXPECT_EQ(AcceptReply(nullptr, fromB.data(), 15), 0);
}

// After a discovery answer from the selected server, its next message is
// taken numbered after its counter or after that answer, once; a request
// sent meanwhile ends the second number's turn.
TEST(AcceptReply, AfterADiscoveryAnswer) {
    const struct {
        const char* what;
        int counter;
        uint16_t answerSeq;                             // of the discovery answer
        bool fromOther;                                 // the answer carries another server's id
        bool requestSent;                               // a request to it went out after the answer
        std::vector<std::pair<uint16_t, int>> replies;  // seq, accepted
    } cases[] = {
        {"after the answer", 7, 1, false, false, {{2, 1}, {2, 0}, {3, 1}}},
        {"after the counter", 7, 1, false, false, {{8, 1}, {2, 0}}},
        {"neither", 7, 1, false, false, {{3, 0}, {9, 0}}},
        {"the answer wraps", 7, 9999, false, false, {{0, 1}}},
        {"another server's answer", 7, 1, true, false, {{2, 0}, {8, 1}}},
        {"a request since", 7, 1, false, true, {{2, 0}, {9, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerInfo a = Server(0x0A, c.counter);
        const ServerInfo b = Server(0x0B, 1);
        const auto answer = ReplyFrom(c.fromOther ? b : a, c.answerSeq, CMD_DISCOVER);
        NoteDiscoveryAnswer(&a, answer.data(), answer.size());
        if (c.requestSent) {
            CommandBuffer buffer;
            AddressRequest(&a, CMD_GET_STATUS, buffer);
        }
        for (const auto& [seq, accepted] : c.replies) {
            const auto r = ReplyFrom(a, seq, CMD_GET_STATUS);
            EXPECT_EQ(AcceptReply(&a, r.data(), r.size()), accepted) << seq;
        }
    }
}

TEST(AcceptReply, SequenceWrap) {
    ServerInfo a = Server(0x0A, 9999);
    CommandBuffer b;
    AddressRequest(&a, CMD_LOGIN, b);
    ASSERT_EQ(b.header.seq, 0);
    auto r = ReplyFrom(a, 1, CMD_LOGIN);
    EXPECT_EQ(AcceptReply(&a, r.data(), r.size()), 1);
    EXPECT_EQ(a.seq, 1);
    // The next request goes out as 2 and its answer 3 is accepted.
    AddressRequest(&a, CMD_GET_CONFIG, b);
    EXPECT_EQ(b.header.seq, 2);
    auto r2 = ReplyFrom(a, 3, CMD_GET_CONFIG);
    EXPECT_EQ(AcceptReply(&a, r2.data(), r2.size()), 1);
}

TEST(ReceiveFilter, OwnAddressesShortAndLongDatagrams) {
    const uint32_t local[2] = {0x0200004D, 0x0100A8C0};
    EXPECT_EQ(PassesReceiveFilter(0x0200004D, local, 2, 100), 0);
    EXPECT_EQ(PassesReceiveFilter(0x0300004D, local, 2, 16), 1);
    EXPECT_EQ(PassesReceiveFilter(0x0300004D, local, 2, 15), 0);
    EXPECT_EQ(PassesReceiveFilter(0x0300004D, local, 2, -1), 0);
    // Without a list of own addresses nothing is filtered by address.
    EXPECT_EQ(PassesReceiveFilter(0x0200004D, local, 0, 16), 1);

    ReplyBlock block;
    std::memset(&block, 0xCC, sizeof block);
    uint8_t data[20] = {1, 2, 3};
    ASSERT_EQ(FillReplyBlock(&block, 0x0A4D0001, data, 20), 1);
    EXPECT_EQ(block.sourceIp, 0x0A4D0001u);
    EXPECT_EQ(block.length, 20u);
    // Bytes after the datagram are zero, so every item run ends.
    for (size_t i = 20; i < sizeof block.data; ++i)
        ASSERT_EQ(block.data[i], 0) << i;
    EXPECT_EQ(FillReplyBlock(&block, 1, data, 15), 0);
}
