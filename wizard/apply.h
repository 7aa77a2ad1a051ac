// The applying page without its window: one request at a time, the seven
// progress rows, the disk initialisation polls, the final restart and its
// wait, and the watchdog with its Retry or Cancel. Driven by calls (a reply
// arrived, a timer fired); it tells an ApplyView what to show and send.
// Portable.
#pragma once

#include <cstdint>

#include "flow/host.h"
#include "protocol/packet.h"
#include "wizard/settings.h"

namespace wiz {

// The page's timers, with ids in a row from the first.
constexpr flow::Timer kBarStepTimer{6945, 1000};
constexpr flow::Timer kRestartWaitTimer{6946, 90000};
constexpr flow::Timer kDiskPollTimer{6947, 5000};
constexpr flow::Timer kNoReplyTimer{6948, 60000};
constexpr unsigned kFinishPauseMs = 2000;
constexpr int kRows = 7;

// What the machine asks of the page. Rows are numbered 1 to 7.
class ApplyView {
public:
    virtual ~ApplyView() = default;
    // Sends a request to the wizard's server (flow FLOW_WIZARD).
    virtual void Send(uint16_t command, const proto::CommandBuffer& items) = 0;
    virtual void StartTimer(int id, unsigned ms) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void SetBar(int position) = 0;
    virtual void PlayRow(int row) = 0;   // show and play the row's clip
    virtual void CloseRow(int row) = 0;  // stop, unload and hide it
    virtual void CheckRow(int row) = 0;  // show its check mark
    // The end: Next enabled alone and "Configuration process complete." shown.
    virtual void ShowComplete() = 0;
    // Blocks the user-interface thread (before CMD_FINISH after a format).
    virtual void Pause(unsigned ms) = 0;
    // The watchdog's question; true for Retry. Replies may be handled while
    // it is open.
    virtual bool AskRetry() = 0;
    // Cancel on the watchdog's question: show the failure page.
    virtual void ShowFailure() = 0;
};

// The command for the page of a wizard reply, or 0 for other codes.
int PageCommandFor(uint16_t replyCommand);

class ApplyMachine {
public:
    ApplyMachine(const WizardSettings& settings, const PageState& pages, ApplyView& view)
        : s_(settings), pages_(pages), view_(view) {}

    // First showing of the page: rows hidden, CMD_SET_NAME, watchdog, stage 0.
    void Start();
    // ID_WIZ_* from the dispatcher; `diskPercent` is the status of a
    // CMD_DISK_PROGRESS reply. A reply that is not the awaited one (repeated,
    // late, or for an earlier stage) is ignored.
    void OnCommand(int id, int diskPercent = 0);
    void OnTimer(int id);
    // The page goes away: every timer stops and later calls do nothing.
    void Stop();

    int stage() const { return stage_; }
    int bar() const { return bar_; }
    bool started() const { return started_; }
    bool stopped() const { return stopped_; }
    bool failed() const { return failed_; }
    // Timers this machine has started and not stopped.
    bool TimerRunning(int id) const;

private:
    void SendRequest(uint16_t command);
    void SetBar(int position);
    void Start(int id, unsigned ms);
    void Kill(int id);
    // The server is back (or the restart wait is over): the last row done, the end shown.
    void Finished();
    // CMD_FINISH, with the watchdog until its reply or CMD_DONE.
    void SendFinish();
    // The request awaited in the current stage, or 0 (disk polling, the end).
    uint16_t AwaitedRequest() const;

    const WizardSettings& s_;
    const PageState& pages_;
    ApplyView& view_;
    int stage_ = 0;
    int bar_ = 0;
    bool started_ = false;
    bool stopped_ = false;
    bool failed_ = false;
    bool finishSent_ = false;      // CMD_FINISH went out
    bool restartWaiting_ = false;  // its reply came; the 90-second wait runs
    bool asking_ = false;          // the watchdog's question is open
    unsigned timers_ = 0;          // bit per timer id - kBarStepTimer.id
};

}  // namespace wiz
