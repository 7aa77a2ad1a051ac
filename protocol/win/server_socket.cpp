#include "protocol/win/server_socket.h"

CServerSocket::~CServerSocket() {
    Close();
}

int CServerSocket::Create(HWND window, UINT message, uint16_t localPort) {
    Close();
    notifyWindow = window;
    replyMessage = message;
    port = localPort;
    GetLocalAddresses(localAddrs, 10, &localCount);

    destination = {};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(localPort);
    destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    sock_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock_ == INVALID_SOCKET)
        return 0;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(localPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(sock_, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        Close();
        return 0;
    }
    BOOL on = TRUE;
    setsockopt(sock_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    // A burst of replies from many servers must not overflow the queue: room
    // for the discovery replies of some thousands of servers arriving within
    // milliseconds, before the window has had a chance to read any of them.
    int rcvbuf = 4 << 20;
    setsockopt(sock_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&rcvbuf), sizeof rcvbuf);
    if (WSAAsyncSelect(sock_, window, WM_SOCKET_NOTIFY, FD_READ) == SOCKET_ERROR) {
        Close();
        return 0;
    }
    return 1;
}

void CServerSocket::Close() {
    if (sock_ != INVALID_SOCKET) {
        closesocket(sock_);
        sock_ = INVALID_SOCKET;
    }
    queue_.Clear();
}

void CServerSocket::SendDatagram(const std::vector<uint8_t>& datagram) {
    if (sock_ == INVALID_SOCKET)
        return;
    sendto(sock_, reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()),
           0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

int CServerSocket::SendDatagramTo(const std::vector<uint8_t>& datagram, uint32_t address) {
    if (sock_ == INVALID_SOCKET)
        return WSAENOTSOCK;
    sockaddr_in to = destination;
    to.sin_addr.s_addr = htonl(address);
    const int n = sendto(sock_, reinterpret_cast<const char*>(datagram.data()),
                         static_cast<int>(datagram.size()), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return n == SOCKET_ERROR ? WSAGetLastError() : 0;
}

bool CServerSocket::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_SOCKET_NOTIFY)
        return false;
    OnNotify(wParam, lParam);
    return true;
}

void CServerSocket::OnNotify(WPARAM wParam, LPARAM lParam) {
    if (static_cast<SOCKET>(wParam) != sock_ || sock_ == INVALID_SOCKET)
        return;
    if (WSAGETSELECTEVENT(lParam) != FD_READ)
        return;
    Receive(kMaxReadsPerNotification, true);
}

void CServerSocket::Receive(int max, bool notified) {
    // Everything that waits (up to a bound, so that the window stays
    // responsive): when thousands of servers answer at once, the system's
    // queue must be emptied as fast as they answer, ahead of their handling.
    // Each read that leaves more waiting would have a notification posted
    // (one window message per datagram): they are off while the reads go
    // on, and on again after them (which posts one when more came).
    bool quiet = false;
    for (int i = 0; i < max && sock_ != INVALID_SOCKET; ++i) {
        if (i == 1 && WSAAsyncSelect(sock_, notifyWindow, WM_SOCKET_NOTIFY, 0) == 0)
            quiet = true;
        // Between notifications, whether anything waits is asked first: a
        // read that finds nothing costs twice what the question costs. After
        // a notification the reads go on until one finds nothing (it
        // re-enables the notification, and an empty datagram reads as
        // nothing waiting to the question).
        u_long waiting = 0;
        if (!notified && i == 0 &&
            (ioctlsocket(sock_, FIONREAD, &waiting) == SOCKET_ERROR || waiting == 0))
            break;
        uint8_t buf[proto::kMaxDatagram];
        sockaddr_in from = {};
        int fromLen = sizeof from;
        const int n = recvfrom(sock_, reinterpret_cast<char*>(buf), sizeof buf, 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            break;
        // Other errors (a datagram too long for the buffer) drop that one.
        if (!proto::PassesReceiveFilter(from.sin_addr.s_addr, localAddrs, localCount, n))
            continue;
        queue_.Push(ntohl(from.sin_addr.s_addr), buf, static_cast<size_t>(n));
    }
    if (quiet && sock_ != INVALID_SOCKET)
        WSAAsyncSelect(sock_, notifyWindow, WM_SOCKET_NOTIFY, FD_READ);
    Notify();
}

void CServerSocket::Notify() {
    if (notifyWindow != nullptr && queue_.NoticeDue() &&
        !PostMessageW(notifyWindow, replyMessage, 0, 0))
        queue_.NoticeTaken();
}

proto::ReplyBlock* CServerSocket::TakeReply() {
    if (++taken_ % kTakesPerRead == 0)
        Receive(kReadsPerTake, false);
    proto::ReplyBlock* block = queue_.Pop();
    Notify();
    return block;
}

void CServerSocket::FreeReplyBlock(proto::ReplyBlock* block) {
    proto::FreeReplyBlock(block);
}
