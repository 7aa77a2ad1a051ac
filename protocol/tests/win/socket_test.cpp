// The real socket under Wine in the client namespace of tests/e2e/socket_netns.sh:
// interface list, discovery broadcast and replies through a window's message
// loop, the receive filter on live datagrams. The script starts two virtual
// servers and, on this program's request, sends raw datagrams from the server
// side. Outside that set-up every test skips without sending anything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/win/server_socket.h"

namespace {

// Set by the script: the client address and the virtual servers' addresses.
std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

uint32_t ParseIPv4(const std::string& text) {  // host order, 0 when malformed
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4)
        return 0;
    if (a > 255 || b > 255 || c > 255 || d > 255)
        return 0;
    return (a << 24) | (b << 16) | (c << 8) | d;
}

// A Unix path as the program sees it through drive Z:.
std::string WinPath(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& ch : p)
        if (ch == '/')
            ch = '\\';
    return p;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The message the socket tells of waiting replies with.
constexpr UINT kReplyMessage = WM_APP + 7;

// Takes the socket's replies on its reply message and keeps them until the
// test frees them.
struct Collector {
    CServerSocket* socket = nullptr;
    std::vector<proto::ReplyBlock*> blocks;
};
Collector g_collector;

constexpr UINT_PTR kDeadlineTimer = 1;
constexpr UINT_PTR kPollTimer = 2;  // re-checks the condition while nothing arrives

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_collector.socket && g_collector.socket->HandleMessage(msg, wParam, lParam))
        return 0;
    if (msg == kReplyMessage && g_collector.socket) {
        g_collector.socket->NoticeTaken();
        while (proto::ReplyBlock* block = g_collector.socket->TakeReply())
            g_collector.blocks.push_back(block);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class SocketNetnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        clientIp_ = ParseIPv4(Env("TAVIX_NETNS_CLIENT_IP"));
        if (clientIp_ == 0)
            GTEST_SKIP() << "not in the test namespace (TAVIX_NETNS_CLIENT_IP unset)";
        // Never broadcast unless this computer really is the namespace client.
        uint32_t addrs[10];
        int count = 0;
        ASSERT_EQ(GetLocalAddresses(addrs, 10, &count), 1);
        bool found = false;
        for (int i = 0; i < count; ++i)
            found |= ntohl(addrs[i]) == clientIp_;
        if (!found)
            GTEST_SKIP() << "client address not among the local addresses";

        WNDCLASSW wc = {};
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TavixSocketTestWindow";
        RegisterClassW(&wc);  // fails harmlessly when registered by an earlier test
        window_ = CreateWindowExW(0, wc.lpszClassName, L"socket test", WS_OVERLAPPEDWINDOW, 0, 0,
                                  100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(socket_.Create(window_, kReplyMessage), 1)
            << "bind to 8097 failed: " << WSAGetLastError();
        g_collector = Collector{&socket_, {}};
    }

    void TearDown() override {
        socket_.Close();
        FreeAll();
        g_collector = Collector{};
        if (window_)
            DestroyWindow(window_);
    }

    // Runs the message loop until `done()` holds (then `graceMs` longer, to
    // catch anything that should not come) or `timeoutMs` pass.
    // Both times grow by $TAVIX_TIME_SCALE (32-bit Wine under emulation).
    template <typename Done>
    void Pump(Done done, UINT timeoutMs, UINT graceMs) {
        const unsigned long scale = std::strtoul(Env("TAVIX_TIME_SCALE").c_str(), nullptr, 10);
        if (scale > 1 && scale <= 100) {
            timeoutMs *= scale;
            graceMs *= scale;
        }
        SetTimer(window_, kDeadlineTimer, timeoutMs, nullptr);
        SetTimer(window_, kPollTimer, 100, nullptr);
        bool inGrace = false;
        MSG msg;
        for (int i = 0; i < 100000 && GetMessageW(&msg, nullptr, 0, 0) > 0; ++i) {
            if (msg.message == WM_TIMER && msg.hwnd == window_ && msg.wParam == kDeadlineTimer)
                break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (!inGrace && done()) {
                inGrace = true;
                SetTimer(window_, kDeadlineTimer, graceMs, nullptr);
            }
        }
        KillTimer(window_, kDeadlineTimer);
        KillTimer(window_, kPollTimer);
    }

    // Frees every collected block, each once.
    void FreeAll() {
        for (proto::ReplyBlock* b : g_collector.blocks)
            CServerSocket::FreeReplyBlock(b);
        g_collector.blocks.clear();
    }

    uint32_t clientIp_ = 0;
    HWND window_ = nullptr;
    CServerSocket socket_;
};

