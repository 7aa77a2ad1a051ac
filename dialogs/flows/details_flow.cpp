#include "dialogs/flows/details_flow.h"

namespace dialogs {

using namespace proto;

bool DetailsFlow::Start() {
    const flow::ServerHandle server = host_.SelectedServer();
    if (server == flow::kNoServer ||
        !host_.WithServer(server, [](ServerInfo& s) { s.flow = flow::FLOW_DETAILS; }))
        return false;
    CommandBuffer buffer;
    host_.SendAndAwait(server, buffer, CMD_GET_STATUS);
    return true;
}

void DetailsFlow::OnStatusReply(const StatusReply& reply) {
    if (!host_.TakeAwaited(CMD_GET_STATUS))
        return;
    flow::Dialog dialog(host_);
    view_.ShowDetails(reply);
}

}  // namespace dialogs
