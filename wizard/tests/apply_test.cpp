// The applying page's stage machine and the flow object, driven by replies
// and timers through a recording view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "resources/brellmark/resource.h"
#include "wizard/apply.h"
#include "wizard/flow.h"

using namespace wiz;
using namespace proto;

namespace {

// Records what the machine asks for, one short line per call.
class RecordingView : public ApplyView {
public:
    std::vector<std::string> log;
    std::vector<uint16_t> sent;
    std::vector<CommandBuffer> buffers;
    std::vector<int> answers;  // AskRetry results to give, in order (1 Retry, 0 Cancel)
    std::function<void()> whileAsking;
    unsigned running = 0;
    int bar = -1;

    void Send(uint16_t command, const CommandBuffer& items) override {
        sent.push_back(command);
        buffers.push_back(items);
        log.push_back("send " + std::to_string(command));
    }
    void StartTimer(int id, unsigned ms) override {
        running |= 1u << (id - kBarStepTimer.id);
        log.push_back("start " + std::to_string(id) + " " + std::to_string(ms));
    }
    void StopTimer(int id) override {
        running &= ~(1u << (id - kBarStepTimer.id));
        log.push_back("stop " + std::to_string(id));
    }
    void SetBar(int position) override { bar = position; }
    void PlayRow(int row) override { log.push_back("play " + std::to_string(row)); }
    void CloseRow(int row) override { log.push_back("close " + std::to_string(row)); }
    void CheckRow(int row) override { log.push_back("check " + std::to_string(row)); }
    void ShowComplete() override { log.push_back("complete"); }
    void Pause(unsigned ms) override { log.push_back("pause " + std::to_string(ms)); }
    bool AskRetry() override {
        log.push_back("ask");
        if (whileAsking)
            whileAsking();
        const int a = answers.empty() ? 0 : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return a != 0;
    }
    void ShowFailure() override { log.push_back("failure"); }

    bool Has(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }
};

struct Fixture {
    WizardSettings s;
    PageState p;
    RecordingView view;
    ApplyMachine m{s, p, view};

    explicit Fixture(uint8_t initDisk = 1) {
        s.m_initDisk = initDisk;
        s.m_serverName = "NAS";
    }
    // Replies to the five settings requests.
    void FiveReplies() {
        for (int id = ID_WIZ_NAME_DONE; id <= ID_WIZ_NETWORK_DONE; ++id)
            m.OnCommand(id);
    }
};

std::string WireOf(const CommandBuffer& b) {
    const std::vector<uint8_t> d = PackDatagram(PacketHeader{}, b);
    return std::string(d.begin(), d.end());
}

const std::vector<uint16_t> kSettingsRequests = {CMD_SET_NAME,     CMD_SET_PASSWORD,
                                                 CMD_SET_DATETIME, CMD_SET_ENCODING,
                                                 CMD_SET_NETWORK,  CMD_INIT_DISK};

}  // namespace

