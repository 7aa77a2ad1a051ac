#include "dialogs/rules/details_rows.h"

#include <cstdio>

#include "resources/brellmark/resource.h"

namespace rules {

namespace {

using proto::StatusReply;

DetailsRow Version(const StatusReply& r) {
    if (!r.version || r.version->length == 0)
        return {IDS_DET_VERSION, "", 0};
    return {IDS_DET_VERSION, r.version->Text(), 0};
}

// "%.2X-..." of the six bytes. `zeroIsNone`: all zero shows "--".
DetailsRow Mac(const std::optional<proto::MacValue>& mac, bool zeroIsNone) {
    if (!mac)
        return {IDS_DET_MAC, "", 0};
    const proto::MacValue& m = *mac;
    if (zeroIsNone && (m[0] | m[1] | m[2] | m[3] | m[4] | m[5]) == 0)
        return {IDS_DET_MAC, "", IDS_NO_ADDRESS};
    char buf[24];
    std::snprintf(buf, sizeof buf, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return {IDS_DET_MAC, buf, 0};
}

DetailsRow ConnectionType(const std::optional<uint8_t>& mode) {
    int id = 0;
    switch (mode.value_or(0)) {
        case 1:
            id = IDS_DET_CT_DHCP;
            break;
        case 2:
            id = IDS_DET_CT_STATIC;
            break;
        case 3:
            id = IDS_DET_CT_PPPOE;
            break;
        case 4:
            id = IDS_DET_CT_PPTP;
            break;
        default:
            break;  // no text for other values
    }
    return {IDS_DET_CONN_TYPE, "", id};
}

DetailsRow Dhcp(const std::optional<uint8_t>& mode) {
    if (!mode)
        return {IDS_DET_DHCP, "", 0};
    return {IDS_DET_DHCP, "", *mode != 0 ? IDS_DET_ENABLED : IDS_DET_DISABLED};
}

DetailsRow Address(int labelId, const std::optional<uint32_t>& a) {
    return {labelId, a ? proto::FormatIPv4(*a) : std::string(), 0};
}

// IP address, subnet mask and gateway of one block. No address (0.0.0.0
// or no item) shows "--" in all three rows.
void AddressBlock(uint32_t ip, const std::optional<uint32_t>& mask,
                  const std::optional<uint32_t>& gateway, std::vector<DetailsRow>& rows) {
    if (ip == 0) {
        rows.push_back({IDS_DET_IP, "", IDS_NO_ADDRESS});
        rows.push_back({IDS_DET_NETMASK, "", IDS_NO_ADDRESS});
        rows.push_back({IDS_DET_GATEWAY, "", IDS_NO_ADDRESS});
        return;
    }
    rows.push_back({IDS_DET_IP, proto::FormatIPv4(ip), 0});
    rows.push_back(Address(IDS_DET_NETMASK, mask));
    rows.push_back(Address(IDS_DET_GATEWAY, gateway));
}

void DiskRows(const StatusReply& r, std::vector<DetailsRow>& rows) {
    if (r.diskStatus) {
        rows.push_back(
            {IDS_DET_DISK_STATUS, "",
             *r.diskStatus == "1" ? IDS_DET_DISK_INITIALIZED : IDS_DET_DISK_NOT_INITIALIZED});
    }
    if (r.diskModel)
        rows.push_back({IDS_DET_DISK_MODEL, *r.diskModel, 0});
    if (r.diskCapacity)
        rows.push_back({IDS_DET_DISK_CAPACITY, *r.diskCapacity, 0});
}

}  // namespace

std::vector<DetailsRow> DetailsRows(const StatusReply& reply) {
    std::vector<DetailsRow> rows;
    rows.push_back({IDS_DET_SERVER_NAME, reply.serverName, 0});
    rows.push_back({IDS_DET_WORKGROUP, reply.workgroup, 0});
    rows.push_back(Version(reply));

    if (reply.router) {
        rows.push_back({});
        rows.push_back({IDS_DET_WAN, "", 0});
        rows.push_back(Mac(reply.mac, false));
        rows.push_back(ConnectionType(reply.ipMode));
        AddressBlock(reply.ip, reply.netmask, reply.gateway, rows);
        rows.push_back({});
        rows.push_back({IDS_DET_LAN, "", 0});
        rows.push_back(Mac(reply.lanMac, true));
        rows.push_back(ConnectionType(reply.lanIpMode));
        AddressBlock(reply.lanIp, reply.lanNetmask, reply.lanGateway, rows);
    } else {
        rows.push_back(Mac(reply.mac, false));
        rows.push_back(Dhcp(reply.ipMode));
        AddressBlock(reply.ip, reply.netmask, reply.gateway, rows);
    }

    DiskRows(reply, rows);
    return rows;
}

}  // namespace rules
