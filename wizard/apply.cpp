#include "wizard/apply.h"

#include <algorithm>

#include "resources/brellmark/resource.h"

namespace wiz {

using namespace proto;

int PageCommandFor(uint16_t replyCommand) {
    switch (replyCommand) {
        case CMD_SET_NAME:
            return ID_WIZ_NAME_DONE;
        case CMD_SET_PASSWORD:
            return ID_WIZ_PASSWORD_DONE;
        case CMD_SET_DATETIME:
            return ID_WIZ_DATETIME_DONE;
        case CMD_SET_ENCODING:
            return ID_WIZ_ENCODING_DONE;
        case CMD_SET_NETWORK:
            return ID_WIZ_NETWORK_DONE;
        case CMD_INIT_DISK:
            return ID_WIZ_DISK_DONE;
        case CMD_FINISH:
            return ID_WIZ_FINISH_DONE;
        case CMD_DONE:
            return ID_WIZ_COMPLETE;
        case CMD_DISK_PROGRESS:
            return ID_WIZ_DISK_PROGRESS;
        default:
            return 0;
    }
}

bool ApplyMachine::TimerRunning(int id) const {
    const int bit = id - TIMER_BAR_STEP;
    return bit >= 0 && bit < 4 && (timers_ & (1u << bit)) != 0;
}

void ApplyMachine::Start(int id, unsigned ms) {
    timers_ |= 1u << (id - TIMER_BAR_STEP);
    view_.StartTimer(id, ms);
}

void ApplyMachine::Kill(int id) {
    timers_ &= ~(1u << (id - TIMER_BAR_STEP));
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
    Start(TIMER_NO_REPLY, kNoReplyMs);
}

void ApplyMachine::SendFinish() {
    SendRequest(CMD_FINISH);
    finishSent_ = true;
    // Watched like the other requests: with its reply and the server's
    // CMD_DONE both lost, the page could otherwise never be left.
    Start(TIMER_NO_REPLY, kNoReplyMs);
}

void ApplyMachine::Finished() {
    Kill(TIMER_BAR_STEP);
    Kill(TIMER_RESTART_WAIT);
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
        Kill(TIMER_NO_REPLY);
        stage_ = k;
        SendRequest(static_cast<uint16_t>(CMD_SET_NAME + k));
        Start(TIMER_NO_REPLY, kNoReplyMs);
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
            Kill(TIMER_NO_REPLY);
            stage_ = 6;
            if (s_.m_initDisk == 1) {
                view_.PlayRow(6);
                stage_ = 7;
                Start(TIMER_DISK_POLL, kDiskPollMs);
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
            Kill(TIMER_NO_REPLY);
            Start(TIMER_NO_REPLY, kNoReplyMs);
            if (percent < 100) {
                SetBar(percent);
                return;
            }
            view_.CloseRow(6);
            view_.CheckRow(6);
            SetBar(0);
            view_.PlayRow(7);
            stage_ = 8;
            Kill(TIMER_NO_REPLY);
            Kill(TIMER_DISK_POLL);
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
            Kill(TIMER_NO_REPLY);
            stage_ = 8;
            SetBar(0);
            Start(TIMER_BAR_STEP, kBarStepMs);
            Start(TIMER_RESTART_WAIT, kRestartWaitMs);
            return;
        case ID_WIZ_COMPLETE:
            // The server is back: the restart wait ends here too, so no
            // timer outlives the run.
            if (!finishSent_)
                return;
            Kill(TIMER_NO_REPLY);
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
        case TIMER_BAR_STEP:
            SetBar(bar_ + 1);
            return;
        case TIMER_RESTART_WAIT:
            Finished();
            return;
        case TIMER_DISK_POLL:
            SendRequest(CMD_DISK_PROGRESS);
            return;
        case TIMER_NO_REPLY: {
            Kill(TIMER_NO_REPLY);
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
            if (stage_ != asked || TimerRunning(TIMER_NO_REPLY) || stage_ == 9)
                return;
            if (const uint16_t command = AwaitedRequest())
                SendRequest(command);
            Start(TIMER_NO_REPLY, kNoReplyMs);
            return;
        }
        default:
            return;
    }
}

void ApplyMachine::Stop() {
    for (int id = TIMER_BAR_STEP; id <= TIMER_NO_REPLY; ++id)
        if (TimerRunning(id))
            Kill(id);
    stopped_ = true;
}

}  // namespace wiz
