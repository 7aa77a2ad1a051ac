// What a flow asks of the main window's model, which keeps the server list
// and the dispatcher: its server's record under the list's lock, requests to
// it, the one reply it waits for, timers, and the guard around its dialogs.
// Each flow owns its replies, timers and dialogs and talks to a small view of
// its own; the model hands it the replies that belong to it. Portable.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/exchange.h"

namespace flow {

// Names one record of the list for as long as it is listed. A new discovery
// makes new records with new handles, so a flow that kept the handle of its
// server can tell that the server is gone even if it answers again.
using ServerHandle = uint64_t;
constexpr ServerHandle kNoServer = 0;

// A timer: the id it fires with and its interval.
struct Timer {
    int id;
    unsigned ms;
};

// What the user is doing with a server (ServerInfo::flow).
enum : int {
    FLOW_NONE = 0,
    FLOW_CONFIGURE = 4,
    FLOW_DETAILS = 5,
    FLOW_IMPORT = 16,
    FLOW_WIZARD = 17,
};

class Host {
public:
    virtual ~Host() = default;

    // The selected server, or kNoServer.
    virtual ServerHandle SelectedServer() = 0;
    // Whether `server` is still listed and selected: the list may be rebuilt
    // while a flow's dialog is open.
    virtual bool IsSelected(ServerHandle server) = 0;
    // Runs `use` on `server`'s record under the list's lock; false (and
    // nothing run) when it has left the list.
    virtual bool WithServer(ServerHandle server,
                            const std::function<void(proto::ServerInfo&)>& use) = 0;
    // The first record with this whole 8-byte id, or kNoServer.
    virtual ServerHandle FindById(const uint8_t id[8]) = 0;
    // Selects the row of the server that sent a status reply (address or id,
    // and its name) and shows it selected; kNoServer when it is not listed.
    virtual ServerHandle SelectByReply(uint32_t ip, const uint8_t id[6],
                                       const std::string& name) = 0;
    // Clears the selection when it is `server`.
    virtual void Deselect(ServerHandle server) = 0;
    // The ids (bytes 0-5) of every listed server.
    virtual std::vector<std::array<uint8_t, 6>> ListedIds() = 0;

    // Numbers and addresses `buffer` by the selected server and sends it;
    // false, with nothing sent, when none is selected.
    virtual bool SendToSelected(proto::CommandBuffer& buffer, uint16_t command) = 0;
    // Numbers and addresses `buffer` by `server` and sends it. `armed` runs
    // under the lock once the request is numbered, before it leaves (the
    // answer may come at once). False, with nothing sent, when it is gone.
    using Armed = std::function<void(proto::ServerInfo&, const proto::CommandBuffer&)>;
    virtual bool SendToServer(ServerHandle server, proto::CommandBuffer& buffer, uint16_t command,
                              const Armed& armed = nullptr) = 0;

    // The one reply a flow waits for: its request's command and the record it
    // went to. A login, configuration read or details reply that no flow
    // waits for is dropped, so a host that sends replies nobody asked for
    // cannot open dialogs or message boxes. A new discovery ends the wait.
    virtual void Await(ServerHandle server, uint16_t command) = 0;
    // Whether the selected server's flow waits for a reply to `command`;
    // when it does, the wait ends.
    virtual bool TakeAwaited(uint16_t command) = 0;
    // Sends `buffer` to the selected server, `server`, and waits for the reply
    // when the request went out.
    void SendAndAwait(ServerHandle server, proto::CommandBuffer& buffer, uint16_t command) {
        if (SendToSelected(buffer, command))
            Await(server, command);
    }

    virtual void StartTimer(int id, unsigned ms) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void PlayBusy() = 0;
    virtual void StopBusy() = 0;
    virtual void StartDiscovery() = 0;

    // The window is closing: nothing is sent, and no flow goes on when its
    // dialog returns.
    virtual bool closing() const = 0;
    // A flow's dialog opens over the list or closes again (see Dialog).
    virtual void DialogOpened() = 0;
    virtual void DialogClosed() = 0;
};

// A dialog of a flow, modal over the list, for as long as this lives: no
// not-configured prompt is offered meanwhile, and an open one goes away.
class Dialog {
public:
    explicit Dialog(Host& host) : host_(host) { host_.DialogOpened(); }
    ~Dialog() { host_.DialogClosed(); }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

private:
    Host& host_;
};

}  // namespace flow
