#include "vnas/simulator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/packet.h"

namespace vnas {
namespace {

using namespace proto;

class FakeClock : public Clock {
public:
    int64_t ms = 1000000;
    int64_t MonotonicMs() override { return ms; }
    // 15 March 2005 12:00:00 UTC at the start, moving with `ms`.
    int64_t WallSeconds() override { return 1110888000 + (ms - 1000000) / 1000; }
    void Advance(int64_t millis) { ms += millis; }
};

// Hex of bytes, or of a text, so expected datagrams read as runs of fields.
std::string Hex(const std::vector<uint8_t>& b) {
    std::string s;
    char x[3];
    for (uint8_t c : b) {
        std::snprintf(x, sizeof x, "%02x", c);
        s += x;
    }
    return s;
}
std::string H(const std::string& text) {
    return Hex({text.begin(), text.end()});
}
std::string NoBlanks(std::string s) {
    std::erase(s, ' ');
    return s;
}

ServerConfig Storage(int n) {
    ServerConfig s;
    s.address = 0x7F000100u + static_cast<uint32_t>(n);
    s.mac = {0x00, 0x11, 0x32, 0x00, 0x00, static_cast<uint8_t>(n)};
    s.name = "NAS-" + std::to_string(n);
    s.version = {0x21, 0x03};
    s.adminName = "admin";
    s.adminPassword = "secret";
    s.ip = s.address;
    return s;
}

Mac MacOf(int n) {
    return Storage(n).mac;
}
const Mac kNoId{};
const Endpoint kClient{0x7F000001u, 8097};

std::vector<uint8_t> Request(const Mac& id, uint16_t seq, uint16_t command,
                             const CommandBuffer& items = CommandBuffer{}) {
    PacketHeader h;
    std::memcpy(h.serverId, id.data(), 6);
    if (id != kNoId)
        std::memcpy(h.origin, "Cl", 2);
    h.seq = seq;
    h.command = command;
    return PackDatagram(h, items);
}

class SimulatorTest : public ::testing::Test {
protected:
    void Make(std::vector<ServerConfig> servers) {
        sim_ = std::make_unique<Simulator>(std::move(servers), &clock_);
    }
    Effects Send(const std::vector<uint8_t>& d, Endpoint from = kClient) {
        return sim_->Handle(from, d.data(), d.size());
    }
    FakeClock clock_;
    std::unique_ptr<Simulator> sim_;
};

TEST_F(SimulatorTest, DiscoveryReplyIsByteExactAndAnsweredByAll) {
    ServerConfig second = Storage(2);
    second.kind = 1;
    second.alias = "Office";
    Make({Storage(1), second});
    const Effects fx = Send(Request(kNoId, 0, CMD_DISCOVER));
    ASSERT_EQ(fx.out.size(), 2u);
    EXPECT_EQ(fx.out[0].from, 0x7F000101u);
    EXPECT_EQ(fx.out[0].to, kClient);
    EXPECT_EQ(Hex(fx.out[0].bytes), NoBlanks("001132000001 0000 0100 0100 0000 0000 0105" +
                                             H("NAS-1") + "0909" + H("WORKGROUP")));
    // An alias goes first under its own tag; the name follows the workgroup.
    EXPECT_EQ(Hex(fx.out[1].bytes),
              NoBlanks("001132000002 0000 0100 0100 0000 0100 0d06" + H("Office") + "0909" +
                       H("WORKGROUP") + "0105" + H("NAS-2")));
    EXPECT_EQ(fx.out[1].from, 0x7F000102u);
}

TEST_F(SimulatorTest, StatusReplyIsByteExact) {
    ServerConfig s = Storage(1);
    s.kind = 2;
    s.gateway = 0x7F000001;
    Make({s});
    const Effects fx = Send(Request(MacOf(1), 41, CMD_GET_STATUS));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(Hex(fx.out[0].bytes), NoBlanks("001132000001 0000 2a00 0500 0000 0200"
                                             "0105" +
                                             H("NAS-1") + "0909" + H("WORKGROUP") + "02022103" +
                                             "200401000000" + "0c06001132000001" + "080100" +
                                             "05047f000101" + "0704ffffff00" + "06047f000001"));
}

TEST_F(SimulatorTest, OverLongTextsTravelWholeUpTo255Bytes) {
    ServerConfig s = Storage(1);
    s.name = std::string(255, 'N');
    s.workgroup = std::string(200, 'W');
    s.diskModel = std::string(255, 'M');
    Make({s});
    const Effects fx = Send(Request(MacOf(1), 7, CMD_GET_STATUS));
    ASSERT_EQ(fx.out.size(), 1u);
    const std::vector<uint8_t>& d = fx.out[0].bytes;
    // The first items: name and workgroup with their full lengths.
    ASSERT_GT(d.size(), 16u + 2 + 255 + 2 + 200);
    EXPECT_EQ(d[16], TAG_SERVER_NAME);
    EXPECT_EQ(d[17], 255);
    EXPECT_EQ(d[16 + 2 + 255], TAG_WORKGROUP);
    EXPECT_EQ(d[16 + 2 + 255 + 1], 200);
    // The disk model is the last item, whole.
    ASSERT_GE(d.size(), 16u + 257);
    EXPECT_EQ(d[d.size() - 257], TAG_DISK_MODEL);
    EXPECT_EQ(d[d.size() - 256], 255);
    EXPECT_EQ(std::string(d.end() - 255, d.end()), std::string(255, 'M'));
}

TEST_F(SimulatorTest, StatusCarriesRouterDiskAndRawConfiguredItems) {
    ServerConfig s = Storage(1);
    s.router = 2;
    s.routerSize = 1;
    s.lanIp = 0x0A000001;
    s.lanMac = Mac{1, 2, 3, 4, 5, 6};
    s.configured = std::vector<uint8_t>{1};
    s.diskStatus = "-5";
    ServerConfig plain = Storage(2);
    plain.configured.reset();
    Make({s, plain});
    Effects fx = Send(Request(MacOf(1), 1, CMD_GET_STATUS));
    ASSERT_EQ(fx.out.size(), 1u);
    const std::vector<uint8_t>& d = fx.out[0].bytes;
    EXPECT_EQ(FindInt32Zero(d.data(), d.size(), TAG_ROUTER), 2);
    EXPECT_EQ(FindIPv4(d.data(), d.size(), TAG_LAN_IP), 0x0A000001u);
    uint8_t mac[6] = {};
    std::size_t len = 0;
    ASSERT_TRUE(FindItem(d.data(), d.size(), TAG_LAN_MAC, mac, 6, &len));
    EXPECT_EQ(mac[5], 6);
    ASSERT_TRUE(FindItem(d.data(), d.size(), TAG_CONFIGURED, nullptr, 0, &len));
    EXPECT_EQ(len, 1u);  // sent as given: one byte
    std::string text;
    EXPECT_TRUE(FindText(d.data(), d.size(), TAG_DISK_STATUS, 127, &text));
    EXPECT_EQ(text, "-5");
    EXPECT_FALSE(FindItem(d.data(), d.size(), TAG_DISK_MODEL, nullptr, 0, &len));

    fx = Send(Request(MacOf(2), 1, CMD_GET_STATUS));
    ASSERT_EQ(fx.out.size(), 1u);
    const std::vector<uint8_t>& p = fx.out[0].bytes;
    EXPECT_FALSE(FindItem(p.data(), p.size(), TAG_CONFIGURED, nullptr, 0, &len));
    EXPECT_FALSE(FindItem(p.data(), p.size(), TAG_ROUTER, nullptr, 0, &len));
}

TEST_F(SimulatorTest, RepliesNumberSeqPlusOneAndWrap) {
    Make({Storage(1)});
    for (auto [in, out] : {std::pair<int, int>{0, 1}, {7, 8}, {9998, 9999}, {9999, 0}}) {
        const Effects fx = Send(Request(MacOf(1), static_cast<uint16_t>(in), CMD_GET_STATUS));
        ASSERT_EQ(fx.out.size(), 1u);
        const PacketHeader h = PacketHeader::Decode(fx.out[0].bytes.data());
        EXPECT_EQ(h.seq, out) << "request seq " << in;
        EXPECT_EQ(h.command, CMD_GET_STATUS);
    }
}

TEST_F(SimulatorTest, RequestsForOthersAndNonRequestsAreIgnored) {
    Make({Storage(1), Storage(2)});
    EXPECT_TRUE(Send(Request(MacOf(9), 1, CMD_GET_STATUS)).out.empty());
    EXPECT_TRUE(Send(Request(kNoId, 1, CMD_GET_STATUS)).out.empty());  // zero id: discovery only
    const Effects one = Send(Request(MacOf(2), 1, CMD_DISCOVER));      // addressed discovery
    ASSERT_EQ(one.out.size(), 1u);
    EXPECT_EQ(one.out[0].server, 1);
    std::vector<uint8_t> shortOne = Request(kNoId, 0, CMD_DISCOVER);
    shortOne.pop_back();
    EXPECT_TRUE(Send(shortOne).out.empty());
    // Our own datagrams coming back (e.g. a rediscover broadcast) are not requests.
    EXPECT_TRUE(Send(Request(kNoId, 0, CMD_DISCOVER), Endpoint{0x7F000102u, 8097}).out.empty());
    EXPECT_TRUE(Send(Request(MacOf(1), 5, CMD_LOGOUT)).out.empty());
    EXPECT_TRUE(Send(Request(MacOf(1), 5, 99)).out.empty());
}

TEST_F(SimulatorTest, LoginComparesSixteenByteFields) {
    ServerConfig longOne = Storage(2);
    longOne.adminPassword = "0123456789abcdefXYZ";  // only its first 16 bytes count
    Make({Storage(1), longOne});
    auto login = [&](int n, const std::string& name, const std::string& pw, bool both = true) {
        CommandBuffer b;
        b.AddFixedText(TAG_PASSWORD, pw, 16);
        if (both)
            b.AddFixedText(TAG_ADMIN_NAME, name, 16);
        const Effects fx = Send(Request(MacOf(n), 3, CMD_LOGIN, b));
        if (fx.out.size() != 1)
            return 1234;
        EXPECT_EQ(fx.out[0].bytes.size(), kHeaderSize);
        return int{PacketHeader::Decode(fx.out[0].bytes.data()).status};
    };
    EXPECT_EQ(login(1, "admin", "secret"), 0);
    EXPECT_EQ(login(1, "admin", "Secret"), -1);
    EXPECT_EQ(login(1, "Admin", "secret"), -1);
    EXPECT_EQ(login(1, "admin", "secret!"), -1);
    EXPECT_EQ(login(1, "admin", "secret", false), -1);  // no name item
    EXPECT_EQ(login(2, "admin", "0123456789abcdef"), 0);
    EXPECT_EQ(login(2, "admin", "0123456789abcdeX"), -1);
    // Unpadded items compare as if zero-padded.
    CommandBuffer b;
    b.AddText(TAG_PASSWORD, "secret");
    b.AddText(TAG_ADMIN_NAME, "admin");
    const Effects fx = Send(Request(MacOf(1), 3, CMD_LOGIN, b));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, 0);
}

TEST_F(SimulatorTest, ConfigReplyFollowsTheSimulatedClock) {
    ServerConfig s = Storage(1);
    s.date = "12312004";
    s.time = "235959";
    s.dns1 = 0x08080808;
    s.ipMode = 1;
    Make({s});
    clock_.Advance(2000);
    const Effects fx = Send(Request(MacOf(1), 1, CMD_GET_CONFIG));
    ASSERT_EQ(fx.out.size(), 1u);
    const std::vector<uint8_t>& d = fx.out[0].bytes;
    std::string date, time;
    FindText(d.data(), d.size(), TAG_DATE, 127, &date);
    FindText(d.data(), d.size(), TAG_TIME, 127, &time);
    EXPECT_EQ(date, "01012005");
    EXPECT_EQ(time, "000001");
    uint8_t mode = 0;
    EXPECT_TRUE(FindByte(d.data(), d.size(), TAG_IP_MODE, &mode));
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(FindIPv4(d.data(), d.size(), TAG_DNS1), 0x08080808u);
    std::size_t len = 0;
    EXPECT_FALSE(FindItem(d.data(), d.size(), TAG_DNS2, nullptr, 0, &len));
    EXPECT_FALSE(FindItem(d.data(), d.size(), TAG_ROUTER, nullptr, 0, &len));
}

CommandBuffer BasicSetConfig(const std::string& name, uint8_t restart, uint32_t ip) {
    CommandBuffer b;
    b.AddFixedText(TAG_SERVER_NAME, name, 16);
    b.AddText(TAG_DATE, "07042010");
    b.AddText(TAG_TIME, "083000");
    b.AddByte(TAG_IP_MODE, 2);
    b.AddIPv4(TAG_IP, ip);
    b.AddIPv4(TAG_NETMASK, 0xFFFF0000);
    b.AddIPv4(TAG_GATEWAY, 0x7F000001);
    b.AddByte(TAG_RESTART, restart);
    return b;
}

TEST_F(SimulatorTest, SetConfigStoresAndRestartGoesSilentThenMoves) {
    ServerConfig s = Storage(1);
    s.restartSeconds = 3;
    Make({s, Storage(2)});
    Effects fx = Send(Request(MacOf(1), 10, CMD_SET_CONFIG, BasicSetConfig("NEW", 1, 0x7F000109)));
    ASSERT_EQ(fx.out.size(), 1u);  // the reply still comes from the old address
    EXPECT_EQ(fx.out[0].from, 0x7F000101u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, 0);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).seq, 11);

    clock_.Advance(2999);
    fx = Send(Request(kNoId, 0, CMD_DISCOVER));
    ASSERT_EQ(fx.out.size(), 1u);  // only the other server
    EXPECT_EQ(fx.out[0].server, 1);
    EXPECT_TRUE(Send(Request(MacOf(1), 12, CMD_GET_STATUS)).out.empty());
    EXPECT_EQ(sim_->MsUntilNextDeadline(), 1);

    clock_.Advance(1);
    fx = sim_->Tick();
    ASSERT_EQ(fx.moves.size(), 1u);
    EXPECT_EQ(fx.moves[0].from, 0x7F000101u);
    EXPECT_EQ(fx.moves[0].to, 0x7F000109u);
    EXPECT_EQ(sim_->MsUntilNextDeadline(), -1);

    fx = Send(Request(MacOf(1), 14, CMD_GET_CONFIG));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(fx.out[0].from, 0x7F000109u);
    const std::vector<uint8_t>& d = fx.out[0].bytes;
    std::string text;
    FindText(d.data(), d.size(), TAG_SERVER_NAME, 127, &text);
    EXPECT_EQ(text, "NEW");  // the 16-byte field's padding is not part of the name
    FindText(d.data(), d.size(), TAG_DATE, 127, &text);
    EXPECT_EQ(text, "07042010");
    FindText(d.data(), d.size(), TAG_TIME, 127, &text);
    EXPECT_EQ(text, "083003");  // the clock kept running through the restart
    uint8_t mode = 9;
    FindByte(d.data(), d.size(), TAG_IP_MODE, &mode);
    EXPECT_EQ(mode, 0);  // written as 2 (fixed), reported as 0 (fixed)
    EXPECT_EQ(FindIPv4(d.data(), d.size(), TAG_NETMASK), 0xFFFF0000u);
    EXPECT_EQ(FindIPv4(d.data(), d.size(), TAG_GATEWAY), 0x7F000001u);
}