TEST(ApplyMachineTest, FullRunWithDiskInitialisation) {
    Fixture f;
    f.m.Start();
    EXPECT_EQ(f.m.stage(), 0);
    EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
    EXPECT_EQ(f.view.log[1], "start 6948 60000");
    for (int k = 1; k <= 5; ++k) {
        f.m.OnCommand(ID_WIZ_NAME_DONE + k - 1);
        EXPECT_EQ(f.m.stage(), k);
        EXPECT_EQ(f.view.bar, 100);
        EXPECT_TRUE(f.view.Has("check " + std::to_string(k)));
        EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
    }
    EXPECT_EQ(f.view.sent, kSettingsRequests);

    f.m.OnCommand(ID_WIZ_DISK_DONE);
    EXPECT_EQ(f.m.stage(), 7);
    EXPECT_TRUE(f.view.Has("play 6"));
    EXPECT_FALSE(f.m.TimerRunning(kNoReplyTimer.id));
    EXPECT_TRUE(f.m.TimerRunning(kDiskPollTimer.id));
    EXPECT_TRUE(f.view.Has("start 6947 5000"));

    // Each poll sends CMD_DISK_PROGRESS; progress below 100 only moves the bar.
    for (int percent : {0, 35, 99}) {
        f.m.OnTimer(kDiskPollTimer.id);
        EXPECT_EQ(f.view.sent.back(), CMD_DISK_PROGRESS);
        f.m.OnCommand(ID_WIZ_DISK_PROGRESS, percent);
        EXPECT_EQ(f.view.bar, percent);
        EXPECT_EQ(f.m.stage(), 7);
        EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
    }
    const size_t before = f.view.log.size();
    f.m.OnTimer(kDiskPollTimer.id);
    f.m.OnCommand(ID_WIZ_DISK_PROGRESS, 100);
    EXPECT_EQ(
        std::vector<std::string>(f.view.log.begin() + static_cast<long>(before), f.view.log.end()),
        (std::vector<std::string>{"send 18", "stop 6948", "start 6948 60000", "close 6", "check 6",
                                  "play 7", "stop 6948", "stop 6947", "pause 2000", "send 25",
                                  "start 6948 60000"}));
    EXPECT_EQ(f.m.stage(), 8);
    EXPECT_EQ(f.view.running, 1u << (kNoReplyTimer.id - kBarStepTimer.id));

    // The reply to CMD_FINISH starts the 90-second wait; the bar climbs by one.
    f.m.OnCommand(ID_WIZ_FINISH_DONE);
    EXPECT_TRUE(f.view.Has("start 6945 1000"));
    EXPECT_TRUE(f.view.Has("start 6946 90000"));
    for (int i = 0; i < 90; ++i)
        f.m.OnTimer(kBarStepTimer.id);
    EXPECT_EQ(f.view.bar, 90);
    f.m.OnTimer(kRestartWaitTimer.id);
    EXPECT_EQ(f.view.bar, 100);
    EXPECT_EQ(f.m.stage(), 9);
    EXPECT_TRUE(f.view.Has("check 7"));
    EXPECT_TRUE(f.view.Has("complete"));
    EXPECT_EQ(f.view.running, 0u);
}

TEST(ApplyMachineTest, WithoutDiskInitialisationRowSixIsCheckedAndFinishSentAtOnce) {
    Fixture f(0);
    f.m.Start();
    f.FiveReplies();
    f.m.OnCommand(ID_WIZ_DISK_DONE);
    EXPECT_EQ(f.m.stage(), 6);
    EXPECT_EQ(f.view.sent.back(), CMD_FINISH);
    EXPECT_TRUE(f.view.Has("play 7"));
    EXPECT_TRUE(f.view.Has("check 6"));
    EXPECT_FALSE(f.view.Has("play 6"));
    EXPECT_FALSE(f.view.Has("pause 2000"));
    // CMD_FINISH is watched too: lost with CMD_DONE, the page could never be left.
    EXPECT_EQ(f.view.running, 1u << (kNoReplyTimer.id - kBarStepTimer.id));
    // Polls and progress replies do nothing now.
    f.m.OnTimer(kDiskPollTimer.id);
    f.m.OnCommand(ID_WIZ_DISK_PROGRESS, 100);
    EXPECT_EQ(f.view.sent.back(), CMD_FINISH);
    f.m.OnCommand(ID_WIZ_FINISH_DONE);
    EXPECT_EQ(f.m.stage(), 8);
    // The server is back before the 90 seconds end: the wait ends with it.
    f.m.OnCommand(ID_WIZ_COMPLETE);
    EXPECT_EQ(f.m.stage(), 9);
    EXPECT_EQ(f.view.bar, 100);
    EXPECT_EQ(f.view.running, 0u);
    EXPECT_TRUE(f.view.Has("check 7"));
    f.m.OnTimer(kRestartWaitTimer.id);  // a late expiry shows nothing twice
    EXPECT_EQ(std::count(f.view.log.begin(), f.view.log.end(), "complete"), 1);
}

