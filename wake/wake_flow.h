// Waking a remembered server: the choice (only a remembered server that is
// not listed now), the magic packet to every allowed destination, the wait,
// the new discovery and the answer. Portable; the window implements WakeView
// and forwards the wake timers and each server it lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flow/host.h"
#include "protocol/discovery.h"
#include "wake/server_memory.h"

namespace wake {

constexpr flow::Timer kWakeWaitTimer{110, 5000};     // from the packet to the new discovery
constexpr flow::Timer kWakeAnswerTimer{111, 15000};  // the woken server's time to answer it
constexpr flow::Timer kWakeSaveTimer{112, 2000};     // remembered servers written in one go
// How long a woken server's disks may take to spin up, told to the user.
constexpr unsigned kSpinUpSeconds = 60;

class WakeView {
public:
    virtual ~WakeView() = default;
    virtual std::vector<proto::LocalInterface> LocalInterfaces() = 0;
    // Sends `packet` to `destination` (host order) on kWakePort; 0 or the
    // system's error code.
    virtual int SendWake(const std::vector<uint8_t>& packet, uint32_t destination) = 0;
    virtual void StartTimer(int id, unsigned ms) = 0;
    virtual void StopTimer(int id) = 0;
    // A new discovery of the main window.
    virtual void Rediscover() = 0;
    // Whether the woken server answered the new discovery.
    virtual void ShowWakeResult(bool answered, const std::string& name) = 0;
    virtual int64_t Now() = 0;
};

class WakeFlow {
public:
    WakeFlow(WakeView& view, ServerMemory& memory) : view_(view), memory_(memory) {}

    // A server the main window listed (header bytes 0-5 of its discovery
    // reply, its name and address).
    void OnServerListed(const uint8_t serverId[6], const std::string& name, uint32_t ip);

    // The servers the dialog offers: remembered, and not among `listed`.
    std::vector<RememberedServer> Candidates(const std::vector<Mac>& listed) const {
        return memory_.NotListed(listed);
    }

    enum class WakeResult { Sent, NotRemembered, Listed, SendFailed };
    // Wakes `mac` if it is a candidate now (the list may have changed while
    // the dialog was open). Sent when at least one destination took it.
    WakeResult Wake(const Mac& mac, const std::vector<Mac>& listed);
    bool Forget(const Mac& mac) { return memory_.Forget(mac); }

    // Returns whether the timer was one of the flow's.
    bool OnTimer(int id);
    // Writes what is still unsaved (the window closes).
    void Flush();

    bool waiting() const { return waiting_; }
    // The destinations and results of the last Wake.
    struct Sent {
        uint32_t destination;
        int error;
    };
    const std::vector<Sent>& lastSent() const { return sent_; }

private:
    void EndWait();

    WakeView& view_;
    ServerMemory& memory_;
    bool waiting_ = false;
    bool saveTimer_ = false;
    Mac target_{};
    std::string targetName_;
    std::vector<Sent> sent_;
};

}  // namespace wake
