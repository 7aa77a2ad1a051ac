#include "protocol/reply_queue.h"

#include <cstdlib>

namespace proto {

bool ReplyQueue::Push(uint32_t sourceHostOrder, const uint8_t* data, std::size_t length) {
    if (blocks_.size() >= capacity_ || length < kHeaderSize || length > kMaxDatagram) {
        ++dropped_;
        return false;
    }
    auto* block = static_cast<ReplyBlock*>(std::calloc(1, sizeof(ReplyBlock)));
    if (block == nullptr || !FillReplyBlock(block, sourceHostOrder, data, length)) {
        std::free(block);
        ++dropped_;
        return false;
    }
    blocks_.push_back(block);
    return true;
}

ReplyBlock* ReplyQueue::Pop() {
    if (blocks_.empty())
        return nullptr;
    ReplyBlock* block = blocks_.front();
    blocks_.pop_front();
    return block;
}

void ReplyQueue::Clear() {
    for (ReplyBlock* block : blocks_)
        FreeReplyBlock(block);
    blocks_.clear();
}

bool ReplyQueue::NoticeDue() {
    if (blocks_.empty() || noticeOut_)
        return false;
    noticeOut_ = true;
    return true;
}

void FreeReplyBlock(ReplyBlock* block) {
    std::free(block);
}

}  // namespace proto