TEST(ApplyMachineTest, RepeatedLateAndUnexpectedRepliesAreIgnored) {
    Fixture f;
    // Nothing before the page starts.
    f.m.OnCommand(ID_WIZ_NAME_DONE);
    f.m.OnCommand(ID_WIZ_COMPLETE);
    EXPECT_TRUE(f.view.log.empty());
    f.m.Start();
    f.m.Start();
    EXPECT_EQ(f.view.sent.size(), 1u);
    struct Step {
        int id;
        int stage;
    } steps[] = {
        {ID_WIZ_PASSWORD_DONE, 0}, {ID_WIZ_COMPLETE, 0},
        {ID_WIZ_FINISH_DONE, 0},   {ID_WIZ_DISK_DONE, 0},
        {ID_WIZ_NAME_DONE, 1},     {ID_WIZ_NAME_DONE, 1},
        {ID_WIZ_DISK_PROGRESS, 1}, {12345, 1},
        {ID_WIZ_PASSWORD_DONE, 2},
    };
    for (const Step& s : steps) {
        f.m.OnCommand(s.id, 100);
        EXPECT_EQ(f.m.stage(), s.stage) << s.id;
    }
    EXPECT_EQ(f.view.sent,
              (std::vector<uint16_t>{CMD_SET_NAME, CMD_SET_PASSWORD, CMD_SET_DATETIME}));
    // Timers that do not run are stray messages.
    f.m.OnTimer(kDiskPollTimer.id);
    f.m.OnTimer(kBarStepTimer.id);
    f.m.OnTimer(4711);
    EXPECT_EQ(f.view.sent.size(), 3u);
}

TEST(ApplyMachineTest, WatchdogRetryResendsTheAwaitedRequestAndCancelStopsTheRun) {
    Fixture f;
    f.m.Start();
    f.m.OnCommand(ID_WIZ_NAME_DONE);
    f.m.OnCommand(ID_WIZ_PASSWORD_DONE);
    f.m.OnCommand(ID_WIZ_DATETIME_DONE);
    ASSERT_EQ(f.view.sent.back(), CMD_SET_ENCODING);
    f.view.answers = {1};
    f.m.OnTimer(kNoReplyTimer.id);
    EXPECT_EQ(f.view.sent.back(), CMD_SET_ENCODING);
    EXPECT_EQ(f.view.sent.size(), 5u);
    EXPECT_EQ(f.view.buffers[3].count, f.view.buffers[4].count);
    EXPECT_EQ(WireOf(f.view.buffers[3]), WireOf(f.view.buffers[4]));
    EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
    f.m.OnCommand(ID_WIZ_ENCODING_DONE);
    EXPECT_EQ(f.view.sent.back(), CMD_SET_NETWORK);

    // A reply that arrives while the question is open moves the run on; Retry
    // then repeats nothing.
    f.view.answers = {1};
    f.view.whileAsking = [&] { f.m.OnCommand(ID_WIZ_NETWORK_DONE); };
    f.m.OnTimer(kNoReplyTimer.id);
    f.view.whileAsking = nullptr;
    EXPECT_EQ(f.view.sent.back(), CMD_INIT_DISK);
    EXPECT_EQ(std::count(f.view.sent.begin(), f.view.sent.end(), CMD_SET_NETWORK), 1);
    EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));

    // During the disk polls Retry sends nothing; the polls go on.
    f.m.OnCommand(ID_WIZ_DISK_DONE);
    f.m.OnCommand(ID_WIZ_DISK_PROGRESS, 10);
    const size_t sent = f.view.sent.size();
    f.view.answers = {1};
    f.m.OnTimer(kNoReplyTimer.id);
    EXPECT_EQ(f.view.sent.size(), sent);
    EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
    EXPECT_TRUE(f.m.TimerRunning(kDiskPollTimer.id));

    // Cancel: the failure page, every timer stopped, late replies ignored.
    f.view.answers = {0};
    f.m.OnTimer(kNoReplyTimer.id);
    EXPECT_TRUE(f.view.Has("failure"));
    EXPECT_TRUE(f.m.failed());
    EXPECT_EQ(f.view.running, 0u);
    f.m.OnCommand(ID_WIZ_DISK_PROGRESS, 100);
    f.m.OnTimer(kDiskPollTimer.id);
    EXPECT_EQ(f.view.sent.size(), sent);
}

