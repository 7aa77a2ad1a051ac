// The About box: icon, version line, a second line and OK.
#pragma once

#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

class CAbout : public ui::Dialog {
public:
    explicit CAbout(HWND parent) : ui::Dialog(IDD_ABOUTBOX, parent) {}
};
