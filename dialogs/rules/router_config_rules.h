// The rules behind the basic configuration dialog of a router-type server:
// the System block of the storage variant, then WAN (DHCP, fixed address,
// PPPoE, PPTP), LAN and the router's DHCP server range. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogs/rules/basic_config_rules.h"

namespace rules {

// Text limits of the account boxes: the items carry the text and a zero in
// at most 128 (user names) or 32 (passwords) bytes.
constexpr std::size_t kRouterUserBytes = proto::kReplyTextChars;
constexpr std::size_t kRouterPasswordBytes = proto::kReplyPasswordChars;

struct RouterConfigFields {
    BasicConfigFields system;  // name, date and time (its address members unused)
    uint8_t wanMode = 1;       // 1 DHCP, 2 fixed address, 3 PPPoE, 4 PPTP
    uint32_t wanIp = 0, wanNetmask = 0, wanGateway = 0;
    std::string pppoeUser, pppoePassword;
    uint32_t pptpServer = 0;
    std::string pptpUser, pptpPassword;
    uint32_t lanIp = 0, lanNetmask = 0, lanGateway = 0;
    uint8_t dhcpServer = 0;
    uint32_t dhcpStart = 0, dhcpEnd = 0;
};

// Fills the fields from a configuration reply (TAG_IP_MODE copied as is).
RouterConfigFields RouterFieldsFromConfigReply(const proto::ConfigReply& reply);

class RouterConfigRules {
public:
    // Takes the opening copies, clears settingsChanged; a WAN mode other than
    // 2, 3 or 4 opens as DHCP (the opening copy keeps the value received).
    void Open(const RouterConfigFields& fields);

    // The checks on OK, in order: name characters, date and time, the chosen
    // WAN mode's settings, LAN address and mask, the DHCP server range when
    // it is on. On success the members hold what is written and
    // configChanged() is set.
    ConfigValidation Validate(const RouterConfigFields& controls);

    const RouterConfigFields& fields() const { return fields_; }
    // The date or time, or the DHCP server settings, changed (stays set).
    bool settingsChanged() const { return settingsChanged_; }
    // The name, WAN or LAN settings differ from the opening values.
    bool configChanged() const { return configChanged_; }

private:
    RouterConfigFields opening_;
    RouterConfigFields fields_;
    bool settingsChanged_ = false;
    bool configChanged_ = false;
};

// Adds every CMD_SET_CONFIG item of a router-type server in its order, date
// and time only when `settingsChanged`. Returns 1 when all were added.
int AddRouterSetConfigItems(const RouterConfigFields& fields, bool settingsChanged, uint8_t restart,
                            proto::CommandBuffer& buffer);

}  // namespace rules
