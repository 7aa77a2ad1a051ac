#include "app/main_model.h"

#include <algorithm>
#include <cstring>

#include "dialogs/rules/login_request.h"
#include "resources/brellmark/resource.h"

namespace app {

using namespace proto;

void MainModel::Initialize() {
    prompt_.Reset(view_.LoadAskSetup());
    discovering_ = 0;
    discoveryTimer_ = 0;
    discoveryBuffer_ = CommandBuffer{};
    StartDiscovery();
    view_.EnableHelp(true);
}

void MainModel::Close() {
    closing_ = true;
    for (int id : {TIMER_DISCOVERY, TIMER_CONFIG_REPLY, TIMER_FIND, TIMER_DIRECTED})
        view_.StopTimer(id);
    following_.clear();
    discoveryTimer_ = 0;
    findTimer_ = false;
    configReplied_ = 1;
    std::lock_guard<std::mutex> guard(servers_.Lock());
    awaited_ = {};
}

ServerInfo* MainModel::FindSelected() {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    return servers_.FindSelected();
}

bool MainModel::SendCommand(CommandBuffer& buffer, uint16_t command) {
    uint32_t direct = 0;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* selected = servers_.FindSelected();
        // A request with an all-zero header would reach every server.
        if (selected == nullptr && command != CMD_DISCOVER)
            return false;
        AddressRequest(selected, command, buffer);
        direct = DirectOf(selected);
    }
    Deliver(buffer, direct);
    return true;
}

uint32_t MainModel::DirectOf(const ServerInfo* target) {
    return target != nullptr ? servers_.Destination(target->ip) : 0;
}

void MainModel::Deliver(const CommandBuffer& buffer, uint32_t direct) {
    if (closing_)
        return;
    if (direct != 0)
        view_.SendTo(PackDatagram(buffer.header, buffer), direct);
    else
        view_.Send(PackDatagram(buffer.header, buffer));
}

bool MainModel::SendCommandTo(ServerInfo* target, CommandBuffer& buffer, uint16_t command) {
    uint32_t direct = 0;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        if (target == nullptr && command != CMD_DISCOVER)
            return false;
        AddressRequest(target, command, buffer);
        direct = DirectOf(target);
    }
    Deliver(buffer, direct);
    return true;
}

bool MainModel::TakeAwaited(uint16_t command) {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    if (awaited_.command != command || awaited_.server == kNoServer ||
        awaited_.server != servers_.SelectedHandle())
        return false;
    awaited_ = {};
    return true;
}

ServerHandle MainModel::SelectedServer() {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    return servers_.SelectedHandle();
}

ServerInfo* MainModel::FlowServer(ServerHandle server) {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    ServerInfo* s = servers_.Find(server);
    return s != nullptr && s->selected == 1 ? s : nullptr;
}

void MainModel::StartDiscovery() {
    if (closing_)
        return;
    noServersShown_ = 0;
    if (discoveryTimer_) {
        view_.StopTimer(TIMER_DISCOVERY);
        discoveryTimer_ = 0;
    }
    view_.EnableServerButtons(false);
    view_.EnableHelp(true);
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        servers_.Clear();
        awaited_ = {};
    }
    view_.DeleteAllRows();
    listMode_ = 1;
    // The limited broadcast leaves by one adapter only: the same request goes
    // to the directed broadcast of every adapter and to every typed address.
    std::vector<Probe> probes = DiscoveryProbes(view_.LocalInterfaces(), typed_);
    broadcastAdapter_ = view_.BroadcastAdapter();
    SendCommand(discoveryBuffer_, CMD_DISCOVER);
    discoveryDatagram_ = PackDatagram(discoveryBuffer_.header, discoveryBuffer_);
    // The directed broadcasts follow, one each time the replies pause, so
    // that the servers of one subnet answer before the next are asked and
    // those the limited broadcast reaches do not answer twice at once.
    if (!following_.empty())
        view_.StopTimer(TIMER_DIRECTED);
    following_ = FollowingBroadcasts(probes, broadcastAdapter_);
    for (Probe& p : probes)
        if (p.kind == ProbeKind::Typed)
            p.sendError = view_.SendTo(discoveryDatagram_, p.destination);
    report_.Begin(std::move(probes));
    followWaits_ = 0;
    repliesAtWait_ = 0;
    if (!following_.empty())
        view_.StartTimer(TIMER_DIRECTED, kDirectedQuietMs);
    waiting_.clear();
    view_.PlayBusy();
    view_.StartTimer(TIMER_DISCOVERY, kDiscoveryMs);
    discoveryTimer_ = 1;
    discovering_ = 1;
}

