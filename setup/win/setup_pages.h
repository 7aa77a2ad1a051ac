// The installer's wizard on screen: the sheet and its eight pages (Welcome to
// Setup Result), each a class over ui::PropertyPage, and the Exit dialog. The
// pages show, read and forward; the decisions are setup/core's, the state is
// the one SetupState.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "setup/win/setup_state.h"
#include "ui/property_page.h"

namespace setup_win {

class CSetupWizard;

// A page of the installer's wizard.
class CSetupPage : public ui::WizardPage<CSetupWizard, setup::Page> {
public:
    using WizardPage::WizardPage;

protected:
    // Every activation: a hidden run keeps the sheet hidden, the sheet is
    // placed below the title band and the page logged; then Activated().
    void OnSetActive() final;
    // The page's buttons; the default sets Back and Next.
    virtual void Activated();
    // Sets the buttons; a silent run presses Next.
    void Advance(DWORD buttons);
    // Cancel: the Exit dialog; "Exit Setup" ends the run.
    bool OnQueryCancel() override;
    // The side picture, the progress bar and the busy cursor of every page.
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;

    SetupState& state();
};

class CSetupWizard {
public:
    // `bandBottom` tells how far the background's title band reaches.
    CSetupWizard(HWND owner, SetupState& state, std::function<int()> bandBottom);
    ~CSetupWizard();

    // Runs the sheet modally; returns when it closes, however it ended.
    INT_PTR DoModal();

    SetupState& state() { return state_; }
    // Centres the sheet on the work area, below the title band.
    void Position(HWND sheet) const;
    // True when the user chose "Exit Setup". A worker that ends meanwhile is
    // finished after the answer: Exit rolls back all it did, Resume goes on
    // to the result as if nothing had been asked.
    bool AskExit(HWND sheet);

private:
    HWND owner_;
    SetupState& state_;
    std::function<int()> bandBottom_;
    std::vector<std::unique_ptr<CSetupPage>> pages_;
};

}  // namespace setup_win
