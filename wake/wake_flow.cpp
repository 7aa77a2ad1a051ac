#include "wake/wake_flow.h"

#include <algorithm>
#include <cstring>

#include "wake/magic_packet.h"

namespace wake {

void WakeFlow::OnServerListed(const uint8_t serverId[6], const std::string& name, uint32_t ip) {
    Mac mac;
    std::memcpy(mac.data(), serverId, 6);
    if (memory_.Remember(mac, name, ip, view_.Now()) && !saveTimer_) {
        // A discovery lists its servers in a burst: one write after it.
        view_.StartTimer(kWakeSaveTimer.id, kWakeSaveTimer.ms);
        saveTimer_ = true;
    }
    if (waiting_ && mac == target_) {
        EndWait();
        view_.ShowWakeResult(true, targetName_);
    }
}

WakeFlow::WakeResult WakeFlow::Wake(const Mac& mac, const std::vector<Mac>& listed) {
    const RememberedServer* s = memory_.Find(mac);
    if (s == nullptr)
        return WakeResult::NotRemembered;
    if (std::find(listed.begin(), listed.end(), mac) != listed.end())
        return WakeResult::Listed;
    const std::vector<uint8_t> packet = MagicPacket(mac);
    sent_.clear();
    bool any = false;
    for (uint32_t destination : WakeDestinations(view_.LocalInterfaces())) {
        const int error = view_.SendWake(packet, destination);
        sent_.push_back({destination, error});
        any = any || error == 0;
    }
    if (!any)
        return WakeResult::SendFailed;
    // A wake already waiting gives way to this one.
    EndWait();
    target_ = mac;
    targetName_ = s->name;
    waiting_ = true;
    view_.StartTimer(kWakeWaitTimer.id, kWakeWaitTimer.ms);
    return WakeResult::Sent;
}

void WakeFlow::EndWait() {
    if (!waiting_)
        return;
    waiting_ = false;
    view_.StopTimer(kWakeWaitTimer.id);
    view_.StopTimer(kWakeAnswerTimer.id);
}

bool WakeFlow::OnTimer(int id) {
    switch (id) {
        case kWakeWaitTimer.id:
            view_.StopTimer(kWakeWaitTimer.id);
            if (waiting_) {
                view_.StartTimer(kWakeAnswerTimer.id, kWakeAnswerTimer.ms);
                view_.Rediscover();
            }
            return true;
        case kWakeAnswerTimer.id:
            view_.StopTimer(kWakeAnswerTimer.id);
            if (waiting_) {
                EndWait();
                view_.ShowWakeResult(false, targetName_);
            }
            return true;
        case kWakeSaveTimer.id:
            view_.StopTimer(kWakeSaveTimer.id);
            saveTimer_ = false;
            memory_.Save();
            return true;
        default:
            return false;
    }
}

void WakeFlow::Flush() {
    if (saveTimer_) {
        view_.StopTimer(kWakeSaveTimer.id);
        saveTimer_ = false;
    }
    memory_.Save();
}

}  // namespace wake
