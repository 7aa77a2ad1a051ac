#include "wizard/win/wizard_view.h"

#include "resources/brellmark/resource.h"
#include "wizard/win/wizard_sheet.h"

bool CWizardView::RunWizard(wiz::WizardFlow& flow) {
    if (!flow.hasDisk()) {
        // "The server '%s' (%s) can not detect any hard disk, ..."
        const std::wstring text =
            ui::FillText(ui::LoadText(IDS_WIZ_NO_DISK),
                         {ui::Widen(flow.replyName()), ui::Widen(flow.replyAddress())});
        MessageBoxW(owner_.hwnd(), text.c_str(), ui::LoadText(IDS_CAPTION_WARNING).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    CWizard wizard(owner_.hwnd(), flow);
    wizard.DoModal();
    return true;
}

bool CWizardView::AskToRun() {
    return ui::MessageBoxIds(owner_.hwnd(), IDS_SETUP_QUESTION, IDS_STATE_NOT_CONFIGURED,
                             MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}
