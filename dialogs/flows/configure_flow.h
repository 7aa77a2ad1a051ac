// The administrator login and the basic configuration of a server (storage
// and router-type): the login that every configuring flow starts with, the
// configuration read, the dialog of the server's type, the restart question
// and the write with its time limit. Portable.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/rules/basic_config_rules.h"
#include "dialogs/rules/router_config_rules.h"
#include "flow/host.h"
#include "protocol/packet.h"
#include "protocol/replies.h"

namespace dialogs {

constexpr flow::Timer kConfigReplyTimer{101, 120000};  // the write's time limit

// What the flow asks of the window. Dialogs are modal: the calls return when
// the user has closed them, and replies may be dispatched meanwhile.
class ConfigureView {
public:
    virtual ~ConfigureView() = default;
    // Administrator login; on OK the two texts as the dialog read them.
    virtual bool RunLogin(std::string* password, std::string* adminName) = 0;
    // The storage server's basic configuration, filled from `fields`; on OK
    // `rules` holds the validated values and the change flags.
    virtual bool RunBasicConfig(const rules::BasicConfigFields& fields,
                                rules::BasicConfigRules& rules) = 0;
    // The same for a router-type server.
    virtual bool RunRouterConfig(const rules::RouterConfigFields& fields,
                                 rules::RouterConfigRules& rules) = 0;
    virtual bool AskYesNo(int textId, int captionId) = 0;
    virtual void ShowMessage(int textId, int captionId) = 0;
};

class ConfigureFlow {
public:
    ConfigureFlow(flow::Host& host, ConfigureView& view) : host_(host), view_(view) {}

    // "&Configure", the wizard and the import: the login for the selected
    // server, marked with `flowMark` (FLOW_CONFIGURE, FLOW_WIZARD,
    // FLOW_IMPORT), which decides where its configuration reply goes.
    void Start(int flowMark);
    // The login dialog alone (as a flow's dialog); false on Cancel or when
    // the window closed meanwhile.
    bool AskLogin(std::string* password, std::string* adminName);
    // Marks `server` and sends it the login; false when it is no longer
    // listed and selected.
    bool SendLogin(flow::ServerHandle server, int flowMark, const std::string& password,
                   const std::string& adminName);

    // Replies the dispatcher has accepted.
    void OnLoginReply(const proto::PacketHeader& h);
    // The configuration reply of a server marked FLOW_CONFIGURE.
    void OnConfigReply(const proto::ReplyBlock& block, flow::ServerHandle server);
    void OnWriteReply(const proto::PacketHeader& h);
    // Whether `id` was this flow's timer.
    bool OnTimer(int id);
    // The window is closing.
    void Close();

    // 0 while a write waits for its answer.
    int configReplied() const { return configReplied_; }

private:
    flow::Host& host_;
    ConfigureView& view_;
    int configReplied_ = 1;
    uint8_t writeServerId_[6] = {};  // the server of the last configuration write
};

}  // namespace dialogs
