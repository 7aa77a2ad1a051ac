#include "import/import_flow.h"

namespace accounts {

using namespace proto;

void ImportFlow::OnConfigReply(flow::ServerHandle server) {
    flow::Dialog dialog(host_);  // the file choice
    if (view_.StartImport(server) && !open_) {
        open_ = true;
        host_.DialogOpened();
    }
}

void ImportFlow::Done() {
    if (open_) {
        open_ = false;
        host_.DialogClosed();
    }
}

void ImportFlow::OnReply(const PacketHeader& h) {
    const bool taken =
        replies_.Deliver(h.serverId, h.seq, h.status, [&](const std::string& line, int16_t status) {
            view_.AddImportRow(kImportFailed, FailureText(line, status));
        });
    if (!taken)
        return;
    // Numbered on from the answer, as an accepted reply is.
    host_.WithServer(server_.load(), [&](ServerInfo& s) { s.seq = h.seq; });
}

bool ImportFlow::SendImportLine(ImportServer server, const std::string& line,
                                ReplyMailbox& mailbox) {
    CommandBuffer buffer;
    if (!buffer.AddItem(TAG_IMPORT_LINE, line.data(), line.size()))
        return false;
    return host_.SendToServer(server, buffer, CMD_IMPORT_USER,
                              [&](ServerInfo& s, const CommandBuffer& numbered) {
                                  s.flow = flow::FLOW_IMPORT;
                                  server_ = server;
                                  // Armed before the request leaves.
                                  mailbox.Expect(s.id, numbered.header.seq, line);
                              });
}

}  // namespace accounts