int MainModel::OnDiscoveryReply(uint32_t sourceIp, const uint8_t* data, size_t length) {
    DiscoveryRecord rec;
    ServerInfo* added = nullptr;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        if (ServerInfo* known = servers_.FindByIp(sourceIp)) {
            NoteDiscoveryAnswer(known, data, length);
            report_.OnReply(sourceIp, false);
            return 0;
        }
        if (!ReadDiscoveryReply(sourceIp, data, length, &rec))
            return 0;
        added = servers_.Append(rec.info, rec.displayName);
        const bool typed = std::find(typed_.begin(), typed_.end(), sourceIp) != typed_.end();
        const uint32_t to =
            RequestDestination(sourceIp, typed, report_.probes(), broadcastAdapter_);
        if (to != kLimitedBroadcast)
            servers_.SetDestination(sourceIp, to);
    }
    report_.OnReply(sourceIp, true);
    std::erase(waiting_, sourceIp);
    if (findTimer_ && waiting_.empty()) {
        // Every address asked has answered: the wait is over.
        view_.StopTimer(TIMER_FIND);
        findTimer_ = false;
        if (discovering_ == 0)
            view_.StopBusy();
    }
    view_.AppendRow(rec.displayName, FormatIPv4(sourceIp), rec.workgroup);
    // Ask the newcomer for its status, whoever is selected; its reply comes
    // back numbered 3.
    CommandBuffer status;
    SendCommandTo(added, status, CMD_GET_STATUS);
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        added->seq = 3;
    }
    view_.ServerListed(rec.info);
    return 1;
}

void MainModel::OnServerReply(const ReplyBlock& block) {
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    if (length < kHeaderSize || closing_)
        return;
    const PacketHeader h = PacketHeader::Decode(block.data);
    if (h.command == CMD_IMPORT_USER) {
        // The import's own acceptance: its server's answer to the line the
        // worker waits for, whichever server the list selects now.
        OnImportReply(h);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        if (!AcceptReply(servers_.FindSelected(), block.data, length))
            return;
    }
    switch (h.command) {
        case CMD_DISCOVER:
            // After the window, only a server asked by address that has not
            // answered yet.
            if (discovering_ == 1 ||
                std::find(waiting_.begin(), waiting_.end(), block.sourceIp) != waiting_.end()) {
                OnDiscoveryReply(block.sourceIp, block.data, length);
            } else {
                // Not listed again, but what it sends next goes on from here.
                std::lock_guard<std::mutex> guard(servers_.Lock());
                NoteDiscoveryAnswer(servers_.FindByIp(block.sourceIp), block.data, length);
            }
            break;
        case CMD_GET_CONFIG:
            OnConfigReply(block);
            break;
        case CMD_LOGIN:
            if (!TakeAwaited(CMD_LOGIN))
                break;
            if (!DecodeLoginResult(h).accepted) {
                view_.ShowMessage(IDS_LOGIN_REFUSED, IDS_CAPTION_ERROR);
            } else {
                CommandBuffer get;
                const ServerHandle server = SelectedServer();
                if (SendCommand(get, CMD_GET_CONFIG))
                    Await(server, CMD_GET_CONFIG);
            }
            break;
        case CMD_SET_CONFIG:
            OnWriteReply(h);
            break;
        case CMD_GET_STATUS:
            OnStatusReply(block);
            break;
        case CMD_REDISCOVER:
            StartDiscovery();
            break;
        case CMD_DISK_PROGRESS:
        case CMD_SET_NAME:
        case CMD_SET_PASSWORD:
        case CMD_SET_DATETIME:
        case CMD_SET_ENCODING:
        case CMD_SET_NETWORK:
        case CMD_INIT_DISK:
        case CMD_FINISH:
        case CMD_DONE:
            // Only to a running wizard, which takes only the reply it awaits
            // from its own server.
            if (wizard_ != nullptr)
                wizard_->OnReply(block.data, length);
            break;
        default:
            // Everything else is ignored.
            break;
    }
}

