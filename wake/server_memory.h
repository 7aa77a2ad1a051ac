// The servers Brellmark has listed, remembered across runs so that one that
// sleeps (and so does not answer discovery) can be woken by wake-on-LAN: the
// record format, its checks, the bound and the store behind a small
// interface (the registry on Windows). Portable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace wake {

using Mac = std::array<uint8_t, 6>;

// At most this many servers are remembered: the most recently seen.
constexpr std::size_t kMaxRemembered = 256;
// A stored record longer than this is not read.
constexpr std::size_t kMaxRecordLength = 96;
// A server name as the list keeps it.
constexpr std::size_t kMaxNameLength = 29;

struct RememberedServer {
    Mac mac{};
    std::string name;      // TAG_SERVER_NAME of its last discovery reply
    uint32_t ip = 0;       // host order, where it last answered
    int64_t lastSeen = 0;  // seconds since 1970 (UTC)
    bool operator==(const RememberedServer&) const = default;
};

// "00:11:32:aa:bb:01".
std::string FormatMac(const Mac& mac);
// A hardware address a server can have: not all zero, not a group address.
bool IsServerMac(const Mac& mac);

// One stored record: the value name is the hardware address in 12 lower-case
// hex digits, the value "1;<last address>;<last seen>;<name>". The name is
// the rest of the value (it may hold ';').
std::string RecordKey(const Mac& mac);
std::string RecordValue(const RememberedServer& server);
// Reads a record back; false for anything malformed or too long, which is
// never trusted.
bool ParseRecord(const std::string& key, const std::string& value, RememberedServer* out);

// Where the records live.
class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Every record as (value name, value); values that are not text come
    // back as something ParseRecord refuses.
    virtual std::vector<std::pair<std::string, std::string>> ReadAll() = 0;
    virtual bool Write(const std::string& key, const std::string& value) = 0;
    virtual bool Remove(const std::string& key) = 0;
};

class ServerMemory {
public:
    explicit ServerMemory(RecordStore& store) : store_(store) {}

    // Reads the store and rebuilds it from what is valid: malformed records,
    // a second record of one address and those beyond the bound (the least
    // recently seen) are removed from it.
    void Load();
    // A server listed now; kept in memory until Save. Returns false for a
    // hardware address no server has or an empty name.
    bool Remember(const Mac& mac, const std::string& name, uint32_t ip, int64_t now);
    // Forgets one server, in the store at once.
    bool Forget(const Mac& mac);
    // Writes what changed since the last Save.
    void Save();
    bool dirty() const { return !changed_.empty() || !dropped_.empty(); }

    // Most recently seen first.
    const std::vector<RememberedServer>& servers() const { return servers_; }
    const RememberedServer* Find(const Mac& mac) const;
    // The remembered servers that are not among `listed`, most recent first.
    std::vector<RememberedServer> NotListed(const std::vector<Mac>& listed) const;

private:
    void Drop(const std::string& key);

    RecordStore& store_;
    std::vector<RememberedServer> servers_;
    std::vector<std::string> changed_;  // keys to write at Save
    std::vector<std::string> dropped_;  // keys to remove at Save
    std::set<std::string> stored_;      // keys the store holds
};

}  // namespace wake
