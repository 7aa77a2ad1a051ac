// Read-only view of a server's status reply.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/dialog.h"

class CDetails : public ui::Dialog {
public:
    // The reply stays owned by the caller for the duration of the modal call.
    CDetails(HWND parent, const uint8_t* reply, size_t length);

protected:
    BOOL OnInitDialog() override;

private:
    const uint8_t* reply_;
    size_t length_;
};