void MainModel::OnImportReply(const PacketHeader& h) {
    const bool taken = importReplies_.Deliver(
        h.serverId, h.seq, h.status, [&](const std::string& line, int16_t status) {
            view_.AddImportRow(accounts::kImportFailed, accounts::FailureText(line, status));
        });
    if (!taken)
        return;
    // Numbered on from the answer, as an accepted reply is.
    std::lock_guard<std::mutex> guard(servers_.Lock());
    if (ServerInfo* target = servers_.Find(importServer_))
        target->seq = h.seq;
}

void MainModel::OnWriteReply(const PacketHeader& h) {
    // Only the answer of the server written to, while the write is open.
    if (configReplied_ != 0 || std::memcmp(h.serverId, writeServerId_, 6) != 0)
        return;
    configReplied_ = 1;
    view_.StopTimer(TIMER_CONFIG_REPLY);
    const WriteResult result = DecodeWriteResult(h);
    if (result == WriteResult::Busy)
        view_.ShowMessage(IDS_SETUP_BUSY, IDS_CAPTION_WARNING);
    if (result == WriteResult::Failed)
        view_.ShowMessage(IDS_WRITE_CONFIG_ERROR, IDS_CAPTION_WARNING);
}

void MainModel::OnStatusReply(const ReplyBlock& block) {
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    const StatusReply reply = DecodeStatusReply(block.data, length);
    if (listMode_ == 0) {
        if (TakeAwaited(CMD_GET_STATUS)) {
            FlowDialog dialog(*this);
            view_.ShowDetails(reply);
        }
        return;
    }
    const int32_t configured = reply.configured;
    const char* state = ConfiguredStateText(configured);
    const PacketHeader& h = reply.header;
    std::string version;
    if (reply.version)
        version = reply.version->Text(h.kind == 1);
    const std::string& name = reply.serverName;
    // Of the rows of that name, the one of the server that answered: new
    // servers share their factory name.
    int row;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        row = servers_.RowForReply(block.sourceIp, h.serverId, name);
    }
    if (row < 0 || row >= view_.RowCount())
        return;
    view_.SetRowText(row, COL_VERSION, version);
    view_.SetRowText(row, COL_STATE, state);
    // A listed server that was never configured: offer the wizard, unless
    // one runs (a server's call for a new discovery can refill the list
    // under it).
    if (wizard_ == nullptr && prompt_.ShouldOpen(configured) &&
        view_.OpenSetupPrompt(name, FormatIPv4(block.sourceIp))) {
        rules::PromptTarget target;
        target.name = name;
        target.ip = block.sourceIp;
        std::memcpy(target.id, h.serverId, 6);
        prompt_.Opened(target);
    }
}

void MainModel::OnConfigReply(const ReplyBlock& block) {
    if (!TakeAwaited(CMD_GET_CONFIG))
        return;
    int flow;
    ServerHandle server;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* selected = servers_.FindSelected();
        if (selected == nullptr)
            return;
        flow = selected->flow;
        server = servers_.SelectedHandle();
    }
    if (flow == FLOW_CONFIGURE)
        RunConfigure(block, server);
    else if (flow == FLOW_IMPORT) {
        FlowDialog dialog(*this);  // the file choice
        if (view_.StartImport(server) && !importOpen_) {
            importOpen_ = true;
            DialogOpened();
        }
    } else if (flow == FLOW_WIZARD)
        RunWizard(block, server);
}

ServerInfo* MainModel::WizardServer() {
    if (ServerInfo* s = servers_.Find(wizardServer_))
        return s;
    // The list was rebuilt under the wizard: its server, if listed again.
    wizardServer_ = servers_.FindById(wizardServerId_);
    return servers_.Find(wizardServer_);
}

bool MainModel::SendToWizardServer(CommandBuffer& buffer, uint16_t command) {
    uint32_t direct = 0;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* target = WizardServer();
        if (target == nullptr)
            return false;
        target->flow = FLOW_WIZARD;
        AddressRequest(target, command, buffer);
        direct = DirectOf(target);
    }
    Deliver(buffer, direct);
    return true;
}

