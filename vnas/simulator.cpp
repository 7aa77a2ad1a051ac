#include "vnas/simulator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vnas {

namespace {

using namespace proto;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = yoe + era * 400 + (*m <= 2);
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int Digits(const char* p, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

bool AllDigits(const std::string& s, std::size_t n) {
    return s.size() >= n && std::all_of(s.begin(), s.begin() + static_cast<long>(n),
                                        [](char c) { return c >= '0' && c <= '9'; });
}

// Seconds since 1970 of "mmddyyyy" at the time of day of `base`.
bool WithDate(int64_t base, const std::string& date, int64_t* out) {
    if (!AllDigits(date, 8))
        return false;
    const int m = Digits(date.data(), 2), d = Digits(date.data() + 2, 2);
    if (m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    const int64_t timeOfDay = base - FloorDiv(base, 86400) * 86400;
    *out = DaysFromCivil(Digits(date.data() + 4, 4), m, d) * 86400 + timeOfDay;
    return true;
}

// Seconds since 1970 of the day of `base` at "hhmmss".
bool WithTime(int64_t base, const std::string& time, int64_t* out) {
    if (!AllDigits(time, 6))
        return false;
    const int h = Digits(time.data(), 2), m = Digits(time.data() + 2, 2),
              s = Digits(time.data() + 4, 2);
    if (h > 23 || m > 59 || s > 59)
        return false;
    *out = FloorDiv(base, 86400) * 86400 + h * 3600 + m * 60 + s;
    return true;
}

bool IsZeroId(const uint8_t* id) {
    return std::all_of(id, id + 6, [](uint8_t b) { return b == 0; });
}

std::string FormatAddress(uint32_t a) {
    return FormatIPv4(a);
}

std::string FormatEndpoint(const Endpoint& e) {
    return FormatIPv4(e.address) + ":" + std::to_string(e.port);
}

std::string Hex(const uint8_t* p, std::size_t n) {
    std::string s;
    char b[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s;
}

// Splits a control line into words; double quotes group words with blanks.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size())
            break;
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"')
                w += line[i++];
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                w += line[i++];
        }
        words.push_back(w);
    }
    return words;
}

bool ParseNumber(const std::string& s, long lo, long hi, long* out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

}  // namespace

int64_t SystemClock::MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::WallSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

Simulator::Simulator(std::vector<ServerConfig> servers, Clock* clock) : clock_(clock) {
    const int64_t wall = clock_->WallSeconds();
    for (ServerConfig& cfg : servers) {
        ServerState s;
        s.active = s.nextAddress = cfg.address;
        int64_t t = wall;
        if (cfg.date)
            WithDate(t, *cfg.date, &t);
        if (cfg.time)
            WithTime(t, *cfg.time, &t);
        s.clockOffset = t - wall;
        s.cfg = std::move(cfg);
        servers_.push_back(std::move(s));
    }
    for (std::size_t i = 0; i < servers_.size(); ++i)
        byMac_.emplace(MacKey(servers_[i].cfg.mac.data()), i);
    IndexAddresses();
    Effects ignored;
    for (std::size_t i = 0; i < servers_.size(); ++i)
        if (servers_[i].cfg.sleeping)
            Sleep(static_cast<int>(i), &ignored);
}

std::vector<uint32_t> Simulator::ActiveAddresses() const {
    std::vector<uint32_t> out;
    for (const ServerState& s : servers_)
        if (std::find(out.begin(), out.end(), s.active) == out.end())
            out.push_back(s.active);
    return out;
}

std::string Simulator::DateText(const ServerState& s) {
    int64_t y;
    int m, d;
    CivilFromDays(FloorDiv(clock_->WallSeconds() + s.clockOffset, 86400), &y, &m, &d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%04d", m, d, static_cast<int>(y % 10000));
    return buf;
}

std::string Simulator::TimeText(const ServerState& s) {
    const int64_t t = clock_->WallSeconds() + s.clockOffset;
    const int64_t tod = t - FloorDiv(t, 86400) * 86400;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", static_cast<int>(tod / 3600),
                  static_cast<int>(tod / 60 % 60), static_cast<int>(tod % 60));
    return buf;
}

std::string Simulator::Label(int index) const {
    const ServerState& s = servers_[static_cast<std::size_t>(index)];
    return "server=" +
           QuoteText(reinterpret_cast<const uint8_t*>(s.cfg.name.data()), s.cfg.name.size());
}

Simulator::Handler Simulator::HandlerFor(uint16_t command) {
    static constexpr struct {
        uint16_t command;
        Handler handler;
    } kHandlers[] = {
        {CMD_DISCOVER, &Simulator::Discover},
        {CMD_GET_CONFIG, &Simulator::GetConfig},
        {CMD_LOGIN, &Simulator::Login},
        {CMD_SET_CONFIG, &Simulator::SetConfig},
        {CMD_GET_STATUS, &Simulator::GetStatus},
        {CMD_IMPORT_USER, &Simulator::ImportUser},
        {CMD_SET_NAME, &Simulator::WizardSet},
        {CMD_SET_PASSWORD, &Simulator::WizardSet},
        {CMD_SET_DATETIME, &Simulator::WizardSet},
        {CMD_SET_ENCODING, &Simulator::WizardSet},
        {CMD_SET_NETWORK, &Simulator::WizardSet},
        {CMD_INIT_DISK, &Simulator::InitDisk},
        {CMD_DISK_PROGRESS, &Simulator::DiskProgress},
        {CMD_FINISH, &Simulator::Finish},
    };
    for (const auto& h : kHandlers)
        if (h.command == command)
            return h.handler;
    // Nothing is sent back: CMD_LOGOUT ends the exchange, any other is unknown.
    return nullptr;
}

uint64_t Simulator::MacKey(const uint8_t* mac) {
    uint64_t key = 0;
    for (int i = 0; i < 6; ++i)
        key = (key << 8) | mac[i];
    return key;
}

void Simulator::IndexAddresses() {
    activeAddresses_.clear();
    for (const ServerState& s : servers_)
        activeAddresses_.insert(s.active);
}

Effects Simulator::Handle(const Endpoint& source, const uint8_t* data, std::size_t length) {
    Effects fx;
    EndRestarts(&fx);
    if (data == nullptr || length < kHeaderSize)
        return fx;
    if (activeAddresses_.count(source.address))
        return fx;  // our own datagrams coming back
    const PacketHeader h = PacketHeader::Decode(data);
    const Handler handler = HandlerFor(h.command);
    const bool toAll = IsZeroId(h.serverId) && h.command == CMD_DISCOVER;
    // The servers addressed, in file order.
    std::vector<std::size_t> addressed;
    if (toAll) {
        addressed.resize(servers_.size());
        for (std::size_t i = 0; i < servers_.size(); ++i)
            addressed[i] = i;
    } else {
        auto [first, last] = byMac_.equal_range(MacKey(h.serverId));
        for (auto it = first; it != last; ++it)
            addressed.push_back(it->second);
        std::sort(addressed.begin(), addressed.end());
    }
    for (std::size_t i : addressed) {
        ServerState& s = servers_[i];
        if (s.restarting)
            continue;
        if (!toAll && std::memcmp(h.serverId, s.cfg.mac.data(), 6) != 0)
            continue;
        s.haveClient = true;
        s.lastClient = source;
        if (handler != nullptr && !FailWizardRequest(static_cast<int>(i), data, source, &fx))
            (this->*handler)(static_cast<int>(i), data, length, source, &fx);
    }
    return fx;
}

void ReplyItems::AddItem(uint8_t tag, const void* value, std::size_t length) {
    length = std::min<std::size_t>(length, kMaxText);
    items_.push_back(tag);
    items_.push_back(static_cast<uint8_t>(length));
    const auto* v = static_cast<const uint8_t*>(value);
    items_.insert(items_.end(), v, v + length);
}

void ReplyItems::AddIPv4(uint8_t tag, uint32_t hostOrder) {
    const uint8_t b[4] = {static_cast<uint8_t>(hostOrder >> 24),
                          static_cast<uint8_t>(hostOrder >> 16),
                          static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder)};
    AddItem(tag, b, 4);
}

