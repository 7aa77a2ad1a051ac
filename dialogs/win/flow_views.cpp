#include "dialogs/win/flow_views.h"

#include "dialogs/win/admin_login.h"
#include "dialogs/win/basic_config.h"
#include "dialogs/win/details.h"
#include "dialogs/win/router_config.h"
#include "dialogs/win/setup_prompt.h"

namespace {

void Message(HWND owner, int textId, int captionId) {
    ui::MessageBoxIds(owner, static_cast<UINT>(textId), static_cast<UINT>(captionId),
                      MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

bool CConfigureView::RunLogin(std::string* password, std::string* adminName) {
    CAdminLogin dlg(owner_.hwnd());
    if (dlg.DoModal() != IDOK)
        return false;
    *password = dlg.password;
    *adminName = dlg.adminName;
    return true;
}

bool CConfigureView::RunBasicConfig(const rules::BasicConfigFields& fields,
                                    rules::BasicConfigRules& rules) {
    CBasicConfig dlg(owner_.hwnd(), fields, rules);
    return dlg.DoModal() == IDOK;
}

bool CConfigureView::RunRouterConfig(const rules::RouterConfigFields& fields,
                                     rules::RouterConfigRules& rules) {
    CRouterConfig dlg(owner_.hwnd(), fields, rules);
    return dlg.DoModal() == IDOK;
}

bool CConfigureView::AskYesNo(int textId, int captionId) {
    return ui::MessageBoxIds(owner_.hwnd(), static_cast<UINT>(textId), static_cast<UINT>(captionId),
                             MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

void CConfigureView::ShowMessage(int textId, int captionId) {
    Message(owner_.hwnd(), textId, captionId);
}

void CDetailsView::ShowDetails(const proto::StatusReply& reply) {
    CDetails dlg(owner_.hwnd(), reply);
    dlg.DoModal();
}

bool CPromptView::OpenSetupPrompt(const std::string& name, const std::string& address) {
    if (CSetupPrompt::Current() != nullptr)
        return false;
    return CSetupPrompt::Open(owner_.hwnd(), name, address, dontAsk_) != nullptr;
}

void CPromptView::CloseSetupPrompt() {
    if (CSetupPrompt* prompt = CSetupPrompt::Current())
        prompt->Withdraw();
}

uint32_t CPromptView::LoadAskSetup() {
    return ReadAskSetup();
}

void CPromptView::SaveAskSetup(uint32_t value) {
    WriteAskSetup(value);
}

void CPromptView::ShowMessage(int textId, int captionId) {
    Message(owner_.hwnd(), textId, captionId);
}
