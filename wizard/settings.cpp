#include "wizard/settings.h"

#include <cstdio>

#include "resources/brellmark/resource.h"

namespace wiz {

using namespace proto;

bool FillFromConfigReply(const ConfigReply& reply, WizardSettings* s, PageState* pages) {
    *s = WizardSettings{};
    s->m_serverName = reply.serverName;
    s->m_ipMode = reply.ipMode;
    if (!reply.ntpServer.empty())
        s->m_ntpState = reply.ntpServer[0];
    s->m_ip = reply.ip;
    s->m_netmask = reply.netmask;
    s->m_gateway = reply.gateway;
    s->m_dns1 = reply.dns1;
    s->m_dns2 = reply.dns2;
    pages->m_diskChoice = reply.diskStatus == "1" ? 1 : 0;
    pages->m_diskModel = reply.diskModel;
    pages->m_diskCapacity = reply.diskCapacity;
    return reply.diskStatus != "-5";
}

PageLayout LayoutOf(Page page) {
    switch (page) {
        case PAGE_HEAD:
            return {BTN_NEXT, IDS_WIZ_TITLE_WELCOME};
        case PAGE_STEP1:
        case PAGE_STEP2:
        case PAGE_STEP3:
        case PAGE_STEP4:
        case PAGE_STEP5:
        case PAGE_STEP6:
            return {BTN_BACK | BTN_NEXT, IDS_WIZ_TITLE_STEP1 + (page - PAGE_STEP1)};
        case PAGE_TAIL:
            return {BTN_BACK | BTN_NEXT, IDS_WIZ_CAPTION};
        case PAGE_PROGRESS:
            return {BTN_DISABLED_FINISH, 0};
        case PAGE_FINISH:
            return {BTN_FINISH, IDS_WIZ_TITLE_FINISH};
        case PAGE_FAIL:
            return {BTN_FINISH, IDS_WIZ_CAPTION};
        default:
            return {0, 0};
    }
}

int CheckServerName(const std::string& text) {
    if (text.empty())
        return IDS_WIZ_NAME_EMPTY;
    bool allDigits = true;
    for (char c : text)
        allDigits = allDigits && c >= '0' && c <= '9';
    if (allDigits)
        return IDS_WIZ_NAME_ALL_DIGITS;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        const unsigned char up = (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 32) : u;
        const bool ok = (up >= 'A' && up <= 'Z') || (up >= '0' && up <= '9') || up == '-';
        if (!ok)
            return IDS_WIZ_NAME_ILLEGAL;
    }
    return 0;
}

int Step1Next(const std::string& text, WizardSettings* settings) {
    const int message = CheckServerName(text);
    if (message == 0)
        settings->m_serverName = text.substr(0, kReplyNameChars);
    return message;
}

int CheckPassword(const std::string& password, const std::string& verify, bool keep,
                  WizardSettings* settings) {
    settings->m_password = password.substr(0, kPasswordChars);
    if (keep)
        return 0;
    if (!password.empty() && !verify.empty() && password == verify)
        return 0;
    return IDS_WIZ_PASSWORD_WRONG;
}

std::string DateText(int month, int day, int year) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2d%.2d%.4d", month, day, year);
    return std::string(b).substr(0, 8);
}

std::string TimeText(int hour, int minute, int second) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2d%.2d%.2d", hour, minute, second);
    return std::string(b).substr(0, 6);
}

bool OnClockBox(bool checked, PageState* pages) {
    pages->m_setClock = checked;
    return checked;
}

bool OnNtpBox(bool checked, PageState* pages) {
    pages->m_useNtp = checked;
    return checked;
}

void StoreStep3(int zoneIndex, const std::string& date, const std::string& time,
                WizardSettings* s) {
    if (zoneIndex < 0 || zoneIndex >= kTimeZoneCount)
        zoneIndex = 0;
    s->m_timeZoneIndex = static_cast<uint8_t>(zoneIndex);
    s->m_timeZoneName = TimeZoneTable[zoneIndex];
    s->m_date = date;
    s->m_time = time;
}

