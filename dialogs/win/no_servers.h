// Shown when a discovery ends without any server answering.
#pragma once

#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

class CNoServers : public ui::Dialog {
public:
    explicit CNoServers(HWND parent) : ui::Dialog(IDD_NO_SERVERS, parent) {}
};
