// The received replies on their way to the main window. Thousands of servers
// answer one discovery within milliseconds, most of them twice (the limited
// and the directed broadcast): the receive path empties the system's queue
// into this one as fast as datagrams come, and the window takes them in
// order, many per window message, so that a reply costs a read and its own
// handling, never a window message of its own. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "protocol/exchange.h"

namespace proto {

class ReplyQueue {
public:
    // 32 MB of blocks: every reply of some thousands of servers, and a bound
    // on what a flood can take.
    static constexpr size_t kCapacity = 32768;

    explicit ReplyQueue(size_t capacity = kCapacity) : capacity_(capacity) {}
    ~ReplyQueue() { Clear(); }
    ReplyQueue(const ReplyQueue&) = delete;
    ReplyQueue& operator=(const ReplyQueue&) = delete;

    // Queues a datagram that passed the receive filter as a zero-filled heap
    // block (freed with FreeReplyBlock by whoever takes it). False when it
    // is dropped: the queue is full, the datagram does not fit a block, or
    // no memory is left.
    bool Push(uint32_t sourceHostOrder, const uint8_t* data, std::size_t length);
    // The oldest block, now the caller's; nullptr when none waits.
    ReplyBlock* Pop();
    void Clear();

    std::size_t size() const { return blocks_.size(); }
    bool empty() const { return blocks_.empty(); }
    std::size_t dropped() const { return dropped_; }

    // The window is told once while replies wait: true when it must be told
    // now (replies wait and no notice is on its way); the notice then counts
    // as on its way until NoticeTaken.
    bool NoticeDue();
    void NoticeTaken() { noticeOut_ = false; }

private:
    std::deque<ReplyBlock*> blocks_;
    std::size_t capacity_;
    std::size_t dropped_ = 0;
    bool noticeOut_ = false;
};

// Frees a block that Pop handed out.
void FreeReplyBlock(ReplyBlock* block);

}  // namespace proto
