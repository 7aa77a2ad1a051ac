#include "dialogs/rules/details_rows.h"

#include <cstdio>

#include "protocol/packet.h"
#include "resources/brellmark/resource.h"

namespace rules {

namespace {

using proto::FindItem;

class StatusReply {
public:
    StatusReply(const uint8_t* data, std::size_t length) : data_(data), length_(length) {}

    bool Has(uint8_t tag) const { return FindItem(data_, length_, tag, nullptr, 0, nullptr) == 1; }

    DetailsRow Text(int labelId, uint8_t tag) const {
        std::string text;
        proto::FindText(data_, length_, tag, kDetailsTextLimit, &text);
        return {labelId, text, 0};
    }

    DetailsRow Version() const {
        uint8_t v[8] = {};
        std::size_t len = 0;
        if (!FindItem(data_, length_, proto::TAG_VERSION, v, sizeof v, &len) || len == 0)
            return {IDS_DET_VERSION, "", 0};
        return {IDS_DET_VERSION, proto::VersionText(v, len), 0};
    }

    // "%.2X-..." of the six bytes (missing bytes of a short item read as 0).
    // `zeroIsNone`: all zero shows "--".
    DetailsRow Mac(uint8_t tag, bool zeroIsNone) const {
        uint8_t m[6] = {};
        std::size_t len = 0;
        if (!FindItem(data_, length_, tag, m, sizeof m, &len))
            return {IDS_DET_MAC, "", 0};
        if (zeroIsNone && (m[0] | m[1] | m[2] | m[3] | m[4] | m[5]) == 0)
            return {IDS_DET_MAC, "", IDS_NO_ADDRESS};
        char buf[24];
        std::snprintf(buf, sizeof buf, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", m[0], m[1], m[2], m[3],
                      m[4], m[5]);
        return {IDS_DET_MAC, buf, 0};
    }

    DetailsRow ConnectionType(uint8_t tag) const {
        uint8_t mode = 0;
        int id = 0;
        if (proto::FindByte(data_, length_, tag, &mode)) {
            switch (mode) {
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
        }
        return {IDS_DET_CONN_TYPE, "", id};
    }

    DetailsRow Dhcp() const {
        uint8_t mode = 0;
        if (!proto::FindByte(data_, length_, proto::TAG_IP_MODE, &mode))
            return {IDS_DET_DHCP, "", 0};
        return {IDS_DET_DHCP, "", mode != 0 ? IDS_DET_ENABLED : IDS_DET_DISABLED};
    }

    // IP address, subnet mask and gateway of one block. No address (0.0.0.0
    // or no item) shows "--" in all three rows.
    void AddressBlock(uint8_t ipTag, uint8_t maskTag, uint8_t gatewayTag,
                      std::vector<DetailsRow>& rows) const {
        const uint32_t ip = proto::FindIPv4(data_, length_, ipTag);
        if (ip == 0) {
            rows.push_back({IDS_DET_IP, "", IDS_NO_ADDRESS});
            rows.push_back({IDS_DET_NETMASK, "", IDS_NO_ADDRESS});
            rows.push_back({IDS_DET_GATEWAY, "", IDS_NO_ADDRESS});
            return;
        }
        rows.push_back({IDS_DET_IP, proto::FormatIPv4(ip), 0});
        rows.push_back(Address(IDS_DET_NETMASK, maskTag));
        rows.push_back(Address(IDS_DET_GATEWAY, gatewayTag));
    }

    DetailsRow Address(int labelId, uint8_t tag) const {
        int present = 0;
        const uint32_t a = proto::FindIPv4(data_, length_, tag, &present);
        return {labelId, present ? proto::FormatIPv4(a) : std::string(), 0};
    }

    void DiskRows(std::vector<DetailsRow>& rows) const {
        std::string status;
        if (proto::FindText(data_, length_, proto::TAG_DISK_STATUS, kDetailsTextLimit, &status)) {
            rows.push_back(
                {IDS_DET_DISK_STATUS, "",
                 status == "1" ? IDS_DET_DISK_INITIALIZED : IDS_DET_DISK_NOT_INITIALIZED});
        }
        if (Has(proto::TAG_DISK_MODEL))
            rows.push_back(Text(IDS_DET_DISK_MODEL, proto::TAG_DISK_MODEL));
        if (Has(proto::TAG_DISK_CAPACITY))
            rows.push_back(Text(IDS_DET_DISK_CAPACITY, proto::TAG_DISK_CAPACITY));
    }

private:
    const uint8_t* data_;
    std::size_t length_;
};

}  // namespace

std::vector<DetailsRow> DetailsRows(const uint8_t* data, std::size_t length) {
    using namespace proto;
    const StatusReply reply(data, length);
    std::vector<DetailsRow> rows;
    rows.push_back(reply.Text(IDS_DET_SERVER_NAME, TAG_SERVER_NAME));
    rows.push_back(reply.Text(IDS_DET_WORKGROUP, TAG_WORKGROUP));
    rows.push_back(reply.Version());

    if (reply.Has(TAG_ROUTER)) {
        rows.push_back({});
        rows.push_back({IDS_DET_WAN, "", 0});
        rows.push_back(reply.Mac(TAG_MAC, false));
        rows.push_back(reply.ConnectionType(TAG_IP_MODE));
        reply.AddressBlock(TAG_IP, TAG_NETMASK, TAG_GATEWAY, rows);
        rows.push_back({});
        rows.push_back({IDS_DET_LAN, "", 0});
        rows.push_back(reply.Mac(TAG_LAN_MAC, true));
        rows.push_back(reply.ConnectionType(TAG_LAN_IP_MODE));
        reply.AddressBlock(TAG_LAN_IP, TAG_LAN_NETMASK, TAG_LAN_GATEWAY, rows);
    } else {
        rows.push_back(reply.Mac(TAG_MAC, false));
        rows.push_back(reply.Dhcp());
        reply.AddressBlock(TAG_IP, TAG_NETMASK, TAG_GATEWAY, rows);
    }

    reply.DiskRows(rows);
    return rows;
}

}  // namespace rules
