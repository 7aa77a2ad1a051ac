// The rows of the Details view, read from a CMD_GET_STATUS reply. Portable:
// labels and fixed values are string ids; the dialog loads their texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/replies.h"

namespace rules {

// One row of the list. The Status column shows the string `labelId` (0: the
// row is left empty). The Value column shows the string `valueId` when it is
// not 0, else `value` (which may be empty).
struct DetailsRow {
    int labelId = 0;
    std::string value;
    int valueId = 0;

    bool operator==(const DetailsRow&) const = default;
};

// Longest text item shown in a row; longer texts are cut.
constexpr std::size_t kDetailsTextLimit = proto::kReplyTextChars;

// The rows for a status reply, top to bottom: the
// router layout when the reply carries TAG_ROUTER at all, else the storage
// layout, then the disk rows whose items are present.
//
// A missing item leaves its row's value empty, with two exceptions: a missing
// IP address reads as no address ("--" in the address, mask and gateway rows
// of its block), and a missing disk item drops its row.
std::vector<DetailsRow> DetailsRows(const proto::StatusReply& reply);

}  // namespace rules
