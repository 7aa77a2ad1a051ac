// The wizard's Win32 view: the sheet, the message for a server without a
// disk, and the question on a click on a server never configured.
#pragma once

#include <windows.h>

#include "ui/dialog.h"
#include "wizard/wizard_run.h"

class CWizardView : public wiz::WizardView {
public:
    explicit CWizardView(const ui::Dialog& owner) : owner_(owner) {}
    bool RunWizard(wiz::WizardFlow& flow) override;
    bool AskToRun() override;

private:
    const ui::Dialog& owner_;
};