TEST_F(SimulatorTest, SetConfigReplyModes) {
    Make({Storage(1)});
    // Without a restart the address stays until the next restart.
    Effects fx = Send(Request(MacOf(1), 1, CMD_SET_CONFIG, BasicSetConfig("KEEP", 0, 0x7F000109)));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_TRUE(Send(Request(kNoId, 0, CMD_DISCOVER)).out.size() == 1);
    EXPECT_EQ(sim_->servers()[0].active, 0x7F000101u);

    // Busy (1) and write failure (2): refused, nothing stored.
    for (int status : {1, 2}) {
        fx = sim_->Control("set-config-reply KEEP " + std::to_string(status));
        fx = Send(Request(MacOf(1), 3, CMD_SET_CONFIG, BasicSetConfig("OTHER", 1, 0x7F000109)));
        ASSERT_EQ(fx.out.size(), 1u);
        EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, status);
        EXPECT_EQ(sim_->servers()[0].cfg.name, "KEEP");
        EXPECT_EQ(sim_->MsUntilNextDeadline(), -1);
    }
    // Any other status is sent as given after storing.
    sim_->Control("set-config-reply #1 3");
    fx = Send(Request(MacOf(1), 5, CMD_SET_CONFIG, BasicSetConfig("THIRD", 0, 0x7F000109)));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, 3);
    // none: stored, no reply, and the restart still happens.
    sim_->Control("set-config-reply THIRD none");
    fx = Send(Request(MacOf(1), 7, CMD_SET_CONFIG, BasicSetConfig("FOURTH", 1, 0x7F000109)));
    EXPECT_TRUE(fx.out.empty());
    EXPECT_EQ(sim_->servers()[0].cfg.name, "FOURTH");
    EXPECT_EQ(sim_->MsUntilNextDeadline(), 3000);
}

