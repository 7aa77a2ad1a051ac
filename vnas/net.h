// The network side of the virtual NAS: one UDP socket on the protocol port,
// replies sent from each server's own address, the control FIFO, the log and
// (optionally) the servers' addresses on an interface. Linux only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "vnas/simulator.h"

namespace vnas {

struct NetOptions {
    uint32_t bindAddress = 0;  // host order; 0 = all
    uint16_t port = 8097;      // 0: any free port (see NetServer::Port)
    std::string manageDevice;  // add/remove the servers' addresses on it
    int prefixLength = 24;     // of the addresses added there
    std::string controlPath;   // FIFO for control lines
    std::string logPath;
    int replyGapUs = 0;     // pause between two datagrams sent
    uint16_t wakePort = 0;  // wake-on-LAN port listened on (9); 0 = none
};

class NetServer {
public:
    NetServer(Simulator& sim, NetOptions options);
    ~NetServer();  // removes the addresses it added, the FIFO, closes the log
    NetServer(const NetServer&) = delete;
    NetServer& operator=(const NetServer&) = delete;

    // Opens the log, binds the socket, puts the addresses in place and
    // creates the FIFO. On failure returns false with a one-line `error`.
    bool Start(std::string* error);
    uint16_t Port() const { return port_; }

    // Serves until RequestStop or a "quit" control line. Returns 0.
    int Run();
    // Safe from a signal handler and from another thread.
    void RequestStop();

    // Removes what Start put in place (also done by the destructor).
    void Cleanup();

private:
    void Receive();
    // Magic packets on the wake port: logged byte for byte, then to the
    // simulator.
    void ReceiveWake();
    void ReadControl();
    void Apply(Effects fx);
    void SendQueued();
    bool SendOne(const Outgoing& o);
    bool RunIp(const std::vector<std::string>& commands, std::string* error);
    void AddAddresses(const std::vector<uint32_t>& addrs);
    // Writes one log line with its time (now when not given).
    void Log(const std::string& line, int64_t wallUs = -1);
    // Writes the tx lines of the datagrams sent since the last call.
    void LogSent();

    Simulator& sim_;
    NetOptions opt_;
    int sock_ = -1;
    int wakeSock_ = -1;
    int wake_[2] = {-1, -1};
    int controlFd_ = -1;
    int controlKeep_ = -1;  // our own writer, so the FIFO never reports hang-up
    bool fifoCreated_ = false;
    std::string controlBuf_;
    FILE* log_ = nullptr;
    uint16_t port_ = 0;
    bool stop_ = false;
    std::vector<uint32_t> added_;  // addresses we put on the interface
    std::deque<Outgoing> queue_;
    struct Sent {
        Endpoint src;
        Endpoint to;
        std::vector<uint8_t> bytes;
        int64_t wallUs;
        int error;  // errno of a failed send, else 0
    };
    std::vector<Sent> sent_;
    int64_t nextSendUs_ = 0;  // monotonic microseconds
};

}  // namespace vnas
