#include "wizard/wizard_run.h"

#include <algorithm>
#include <cstring>

namespace wiz {

using namespace proto;

bool WizardRun::Offer() {
    flow::Dialog dialog(host_);
    return view_.AskToRun();
}

flow::ServerHandle WizardRun::Current() {
    if (host_.WithServer(server_, [](ServerInfo&) {}))
        return server_;
    // The list was rebuilt under the wizard: its server, if listed again.
    server_ = host_.FindById(serverId_);
    return server_;
}

bool WizardRun::Send(CommandBuffer& buffer, uint16_t command) {
    return host_.SendToServer(Current(), buffer, command, [](ServerInfo& s, const CommandBuffer&) {
        s.flow = flow::FLOW_WIZARD;
    });
}

void WizardRun::OnConfigReply(const ReplyBlock& block, flow::ServerHandle server) {
    if (flow_ != nullptr)
        return;  // one wizard at a time
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    if (!host_.WithServer(server,
                          [&](ServerInfo& s) { std::memcpy(serverId_, s.id, sizeof serverId_); }))
        return;
    server_ = server;
    WizardFlow flow(
        block.data, DecodeConfigReply(block.data, length), block.sourceIp,
        [this](uint16_t command, CommandBuffer& items) { return Send(items, command); });
    flow_ = &flow;
    opening_();
    flow.SetServerAccess([this](const std::string& name, uint32_t* ip) {
        // The list entry carries the name just given.
        return host_.WithServer(Current(), [&](ServerInfo& s) {
            std::memset(s.name, 0, sizeof s.name);
            std::memcpy(s.name, name.data(), std::min(name.size(), sizeof s.name - 1));
            *ip = s.ip;
        });
    });
    bool shown;
    {
        flow::Dialog dialog(host_);
        shown = view_.RunWizard(flow);
    }
    flow_ = nullptr;
    host_.Deselect(server);
    host_.Deselect(server_);
    server_ = flow::kNoServer;
    if (shown)
        host_.StartDiscovery();
}

void WizardRun::OnReply(const uint8_t* data, std::size_t length) {
    if (flow_ != nullptr)
        flow_->OnReply(data, length);
}

}  // namespace wiz
