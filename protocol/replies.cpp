#include "protocol/replies.h"

#include <algorithm>
#include <cstring>

namespace proto {

namespace {

// The first item of every tag, found in one pass over the datagram.
class Items {
public:
    Items(const uint8_t* data, std::size_t length) {
        if (data == nullptr)
            return;
        std::size_t pos = kHeaderSize;
        while (length >= pos + 2) {
            const uint8_t tag = data[pos];
            const std::size_t declared = data[pos + 1];
            if (!found_[tag]) {
                found_[tag] = true;
                items_[tag] = {tag, data + pos + 2, std::min(declared, length - pos - 2)};
            }
            if (tag == 0)
                break;
            pos += 2 + declared;
        }
    }

    const ItemRef* Find(uint8_t tag) const { return found_[tag] ? &items_[tag] : nullptr; }
    bool Has(uint8_t tag) const { return found_[tag]; }

    // The value up to its first zero byte, cut to `maxChars`.
    std::optional<std::string> Text(uint8_t tag, std::size_t maxChars = kReplyTextChars) const {
        const ItemRef* item = Find(tag);
        if (item == nullptr)
            return std::nullopt;
        const char* value = reinterpret_cast<const char*>(item->value);
        return std::string(value, strnlen(value, std::min(item->length, maxChars)));
    }
    std::string TextOrEmpty(uint8_t tag, std::size_t maxChars = kReplyTextChars) const {
        return Text(tag, maxChars).value_or(std::string());
    }

    // The first `N` bytes of the value over `preset`.
    template <std::size_t N>
    std::optional<std::array<uint8_t, N>> Bytes(uint8_t tag, uint8_t preset = 0) const {
        const ItemRef* item = Find(tag);
        if (item == nullptr)
            return std::nullopt;
        std::array<uint8_t, N> b;
        b.fill(preset);
        std::memcpy(b.data(), item->value, std::min(item->length, N));
        return b;
    }

    std::optional<uint8_t> Byte(uint8_t tag) const {
        const auto b = Bytes<1>(tag);
        return b ? std::optional<uint8_t>((*b)[0]) : std::nullopt;
    }

    // IPv4, sent first octet first, in host order.
    std::optional<uint32_t> IPv4(uint8_t tag) const {
        const auto b = Bytes<4>(tag);
        if (!b)
            return std::nullopt;
        return (static_cast<uint32_t>((*b)[0]) << 24) | (static_cast<uint32_t>((*b)[1]) << 16) |
               (static_cast<uint32_t>((*b)[2]) << 8) | (*b)[3];
    }

