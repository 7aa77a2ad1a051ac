#include "protocol/reply_queue.h"

#include <gtest/gtest.h>

#include <vector>

using namespace proto;

namespace {

// A datagram of `length` bytes whose bytes all hold `fill`.
std::vector<uint8_t> Datagram(size_t length, uint8_t fill) {
    return std::vector<uint8_t>(length, fill);
}

}  // namespace

// What the queue keeps of a run of datagrams: those that fit a block while
// there is room, in arrival order, each zero after its length.
TEST(ReplyQueue, KeepsWhatFitsInArrivalOrder) {
    struct Case {
        const char* what;
        size_t capacity;
        std::vector<size_t> lengths;
        std::vector<size_t> kept;  // indexes into lengths, in the order taken
    };
    const Case cases[] = {
        {"every datagram of a burst", 8, {16, 40, 1024, 17}, {0, 1, 2, 3}},
        {"shorter than a header or longer than a block", 8, {15, 16, 1025, 0, 20}, {1, 4}},
        {"a full queue drops the newest", 2, {16, 20, 24, 28}, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReplyQueue q(c.capacity);
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            const auto d = Datagram(c.lengths[i], static_cast<uint8_t>(i + 1));
            q.Push(0x0A4D0100u + static_cast<uint32_t>(i), d.data(), d.size());
        }
        EXPECT_EQ(q.dropped(), c.lengths.size() - c.kept.size());
        for (size_t i : c.kept) {
            ReplyBlock* b = q.Pop();
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->sourceIp, 0x0A4D0100u + i);
            EXPECT_EQ(b->length, c.lengths[i]);
            EXPECT_EQ(b->data[0], i + 1);
            EXPECT_EQ(b->data[c.lengths[i] - 1], i + 1);
            if (c.lengths[i] < kMaxDatagram) {
                EXPECT_EQ(b->data[c.lengths[i]], 0);
            }
            FreeReplyBlock(b);
        }
        EXPECT_EQ(q.Pop(), nullptr);
    }
}

// The window is told once per run of waiting replies, again after it took
// the notice while replies still wait, and never about an empty queue.
TEST(ReplyQueue, OneNoticeWhileRepliesWait) {
    ReplyQueue q;
    EXPECT_FALSE(q.NoticeDue());
    const auto d = Datagram(16, 1);
    q.Push(1, d.data(), d.size());
    q.Push(2, d.data(), d.size());
    EXPECT_TRUE(q.NoticeDue());
    EXPECT_FALSE(q.NoticeDue());  // one on its way
    q.NoticeTaken();
    FreeReplyBlock(q.Pop());
    EXPECT_TRUE(q.NoticeDue());  // one still waits
    q.NoticeTaken();
    FreeReplyBlock(q.Pop());
    EXPECT_FALSE(q.NoticeDue());
    // Blocks left in the queue are freed with it (the sanitizer checks).
    q.Push(3, d.data(), d.size());
}