TEST_F(SimulatorTest, RouterKeepsWanModeAndMovesToItsLanAddress) {
    ServerConfig r = Storage(1);
    r.router = 2;
    Make({r});
    CommandBuffer b;
    b.AddFixedText(TAG_SERVER_NAME, "R", 16);
    b.AddByte(TAG_IP_MODE, 3);
    b.AddByte(TAG_RESTART, 1);
    b.AddTextNul(TAG_PPPOE_USER, "user", 128);
    b.AddByte(TAG_DHCP_SERVER, 0);
    b.AddIPv4(TAG_LAN_IP, 0x7F000150);
    b.AddItem(TAG_LAN_NETMASK, "\xff\xff", 2);  // malformed: not stored
    Effects fx = Send(Request(MacOf(1), 1, CMD_SET_CONFIG, b));
    ASSERT_FALSE(fx.events.empty());
    EXPECT_EQ(fx.events[0], "set-config server=\"R\" stored=1,8,18,28,23 rejected=25");
    const ServerConfig& c = sim_->servers()[0].cfg;
    EXPECT_EQ(c.ipMode, 3);
    EXPECT_EQ(c.pppoeUser, "user");
    EXPECT_EQ(c.dhcpServer, 0);
    EXPECT_EQ(c.lanNetmask, 0xFFFFFF00u);
    clock_.Advance(3000);
    fx = sim_->Tick();
    ASSERT_EQ(fx.moves.size(), 1u);
    EXPECT_EQ(fx.moves[0].to, 0x7F000150u);
}

