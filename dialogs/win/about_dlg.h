// The About box: icon, version line, a second line and OK.
#pragma once

#include "ui/dialog.h"
#include "resources/brellmark/resource.h"

class CAbout : public ui::Dialog {
public:
    explicit CAbout(HWND parent) : ui::Dialog(IDD_ABOUTBOX, parent) {}
};
