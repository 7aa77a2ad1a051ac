// Views of the login and configuration, details and prompt flows for tests:
// they record what the flow asks and answer its dialogs as the test says.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dialogs/flows/configure_flow.h"
#include "dialogs/flows/details_flow.h"
#include "dialogs/flows/prompt_flow.h"

namespace testing_flows {

class FakeConfigureView : public dialogs::ConfigureView {
public:
    std::vector<int> messages, questions;
    bool answerYes = false;
    int logins = 0;
    bool loginOk = true;
    std::string password = "secret", adminName = "Administrator";
    std::function<bool(const rules::BasicConfigFields&, rules::BasicConfigRules&)> basicConfig;
    std::function<bool(const rules::RouterConfigFields&, rules::RouterConfigRules&)> routerConfig;
    std::function<void()> duringLogin;     // runs while the login dialog is open
    std::function<void()> duringQuestion;  // runs while a question is open

    bool RunLogin(std::string* p, std::string* n) override {
        ++logins;
        if (duringLogin)
            duringLogin();
        *p = password;
        *n = adminName;
        return loginOk;
    }
    bool RunBasicConfig(const rules::BasicConfigFields& f, rules::BasicConfigRules& r) override {
        return basicConfig ? basicConfig(f, r) : false;
    }
    bool RunRouterConfig(const rules::RouterConfigFields& f, rules::RouterConfigRules& r) override {
        return routerConfig ? routerConfig(f, r) : false;
    }
    bool AskYesNo(int textId, int) override {
        questions.push_back(textId);
        if (duringQuestion)
            duringQuestion();
        return answerYes;
    }
    void ShowMessage(int textId, int) override { messages.push_back(textId); }
};

class FakeDetailsView : public dialogs::DetailsView {
public:
    int shown = 0;
    void ShowDetails(const proto::StatusReply&) override { ++shown; }
};

class FakePromptView : public dialogs::PromptView {
public:
    std::vector<std::string> prompts;  // "name (address)" of each prompt opened
    std::vector<uint32_t> saved;
    std::vector<int> messages;
    uint32_t stored = 1;
    int closed = 0;
    bool OpenSetupPrompt(const std::string& name, const std::string& address) override {
        prompts.push_back(name + " (" + address + ")");
        return true;
    }
    void CloseSetupPrompt() override { ++closed; }
    uint32_t LoadAskSetup() override { return stored; }
    void SaveAskSetup(uint32_t v) override { saved.push_back(v); }
    void ShowMessage(int textId, int) override { messages.push_back(textId); }
};

}  // namespace testing_flows