void StoreStep5(bool dhcp, uint32_t ip, uint32_t netmask, uint32_t gateway, uint32_t dns1,
                uint32_t dns2, WizardSettings* s) {
    s->m_ipMode = dhcp ? 1 : 2;
    s->m_ip = ip;
    s->m_netmask = netmask;
    s->m_gateway = gateway;
    s->m_dns1 = dns1;
    s->m_dns2 = dns2;
}

bool InitDiskCheckedOnActivate(const PageState& pages) {
    return pages.m_firstVisit ? pages.m_diskChoice == 0 : pages.m_diskChoice == 1;
}

void StoreStep6(bool initChecked, PageState* pages, WizardSettings* s) {
    pages->m_diskChoice = initChecked ? 1 : 0;
    s->m_initDisk = initChecked ? 1 : 0;
    pages->m_firstVisit = false;
}

std::vector<SummaryRow> SummaryRows(const WizardSettings& s, const EncodingTable& encodings,
                                    const std::function<std::string(int)>& load) {
    const int enc = encodings.IndexOf(s.m_encoding);
    return {
        {IDS_WIZ_SUM_NAME, s.m_serverName},
        {IDS_WIZ_SUM_TIME_ZONE, s.m_timeZoneName},
        {IDS_WIZ_SUM_ENCODING, enc >= 0 ? encodings[enc].name : std::string()},
        {IDS_WIZ_SUM_NETWORK,
         s.m_ipMode == 1 ? load(IDS_WIZ_SUM_DHCP) : FormatIPv4(s.m_ip) + load(IDS_WIZ_SUM_STATIC)},
        {IDS_WIZ_SUM_DISK, load(s.m_initDisk != 0 ? IDS_WIZ_SUM_YES : IDS_WIZ_SUM_NO)},
        {IDS_WIZ_SUM_DNS1, FormatIPv4(s.m_dns1)},
        {IDS_WIZ_SUM_DNS2, FormatIPv4(s.m_dns2)},
    };
}

void BuildRequest(uint16_t command, const WizardSettings& s, const PageState& pages,
                  CommandBuffer* b) {
    *b = CommandBuffer{};
    switch (command) {
        case CMD_SET_NAME:
            b->AddText(TAG_SERVER_NAME, s.m_serverName);
            break;
        case CMD_SET_PASSWORD:
            if (!pages.m_keepPassword) {
                b->AddItem(TAG_ADMIN_NAME, "administrator", 14);
                b->AddText(TAG_PASSWORD, s.m_password);
            }
            break;
        case CMD_SET_DATETIME:
            b->AddByte(TAG_TIME_ZONE, s.m_timeZoneIndex);
            if (pages.m_setClock) {
                b->AddTextNul(TAG_TIME, s.m_time, 7);
                b->AddTextNul(TAG_DATE, s.m_date, 9);
            }
            if (pages.m_useNtp)
                b->AddTextNul(TAG_NTP_SERVER, kTimeServer, sizeof kTimeServer);
            break;
        case CMD_SET_ENCODING: {
            // The decimal digits in a 4-byte field; a code page of more than
            // four digits cannot be chosen from the table.
            char digits[16];
            std::snprintf(digits, sizeof digits, "%d", static_cast<int>(s.m_encoding));
            b->AddFixedText(TAG_ENCODING, digits, 4);
            break;
        }
        case CMD_SET_NETWORK:
            b->AddByte(TAG_IP_MODE, s.m_ipMode);
            if (s.m_ipMode != 1) {
                b->AddIPv4(TAG_IP, s.m_ip);
                b->AddIPv4(TAG_NETMASK, s.m_netmask);
                b->AddIPv4(TAG_GATEWAY, s.m_gateway);
            }
            b->AddIPv4(TAG_DNS1, s.m_dns1);
            b->AddIPv4(TAG_DNS2, s.m_dns2);
            break;
        case CMD_INIT_DISK:
            b->AddByte(TAG_DISK_INIT, s.m_initDisk);
            break;
        default:  // CMD_FINISH, CMD_DISK_PROGRESS: no items
            break;
    }
}

}  // namespace wiz
