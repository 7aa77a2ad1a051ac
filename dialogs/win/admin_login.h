// Asks for the administrator name and password. No checks: the server decides.
#pragma once

#include <string>

#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

class CAdminLogin : public ui::Dialog {
public:
    explicit CAdminLogin(HWND parent) : ui::Dialog(IDD_ADMIN_LOGIN, parent) {}

    // Read on OK: at most 127 characters each, in the ANSI code page.
    std::string password;
    std::string adminName;

protected:
    BOOL OnInitDialog() override {
        SetItemText(IDC_ADMIN_NAME, L"Administrator");
        SetItemText(IDC_ADMIN_PASSWORD, L"");
        return TRUE;  // focus stays on the name box
    }
    void OnOK() override {
        password = Cut(ui::Narrow(ItemText(IDC_ADMIN_PASSWORD)));
        adminName = Cut(ui::Narrow(ItemText(IDC_ADMIN_NAME)));
        EndDialog(hwnd(), IDOK);
    }

private:
    static std::string Cut(std::string s) {
        if (s.size() > 127)
            s.resize(127);
        return s;
    }
};
