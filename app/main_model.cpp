#include "app/main_model.h"

#include <algorithm>

namespace app {

using namespace proto;

MainModel::MainModel(MainView& view, const FlowViews& flows)
    : view_(view),
      configure_(*this, flows.configure),
      details_(*this, flows.details),
      prompt_(*this, flows.prompt, configure_),
      wizard_(*this, flows.wizard, [this] { prompt_.Withdraw(); }),
      import_(*this, flows.import) {}

void MainModel::Initialize() {
    prompt_.Initialize();
    discovering_ = 0;
    discoveryTimer_ = 0;
    discoveryBuffer_ = CommandBuffer{};
    StartDiscovery();
    view_.EnableHelp(true);
}

void MainModel::Close() {
    closing_ = true;
    for (int id : {kDiscoveryTimer.id, kFindTimer.id, kDirectedTimer.id})
        view_.StopTimer(id);
    following_.clear();
    configure_.Close();
    discoveryTimer_ = 0;
    findTimer_ = false;
    std::lock_guard<std::mutex> guard(servers_.Lock());
    awaited_ = {};
}

ServerInfo* MainModel::FindSelected() {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    return servers_.FindSelected();
}

bool MainModel::SendCommand(CommandBuffer& buffer, uint16_t command) {
    return SendPicked([this] { return servers_.FindSelected(); }, buffer, command);
}

bool MainModel::SendCommandTo(ServerInfo* target, CommandBuffer& buffer, uint16_t command) {
    return SendPicked([target] { return target; }, buffer, command);
}

bool MainModel::SendPicked(const std::function<ServerInfo*()>& pick, CommandBuffer& buffer,
                           uint16_t command) {
    uint32_t direct = 0;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* target = pick();
        // A request with an all-zero header would reach every server.
        if (target == nullptr && command != CMD_DISCOVER)
            return false;
        AddressRequest(target, command, buffer);
        direct = DirectOf(target);
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

bool MainModel::IsSelected(ServerHandle server) {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    const ServerInfo* s = servers_.Find(server);
    return s != nullptr && s->selected == 1;
}

bool MainModel::WithServer(ServerHandle server, const std::function<void(ServerInfo&)>& use) {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    ServerInfo* s = servers_.Find(server);
    if (s == nullptr)
        return false;
    use(*s);
    return true;
}

ServerHandle MainModel::FindById(const uint8_t id[8]) {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    return servers_.FindById(id);
}

ServerHandle MainModel::SelectByReply(uint32_t ip, const uint8_t id[6], const std::string& name) {
    int row;
    ServerHandle server = kNoServer;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        row = servers_.RowForReply(ip, id, name);
        if (row >= 0) {
            servers_.MarkSelected(row);
            server = servers_.HandleAt(row);
        }
    }
    if (row < 0)
        return kNoServer;
    view_.SelectRow(row);
    view_.EnableServerButtons(true);
    return server;
}

void MainModel::Deselect(ServerHandle server) {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    if (servers_.SelectedHandle() == server)
        servers_.ClearSelection();
}

bool MainModel::SendToServer(ServerHandle server, CommandBuffer& buffer, uint16_t command,
                             const Armed& armed) {
    uint32_t direct = 0;
    {
        std::lock_guard<std::mutex> guard(servers_.Lock());
        ServerInfo* target = servers_.Find(server);
        if (target == nullptr)
            return false;
        AddressRequest(target, command, buffer);
        if (armed)
            armed(*target, buffer);
        direct = DirectOf(target);
    }
    Deliver(buffer, direct);
    return true;
}

std::vector<std::array<uint8_t, 6>> MainModel::ListedIds() {
    std::vector<std::array<uint8_t, 6>> ids;
    std::lock_guard<std::mutex> guard(servers_.Lock());
    for (int i = 0; i < servers_.Count(); ++i)
        std::copy_n(servers_.At(i)->id, 6, ids.emplace_back().begin());
    return ids;
}

std::optional<ServerInfo> MainModel::SelectedCopy() {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    if (const ServerInfo* s = servers_.FindSelected())
        return *s;
    return std::nullopt;
}

void MainModel::ClearServers() {
    std::lock_guard<std::mutex> guard(servers_.Lock());
    servers_.Clear();
}

void MainModel::StartDiscovery() {
    if (closing_)
        return;
    noServersShown_ = 0;
    if (discoveryTimer_) {
        view_.StopTimer(kDiscoveryTimer.id);
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
        view_.StopTimer(kDirectedTimer.id);
    following_ = FollowingBroadcasts(probes, broadcastAdapter_);
    for (Probe& p : probes)
        if (p.kind == ProbeKind::Typed)
            p.sendError = view_.SendTo(discoveryDatagram_, p.destination);
    report_.Begin(std::move(probes));
    followWaits_ = 0;
    repliesAtWait_ = 0;
    if (!following_.empty())
        view_.StartTimer(kDirectedTimer.id, kDirectedTimer.ms);
    waiting_.clear();
    view_.PlayBusy();
    view_.StartTimer(kDiscoveryTimer.id, kDiscoveryTimer.ms);
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
        view_.StopTimer(kFindTimer.id);
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
        import_.OnReply(h);
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
            configure_.OnLoginReply(h);
            break;
        case CMD_SET_CONFIG:
            configure_.OnWriteReply(h);
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
            wizard_.OnReply(block.data, length);
            break;
        default:
            // Everything else is ignored.
            break;
    }
}

void MainModel::OnStatusReply(const ReplyBlock& block) {
    const size_t length = std::min<size_t>(block.length, kMaxDatagram);
    const StatusReply reply = DecodeStatusReply(block.data, length);
    if (listMode_ == 0) {
        details_.OnStatusReply(reply);
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
    if (!wizard_.running())
        prompt_.OnListedStatus(configured, name, block.sourceIp, h.serverId);
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
        configure_.OnConfigReply(block, server);
    else if (flow == FLOW_IMPORT)
        import_.OnConfigReply(server);
    else if (flow == FLOW_WIZARD)
        wizard_.OnConfigReply(block, server);
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
    view_.StopTimer(kFindTimer.id);
    view_.StartTimer(kFindTimer.id, kFindTimer.ms);
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
    if (id == kDirectedTimer.id) {
        view_.StopTimer(kDirectedTimer.id);
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
            view_.StartTimer(kDirectedTimer.id, kDirectedTimer.ms);
    } else if (id == kFindTimer.id) {
        view_.StopTimer(kFindTimer.id);
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
    } else if (id == kDiscoveryTimer.id) {
        if (!following_.empty()) {
            // Every adapter is asked within the window.
            view_.StopTimer(kDirectedTimer.id);
            SendFollowing(following_.size());
        }
        if (!findTimer_)
            view_.StopBusy();
        discovering_ = 0;
        report_.Finish();
        // Stop first: the dialog below runs a message loop of its own.
        view_.StopTimer(kDiscoveryTimer.id);
        discoveryTimer_ = 0;
        if (view_.RowCount() == 0 && noServersShown_ == 0) {
            noServersShown_ = 1;
            view_.ShowNoServers();
        }
    } else {
        configure_.OnTimer(id);
    }
}

void MainModel::OnConfigure() {
    configure_.Start(FLOW_CONFIGURE);
}

void MainModel::OnRunWizard() {
    configure_.Start(FLOW_WIZARD);
}

void MainModel::OnImportUsers() {
    configure_.Start(FLOW_IMPORT);
}

void MainModel::OnSetupDontAsk(bool ticked) {
    prompt_.OnDontAsk(ticked);
}

void MainModel::OnSetupAnswer(bool cancelled) {
    prompt_.OnAnswer(cancelled);
}

void MainModel::OnDetails() {
    // Until the next discovery the status replies are the details' own.
    if (details_.Start())
        listMode_ = 0;
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
    if (IsNotConfiguredRow(row) && wizard_.Offer())
        OnRunWizard();
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
    import_.Done();
    if (selectedRow < 0 || selectedRow >= view_.RowCount())
        return;
    view_.EnableHelp(HelpEnabledForVersion(view_.RowText(selectedRow, COL_VERSION)));
}

}  // namespace app
