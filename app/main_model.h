// The main window's behaviour without the window: discovery, selection,
// sorting, the response dispatcher and the configure and details flows. The
// window implements MainView and forwards its messages here. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/server_list.h"
#include "dialogs/rules/basic_config_rules.h"
#include "dialogs/rules/router_config_rules.h"
#include "dialogs/rules/setup_prompt.h"
#include "import/import_run.h"
#include "protocol/discovery.h"
#include "protocol/exchange.h"
#include "protocol/replies.h"
#include "wizard/flow.h"

namespace app {

constexpr int TIMER_DISCOVERY = 100;
constexpr int TIMER_CONFIG_REPLY = 101;
constexpr int TIMER_FIND = 102;
constexpr int TIMER_DIRECTED = 103;
constexpr unsigned kDiscoveryMs = 15000;
constexpr unsigned kConfigReplyMs = 120000;
// How long a server asked by address has to answer, and how many typed
// addresses every later discovery asks again.
constexpr unsigned kFindMs = 10000;
constexpr size_t kMaxTypedAddresses = 16;
// Each directed broadcast follows the limited one once no discovery reply has
// come for this long (timers fire only when the replies waiting have been
// handled); those left go together after this many waits, well inside the
// discovery window.
constexpr unsigned kDirectedQuietMs = 100;
constexpr int kDirectedMaxWaits = 40;

enum Column { COL_NAME = 0, COL_IP = 1, COL_WORKGROUP = 2, COL_VERSION = 3, COL_STATE = 4 };

// What the model asks of the window. Dialogs are modal: the calls return when
// the user has closed them, and replies may be dispatched meanwhile.
class MainView {
public:
    virtual ~MainView() = default;

    // The list view.
    virtual int RowCount() = 0;
    virtual void DeleteAllRows() = 0;
    virtual void AppendRow(const std::string& name, const std::string& ip,
                           const std::string& workgroup) = 0;
    virtual std::string RowText(int row, int column) = 0;
    virtual void SetRowText(int row, int column, const std::string& text) = 0;
    // Puts the rows in a new order: new row i shows old row order[i], with its
    // selection and focus state.
    virtual void ReorderRows(const std::vector<int>& order) = 0;

    // Buttons, busy animation, timers, the socket.
    virtual void EnableServerButtons(bool enable) = 0;
    virtual void EnableHelp(bool enable) = 0;
    virtual void PlayBusy() = 0;
    virtual void StopBusy() = 0;
    virtual void StartTimer(int id, unsigned ms) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void Send(const std::vector<uint8_t>& datagram) = 0;
    // Sends to one address (host order) on the protocol's port; returns 0 or
    // the system's error code.
    virtual int SendTo(const std::vector<uint8_t>& /*datagram*/, uint32_t /*address*/) { return 0; }
    // This computer's IPv4 interfaces, asked again at every discovery.
    virtual std::vector<proto::LocalInterface> LocalInterfaces() { return {}; }
    // The address of the adapter the limited broadcast leaves by, 0 when
    // unknown.
    virtual uint32_t BroadcastAdapter() { return 0; }

    // Messages and dialogs.
    virtual void ShowMessage(int textId, int captionId) = 0;
    virtual bool AskYesNo(int textId, int captionId) = 0;
    virtual void ShowNoServers() = 0;
    // Nothing answered at a typed address (dotted text) within kFindMs.
    virtual void ShowNoAnswerAt(const std::string& /*address*/) {}
    // Administrator login; on OK the two texts as the dialog read them.
    virtual bool RunLogin(std::string* password, std::string* adminName) = 0;
    // The storage server's basic configuration, filled from `fields`; on OK
    // `rules` holds the validated values and the change flags.
    virtual bool RunBasicConfig(const rules::BasicConfigFields& fields,
                                rules::BasicConfigRules& rules) = 0;
    // The same for a router-type server.
    virtual bool RunRouterConfig(const rules::RouterConfigFields& fields,
                                 rules::RouterConfigRules& rules) = 0;
    virtual void ShowDetails(const proto::StatusReply& reply) = 0;
    // The quick configuration wizard for `flow`, modally; or, for a server
    // without a disk, its message. Returns whether the wizard was shown.
    virtual bool RunWizard(wiz::WizardFlow& /*flow*/) { return false; }
    // The account import for `server`: file choice, windows, worker. Its
    // worker sends through MainModel::SendImportLine. Returns whether its
    // windows opened (OnImportDone tells when they are gone).
    virtual bool StartImport(ServerHandle server) = 0;
    // A row of the import's result window, if it is open.
    virtual void AddImportRow(const std::string& type, const std::string& text) = 0;