void MainModel::RunWizard(const ReplyBlock& block, ServerHandle server) {
    if (wizard_ != nullptr)
        return;  // one wizard at a time
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* s = servers_.Find(server);
        if (s == nullptr)
            return;
        wizardServer_ = server;
        std::memcpy(wizardServerId_, s->id, sizeof wizardServerId_);
    }
    wiz::WizardFlow flow(block.data, DecodeConfigReply(block.data, length), block.sourceIp,
                         [this](uint16_t command, CommandBuffer& items) {
                             return SendToWizardServer(items, command);
                         });
    wizard_ = &flow;
    // One server at a time: an open prompt about another one goes away.
    if (prompt_.open()) {
        prompt_.Closed();
        view_.CloseSetupPrompt();
    }
    flow.SetServerAccess([this](const std::string& name, uint32_t* ip) {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* s = WizardServer();
        if (s == nullptr)
            return false;
        // The list entry carries the name just given.
        std::memset(s->name, 0, sizeof s->name);
        std::memcpy(s->name, name.data(), std::min(name.size(), sizeof s->name - 1));
        *ip = s->ip;
        return true;
    });
    bool shown;
    {
        FlowDialog dialog(*this);
        shown = view_.RunWizard(flow);
    }
    wizard_ = nullptr;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        if (servers_.SelectedHandle() == server || servers_.SelectedHandle() == wizardServer_)
            servers_.ClearSelection();
        wizardServer_ = kNoServer;
    }
    if (shown)
        StartDiscovery();
}

void MainModel::RunConfigure(const ReplyBlock& block, ServerHandle server) {
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    const ConfigReply reply = DecodeConfigReply(block.data, length);
    const bool routerType = reply.routerType;
    // The dialog of the server's type; both report "configuration changed"
    // (restart question) and "date, time or other settings changed".
    rules::BasicConfigRules basic;
    rules::RouterConfigRules routerRules;
    bool ok, configChanged, settingsChanged;
    FlowDialog dialog(*this);  // and the restart question after it
    if (routerType) {
        ok = view_.RunRouterConfig(rules::RouterFieldsFromConfigReply(reply), routerRules);
        configChanged = routerRules.configChanged();
        settingsChanged = routerRules.settingsChanged();
    } else {
        ok = view_.RunBasicConfig(rules::FieldsFromConfigReply(reply), basic);
        configChanged = basic.configChanged();
        settingsChanged = basic.dateTimeChanged();
    }
    if (!ok || closing_)
        return;

    uint8_t restart = 0;
    const rules::ConfigDecision decision = rules::DecideAfterOk(configChanged, settingsChanged);
    if (decision.askRestart && view_.AskYesNo(IDS_RESTART_QUESTION, IDS_CAPTION_WARNING))
        restart = 1;
    if (closing_)
        return;  // the program closed while the question was open
    // The list may have been rebuilt while the dialogs were open: then the
    // server they were filled from is gone and nothing is sent.
    ServerInfo* target = FlowServer(server);
    if (target == nullptr) {
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
        return;
    }
    CommandBuffer buffer;
    if (decision.sendLogout) {
        SendCommand(buffer, CMD_LOGOUT);
        return;
    }
    if (routerType)
        rules::AddRouterSetConfigItems(routerRules.fields(), settingsChanged, restart, buffer);
    else
        rules::AddSetConfigItems(basic.fields(), settingsChanged, restart, buffer);
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        std::memcpy(writeServerId_, target->id, 6);
    }
    view_.PlayBusy();
    view_.StartTimer(TIMER_CONFIG_REPLY, kConfigReplyMs);
    configReplied_ = 0;
    SendCommand(buffer, CMD_SET_CONFIG);
}

MainModel::FindResult MainModel::FindByAddress(uint32_t address) {
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        if (servers_.FindByIp(address) != nullptr)
            return FindResult::AlreadyListed;
    }
    // Remembered for the discoveries to come, the newest last.
    std::erase(typed_, address);
    if (typed_.size() >= kMaxTypedAddresses)
        typed_.erase(typed_.begin());
    typed_.push_back(address);
    // The discovery request as it stands: no server is addressed by it.
    CommandBuffer buffer;
    AddressRequest(nullptr, CMD_DISCOVER, buffer);
    const int error = view_.SendTo(PackDatagram(buffer.header, buffer), address);
    report_.AddTyped(address, error);
    if (error != 0)
        return FindResult::SendFailed;
    if (std::find(waiting_.begin(), waiting_.end(), address) == waiting_.end())
        waiting_.push_back(address);
    view_.PlayBusy();
    // One wait for every address asked: a new one restarts it.
    view_.StopTimer(TIMER_FIND);
    view_.StartTimer(TIMER_FIND, kFindMs);
    findTimer_ = true;
    return FindResult::Sent;
}

void MainModel::SendFollowing(size_t count) {
    for (size_t i = 0; i < count && !following_.empty(); ++i) {
        const uint32_t to = following_.front();
        following_.erase(following_.begin());
        report_.Sent(to, view_.SendTo(discoveryDatagram_, to));
    }
}

