#include "dialogs/flows/configure_flow.h"

#include <algorithm>
#include <cstring>

#include "dialogs/rules/login_request.h"
#include "resources/brellmark/resource.h"

namespace dialogs {

using namespace proto;

void ConfigureFlow::Start(int flowMark) {
    const flow::ServerHandle server = host_.SelectedServer();
    if (server == flow::kNoServer)
        return;
    std::string password, adminName;
    if (!AskLogin(&password, &adminName))
        return;
    if (!SendLogin(server, flowMark, password, adminName)) {
        // The list was rebuilt while the dialog was open.
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
    }
}

bool ConfigureFlow::AskLogin(std::string* password, std::string* adminName) {
    flow::Dialog dialog(host_);
    return view_.RunLogin(password, adminName) && !host_.closing();
}

bool ConfigureFlow::SendLogin(flow::ServerHandle server, int flowMark, const std::string& password,
                              const std::string& adminName) {
    if (!host_.IsSelected(server))
        return false;
    host_.WithServer(server, [&](ServerInfo& s) { s.flow = flowMark; });
    CommandBuffer buffer;
    rules::AddLoginItems(password, adminName, buffer);
    host_.SendAndAwait(server, buffer, CMD_LOGIN);
    return true;
}

void ConfigureFlow::OnLoginReply(const PacketHeader& h) {
    if (!host_.TakeAwaited(CMD_LOGIN))
        return;
    if (!DecodeLoginResult(h).accepted) {
        view_.ShowMessage(IDS_LOGIN_REFUSED, IDS_CAPTION_ERROR);
        return;
    }
    CommandBuffer get;
    const flow::ServerHandle server = host_.SelectedServer();
    host_.SendAndAwait(server, get, CMD_GET_CONFIG);
}

void ConfigureFlow::OnConfigReply(const ReplyBlock& block, flow::ServerHandle server) {
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    const ConfigReply reply = DecodeConfigReply(block.data, length);
    const bool routerType = reply.routerType;
    // The dialog of the server's type; both report "configuration changed"
    // (restart question) and "date, time or other settings changed".
    rules::BasicConfigRules basic;
    rules::RouterConfigRules routerRules;
    bool ok, configChanged, settingsChanged;
    flow::Dialog dialog(host_);  // and the restart question after it
    if (routerType) {
        ok = view_.RunRouterConfig(rules::RouterFieldsFromConfigReply(reply), routerRules);
        configChanged = routerRules.configChanged();
        settingsChanged = routerRules.settingsChanged();
    } else {
        ok = view_.RunBasicConfig(rules::FieldsFromConfigReply(reply), basic);
        configChanged = basic.configChanged();
        settingsChanged = basic.dateTimeChanged();
    }
    if (!ok || host_.closing())
        return;

    uint8_t restart = 0;
    const rules::ConfigDecision decision = rules::DecideAfterOk(configChanged, settingsChanged);
    if (decision.askRestart && view_.AskYesNo(IDS_RESTART_QUESTION, IDS_CAPTION_WARNING))
        restart = 1;
    if (host_.closing())
        return;  // the program closed while the question was open
    // The list may have been rebuilt while the dialogs were open: then the
    // server they were filled from is gone and nothing is sent.
    if (!host_.IsSelected(server)) {
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
        return;
    }
    CommandBuffer buffer;
    if (decision.sendLogout) {
        host_.SendToSelected(buffer, CMD_LOGOUT);
        return;
    }
    if (routerType)
        rules::AddRouterSetConfigItems(routerRules.fields(), settingsChanged, restart, buffer);
    else
        rules::AddSetConfigItems(basic.fields(), settingsChanged, restart, buffer);
    host_.WithServer(server, [&](ServerInfo& s) { std::memcpy(writeServerId_, s.id, 6); });
    host_.PlayBusy();
    host_.StartTimer(kConfigReplyTimer.id, kConfigReplyTimer.ms);
    configReplied_ = 0;
    host_.SendToSelected(buffer, CMD_SET_CONFIG);
}

void ConfigureFlow::OnWriteReply(const PacketHeader& h) {
    // Only the answer of the server written to, while the write is open.
    if (configReplied_ != 0 || std::memcmp(h.serverId, writeServerId_, 6) != 0)
        return;
    configReplied_ = 1;
    host_.StopTimer(kConfigReplyTimer.id);
    const WriteResult result = DecodeWriteResult(h);
    if (result == WriteResult::Busy)
        view_.ShowMessage(IDS_SETUP_BUSY, IDS_CAPTION_WARNING);
    if (result == WriteResult::Failed)
        view_.ShowMessage(IDS_WRITE_CONFIG_ERROR, IDS_CAPTION_WARNING);
}

bool ConfigureFlow::OnTimer(int id) {
    if (id != kConfigReplyTimer.id)
        return false;
    host_.StopBusy();
    // Stop first: the message box below runs a message loop of its own.
    host_.StopTimer(kConfigReplyTimer.id);
    if (configReplied_ == 0) {
        configReplied_ = 1;
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
    }
    return true;
}

void ConfigureFlow::Close() {
    host_.StopTimer(kConfigReplyTimer.id);
    configReplied_ = 1;
}

}  // namespace dialogs
