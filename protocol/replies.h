// The replies the program reads, each decoded once from its datagram into a
// plain record: the discovery reply, the status reply, the configuration
// reply of both server types, and the results of a login and of a
// configuration write. Portable.
//
// Every decoder takes any byte run: a datagram shorter than a header decodes
// to the record of an empty reply. Items are read as the servers send them:
// the first item of a tag counts, a zero tag ends the items, a value cut
// short by the end of the datagram holds the bytes that arrived.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/exchange.h"
#include "protocol/packet.h"

namespace proto {

// Longest text taken from an item; longer texts are cut. Texts also end at
// their first zero byte.
constexpr std::size_t kReplyTextChars = 127;
// Passwords of the router's accounts: at most 31 characters and their zero.
constexpr std::size_t kReplyPasswordChars = 31;

// A TAG_VERSION value: its first eight bytes and the length received.
struct VersionValue {
    std::array<uint8_t, 8> bytes = {};
    std::size_t length = 0;

    // VersionText of the value; `wForm` for the server list's forms.
    std::string Text(bool wForm = false) const;
    bool operator==(const VersionValue&) const = default;
};

// Six address bytes; missing bytes of a short item read as 0.
using MacValue = std::array<uint8_t, 6>;

// What a discovery reply contributes to the list.
struct DiscoveryRecord {
    ServerInfo info;          // name, kind, id, ip; flow none, seq 1
    std::string displayName;  // value of the first item, at most 127 chars
    std::string workgroup;    // value of the second item, at most 127 chars
};
// Reads a discovery reply. Returns 0 when it carries no TAG_SERVER_NAME (or
// is shorter than a header).
int ReadDiscoveryReply(uint32_t sourceIp, const uint8_t* data, std::size_t length,
                       DiscoveryRecord* out);

// CMD_GET_STATUS. Addresses in host order.
struct StatusReply {
    PacketHeader header;
    std::string serverName;  // "" when missing
    std::string workgroup;
    std::optional<VersionValue> version;
    // TAG_CONFIGURED: -1 when missing, received bytes over the low-order end.
    int32_t configured = -1;
    // TAG_ROUTER, present at all: a router-type server's status.
    bool router = false;
    std::optional<MacValue> mac, lanMac;
    std::optional<uint8_t> ipMode, lanIpMode;
    uint32_t ip = 0, lanIp = 0;  // 0 when missing
    std::optional<uint32_t> netmask, gateway, lanNetmask, lanGateway;
    std::optional<std::string> diskStatus, diskModel, diskCapacity;

    bool operator==(const StatusReply&) const = default;
};
StatusReply DecodeStatusReply(const uint8_t* data, std::size_t length);

// CMD_GET_CONFIG of either server type. Missing items read as 0 or "".
struct ConfigReply {
    PacketHeader header;
    // TAG_ROUTER present with the value 2 (1 to 4 little-endian bytes): the
    // router-type dialog; else the storage server's.
    bool routerType = false;
    std::string serverName;
    std::string date;  // mmddyyyy, as far as it reaches
    std::string time;  // hhmmss
    uint8_t ipMode = 0;
    uint32_t ip = 0, netmask = 0, gateway = 0;
    // Storage servers (the wizard).
    uint32_t dns1 = 0, dns2 = 0;
    std::string ntpServer;
    std::string diskStatus, diskModel, diskCapacity;
    // Router-type servers.
    std::string pppoeUser, pppoePassword;
    uint32_t pptpServer = 0;
    std::string pptpUser, pptpPassword;
    uint32_t lanIp = 0, lanNetmask = 0, lanGateway = 0;
    uint8_t dhcpServer = 0;  // the TAG_DHCP_SERVER byte
    uint32_t dhcpStart = 0, dhcpEnd = 0;

    bool operator==(const ConfigReply&) const = default;
};
ConfigReply DecodeConfigReply(const uint8_t* data, std::size_t length);

// CMD_LOGIN: the header's status, 0 when the server took the password.
struct LoginResult {
    bool accepted = false;
};
LoginResult DecodeLoginResult(const PacketHeader& header);

// CMD_SET_CONFIG: the header's status.
enum class WriteResult {
    Written,  // 0, and statuses the servers do not send
    Busy,     // 1: the server is being set up from elsewhere
    Failed,   // 2: the server could not write the configuration
};
WriteResult DecodeWriteResult(const PacketHeader& header);

}  // namespace proto
