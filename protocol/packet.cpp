#include "protocol/packet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace proto {

namespace {

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t GetLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

void PacketHeader::Encode(uint8_t out[kHeaderSize]) const {
    std::memcpy(out, serverId, 6);
    std::memcpy(out + 6, origin, 2);
    PutLe16(out + 8, seq);
    PutLe16(out + 10, command);
    PutLe16(out + 12, static_cast<uint16_t>(status));
    PutLe16(out + 14, static_cast<uint16_t>(kind));
}

PacketHeader PacketHeader::Decode(const uint8_t* data) {
    PacketHeader h;
    std::memcpy(h.serverId, data, 6);
    std::memcpy(h.origin, data + 6, 2);
    h.seq = GetLe16(data + 8);
    h.command = GetLe16(data + 10);
    h.status = static_cast<int16_t>(GetLe16(data + 12));
    h.kind = static_cast<int16_t>(GetLe16(data + 14));
    return h;
}

int CommandBuffer::AddItem(uint8_t tag, const void* value, std::size_t length) {
    if (count >= kMaxItems || length > kMaxItemValue)
        return 0;
    CommandItem& item = items[count];
    item.tag = tag;
    item.length = static_cast<uint8_t>(length);
    std::memset(item.value, 0, sizeof item.value);
    if (length > 0)
        std::memcpy(item.value, value, length);
    ++count;
    return 1;
}

int CommandBuffer::AddByte(uint8_t tag, uint8_t value) {
    return AddItem(tag, &value, 1);
}

int CommandBuffer::AddIPv4(uint8_t tag, uint32_t hostOrder) {
    const uint8_t b[4] = {static_cast<uint8_t>(hostOrder >> 24),
                          static_cast<uint8_t>(hostOrder >> 16),
                          static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder)};
    return AddItem(tag, b, 4);
}

int CommandBuffer::AddText(uint8_t tag, const std::string& text) {
    return AddItem(tag, text.data(), std::min(text.size(), kMaxItemValue));
}

int CommandBuffer::AddTextNul(uint8_t tag, const std::string& text, std::size_t maxBytes) {
    maxBytes = std::clamp<std::size_t>(maxBytes, 1, kMaxItemValue);
    uint8_t v[kMaxItemValue] = {};
    const std::size_t n = std::min(text.size(), maxBytes - 1);
    std::memcpy(v, text.data(), n);
    return AddItem(tag, v, n + 1);
}

int CommandBuffer::AddFixedText(uint8_t tag, const std::string& text, std::size_t size) {
    size = std::min(size, kMaxItemValue);
    uint8_t v[kMaxItemValue] = {};
    std::memcpy(v, text.data(), std::min(text.size(), size));
    return AddItem(tag, v, size);
}

std::vector<uint8_t> PackDatagram(const PacketHeader& header, const CommandBuffer& buffer) {
    std::vector<uint8_t> out(kHeaderSize);
    header.Encode(out.data());
    const int n = std::clamp(buffer.count, 0, kMaxItems);
    for (int i = 0; i < n; ++i) {
        const CommandItem& item = buffer.items[i];
        const std::size_t len = std::min<std::size_t>(item.length, kMaxItemValue);
        out.push_back(item.tag);
        out.push_back(static_cast<uint8_t>(len));
        out.insert(out.end(), item.value, item.value + len);
    }
    return out;
}

int ItemAt(const uint8_t* datagram, std::size_t length, int index, ItemRef* out) {
    std::size_t pos = kHeaderSize;
    for (int i = 0;; ++i) {
        if (length < pos + 2 || datagram == nullptr)
            return 0;
        const uint8_t tag = datagram[pos];
        const std::size_t declared = datagram[pos + 1];
        const std::size_t avail = std::min(declared, length - pos - 2);
        if (i == index) {
            out->tag = tag;
            out->value = datagram + pos + 2;
            out->length = avail;
            return 1;
        }
        pos += 2 + declared;
    }
}

