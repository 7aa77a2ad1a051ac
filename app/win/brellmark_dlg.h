// The main window: shows the server list and forwards every message to the
// portable MainModel, which calls back through MainView; each flow's dialogs
// are shown by that flow's own view.
#pragma once

#include <windows.h>

#include <memory>

#include "app/main_model.h"
#include "dialogs/win/flow_views.h"
#include "dialogs/win/setup_prompt.h"
#include "import/win/import_session.h"
#include "import/win/import_view.h"
#include "protocol/win/server_socket.h"
#include "ui/dialog.h"
#include "wake/win/wake_session.h"
#include "wizard/win/wizard_view.h"

// Private window message: a ReplyBlock* in lParam.
constexpr UINT WM_SERVER_REPLY = 2000;
// The socket's notice that replies wait in its queue (CServerSocket::TakeReply).
constexpr UINT WM_SERVER_REPLIES = WM_APP + 0x110;

class CBrellmarkDlg : public ui::Dialog, public app::MainView {
public:
    explicit CBrellmarkDlg(HWND parent = nullptr);
    ~CBrellmarkDlg() override;

    app::MainModel& model() { return model_; }

    // MainView
    int RowCount() override;
    void DeleteAllRows() override;
    void AppendRow(const std::string& name, const std::string& ip,
                   const std::string& workgroup) override;
    std::string RowText(int row, int column) override;
    void SetRowText(int row, int column, const std::string& text) override;
    void ReorderRows(const std::vector<int>& order) override;
    void EnableServerButtons(bool enable) override;
    void EnableHelp(bool enable) override;
    void PlayBusy() override;
    void StopBusy() override;
    void StartTimer(int id, unsigned ms) override;
    void StopTimer(int id) override;
    void Send(const std::vector<uint8_t>& datagram) override;
    int SendTo(const std::vector<uint8_t>& datagram, uint32_t address) override;
    std::vector<proto::LocalInterface> LocalInterfaces() override;
    uint32_t BroadcastAdapter() override;
    void ShowNoServers() override;
    void ShowNoAnswerAt(const std::string& address) override;
    void SelectRow(int row) override;
    void ServerListed(const proto::ServerInfo& server) override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;

private:
    void LayoutList();
    // A cell's text as the list holds it, without a trip through the code page.
    std::wstring CellText(int row, int column);
    int SelectedRow();
    void ShowContextMenu(POINT screen, bool wizardEnabled, bool importEnabled);
    // "&Import Users..." is offered while a server is selected and no
    // import runs or shows its result; asked for meanwhile, it brings the
    // open import forward instead of asking for a login.
    bool ImportAllowed();
    void OnImportUsers();
    // "Find by Address...": the address dialog, then the request.
    void FindByAddress();
    // The discovery report; its "Find by Address..." button goes on to the
    // address dialog.
    void ShowDiscoveryReport();
    // WM_SERVER_REPLIES: the waiting replies to the dispatcher, in order.
    void DispatchReplies();
    static constexpr int kRepliesPerNotice = 64;
    void Paint();
    void Destroy();
    // Rows change in bursts (thousands of servers answer one discovery): the
    // list stops drawing at the first change and draws once when the
    // messages queued meanwhile have been handled.
    void DeferRedraw();
    void ResumeRedraw();

    // The flows' views, made before the model that talks to them.
    CConfigureView configureView_{*this};
    CDetailsView detailsView_{*this};
    CPromptView promptView_;
    CWizardView wizardView_{*this};
    CImportView importView_;
    app::MainModel model_;
    std::unique_ptr<CServerSocket> socket_;
    std::unique_ptr<ImportSession> import_;
    std::unique_ptr<CWakeSession> wake_;
    HWND list_ = nullptr;
    HWND busyAnim_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HBITMAP banner_ = nullptr;
    bool redrawDeferred_ = false;
};
