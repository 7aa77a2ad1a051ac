// What both basic configuration dialogs do with the result of their checks:
// write back the reformatted date and time texts and, on a failure, show the
// message, undo the failing box's last edit when asked and focus it.
#pragma once

#include <windows.h>

#include "dialogs/rules/basic_config_rules.h"
#include "ui/dialog.h"

// The System block (name, date, time) shared by both dialogs: fills the
// boxes, the name cut to what its box holds (so OK writes the name the user
// saw, and counts the cut as a change, instead of silently cutting it to the
// request's 16 bytes); reads them back into the text members of `fields`.
void FillSystemBlock(HWND dialog, const rules::BasicConfigFields& fields);
void ReadSystemBlock(HWND dialog, rules::BasicConfigFields* fields);

// The control of a box named by the checks (0 for none).
int ConfigBoxId(rules::ConfigBox box);

// Returns whether the checks passed.
bool ApplyValidation(HWND dialog, const rules::ConfigValidation& v);

// What both dialogs are: opened with a server's fields, checked by `Rules` on
// OK, which ends the dialog only when the checks pass. `rules` outlives the
// dialog: the caller reads the values and the change flags from it after OK.
template <class Fields, class Rules>
class CConfigDialog : public ui::Dialog {
public:
    CConfigDialog(UINT templateId, HWND parent, const Fields& fields, Rules& rules)
        : ui::Dialog(templateId, parent), fields_(fields), rules_(rules) {}

protected:
    // Opens the checks on the server's fields and shows what they hold.
    BOOL OnInitDialog() final {
        rules_.Open(fields_);
        FillControls(rules_.fields());
        return TRUE;
    }
    void OnOK() override {
        if (ApplyValidation(hwnd(), rules_.Validate(ReadControls())))
            EndDialog(hwnd(), IDOK);
    }
    // The opened fields into the boxes, and back as the checks take them.
    virtual void FillControls(const Fields& f) = 0;
    virtual Fields ReadControls() = 0;

    Fields fields_;
    Rules& rules_;
};
