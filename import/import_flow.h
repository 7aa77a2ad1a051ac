// The account import as the dispatcher drives it: the configuration reply of
// a server marked for the import opens its windows, each account line goes
// to that server, and its answers reach the waiting worker whichever server
// the list selects meanwhile. Portable.
#pragma once

#include <atomic>
#include <string>

#include "flow/host.h"
#include "import/import_run.h"
#include "protocol/packet.h"

namespace accounts {

class ImportView {
public:
    virtual ~ImportView() = default;
    // The account import for `server`: file choice, windows, worker. Its
    // worker sends through ImportFlow::SendImportLine. Returns whether its
    // windows opened (ImportFlow::Done tells when they are gone).
    virtual bool StartImport(ImportServer server) = 0;
    // A row of the import's result window, if it is open.
    virtual void AddImportRow(const std::string& type, const std::string& text) = 0;
};

class ImportFlow : public LineSender {
public:
    ImportFlow(flow::Host& host, ImportView& view) : host_(host), view_(view) {}

    // The configuration reply of `server`, marked for the import.
    void OnConfigReply(flow::ServerHandle server);
    // A CMD_IMPORT_USER reply, before the acceptance rule: to the mailbox,
    // not by the selection.
    void OnReply(const proto::PacketHeader& h);
    // The import's windows are gone.
    void Done();

    // LineSender
    bool SendImportLine(ImportServer server, const std::string& line,
                        ReplyMailbox& mailbox) override;
    ReplyMailbox& importReplies() override { return replies_; }

private:
    flow::Host& host_;
    ImportView& view_;
    ReplyMailbox replies_;
    std::atomic<flow::ServerHandle> server_{flow::kNoServer};  // of the line last sent
    bool open_ = false;  // the import's windows count as a flow's dialog
};

}  // namespace accounts
