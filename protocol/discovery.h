// Where a discovery sends its CMD_DISCOVER and what came back: the limited
// broadcast, the directed broadcast of every usable adapter and the
// addresses the user typed, and the record of the last discovery that the
// discovery report shows. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace proto {

constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

// Interface flags as the interface-list query reports them.
constexpr uint32_t kIfUp = 0x1;
constexpr uint32_t kIfBroadcast = 0x2;
constexpr uint32_t kIfLoopback = 0x4;
constexpr uint32_t kIfPointToPoint = 0x8;

// One IPv4 interface of this computer; addresses in host order.
struct LocalInterface {
    uint32_t address = 0;
    uint32_t netmask = 0;
    uint32_t flags = 0;
};

// The subnet's directed broadcast address of an interface, or 0 when it has
// none: down, loopback or point-to-point, no address, or a subnet too small
// (/31, /32) or with a netmask that is not a run of leading ones.
uint32_t DirectedBroadcast(const LocalInterface& i);

enum class ProbeKind { LimitedBroadcast, Adapter, Typed };

// One destination of a discovery.
struct Probe {
    ProbeKind kind = ProbeKind::LimitedBroadcast;
    uint32_t destination = kLimitedBroadcast;
    uint32_t adapter = 0;  // the adapter's address (Adapter)
    uint32_t netmask = 0;  // the adapter's netmask (Adapter)
    int sendError = 0;     // 0 sent; else the system's error code
    int replies = 0;       // discovery replies attributed to this probe
    int listed = 0;        // servers listed from those replies
    bool waiting = false;  // a typed address asked on its own, not answered yet
};

// The destinations of one discovery, in sending order: the limited broadcast
// first (the request every server has always been sent), then one directed
// broadcast per usable adapter (two adapters on one subnet share one), then
// each typed address that is not a destination already.
std::vector<Probe> DiscoveryProbes(const std::vector<LocalInterface>& interfaces,
                                   const std::vector<uint32_t>& typed);

// The directed broadcasts of a discovery in the order they follow the
// limited broadcast, one each time the replies pause: first those of the
// subnets the limited broadcast does not reach, whose servers answer nothing
// else; last that of the subnet it reaches, whose servers have answered
// already and answer a second time. So each burst of replies comes on its
// own, within what the receive queue holds (thousands of servers answer
// within milliseconds). `broadcastAdapter` as for RequestDestination.
std::vector<uint32_t> FollowingBroadcasts(const std::vector<Probe>& probes,
                                          uint32_t broadcastAdapter);

// Where the requests to a server at `server` go: kLimitedBroadcast, as for
// every server the limited broadcast reaches; the directed broadcast of its
// adapter's subnet when it is on the subnet of an adapter the limited
// broadcast does not leave by (`broadcastAdapter` is the address of the
// adapter it leaves by; 0 when unknown: then, with more than one adapter,
// every adapter's servers are asked by their subnet's broadcast); or its own
// address when it was typed. A broadcast, like the limited one, needs no
// address resolution per server: thousands of servers asked at their own
// addresses at once would overflow the system's table of neighbours.
// Servers outside every adapter's subnet keep the limited broadcast: a
// server with a wrong address is reached by nothing else.
uint32_t RequestDestination(uint32_t server, bool typed, const std::vector<Probe>& probes,
                            uint32_t broadcastAdapter);

// The strict dotted form "a.b.c.d" (decimal, 0-255, no blanks or signs).
// Returns 1 and the host-order address, or 0.
int ParseIPv4(const std::string& text, uint32_t* out);

// Why an address cannot be asked as one server; 0 when it can.
enum class AddressProblem { None, Unspecified, Loopback, Multicast, Broadcast, OwnAddress };
AddressProblem CheckServerAddress(uint32_t address, const std::vector<LocalInterface>& interfaces);

// The record of the last discovery and of the addresses typed since.
class DiscoveryReport {
public:
    // A new discovery with these probes (their send results filled in).
    void Begin(std::vector<Probe> probes);
    // A typed address asked outside a discovery.
    void AddTyped(uint32_t address, int sendError);
    // The wait for a typed address asked on its own is over.
    void EndWait(uint32_t address);
    // A directed broadcast sent after the others (FollowingBroadcasts).
    void Sent(uint32_t destination, int sendError);
    // An accepted discovery reply from `source`; `listed` when it added a
    // server. Attributed to the typed address it came from, else to the
    // adapter whose subnet holds it, else to the limited broadcast (the
    // one request that reaches a server outside every adapter's subnet).
    void OnReply(uint32_t source, bool listed);
    void Finish() { running_ = false; }

    const std::vector<Probe>& probes() const { return probes_; }
    bool started() const { return started_; }
    bool running() const { return running_; }
    int replies() const { return replies_; }
    int listed() const { return listed_; }
    int adapters() const;

    // Hints for the user, in order: an id the caller maps to its text, and
    // the text for that text's one %s (may be empty).
    struct Hint {
        int id;
        std::string argument;
    };
    // Ids the caller maps to its texts.
    enum HintId {
        kHintNoAdapter = 1,  // no usable IPv4 adapter
        kHintNothing,        // nobody answered: firewall
        kHintVpn,            // a VPN or virtual adapter may take the broadcast
        kHintOtherSubnet,    // try Find by address
        kHintSendFailed,     // %s: a send that failed
        kHintTypedSilent,    // %s: a typed address that did not answer
        kHintStillRunning,   // the discovery window is still open
    };
    std::vector<Hint> Hints() const;

private:
    std::vector<Probe> probes_;
    bool started_ = false;
    bool running_ = false;
    int replies_ = 0;
    int listed_ = 0;
};

}  // namespace proto
