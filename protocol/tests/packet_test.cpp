#include "protocol/packet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "protocol/exchange.h"

using namespace proto;

namespace {

// Builds a reply datagram: header with command, then raw item bytes.
std::vector<uint8_t> Reply(uint16_t command, std::vector<uint8_t> items, int16_t kind = 0) {
    PacketHeader h;
    h.command = command;
    h.kind = kind;
    std::vector<uint8_t> d(kHeaderSize);
    h.Encode(d.data());
    d.insert(d.end(), items.begin(), items.end());
    return d;
}

}  // namespace

TEST(PackDatagram, RequestLayoutIsByteExact) {
    CommandBuffer empty;
    empty.header.command = CMD_GET_STATUS;
    auto bare = PackDatagram(empty.header, empty);
    ASSERT_EQ(bare.size(), 16u);

    CommandBuffer discover;
    AddressRequest(nullptr, CMD_DISCOVER, discover);
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(PackDatagram(discover.header, discover), expected);

    CommandBuffer b;
    b.header.seq = 0x1234;
    b.header.command = CMD_LOGIN;
    b.header.status = -2;
    b.header.kind = 0x0102;
    ASSERT_EQ(b.AddFixedText(TAG_PASSWORD, "pw", 16), 1);
    ASSERT_EQ(b.AddIPv4(TAG_IP, 0xC0A80001), 1);
    ASSERT_EQ(b.AddByte(TAG_RESTART, 1), 1);
    ASSERT_EQ(b.AddTextNul(TAG_PPPOE_USER, "abc", 128), 1);
    auto d = PackDatagram(b.header, b);
    ASSERT_EQ(d.size(), 16u + 18 + 6 + 3 + 6);
    EXPECT_EQ(d[8], 0x34);
    EXPECT_EQ(d[9], 0x12);
    EXPECT_EQ(d[10], CMD_LOGIN);
    EXPECT_EQ(d[11], 0);
    EXPECT_EQ(d[12], 0xFE);
    EXPECT_EQ(d[13], 0xFF);
    EXPECT_EQ(d[14], 0x02);
    EXPECT_EQ(d[15], 0x01);
    const std::vector<uint8_t> items(d.begin() + 16, d.end());
    const std::vector<uint8_t> want = {10, 16, 'p', 'w', 0, 0,  0, 0,   0,   0,   0,
                                       0,  0,  0,   0,   0, 0,  0, 5,   4,   192, 168,
                                       0,  1,  16,  1,   1, 18, 4, 'a', 'b', 'c', 0};
    EXPECT_EQ(items, want);
}

TEST(CommandBuffer, RefusesOverflowInsteadOfCorrupting) {
    CommandBuffer b;
    uint8_t big[200] = {};
    EXPECT_EQ(b.AddItem(1, big, 129), 0);
    for (int i = 0; i < kMaxItems; ++i)
        ASSERT_EQ(b.AddByte(1, 0), 1);
    EXPECT_EQ(b.AddByte(1, 0), 0);
    EXPECT_EQ(b.count, kMaxItems);
    // A fixed text as long as its field carries no terminator; longer is cut.
    CommandBuffer f;
    f.AddFixedText(TAG_ADMIN_NAME, "ABCDEFGHIJKLMNOPQRST", 16);
    EXPECT_EQ(f.items[0].length, 16);
    EXPECT_EQ(std::memcmp(f.items[0].value, "ABCDEFGHIJKLMNOP", 16), 0);
}