void ReplyItems::AddByte(uint8_t tag, const std::optional<uint8_t>& value) {
    if (value)
        AddByte(tag, *value);
}

void ReplyItems::AddIPv4(uint8_t tag, const std::optional<uint32_t>& hostOrder) {
    if (hostOrder)
        AddIPv4(tag, *hostOrder);
}

void ReplyItems::AddText(uint8_t tag, const std::optional<std::string>& text) {
    if (text)
        AddText(tag, *text);
}

void ReplyItems::AddTextNul(uint8_t tag, const std::string& text, std::size_t maxBytes) {
    maxBytes = std::clamp<std::size_t>(maxBytes, 1, kMaxText);
    std::string v = text.substr(0, maxBytes - 1);
    v.push_back('\0');
    AddItem(tag, v.data(), v.size());
}

std::vector<uint8_t> ReplyItems::Pack(const PacketHeader& header) const {
    std::vector<uint8_t> out(kHeaderSize);
    header.Encode(out.data());
    out.insert(out.end(), items_.begin(), items_.end());
    return out;
}

void Simulator::Reply(int index, const uint8_t* request, int16_t status, const ReplyItems& items,
                      const Endpoint& to, Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    const PacketHeader req = PacketHeader::Decode(request);
    PacketHeader h;
    std::memcpy(h.serverId, s.cfg.mac.data(), 6);
    h.seq = static_cast<uint16_t>((req.seq + 1u) % kSeqModulo);
    h.command = req.command;
    h.status = status;
    h.kind = s.cfg.kind;
    s.lastSeq = h.seq;
    auto drop = std::find(s.dropReplies.begin(), s.dropReplies.end(), h.command);
    if (drop != s.dropReplies.end()) {
        s.dropReplies.erase(drop);
        fx->events.push_back("reply-dropped " + Label(index) + " cmd=" + std::to_string(h.command) +
                             " seq=" + std::to_string(h.seq));
        return;
    }
    fx->out.push_back(Outgoing{index, s.active, to, items.Pack(h)});
}

void Simulator::Discover(int index, const uint8_t* data, std::size_t, const Endpoint& source,
                         Effects* fx) {
    const ServerConfig& c = servers_[static_cast<std::size_t>(index)].cfg;
    ReplyItems b;
    if (c.alias) {
        b.AddText(c.aliasTag, *c.alias);
        b.AddText(TAG_WORKGROUP, c.workgroup);
        if (c.discoveryName)
            b.AddText(TAG_SERVER_NAME, c.name);
    } else {
        if (c.discoveryName)
            b.AddText(TAG_SERVER_NAME, c.name);
        b.AddText(TAG_WORKGROUP, c.workgroup);
    }
    Reply(index, data, 0, b, source, fx);
}

namespace {

// TAG_ROUTER as a little-endian integer of the configured width.
void AddRouterFlag(ReplyItems& b, const ServerConfig& c) {
    const uint32_t r = static_cast<uint32_t>(*c.router);
    const uint8_t v[4] = {static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8),
                          static_cast<uint8_t>(r >> 16), static_cast<uint8_t>(r >> 24)};
    b.AddItem(TAG_ROUTER, v, static_cast<std::size_t>(c.routerSize));
}

