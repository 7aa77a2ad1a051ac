#include "wizard/apply.h"

#include <algorithm>

#include "resources/brellmark/resource.h"

namespace wiz {

using namespace proto;

int PageCommandFor(uint16_t replyCommand) {
    // Each reply the wizard's server sends and the command its page handles.
    static constexpr struct {
        uint16_t reply;
        int pageCommand;
    } kPageCommands[] = {
        {CMD_SET_NAME, ID_WIZ_NAME_DONE},          {CMD_SET_PASSWORD, ID_WIZ_PASSWORD_DONE},
        {CMD_SET_DATETIME, ID_WIZ_DATETIME_DONE},  {CMD_SET_ENCODING, ID_WIZ_ENCODING_DONE},
        {CMD_SET_NETWORK, ID_WIZ_NETWORK_DONE},    {CMD_INIT_DISK, ID_WIZ_DISK_DONE},
        {CMD_FINISH, ID_WIZ_FINISH_DONE},          {CMD_DONE, ID_WIZ_COMPLETE},
        {CMD_DISK_PROGRESS, ID_WIZ_DISK_PROGRESS},
    };
    for (const auto& row : kPageCommands)
        if (row.reply == replyCommand)
            return row.pageCommand;
    return 0;
}

bool ApplyMachine::TimerRunning(int id) const {
    const int bit = id - kBarStepTimer.id;
    return bit >= 0 && bit < 4 && (timers_ & (1u << bit)) != 0;
}

void ApplyMachine::Start(int id, unsigned ms) {
    timers_ |= 1u << (id - kBarStepTimer.id);
    view_.StartTimer(id, ms);
}

void ApplyMachine::Kill(int id) {
    timers_ &= ~(1u << (id - kBarStepTimer.id));
    view_.StopTimer(id);
}

void ApplyMachine::SetBar(int position) {
    bar_ = std::clamp(position, 0, 100);
    view_.SetBar(bar_);
}

void ApplyMachine::SendRequest(uint16_t command) {
    CommandBuffer buffer;
    BuildRequest(command, s_, pages_, &buffer);
    view_.Send(command, buffer);
}

uint16_t ApplyMachine::AwaitedRequest() const {
    if (stage_ >= 0 && stage_ <= 5)
        return static_cast<uint16_t>(CMD_SET_NAME + stage_);
    if (stage_ == 6 || stage_ == 8)
        return CMD_FINISH;
    return 0;
}

void ApplyMachine::Start() {
    if (started_ || stopped_)
        return;
    started_ = true;
    stage_ = 0;
    SendRequest(CMD_SET_NAME);
    Start(kNoReplyTimer.id, kNoReplyTimer.ms);
}

void ApplyMachine::SendFinish() {
    SendRequest(CMD_FINISH);
    finishSent_ = true;
    // Watched like the other requests: with its reply and the server's
    // CMD_DONE both lost, the page could otherwise never be left.
    Start(kNoReplyTimer.id, kNoReplyTimer.ms);
}

void ApplyMachine::Finished() {
    Kill(kBarStepTimer.id);
    Kill(kRestartWaitTimer.id);
    SetBar(100);
    view_.CloseRow(7);
    view_.CheckRow(7);
    stage_ = 9;
    view_.ShowComplete();
}

void ApplyMachine::OnCommand(int id, int diskPercent) {
    if (!started_ || stopped_ || stage_ == 9)
        return;
    if (id >= ID_WIZ_NAME_DONE && id <= ID_WIZ_NETWORK_DONE) {
        const int k = id - ID_WIZ_NAME_DONE + 1;
        if (stage_ != k - 1)
            return;  // not the reply awaited now
        SetBar(0);
        Kill(kNoReplyTimer.id);
        stage_ = k;
        SendRequest(static_cast<uint16_t>(CMD_SET_NAME + k));
        Start(kNoReplyTimer.id, kNoReplyTimer.ms);
        view_.CloseRow(k);
        view_.CheckRow(k);
        SetBar(100);
        return;
    }
    switch (id) {
        case ID_WIZ_DISK_DONE:
            if (stage_ != 5)
                return;
            SetBar(0);
            Kill(kNoReplyTimer.id);
            stage_ = 6;
            if (s_.m_initDisk == 1) {
                view_.PlayRow(6);
                stage_ = 7;
                Start(kDiskPollTimer.id, kDiskPollTimer.ms);
            } else {
                view_.PlayRow(7);
                SendFinish();
                view_.CheckRow(6);
            }
            return;
        case ID_WIZ_DISK_PROGRESS: {
            if (stage_ != 7)
                return;
            const int percent = std::clamp(diskPercent, 0, 100);
            Kill(kNoReplyTimer.id);
            Start(kNoReplyTimer.id, kNoReplyTimer.ms);
            if (percent < 100) {
                SetBar(percent);
                return;
            }
            view_.CloseRow(6);
            view_.CheckRow(6);
            SetBar(0);
            view_.PlayRow(7);
            stage_ = 8;
            Kill(kNoReplyTimer.id);
            Kill(kDiskPollTimer.id);
            view_.Pause(kFinishPauseMs);
            if (stopped_)
                return;
            SendFinish();
            SetBar(0);
            return;
        }
        case ID_WIZ_FINISH_DONE:
            if (!finishSent_ || restartWaiting_)
                return;
            restartWaiting_ = true;
            Kill(kNoReplyTimer.id);
            stage_ = 8;
            SetBar(0);
            Start(kBarStepTimer.id, kBarStepTimer.ms);
            Start(kRestartWaitTimer.id, kRestartWaitTimer.ms);
            return;
        case ID_WIZ_COMPLETE:
            // The server is back: the restart wait ends here too, so no
            // timer outlives the run.
            if (!finishSent_)
                return;
            Kill(kNoReplyTimer.id);
            Finished();
            return;
        default:
            return;
    }
}

void ApplyMachine::OnTimer(int id) {
    if (stopped_ || !TimerRunning(id))
        return;  // a stray or late timer message
    switch (id) {
        case kBarStepTimer.id:
            SetBar(bar_ + 1);
            return;
        case kRestartWaitTimer.id:
            Finished();
            return;
        case kDiskPollTimer.id:
            SendRequest(CMD_DISK_PROGRESS);
            return;
        case kNoReplyTimer.id: {
            Kill(kNoReplyTimer.id);
            if (asking_)
                return;
            asking_ = true;
            const int asked = stage_;
            const bool retry = view_.AskRetry();
            asking_ = false;
            if (stopped_)
                return;
            if (!retry) {
                failed_ = true;
                Stop();
                view_.ShowFailure();
                return;
            }
            // A reply that came while the question was open has moved the
            // run on and started its own watchdog: nothing to repeat.
            if (stage_ != asked || TimerRunning(kNoReplyTimer.id) || stage_ == 9)
                return;
            if (const uint16_t command = AwaitedRequest())
                SendRequest(command);
            Start(kNoReplyTimer.id, kNoReplyTimer.ms);
            return;
        }
        default:
            return;
    }
}

void ApplyMachine::Stop() {
    for (int id = kBarStepTimer.id; id <= kNoReplyTimer.id; ++id)
        if (TimerRunning(id))
            Kill(id);
    stopped_ = true;
}

}  // namespace wiz
