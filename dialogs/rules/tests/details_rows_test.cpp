#include "dialogs/rules/details_rows.h"

#include <gtest/gtest.h>

#include "protocol/tests/reply_builder.h"
#include "resources/brellmark/resource.h"

namespace rules {
namespace {

using proto::testing::Bytes;
using proto::testing::Item;
using proto::testing::Reply;

std::vector<DetailsRow> RowsOf(const std::vector<Item>& items) {
    const auto d = Reply(items);
    return DetailsRows(proto::DecodeStatusReply(d.data(), d.size()));
}

const DetailsRow kNone3[] = {
    {IDS_DET_IP, "", IDS_NO_ADDRESS},
    {IDS_DET_NETMASK, "", IDS_NO_ADDRESS},
    {IDS_DET_GATEWAY, "", IDS_NO_ADDRESS},
};

TEST(DetailsRows, StorageInDhcpWithoutAddress) {
    const auto rows = RowsOf({{1, "nas-01"},
                              {9, "WORKGROUP"},
                              {2, Bytes({0x21, 0xFE})},
                              {12, Bytes({0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xe5})},
                              {8, Bytes({1})},
                              {5, Bytes({0, 0, 0, 0})},
                              {7, Bytes({255, 255, 255, 0})},
                              {6, Bytes({10, 0, 0, 1})}});
    const std::vector<DetailsRow> want = {{IDS_DET_SERVER_NAME, "nas-01", 0},
                                          {IDS_DET_WORKGROUP, "WORKGROUP", 0},
                                          {IDS_DET_VERSION, "2.1", 0},
                                          {IDS_DET_MAC, "00-1A-2B-C3-D4-E5", 0},
                                          {IDS_DET_DHCP, "", IDS_DET_ENABLED},
                                          kNone3[0],
                                          kNone3[1],
                                          kNone3[2]};
    EXPECT_EQ(want, rows);
}

TEST(DetailsRows, StorageFixedWithDiskRows) {
    const auto rows = RowsOf({{8, Bytes({0})},
                              {5, Bytes({192, 168, 1, 10})},
                              {7, Bytes({255, 255, 255, 0})},
                              {6, Bytes({0, 0, 0, 0})},
                              {39, "250 GB"},
                              {37, "-5"},
                              {38, "Disk X"}});
    ASSERT_EQ(11u, rows.size());
    EXPECT_EQ((DetailsRow{IDS_DET_DHCP, "", IDS_DET_DISABLED}), rows[4]);
    EXPECT_EQ((DetailsRow{IDS_DET_IP, "192.168.1.10", 0}), rows[5]);
    EXPECT_EQ((DetailsRow{IDS_DET_NETMASK, "255.255.255.0", 0}), rows[6]);
    EXPECT_EQ((DetailsRow{IDS_DET_GATEWAY, "0.0.0.0", 0}), rows[7]);
    EXPECT_EQ((DetailsRow{IDS_DET_DISK_STATUS, "", IDS_DET_DISK_NOT_INITIALIZED}), rows[8]);
    EXPECT_EQ((DetailsRow{IDS_DET_DISK_MODEL, "Disk X", 0}), rows[9]);
    EXPECT_EQ((DetailsRow{IDS_DET_DISK_CAPACITY, "250 GB", 0}), rows[10]);
}

TEST(DetailsRows, DiskStatusText) {
    struct Case {
        std::string text;
        int valueId;
    };
    const Case cases[] = {{"1", IDS_DET_DISK_INITIALIZED},
                          {std::string("1\0", 2), IDS_DET_DISK_INITIALIZED},
                          {"10", IDS_DET_DISK_NOT_INITIALIZED}};
    for (const Case& c : cases) {
        const auto rows = RowsOf({{37, c.text}});
        ASSERT_EQ(9u, rows.size());
        EXPECT_EQ((DetailsRow{IDS_DET_DISK_STATUS, "", c.valueId}), rows.back()) << c.text;
    }
}

TEST(DetailsRows, RouterWanWithoutAddressLanWithAddress) {
    const auto rows = RowsOf({{1, "gw"},
                              {17, Bytes({1})},  // any router value selects the layout
                              {12, Bytes({0, 0, 0, 0, 0, 0})},
                              {8, Bytes({3})},
                              {5, Bytes({0, 0, 0, 0})},
                              {7, Bytes({255, 0, 0, 0})},
                              {6, Bytes({1, 2, 3, 4})},
                              {27, Bytes({0, 0, 0, 0, 0, 0})},
                              {26, Bytes({9})},
                              {23, Bytes({192, 168, 0, 1})},
                              {25, Bytes({255, 255, 255, 0})},
                              {24, Bytes({192, 168, 0, 254})}});
    const std::vector<DetailsRow> want = {{IDS_DET_SERVER_NAME, "gw", 0},
                                          {IDS_DET_WORKGROUP, "", 0},
                                          {IDS_DET_VERSION, "", 0},
                                          {},
                                          {IDS_DET_WAN, "", 0},
                                          {IDS_DET_MAC, "00-00-00-00-00-00", 0},
                                          {IDS_DET_CONN_TYPE, "", IDS_DET_CT_PPPOE},
                                          kNone3[0],
                                          kNone3[1],
                                          kNone3[2],
                                          {},
                                          {IDS_DET_LAN, "", 0},
                                          {IDS_DET_MAC, "", IDS_NO_ADDRESS},
                                          {IDS_DET_CONN_TYPE, "", 0},  // no text for 9
                                          {IDS_DET_IP, "192.168.0.1", 0},
                                          {IDS_DET_NETMASK, "255.255.255.0", 0},
                                          {IDS_DET_GATEWAY, "192.168.0.254", 0}};
    EXPECT_EQ(want, rows);
}

TEST(DetailsRows, EmptyRouterItemSelectsRouterLayout) {
    const auto rows = RowsOf({{17, ""}, {8, Bytes({4})}});
    ASSERT_EQ(17u, rows.size());
    EXPECT_EQ(IDS_DET_CT_PPTP, rows[6].valueId);
}

TEST(DetailsRows, MissingItemsGiveEmptyValues) {
    const auto rows = RowsOf({});
    const std::vector<DetailsRow> want = {{IDS_DET_SERVER_NAME, "", 0},
                                          {IDS_DET_WORKGROUP, "", 0},
                                          {IDS_DET_VERSION, "", 0},
                                          {IDS_DET_MAC, "", 0},
                                          {IDS_DET_DHCP, "", 0},
                                          kNone3[0],
                                          kNone3[1],
                                          kNone3[2]};
    EXPECT_EQ(want, rows);
    // An address without mask and gateway items.
    const auto partial = RowsOf({{5, Bytes({10, 0, 0, 2})}});
    EXPECT_EQ((DetailsRow{IDS_DET_NETMASK, "", 0}), partial[6]);
}

TEST(DetailsRows, TextsAreCutNeverOverrun) {
    const std::string longName(200, 'n');
    auto d = Reply({{1, longName}, {9, std::string("wg\0junk", 7)}, {38, "model-abc", 250}});
    // The last item claims 250 bytes but the datagram ends after 9.
    const auto rows = DetailsRows(proto::DecodeStatusReply(d.data(), d.size()));
    EXPECT_EQ(std::string(kDetailsTextLimit, 'n'), rows[0].value);
    EXPECT_EQ("wg", rows[1].value);
    EXPECT_EQ((DetailsRow{IDS_DET_DISK_MODEL, "model-abc", 0}), rows.back());

    // A MAC item cut by the end of the datagram.
    d = Reply({{12, Bytes({0xAB, 0xCD}), 6}});
    EXPECT_EQ("AB-CD-00-00-00-00",
              DetailsRows(proto::DecodeStatusReply(d.data(), d.size()))[3].value);
}

}  // namespace
}  // namespace rules