// The server's own address: its mode, address, mask and gateway.
void AddAddressItems(ReplyItems& b, const ServerConfig& c) {
    b.AddByte(TAG_IP_MODE, c.ipMode);
    b.AddIPv4(TAG_IP, c.ip);
    b.AddIPv4(TAG_NETMASK, c.netmask);
    b.AddIPv4(TAG_GATEWAY, c.gateway);
}

// The disk items that the server's configuration has.
void AddDiskItems(ReplyItems& b, const ServerConfig& c) {
    b.AddText(TAG_DISK_STATUS, c.diskStatus);
    b.AddText(TAG_DISK_MODEL, c.diskModel);
    b.AddText(TAG_DISK_CAPACITY, c.diskCapacity);
}

}  // namespace

void Simulator::GetStatus(int index, const uint8_t* data, std::size_t, const Endpoint& source,
                          Effects* fx) {
    const ServerConfig& c = servers_[static_cast<std::size_t>(index)].cfg;
    ReplyItems b;
    b.AddText(TAG_SERVER_NAME, c.name);
    b.AddText(TAG_WORKGROUP, c.workgroup);
    b.AddItem(TAG_VERSION, c.version.data(), c.version.size());
    if (c.configured)
        b.AddItem(TAG_CONFIGURED, c.configured->data(), c.configured->size());
    b.AddItem(TAG_MAC, c.mac.data(), 6);
    AddAddressItems(b, c);
    if (c.router) {
        AddRouterFlag(b, c);
        b.AddIPv4(TAG_LAN_IP, c.lanIp);
        b.AddIPv4(TAG_LAN_GATEWAY, c.lanGateway);
        b.AddIPv4(TAG_LAN_NETMASK, c.lanNetmask);
        b.AddByte(TAG_LAN_IP_MODE, c.lanIpMode);
        const Mac lanMac = c.lanMac.value_or(Mac{});
        b.AddItem(TAG_LAN_MAC, lanMac.data(), 6);
    }
    AddDiskItems(b, c);
    Reply(index, data, 0, b, source, fx);
}

void Simulator::Login(int index, const uint8_t* data, std::size_t length, const Endpoint& source,
                      Effects* fx) {
    const ServerConfig& c = servers_[static_cast<std::size_t>(index)].cfg;
    // Both sides as 16-byte fields, zero-padded: longer texts compare by
    // their first 16 bytes. A missing item never matches.
    auto field = [](const std::string& text) {
        std::array<uint8_t, 16> f{};
        std::memcpy(f.data(), text.data(), std::min<std::size_t>(text.size(), 16));
        return f;
    };
    std::array<uint8_t, 16> name{}, password{};
    std::size_t n = 0;
    const bool haveName = FindItem(data, length, TAG_ADMIN_NAME, name.data(), 16, &n) == 1;
    const bool havePassword = FindItem(data, length, TAG_PASSWORD, password.data(), 16, &n) == 1;
    const bool ok = haveName && havePassword && name == field(c.adminName) &&
                    password == field(c.adminPassword);
    Reply(index, data, ok ? 0 : -1, ReplyItems{}, source, fx);
}

void Simulator::GetConfig(int index, const uint8_t* data, std::size_t, const Endpoint& source,
                          Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    const ServerConfig& c = s.cfg;
    ReplyItems b;
    b.AddText(TAG_SERVER_NAME, c.name);
    b.AddText(TAG_DATE, DateText(s));
    b.AddText(TAG_TIME, TimeText(s));
    AddAddressItems(b, c);
    b.AddIPv4(TAG_DNS1, c.dns1);
    b.AddIPv4(TAG_DNS2, c.dns2);
    if (c.router) {
        AddRouterFlag(b, c);
        b.AddTextNul(TAG_PPPOE_USER, c.pppoeUser, 128);
        b.AddTextNul(TAG_PPPOE_PASSWORD, c.pppoePassword, 32);
        b.AddIPv4(TAG_PPTP_SERVER, c.pptpServer);
        b.AddTextNul(TAG_PPTP_USER, c.pptpUser, 128);
        b.AddTextNul(TAG_PPTP_PASSWORD, c.pptpPassword, 32);
        b.AddIPv4(TAG_LAN_IP, c.lanIp);
        b.AddIPv4(TAG_LAN_NETMASK, c.lanNetmask);
        b.AddIPv4(TAG_LAN_GATEWAY, c.lanGateway);
        b.AddByte(TAG_DHCP_SERVER, c.dhcpServer);
        b.AddIPv4(TAG_DHCP_START, c.dhcpStart);
        b.AddIPv4(TAG_DHCP_END, c.dhcpEnd);
    }
    b.AddByte(TAG_TIME_ZONE, c.timeZone);
    b.AddText(TAG_NTP_SERVER, c.ntp);
    b.AddByte(TAG_DISK_INIT, c.diskInit);
    AddDiskItems(b, c);
    Reply(index, data, 0, b, source, fx);
}

