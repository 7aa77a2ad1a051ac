// Name, date, time and TCP/IP settings of a storage server. The checks live
// in rules::BasicConfigRules; this class moves texts between it and the boxes.
#pragma once

#include "dialogs/rules/basic_config_rules.h"
#include "dialogs/win/config_boxes.h"

class CBasicConfig : public CConfigDialog<rules::BasicConfigFields, rules::BasicConfigRules> {
public:
    CBasicConfig(HWND parent, const rules::BasicConfigFields& fields,
                 rules::BasicConfigRules& rules);

protected:
    bool OnCommand(int id, int code, HWND control) override;

private:
    void SetIpMode(int mode);
    void FillControls(const rules::BasicConfigFields& f) override;
    rules::BasicConfigFields ReadControls() override;

    int ipMode_ = 2;
};
