// A main window for the dispatcher's tests: it records what the model asks
// of it (rows, datagrams, timers, the discovery's messages); each flow's
// view records its own dialogs and answers them as the test tells it to.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "app/main_model.h"
#include "dialogs/flows/tests/fake_views.h"
#include "import/tests/fake_import_view.h"
#include "wizard/tests/fake_wizard_view.h"

namespace {

// Records what the model asks of the window.
class FakeView : public app::MainView {
public:
    std::vector<std::array<std::string, 5>> rows;
    std::vector<std::vector<uint8_t>> sent;
    int noServers = 0, busyPlays = 0, busyStops = 0;
    std::vector<int> timers;
    bool serverButtons = true, help = false;
    int selectedRow = -1;

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
    void SelectRow(int row) override { selectedRow = row; }
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
    void ShowNoServers() override { ++noServers; }
};

// The main window and the views of every flow, and the model over them.
template <class View = FakeView>
struct BasicFakeWindow {
    View view;
    testing_flows::FakeConfigureView config;
    testing_flows::FakeDetailsView details;
    testing_flows::FakePromptView prompt;
    testing_flows::FakeWizardView wizard;
    testing_flows::FakeImportView imports;
    app::MainModel model{view, {config, details, prompt, wizard, imports}};
};
using FakeWindow = BasicFakeWindow<>;

// A test server: its id bytes, address and name.
struct TestServer {
    uint8_t mac[6];
    uint32_t ip;
    std::string name;
};

// The two servers the flows' tests discover.
const TestServer kAlpha = {{0, 1, 2, 3, 4, 0xA}, 0x0A4D000A, "ALPHA"};
const TestServer kBravo = {{0, 1, 2, 3, 4, 0xB}, 0x0A4D000B, "BRAVO"};

inline proto::ReplyBlock Block(uint32_t source, const proto::PacketHeader& h,
                               const std::vector<uint8_t>& items) {
    proto::ReplyBlock b{};
    std::vector<uint8_t> d(16);
    h.Encode(d.data());
    d.insert(d.end(), items.begin(), items.end());
    proto::FillReplyBlock(&b, source, d.data(), d.size());
    return b;
}

inline proto::PacketHeader From(const TestServer& s, uint16_t command, uint16_t seq,
                                int16_t status = 0, int16_t kind = 0) {
    proto::PacketHeader h;
    std::memcpy(h.serverId, s.mac, 6);
    h.command = command;
    h.seq = seq;
    h.status = status;
    h.kind = kind;
    return h;
}

inline std::vector<uint8_t> Text(uint8_t tag, const std::string& s) {
    std::vector<uint8_t> v = {tag, static_cast<uint8_t>(s.size())};
    v.insert(v.end(), s.begin(), s.end());
    return v;
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

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

// The model over a fake window, with each flow's view at hand.
class DispatchTest : public ::testing::Test {
protected:
    FakeWindow w;
    FakeView& view = w.view;
    app::MainModel& model = w.model;
    testing_flows::FakeConfigureView& configure = w.config;
    testing_flows::FakeDetailsView& details = w.details;
    testing_flows::FakePromptView& prompt = w.prompt;
    testing_flows::FakeWizardView& wizard = w.wizard;
    testing_flows::FakeImportView& imports = w.imports;

    // Lists `s` from its discovery reply.
    void Discover(const TestServer& s, int16_t kind = 0) {
        model.OnServerReply(
            Block(s.ip, From(s, proto::CMD_DISCOVER, 0, 0, kind),
                  Cat({Text(proto::TAG_SERVER_NAME, s.name), Text(proto::TAG_WORKGROUP, "WG")})));
    }
    proto::PacketHeader LastSent() { return proto::PacketHeader::Decode(view.sent.back().data()); }
    void Select(int row) { model.OnListClick(row, row); }
};

}  // namespace
