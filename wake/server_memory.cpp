#include "wake/server_memory.h"

#include <algorithm>
#include <cstdio>

#include "protocol/discovery.h"
#include "protocol/packet.h"

namespace wake {

namespace {

bool ParseKey(const std::string& key, Mac* mac) {
    if (key.size() != 12)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        const int hi = proto::HexDigit(key[2 * i]), lo = proto::HexDigit(key[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        (*mac)[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

// Seconds since 1970: digits only, at most 12 of them.
bool ParseSeconds(const std::string& text, int64_t* out) {
    if (text.empty() || text.size() > 12)
        return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7f;
    });
}

}  // namespace

std::string FormatMac(const Mac& mac) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buf;
}

bool IsServerMac(const Mac& mac) {
    if ((mac[0] & 1) != 0)
        return false;  // group address, the broadcast among them
    return std::any_of(mac.begin(), mac.end(), [](uint8_t b) { return b != 0; });
}

std::string RecordKey(const Mac& mac) {
    char buf[13];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buf;
}

std::string RecordValue(const RememberedServer& server) {
    return "1;" + proto::FormatIPv4(server.ip) + ";" + std::to_string(server.lastSeen) + ";" +
           server.name;
}

bool ParseRecord(const std::string& key, const std::string& value, RememberedServer* out) {
    RememberedServer s;
    if (value.size() > kMaxRecordLength || !ParseKey(key, &s.mac) || !IsServerMac(s.mac))
        return false;
    // "1;ip;seen;name"
    const std::size_t a = value.find(';');
    if (a == std::string::npos || value.substr(0, a) != "1")
        return false;
    const std::size_t b = value.find(';', a + 1);
    if (b == std::string::npos)
        return false;
    const std::size_t c = value.find(';', b + 1);
    if (c == std::string::npos)
        return false;
    if (!proto::ParseIPv4(value.substr(a + 1, b - a - 1), &s.ip) || s.ip == 0 ||
        s.ip == proto::kLimitedBroadcast)
        return false;
    if (!ParseSeconds(value.substr(b + 1, c - b - 1), &s.lastSeen))
        return false;
    s.name = value.substr(c + 1);
    if (!ValidName(s.name))
        return false;
    *out = s;
    return true;
}

void ServerMemory::Load() {
    servers_.clear();
    changed_.clear();
    dropped_.clear();
    stored_.clear();
    std::vector<std::string> invalid;
    for (const auto& [key, value] : store_.ReadAll()) {
        RememberedServer s;
        if (!ParseRecord(key, value, &s) || key != RecordKey(s.mac) || Find(s.mac) != nullptr) {
            invalid.push_back(key);
            continue;
        }
        servers_.push_back(std::move(s));
    }
    std::stable_sort(servers_.begin(), servers_.end(),
                     [](const RememberedServer& x, const RememberedServer& y) {
                         return x.lastSeen > y.lastSeen;
                     });
    while (servers_.size() > kMaxRemembered) {
        invalid.push_back(RecordKey(servers_.back().mac));
        servers_.pop_back();
    }
    for (const std::string& key : invalid)
        store_.Remove(key);
    for (const RememberedServer& s : servers_)
        stored_.insert(RecordKey(s.mac));
}

const RememberedServer* ServerMemory::Find(const Mac& mac) const {
    for (const RememberedServer& s : servers_)
        if (s.mac == mac)
            return &s;
    return nullptr;
}

void ServerMemory::Drop(const std::string& key) {
    std::erase(changed_, key);
    // One that came and went within a burst was never written.
    if (stored_.count(key) != 0 &&
        std::find(dropped_.begin(), dropped_.end(), key) == dropped_.end())
        dropped_.push_back(key);
}

bool ServerMemory::Remember(const Mac& mac, const std::string& name, uint32_t ip, int64_t now) {
    const std::string cut = name.substr(0, kMaxNameLength);
    if (!IsServerMac(mac) || !ValidName(cut) || ip == 0 || ip == proto::kLimitedBroadcast ||
        now < 0)
        return false;
    const std::string key = RecordKey(mac);
    auto it = std::find_if(servers_.begin(), servers_.end(),
                           [&](const RememberedServer& s) { return s.mac == mac; });
    if (it != servers_.end())
        servers_.erase(it);
    // The newest first; the least recently seen falls off the end.
    servers_.insert(servers_.begin(), RememberedServer{mac, cut, ip, now});
    std::erase(dropped_, key);
    if (std::find(changed_.begin(), changed_.end(), key) == changed_.end())
        changed_.push_back(key);
    while (servers_.size() > kMaxRemembered) {
        Drop(RecordKey(servers_.back().mac));
        servers_.pop_back();
    }
    return true;
}

bool ServerMemory::Forget(const Mac& mac) {
    auto it = std::find_if(servers_.begin(), servers_.end(),
                           [&](const RememberedServer& s) { return s.mac == mac; });
    if (it == servers_.end())
        return false;
    servers_.erase(it);
    const std::string key = RecordKey(mac);
    std::erase(changed_, key);
    std::erase(dropped_, key);
    stored_.erase(key);
    store_.Remove(key);
    return true;
}

void ServerMemory::Save() {
    for (const std::string& key : dropped_) {
        store_.Remove(key);
        stored_.erase(key);
    }
    for (const std::string& key : changed_)
        for (const RememberedServer& s : servers_)
            if (RecordKey(s.mac) == key && store_.Write(key, RecordValue(s)))
                stored_.insert(key);
    changed_.clear();
    dropped_.clear();
}

std::vector<RememberedServer> ServerMemory::NotListed(const std::vector<Mac>& listed) const {
    std::vector<RememberedServer> out;
    for (const RememberedServer& s : servers_)
        if (std::find(listed.begin(), listed.end(), s.mac) == listed.end())
            out.push_back(s);
    return out;
}

}  // namespace wake
