// The quick configuration wizard on screen: the sheet CWizard in wizard mode
// and its eleven pages. The pages show, read and forward; the settings, the
// checks and the applying stage machine are the portable wiz::WizardFlow.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/property_page.h"
#include "wizard/flow.h"

class CWizard;

// A page of the wizard; its wizard is the sheet object.
class CWizardPage : public ui::WizardPage<CWizard, wiz::Page> {
public:
    using WizardPage::WizardPage;

protected:
    // Buttons and window title of the page's place (every activation).
    void OnSetActive() override;
    wiz::WizardSettings& settings();
    wiz::PageState& pages();
    // Message box over the sheet with texts from the string table.
    int Message(int textId, int captionId, UINT flags);
};

class CWizard {
public:
    CWizard(HWND owner, wiz::WizardFlow& flow);
    ~CWizard();

    // Runs the sheet modally; returns when it closes, however it ended.
    INT_PTR DoModal();

    wiz::WizardFlow& flow() { return flow_; }
    HWND sheet() const { return sheet_; }
    void SetSheet(HWND sheet) { sheet_ = sheet; }
    // Makes the failure page, the last page, the active one.
    void ShowFailurePage();
    // Lays the sheet's buttons out at fixed positions and widths (pixels).
    void MoveButton(int id, int x, int width);

private:
    HWND owner_;
    wiz::WizardFlow& flow_;
    HWND sheet_ = nullptr;
    std::vector<std::unique_ptr<CWizardPage>> pages_;
};
