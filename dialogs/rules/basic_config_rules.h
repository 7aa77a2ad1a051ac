// The rules behind the basic configuration dialog of a storage server: filling
// its fields from a configuration reply, the checks made on OK, what counts as
// a change, and the CMD_SET_CONFIG items written back. Portable: the dialog
// class feeds it the texts and values of its controls and shows the message
// whose string id it gets back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/packet.h"
#include "protocol/replies.h"

namespace rules {

// Longest text taken from a reply item into a dialog field.
constexpr std::size_t kReplyTextLimit = proto::kReplyTextChars;

// The members of the dialog: the texts of the name, date and time boxes, the
// address mode and the three addresses (host order, first octet most
// significant; 0 = blank).
struct BasicConfigFields {
    std::string serverName;
    std::string month;
    std::string day;
    std::string year;
    std::string hour;
    std::string minute;
    std::string second;
    int ipMode = 2;  // 1 = DHCP, 2 = fixed address
    uint32_t ip = 0;
    uint32_t netmask = 0;
    uint32_t gateway = 0;
};

// Fills the fields from a configuration reply. The date gives month
// (characters 1-2), day (3-4) and year (5-8), the time
// hour (1-2), minute (3-4) and second (5-6); a short or missing item leaves the
// texts it does not reach empty. ipMode is 1 when the TAG_IP_MODE byte is
// non-zero, else 2 (also when the item is missing); a missing address is 0.
BasicConfigFields FieldsFromConfigReply(const proto::ConfigReply& reply);

// The control that a failed check points at.
enum class ConfigBox {
    None,
    Name,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    Addresses,
    // Router-type servers.
    PptpServer,
    PppoeUser,
    PptpUser,
    LanAddresses,
    DhcpRange,
};

// A date or time box whose text the checks rewrote ("%.4d" or "%.2d").
struct BoxText {
    ConfigBox box = ConfigBox::None;
    std::string text;

    bool operator==(const BoxText&) const = default;
};

struct ConfigValidation {
    bool ok = false;
    int messageId = 0;                 // IDS_* of the message to show; 0 when ok
    ConfigBox box = ConfigBox::None;   // the control that failed
    bool undoLastEdit = false;         // undo that control's last edit
    std::vector<BoxText> reformatted;  // write these texts back, failure or not
};
// A failed check: its message, the control to show, the texts to write back.
ConfigValidation ConfigFailure(int messageId, ConfigBox box, std::vector<BoxText> done = {},
                               bool undoLastEdit = false);
// Every check passed; the texts to write back.
ConfigValidation ConfigPassed(std::vector<BoxText> done);

// The checks of the dialog. One instance per dialog life: Open when the
// dialog opens, Validate on every OK.
class BasicConfigRules {
public:
    // Takes the opening copies (every field but `second`), clears
    // dateTimeChanged, then makes any ipMode other than 1 a fixed address (2).
    void Open(const BasicConfigFields& fields);

    // Runs the checks on the current contents of the controls, in order: the
    // name's character set, empty name, all-digit name, year, month, day,
    // hour, minute, second, and in fixed-address mode the address and subnet
    // mask. On success the members hold the reformatted texts and
    // configChanged() is set. In DHCP mode the address members keep the values
    // given to Open.
    ConfigValidation Validate(const BasicConfigFields& controls);

    // The members: after Open the normalised input, after a successful
    // Validate the values to write.
    const BasicConfigFields& fields() const { return fields_; }
    // The date or time (not the seconds alone) differed from its opening text
    // at some Validate since Open; stays set.
    bool dateTimeChanged() const { return dateTimeChanged_; }
    // The name (case-sensitive) or the address settings differ from the
    // opening values; set by the last successful Validate.
    bool configChanged() const { return configChanged_; }

private:
    BasicConfigFields opening_;
    BasicConfigFields fields_;
    bool dateTimeChanged_ = false;
    bool configChanged_ = false;
};

// The checks of the System block shared by both dialogs. NameCharsOk: only
// letters, digits and "-". CheckDateAndTime: year, month, day, hour, minute,
// second of `fields` against their ranges, reformatted in place; sets
// `*changed` when a text other than the seconds differs from `opening`. Its
// result is ok or the first failure, with the texts rewritten so far.
bool NameCharsOk(const std::string& name);
ConfigValidation CheckDateAndTime(BasicConfigFields& fields, const BasicConfigFields& opening,
                                  bool* changed);

// Adds the CMD_SET_CONFIG items in their order: TAG_SERVER_NAME (fixed text of
// 16 bytes), TAG_DATE (8 bytes) and TAG_TIME (6 bytes) only when
// `dateTimeChanged`, TAG_IP_MODE (1 DHCP, 2 fixed), TAG_IP, TAG_NETMASK,
// TAG_GATEWAY, TAG_RESTART (`restart`). Returns 1 when all were added.
int AddSetConfigItems(const BasicConfigFields& fields, bool dateTimeChanged, uint8_t restart,
                      proto::CommandBuffer& buffer);

// What the caller does after OK.
struct ConfigDecision {
    bool askRestart = false;  // ask the restart question first
    bool sendSetConfig = false;
    bool sendLogout = false;
};
ConfigDecision DecideAfterOk(bool configChanged, bool dateTimeChanged);

}  // namespace rules
