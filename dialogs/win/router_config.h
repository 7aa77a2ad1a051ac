// Name, date, time, WAN, LAN and DHCP server settings of a router-type
// server. The checks live in rules::RouterConfigRules; this class moves texts
// between it and the boxes.
#pragma once

#include "dialogs/rules/router_config_rules.h"
#include "dialogs/win/config_boxes.h"

class CRouterConfig : public CConfigDialog<rules::RouterConfigFields, rules::RouterConfigRules> {
public:
    CRouterConfig(HWND parent, const rules::RouterConfigFields& fields,
                  rules::RouterConfigRules& rules);

protected:
    bool OnCommand(int id, int code, HWND control) override;

private:
    void SetWanMode(int mode);
    void ApplyDhcpServer();
    void FillControls(const rules::RouterConfigFields& f) override;
    rules::RouterConfigFields ReadControls() override;
    uint32_t Address(int id);

    int wanMode_ = 1;
};
