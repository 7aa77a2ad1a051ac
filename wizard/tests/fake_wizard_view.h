// The wizard's view for tests: by default the wizard runs to its end when
// the server has a disk.
#pragma once

#include <functional>
#include <vector>

#include "wizard/wizard_run.h"

namespace testing_flows {

class FakeWizardView : public wiz::WizardView {
public:
    std::function<bool(wiz::WizardFlow&)> wizard;
    int wizards = 0, asked = 0;
    bool answerYes = false;
    bool RunWizard(wiz::WizardFlow& flow) override {
        ++wizards;
        return wizard ? wizard(flow) : flow.hasDisk();
    }
    std::function<void()> duringQuestion;  // runs while the question is open
    bool AskToRun() override {
        ++asked;
        if (duringQuestion)
            duringQuestion();
        return answerYes;
    }
};

}  // namespace testing_flows
