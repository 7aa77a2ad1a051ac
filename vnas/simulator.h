// The protocol behaviour of the simulated servers, free of sockets and of the
// real clock so that it can be driven step by step: a received datagram goes
// in, the datagrams to send and the events to log come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "protocol/packet.h"
#include "vnas/config.h"

namespace vnas {

// Time source. Monotonic milliseconds drive the restart silence; wall
// seconds (UTC, since 1970) drive the servers' simulated clocks.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t MonotonicMs() = 0;
    virtual int64_t WallSeconds() = 0;
};

class SystemClock : public Clock {
public:
    int64_t MonotonicMs() override;
    int64_t WallSeconds() override;
};

// The items of a reply under construction. Like proto::CommandBuffer, but a
// value may fill the 255 bytes an item's length byte allows (longer values
// are cut), so that a server can send the over-long texts clients must cope
// with.
class ReplyItems {
public:
    void AddItem(uint8_t tag, const void* value, std::size_t length);
    void AddByte(uint8_t tag, uint8_t value) { AddItem(tag, &value, 1); }
    // IPv4 in host order, sent first octet first.
    void AddIPv4(uint8_t tag, uint32_t hostOrder);
    void AddText(uint8_t tag, const std::string& text) { AddItem(tag, text.data(), text.size()); }
    // Text and its terminating zero, cut to `maxBytes` in all.
    void AddTextNul(uint8_t tag, const std::string& text, std::size_t maxBytes);
    // A value that the configuration may leave out: no item when it does.
    void AddByte(uint8_t tag, const std::optional<uint8_t>& value);
    void AddIPv4(uint8_t tag, const std::optional<uint32_t>& hostOrder);
    void AddText(uint8_t tag, const std::optional<std::string>& text);
    // Header and items.
    std::vector<uint8_t> Pack(const proto::PacketHeader& header) const;

private:
    std::vector<uint8_t> items_;
};

struct Endpoint {
    uint32_t address = 0;  // host order
    uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

// A datagram to send from one server's address.
struct Outgoing {
    int server = -1;  // index into the server list
    uint32_t from = 0;
    Endpoint to;
    std::vector<uint8_t> bytes;
};

// A server that now answers from another address.
struct AddressMove {
    int server = -1;
    uint32_t from = 0;
    uint32_t to = 0;
};

struct Effects {
    std::vector<Outgoing> out;
    std::vector<std::string> events;  // text of "event" log lines
    std::vector<AddressMove> moves;
    bool quit = false;
};

// Live state of one server: its settings as last written plus what the
// exchange needs.
struct ServerState {
    ServerConfig cfg;
    uint32_t active = 0;       // address it answers from now
    uint32_t nextAddress = 0;  // address it takes at its next restart
    int64_t clockOffset = 0;   // simulated wall time minus real wall time, seconds
    bool restarting = false;
    bool asleep = false;  // silent (restarting) until a magic packet wakes it
    int64_t silentUntilMs = 0;
    bool haveClient = false;
    Endpoint lastClient;
    uint16_t lastSeq = 0;     // seq of its last reply
    bool formatting = false;  // a disk initialisation runs
    int64_t formatStartMs = 0;
    std::optional<int> formatHeld;      // the percentage a control line holds it at
    bool doneAfterRestart = false;      // CMD_FINISH: send CMD_DONE when back
    std::vector<uint16_t> dropReplies;  // commands whose next reply is dropped
    // Wizard commands (18 to 25) that fail from now on: no reply at all
    // (empty), or a reply with this status and nothing done.
    std::map<uint16_t, std::optional<int16_t>> wizardFailures;
    // Account import: the lines stored, in order, and how to answer lines by
    // user name ("N" a status, "none", "delay MS N").
    std::vector<std::string> accounts;
    std::map<std::string, std::string> importReplies;
};

class Simulator {
public:
    // `clock` must outlive the simulator.
    Simulator(std::vector<ServerConfig> servers, Clock* clock);

    // One received datagram from `source`. Datagrams from the servers' own
    // addresses are not requests and are ignored.
    Effects Handle(const Endpoint& source, const uint8_t* data, std::size_t length);

