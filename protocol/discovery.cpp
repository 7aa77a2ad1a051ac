#include "protocol/discovery.h"

#include <algorithm>

#include "protocol/packet.h"

namespace proto {

uint32_t DirectedBroadcast(const LocalInterface& i) {
    if (!(i.flags & kIfUp) || (i.flags & (kIfLoopback | kIfPointToPoint)) || i.address == 0)
        return 0;
    // A netmask is leading ones then zeros: its complement plus one is a
    // power of two.
    const uint32_t host = ~i.netmask;
    if ((host & (host + 1)) != 0)
        return 0;
    // No host part to broadcast on (/31, /32), or no network part (/0).
    if (host < 3 || i.netmask == 0)
        return 0;
    return (i.address & i.netmask) | host;
}

std::vector<Probe> DiscoveryProbes(const std::vector<LocalInterface>& interfaces,
                                   const std::vector<uint32_t>& typed) {
    std::vector<Probe> out;
    out.push_back(Probe{});
    auto known = [&](uint32_t destination) {
        return std::any_of(out.begin(), out.end(),
                           [&](const Probe& p) { return p.destination == destination; });
    };
    for (const LocalInterface& i : interfaces) {
        const uint32_t to = DirectedBroadcast(i);
        if (to == 0 || known(to))
            continue;
        Probe p;
        p.kind = ProbeKind::Adapter;
        p.destination = to;
        p.adapter = i.address;
        p.netmask = i.netmask;
        out.push_back(p);
    }
    for (uint32_t address : typed) {
        if (address == 0 || known(address))
            continue;
        Probe p;
        p.kind = ProbeKind::Typed;
        p.destination = address;
        out.push_back(p);
    }
    return out;
}

std::vector<uint32_t> FollowingBroadcasts(const std::vector<Probe>& probes,
                                          uint32_t broadcastAdapter) {
    const auto adapters = std::count_if(
        probes.begin(), probes.end(), [](const Probe& p) { return p.kind == ProbeKind::Adapter; });
    // Unknown: only a single adapter is surely the one it leaves by.
    auto reached = [&](const Probe& p) {
        return broadcastAdapter != 0 ? (broadcastAdapter & p.netmask) == (p.adapter & p.netmask)
                                     : adapters == 1;
    };
    std::vector<uint32_t> first, last;
    for (const Probe& p : probes)
        if (p.kind == ProbeKind::Adapter)
            (reached(p) ? last : first).push_back(p.destination);
    first.insert(first.end(), last.begin(), last.end());
    return first;
}

uint32_t RequestDestination(uint32_t server, bool typed, const std::vector<Probe>& probes,
                            uint32_t broadcastAdapter) {
    if (typed)
        return server;
    const Probe* own = nullptr;
    int adapters = 0;
    bool onBroadcastSubnet = false;
    for (const Probe& p : probes) {
        if (p.kind != ProbeKind::Adapter)
            continue;
        ++adapters;
        const bool holds = (server & p.netmask) == (p.adapter & p.netmask);
        if (holds && own == nullptr)
            own = &p;
        if (holds && broadcastAdapter != 0 &&
            (broadcastAdapter & p.netmask) == (p.adapter & p.netmask))
            onBroadcastSubnet = true;
    }
    if (own == nullptr || onBroadcastSubnet)
        return kLimitedBroadcast;
    if (broadcastAdapter == 0 && adapters == 1)
        return kLimitedBroadcast;
    return own->destination;
}

int ParseIPv4(const std::string& text, uint32_t* out) {
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t digits = 0;
        uint32_t part = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            part = part * 10 + static_cast<uint32_t>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || part > 255)
            return 0;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return 0;
            ++i;
        }
    }
    if (i != text.size())
        return 0;
    *out = value;
    return 1;
}

AddressProblem CheckServerAddress(uint32_t address, const std::vector<LocalInterface>& interfaces) {
    const uint32_t first = address >> 24;
    if (first == 0)
        return AddressProblem::Unspecified;
    if (first == 127)
        return AddressProblem::Loopback;
    if (address == kLimitedBroadcast)
        return AddressProblem::Broadcast;
    if (first >= 224)
        return AddressProblem::Multicast;
    for (const LocalInterface& i : interfaces) {
        if (i.address == address)
            return AddressProblem::OwnAddress;
        if (DirectedBroadcast(i) == address)
            return AddressProblem::Broadcast;
    }
    return AddressProblem::None;
}

void DiscoveryReport::Begin(std::vector<Probe> probes) {
    // The addresses typed before stay: a discovery asks them again.
    probes_ = std::move(probes);
    started_ = true;
    running_ = true;
    replies_ = 0;
    listed_ = 0;
}

void DiscoveryReport::AddTyped(uint32_t address, int sendError) {
    started_ = true;
    for (Probe& p : probes_) {
        if (p.destination == address) {
            p.sendError = sendError;
            p.waiting = sendError == 0;
            return;
        }
    }
    Probe p;
    p.kind = ProbeKind::Typed;
    p.destination = address;
    p.sendError = sendError;
    p.waiting = sendError == 0;
    probes_.push_back(p);
}

void DiscoveryReport::EndWait(uint32_t address) {
    for (Probe& p : probes_)
        if (p.kind == ProbeKind::Typed && p.destination == address)
            p.waiting = false;
}

void DiscoveryReport::Sent(uint32_t destination, int sendError) {
    for (Probe& p : probes_)
        if (p.kind == ProbeKind::Adapter && p.destination == destination)
            p.sendError = sendError;
}

void DiscoveryReport::OnReply(uint32_t source, bool listed) {
    Probe* to = nullptr;
    for (Probe& p : probes_)
        if (p.kind == ProbeKind::Typed && p.destination == source)
            to = &p;
    for (Probe& p : probes_)
        if (to == nullptr && p.kind == ProbeKind::Adapter &&
            (source & p.netmask) == (p.adapter & p.netmask))
            to = &p;
    for (Probe& p : probes_)
        if (to == nullptr && p.kind == ProbeKind::LimitedBroadcast)
            to = &p;
    ++replies_;
    if (to != nullptr && to->kind == ProbeKind::Typed)
        to->waiting = false;
    if (listed)
        ++listed_;
    if (to != nullptr) {
        ++to->replies;
        if (listed)
            ++to->listed;
    }
}

int DiscoveryReport::adapters() const {
    return static_cast<int>(std::count_if(probes_.begin(), probes_.end(), [](const Probe& p) {
        return p.kind == ProbeKind::Adapter;
    }));
}

std::vector<DiscoveryReport::Hint> DiscoveryReport::Hints() const {
    std::vector<Hint> out;
    if (!started_)
        return out;
    if (running_)
        out.push_back({kHintStillRunning, ""});
    if (adapters() == 0)
        out.push_back({kHintNoAdapter, ""});
    for (const Probe& p : probes_) {
        if (p.sendError != 0)
            out.push_back({kHintSendFailed, FormatIPv4(p.destination)});
    }
    if (!running_ && replies_ == 0) {
        out.push_back({kHintNothing, ""});
        out.push_back({kHintVpn, ""});
        out.push_back({kHintOtherSubnet, ""});
    }
    for (const Probe& p : probes_) {
        if (p.kind == ProbeKind::Typed && p.replies == 0 && p.sendError == 0 && !p.waiting &&
            !running_)
            out.push_back({kHintTypedSilent, FormatIPv4(p.destination)});
    }
    return out;
}

}  // namespace proto
