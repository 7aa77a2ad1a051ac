#include "vnas/net.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace vnas {

namespace {

constexpr int64_t kMaxWaitMs = 1000;      // longest sleep of the loop
constexpr int kMaxReceivesPerTurn = 256;  // datagrams read before looking elsewhere
constexpr std::size_t kMaxControlLine = 4096;

bool ValidDeviceName(const std::string& dev) {
    if (dev.empty() || dev.size() > 15)
        return false;
    return std::all_of(dev.begin(), dev.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

std::string Errno(int e) {
    return std::strerror(e);
}

bool IsLoopback(uint32_t hostOrder) {
    return (hostOrder >> 24) == 127;
}

// A message of one buffer with its peer's address and room for control data.
template <std::size_t N>
msghdr Message(sockaddr_in* peer, iovec* buffer, char (&control)[N]) {
    msghdr msg{};
    msg.msg_name = peer;
    msg.msg_namelen = sizeof *peer;
    msg.msg_iov = buffer;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = N;
    return msg;
}

int64_t NowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace

NetServer::NetServer(Simulator& sim, NetOptions options) : sim_(sim), opt_(std::move(options)) {}

NetServer::~NetServer() {
    Cleanup();
}

namespace {
int64_t WallUs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
}
}  // namespace

void NetServer::Log(const std::string& line, int64_t wallUs) {
    if (log_ == nullptr)
        return;
    // Wall-clock time in microseconds, so that a test can relate log lines to
    // what a client saw.
    std::fputs(line.c_str(), log_);
    std::fprintf(log_, " t=%lld\n", static_cast<long long>(wallUs >= 0 ? wallUs : WallUs()));
    std::fflush(log_);
}

bool NetServer::RunIp(const std::vector<std::string>& commands, std::string* error) {
    if (commands.empty())
        return true;
    FILE* p = popen("ip -force -batch -", "w");
    if (p == nullptr) {
        *error = "cannot run 'ip': " + Errno(errno);
        return false;
    }
    for (const std::string& c : commands)
        std::fprintf(p, "%s\n", c.c_str());
    const int status = pclose(p);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "'ip -batch' failed for some of " + std::to_string(commands.size()) +
                 " address commands on " + opt_.manageDevice;
        return false;
    }
    return true;
}

void NetServer::AddAddresses(const std::vector<uint32_t>& addrs) {
    std::vector<std::string> cmds;
    for (uint32_t a : addrs) {
        if (a == 0 || std::find(added_.begin(), added_.end(), a) != added_.end())
            continue;
        cmds.push_back("address add " + proto::FormatIPv4(a) + "/" +
                       std::to_string(opt_.prefixLength) + " dev " + opt_.manageDevice);
        added_.push_back(a);
    }
    std::string error;
    if (!RunIp(cmds, &error))
        Log("event address-error " + error);
}

bool NetServer::Start(std::string* error) {
    if (!opt_.logPath.empty()) {
        log_ = std::fopen(opt_.logPath.c_str(), "w");
        if (log_ == nullptr) {
            *error = opt_.logPath + ": cannot open the log: " + Errno(errno);
            return false;
        }
    }
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
        *error = "pipe: " + Errno(errno);
        return false;
    }