    // A datagram on the wake-on-LAN port: a magic packet for a sleeping
    // server's MAC wakes it, and it answers again after its wake_seconds.
    Effects Wake(const Endpoint& source, const uint8_t* data, std::size_t length);

    // Ends restarts whose silence is over.
    Effects Tick();

    // Milliseconds until the next restart ends or delayed reply is due, or -1
    // when there is none.
    int64_t MsUntilNextDeadline();

    // One control line (see README.md): rediscover, reply, set-config-reply,
    // restart, drop-reply, wizard-fail, quit. `allowBroadcast` false refuses the rediscover
    // fallback to 255.255.255.255 (used when bound to a loopback address).
    Effects Control(const std::string& line, bool allowBroadcast = true);

    const std::vector<ServerState>& servers() const { return servers_; }
    // Addresses the servers answer from now, each once.
    std::vector<uint32_t> ActiveAddresses() const;

    // Simulated date (mmddyyyy) and time (hhmmss) of a server.
    std::string DateText(const ServerState& s);
    std::string TimeText(const ServerState& s);

private:
    // Every request's handler has this type: the server (by index) that the
    // datagram of `length` bytes is for, who sent it, and what to send back.
    using HandlerType = void(int index, const uint8_t* data, std::size_t length,
                             const Endpoint& source, Effects* fx);
    using Handler = HandlerType Simulator::*;

    static Handler HandlerFor(uint16_t command);
    HandlerType Discover, GetStatus, Login, GetConfig, SetConfig;
    // The wizard's requests: CMD_SET_NAME to CMD_SET_NETWORK store what they
    // carry; CMD_INIT_DISK starts a format; CMD_DISK_PROGRESS reports it;
    // CMD_FINISH restarts the server, which sends CMD_DONE when it is back.
    HandlerType WizardSet, InitDisk, DiskProgress, Finish;
    int FormatPercent(ServerState& s);
    HandlerType ImportUser;
    void SendDelayed(Effects* fx);
    // A wizard request the server was told to fail: answers it (or not) as
    // told and returns true; false for requests it handles as usual.
    bool FailWizardRequest(int index, const uint8_t* data, const Endpoint& source, Effects* fx);

    void Reply(int index, const uint8_t* request, int16_t status, const ReplyItems& items,
               const Endpoint& to, Effects* fx);
    // Stores the items a write carries; logs "WHAT server=... stored=...".
    void StoreConfig(ServerState& s, const uint8_t* data, std::size_t length, Effects* fx,
                     const std::string& what = "set-config");
    void BeginRestart(int index, int seconds, Effects* fx);
    void Sleep(int index, Effects* fx);
    void EndRestarts(Effects* fx);
    std::vector<int> Select(const std::string& selector) const;
    std::string Label(int index) const;

    std::vector<ServerState> servers_;
    Clock* clock_;
    struct Delayed {
        int64_t dueMs;
        Outgoing out;
    };
    std::vector<Delayed> delayed_;  // replies held back, in order of their due time
    // Indexes, so that a datagram costs the same with thousands of servers
    // as with a few: servers by MAC, the addresses they answer from, and how
    // many are restarting.
    static uint64_t MacKey(const uint8_t* mac);
    void IndexAddresses();
    std::unordered_multimap<uint64_t, std::size_t> byMac_;
    std::unordered_set<uint32_t> activeAddresses_;
    int restarting_ = 0;
};

// Names the 4-byte address tags, the text tags and everything else is hex;
// used by the log format.
bool IsAddressTag(uint8_t tag);
bool IsTextTag(uint8_t tag);

// The MAC a wake-on-LAN magic packet names (six 0xFF bytes, then one MAC
// sixteen times, anywhere in the datagram), or false when it is none.
bool ReadMagicPacket(const uint8_t* data, std::size_t length, Mac* mac);

// One log line body for a datagram: "src=... dst=... len=N id=... origin=...
// seq=N cmd=N status=N kind=N items=..." (see README.md).
std::string DescribeDatagram(const Endpoint& src, const Endpoint& dst, const uint8_t* data,
                             std::size_t length);
// A text value quoted with non-printables escaped.
std::string QuoteText(const uint8_t* data, std::size_t length);

}  // namespace vnas