TEST_F(SocketNetnsTest, InterfaceListHoldsClientAddressOnly) {
    uint32_t addrs[10] = {};
    int count = -1;
    ASSERT_EQ(GetLocalAddresses(addrs, 10, &count), 1);
    ASSERT_GE(count, 1);
    ASSERT_LE(count, 10);
    for (int i = 0; i < count; ++i) {
        EXPECT_NE(ntohl(addrs[i]) >> 24, 127u) << "loopback listed";
        EXPECT_EQ(ntohl(addrs[i]), clientIp_)
            << "unexpected address " << proto::FormatIPv4(ntohl(addrs[i]));
    }
    // The socket copied the same list.
    EXPECT_EQ(socket_.localCount, count);
    EXPECT_EQ(std::memcmp(socket_.localAddrs, addrs, sizeof(uint32_t) * count), 0);
    EXPECT_EQ(socket_.destination.sin_addr.s_addr, htonl(INADDR_BROADCAST));
    EXPECT_EQ(ntohs(socket_.destination.sin_port), proto::kPort);
}

TEST_F(SocketNetnsTest, DiscoveryGetsBothServersAndDropsOwnBroadcast) {
    std::set<uint32_t> expected;
    std::stringstream list(Env("TAVIX_NETNS_SERVERS"));
    for (std::string item; std::getline(list, item, ',');)
        expected.insert(ParseIPv4(item));
    ASSERT_EQ(expected.size(), 2u) << "TAVIX_NETNS_SERVERS must name two servers";

    proto::CommandBuffer buffer;
    proto::AddressRequest(nullptr, proto::CMD_DISCOVER, buffer);
    const std::vector<uint8_t> datagram = proto::PackDatagram(buffer.header, buffer);
    ASSERT_EQ(datagram.size(), proto::kHeaderSize);
    socket_.SendDatagram(datagram);

    auto& blocks = g_collector.blocks;
    Pump([&] { return blocks.size() >= expected.size(); }, 10000, 1500);

    std::set<uint32_t> sources;
    for (const proto::ReplyBlock* b : blocks) {
        SCOPED_TRACE("block from " + proto::FormatIPv4(b->sourceIp));
        EXPECT_NE(b->sourceIp, clientIp_) << "own broadcast passed the filter";
        ASSERT_GE(b->length, proto::kHeaderSize);
        ASSERT_LE(b->length, proto::kMaxDatagram);
        const proto::PacketHeader h = proto::PacketHeader::Decode(b->data);
        EXPECT_EQ(h.command, proto::CMD_DISCOVER);
        EXPECT_GT(b->length, proto::kHeaderSize) << "a reply without items (own request?)";
        std::string name;
        EXPECT_EQ(proto::FindText(b->data, b->length, proto::TAG_SERVER_NAME, 29, &name), 1);
        for (std::size_t i = b->length; i < proto::kMaxDatagram; ++i)
            ASSERT_EQ(b->data[i], 0) << "byte " << i << " after the datagram";
        sources.insert(b->sourceIp);
    }
    EXPECT_EQ(blocks.size(), 2u);
    EXPECT_EQ(sources, expected);
}

// The script sends, from the server side and in this order, 15, 1025 and 16
// bytes to port 8097 once this test asks for them.
TEST_F(SocketNetnsTest, ShortAndOversizedDatagramsAreDropped) {
    const std::string dir = Env("TAVIX_HANDSHAKE_DIR");
    ASSERT_FALSE(dir.empty()) << "TAVIX_HANDSHAKE_DIR unset";
    const std::string request = WinPath(dir + "/raw-request");
    const std::string sent = WinPath(dir + "/raw-sent");
    { std::ofstream(request) << "ready\n"; }
    ASSERT_TRUE(FileExists(request)) << request;

    auto& blocks = g_collector.blocks;
    // The socket must keep serving while the script sends: pump until the
    // script reports the datagrams sent and the 16-byte one arrived.
    Pump([&] { return FileExists(sent) && !blocks.empty(); }, 20000, 1000);

    ASSERT_TRUE(FileExists(sent)) << "the script never sent the datagrams";
    ASSERT_EQ(blocks.size(), 1u) << "only the 16-byte datagram may pass";
    const proto::ReplyBlock* b = blocks[0];
    EXPECT_EQ(b->length, 16u);
    EXPECT_NE(b->sourceIp, clientIp_);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(b->data[i], i) << "byte " << i;
    for (std::size_t i = 16; i < proto::kMaxDatagram; ++i)
        ASSERT_EQ(b->data[i], 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        std::fprintf(stderr, "WSAStartup(1.1) failed\n");
        return 1;
    }
    const int rc = RUN_ALL_TESTS();
    WSACleanup();
    return rc;
}
