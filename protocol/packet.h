// Wire format of the device protocol: a 16-byte header followed by a run of
// tag/length/value items. Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace proto {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kMaxDatagram = 1024;
constexpr int kMaxItems = 30;
constexpr std::size_t kMaxItemValue = 128;
constexpr uint16_t kPort = 8097;
constexpr uint16_t kSeqModulo = 10000;

// Command codes.
enum : uint16_t {
    CMD_DISCOVER = 1,
    CMD_GET_CONFIG = 2,
    CMD_LOGIN = 3,
    CMD_SET_CONFIG = 4,
    CMD_GET_STATUS = 5,
    CMD_LOGOUT = 10,
    CMD_IMPORT_USER = 16,
    CMD_REDISCOVER = 17,
    CMD_DISK_PROGRESS = 18,
    CMD_SET_NAME = 19,
    CMD_SET_PASSWORD = 20,
    CMD_SET_DATETIME = 21,
    CMD_SET_ENCODING = 22,
    CMD_SET_NETWORK = 23,
    CMD_INIT_DISK = 24,
    CMD_FINISH = 25,
    CMD_DONE = 26,
};

// Item tags.
enum : uint8_t {
    TAG_SERVER_NAME = 1,
    TAG_VERSION = 2,
    TAG_DATE = 3,
    TAG_TIME = 4,
    TAG_IP = 5,
    TAG_GATEWAY = 6,
    TAG_NETMASK = 7,
    TAG_IP_MODE = 8,
    TAG_WORKGROUP = 9,
    TAG_PASSWORD = 10,
    TAG_ADMIN_NAME = 11,
    TAG_MAC = 12,
    TAG_RESTART = 16,
    TAG_ROUTER = 17,
    TAG_PPPOE_USER = 18,
    TAG_PPPOE_PASSWORD = 19,
    TAG_PPTP_SERVER = 20,
    TAG_PPTP_USER = 21,
    TAG_PPTP_PASSWORD = 22,
    TAG_LAN_IP = 23,
    TAG_LAN_GATEWAY = 24,
    TAG_LAN_NETMASK = 25,
    TAG_LAN_IP_MODE = 26,
    TAG_LAN_MAC = 27,
    TAG_DHCP_SERVER = 28,
    TAG_DHCP_START = 29,
    TAG_DHCP_END = 30,
    TAG_IMPORT_LINE = 31,
    TAG_CONFIGURED = 32,
    TAG_TIME_ZONE = 33,
    TAG_DISK_INIT = 34,
    TAG_ENCODING = 35,
    TAG_DISK_STATUS = 37,
    TAG_DISK_MODEL = 38,
    TAG_DISK_CAPACITY = 39,
    TAG_NTP_SERVER = 42,
    TAG_DNS1 = 43,
    TAG_DNS2 = 44,
};

// The 16-byte header. Multi-byte fields are little-endian on the wire.
struct PacketHeader {
    uint8_t serverId[6] = {};
    uint8_t origin[2] = {};
    uint16_t seq = 0;
    uint16_t command = 0;
    int16_t status = 0;
    int16_t kind = 0;

    bool operator==(const PacketHeader&) const = default;
    void Encode(uint8_t out[kHeaderSize]) const;
    // Reads the header of a datagram of at least kHeaderSize bytes.
    static PacketHeader Decode(const uint8_t* data);
};

struct CommandItem {
    uint8_t tag = 0;
    uint8_t length = 0;
    uint8_t value[kMaxItemValue] = {};
};

// A request under construction: up to 30 items of up to 128 bytes each.
struct CommandBuffer {
    CommandItem items[kMaxItems];
    int count = 0;
    PacketHeader header;

    // Stores the first `length` bytes of `value` in the next slot. Returns 1,
    // or 0 (and stores nothing) when the buffer is full or the value too long.
    int AddItem(uint8_t tag, const void* value, std::size_t length);

    // Convenience encoders for the value kinds of the protocol.
    int AddByte(uint8_t tag, uint8_t value);
    // IPv4 in host order (first octet most significant), sent first octet first.
    int AddIPv4(uint8_t tag, uint32_t hostOrder);
    // Text without terminator, cut to kMaxItemValue bytes.
    int AddText(uint8_t tag, const std::string& text);
    // Text followed by its terminating zero byte, cut to fit `maxBytes` in all.
    int AddTextNul(uint8_t tag, const std::string& text, std::size_t maxBytes);
    // Fixed text: `size` bytes, the text then zero bytes; no terminator when full.
    int AddFixedText(uint8_t tag, const std::string& text, std::size_t size);
};

// Lays out header and items; the result is 16 + sum(2 + length) bytes.
std::vector<uint8_t> PackDatagram(const PacketHeader& header, const CommandBuffer& buffer);

// Looks `tag` up in a received datagram of `length` bytes. When found, copies
// the value (cut to what the datagram holds and to `destSize`) into `dest` and
// sets `*valueLength` to the length the datagram actually holds. Returns 1 when
// found, 0 when not.
int FindItem(const uint8_t* datagram, std::size_t length, uint8_t tag, void* dest,
             std::size_t destSize, std::size_t* valueLength);

// A view of one item in place, for readers that take items by position.
struct ItemRef {
    uint8_t tag = 0;
    const uint8_t* value = nullptr;
    std::size_t length = 0;  // bytes present in the datagram
};
// The item at position `index` (0 = first after the header), whatever its tag.
// Returns 0 when the datagram ends before it.
int ItemAt(const uint8_t* datagram, std::size_t length, int index, ItemRef* out);

// Typed readers over FindItem. Each returns 1 when the item is present.
// Text: the value terminated at its received length (or first NUL), cut to maxChars.
int FindText(const uint8_t* d, std::size_t n, uint8_t tag, std::size_t maxChars, std::string* out);
// Int32: preset to -1, the received bytes copied over the low-order end.
int32_t FindInt32(const uint8_t* d, std::size_t n, uint8_t tag, int* present = nullptr);
// TAG_ROUTER style integer: preset to 0, 1 to 4 little-endian bytes.
int32_t FindInt32Zero(const uint8_t* d, std::size_t n, uint8_t tag, int* present = nullptr);
// IPv4: host order, 0 when absent.
uint32_t FindIPv4(const uint8_t* d, std::size_t n, uint8_t tag, int* present = nullptr);
int FindByte(const uint8_t* d, std::size_t n, uint8_t tag, uint8_t* out);

// Text of a version value. `wForm` selects the server-list forms with the
// leading "w" (only applied to 8-byte values).
std::string VersionText(const uint8_t* value, std::size_t length, bool wForm = false);

// "%d.%d.%d.%d" of a host-order address, first octet first.
std::string FormatIPv4(uint32_t hostOrder);

// The value of a hexadecimal digit (either case), -1 for any other character.
int HexDigit(char c);

// Date (mmddyyyy) and time (hhmmss) values: the first 2, 2 and 4 (or 2, 2 and
// 2) characters of each part; a shorter part is padded with zero bytes.
std::string DateValue(const std::string& month, const std::string& day, const std::string& year);
std::string TimeValue(const std::string& hour, const std::string& minute,
                      const std::string& second);

}  // namespace proto