    // The not-configured prompt, modeless: opens it about the named server
    // (false when it could not be shown). Its answer comes back through
    // MainModel::OnSetupAnswer.
    virtual bool OpenSetupPrompt(const std::string& /*name*/, const std::string& /*address*/) {
        return false;
    }
    // Takes an open prompt away without an answer.
    virtual void CloseSetupPrompt() {}
    // The stored choice whether to ask ("Fastrig"): read at start, written
    // when the prompt's box is clicked.
    virtual uint32_t LoadAskSetup() { return 1; }
    virtual void SaveAskSetup(uint32_t /*value*/) {}
    // Shows `row` as the selected row of the list.
    virtual void SelectRow(int /*row*/) {}
    // A server the discovery has just listed (remembered for waking it).
    virtual void ServerListed(const proto::ServerInfo& /*server*/) {}
};

class MainModel : public accounts::LineSender {
public:
    explicit MainModel(MainView& view) : view_(view) {}

    // Window initialisation, after the socket exists.
    void Initialize();
    // The window is closing, perhaps in the middle of a flow: from now on
    // nothing is sent, no reply or timer is handled and no flow goes on when
    // its dialog returns.
    void Close();
    bool closing() const { return closing_; }

    // Requests. The first form numbers and addresses by the selected server,
    // the second by the given one. Only a discovery goes out without a server
    // addressed: any other request without one is not sent (result false).
    bool SendCommand(proto::CommandBuffer& buffer, uint16_t command);
    bool SendCommandTo(proto::ServerInfo* target, proto::CommandBuffer& buffer, uint16_t command);

    // Discovery.
    void StartDiscovery();
    int OnDiscoveryReply(uint32_t sourceIp, const uint8_t* data, size_t length);
    // Find by address: CMD_DISCOVER to `address` alone. Its reply lists the
    // server as a discovery reply does, also after the discovery window has
    // closed, and every later discovery asks the address again.
    enum class FindResult { Sent, AlreadyListed, SendFailed };
    FindResult FindByAddress(uint32_t address);
    const proto::DiscoveryReport& report() const { return report_; }
    const std::vector<uint32_t>& typedAddresses() const { return typed_; }

    // The response dispatcher; the caller frees the block afterwards.
    void OnServerReply(const proto::ReplyBlock& block);
    void OnTimer(int id);

    // User actions.
    void OnConfigure();
    void OnDetails();
    void OnRunWizard();
    void OnImportUsers();
    // The not-configured prompt: its box clicked, and its answer once it is
    // gone (`cancelled` for Cancel, Escape or its close).
    void OnSetupDontAsk(bool ticked);
    void OnSetupAnswer(bool cancelled);
    // A dialog of a flow, modal over the list, for as long as this lives: no
    // prompt is offered meanwhile, and an open one goes away. The flows here
    // take one around each of their dialogs, and the import's windows count
    // as one until they are gone; the window's own dialogs (About, the
    // discovery report, the drive mapping) take one too.
    class FlowDialog {
    public:
        explicit FlowDialog(MainModel& model);
        ~FlowDialog();
        FlowDialog(const FlowDialog&) = delete;
        FlowDialog& operator=(const FlowDialog&) = delete;

    private:
        MainModel& model_;
    };
    // accounts::LineSender
    bool SendImportLine(ServerHandle server, const std::string& line,
                        accounts::ReplyMailbox& mailbox) override;
    accounts::ReplyMailbox& importReplies() override { return importReplies_; }
    // A click on the list: `hitRow` is the row under the mouse or -1,
    // `selectedRow` the row the list shows as selected (or -1).
    void OnListClick(int hitRow, int selectedRow);
    // Arrow keys before the list moves: `key` is +1 (down), -1 (up) or 0.
    void OnListKey(int key, int selectedRow);
    // Right-click: returns whether "&Quick Setup" is enabled in the menu.
    bool OnListRightClick(int hitRow);
    void OnColumnClick(int column);
    // The account import closed: the Help rule by the selected row's version.
    void OnImportDone(int selectedRow);