    if (!opt_.manageDevice.empty()) {
        if (!ValidDeviceName(opt_.manageDevice)) {
            *error = "bad interface name '" + opt_.manageDevice + "'";
            return false;
        }
        // Addresses already on the interface are used as they are and left
        // there at exit.
        std::vector<uint32_t> present;
        const std::string list = "ip -o -4 addr show dev " + opt_.manageDevice;
        if (FILE* p = popen(list.c_str(), "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, p) != nullptr) {
                const char* inet = std::strstr(line, " inet ");
                if (inet == nullptr)
                    continue;
                std::string text(inet + 6);
                text = text.substr(0, text.find_first_of("/ \n"));
                uint32_t a = 0;
                if (ParseIPv4(text, &a))
                    present.push_back(a);
            }
            const int status = pclose(p);
            if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                *error = "cannot list the addresses of " + opt_.manageDevice;
                return false;
            }
        }
        // Removing a primary address would take the secondary ones with it.
        const std::string promote =
            "/proc/sys/net/ipv4/conf/" + opt_.manageDevice + "/promote_secondaries";
        if (FILE* f = std::fopen(promote.c_str(), "w")) {
            std::fputs("1\n", f);
            std::fclose(f);
        }
        std::vector<std::string> cmds;
        std::vector<uint32_t> fresh;
        for (uint32_t a : sim_.ActiveAddresses()) {
            if (a == 0 || std::find(present.begin(), present.end(), a) != present.end())
                continue;
            cmds.push_back("address add " + proto::FormatIPv4(a) + "/" +
                           std::to_string(opt_.prefixLength) + " dev " + opt_.manageDevice);
            fresh.push_back(a);
        }
        added_ = fresh;
        if (!RunIp(cmds, error))
            return false;
        Log("event addresses-added count=" + std::to_string(fresh.size()) +
            " device=" + opt_.manageDevice);
    }

    sock_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (sock_ < 0) {
        *error = "socket: " + Errno(errno);
        return false;
    }
    const int one = 1;
    setsockopt(sock_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(sock_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    setsockopt(sock_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    const int bufSize = 4 << 20;
    setsockopt(sock_, SOL_SOCKET, SO_RCVBUF, &bufSize, sizeof bufSize);
    setsockopt(sock_, SOL_SOCKET, SO_SNDBUF, &bufSize, sizeof bufSize);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(opt_.port);
    addr.sin_addr.s_addr = htonl(opt_.bindAddress);
    if (bind(sock_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        *error = "cannot bind " + proto::FormatIPv4(opt_.bindAddress) + ":" +
                 std::to_string(opt_.port) + ": " + Errno(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(sock_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);

    if (opt_.wakePort != 0) {
        wakeSock_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in w{};
        w.sin_family = AF_INET;
        w.sin_port = htons(opt_.wakePort);
        w.sin_addr.s_addr = htonl(opt_.bindAddress);
        if (wakeSock_ < 0 || setsockopt(wakeSock_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) != 0 ||
            bind(wakeSock_, reinterpret_cast<sockaddr*>(&w), sizeof w) != 0) {
            *error =
                "cannot bind the wake port " + std::to_string(opt_.wakePort) + ": " + Errno(errno);
            return false;
        }
    }

    if (!opt_.controlPath.empty()) {
        struct stat st {};
        if (lstat(opt_.controlPath.c_str(), &st) == 0) {
            if (!S_ISFIFO(st.st_mode)) {
                *error = opt_.controlPath + ": exists and is not a FIFO";
                return false;
            }
            unlink(opt_.controlPath.c_str());
        }
        if (mkfifo(opt_.controlPath.c_str(), 0600) != 0) {
            *error = opt_.controlPath + ": cannot create the FIFO: " + Errno(errno);
            return false;
        }
        fifoCreated_ = true;
        controlFd_ = open(opt_.controlPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        controlKeep_ = open(opt_.controlPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (controlFd_ < 0 || controlKeep_ < 0) {
            *error = opt_.controlPath + ": cannot open the FIFO: " + Errno(errno);
            return false;
        }
    }
    Log("event started servers=" + std::to_string(sim_.servers().size()) +
        " bind=" + proto::FormatIPv4(opt_.bindAddress) + ":" + std::to_string(port_));
    return true;
}

void NetServer::RequestStop() {
    if (wake_[1] >= 0) {
        const char c = 'q';
        [[maybe_unused]] const ssize_t n = write(wake_[1], &c, 1);
    }
}

void NetServer::Cleanup() {
    if (sock_ >= 0)
        close(sock_);
    sock_ = -1;
    if (wakeSock_ >= 0)
        close(wakeSock_);
    wakeSock_ = -1;
    if (!added_.empty()) {
        std::vector<std::string> cmds;
        for (uint32_t a : added_)
            cmds.push_back("address del " + proto::FormatIPv4(a) + "/" +
                           std::to_string(opt_.prefixLength) + " dev " + opt_.manageDevice);
        std::string error;
        if (!RunIp(cmds, &error))
            Log("event address-error " + error);
        added_.clear();
    }
    if (controlFd_ >= 0)
        close(controlFd_);
    if (controlKeep_ >= 0)
        close(controlKeep_);
    controlFd_ = controlKeep_ = -1;
    if (fifoCreated_)
        unlink(opt_.controlPath.c_str());
    fifoCreated_ = false;
    for (int& fd : wake_) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    if (log_ != nullptr) {
        Log("event stopped");
        std::fclose(log_);
        log_ = nullptr;
    }
}

bool NetServer::SendOne(const Outgoing& o) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(o.to.port);
    to.sin_addr.s_addr = htonl(o.to.address);
    iovec iov{const_cast<uint8_t*>(o.bytes.data()), o.bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg = Message(&to, &iov, control);
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(o.from);  // the server's own address as source
    std::memcpy(CMSG_DATA(c), &info, sizeof info);

    const int error = sendmsg(sock_, &msg, 0) < 0 ? errno : 0;
    if (error == EAGAIN || error == EWOULDBLOCK)
        return false;
    // Logged after the burst, with the time it was sent: describing and
    // writing between datagrams would spread a burst of replies out.
    sent_.push_back({Endpoint{o.from, port_}, o.to, o.bytes, WallUs(), error});
    return true;
}

void NetServer::LogSent() {
    for (const Sent& r : sent_) {
        std::string line = DescribeDatagram(r.src, r.to, r.bytes.data(), r.bytes.size());
        if (r.error != 0) {
            const char* why = std::strerror(r.error);
            line = "tx-error " + line +
                   " error=" + QuoteText(reinterpret_cast<const uint8_t*>(why), std::strlen(why));
        } else {
            line = "tx " + line;
        }
        Log(line, r.wallUs);
    }
    sent_.clear();
}

void NetServer::SendQueued() {
    while (!queue_.empty()) {
        if (opt_.replyGapUs > 0 && NowUs() < nextSendUs_)
            break;
        if (!SendOne(queue_.front()))
            break;  // socket full: wait for POLLOUT
        queue_.pop_front();
        if (opt_.replyGapUs > 0)
            nextSendUs_ = NowUs() + opt_.replyGapUs;
    }
    LogSent();
}

void NetServer::Apply(Effects fx) {
    for (const std::string& e : fx.events)
        Log("event " + e);
    for (const AddressMove& m : fx.moves) {
        if (opt_.manageDevice.empty())
            continue;
        AddAddresses({m.to});
        const bool stillUsed =
            std::any_of(sim_.servers().begin(), sim_.servers().end(),
                        [&](const ServerState& s) { return s.active == m.from; });
        auto it = std::find(added_.begin(), added_.end(), m.from);
        if (!stillUsed && it != added_.end()) {
            std::string error;
            if (!RunIp({"address del " + proto::FormatIPv4(m.from) + "/" +
                        std::to_string(opt_.prefixLength) + " dev " + opt_.manageDevice},
                       &error))
                Log("event address-error " + error);
            added_.erase(it);
        }
        Log("event address-moved from=" + proto::FormatIPv4(m.from) +
            " to=" + proto::FormatIPv4(m.to));
    }
    for (Outgoing& o : fx.out)
        queue_.push_back(std::move(o));
    if (fx.quit)
        stop_ = true;
}

namespace {

// One datagram from `fd` with its sender and its destination address (0
// when not known); -1 when none waits.
ssize_t ReceiveFrom(int fd, std::vector<uint8_t>& buf, Endpoint* src, uint32_t* dst) {
    sockaddr_in from{};
    iovec iov{buf.data(), buf.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo)) + 64] = {};
    msghdr msg = Message(&from, &iov, control);
    const ssize_t n = recvmsg(fd, &msg, 0);
    if (n < 0)
        return n;
    *dst = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            *dst = ntohl(info.ipi_addr.s_addr);
        }
    }
    *src = Endpoint{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
    return n;
}

}  // namespace

void NetServer::Receive() {
    static thread_local std::vector<uint8_t> buf(65536);
    for (int i = 0; i < kMaxReceivesPerTurn; ++i) {
        Endpoint src, dst{0, port_};
        const ssize_t n = ReceiveFrom(sock_, buf, &src, &dst.address);
        if (n < 0)
            return;  // EAGAIN or a transient error: back to poll
        const std::size_t len = static_cast<std::size_t>(n);
        Log("rx " + DescribeDatagram(src, dst, buf.data(), len));
        Apply(sim_.Handle(src, buf.data(), len));
        SendQueued();
    }
}

void NetServer::ReceiveWake() {
    static thread_local std::vector<uint8_t> buf(65536);
    for (int i = 0; i < kMaxReceivesPerTurn; ++i) {
        Endpoint src, dst{0, opt_.wakePort};
        const ssize_t n = ReceiveFrom(wakeSock_, buf, &src, &dst.address);
        if (n < 0)
            return;
        const std::size_t len = static_cast<std::size_t>(n);
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (std::size_t k = 0; k < len; ++k) {
            hex += kHex[buf[k] >> 4];
            hex += kHex[buf[k] & 15];
        }
        Log("rx-wake src=" + proto::FormatIPv4(src.address) + ":" + std::to_string(src.port) +
            " dst=" + proto::FormatIPv4(dst.address) + ":" + std::to_string(dst.port) +
            " len=" + std::to_string(len) + " bytes=" + hex);
        Apply(sim_.Wake(src, buf.data(), len));
        SendQueued();
    }
}

void NetServer::ReadControl() {
    char chunk[1024];
    for (;;) {
        const ssize_t n = read(controlFd_, chunk, sizeof chunk);
        if (n <= 0)
            break;
        controlBuf_.append(chunk, static_cast<std::size_t>(n));
    }
    std::size_t nl;
    while ((nl = controlBuf_.find('\n')) != std::string::npos) {
        const std::string line = controlBuf_.substr(0, nl);
        controlBuf_.erase(0, nl + 1);
        Apply(sim_.Control(line, !IsLoopback(opt_.bindAddress)));
        SendQueued();
    }
    if (controlBuf_.size() > kMaxControlLine) {
        Log("event control-error line longer than " + std::to_string(kMaxControlLine) +
            " bytes dropped");
        controlBuf_.clear();
    }
}

int NetServer::Run() {
    while (!stop_) {
        int64_t waitUs = kMaxWaitMs * 1000;
        const int64_t restart = sim_.MsUntilNextDeadline();
        if (restart >= 0)
            waitUs = std::min(waitUs, restart * 1000);
        if (!queue_.empty() && opt_.replyGapUs > 0)
            waitUs = std::clamp<int64_t>(nextSendUs_ - NowUs(), 0, waitUs);
        pollfd fds[4] = {};
        fds[0].fd = sock_;
        fds[0].events = POLLIN;
        if (!queue_.empty() && opt_.replyGapUs <= 0)
            fds[0].events |= POLLOUT;
        fds[1].fd = wake_[0];
        fds[1].events = POLLIN;
        fds[2].fd = controlFd_;  // -1 when there is no FIFO: poll skips it
        fds[2].events = POLLIN;
        fds[3].fd = wakeSock_;  // -1 without a wake port
        fds[3].events = POLLIN;
        const timespec timeout{static_cast<time_t>(waitUs / 1000000),
                               static_cast<long>(waitUs % 1000000) * 1000};
        const int ready = ppoll(fds, 4, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            Log("event poll-error " + Errno(errno));
            break;
        }
        if (ready > 0) {
            if (fds[1].revents & POLLIN)
                break;
            if (fds[0].revents & POLLIN)
                Receive();
            if (fds[2].revents & POLLIN)
                ReadControl();
            if (fds[3].revents & POLLIN)
                ReceiveWake();
        }
        Apply(sim_.Tick());
        SendQueued();
    }
    // Replies already decided on still go out.
    for (int i = 0; i < 10000 && !queue_.empty(); ++i) {
        if (!SendOne(queue_.front()))
            break;
        queue_.pop_front();
    }
    LogSent();
    return 0;
}

}  // namespace vnas
