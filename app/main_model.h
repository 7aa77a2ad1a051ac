// The main window's behaviour without the window: the server list, the
// selection, discovery, sorting and the response dispatcher, which applies
// the acceptance rule and hands each reply to the flow that owns it. The
// flows (login and configuration, details, wizard, import, the
// not-configured prompt) live in their own folders, each with its own view,
// and reach the list through flow::Host. The window implements MainView and
// forwards its messages here. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/server_list.h"
#include "dialogs/flows/configure_flow.h"
#include "dialogs/flows/details_flow.h"
#include "dialogs/flows/prompt_flow.h"
#include "flow/host.h"
#include "import/import_flow.h"
#include "protocol/discovery.h"
#include "protocol/exchange.h"
#include "protocol/replies.h"
#include "wizard/wizard_run.h"

namespace app {

constexpr flow::Timer kDiscoveryTimer{100, 15000};
// How long a server asked by address has to answer, and how many typed
// addresses every later discovery asks again.
constexpr flow::Timer kFindTimer{102, 10000};
constexpr size_t kMaxTypedAddresses = 16;
// Each directed broadcast follows the limited one once no discovery reply has
// come for this long (timers fire only when the replies waiting have been
// handled); those left go together after this many waits, well inside the
// discovery window.
constexpr flow::Timer kDirectedTimer{103, 100};
constexpr int kDirectedMaxWaits = 40;

enum Column { COL_NAME = 0, COL_IP = 1, COL_WORKGROUP = 2, COL_VERSION = 3, COL_STATE = 4 };

// What the model asks of the window: the list, its buttons, timers and the
// socket, and the discovery's own messages.
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
    // Shows `row` as the selected row of the list.
    virtual void SelectRow(int /*row*/) {}

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

    // The discovery's messages.
    virtual void ShowNoServers() = 0;
    // Nothing answered at a typed address (dotted text) within kFindTimer.ms.
    virtual void ShowNoAnswerAt(const std::string& /*address*/) {}
    // A server the discovery has just listed (remembered for waking it).
    virtual void ServerListed(const proto::ServerInfo& /*server*/) {}
};

// The views of the flows, each implemented by the window (or a test).
struct FlowViews {
    dialogs::ConfigureView& configure;
    dialogs::DetailsView& details;
    dialogs::PromptView& prompt;
    wiz::WizardView& wizard;
    accounts::ImportView& import;
};

class MainModel : public flow::Host {
public:
    MainModel(MainView& view, const FlowViews& flows);

    // Window initialisation, after the socket exists.
    void Initialize();
    // The window is closing, perhaps in the middle of a flow: from now on
    // nothing is sent, no reply or timer is handled and no flow goes on when
    // its dialog returns.
    void Close();
    bool closing() const override { return closing_; }

    // Requests. The first form numbers and addresses by the selected server,
    // the second by the given one. Only a discovery goes out without a server
    // addressed: any other request without one is not sent (result false).
    bool SendCommand(proto::CommandBuffer& buffer, uint16_t command);
    bool SendCommandTo(proto::ServerInfo* target, proto::CommandBuffer& buffer, uint16_t command);

    // Discovery.
    void StartDiscovery() override;
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

    // A dialog of the window's own (About, the discovery report, the drive
    // mapping, waking) counts as a flow's dialog while this lives.
    using FlowDialog = flow::Dialog;

    // The import's line sender (its worker sends through it).
    accounts::ImportFlow& importFlow() { return import_; }
    // A copy of the selected server's record: a discovery may rebuild the
    // list while the caller uses it.
    std::optional<proto::ServerInfo> SelectedCopy();
    // Empties the list (the window is going).
    void ClearServers();

    ServerList& servers() { return servers_; }
    proto::ServerInfo* FindSelected();
    int discovering() const { return discovering_; }
    int listMode() const { return listMode_; }
    int sortColumn() const { return sortColumn_; }
    int sortAscending() const { return sortAscending_; }
    int configReplied() const { return configure_.configReplied(); }
    const rules::SetupPromptGate& setupPrompt() const { return prompt_.gate(); }

    // flow::Host
    ServerHandle SelectedServer() override;
    bool IsSelected(ServerHandle server) override;
    bool WithServer(ServerHandle server,
                    const std::function<void(proto::ServerInfo&)>& use) override;
    ServerHandle FindById(const uint8_t id[8]) override;
    ServerHandle SelectByReply(uint32_t ip, const uint8_t id[6], const std::string& name) override;
    void Deselect(ServerHandle server) override;
    std::vector<std::array<uint8_t, 6>> ListedIds() override;
    bool SendToSelected(proto::CommandBuffer& buffer, uint16_t command) override {
        return SendCommand(buffer, command);
    }
    bool SendToServer(ServerHandle server, proto::CommandBuffer& buffer, uint16_t command,
                      const Armed& armed) override;
    void Await(ServerHandle server, uint16_t command) override { awaited_ = {server, command}; }
    bool TakeAwaited(uint16_t command) override;
    void StartTimer(int id, unsigned ms) override { view_.StartTimer(id, ms); }
    void StopTimer(int id) override { view_.StopTimer(id); }
    void PlayBusy() override { view_.PlayBusy(); }
    void StopBusy() override { view_.StopBusy(); }
    void DialogOpened() override { prompt_.DialogOpened(); }
    void DialogClosed() override { prompt_.DialogClosed(); }

private:
    struct Awaited {
        ServerHandle server = kNoServer;
        uint16_t command = 0;
    };

    void OnStatusReply(const proto::ReplyBlock& block);
    // A configuration reply: to the flow the selected server is marked for.
    void OnConfigReply(const proto::ReplyBlock& block);
    // Sends a request: to the limited broadcast, or to `direct` (host order:
    // its subnet's directed broadcast, or its own address) for a server that
    // the limited broadcast does not reach.
    void Deliver(const proto::CommandBuffer& buffer, uint32_t direct);
    // SendCommand with the server `pick` returns under the list lock.
    bool SendPicked(const std::function<proto::ServerInfo*()>& pick, proto::CommandBuffer& buffer,
                    uint16_t command);
    // The `direct` of a request to `target`; the caller holds the list lock.
    uint32_t DirectOf(const proto::ServerInfo* target);
    bool IsNotConfiguredRow(int row);

    MainView& view_;
    ServerList servers_;
    proto::CommandBuffer discoveryBuffer_;
    int discovering_ = 0;
    int discoveryTimer_ = 0;
    int listMode_ = 1;
    int noServersShown_ = 0;
    Awaited awaited_;
    int sortColumn_ = 0;
    int sortAscending_ = 1;
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

    // The flows.
    dialogs::ConfigureFlow configure_;
    dialogs::DetailsFlow details_;
    dialogs::PromptFlow prompt_;
    wiz::WizardRun wizard_;
    accounts::ImportFlow import_;
};

}  // namespace app
