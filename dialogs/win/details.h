// Read-only view of a server's status reply.
#pragma once

#include "protocol/replies.h"
#include "ui/dialog.h"

class CDetails : public ui::Dialog {
public:
    // The reply stays owned by the caller for the duration of the modal call.
    CDetails(HWND parent, const proto::StatusReply& reply);

protected:
    BOOL OnInitDialog() override;

private:
    const proto::StatusReply& reply_;
};