TEST_F(SimulatorTest, WizardRequestsStoreFormatRestartAndReportDone) {
    ServerConfig s = Storage(1);
    s.restartSeconds = 4;
    s.formatSeconds = 10;
    s.diskStatus = "0";
    Make({s});
    auto status = [](const Effects& fx) {
        return PacketHeader::Decode(fx.out[0].bytes.data()).status;
    };
    CommandBuffer b;
    b.AddText(TAG_SERVER_NAME, "WIZ-NEW");
    Effects fx = Send(Request(MacOf(1), 10, CMD_SET_NAME, b));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).seq, 11);
    EXPECT_EQ(fx.events[0], "wizard-set cmd=19 server=\"WIZ-NEW\" stored=1");

    b = CommandBuffer{};
    b.AddItem(TAG_ADMIN_NAME, "administrator", 14);
    b.AddText(TAG_PASSWORD, "newpw");
    ASSERT_EQ(Send(Request(MacOf(1), 12, CMD_SET_PASSWORD, b)).out.size(), 1u);
    EXPECT_EQ(sim_->servers()[0].cfg.adminPassword, "newpw");
    // No items: the password stays.
    ASSERT_EQ(Send(Request(MacOf(1), 14, CMD_SET_PASSWORD)).out.size(), 1u);
    EXPECT_EQ(sim_->servers()[0].cfg.adminPassword, "newpw");

    b = CommandBuffer{};
    b.AddByte(TAG_TIME_ZONE, 46);
    b.AddTextNul(TAG_TIME, "235958", 7);
    b.AddTextNul(TAG_DATE, "12312026", 9);
    b.AddTextNul(TAG_NTP_SERVER, "pool.ntp.org", 13);
    Send(Request(MacOf(1), 16, CMD_SET_DATETIME, b));
    b = CommandBuffer{};
    b.AddFixedText(TAG_ENCODING, "936", 4);
    Send(Request(MacOf(1), 18, CMD_SET_ENCODING, b));
    b = CommandBuffer{};
    b.AddByte(TAG_IP_MODE, 2);
    b.AddIPv4(TAG_IP, 0x7F000109);
    b.AddIPv4(TAG_NETMASK, 0xFFFF0000);
    b.AddIPv4(TAG_GATEWAY, 0x7F000001);
    b.AddIPv4(TAG_DNS1, 0x08080808);
    b.AddIPv4(TAG_DNS2, 0);
    Send(Request(MacOf(1), 20, CMD_SET_NETWORK, b));
    const ServerConfig& c = sim_->servers()[0].cfg;
    EXPECT_EQ(c.timeZone, std::optional<uint8_t>(46));
    EXPECT_EQ(c.ntp, std::optional<std::string>("1pool.ntp.org"));
    EXPECT_EQ(c.encoding, std::optional<std::string>("936"));
    EXPECT_EQ(c.ipMode, 0);
    EXPECT_EQ(c.dns1, std::optional<uint32_t>(0x08080808));
    EXPECT_EQ(sim_->DateText(sim_->servers()[0]), "12312026");
    EXPECT_EQ(sim_->servers()[0].active, 0x7F000101u);  // moves only at the restart

    // The format's percentage grows with the time; 100 marks the disk initialised.
    b = CommandBuffer{};
    b.AddByte(TAG_DISK_INIT, 1);
    Send(Request(MacOf(1), 22, CMD_INIT_DISK, b));
    struct Poll {
        int64_t advanceMs;
        int percent;
    } polls[] = {{0, 0}, {2500, 25}, {5000, 75}, {2499, 99}, {1, 100}, {5000, 100}};
    uint16_t seq = 24;
    for (const Poll& p : polls) {
        clock_.Advance(p.advanceMs);
        fx = Send(Request(MacOf(1), seq, CMD_DISK_PROGRESS));
        seq += 2;
        ASSERT_EQ(fx.out.size(), 1u);
        EXPECT_EQ(status(fx), p.percent);
    }
    EXPECT_EQ(sim_->servers()[0].cfg.diskStatus, std::optional<std::string>("1"));

    // A dropped reply: the request is handled, its reply not sent; once only.
    fx = sim_->Control("drop-reply WIZ-NEW 25");
    EXPECT_EQ(fx.events.back(), "drop-reply server=\"WIZ-NEW\" cmd=25");
    EXPECT_TRUE(sim_->Control("drop-reply WIZ-NEW x").events.back().rfind("control-error", 0) == 0);
    fx = Send(Request(MacOf(1), 40, CMD_FINISH));
    EXPECT_TRUE(fx.out.empty());
    EXPECT_EQ(fx.events[0], "reply-dropped server=\"WIZ-NEW\" cmd=25 seq=41");
    // The restart has begun: silent; the repeated request is not answered.
    EXPECT_TRUE(Send(Request(MacOf(1), 40, CMD_FINISH)).out.empty());
    clock_.Advance(4000);
    fx = sim_->Tick();
    ASSERT_EQ(fx.moves.size(), 1u);
    ASSERT_EQ(fx.out.size(), 1u);
    const PacketHeader done = PacketHeader::Decode(fx.out[0].bytes.data());
    EXPECT_EQ(done.command, CMD_DONE);
    EXPECT_EQ(done.seq, 42);
    EXPECT_EQ(fx.out[0].from, 0x7F000109u);
    EXPECT_EQ(fx.out[0].to, kClient);
    EXPECT_EQ(fx.out[0].bytes.size(), 16u);
    // Discovered again under its new name and address, configured.
    fx = Send(Request(kNoId, 0, CMD_DISCOVER));
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(fx.out[0].from, 0x7F000109u);
    std::string name;
    FindText(fx.out[0].bytes.data(), fx.out[0].bytes.size(), TAG_SERVER_NAME, 127, &name);
    EXPECT_EQ(name, "WIZ-NEW");
    fx = Send(Request(MacOf(1), 1, CMD_GET_STATUS));
    EXPECT_EQ(FindInt32(fx.out[0].bytes.data(), fx.out[0].bytes.size(), TAG_CONFIGURED), 1);
}