    // Little-endian integer over `preset` bytes.
    std::optional<int32_t> Int32(uint8_t tag, uint8_t preset) const {
        const auto b = Bytes<4>(tag, preset);
        if (!b)
            return std::nullopt;
        return static_cast<int32_t>(
            static_cast<uint32_t>((*b)[0]) | (static_cast<uint32_t>((*b)[1]) << 8) |
            (static_cast<uint32_t>((*b)[2]) << 16) | (static_cast<uint32_t>((*b)[3]) << 24));
    }

private:
    bool found_[256] = {};
    ItemRef items_[256];
};

PacketHeader HeaderOf(const uint8_t* data, std::size_t length) {
    return data != nullptr && length >= kHeaderSize ? PacketHeader::Decode(data) : PacketHeader{};
}

}  // namespace

int ReadDiscoveryReply(uint32_t sourceIp, const uint8_t* data, std::size_t length,
                       DiscoveryRecord* out) {
    if (length < kHeaderSize)
        return 0;
    std::string name;
    if (!FindText(data, length, TAG_SERVER_NAME, sizeof out->info.name - 1, &name))
        return 0;
    const PacketHeader h = PacketHeader::Decode(data);
    *out = DiscoveryRecord{};
    std::memcpy(out->info.name, name.data(), name.size());
    out->info.kind = h.kind;
    out->info.flow = 0;
    out->info.seq = 1;
    out->info.selected = 0;
    out->info.ip = sourceIp;
    std::memcpy(out->info.id, data, 8);
    ItemRef item;
    auto text = [](const ItemRef& r) {
        const std::size_t n = std::min<std::size_t>(r.length, 127);
        return std::string(reinterpret_cast<const char*>(r.value),
                           strnlen(reinterpret_cast<const char*>(r.value), n));
    };
    if (ItemAt(data, length, 0, &item))
        out->displayName = text(item);
    if (ItemAt(data, length, 1, &item))
        out->workgroup = text(item);
    return 1;
}

std::string VersionValue::Text(bool wForm) const {
    return VersionText(bytes.data(), length, wForm);
}

StatusReply DecodeStatusReply(const uint8_t* data, std::size_t length) {
    const Items items(data, length);
    StatusReply r;
    r.header = HeaderOf(data, length);
    r.serverName = items.TextOrEmpty(TAG_SERVER_NAME);
    r.workgroup = items.TextOrEmpty(TAG_WORKGROUP);
    if (const ItemRef* v = items.Find(TAG_VERSION)) {
        r.version.emplace();
        r.version->length = v->length;
        std::memcpy(r.version->bytes.data(), v->value, std::min<std::size_t>(v->length, 8));
    }
    r.configured = items.Int32(TAG_CONFIGURED, 0xFF).value_or(-1);
    r.router = items.Has(TAG_ROUTER);
    r.mac = items.Bytes<6>(TAG_MAC);
    r.lanMac = items.Bytes<6>(TAG_LAN_MAC);
    r.ipMode = items.Byte(TAG_IP_MODE);
    r.lanIpMode = items.Byte(TAG_LAN_IP_MODE);
    r.ip = items.IPv4(TAG_IP).value_or(0);
    r.netmask = items.IPv4(TAG_NETMASK);
    r.gateway = items.IPv4(TAG_GATEWAY);
    r.lanIp = items.IPv4(TAG_LAN_IP).value_or(0);
    r.lanNetmask = items.IPv4(TAG_LAN_NETMASK);
    r.lanGateway = items.IPv4(TAG_LAN_GATEWAY);
    r.diskStatus = items.Text(TAG_DISK_STATUS);
    r.diskModel = items.Text(TAG_DISK_MODEL);
    r.diskCapacity = items.Text(TAG_DISK_CAPACITY);
    return r;
}

ConfigReply DecodeConfigReply(const uint8_t* data, std::size_t length) {
    const Items items(data, length);
    ConfigReply r;
    r.header = HeaderOf(data, length);
    r.routerType = items.Int32(TAG_ROUTER, 0).value_or(0) == 2;
    r.serverName = items.TextOrEmpty(TAG_SERVER_NAME);
    r.date = items.TextOrEmpty(TAG_DATE, 8);
    r.time = items.TextOrEmpty(TAG_TIME, 6);
    r.ipMode = items.Byte(TAG_IP_MODE).value_or(0);
    r.ip = items.IPv4(TAG_IP).value_or(0);
    r.netmask = items.IPv4(TAG_NETMASK).value_or(0);
    r.gateway = items.IPv4(TAG_GATEWAY).value_or(0);
    r.dns1 = items.IPv4(TAG_DNS1).value_or(0);
    r.dns2 = items.IPv4(TAG_DNS2).value_or(0);
    r.ntpServer = items.TextOrEmpty(TAG_NTP_SERVER);
    r.diskStatus = items.TextOrEmpty(TAG_DISK_STATUS);
    r.diskModel = items.TextOrEmpty(TAG_DISK_MODEL);
    r.diskCapacity = items.TextOrEmpty(TAG_DISK_CAPACITY);
    r.pppoeUser = items.TextOrEmpty(TAG_PPPOE_USER);
    r.pppoePassword = items.TextOrEmpty(TAG_PPPOE_PASSWORD, kReplyPasswordChars);
    r.pptpServer = items.IPv4(TAG_PPTP_SERVER).value_or(0);
    r.pptpUser = items.TextOrEmpty(TAG_PPTP_USER);
    r.pptpPassword = items.TextOrEmpty(TAG_PPTP_PASSWORD, kReplyPasswordChars);
    r.lanIp = items.IPv4(TAG_LAN_IP).value_or(0);
    r.lanNetmask = items.IPv4(TAG_LAN_NETMASK).value_or(0);
    r.lanGateway = items.IPv4(TAG_LAN_GATEWAY).value_or(0);
    r.dhcpServer = items.Byte(TAG_DHCP_SERVER).value_or(0);
    r.dhcpStart = items.IPv4(TAG_DHCP_START).value_or(0);
    r.dhcpEnd = items.IPv4(TAG_DHCP_END).value_or(0);
    return r;
}

LoginResult DecodeLoginResult(const PacketHeader& header) {
    return {header.status == 0};
}

WriteResult DecodeWriteResult(const PacketHeader& header) {
    switch (header.status) {
        case 1:
            return WriteResult::Busy;
        case 2:
            return WriteResult::Failed;
        default:
            return WriteResult::Written;
    }
}

}  // namespace proto
