// The Win32 views of the login and configuration, details and
// not-configured prompt flows: each shows its dialogs over the main window.
#pragma once

#include <windows.h>

#include <functional>

#include "dialogs/flows/configure_flow.h"
#include "dialogs/flows/details_flow.h"
#include "dialogs/flows/prompt_flow.h"
#include "ui/dialog.h"

class CConfigureView : public dialogs::ConfigureView {
public:
    explicit CConfigureView(const ui::Dialog& owner) : owner_(owner) {}
    bool RunLogin(std::string* password, std::string* adminName) override;
    bool RunBasicConfig(const rules::BasicConfigFields& fields,
                        rules::BasicConfigRules& rules) override;
    bool RunRouterConfig(const rules::RouterConfigFields& fields,
                         rules::RouterConfigRules& rules) override;
    bool AskYesNo(int textId, int captionId) override;
    void ShowMessage(int textId, int captionId) override;

private:
    const ui::Dialog& owner_;
};

class CDetailsView : public dialogs::DetailsView {
public:
    explicit CDetailsView(const ui::Dialog& owner) : owner_(owner) {}
    void ShowDetails(const proto::StatusReply& reply) override;

private:
    const ui::Dialog& owner_;
};

class CPromptView : public dialogs::PromptView {
public:
    // `dontAsk` gets the clicks on the prompt's box.
    CPromptView(const ui::Dialog& owner, std::function<void(bool ticked)> dontAsk)
        : owner_(owner), dontAsk_(std::move(dontAsk)) {}
    bool OpenSetupPrompt(const std::string& name, const std::string& address) override;
    void CloseSetupPrompt() override;
    uint32_t LoadAskSetup() override;
    void SaveAskSetup(uint32_t value) override;
    void ShowMessage(int textId, int captionId) override;

private:
    const ui::Dialog& owner_;
    std::function<void(bool)> dontAsk_;
};
