#include "wizard/flow.h"

#include <cstring>

#include "resources/brellmark/resource.h"

namespace wiz {

using namespace proto;

WizardFlow::WizardFlow(const uint8_t serverId[6], const ConfigReply& reply, uint32_t sourceIp,
                       Sender send)
    : sourceIp_(sourceIp), send_(std::move(send)) {
    std::memcpy(serverId_, serverId, 6);
    hasDisk_ = FillFromConfigReply(reply, &settings_, &pages_);
    replyName_ = settings_.m_serverName;
}

WizardFlow::~WizardFlow() {
    DetachProgress();
}

void WizardFlow::AttachProgress(ApplyView& view) {
    if (machine_)
        return;
    machine_ = std::make_unique<ApplyMachine>(settings_, pages_, view);
    machine_->Start();
}

void WizardFlow::DetachProgress() {
    if (machine_)
        machine_->Stop();
}

void WizardFlow::OnReply(const uint8_t* data, std::size_t length) {
    if (length < kHeaderSize || !machine_)
        return;
    const PacketHeader h = PacketHeader::Decode(data);
    if (std::memcmp(h.serverId, serverId_, 6) != 0)
        return;
    const int id = PageCommandFor(h.command);
    if (id == 0)
        return;
    if (id == ID_WIZ_DISK_PROGRESS) {
        if (machine_->stage() != 7)
            return;
        settings_.m_diskPercent = static_cast<uint16_t>(h.status < 0     ? 0
                                                        : h.status > 100 ? 100
                                                                         : h.status);
    }
    machine_->OnCommand(id, settings_.m_diskPercent);
}

WizardFlow::ShareTarget WizardFlow::FinishTarget() {
    ShareTarget t;
    t.name = settings_.m_serverName;
    uint32_t ip = sourceIp_;
    if (access_ && !access_(t.name, &ip))
        ip = sourceIp_;
    t.address = FormatIPv4(ip);
    return t;
}

}  // namespace wiz