TEST(WizardFlowTest, RepliesOfAnyContentReachOnlyTheRunningPage) {
    const uint8_t id[6] = {0, 0x11, 0x32, 0xdd, 0, 1};
    std::vector<uint8_t> reply(16, 0);
    std::vector<uint16_t> sent;
    WizardFlow flow(id, DecodeConfigReply(reply.data(), reply.size()), 0x0A4D0401,
                    [&](uint16_t command, CommandBuffer&) {
                        sent.push_back(command);
                        return true;
                    });
    EXPECT_TRUE(flow.hasDisk());
    EXPECT_EQ(flow.replyAddress(), "10.77.4.1");
    auto make = [&](uint16_t command, int16_t status, const uint8_t* from) {
        PacketHeader h;
        std::memcpy(h.serverId, from, 6);
        h.command = command;
        h.status = status;
        std::vector<uint8_t> d(16);
        h.Encode(d.data());
        return d;
    };
    // Before the applying page: nothing.
    auto r = make(CMD_SET_NAME, 0, id);
    flow.OnReply(r.data(), r.size());
    EXPECT_EQ(flow.machine(), nullptr);

    RecordingView view;
    flow.settings().m_initDisk = 1;
    flow.AttachProgress(view);
    ASSERT_NE(flow.machine(), nullptr);
    EXPECT_EQ(view.sent, (std::vector<uint16_t>{CMD_SET_NAME}));
    // Another server's reply, a short datagram, unknown codes: ignored.
    const uint8_t other[6] = {0, 0x11, 0x32, 0xdd, 0, 2};
    r = make(CMD_SET_NAME, 0, other);
    flow.OnReply(r.data(), r.size());
    flow.OnReply(r.data(), 10);
    for (uint16_t code : {0, 2, 5, 10, 17, 27, 65535}) {
        r = make(code, -1, id);
        flow.OnReply(r.data(), r.size());
    }
    EXPECT_EQ(flow.machine()->stage(), 0);
    for (uint16_t code : {CMD_SET_NAME, CMD_SET_PASSWORD, CMD_SET_DATETIME, CMD_SET_ENCODING,
                          CMD_SET_NETWORK, CMD_INIT_DISK}) {
        r = make(code, -32768, id);  // statuses are not examined
        flow.OnReply(r.data(), r.size());
    }
    EXPECT_EQ(flow.machine()->stage(), 7);
    // Progress statuses out of range are held to 0..100.
    r = make(CMD_DISK_PROGRESS, -7, id);
    flow.OnReply(r.data(), r.size());
    EXPECT_EQ(flow.settings().m_diskPercent, 0);
    EXPECT_EQ(view.bar, 0);
    r = make(CMD_DISK_PROGRESS, 30000, id);
    flow.OnReply(r.data(), r.size());
    EXPECT_EQ(flow.machine()->stage(), 8);
    EXPECT_EQ(view.sent.back(), CMD_FINISH);
    r = make(CMD_FINISH, 0, id);
    flow.OnReply(r.data(), r.size());
    EXPECT_NE(view.running, 0u);
    // The page closes: no timer survives it; replies after it do nothing.
    flow.DetachProgress();
    EXPECT_EQ(view.running, 0u);
    r = make(CMD_DONE, 0, id);
    flow.OnReply(r.data(), r.size());
    EXPECT_NE(flow.machine()->stage(), 9);

    // A server without a disk.
    std::vector<uint8_t> noDisk(16, 0);
    for (int b : {37, 2, int{'-'}, int{'5'}, 1, 3, int{'N'}, int{'A'}, int{'S'}})
        noDisk.push_back(static_cast<uint8_t>(b));
    WizardFlow none(id, DecodeConfigReply(noDisk.data(), noDisk.size()), 0x0A4D0402, nullptr);
    EXPECT_FALSE(none.hasDisk());
    EXPECT_EQ(none.replyName(), "NAS");
}

