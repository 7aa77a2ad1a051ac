// A main window for the dispatcher's tests: it records what the model asks
// of it (rows, datagrams, messages, timers, dialogs) and answers the dialogs
// as the test tells it to.
#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_model.h"

namespace {

// Records what the model asks of the window.
class FakeView : public app::MainView {
public:
    std::vector<std::array<std::string, 5>> rows;
    std::vector<std::vector<uint8_t>> sent;
    std::vector<int> messages;
    std::vector<int> questions;
    bool answerYes = false;
    int noServers = 0, busyPlays = 0, busyStops = 0, details = 0, logins = 0;
    std::vector<int> timers;
    bool serverButtons = true, help = false;
    // Login dialog result and basic configuration behaviour.
    bool loginOk = true;
    std::string password = "secret", adminName = "Administrator";
    std::function<bool(const rules::BasicConfigFields&, rules::BasicConfigRules&)> basicConfig;
    std::function<void()> duringLogin;  // runs while the login dialog is open

    int RowCount() override { return static_cast<int>(rows.size()); }
    void DeleteAllRows() override { rows.clear(); }
    void AppendRow(const std::string& n, const std::string& ip, const std::string& wg) override {
        rows.push_back({n, ip, wg, "", ""});
    }
    std::string RowText(int r, int c) override {
        return rows.at(static_cast<size_t>(r))[static_cast<size_t>(c)];
    }
    void SetRowText(int r, int c, const std::string& t) override {
        rows.at(static_cast<size_t>(r))[static_cast<size_t>(c)] = t;
    }
    void ReorderRows(const std::vector<int>& order) override {
        auto old = rows;
        for (size_t i = 0; i < order.size(); ++i)
            rows[i] = old[static_cast<size_t>(order[i])];
    }
    void EnableServerButtons(bool e) override { serverButtons = e; }
    void EnableHelp(bool e) override { help = e; }
    void PlayBusy() override { ++busyPlays; }
    void StopBusy() override { ++busyStops; }
    void StartTimer(int id, unsigned) override { timers.push_back(id); }
    void StopTimer(int id) override { std::erase(timers, id); }
    void Send(const std::vector<uint8_t>& d) override { sent.push_back(d); }
    // Datagrams sent to one address, and the errors sending there gives.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> sentTo;
    std::map<uint32_t, int> sendErrors;
    std::vector<proto::LocalInterface> interfaces;
    std::vector<std::string> noAnswer;
    int SendTo(const std::vector<uint8_t>& d, uint32_t address) override {
        sentTo.emplace_back(address, d);
        return sendErrors.count(address) ? sendErrors[address] : 0;
    }
    std::vector<proto::LocalInterface> LocalInterfaces() override { return interfaces; }
    uint32_t broadcastAdapter = 0;
    uint32_t BroadcastAdapter() override { return broadcastAdapter; }
    void ShowNoAnswerAt(const std::string& address) override { noAnswer.push_back(address); }
    void ShowMessage(int textId, int) override { messages.push_back(textId); }
    std::function<void()> duringQuestion;  // runs while a question is open
    bool AskYesNo(int textId, int) override {
        questions.push_back(textId);
        if (duringQuestion)
            duringQuestion();
        return answerYes;
    }
    void ShowNoServers() override { ++noServers; }
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
    std::function<bool(const rules::RouterConfigFields&, rules::RouterConfigRules&)> routerConfig;
    bool RunRouterConfig(const rules::RouterConfigFields& f, rules::RouterConfigRules& r) override {
        return routerConfig ? routerConfig(f, r) : false;
    }
    void ShowDetails(const proto::StatusReply&) override { ++details; }
    std::vector<app::ServerHandle> imports;
    std::vector<std::string> importRows;
    bool StartImport(app::ServerHandle server) override {
        imports.push_back(server);
        return true;
    }
    void AddImportRow(const std::string& type, const std::string& text) override {
        importRows.push_back(type + "|" + text);
    }
    // The wizard: by default it runs to its end when the server has a disk.
    std::function<bool(wiz::WizardFlow&)> wizard;
    int wizards = 0;
    bool RunWizard(wiz::WizardFlow& flow) override {
        ++wizards;
        return wizard ? wizard(flow) : flow.hasDisk();
    }
    // The not-configured prompt and its stored answer.
    std::vector<std::string> prompts;  // "name (address)" of each prompt opened
    std::vector<uint32_t> saved;
    uint32_t stored = 1;
    int selectedRow = -1, closed = 0;
    bool OpenSetupPrompt(const std::string& name, const std::string& address) override {
        prompts.push_back(name + " (" + address + ")");
        return true;
    }
    void CloseSetupPrompt() override { ++closed; }
    uint32_t LoadAskSetup() override { return stored; }
    void SaveAskSetup(uint32_t v) override { saved.push_back(v); }
    void SelectRow(int row) override { selectedRow = row; }
};

// A reply of server `mac` from address `ip` to request `seq`.
inline proto::ReplyBlock ServerReply(uint32_t ip, const uint8_t* mac, uint16_t command,
                                     uint16_t seq, const std::vector<uint8_t>& items) {
    proto::PacketHeader h;
    std::memcpy(h.serverId, mac, 6);
    h.command = command;
    h.seq = seq;
    std::vector<uint8_t> d(16);
    h.Encode(d.data());
    d.insert(d.end(), items.begin(), items.end());
    proto::ReplyBlock b{};
    proto::FillReplyBlock(&b, ip, d.data(), d.size());
    return b;
}

}  // namespace
