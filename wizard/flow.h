// One run of the quick configuration wizard for one server, from the
// configuration reply that opens it to the close of its sheet: the settings
// record, the pages' own fields, the encoding table and, once the applying
// page has been shown, its ApplyMachine. The main model hands it the wizard
// replies; the Win32 sheet reads and writes the settings. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "wizard/apply.h"
#include "wizard/settings.h"
#include "wizard/tables.h"

namespace wiz {

class WizardFlow {
public:
    // Sends a request to the wizard's server, or nothing (returning false)
    // when that server is no longer in the list.
    using Sender = std::function<bool(uint16_t command, proto::CommandBuffer& items)>;

    // `serverId`: bytes 0-5 of the server's id; `reply`: its configuration
    // reply from `sourceIp` (host order).
    WizardFlow(const uint8_t serverId[6], const proto::ConfigReply& reply, uint32_t sourceIp,
               Sender send);
    ~WizardFlow();

    // False when the server reported no disk: the wizard is not shown and
    // the message names the server by the reply's name and address.
    bool hasDisk() const { return hasDisk_; }
    const std::string& replyName() const { return replyName_; }
    std::string replyAddress() const { return proto::FormatIPv4(sourceIp_); }

    WizardSettings& settings() { return settings_; }
    PageState& pages() { return pages_; }
    EncodingTable& encodings() { return encodings_; }

    // The applying page, first shown: the run starts and reports to `view`.
    void AttachProgress(ApplyView& view);
    // The applying page goes away: its timers stop; later replies are ignored.
    void DetachProgress();
    ApplyMachine* machine() { return machine_.get(); }

    // A reply of a wizard command (CMD_DISK_PROGRESS to CMD_DONE) accepted
    // by the dispatcher. Replies from another server, and all replies
    // before the applying page was shown, are ignored.
    void OnReply(const uint8_t* data, std::size_t length);

    bool Send(uint16_t command, proto::CommandBuffer& items) { return send_(command, items); }

    // Gives the wizard's server record a new name and reads its address;
    // false when the server is no longer in the list.
    using ServerAccess = std::function<bool(const std::string& name, uint32_t* ip)>;
    void SetServerAccess(ServerAccess access) { access_ = std::move(access); }

    // Finish on the finish page with "Continue to map network drive for me."
    // ticked: the server's record takes the name just given, and the share
    // selection opens for that name and the server's address (as text).
    // A server that has left the list meanwhile is still named by the
    // address its configuration reply came from.
    struct ShareTarget {
        std::string address;
        std::string name;
    };
    ShareTarget FinishTarget();

private:
    uint8_t serverId_[6];
    uint32_t sourceIp_;
    Sender send_;
    ServerAccess access_;
    bool hasDisk_ = true;
    std::string replyName_;
    WizardSettings settings_;
    PageState pages_;
    EncodingTable encodings_;
    std::unique_ptr<ApplyMachine> machine_;
};

}  // namespace wiz
