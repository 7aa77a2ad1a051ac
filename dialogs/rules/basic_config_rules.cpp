#include "dialogs/rules/basic_config_rules.h"

#include <climits>
#include <cstdio>

#include "resources/brellmark/resource.h"

namespace rules {

namespace {

constexpr const char kNameChars[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-";
constexpr std::size_t kServerNameField = 16;

// Characters [first, first + count) of `text`, as far as it reaches.
std::string Part(const std::string& text, std::size_t first, std::size_t count) {
    if (first >= text.size())
        return {};
    return text.substr(first, count);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The leading decimal number of `text`: digits up to the first other
// character, 0 when there are none. Returns false when the number does not
// fit an int, so that any digit run is handled without overflow.
bool LeadingNumber(const std::string& text, int* value) {
    long long v = 0;
    for (char c : text) {
        if (!IsDigit(c))
            break;
        v = v * 10 + (c - '0');
        if (v > INT_MAX)
            return false;
    }
    *value = static_cast<int>(v);
    return true;
}

std::string Padded(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.*d", width, value);
    return buf;
}

struct NumberBox {
    ConfigBox box;
    std::string BasicConfigFields::*member;
    int low;
    int high;
    int width;
    int messageId;
    bool countsAsDateTime;  // a changed text sets dateTimeChanged
};

constexpr NumberBox kNumberBoxes[] = {
    {ConfigBox::Year, &BasicConfigFields::year, 0, INT_MAX, 4, IDS_INVALID_YEAR, true},
    {ConfigBox::Month, &BasicConfigFields::month, 1, 12, 2, IDS_INVALID_MONTH, true},
    {ConfigBox::Day, &BasicConfigFields::day, 1, 31, 2, IDS_INVALID_DAY, true},
    {ConfigBox::Hour, &BasicConfigFields::hour, 0, 23, 2, IDS_INVALID_HOUR, true},
    {ConfigBox::Minute, &BasicConfigFields::minute, 0, 59, 2, IDS_INVALID_MINUTE, true},
    {ConfigBox::Second, &BasicConfigFields::second, 0, 59, 2, IDS_INVALID_SECOND, false},
};

}  // namespace

ConfigValidation ConfigFailure(int messageId, ConfigBox box, std::vector<BoxText> done,
                               bool undoLastEdit) {
    ConfigValidation r;
    r.messageId = messageId;
    r.box = box;
    r.undoLastEdit = undoLastEdit;
    r.reformatted = std::move(done);
    return r;
}

ConfigValidation ConfigPassed(std::vector<BoxText> done) {
    ConfigValidation r;
    r.ok = true;
    r.reformatted = std::move(done);
    return r;
}

bool NameCharsOk(const std::string& name) {
    return name.find_first_not_of(kNameChars) == std::string::npos;
}

ConfigValidation CheckDateAndTime(BasicConfigFields& fields, const BasicConfigFields& opening,
                                  bool* changed) {
    std::vector<BoxText> done;
    for (const NumberBox& nb : kNumberBoxes) {
        std::string& text = fields.*(nb.member);
        if (nb.countsAsDateTime && text != opening.*(nb.member))
            *changed = true;
        int value = 0;
        if (!LeadingNumber(text, &value) || value < nb.low || value > nb.high)
            return ConfigFailure(nb.messageId, nb.box, std::move(done), true);
        text = Padded(value, nb.width);
        done.push_back({nb.box, text});
    }
    return ConfigPassed(std::move(done));
}

BasicConfigFields FieldsFromConfigReply(const proto::ConfigReply& reply) {
    BasicConfigFields f;
    f.serverName = reply.serverName;
    f.month = Part(reply.date, 0, 2);
    f.day = Part(reply.date, 2, 2);
    f.year = Part(reply.date, 4, 4);
    f.hour = Part(reply.time, 0, 2);
    f.minute = Part(reply.time, 2, 2);
    f.second = Part(reply.time, 4, 2);
    f.ipMode = reply.ipMode != 0 ? 1 : 2;
    f.ip = reply.ip;
    f.netmask = reply.netmask;
    f.gateway = reply.gateway;
    return f;
}

void BasicConfigRules::Open(const BasicConfigFields& fields) {
    opening_ = fields;
    opening_.second.clear();  // the seconds alone never count as a change
    fields_ = fields;
    if (fields_.ipMode != 1)
        fields_.ipMode = 2;
    dateTimeChanged_ = false;
    configChanged_ = false;
}

ConfigValidation BasicConfigRules::Validate(const BasicConfigFields& controls) {
    const std::string& name = controls.serverName;
    if (!NameCharsOk(name))
        return ConfigFailure(IDS_INVALID_NAME, ConfigBox::Name, {}, true);
    if (name.empty())
        return ConfigFailure(IDS_NAME_EMPTY, ConfigBox::Name);
    bool allDigits = true;
    for (char c : name)
        allDigits = allDigits && IsDigit(c);
    if (allDigits)
        return ConfigFailure(IDS_NAME_ALL_DIGITS, ConfigBox::Name);

    // Texts and mode; the addresses are read only in fixed-address mode.
    fields_.serverName = controls.serverName;
    fields_.month = controls.month;
    fields_.day = controls.day;
    fields_.year = controls.year;
    fields_.hour = controls.hour;
    fields_.minute = controls.minute;
    fields_.second = controls.second;
    fields_.ipMode = controls.ipMode == 1 ? 1 : 2;

    ConfigValidation dateTime = CheckDateAndTime(fields_, opening_, &dateTimeChanged_);
    if (!dateTime.ok)
        return dateTime;
    std::vector<BoxText> done = std::move(dateTime.reformatted);

    if (fields_.ipMode == 2) {
        fields_.ip = controls.ip;
        fields_.netmask = controls.netmask;
        fields_.gateway = controls.gateway;
        if (fields_.ip == 0 || fields_.netmask == 0)
            return ConfigFailure(IDS_ADDRESS_NULL, ConfigBox::Addresses, std::move(done));
    }

    configChanged_ = fields_.ipMode != opening_.ipMode || fields_.ip != opening_.ip ||
                     fields_.netmask != opening_.netmask || fields_.gateway != opening_.gateway ||
                     fields_.serverName != opening_.serverName;

    return ConfigPassed(std::move(done));
}

int AddSetConfigItems(const BasicConfigFields& f, bool dateTimeChanged, uint8_t restart,
                      proto::CommandBuffer& buffer) {
    using namespace proto;
    int ok = buffer.AddFixedText(TAG_SERVER_NAME, f.serverName, kServerNameField);
    if (dateTimeChanged) {
        const std::string date = DateValue(f.month, f.day, f.year);
        const std::string time = TimeValue(f.hour, f.minute, f.second);
        ok &= buffer.AddItem(TAG_DATE, date.data(), date.size());
        ok &= buffer.AddItem(TAG_TIME, time.data(), time.size());
    }
    ok &= buffer.AddByte(TAG_IP_MODE, f.ipMode == 1 ? 1 : 2);
    ok &= buffer.AddIPv4(TAG_IP, f.ip);
    ok &= buffer.AddIPv4(TAG_NETMASK, f.netmask);
    ok &= buffer.AddIPv4(TAG_GATEWAY, f.gateway);
    ok &= buffer.AddByte(TAG_RESTART, restart);
    return ok;
}

ConfigDecision DecideAfterOk(bool configChanged, bool dateTimeChanged) {
    ConfigDecision d;
    d.askRestart = configChanged;
    d.sendSetConfig = configChanged || dateTimeChanged;
    d.sendLogout = !d.sendSetConfig;
    return d;
}

}  // namespace rules
