// The not-configured prompt: a listed server that reports it was never
// configured is offered the wizard (modeless, one at a time, never over
// another flow's dialog); its OK logs in to the very server it named. The
// stored "don't ask" choice. Portable.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/flows/configure_flow.h"
#include "dialogs/rules/setup_prompt.h"
#include "flow/host.h"

namespace dialogs {

class PromptView {
public:
    virtual ~PromptView() = default;
    // Opens the prompt about the named server, modeless (false when it could
    // not be shown). Its answer comes back through PromptFlow::OnAnswer.
    virtual bool OpenSetupPrompt(const std::string& name, const std::string& address) = 0;
    // Takes an open prompt away without an answer.
    virtual void CloseSetupPrompt() = 0;
    // The stored choice whether to ask ("Fastrig"): read at start, written
    // when the prompt's box is clicked.
    virtual uint32_t LoadAskSetup() = 0;
    virtual void SaveAskSetup(uint32_t value) = 0;
    virtual void ShowMessage(int textId, int captionId) = 0;
};

class PromptFlow {
public:
    // The answer's login goes through `login`.
    PromptFlow(flow::Host& host, PromptView& view, ConfigureFlow& login)
        : host_(host), view_(view), login_(login) {}

    // Window start: the stored choice.
    void Initialize();
    // A status reply that filled a list row: its TAG_CONFIGURED, and the
    // server as the reply named it.
    void OnListedStatus(int32_t configured, const std::string& name, uint32_t sourceIp,
                        const uint8_t serverId[6]);
    // The prompt's box clicked, and its answer once it is gone (`cancelled`
    // for Cancel, Escape or its close).
    void OnDontAsk(bool ticked);
    void OnAnswer(bool cancelled);
    // Another flow's dialog opens or closes over the list.
    void DialogOpened();
    void DialogClosed();
    // Another server's flow starts: an open prompt goes away.
    void Withdraw();

    const rules::SetupPromptGate& gate() const { return gate_; }

private:
    flow::Host& host_;
    PromptView& view_;
    ConfigureFlow& login_;
    rules::SetupPromptGate gate_;
};

}  // namespace dialogs
