// Name, date, time, WAN, LAN and DHCP server settings of a router-type
// server. The checks live in rules::RouterConfigRules; this class moves texts
// between it and the boxes.
#pragma once

#include "dialogs/rules/router_config_rules.h"
#include "ui/dialog.h"

class CRouterConfig : public ui::Dialog {
public:
    // `rules` outlives the dialog: the caller reads the values and the change
    // flags from it after OK.
    CRouterConfig(HWND parent, const rules::RouterConfigFields& fields,
                  rules::RouterConfigRules& rules);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void SetWanMode(int mode);
    void ApplyDhcpServer();
    rules::RouterConfigFields ReadControls();
    uint32_t Address(int id);

    rules::RouterConfigFields fields_;
    rules::RouterConfigRules& rules_;
    int wanMode_ = 1;
};