void Simulator::StoreConfig(ServerState& s, const uint8_t* d, std::size_t n, Effects* fx,
                            const std::string& what) {
    ServerConfig& c = s.cfg;
    std::string stored, rejected;
    auto note = [](std::string* list, uint8_t tag) {
        if (!list->empty())
            *list += ',';
        *list += std::to_string(tag);
    };
    std::string text;
    auto storeText = [&](uint8_t tag, std::string* field) {
        if (FindText(d, n, tag, kMaxItemValue, &text)) {
            *field = text;
            note(&stored, tag);
        }
    };
    // The address and byte fields may be optional: set when the item is.
    auto storeAddress = [&](uint8_t tag, auto* field) {
        std::size_t len = 0;
        if (!FindItem(d, n, tag, nullptr, 0, &len))
            return;
        if (len != 4) {
            note(&rejected, tag);
            return;
        }
        *field = FindIPv4(d, n, tag);
        note(&stored, tag);
    };
    auto storeByte = [&](uint8_t tag, auto* field) {
        std::size_t len = 0;
        if (!FindItem(d, n, tag, nullptr, 0, &len))
            return;
        if (len < 1) {
            note(&rejected, tag);
            return;
        }
        uint8_t value = 0;
        FindByte(d, n, tag, &value);
        *field = value;
        note(&stored, tag);
    };

    // The date or the time of `digits` characters, set by `with`, moves the
    // server's clock.
    const int64_t wall = clock_->WallSeconds();
    auto storeClock = [&](uint8_t tag, std::size_t digits,
                          bool (*with)(int64_t, const std::string&, int64_t*)) {
        if (!FindText(d, n, tag, digits, &text))
            return;
        int64_t t = 0;
        if (!with(wall + s.clockOffset, text, &t)) {
            note(&rejected, tag);
            return;
        }
        s.clockOffset = t - wall;
        note(&stored, tag);
    };

    storeText(TAG_SERVER_NAME, &c.name);
    storeClock(TAG_DATE, 8, WithDate);
    storeClock(TAG_TIME, 6, WithTime);
    uint8_t mode = c.ipMode;
    storeByte(TAG_IP_MODE, &mode);
    // A storage server reports 0 for a fixed address and non-zero for DHCP,
    // while the configuration dialog writes 2 for a fixed address: keep the
    // meaning, not the byte, or the next read would show DHCP.
    c.ipMode = (!c.router && mode == 2) ? 0 : mode;
    storeAddress(TAG_IP, &c.ip);
    storeAddress(TAG_NETMASK, &c.netmask);
    storeAddress(TAG_GATEWAY, &c.gateway);
    storeAddress(TAG_DNS1, &c.dns1);
    storeAddress(TAG_DNS2, &c.dns2);
    storeText(TAG_PPPOE_USER, &c.pppoeUser);
    storeText(TAG_PPPOE_PASSWORD, &c.pppoePassword);
    storeAddress(TAG_PPTP_SERVER, &c.pptpServer);
    storeText(TAG_PPTP_USER, &c.pptpUser);
    storeText(TAG_PPTP_PASSWORD, &c.pptpPassword);
    storeByte(TAG_DHCP_SERVER, &c.dhcpServer);
    storeAddress(TAG_LAN_IP, &c.lanIp);
    storeAddress(TAG_LAN_NETMASK, &c.lanNetmask);
    storeAddress(TAG_LAN_GATEWAY, &c.lanGateway);
    storeAddress(TAG_DHCP_START, &c.dhcpStart);
    storeAddress(TAG_DHCP_END, &c.dhcpEnd);
    // The wizard's items.
    storeByte(TAG_TIME_ZONE, &c.timeZone);
    if (FindText(d, n, TAG_NTP_SERVER, kMaxItemValue, &text)) {
        c.ntp = "1" + text;  // the first character 1: synchronised with a time server
        note(&stored, TAG_NTP_SERVER);
    }
    if (FindText(d, n, TAG_ENCODING, 4, &text)) {
        c.encoding = text;
        note(&stored, TAG_ENCODING);
    }
    if (FindText(d, n, TAG_ADMIN_NAME, kMaxItemValue, &text) && text == "administrator" &&
        FindText(d, n, TAG_PASSWORD, kMaxItemValue, &text)) {
        c.adminPassword = text;
        note(&stored, TAG_PASSWORD);
    }

    // Where it will answer from after a restart: a router on its LAN side, a
    // storage server on its fixed address; with DHCP it keeps the one it has.
    if (c.router) {
        if (c.lanIp != 0)
            s.nextAddress = c.lanIp;
    } else if (c.ipMode == 0 && c.ip != 0) {
        s.nextAddress = c.ip;
    }
    std::string ev =
        what + " " + Label(static_cast<int>(&s - servers_.data())) + " stored=" + stored;
    if (!rejected.empty())
        ev += " rejected=" + rejected;
    fx->events.push_back(ev);
}

void Simulator::SetConfig(int index, const uint8_t* data, std::size_t length,
                          const Endpoint& source, Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    const std::optional<int> status = s.cfg.setConfigReply;
    if (status && (*status == 1 || *status == 2)) {
        // Busy with another administrator / cannot write: nothing is stored.
        fx->events.push_back("set-config " + Label(index) +
                             " refused status=" + std::to_string(*status));
        Reply(index, data, static_cast<int16_t>(*status), ReplyItems{}, source, fx);
        return;
    }
    StoreConfig(s, data, length, fx);
    uint8_t restart = 0;
    FindByte(data, length, TAG_RESTART, &restart);
    if (status)
        Reply(index, data, static_cast<int16_t>(*status), ReplyItems{}, source, fx);
    if (restart == 1)
        BeginRestart(index, s.cfg.restartSeconds, fx);
}

bool Simulator::FailWizardRequest(int index, const uint8_t* data, const Endpoint& source,
                                  Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    if (s.wizardFailures.empty())
        return false;
    const PacketHeader h = PacketHeader::Decode(data);
    const auto it = s.wizardFailures.find(h.command);
    if (it == s.wizardFailures.end())
        return false;
    if (!it->second) {
        fx->events.push_back("wizard-failed " + Label(index) + " cmd=" + std::to_string(h.command) +
                             " reply=none");
        return true;
    }
    fx->events.push_back("wizard-failed " + Label(index) + " cmd=" + std::to_string(h.command) +
                         " status=" + std::to_string(*it->second));
    Reply(index, data, *it->second, ReplyItems{}, source, fx);
    return true;
}