TEST(FindItem, LookupRules) {
    // Header only: nothing is found.
    auto bare = Reply(CMD_GET_STATUS, {});
    uint8_t v[8];
    size_t len = 99;
    EXPECT_EQ(FindItem(bare.data(), bare.size(), TAG_SERVER_NAME, v, sizeof v, &len), 0);

    // A tag given twice: the first value counts.
    auto twice = Reply(CMD_GET_STATUS, {1, 2, 'A', 'B', 1, 3, 'X', 'Y', 'Z'});
    std::string s;
    ASSERT_EQ(FindText(twice.data(), twice.size(), TAG_SERVER_NAME, 127, &s), 1);
    EXPECT_EQ(s, "AB");

    // No zero tag: the lookup stops at the end of the datagram.
    auto noEnd = Reply(CMD_GET_STATUS, {9, 1, 'W', 38, 2, 'M', 'D'});
    EXPECT_EQ(FindText(noEnd.data(), noEnd.size(), TAG_DISK_MODEL, 127, &s), 1);
    EXPECT_EQ(s, "MD");
    EXPECT_EQ(FindText(noEnd.data(), noEnd.size(), TAG_DISK_STATUS, 127, &s), 0);

    // A zero tag ends the run, even if more items follow.
    auto zero = Reply(CMD_GET_STATUS, {9, 1, 'W', 0, 0, 38, 1, 'M'});
    EXPECT_EQ(FindText(zero.data(), zero.size(), TAG_DISK_MODEL, 127, &s), 0);

    // An item whose length runs past the datagram yields only what is there.
    auto overrun = Reply(CMD_GET_STATUS, {1, 200, 'N', 'A', 'S'});
    uint8_t dest[300];
    std::memset(dest, 0xAA, sizeof dest);
    ASSERT_EQ(FindItem(overrun.data(), overrun.size(), TAG_SERVER_NAME, dest, sizeof dest, &len),
              1);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(dest[3], 0xAA);
    // A single trailing byte is not an item.
    auto odd = Reply(CMD_GET_STATUS, {9});
    EXPECT_EQ(FindItem(odd.data(), odd.size(), 9, dest, sizeof dest, &len), 0);

    // The value is cut to the destination.
    auto longName = Reply(CMD_GET_STATUS, {1, 5, 'a', 'b', 'c', 'd', 'e'});
    char small[3] = {'x', 'x', 'x'};
    FindItem(longName.data(), longName.size(), 1, small, 2, &len);
    EXPECT_EQ(len, 5u);
    EXPECT_EQ(small[2], 'x');
    EXPECT_EQ(FindText(longName.data(), longName.size(), 1, 3, &s), 1);
    EXPECT_EQ(s, "abc");
}

TEST(ValueEncodings, IntegersAndAddresses) {
    // Int32 preset to -1: a single byte 1 does not read as 1.
    auto one = Reply(CMD_GET_STATUS, {32, 1, 1});
    EXPECT_EQ(FindInt32(one.data(), one.size(), TAG_CONFIGURED), static_cast<int32_t>(0xFFFFFF01));
    auto four = Reply(CMD_GET_STATUS, {32, 4, 1, 0, 0, 0});
    EXPECT_EQ(FindInt32(four.data(), four.size(), TAG_CONFIGURED), 1);
    int present = 7;
    EXPECT_EQ(FindInt32(four.data(), four.size(), TAG_ROUTER, &present), -1);
    EXPECT_EQ(present, 0);
    // TAG_ROUTER style: preset to 0.
    auto router = Reply(CMD_GET_CONFIG, {17, 1, 2});
    EXPECT_EQ(FindInt32Zero(router.data(), router.size(), TAG_ROUTER, &present), 2);
    EXPECT_EQ(present, 1);
    // IPv4: first octet most significant.
    auto ip = Reply(CMD_GET_STATUS, {5, 4, 10, 77, 1, 2});
    EXPECT_EQ(FindIPv4(ip.data(), ip.size(), TAG_IP), 0x0A4D0102u);
    EXPECT_EQ(FormatIPv4(0x0A4D0102u), "10.77.1.2");
    EXPECT_EQ(FindIPv4(ip.data(), ip.size(), TAG_NETMASK), 0u);
    EXPECT_EQ(DateValue("03", "15", "2005"), "03152005");
    EXPECT_EQ(DateValue("03", "15", "12005"), "03151200");
    EXPECT_EQ(TimeValue("7", "05", "09"), std::string("7\0"
                                                      "0509",
                                                      6));
}

TEST(VersionText, AllFormsAndTheLeadingW) {
    const uint8_t shortNone[2] = {0x21, 0xFE};
    EXPECT_EQ(VersionText(shortNone, 2), "2.1");
    EXPECT_EQ(VersionText(shortNone, 2, true), "2.1");
    const uint8_t shortDigit[2] = {0x21, 0x03};
    EXPECT_EQ(VersionText(shortDigit, 2), "2.13");
    const uint8_t longNone[8] = {0x21, 0xFE, 'A', 0, 0, 0, 0, 0};
    EXPECT_EQ(VersionText(longNone, 8), "2.1.A");
    EXPECT_EQ(VersionText(longNone, 8, true), "w2.1.A");
    const uint8_t example[8] = {0x12, 0x03, '0', '6', '0', '9', '2', '0'};
    EXPECT_EQ(VersionText(example, 8), "1.23060920");
    EXPECT_EQ(VersionText(example, 8, true), "w1.23060920");
    // A build text that fills all six bytes has no terminator of its own.
    const uint8_t full[8] = {0x4F, 0xFE, 'A', 'B', 'C', 'D', 'E', 'F'};
    EXPECT_EQ(VersionText(full, 8), "4.15.ABCDEF");
}