void MainModel::OnTimer(int id) {
    if (closing_) {
        view_.StopTimer(id);
        return;
    }
    if (id == TIMER_DIRECTED) {
        view_.StopTimer(TIMER_DIRECTED);
        if (following_.empty())
            return;
        // Discovery replies still coming: wait for a pause, up to a bound for
        // them all. (Other replies do not count: a host that floods the
        // program with them must not hold the discovery back.)
        const bool coming = report_.replies() != repliesAtWait_;
        repliesAtWait_ = report_.replies();
        if (++followWaits_ >= kDirectedMaxWaits)
            SendFollowing(following_.size());
        else if (!coming)
            SendFollowing(1);
        if (!following_.empty())
            view_.StartTimer(TIMER_DIRECTED, kDirectedQuietMs);
    } else if (id == TIMER_FIND) {
        view_.StopTimer(TIMER_FIND);
        findTimer_ = false;
        if (discovering_ == 0)
            view_.StopBusy();
        // Taken first: the message boxes below run message loops of their own.
        const std::vector<uint32_t> silent = std::move(waiting_);
        waiting_.clear();
        for (uint32_t address : silent) {
            report_.EndWait(address);
            view_.ShowNoAnswerAt(FormatIPv4(address));
        }
    } else if (id == TIMER_DISCOVERY) {
        if (!following_.empty()) {
            // Every adapter is asked within the window.
            view_.StopTimer(TIMER_DIRECTED);
            SendFollowing(following_.size());
        }
        if (!findTimer_)
            view_.StopBusy();
        discovering_ = 0;
        report_.Finish();
        // Stop first: the dialog below runs a message loop of its own.
        view_.StopTimer(TIMER_DISCOVERY);
        discoveryTimer_ = 0;
        if (view_.RowCount() == 0 && noServersShown_ == 0) {
            noServersShown_ = 1;
            view_.ShowNoServers();
        }
    } else if (id == TIMER_CONFIG_REPLY) {
        view_.StopBusy();
        // Stop first: the message box below runs a message loop of its own.
        view_.StopTimer(TIMER_CONFIG_REPLY);
        if (configReplied_ == 0) {
            configReplied_ = 1;
            view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
        }
    }
}

void MainModel::LoginAndStart(int flow) {
    const ServerHandle server = SelectedServer();
    if (server == kNoServer)
        return;
    std::string password, adminName;
    {
        FlowDialog dialog(*this);
        if (!view_.RunLogin(&password, &adminName) || closing_)
            return;
    }
    if (!SendLogin(server, flow, password, adminName)) {
        // The list was rebuilt while the dialog was open.
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
    }
}

bool MainModel::SendLogin(ServerHandle server, int flow, const std::string& password,
                          const std::string& adminName) {
    ServerInfo* s = FlowServer(server);
    if (s == nullptr)
        return false;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        s->flow = flow;
    }
    CommandBuffer buffer;
    rules::AddLoginItems(password, adminName, buffer);
    if (SendCommand(buffer, CMD_LOGIN))
        Await(server, CMD_LOGIN);
    return true;
}

void MainModel::OnSetupDontAsk(bool ticked) {
    view_.SaveAskSetup(prompt_.DontAsk(ticked));
}

void MainModel::OnSetupAnswer(bool cancelled) {
    if (!prompt_.open())
        return;  // taken away without an answer
    const rules::PromptTarget target = prompt_.Closed();
    if (cancelled || closing_)
        return;
    std::string password, adminName;
    {
        FlowDialog dialog(*this);  // no second prompt, and so no login, over it
        if (!view_.RunLogin(&password, &adminName) || closing_)
            return;
    }
    // The server the prompt named, looked up now: the list may have been
    // rebuilt while the prompt or the login was open.
    int row;
    ServerHandle server = kNoServer;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        row = servers_.RowForReply(target.ip, target.id, target.name);
        if (row >= 0) {
            servers_.MarkSelected(row);
            server = servers_.HandleAt(row);
        }
    }
    if (row < 0) {
        view_.ShowMessage(IDS_SERVER_DISCONNECTED, IDS_CAPTION_WARNING);
        return;
    }
    view_.SelectRow(row);
    view_.EnableServerButtons(true);
    SendLogin(server, FLOW_WIZARD, password, adminName);
}

