// The main window's side of waking a server: the remembered servers under
// HKCU\Software\Kivo\Servers, the magic packet's socket, "Wake Up a Server"
// and the messages of the wake flow. The window forwards each server it
// lists and its timers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "flow/host.h"
#include "wake/wake_flow.h"

// One REG_SZ value per server under HKCU\Software\Kivo\Servers.
class RegistryRecordStore : public wake::RecordStore {
public:
    std::vector<std::pair<std::string, std::string>> ReadAll() override;
    bool Write(const std::string& key, const std::string& value) override;
    bool Remove(const std::string& key) override;
};

class CWakeSession : public wake::WakeView {
public:
    CWakeSession(HWND window, flow::Host& host);

    void OnServerListed(const proto::ServerInfo& server);
    // "Wake &Up...": the dialog, then the packet.
    void Run();
    // Returns whether the timer was the wake flow's.
    bool OnTimer(int id);
    // Writes what is still unsaved.
    void Flush() { flow_.Flush(); }

    // WakeView
    std::vector<proto::LocalInterface> LocalInterfaces() override;
    int SendWake(const std::vector<uint8_t>& packet, uint32_t destination) override;
    void StartTimer(int id, unsigned ms) override;
    void StopTimer(int id) override;
    void Rediscover() override { host_.StartDiscovery(); }
    void ShowWakeResult(bool answered, const std::string& name) override;
    int64_t Now() override;

private:
    // The answer is shown from a timer of its own, outside the discovery
    // reply that brought it.
    static constexpr int TIMER_WAKE_SHOW = 113;
    void Message(UINT textId, const std::string& name, UINT captionId, UINT icon);
    // The hardware addresses of the servers listed now.
    std::vector<wake::Mac> Listed();

    HWND window_;
    flow::Host& host_;
    RegistryRecordStore store_;
    wake::ServerMemory memory_;
    wake::WakeFlow flow_;
    bool pendingShow_ = false;
    bool pendingAnswered_ = false;
    std::string pendingName_;
};