TEST(WizardFlowTest, RandomRepliesNeverCrashOrMoveTheRunBackwards) {
    const uint8_t id[6] = {0, 0x11, 0x32, 0xdd, 0, 9};
    std::vector<uint8_t> reply(16, 0);
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int run = 0; run < 40; ++run) {
        WizardFlow flow(id, DecodeConfigReply(reply.data(), reply.size()), 1,
                        [](uint16_t, CommandBuffer&) { return true; });
        flow.settings().m_initDisk = static_cast<uint8_t>(run % 2);
        RecordingView view;
        flow.AttachProgress(view);
        int last = 0;
        for (int i = 0; i < 300; ++i) {
            PacketHeader h;
            std::memcpy(h.serverId, id, 6);
            if (next() % 8 == 0)
                h.serverId[5] = static_cast<uint8_t>(next());
            h.command = static_cast<uint16_t>(next() % 30);
            h.status = static_cast<int16_t>(next());
            std::vector<uint8_t> d(16 + next() % 40);
            for (auto& b : d)
                b = static_cast<uint8_t>(next());
            h.Encode(d.data());
            flow.OnReply(d.data(), d.size() - (next() % 5 == 0 ? d.size() - next() % 16 : 0));
            if (next() % 10 == 0)
                flow.machine()->OnTimer(kBarStepTimer.id + static_cast<int>(next() % 4));
            EXPECT_GE(flow.machine()->stage(), last);
            last = flow.machine()->stage();
            EXPECT_GE(flow.machine()->bar(), 0);
            EXPECT_LE(flow.machine()->bar(), 100);
        }
        flow.DetachProgress();
        EXPECT_EQ(view.running, 0u);
    }
}

TEST(ApplyMachineTest, EveryWatchedStageRetriesItsRequestAndGivesUpOnTheFailurePage) {
    struct Case {
        uint8_t initDisk;
        int replies;      // settings replies before the silence (0 to 6)
        int progress;     // disk progress replies (stage 7 needs one)
        bool full;        // the progress reached 100
        int stage;        // where the run waits
        uint16_t resent;  // what Retry sends again (0: nothing)
    } cases[] = {
        {1, 0, 0, false, 0, CMD_SET_NAME},     {1, 1, 0, false, 1, CMD_SET_PASSWORD},
        {1, 2, 0, false, 2, CMD_SET_DATETIME}, {1, 3, 0, false, 3, CMD_SET_ENCODING},
        {1, 4, 0, false, 4, CMD_SET_NETWORK},  {1, 5, 0, false, 5, CMD_INIT_DISK},
        {0, 6, 0, false, 6, CMD_FINISH},       {1, 6, 1, false, 7, 0},
        {1, 6, 1, true, 8, CMD_FINISH},
    };
    const int ids[] = {ID_WIZ_NAME_DONE,     ID_WIZ_PASSWORD_DONE, ID_WIZ_DATETIME_DONE,
                       ID_WIZ_ENCODING_DONE, ID_WIZ_NETWORK_DONE,  ID_WIZ_DISK_DONE};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        Fixture f(c.initDisk);
        f.m.Start();
        for (int k = 0; k < c.replies; ++k)
            f.m.OnCommand(ids[k]);
        for (int k = 0; k < c.progress; ++k)
            f.m.OnCommand(ID_WIZ_DISK_PROGRESS, c.full ? 100 : 40);
        ASSERT_EQ(f.m.stage(), c.stage);
        ASSERT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
        // Retry: the awaited request again, and the watchdog again.
        const size_t sent = f.view.sent.size();
        f.view.answers = {1};
        f.m.OnTimer(kNoReplyTimer.id);
        EXPECT_EQ(f.view.sent.size(), sent + (c.resent ? 1 : 0));
        if (c.resent) {
            EXPECT_EQ(f.view.sent.back(), c.resent);
            EXPECT_EQ(WireOf(f.view.buffers.back()), WireOf(f.view.buffers[sent - 1]));
        }
        EXPECT_TRUE(f.m.TimerRunning(kNoReplyTimer.id));
        // Cancel: the failure page; nothing runs and nothing moves any more.
        f.view.answers = {0};
        f.m.OnTimer(kNoReplyTimer.id);
        EXPECT_EQ(f.view.log.back(), "failure");
        EXPECT_TRUE(f.m.failed());
        EXPECT_EQ(f.view.running, 0u);
        const size_t logged = f.view.log.size();
        for (int id = ID_WIZ_NAME_DONE; id <= ID_WIZ_DISK_PROGRESS; ++id)
            f.m.OnCommand(id, 100);
        for (int t = kBarStepTimer.id; t <= kNoReplyTimer.id; ++t)
            f.m.OnTimer(t);
        f.m.Start();
        EXPECT_EQ(f.view.log.size(), logged);
        EXPECT_EQ(f.m.stage(), c.stage);
    }
}