void Simulator::WizardSet(int index, const uint8_t* data, std::size_t length,
                          const Endpoint& source, Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    const PacketHeader h = PacketHeader::Decode(data);
    StoreConfig(s, data, length, fx, "wizard-set cmd=" + std::to_string(h.command));
    Reply(index, data, 0, ReplyItems{}, source, fx);
}

int Simulator::FormatPercent(ServerState& s) {
    if (!s.formatting)
        return 100;
    if (s.formatHeld)
        return *s.formatHeld;
    const int64_t total = int64_t{s.cfg.formatSeconds} * 1000;
    const int64_t done = clock_->MonotonicMs() - s.formatStartMs;
    if (done >= total) {
        s.formatting = false;
        s.cfg.diskStatus = "1";
        return 100;
    }
    return static_cast<int>(done * 100 / total);
}

void Simulator::InitDisk(int index, const uint8_t* data, std::size_t length, const Endpoint& source,
                         Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    uint8_t init = 0;
    FindByte(data, length, TAG_DISK_INIT, &init);
    if (init == 1 && !s.formatting) {
        s.formatting = true;
        s.formatStartMs = clock_->MonotonicMs();
        s.formatHeld.reset();
        s.cfg.diskStatus = "0";
        fx->events.push_back("format-begin " + Label(index) +
                             " seconds=" + std::to_string(s.cfg.formatSeconds));
    }
    Reply(index, data, 0, ReplyItems{}, source, fx);
}

void Simulator::DiskProgress(int index, const uint8_t* data, std::size_t, const Endpoint& source,
                             Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    const bool was = s.formatting;
    const int percent = FormatPercent(s);
    if (was && !s.formatting)
        fx->events.push_back("format-end " + Label(index));
    Reply(index, data, static_cast<int16_t>(percent), ReplyItems{}, source, fx);
}

void Simulator::Finish(int index, const uint8_t* data, std::size_t, const Endpoint& source,
                       Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    Reply(index, data, 0, ReplyItems{}, source, fx);
    s.cfg.configured = std::vector<uint8_t>{1, 0, 0, 0};
    s.doneAfterRestart = true;
    BeginRestart(index, s.cfg.restartSeconds, fx);
}

void Simulator::BeginRestart(int index, int seconds, Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    if (!s.restarting)
        ++restarting_;
    s.restarting = true;
    s.silentUntilMs = clock_->MonotonicMs() + int64_t{seconds} * 1000;
    fx->events.push_back("restart-begin " + Label(index) + " address=" + FormatAddress(s.active) +
                         " seconds=" + std::to_string(seconds));
}

void Simulator::Sleep(int index, Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    if (!s.restarting)
        ++restarting_;
    s.restarting = true;
    s.asleep = true;
    fx->events.push_back("sleep " + Label(index) + " address=" + FormatAddress(s.active));
}

bool ReadMagicPacket(const uint8_t* data, std::size_t length, Mac* mac) {
    constexpr std::size_t kSize = 6 + 16 * 6;
    if (data == nullptr)
        return false;
    for (std::size_t at = 0; at + kSize <= length; ++at) {
        const uint8_t* p = data + at;
        if (!std::all_of(p, p + 6, [](uint8_t b) { return b == 0xFF; }))
            continue;
        bool same = true;
        for (int k = 1; k < 16 && same; ++k)
            same = std::memcmp(p + 6, p + 6 + 6 * k, 6) == 0;
        if (same) {
            std::memcpy(mac->data(), p + 6, 6);
            return true;
        }
    }
    return false;
}

Effects Simulator::Wake(const Endpoint& source, const uint8_t* data, std::size_t length) {
    Effects fx;
    EndRestarts(&fx);
    Mac mac{};
    if (!ReadMagicPacket(data, length, &mac)) {
        fx.events.push_back("wake-ignored src=" + FormatEndpoint(source) + " not-magic");
        return fx;
    }
    bool any = false;
    auto [first, last] = byMac_.equal_range(MacKey(mac.data()));
    for (auto it = first; it != last; ++it) {
        ServerState& s = servers_[it->second];
        any = true;
        if (!s.asleep) {
            fx.events.push_back("wake-ignored " + Label(static_cast<int>(it->second)) + " awake");
            continue;
        }
        // Awake now; it answers once its wake time is over.
        s.asleep = false;
        s.silentUntilMs = clock_->MonotonicMs() + int64_t{s.cfg.wakeSeconds} * 1000;
        fx.events.push_back("wake " + Label(static_cast<int>(it->second)) +
                            " seconds=" + std::to_string(s.cfg.wakeSeconds));
    }
    if (!any)
        fx.events.push_back("wake-ignored mac=" + FormatMac(mac) + " unknown");
    return fx;
}

void Simulator::EndRestarts(Effects* fx) {
    if (restarting_ == 0)
        return;
    const int64_t now = clock_->MonotonicMs();
    bool moved = false;
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        ServerState& s = servers_[i];
        if (!s.restarting || s.asleep || now < s.silentUntilMs)
            continue;
        s.restarting = false;
        --restarting_;
        if (s.nextAddress != s.active) {
            fx->moves.push_back(AddressMove{static_cast<int>(i), s.active, s.nextAddress});
            s.active = s.nextAddress;
            moved = true;
        }
        fx->events.push_back("restart-end " + Label(static_cast<int>(i)) +
                             " address=" + FormatAddress(s.active));
        if (s.doneAfterRestart) {
            // Back under the new settings: tell the client, numbered like a
            // reply to its next request.
            s.doneAfterRestart = false;
            if (!s.haveClient)
                continue;
            PacketHeader h;
            std::memcpy(h.serverId, s.cfg.mac.data(), 6);
            h.seq = static_cast<uint16_t>((s.lastSeq + 1) % kSeqModulo);
            h.command = CMD_DONE;
            h.kind = s.cfg.kind;
            s.lastSeq = h.seq;
            fx->out.push_back(Outgoing{static_cast<int>(i), s.active, s.lastClient,
                                       PackDatagram(h, CommandBuffer{})});
            fx->events.push_back("done " + Label(static_cast<int>(i)) +
                                 " dst=" + FormatEndpoint(s.lastClient));
        }
    }
    if (moved)
        IndexAddresses();
}

