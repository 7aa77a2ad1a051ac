// The program's one UDP socket: port 8097 on all addresses, broadcasting on,
// every request to 255.255.255.255:8097. Datagrams that pass the receive
// filter wait in the socket's reply queue as heap ReplyBlocks; the notify
// window is posted the caller's reply message (one at a time) while any wait
// and takes them with TakeReply, each to be freed with FreeReplyBlock.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <cstdint>
#include <vector>

#include "protocol/discovery.h"
#include "protocol/exchange.h"
#include "protocol/reply_queue.h"

// Window message used for the socket's own notifications.
constexpr UINT WM_SOCKET_NOTIFY = WM_APP + 0x101;

// Collects this computer's IPv4 interface addresses (network order), at most
// `capacity` (10), skipping loopback and point-to-point interfaces.
// Returns 1 on success, 0 on failure (then *count is 0).
int GetLocalAddresses(uint32_t* addrs, int capacity, int* count);

// Every IPv4 interface with its netmask and flags (host order), for the
// directed broadcasts of a discovery: room for kMaxInterfaces, as a computer
// with VPN and virtual adapters has more than ten. Returns 1 on success, 0 on
// failure (then `out` is empty).
constexpr int kMaxInterfaces = 64;
int GetLocalInterfaces(std::vector<proto::LocalInterface>* out);

// The address (host order) of the adapter the system sends the limited
// broadcast by, 0 when it cannot tell.
uint32_t GetBroadcastAdapter();

class CServerSocket {
public:
    CServerSocket() = default;
    ~CServerSocket();
    CServerSocket(const CServerSocket&) = delete;
    CServerSocket& operator=(const CServerSocket&) = delete;

    // Fills the local addresses, binds port 8097, switches broadcasting on and
    // asks for read notifications to `notifyWindow`, which is posted
    // `replyMessage` (wParam and lParam 0) while replies wait; it then calls
    // NoticeTaken and TakeReply. Returns 1 on success. Windows Sockets must
    // have been started by the caller.
    int Create(HWND notifyWindow, UINT replyMessage, uint16_t port = proto::kPort);
    void Close();

    // Sends a packed datagram to 255.255.255.255:port. Errors are ignored.
    void SendDatagram(const std::vector<uint8_t>& datagram);
    // Sends a packed datagram to one address (host order) on the same port.
    // Returns 0, or the Windows Sockets error code.
    int SendDatagramTo(const std::vector<uint8_t>& datagram, uint32_t address);

    // Called by the notify window for WM_SOCKET_NOTIFY: receives the waiting
    // datagrams (at most kMaxReadsPerNotification) into the reply queue.
    void OnNotify(WPARAM wParam, LPARAM lParam);

    // The window has the reply message in hand.
    void NoticeTaken() { queue_.NoticeTaken(); }
    // The oldest waiting reply (the caller frees it), nullptr when none
    // waits. Every few replies it reads what has arrived meanwhile, so that
    // the system's queue stays short while the window works; while more
    // wait, a notice is on its way (also to a nested message loop).
    proto::ReplyBlock* TakeReply();
    // Replies a full queue or a failed allocation dropped.
    size_t Dropped() const { return queue_.dropped(); }

    // Lets a window procedure route WM_SOCKET_NOTIFY to this socket; returns
    // true when the message was the socket's.
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    static void FreeReplyBlock(proto::ReplyBlock* block);

    HWND notifyWindow = nullptr;
    UINT replyMessage = 0;
    int port = proto::kPort;
    int localCount = 0;
    uint32_t localAddrs[10] = {};
    sockaddr_in destination = {};

    static constexpr int kMaxReadsPerNotification = 1024;
    static constexpr int kTakesPerRead = 16;
    static constexpr int kReadsPerTake = 256;

private:
    // Reads up to `max` waiting datagrams into the queue; `notified` when
    // the system said that one waits.
    void Receive(int max, bool notified);
    // Posts the reply message unless one is on its way.
    void Notify();

    SOCKET sock_ = INVALID_SOCKET;
    proto::ReplyQueue queue_;
    unsigned taken_ = 0;
};