TEST_F(SimulatorTest, ControlRediscoverAndErrors) {
    Make({Storage(1), Storage(2)});
    // No client seen yet and broadcasts disallowed: refused, nothing sent.
    Effects fx = sim_->Control("rediscover NAS-1", false);
    EXPECT_TRUE(fx.out.empty());
    ASSERT_EQ(fx.events.size(), 2u);
    EXPECT_EQ(fx.events[1].rfind("control-error", 0), 0u);
    // Without the restriction the fallback is the broadcast address.
    fx = sim_->Control("rediscover NAS-1");
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(fx.out[0].to, (Endpoint{0xFFFFFFFFu, 8097}));

    Send(Request(MacOf(2), 41, CMD_GET_STATUS), Endpoint{0x7F000001u, 5555});
    fx = sim_->Control("rediscover \"NAS-2\"", false);
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(fx.out[0].to, (Endpoint{0x7F000001u, 5555}));
    EXPECT_EQ(fx.out[0].from, 0x7F000102u);
    EXPECT_EQ(Hex(fx.out[0].bytes),
              "0011320000020000"
              "2b00"
              "1100"
              "0000"
              "0000");  // seq 42 + 1
    fx = sim_->Control("rediscover 00:11:32:00:00:02 7", false);
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).seq, 7);

    for (const char* bad :
         {"frobnicate NAS-1", "rediscover", "rediscover NAS-9", "set-config-reply NAS-1",
          "set-config-reply NAS-1 x", "restart NAS-1 -1", "rediscover NAS-1 70000"}) {
        fx = sim_->Control(bad);
        ASSERT_FALSE(fx.events.empty()) << bad;
        EXPECT_EQ(fx.events.back().rfind("control-error", 0), 0u) << bad;
        EXPECT_TRUE(fx.out.empty()) << bad;
    }
    EXPECT_TRUE(sim_->Control("quit").quit);

    fx = sim_->Control("restart * 2");
    EXPECT_EQ(sim_->MsUntilNextDeadline(), 2000);
    EXPECT_TRUE(Send(Request(kNoId, 0, CMD_DISCOVER)).out.empty());
}