Effects Simulator::Tick() {
    Effects fx;
    EndRestarts(&fx);
    SendDelayed(&fx);
    return fx;
}

void Simulator::SendDelayed(Effects* fx) {
    const int64_t now = clock_->MonotonicMs();
    while (!delayed_.empty() && delayed_.front().dueMs <= now) {
        fx->out.push_back(std::move(delayed_.front().out));
        delayed_.erase(delayed_.begin());
    }
}

void Simulator::ImportUser(int index, const uint8_t* data, std::size_t length,
                           const Endpoint& source, Effects* fx) {
    ServerState& s = servers_[static_cast<std::size_t>(index)];
    std::string line;
    FindText(data, length, TAG_IMPORT_LINE, kMaxItemValue, &line);
    // The user name: the first word, or the first quoted text.
    std::string user;
    std::size_t at = line.find_first_not_of(" \t");
    if (at != std::string::npos && line[at] == '"') {
        const std::size_t close = line.find('"', at + 1);
        user = line.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
    } else if (at != std::string::npos) {
        user = line.substr(at, line.find_first_of(" \t", at) - at);
    }
    long status = 0, delayMs = 0;
    bool answer = true;
    if (auto it = s.importReplies.find(user); it != s.importReplies.end()) {
        const std::vector<std::string> w = Words(it->second);
        if (w.size() == 1 && w[0] == "none")
            answer = false;
        else if (w.size() == 3 && w[0] == "delay") {
            ParseNumber(w[1], 0, 600000, &delayMs);
            ParseNumber(w[2], -32768, 32767, &status);
        } else if (w.size() == 1) {
            ParseNumber(w[0], -32768, 32767, &status);
        }
    }
    if (status >= 0) {
        s.accounts.push_back(line);
        fx->events.push_back("import-stored " + Label(index) + " line=" +
                             QuoteText(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    }
    if (!answer)
        return;
    Reply(index, data, static_cast<int16_t>(status), ReplyItems{}, source, fx);
    if (delayMs > 0) {
        // Held back: sent by Tick when it is due.
        const int64_t due = clock_->MonotonicMs() + delayMs;
        auto pos = delayed_.begin();
        while (pos != delayed_.end() && pos->dueMs <= due)
            ++pos;
        delayed_.insert(pos, Delayed{due, std::move(fx->out.back())});
        fx->out.pop_back();
    }
}

int64_t Simulator::MsUntilNextDeadline() {
    const int64_t now = clock_->MonotonicMs();
    int64_t best = -1;
    if (!delayed_.empty())
        best = std::max<int64_t>(0, delayed_.front().dueMs - now);
    if (restarting_ == 0)
        return best;
    for (const ServerState& s : servers_) {
        if (!s.restarting || s.asleep)
            continue;
        const int64_t left = std::max<int64_t>(0, s.silentUntilMs - now);
        if (best < 0 || left < best)
            best = left;
    }
    return best;
}

std::vector<int> Simulator::Select(const std::string& selector) const {
    std::vector<int> out;
    const int n = static_cast<int>(servers_.size());
    if (selector == "*") {
        for (int i = 0; i < n; ++i)
            out.push_back(i);
        return out;
    }
    long index = 0;
    if (selector.size() > 1 && selector[0] == '#' && ParseNumber(selector.substr(1), 1, n, &index))
        return {static_cast<int>(index - 1)};
    for (int i = 0; i < n; ++i)
        if (servers_[static_cast<std::size_t>(i)].cfg.name == selector)
            out.push_back(i);
    Mac mac{};
    if (out.empty() && ParseMac(selector, &mac))
        for (int i = 0; i < n; ++i)
            if (servers_[static_cast<std::size_t>(i)].cfg.mac == mac)
                out.push_back(i);
    return out;
}

Effects Simulator::Control(const std::string& line, bool allowBroadcast) {
    Effects fx;
    EndRestarts(&fx);
    const std::vector<std::string> w = Words(line);
    if (w.empty())
        return fx;
    fx.events.push_back("control " +
                        QuoteText(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    auto error = [&fx](const std::string& why) { fx.events.push_back("control-error " + why); };

    if (w[0] == "quit") {
        fx.quit = true;
        return fx;
    }
    const bool known = w[0] == "rediscover" || w[0] == "set-config-reply" || w[0] == "restart" ||
                       w[0] == "reply" || w[0] == "import-reply" || w[0] == "drop-reply" ||
                       w[0] == "wizard-fail" || w[0] == "sleep" || w[0] == "format";
    if (!known) {
        error("unknown command '" + w[0] + "'");
        return fx;
    }
    if (w.size() < 2) {
        error(w[0] + " needs a server");
        return fx;
    }
    const std::vector<int> targets = Select(w[1]);
    if (targets.empty()) {
        error("no server '" + w[1] + "'");
        return fx;
    }

    if (w[0] == "sleep") {
        if (w.size() != 2) {
            error("sleep takes only a server");
            return fx;
        }
        for (int i : targets)
            Sleep(i, &fx);
        return fx;
    }

    if (w[0] == "set-config-reply") {
        long v = 0;
        std::optional<int> status;
        if (w.size() != 3 || (w[2] != "none" && !ParseNumber(w[2], -32768, 32767, &v))) {
            error("set-config-reply needs a status (a number or none)");
            return fx;
        }
        if (w[2] != "none")
            status = static_cast<int>(v);
        for (int i : targets) {
            servers_[static_cast<std::size_t>(i)].cfg.setConfigReply = status;
            fx.events.push_back("set-config-reply " + Label(i) + " status=" + w[2]);
        }
        return fx;
    }

    if (w[0] == "drop-reply") {
        long code = 0;
        if (w.size() != 3 || !ParseNumber(w[2], 0, 65535, &code)) {
            error("drop-reply needs a command code from 0 to 65535");
            return fx;
        }
        for (int i : targets) {
            servers_[static_cast<std::size_t>(i)].dropReplies.push_back(
                static_cast<uint16_t>(code));
            fx.events.push_back("drop-reply " + Label(i) + " cmd=" + w[2]);
        }
        return fx;
    }

    if (w[0] == "wizard-fail") {
        // wizard-fail SERVER CODE none | STATUS | off
        long code = 0, status = 0;
        if (w.size() != 4 || !ParseNumber(w[2], CMD_DISK_PROGRESS, CMD_FINISH, &code) ||
            (w[3] != "none" && w[3] != "off" && !ParseNumber(w[3], -32768, 32767, &status))) {
            error("wizard-fail needs a wizard command (18 to 25) and none, a status or off");
            return fx;
        }
        for (int i : targets) {
            auto& failures = servers_[static_cast<std::size_t>(i)].wizardFailures;
            const auto cmd = static_cast<uint16_t>(code);
            if (w[3] == "off")
                failures.erase(cmd);
            else if (w[3] == "none")
                failures[cmd] = std::nullopt;
            else
                failures[cmd] = static_cast<int16_t>(status);
            fx.events.push_back("wizard-fail " + Label(i) + " cmd=" + w[2] + " " + w[3]);
        }
        return fx;
    }

    if (w[0] == "format") {
        // format SERVER PERCENT | run: a disk initialisation under way holds
        // at PERCENT (100 ends it) or goes on from where it stands.
        long percent = 0;
        if (w.size() != 3 || (w[2] != "run" && !ParseNumber(w[2], 0, 100, &percent))) {
            error("format needs a percentage (0 to 100) or run");
            return fx;
        }
        for (int i : targets) {
            ServerState& s = servers_[static_cast<std::size_t>(i)];
            if (!s.formatting) {
                fx.events.push_back("format " + Label(i) + " skipped=no-format");
                continue;
            }
            if (w[2] == "run") {
                if (s.formatHeld)
                    s.formatStartMs =
                        clock_->MonotonicMs() - int64_t{s.cfg.formatSeconds} * 10 * *s.formatHeld;
                s.formatHeld.reset();
                fx.events.push_back("format " + Label(i) + " run");
                continue;
            }
            fx.events.push_back("format " + Label(i) + " percent=" + w[2]);
            s.formatHeld = static_cast<int>(percent);
            if (percent == 100) {
                s.formatting = false;
                s.formatHeld.reset();
                s.cfg.diskStatus = "1";
                fx.events.push_back("format-end " + Label(i));
            }
        }
        return fx;
    }

    if (w[0] == "restart") {
        long seconds = -1;
        if (w.size() > 3 || (w.size() == 3 && !ParseNumber(w[2], 0, 3600, &seconds))) {
            error("restart takes seconds from 0 to 3600");
            return fx;
        }
        for (int i : targets) {
            const ServerState& s = servers_[static_cast<std::size_t>(i)];
            BeginRestart(i, seconds >= 0 ? static_cast<int>(seconds) : s.cfg.restartSeconds, &fx);
        }
        return fx;
    }

    if (w[0] == "import-reply") {
        // import-reply SERVER USER STATUS | none | delay MS STATUS
        long v = 0;
        const bool ok =
            (w.size() == 4 && (w[3] == "none" || ParseNumber(w[3], -32768, 32767, &v))) ||
            (w.size() == 6 && w[3] == "delay" && ParseNumber(w[4], 0, 600000, &v) &&
             ParseNumber(w[5], -32768, 32767, &v));
        if (!ok) {
            error("import-reply needs a user and a status, none, or delay MS STATUS");
            return fx;
        }
        std::string how = w[3];
        for (std::size_t k = 4; k < w.size(); ++k)
            how += " " + w[k];
        for (int i : targets) {
            servers_[static_cast<std::size_t>(i)].importReplies[w[2]] = how;
            fx.events.push_back("import-reply " + Label(i) + " user=" + w[2] + " " + how);
        }
        return fx;
    }

    if (w[0] == "reply") {
        // reply SERVER CMD [STATUS] [COUNT]: replies nobody asked for.
        long command = 0, status = 0, count = 1;
        if (w.size() < 3 || w.size() > 5 || !ParseNumber(w[2], 1, 65535, &command) ||
            (w.size() > 3 && !ParseNumber(w[3], -32768, 32767, &status)) ||
            (w.size() > 4 && !ParseNumber(w[4], 1, 1000, &count))) {
            error("reply needs a command (1 to 65535), then a status and a count (1 to 1000)");
            return fx;
        }
        for (int i : targets) {
            ServerState& s = servers_[static_cast<std::size_t>(i)];
            if (s.restarting || !s.haveClient) {
                fx.events.push_back("reply " + Label(i) +
                                    (s.restarting ? " skipped=restarting" : " skipped=no-client"));
                continue;
            }
            for (long k = 0; k < count; ++k) {
                // Numbered like the answer to the next request.
                PacketHeader req;
                req.seq = s.lastSeq;
                req.command = static_cast<uint16_t>(command);
                uint8_t request[kHeaderSize];
                req.Encode(request);
                if (command == CMD_GET_STATUS)
                    GetStatus(i, request, sizeof request, s.lastClient, &fx);
                else
                    Reply(i, request, static_cast<int16_t>(status), ReplyItems{}, s.lastClient,
                          &fx);
            }
            fx.events.push_back("reply " + Label(i) + " cmd=" + w[2] + " count=" +
                                std::to_string(count) + " dst=" + FormatEndpoint(s.lastClient));
        }
        return fx;
    }

    // rediscover SERVER [SEQ]
    long seq = -1;
    if (w.size() > 3 || (w.size() == 3 && !ParseNumber(w[2], 0, 65535, &seq))) {
        error("rediscover takes a sequence number from 0 to 65535");
        return fx;
    }
    for (int i : targets) {
        ServerState& s = servers_[static_cast<std::size_t>(i)];
        if (s.restarting) {
            fx.events.push_back("rediscover " + Label(i) + " skipped=restarting");
            continue;
        }
        Endpoint to = s.lastClient;
        if (!s.haveClient) {
            if (!allowBroadcast) {
                error("rediscover " + Label(i) + ": no client seen and broadcast disabled");
                continue;
            }
            to = Endpoint{0xFFFFFFFF, kPort};
        }
        PacketHeader h;
        std::memcpy(h.serverId, s.cfg.mac.data(), 6);
        // Numbered like a reply to the next request, so that a client which
        // has this server selected accepts it.
        h.seq = static_cast<uint16_t>(seq >= 0 ? seq : (s.lastSeq + 1) % kSeqModulo);
        h.command = CMD_REDISCOVER;
        h.kind = s.cfg.kind;
        s.lastSeq = h.seq;
        fx.out.push_back(Outgoing{i, s.active, to, PackDatagram(h, CommandBuffer{})});
        fx.events.push_back("rediscover " + Label(i) + " dst=" + FormatEndpoint(to));
    }
    return fx;
}

bool IsAddressTag(uint8_t tag) {
    switch (tag) {
        case TAG_IP:
        case TAG_GATEWAY:
        case TAG_NETMASK:
        case TAG_PPTP_SERVER:
        case TAG_LAN_IP:
        case TAG_LAN_GATEWAY:
        case TAG_LAN_NETMASK:
        case TAG_DHCP_START:
        case TAG_DHCP_END:
        case TAG_DNS1:
        case TAG_DNS2:
            return true;
        default:
            return false;
    }
}

bool IsTextTag(uint8_t tag) {
    switch (tag) {
        case TAG_SERVER_NAME:
        case TAG_DATE:
        case TAG_TIME:
        case TAG_WORKGROUP:
        case TAG_PASSWORD:
        case TAG_ADMIN_NAME:
        case TAG_PPPOE_USER:
        case TAG_PPPOE_PASSWORD:
        case TAG_PPTP_USER:
        case TAG_PPTP_PASSWORD:
        case TAG_IMPORT_LINE:
        case TAG_ENCODING:
        case TAG_DISK_STATUS:
        case TAG_DISK_MODEL:
        case TAG_DISK_CAPACITY:
        case TAG_NTP_SERVER:
            return true;
        default:
            return false;
    }
}

std::string QuoteText(const uint8_t* data, std::size_t length) {
    std::string s = "\"";
    char b[5];
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t c = data[i];
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            std::snprintf(b, sizeof b, "\\x%02x", c);
            s += b;
        }
    }
    return s + "\"";
}

std::string DescribeDatagram(const Endpoint& src, const Endpoint& dst, const uint8_t* data,
                             std::size_t length) {
    std::string s = "src=" + FormatEndpoint(src) + " dst=" + FormatEndpoint(dst) +
                    " len=" + std::to_string(length);
    if (length < kHeaderSize)
        return s + " short=" + Hex(data, length);
    const PacketHeader h = PacketHeader::Decode(data);
    char head[160];
    std::snprintf(head, sizeof head,
                  " id=%02x:%02x:%02x:%02x:%02x:%02x origin=%02x%02x seq=%u cmd=%u status=%d "
                  "kind=%d items=",
                  h.serverId[0], h.serverId[1], h.serverId[2], h.serverId[3], h.serverId[4],
                  h.serverId[5], h.origin[0], h.origin[1], unsigned{h.seq}, unsigned{h.command},
                  int{h.status}, int{h.kind});
    s += head;
    std::size_t pos = kHeaderSize;
    bool first = true;
    while (pos < length) {
        if (!first)
            s += ',';
        first = false;
        const uint8_t tag = data[pos];
        if (tag == 0 || pos + 2 > length) {
            s += "rest=" + std::to_string(length - pos);
            break;
        }
        const std::size_t declared = data[pos + 1];
        const std::size_t avail = std::min(declared, length - pos - 2);
        const uint8_t* v = data + pos + 2;
        s += std::to_string(tag) + ':';
        if (avail < declared) {
            s += Hex(v, avail) + "!cut";
        } else if (IsAddressTag(tag) && avail == 4) {
            s += FormatAddress(uint32_t{v[0]} << 24 | uint32_t{v[1]} << 16 | uint32_t{v[2]} << 8 |
                               v[3]);
        } else if (IsTextTag(tag)) {
            s += QuoteText(v, avail);
        } else {
            s += Hex(v, avail);
        }
        pos += 2 + declared;
    }
    return s;
}

}  // namespace vnas
