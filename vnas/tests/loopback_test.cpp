// Runs the real server loop on the loopback interface: the socket on
// 127.0.0.1 with a free port, the servers answering from 127.0.1.x, the
// client sending unicast requests only.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "protocol/packet.h"
#include "vnas/net.h"

namespace vnas {
namespace {

using namespace proto;

struct Received {
    uint32_t from = 0;
    std::vector<uint8_t> bytes;
};

// Waits up to `ms` for one datagram.
bool ReceiveOne(int fd, int ms, Received* out) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms) != 1)
        return false;
    uint8_t buf[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return false;
    out->from = ntohl(from.sin_addr.s_addr);
    out->bytes.assign(buf, buf + n);
    return true;
}

TEST(Loopback, DiscoverAndStatusOverRealSockets) {
    std::vector<ServerConfig> servers;
    for (int i = 1; i <= 3; ++i) {
        ServerConfig s;
        s.address = 0x7F000100u + static_cast<uint32_t>(i);
        s.ip = s.address;
        s.mac = {0x02, 0, 0, 0, 0, static_cast<uint8_t>(i)};
        s.name = "LOOP-" + std::to_string(i);
        servers.push_back(s);
    }
    char dir[] = "/tmp/vnas-loop-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string logPath = std::string(dir) + "/log";
    const std::string ctlPath = std::string(dir) + "/ctl";

    SystemClock clock;
    Simulator sim(servers, &clock);
    NetOptions opt;
    opt.bindAddress = 0x7F000001;
    opt.port = 0;
    opt.logPath = logPath;
    opt.controlPath = ctlPath;
    NetServer server(sim, opt);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    ASSERT_NE(server.Port(), 0);
    std::thread loop([&] { server.Run(); });

    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(0x7F000001);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
    sockaddr_in to = self;
    to.sin_port = htons(server.Port());
    auto send = [&](const Mac& id, uint16_t seq, uint16_t cmd) {
        PacketHeader h;
        std::memcpy(h.serverId, id.data(), 6);
        h.seq = seq;
        h.command = cmd;
        const std::vector<uint8_t> d = PackDatagram(h, CommandBuffer{});
        ASSERT_EQ(sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(d.size()));
    };

    send(Mac{}, 0, CMD_DISCOVER);
    std::set<uint32_t> sources;
    std::set<std::string> names;
    Received r;
    while (sources.size() < 3 && ReceiveOne(fd, 2000, &r)) {
        sources.insert(r.from);
        std::string name;
        FindText(r.bytes.data(), r.bytes.size(), TAG_SERVER_NAME, 127, &name);
        names.insert(name);
        EXPECT_EQ(PacketHeader::Decode(r.bytes.data()).seq, 1);
    }
    EXPECT_EQ(sources, (std::set<uint32_t>{0x7F000101, 0x7F000102, 0x7F000103}));
    EXPECT_EQ(names, (std::set<std::string>{"LOOP-1", "LOOP-2", "LOOP-3"}));

    send(servers[1].mac, 2, CMD_GET_STATUS);
    ASSERT_TRUE(ReceiveOne(fd, 2000, &r));
    EXPECT_EQ(r.from, 0x7F000102u);
    const PacketHeader h = PacketHeader::Decode(r.bytes.data());
    EXPECT_EQ(h.seq, 3);
    EXPECT_EQ(h.command, CMD_GET_STATUS);
    EXPECT_EQ(std::memcmp(h.serverId, servers[1].mac.data(), 6), 0);
    EXPECT_EQ(FindIPv4(r.bytes.data(), r.bytes.size(), TAG_IP), 0x7F000102u);

    // Stop through the control FIFO, as a harness would.
    {
        std::ofstream ctl(ctlPath);
        ctl << "quit\n";
    }
    loop.join();
    close(fd);
    server.Cleanup();
    EXPECT_NE(access(ctlPath.c_str(), F_OK), 0);  // the FIFO is gone

    std::ifstream in(logPath);
    std::stringstream log;
    log << in.rdbuf();
    const std::string text = log.str();
    EXPECT_NE(text.find("rx src=127.0.0.1:"), std::string::npos) << text;
    EXPECT_NE(text.find(" dst=127.0.0.1:" + std::to_string(server.Port()) +
                        " len=16 id=00:00:00:00:00:00 origin=0000 seq=0 cmd=1 status=0 kind=0 "
                        "items= t="),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("tx src=127.0.1.2:" + std::to_string(server.Port()) + " dst=127.0.0.1:"),
              std::string::npos);
    EXPECT_NE(text.find("event control \"quit\""), std::string::npos);
    unlink(logPath.c_str());
    rmdir(dir);
}

}  // namespace
}  // namespace vnas