int FindItem(const uint8_t* datagram, std::size_t length, uint8_t tag, void* dest,
             std::size_t destSize, std::size_t* valueLength) {
    if (datagram == nullptr)
        return 0;
    std::size_t pos = kHeaderSize;
    while (length >= pos + 2) {
        const uint8_t t = datagram[pos];
        const std::size_t declared = datagram[pos + 1];
        if (t == tag) {
            const std::size_t avail = std::min(declared, length - pos - 2);
            if (dest != nullptr && destSize > 0)
                std::memcpy(dest, datagram + pos + 2, std::min(avail, destSize));
            if (valueLength != nullptr)
                *valueLength = avail;
            return 1;
        }
        if (t == 0)
            return 0;
        pos += 2 + declared;
    }
    return 0;
}

int FindText(const uint8_t* d, std::size_t n, uint8_t tag, std::size_t maxChars, std::string* out) {
    char buf[256] = {};
    std::size_t len = 0;
    if (!FindItem(d, n, tag, buf, sizeof buf, &len))
        return 0;
    len = std::min({len, maxChars, sizeof buf});
    out->assign(buf, strnlen(buf, len));
    return 1;
}

namespace {

// The item's bytes over a preset value (`fill` in every byte), little-endian.
int32_t FindLittleEndian32(const uint8_t* d, std::size_t n, uint8_t tag, int* present,
                           uint8_t fill) {
    uint8_t b[4] = {fill, fill, fill, fill};
    std::size_t len = 0;
    const int found = FindItem(d, n, tag, b, sizeof b, &len);
    if (present != nullptr)
        *present = found;
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                (static_cast<uint32_t>(b[2]) << 16) |
                                (static_cast<uint32_t>(b[3]) << 24));
}

}  // namespace

int32_t FindInt32(const uint8_t* d, std::size_t n, uint8_t tag, int* present) {
    return FindLittleEndian32(d, n, tag, present, 0xFF);
}

int32_t FindInt32Zero(const uint8_t* d, std::size_t n, uint8_t tag, int* present) {
    return FindLittleEndian32(d, n, tag, present, 0);
}

uint32_t FindIPv4(const uint8_t* d, std::size_t n, uint8_t tag, int* present) {
    uint8_t b[4] = {};
    std::size_t len = 0;
    const int found = FindItem(d, n, tag, b, sizeof b, &len);
    if (present != nullptr)
        *present = found;
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}

int FindByte(const uint8_t* d, std::size_t n, uint8_t tag, uint8_t* out) {
    uint8_t b = 0;
    std::size_t len = 0;
    if (!FindItem(d, n, tag, &b, 1, &len))
        return 0;
    *out = b;
    return 1;
}

std::string VersionText(const uint8_t* value, std::size_t length, bool wForm) {
    uint8_t v[8] = {};
    if (value != nullptr)
        std::memcpy(v, value, std::min<std::size_t>(length, 8));
    const int major = v[0] >> 4;
    const int minor = v[0] & 0x0F;
    const int digit = v[1];
    char buf[64];
    if (length == 8) {
        char build[7] = {};
        std::memcpy(build, v + 2, 6);
        const char* w = wForm ? "w" : "";
        if (digit == 0xFE)
            std::snprintf(buf, sizeof buf, "%s%d.%d.%s", w, major, minor, build);
        else
            std::snprintf(buf, sizeof buf, "%s%d.%d%d%s", w, major, minor, digit, build);
    } else if (digit == 0xFE) {
        std::snprintf(buf, sizeof buf, "%d.%d", major, minor);
    } else {
        std::snprintf(buf, sizeof buf, "%d.%d%d", major, minor, digit);
    }
    return buf;
}

std::string FormatIPv4(uint32_t a) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", (a >> 24) & 0xFFu, (a >> 16) & 0xFFu,
                  (a >> 8) & 0xFFu, a & 0xFFu);
    return buf;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {
void AppendPart(std::string& out, const std::string& part, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(i < part.size() ? part[i] : '\0');
}
}  // namespace

std::string DateValue(const std::string& month, const std::string& day, const std::string& year) {
    std::string out;
    AppendPart(out, month, 2);
    AppendPart(out, day, 2);
    AppendPart(out, year, 4);
    return out;
}

std::string TimeValue(const std::string& hour, const std::string& minute,
                      const std::string& second) {
    std::string out;
    AppendPart(out, hour, 2);
    AppendPart(out, minute, 2);
    AppendPart(out, second, 2);
    return out;
}

}  // namespace proto
