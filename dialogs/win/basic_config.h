// Name, date, time and TCP/IP settings of a storage server. The checks live
// in rules::BasicConfigRules; this class moves texts between it and the boxes.
#pragma once

#include "dialogs/rules/basic_config_rules.h"
#include "ui/dialog.h"

class CBasicConfig : public ui::Dialog {
public:
    // `rules` outlives the dialog: the caller reads the values and the change
    // flags from it after OK.
    CBasicConfig(HWND parent, const rules::BasicConfigFields& fields,
                 rules::BasicConfigRules& rules);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void SetIpMode(int mode);
    rules::BasicConfigFields ReadControls();

    rules::BasicConfigFields fields_;
    rules::BasicConfigRules& rules_;
    int ipMode_ = 2;
};
