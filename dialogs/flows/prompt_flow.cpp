#include "dialogs/flows/prompt_flow.h"

#include <cstring>

#include "resources/brellmark/resource.h"

namespace dialogs {

void PromptFlow::Initialize() {
    gate_.Reset(view_.LoadAskSetup());
}

void PromptFlow::OnListedStatus(int32_t configured, const std::string& name, uint32_t sourceIp,
                                const uint8_t serverId[6]) {
    if (!gate_.ShouldOpen(configured) || !view_.OpenSetupPrompt(name, proto::FormatIPv4(sourceIp)))
        return;
    rules::PromptTarget target;
    target.name = name;
    target.ip = sourceIp;
    std::memcpy(target.id, serverId, 6);
    gate_.Opened(target);
}

void PromptFlow::OnDontAsk(bool ticked) {
    view_.SaveAskSetup(gate_.DontAsk(ticked));
}

void PromptFlow::OnAnswer(bool cancelled) {
    if (!gate_.open())
        return;  // taken away without an answer
    const rules::PromptTarget target = gate_.Closed();
    if (cancelled || host_.closing())
        return;
    std::string password, adminName;
    // A flow's dialog: no second prompt, and so no login, over it.
    if (!login_.AskLogin(&password, &adminName))
        return;
    // The server the prompt named, looked up now: the list may have been
    // rebuilt while the prompt or the login was open.
    const flow::ServerHandle server = host_.SelectByReply(target.ip, target.id, target.name);
    if (server == flow::kNoServer) {
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
        return;
    }
    login_.SendLogin(server, flow::FLOW_WIZARD, password, adminName);
}

void PromptFlow::DialogOpened() {
    if (gate_.DialogOpened())
        view_.CloseSetupPrompt();
}

void PromptFlow::DialogClosed() {
    gate_.DialogClosed();
}

void PromptFlow::Withdraw() {
    if (gate_.open()) {
        gate_.Closed();
        view_.CloseSetupPrompt();
    }
}

}  // namespace dialogs
