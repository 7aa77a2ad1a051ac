// The wizard's settings record, filled from the server's configuration reply
// and by the six steps, the checks and presets of each step, the page order
// with its buttons and titles, the summary rows and the requests that the
// applying page sends. Portable: the Win32 pages only show, read and forward.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/packet.h"
#include "protocol/replies.h"
#include "wizard/tables.h"

namespace wiz {

// The time server shown on Step 3 and sent in TAG_NTP_SERVER.
constexpr char kTimeServer[] = "pool.ntp.org";
constexpr std::size_t kNameChars = 14;      // Step 1's edit box
constexpr std::size_t kPasswordChars = 16;  // Step 2's edit boxes
constexpr std::size_t kReplyNameChars = proto::kReplyTextChars;

// The CWizard record. Addresses in host order (first octet most significant).
struct WizardSettings {
    std::string m_serverName;  // at most 127 characters
    std::string m_password;
    uint8_t m_timeZoneIndex = 0;
    std::string m_date;  // MMDDYYYY
    std::string m_time;  // hhmmss
    uint8_t m_ipMode = 0;
    uint32_t m_ip = 0, m_netmask = 0, m_gateway = 0;
    uint32_t m_dns1 = 0, m_dns2 = 0;
    char m_ntpState = 0;
    uint8_t m_initDisk = 0;
    int32_t m_encoding = 0;
    std::string m_timeZoneName;
    uint16_t m_diskPercent = 0;
};

// The fields the step pages keep for themselves.
struct PageState {
    bool m_keepPassword = false;  // Step 2
    bool m_setClock = true;       // Step 3
    bool m_useNtp = false;        // Step 3
    std::string m_diskModel;      // Step 6
    std::string m_diskCapacity;
    uint8_t m_diskChoice = 0;
    bool m_firstVisit = true;
};

// Fills the record and Step 6's fields from the server's configuration
// reply. Returns false when the server reports no disk ("-5"): the wizard is
// then not shown.
bool FillFromConfigReply(const proto::ConfigReply& reply, WizardSettings* settings,
                         PageState* pages);

// ---------------------------------------------------------------------------
// Pages

enum Page {
    PAGE_HEAD,
    PAGE_STEP1,
    PAGE_STEP2,
    PAGE_STEP3,
    PAGE_STEP4,  // CStep6: filename encoding
    PAGE_STEP5,  // CStep4: TCP/IP
    PAGE_STEP6,  // CStep5: disk
    PAGE_TAIL,
    PAGE_PROGRESS,
    PAGE_FINISH,
    PAGE_FAIL,
    PAGE_COUNT
};

enum Buttons { BTN_BACK = 1, BTN_NEXT = 2, BTN_FINISH = 4, BTN_DISABLED_FINISH = 8 };

struct PageLayout {
    int buttons;  // Buttons flags while the page is active
    int titleId;  // window title, or 0 to leave the title alone
};
PageLayout LayoutOf(Page page);

// ---------------------------------------------------------------------------
// Step checks. Each returns 0 to advance or the id of the message to show
// (caption "Error").

// Step 1: empty, all digits, then any character outside A-Z, 0-9 and "-"
// after upper-casing (bytes of 128 and above are illegal).
int CheckServerName(const std::string& text);
// Step 1's Next: the check, and on success the name as typed is stored.
int Step1Next(const std::string& text, WizardSettings* settings);
// Step 2: stores the password field in `settings->m_password` in any case.
int CheckPassword(const std::string& password, const std::string& verify, bool keep,
                  WizardSettings* settings);

// Step 3.
std::string DateText(int month, int day, int year);      // "%.2d%.2d%.4d"
std::string TimeText(int hour, int minute, int second);  // "%.2d%.2d%.2d"
// A click on "Change the server's time and date as below:". Returns whether
// the time server box is to be unchecked; pickers follow `checked`.
bool OnClockBox(bool checked, PageState* pages);
// A click on "Synchronize with an Internet time server automatically".
// Returns whether the clock box is to be unchecked.
bool OnNtpBox(bool checked, PageState* pages);
// Whether the time server box starts checked.
inline bool NtpBoxAtFirstShow(const WizardSettings& s) {
    return s.m_ntpState == '1';
}
void StoreStep3(int zoneIndex, const std::string& date, const std::string& time,
                WizardSettings* settings);

// Step 5: `dhcp` selects the mode; a blank field reads 0.
void StoreStep5(bool dhcp, uint32_t ip, uint32_t netmask, uint32_t gateway, uint32_t dns1,
                uint32_t dns2, WizardSettings* settings);

// Step 6: whether "Initialize the hard disk now" is the checked button when
// the page becomes active, and what its Next stores.
bool InitDiskCheckedOnActivate(const PageState& pages);
void StoreStep6(bool initChecked, PageState* pages, WizardSettings* settings);

// ---------------------------------------------------------------------------
// Summary

struct SummaryRow {
    int labelId;
    std::string value;
    bool operator==(const SummaryRow&) const = default;
};
// The seven rows; `load` gives the localised texts of DHCP, " (static)",
// Yes and No.
std::vector<SummaryRow> SummaryRows(const WizardSettings& s, const EncodingTable& encodings,
                                    const std::function<std::string(int)>& load);
// Next on the summary asks before a format.
inline bool NeedsFormatWarning(const WizardSettings& s) {
    return s.m_initDisk != 0;
}

// ---------------------------------------------------------------------------
// Requests of the applying page, their items in order.
void BuildRequest(uint16_t command, const WizardSettings& s, const PageState& pages,
                  proto::CommandBuffer* buffer);

}  // namespace wiz