TEST_F(SimulatorTest, ControlReplySendsUnaskedReplies) {
    Make({Storage(1), Storage(2)});
    // No client seen: nothing to send to, and never a broadcast.
    Effects fx = sim_->Control("reply NAS-1 3 1");
    EXPECT_TRUE(fx.out.empty());
    Send(Request(MacOf(1), 41, CMD_GET_STATUS), Endpoint{0x7F000001u, 5555});
    fx = sim_->Control("reply NAS-1 4 2 3", false);
    ASSERT_EQ(fx.out.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const PacketHeader h = PacketHeader::Decode(fx.out[i].bytes.data());
        EXPECT_EQ(h.seq, 43 + i);
        EXPECT_EQ(h.command, CMD_SET_CONFIG);
        EXPECT_EQ(h.status, 2);
        EXPECT_EQ(fx.out[i].bytes.size(), kHeaderSize);
        EXPECT_EQ(fx.out[i].to, (Endpoint{0x7F000001u, 5555}));
    }
    // A status reply carries the server's status items.
    fx = sim_->Control("reply #1 5");
    ASSERT_EQ(fx.out.size(), 1u);
    std::string name;
    EXPECT_TRUE(
        FindText(fx.out[0].bytes.data(), fx.out[0].bytes.size(), TAG_SERVER_NAME, 127, &name));
    EXPECT_EQ(name, "NAS-1");
    for (const char* bad : {"reply NAS-1", "reply NAS-1 0", "reply NAS-1 3 x", "reply NAS-1 3 0 0",
                            "reply NAS-1 3 0 1001"}) {
        fx = sim_->Control(bad);
        EXPECT_EQ(fx.events.back().rfind("control-error", 0), 0u) << bad;
        EXPECT_TRUE(fx.out.empty()) << bad;
    }
}

TEST_F(SimulatorTest, ImportStoresAcceptedLinesAndAnswersByUser) {
    Make({Storage(1)});
    for (const char* line : {"import-reply NAS-1 bob -7", "import-reply NAS-1 mute none",
                             "import-reply NAS-1 slow delay 2000 0"})
        EXPECT_EQ(sim_->Control(line).events.back().rfind("import-reply", 0), 0u) << line;
    auto import = [&](uint16_t seq, const std::string& text) {
        CommandBuffer b;
        b.AddItem(TAG_IMPORT_LINE, text.data(), text.size());
        return Send(Request(MacOf(1), seq, CMD_IMPORT_USER, b));
    };
    Effects fx = import(10, "alice pw");
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).seq, 11);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, 0);
    fx = import(12, "bob pw");
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, -7);
    EXPECT_TRUE(import(14, "mute pw").out.empty());
    EXPECT_TRUE(import(16, "\"slow\" pw").out.empty());
    EXPECT_EQ(sim_->MsUntilNextDeadline(), 2000);
    clock_.Advance(2000);
    fx = sim_->Tick();
    ASSERT_EQ(fx.out.size(), 1u);
    EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).seq, 17);
    EXPECT_EQ(sim_->servers()[0].accounts,
              (std::vector<std::string>{"alice pw", "mute pw", "\"slow\" pw"}));
    EXPECT_EQ(sim_->Control("import-reply NAS-1 bob x").events.back().rfind("control-error", 0),
              0u);
}

