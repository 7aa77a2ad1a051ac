// "&Details": the selected server's status, asked anew and shown in the
// details dialog. Portable.
#pragma once

#include "flow/host.h"
#include "protocol/replies.h"

namespace dialogs {

class DetailsView {
public:
    virtual ~DetailsView() = default;
    // The details dialog, modally.
    virtual void ShowDetails(const proto::StatusReply& reply) = 0;
};

class DetailsFlow {
public:
    DetailsFlow(flow::Host& host, DetailsView& view) : host_(host), view_(view) {}

    // Asks the selected server for its status; false when none is selected.
    // Until the next discovery the status replies are the details' own.
    bool Start();
    // A status reply while the details own them: shown when it is the
    // awaited one.
    void OnStatusReply(const proto::StatusReply& reply);

private:
    flow::Host& host_;
    DetailsView& view_;
};

}  // namespace dialogs