void MainModel::DialogOpened() {
    if (prompt_.DialogOpened())
        view_.CloseSetupPrompt();
}

void MainModel::DialogClosed() {
    prompt_.DialogClosed();
}

MainModel::FlowDialog::FlowDialog(MainModel& model) : model_(model) {
    model_.DialogOpened();
}

MainModel::FlowDialog::~FlowDialog() {
    model_.DialogClosed();
}

void MainModel::OnConfigure() {
    LoginAndStart(FLOW_CONFIGURE);
}

void MainModel::OnRunWizard() {
    LoginAndStart(FLOW_WIZARD);
}

void MainModel::OnImportUsers() {
    LoginAndStart(FLOW_IMPORT);
}

bool MainModel::SendImportLine(ServerHandle server, const std::string& line,
                               accounts::ReplyMailbox& mailbox) {
    CommandBuffer buffer;
    if (!buffer.AddItem(TAG_IMPORT_LINE, line.data(), line.size()))
        return false;
    uint32_t direct = 0;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* target = servers_.Find(server);
        if (target == nullptr)
            return false;
        target->flow = FLOW_IMPORT;
        importServer_ = server;
        AddressRequest(target, CMD_IMPORT_USER, buffer);
        // Armed before the request leaves: the answer may come at once.
        mailbox.Expect(target->id, buffer.header.seq, line);
        direct = DirectOf(target);
    }
    Deliver(buffer, direct);
    return true;
}

void MainModel::OnDetails() {
    ServerHandle server;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* selected = servers_.FindSelected();
        if (selected == nullptr)
            return;
        selected->flow = FLOW_DETAILS;
        server = servers_.SelectedHandle();
    }
    listMode_ = 0;
    CommandBuffer buffer;
    if (SendCommand(buffer, CMD_GET_STATUS))
        Await(server, CMD_GET_STATUS);
}

bool MainModel::IsNotConfiguredRow(int row) {
    return row >= 0 && row < view_.RowCount() &&
           view_.RowText(row, COL_STATE) == ConfiguredStateText(0);
}

void MainModel::OnListClick(int hitRow, int selectedRow) {
    int row = -1;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        if (hitRow >= 0) {
            servers_.MarkSelected(hitRow);
            row = hitRow;
        } else if (selectedRow >= 0) {
            servers_.MarkSelected(selectedRow);
            row = selectedRow;
        }
    }
    view_.EnableServerButtons(hitRow >= 0);
    if (IsNotConfiguredRow(row)) {
        bool yes;
        {
            FlowDialog dialog(*this);
            yes = view_.AskYesNo(IDS_SETUP_QUESTION, IDS_STATE_NOT_CONFIGURED);
        }
        if (yes)
            OnRunWizard();
    }
    view_.EnableHelp(true);
}

void MainModel::OnListKey(int key, int selectedRow) {
    if (selectedRow >= 0) {
        int next = selectedRow;
        if (key > 0 && selectedRow + 1 < view_.RowCount())
            next = selectedRow + 1;
        if (key < 0 && selectedRow > 0)
            next = selectedRow - 1;
        {
            std::lock_guard<std::mutex> guard(servers_.Lock());
            servers_.MarkSelected(next);
        }
        view_.EnableServerButtons(true);
    } else {
        view_.EnableServerButtons(false);
    }
    view_.EnableHelp(true);
}

bool MainModel::OnListRightClick(int hitRow) {
    if (hitRow >= 0) {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        servers_.MarkSelected(hitRow);
    }
    return hitRow >= 0 && IsNotConfiguredRow(hitRow);
}

void MainModel::OnColumnClick(int column) {
    if (column < COL_NAME || column > COL_STATE)
        return;
    if (column == sortColumn_)
        sortAscending_ = !sortAscending_;
    sortColumn_ = column;
    const int rows = view_.RowCount();
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row)
        texts.push_back(view_.RowText(row, column));
    const std::vector<int> order = SortOrder(texts, sortAscending_ != 0);
    view_.ReorderRows(order);
    std::lock_guard<std::mutex> guard(servers_.Lock());
    servers_.Reorder(order);
}

void MainModel::OnImportDone(int selectedRow) {
    if (importOpen_) {
        importOpen_ = false;
        DialogClosed();
    }
    if (selectedRow < 0 || selectedRow >= view_.RowCount())
        return;
    view_.EnableHelp(HelpEnabledForVersion(view_.RowText(selectedRow, COL_VERSION)));
}

}  // namespace app
