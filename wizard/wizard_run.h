// The quick configuration wizard as the dispatcher drives it: the
// configuration reply of a server marked for the wizard opens one run
// (WizardFlow) for that server, the wizard replies go to it, and its requests
// follow the server when a new discovery lists it again. Portable.
#pragma once

#include <cstdint>
#include <functional>

#include "flow/host.h"
#include "protocol/exchange.h"
#include "wizard/flow.h"

namespace wiz {

class WizardView {
public:
    virtual ~WizardView() = default;
    // The wizard for `flow`, modally; or, for a server without a disk, its
    // message. Returns whether the wizard was shown.
    virtual bool RunWizard(WizardFlow& flow) = 0;
    // A click on a row of a server never configured: whether to run it.
    virtual bool AskToRun() = 0;
};

class WizardRun {
public:
    // `opening` runs as a wizard opens: one server at a time, so an open
    // not-configured prompt about another one goes away.
    WizardRun(flow::Host& host, WizardView& view, std::function<void()> opening)
        : host_(host), view_(view), opening_(std::move(opening)) {}

    // The question on a click on a server never configured (a flow's dialog).
    bool Offer();
    // The configuration reply of `server`, marked for the wizard: the wizard
    // runs (unless one runs already) and, if it was shown, a new discovery
    // follows its close.
    void OnConfigReply(const proto::ReplyBlock& block, flow::ServerHandle server);
    // A wizard reply (CMD_DISK_PROGRESS to CMD_DONE) the dispatcher accepted:
    // to the running wizard, which takes only the one it awaits.
    void OnReply(const uint8_t* data, std::size_t length);
    bool running() const { return flow_ != nullptr; }

private:
    // The running wizard's server: its record while listed, else the record
    // that a new discovery made for it (same id), else kNoServer.
    flow::ServerHandle Current();
    bool Send(proto::CommandBuffer& buffer, uint16_t command);

    flow::Host& host_;
    WizardView& view_;
    std::function<void()> opening_;
    WizardFlow* flow_ = nullptr;                   // while the wizard runs
    flow::ServerHandle server_ = flow::kNoServer;  // its server's record
    uint8_t serverId_[8] = {};
};

}  // namespace wiz