    ServerList& servers() { return servers_; }
    proto::ServerInfo* FindSelected();
    int discovering() const { return discovering_; }
    int listMode() const { return listMode_; }
    int sortColumn() const { return sortColumn_; }
    int sortAscending() const { return sortAscending_; }
    int configReplied() const { return configReplied_; }
    const rules::SetupPromptGate& setupPrompt() const { return prompt_; }

private:
    // The one reply a flow waits for: its request's command and the record it
    // went to. A login, configuration read or details reply that no flow
    // waits for is dropped, so a host that sends replies nobody asked for
    // cannot open dialogs or message boxes.
    struct Awaited {
        ServerHandle server = kNoServer;
        uint16_t command = 0;
    };
    void Await(ServerHandle server, uint16_t command) { awaited_ = {server, command}; }
    // Whether the selected server's flow waits for a reply to `command`;
    // when it does, the wait ends.
    bool TakeAwaited(uint16_t command);
    ServerHandle SelectedServer();
    // The record of `server` while it is still listed and selected.
    proto::ServerInfo* FlowServer(ServerHandle server);

    void OnStatusReply(const proto::ReplyBlock& block);
    void OnConfigReply(const proto::ReplyBlock& block);
    void RunConfigure(const proto::ReplyBlock& block, ServerHandle server);
    void OnWriteReply(const proto::PacketHeader& h);
    // A CMD_IMPORT_USER reply: to the import's mailbox, not by the selection.
    void OnImportReply(const proto::PacketHeader& h);
    void RunWizard(const proto::ReplyBlock& block, ServerHandle server);
    // The running wizard's server: its record while listed, else the record
    // that a new discovery made for it (same id), else none. The caller
    // holds the list lock.
    proto::ServerInfo* WizardServer();
    // A wizard request to its server, or nothing while it is not listed.
    bool SendToWizardServer(proto::CommandBuffer& buffer, uint16_t command);
    void LoginAndStart(int flow);
    // Sets `server`'s flow and sends it the login; false when it has left
    // the list.
    bool SendLogin(ServerHandle server, int flow, const std::string& password,
                   const std::string& adminName);
    // Sends a request: to the limited broadcast, or to `direct` (host order:
    // its subnet's directed broadcast, or its own address) for a server that
    // the limited broadcast does not reach.
    void Deliver(const proto::CommandBuffer& buffer, uint32_t direct);
    // The `direct` of a request to `target`; the caller holds the list lock.
    uint32_t DirectOf(const proto::ServerInfo* target);
    bool IsNotConfiguredRow(int row);
    // A flow's dialog opens or closes (see FlowDialog).
    void DialogOpened();
    void DialogClosed();

    MainView& view_;
    ServerList servers_;
    proto::CommandBuffer discoveryBuffer_;
    int discovering_ = 0;
    int discoveryTimer_ = 0;
    int listMode_ = 1;
    int noServersShown_ = 0;
    int configReplied_ = 1;
    Awaited awaited_;
    accounts::ReplyMailbox importReplies_;
    ServerHandle importServer_ = kNoServer;  // the server of the line last sent; under the lock
    uint8_t writeServerId_[6] = {};          // the server of the last configuration write
    int sortColumn_ = 0;
    int sortAscending_ = 1;
    wiz::WizardFlow* wizard_ = nullptr;      // while the wizard runs
    ServerHandle wizardServer_ = kNoServer;  // its server's record, under the lock
    uint8_t wizardServerId_[8] = {};
    rules::SetupPromptGate prompt_;
    bool importOpen_ = false;  // the import's windows count as a flow's dialog
    proto::DiscoveryReport report_;
    std::vector<uint32_t> typed_;    // addresses the user typed, oldest first
    std::vector<uint32_t> waiting_;  // typed addresses asked on their own, not answered yet
    bool findTimer_ = false;
    uint32_t broadcastAdapter_ = 0;  // asked at each discovery
    bool closing_ = false;
    // The directed broadcasts still to follow (FollowingBroadcasts): sends
    // the next `count` of them.
    void SendFollowing(size_t count);
    std::vector<uint32_t> following_;
    std::vector<uint8_t> discoveryDatagram_;
    int followWaits_ = 0;
    int repliesAtWait_ = 0;
};

}  // namespace app