TEST(DescribeDatagram, LogLineFormat) {
    CommandBuffer b;
    b.AddText(TAG_SERVER_NAME, "A\"b\\\x01");
    b.AddByte(TAG_IP_MODE, 1);
    b.AddIPv4(TAG_IP, 0x0A4D000B);
    b.AddItem(TAG_IP, "\x01\x02", 2);  // an address of the wrong size stays hex
    PacketHeader h;
    h.serverId[0] = 0xAB;
    std::memcpy(h.origin, "Cl", 2);
    h.seq = 9999;
    h.command = 4;
    h.status = -1;
    h.kind = 1;
    std::vector<uint8_t> d = PackDatagram(h, b);
    const Endpoint src{0x0A4D0002, 8097}, dst{0xFFFFFFFF, 8097};
    EXPECT_EQ(DescribeDatagram(src, dst, d.data(), d.size()),
              "src=10.77.0.2:8097 dst=255.255.255.255:8097 len=36 id=ab:00:00:00:00:00 "
              "origin=436c seq=9999 cmd=4 status=-1 kind=1 "
              "items=1:\"A\\\"b\\\\\\x01\",8:01,5:10.77.0.11,5:0102");
    d.push_back(0);
    d.push_back(0);
    d.push_back(7);
    d.push_back(9);
    d.push_back(1);  // declares 9 bytes, holds 1
    EXPECT_EQ(DescribeDatagram(src, dst, d.data(), 16),
              "src=10.77.0.2:8097 dst=255.255.255.255:8097 len=16 id=ab:00:00:00:00:00 "
              "origin=436c seq=9999 cmd=4 status=-1 kind=1 items=");
    const std::string full = DescribeDatagram(src, dst, d.data(), d.size());
    EXPECT_EQ(full.substr(full.find("5:0102")), "5:0102,rest=5");
    std::vector<uint8_t> cut(d.begin(), d.begin() + 16);
    cut.insert(cut.end(), {7, 9, 1});
    const std::string c = DescribeDatagram(src, dst, cut.data(), cut.size());
    EXPECT_EQ(c.substr(c.find("items=")), "items=7:01!cut");
    EXPECT_EQ(DescribeDatagram(src, dst, d.data(), 3),
              "src=10.77.0.2:8097 dst=255.255.255.255:8097 len=3 short=ab0000");
}

TEST_F(SimulatorTest, WizardFailAnswersEachWizardRequestAsToldUntilSwitchedOff) {
    ServerConfig s = Storage(1);
    s.name = "WIZ-FAIL";
    Make({s});
    struct Case {
        const char* line;
        uint16_t command;
        const char* event;  // the request's event, or "" for none
        int replies;
        int status;
    } cases[] = {
        {"wizard-fail WIZ-FAIL 19 none", CMD_SET_NAME,
         "wizard-failed server=\"WIZ-FAIL\" cmd=19 reply=none", 0, 0},
        {"wizard-fail WIZ-FAIL 19 -3", CMD_SET_NAME,
         "wizard-failed server=\"WIZ-FAIL\" cmd=19 status=-3", 1, -3},
        {"wizard-fail WIZ-FAIL 19 off", CMD_SET_NAME, "wizard-set cmd=19 server=\"NEW\" stored=1",
         1, 0},
        {"wizard-fail NEW 18 none", CMD_DISK_PROGRESS,
         "wizard-failed server=\"NEW\" cmd=18 reply=none", 0, 0},
        // CMD_FINISH lost: no restart, no CMD_DONE later.
        {"wizard-fail #1 25 none", CMD_FINISH, "wizard-failed server=\"NEW\" cmd=25 reply=none", 0,
         0},
    };
    uint16_t seq = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Effects fx = sim_->Control(c.line);
        ASSERT_FALSE(fx.events.empty());
        EXPECT_EQ(fx.events.back().rfind("wizard-fail ", 0), 0u) << fx.events.back();
        CommandBuffer b;
        if (c.command == CMD_SET_NAME)
            b.AddText(TAG_SERVER_NAME, "NEW");
        fx = Send(Request(MacOf(1), seq, c.command, b));
        seq += 2;
        ASSERT_EQ(fx.out.size(), static_cast<size_t>(c.replies));
        if (c.replies) {
            EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, c.status);
        }
        ASSERT_FALSE(fx.events.empty());
        EXPECT_EQ(fx.events[0], c.event);
        // A failed name is not stored.
        EXPECT_EQ(sim_->servers()[0].cfg.name, seq > 14 ? "NEW" : "WIZ-FAIL");
    }
    EXPECT_EQ(sim_->MsUntilNextDeadline(), -1);
    clock_.Advance(60000);
    EXPECT_TRUE(sim_->Tick().out.empty());
    for (const char* bad : {"wizard-fail NEW 17 none", "wizard-fail NEW 26 none",
                            "wizard-fail NEW 19", "wizard-fail NEW 19 maybe"})
        EXPECT_EQ(sim_->Control(bad).events.back().rfind("control-error", 0), 0u) << bad;
}

