#include "dialogs/rules/router_config_rules.h"

#include "resources/brellmark/resource.h"

namespace rules {

RouterConfigFields RouterFieldsFromConfigReply(const proto::ConfigReply& reply) {
    RouterConfigFields f;
    f.system = FieldsFromConfigReply(reply);
    f.wanMode = reply.ipMode;
    f.wanIp = reply.ip;
    f.wanNetmask = reply.netmask;
    f.wanGateway = reply.gateway;
    f.pppoeUser = reply.pppoeUser;
    f.pppoePassword = reply.pppoePassword;
    f.pptpServer = reply.pptpServer;
    f.pptpUser = reply.pptpUser;
    f.pptpPassword = reply.pptpPassword;
    f.lanIp = reply.lanIp;
    f.lanNetmask = reply.lanNetmask;
    f.lanGateway = reply.lanGateway;
    f.dhcpServer = reply.dhcpServer ? 1 : 0;
    f.dhcpStart = reply.dhcpStart;
    f.dhcpEnd = reply.dhcpEnd;
    return f;
}

void RouterConfigRules::Open(const RouterConfigFields& fields) {
    opening_ = fields;
    opening_.system.second.clear();
    fields_ = fields;
    if (fields_.wanMode < 2 || fields_.wanMode > 4)
        fields_.wanMode = 1;
    settingsChanged_ = false;
    configChanged_ = false;
}

ConfigValidation RouterConfigRules::Validate(const RouterConfigFields& c) {
    // 1. The name's characters; an empty name passes in this variant.
    if (!NameCharsOk(c.system.serverName)) {
        ConfigValidation r = ConfigFailure(IDS_INVALID_NAME, ConfigBox::Name);
        r.undoLastEdit = true;
        return r;
    }
    // 2. Everything the boxes hold; the WAN addresses are taken by mode below.
    fields_.system.serverName = c.system.serverName;
    fields_.system.month = c.system.month;
    fields_.system.day = c.system.day;
    fields_.system.year = c.system.year;
    fields_.system.hour = c.system.hour;
    fields_.system.minute = c.system.minute;
    fields_.system.second = c.system.second;
    fields_.wanMode = c.wanMode >= 1 && c.wanMode <= 4 ? c.wanMode : 1;
    fields_.pppoeUser = c.pppoeUser;
    fields_.pppoePassword = c.pppoePassword;
    fields_.pptpUser = c.pptpUser;
    fields_.pptpPassword = c.pptpPassword;
    fields_.dhcpServer = c.dhcpServer ? 1 : 0;
    // 3. Date and time.
    ConfigValidation dateTime =
        CheckDateAndTime(fields_.system, opening_.system, &settingsChanged_);
    if (!dateTime.ok)
        return dateTime;
    std::vector<BoxText> done = std::move(dateTime.reformatted);
    // Texts that would not fit their items are refused, never cut.
    for (const std::string* user : {&c.pppoeUser, &c.pptpUser})
        if (user->size() > kRouterUserBytes)
            return ConfigFailure(IDS_TEXT_TOO_LONG,
                                 user == &c.pppoeUser ? ConfigBox::PppoeUser : ConfigBox::PptpUser,
                                 std::move(done));
    if (c.pppoePassword.size() > kRouterPasswordBytes ||
        c.pptpPassword.size() > kRouterPasswordBytes)
        return ConfigFailure(IDS_TEXT_TOO_LONG,
                             c.wanMode == 4 ? ConfigBox::PptpUser : ConfigBox::PppoeUser,
                             std::move(done));
    // 4. The chosen WAN mode.
    switch (fields_.wanMode) {
        case 2:
            fields_.wanIp = c.wanIp;
            fields_.wanNetmask = c.wanNetmask;
            fields_.wanGateway = c.wanGateway;
            if (fields_.wanIp == 0 || fields_.wanNetmask == 0)
                return ConfigFailure(IDS_ADDRESS_NULL, ConfigBox::Addresses, std::move(done));
            break;
        case 3:
            if (fields_.pppoeUser.empty())
                return ConfigFailure(IDS_NULL_USER_NAME, ConfigBox::PppoeUser, std::move(done));
            break;
        case 4:
            fields_.pptpServer = c.pptpServer;
            if (fields_.pptpServer == 0)
                return ConfigFailure(IDS_ADDRESS_NULL, ConfigBox::PptpServer, std::move(done));
            if (fields_.pptpUser.empty())
                return ConfigFailure(IDS_NULL_USER_NAME, ConfigBox::PptpUser, std::move(done));
            break;
        default:
            break;
    }
    // 5. LAN.
    fields_.lanIp = c.lanIp;
    fields_.lanNetmask = c.lanNetmask;
    fields_.lanGateway = c.lanGateway;
    if (fields_.lanIp == 0 || fields_.lanNetmask == 0)
        return ConfigFailure(IDS_ADDRESS_NULL, ConfigBox::LanAddresses, std::move(done));
    // 6, 7. The DHCP server and its range.
    if (fields_.dhcpServer != opening_.dhcpServer)
        settingsChanged_ = true;
    if (fields_.dhcpServer == 1) {
        fields_.dhcpStart = c.dhcpStart;
        fields_.dhcpEnd = c.dhcpEnd;
        if (fields_.dhcpStart == 0 || fields_.dhcpEnd == 0)
            return ConfigFailure(IDS_ADDRESS_NULL, ConfigBox::DhcpRange, std::move(done));
        if (fields_.dhcpStart != opening_.dhcpStart || fields_.dhcpEnd != opening_.dhcpEnd)
            settingsChanged_ = true;
    }
    // 8. What counts as a configuration change.
    const RouterConfigFields& o = opening_;
    const RouterConfigFields& f = fields_;
    bool same = f.wanMode == o.wanMode && f.wanIp == o.wanIp && f.wanNetmask == o.wanNetmask &&
                f.wanGateway == o.wanGateway && f.pptpServer == o.pptpServer &&
                f.lanIp == o.lanIp && f.lanNetmask == o.lanNetmask &&
                f.lanGateway == o.lanGateway && f.system.serverName == o.system.serverName;
    if (f.wanMode == 3)
        same = same && f.pppoeUser == o.pppoeUser && f.pppoePassword == o.pppoePassword;
    if (f.wanMode == 4)
        same = same && f.pptpUser == o.pptpUser && f.pptpPassword == o.pptpPassword;
    configChanged_ = !same;
    return ConfigPassed(std::move(done));
}

int AddRouterSetConfigItems(const RouterConfigFields& f, bool settingsChanged, uint8_t restart,
                            proto::CommandBuffer& buffer) {
    using namespace proto;
    const BasicConfigFields& s = f.system;
    int ok = buffer.AddFixedText(TAG_SERVER_NAME, s.serverName, 16);
    if (settingsChanged) {
        const std::string date = DateValue(s.month, s.day, s.year);
        const std::string time = TimeValue(s.hour, s.minute, s.second);
        ok &= buffer.AddItem(TAG_DATE, date.data(), date.size());
        ok &= buffer.AddItem(TAG_TIME, time.data(), time.size());
    }
    ok &= buffer.AddByte(TAG_IP_MODE, f.wanMode);
    ok &= buffer.AddIPv4(TAG_IP, f.wanIp);
    ok &= buffer.AddIPv4(TAG_NETMASK, f.wanNetmask);
    ok &= buffer.AddIPv4(TAG_GATEWAY, f.wanGateway);
    ok &= buffer.AddByte(TAG_RESTART, restart);
    ok &= buffer.AddTextNul(TAG_PPPOE_USER, f.pppoeUser, kRouterUserBytes + 1);
    ok &= buffer.AddTextNul(TAG_PPPOE_PASSWORD, f.pppoePassword, kRouterPasswordBytes + 1);
    ok &= buffer.AddIPv4(TAG_PPTP_SERVER, f.pptpServer);
    ok &= buffer.AddTextNul(TAG_PPTP_USER, f.pptpUser, kRouterUserBytes + 1);
    ok &= buffer.AddTextNul(TAG_PPTP_PASSWORD, f.pptpPassword, kRouterPasswordBytes + 1);
    ok &= buffer.AddByte(TAG_DHCP_SERVER, f.dhcpServer ? 1 : 0);
    ok &= buffer.AddIPv4(TAG_LAN_IP, f.lanIp);
    ok &= buffer.AddIPv4(TAG_LAN_NETMASK, f.lanNetmask);
    ok &= buffer.AddIPv4(TAG_LAN_GATEWAY, f.lanGateway);
    ok &= buffer.AddIPv4(TAG_DHCP_START, f.dhcpStart);
    ok &= buffer.AddIPv4(TAG_DHCP_END, f.dhcpEnd);
    return ok;
}

}  // namespace rules