TEST_F(SimulatorTest, FormatControlHoldsRunsAndEndsTheDiskInitialisation) {
    ServerConfig s = Storage(1);
    s.formatSeconds = 100;
    Make({s});
    EXPECT_EQ(sim_->Control("format NAS-1 40").events.back(),
              "format server=\"NAS-1\" skipped=no-format");
    CommandBuffer b;
    b.AddByte(TAG_DISK_INIT, 1);
    Send(Request(MacOf(1), 10, CMD_INIT_DISK, b));
    // Each step: a control line (or none), then the clock, then a poll.
    struct Step {
        const char* line;
        const char* event;
        int64_t advanceMs;
        int percent;
    } steps[] = {
        {nullptr, nullptr, 10000, 10},
        {"format NAS-1 40", "format server=\"NAS-1\" percent=40", 30000, 40},
        {nullptr, nullptr, 50000, 40},
        {"format #1 run", "format server=\"NAS-1\" run", 20000, 60},
        {"format NAS-1 100", "format-end server=\"NAS-1\"", 0, 100},
        {"format NAS-1 run", "format server=\"NAS-1\" skipped=no-format", 0, 100},
    };
    uint16_t seq = 12;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.line ? step.line : "(time only)");
        if (step.line != nullptr) {
            EXPECT_EQ(sim_->Control(step.line).events.back(), step.event);
        }
        clock_.Advance(step.advanceMs);
        const Effects fx = Send(Request(MacOf(1), seq, CMD_DISK_PROGRESS));
        seq += 2;
        ASSERT_EQ(fx.out.size(), 1u);
        EXPECT_EQ(PacketHeader::Decode(fx.out[0].bytes.data()).status, step.percent);
    }
    EXPECT_EQ(sim_->servers()[0].cfg.diskStatus, std::optional<std::string>("1"));
    for (const char* bad : {"format NAS-1", "format NAS-1 101", "format NAS-1 later"})
        EXPECT_EQ(sim_->Control(bad).events.back().rfind("control-error", 0), 0u) << bad;
}

}  // namespace
}  // namespace vnas

namespace vnas {
namespace {

// A sleeping server: silent to everything until a magic packet with its own
// MAC, then silent for its wake time, then it answers discovery again.
TEST_F(SimulatorTest, SleepingServerWakesOnlyOnItsOwnMagicPacket) {
    ServerConfig asleep = Storage(1);
    asleep.sleeping = true;
    asleep.wakeSeconds = 4;
    Make({asleep, Storage(2)});
    auto magic = [](const Mac& mac, std::vector<uint8_t> prefix = {}) {
        std::vector<uint8_t> p = std::move(prefix);
        p.insert(p.end(), 6, 0xFF);
        for (int i = 0; i < 16; ++i)
            p.insert(p.end(), mac.begin(), mac.end());
        return p;
    };
    auto wake = [&](const std::vector<uint8_t>& p) {
        return sim_->Wake(kClient, p.data(), p.size()).events;
    };
    const auto discover = Request(kNoId, 1, CMD_DISCOVER);
    ASSERT_EQ(Send(discover).out.size(), 1u);  // only NAS-2
    EXPECT_TRUE(Send(Request(MacOf(1), 1, CMD_GET_STATUS)).out.empty());
    EXPECT_EQ(sim_->MsUntilNextDeadline(), -1);  // asleep has no deadline

    // Not a magic packet, another MAC, a broken repetition: still asleep.
    std::vector<uint8_t> broken = magic(MacOf(1));
    broken.back() ^= 1;
    const struct {
        std::vector<uint8_t> packet;
        std::string event;
    } ignored[] = {
        {{1, 2, 3}, "wake-ignored src=127.0.0.1:8097 not-magic"},
        {broken, "wake-ignored src=127.0.0.1:8097 not-magic"},
        {magic(MacOf(9)), "wake-ignored mac=00:11:32:00:00:09 unknown"},
        {magic(MacOf(2)), "wake-ignored server=\"NAS-2\" awake"},
    };
    for (const auto& c : ignored)
        EXPECT_EQ(wake(c.packet), std::vector<std::string>{c.event});
    ASSERT_EQ(Send(discover).out.size(), 1u);

    // Its own packet, after a few leading bytes: awake after 4 seconds.
    EXPECT_EQ(wake(magic(MacOf(1), {0, 0, 0})),
              std::vector<std::string>{"wake server=\"NAS-1\" seconds=4"});
    EXPECT_EQ(sim_->MsUntilNextDeadline(), 4000);
    clock_.Advance(3999);
    ASSERT_EQ(Send(discover).out.size(), 1u);
    clock_.Advance(1);
    ASSERT_EQ(Send(discover).out.size(), 2u);

    // Put to sleep by the control line; a second magic packet wakes it again.
    const auto fx = sim_->Control("sleep NAS-1");
    EXPECT_EQ(fx.events.back(), "sleep server=\"NAS-1\" address=127.0.1.1");
    ASSERT_EQ(Send(discover).out.size(), 1u);
    wake(magic(MacOf(1)));
    clock_.Advance(4000);
    EXPECT_EQ(Send(discover).out.size(), 2u);
}

}  // namespace
}  // namespace vnas
