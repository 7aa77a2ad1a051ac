#include "vnas/config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <type_traits>

#include "protocol/packet.h"

namespace vnas {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// Decodes a value: plain text is taken as is (already trimmed); a value in
// double quotes may hold \\ \" \n \r \t and \xNN. Returns false with `err`.
bool DecodeValue(std::string_view raw, std::string* out, std::string* err) {
    out->clear();
    if (raw.empty() || raw.front() != '"') {
        out->assign(raw);
        return true;
    }
    std::size_t i = 1;
    for (; i < raw.size() && raw[i] != '"'; ++i) {
        char c = raw[i];
        if (c != '\\') {
            out->push_back(c);
            continue;
        }
        if (++i >= raw.size())
            break;
        // The one-character escapes, each above the character it stands for.
        constexpr std::string_view kEscape = "\\\"nrt";
        constexpr std::string_view kMeaning = "\\\"\n\r\t";
        if (const auto k = kEscape.find(raw[i]); k != std::string_view::npos) {
            out->push_back(kMeaning[k]);
            continue;
        }
        if (raw[i] != 'x') {
            *err = std::string("unknown escape \\") + raw[i];
            return false;
        }
        const int hi = i + 1 < raw.size() ? proto::HexDigit(raw[i + 1]) : -1;
        const int lo = i + 2 < raw.size() ? proto::HexDigit(raw[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            *err = "bad \\x escape (two hex digits expected)";
            return false;
        }
        out->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    if (i >= raw.size()) {
        *err = "unterminated quoted value";
        return false;
    }
    if (!Trim(raw.substr(i + 1)).empty()) {
        *err = "text after the closing quote";
        return false;
    }
    return true;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>* out) {
    out->clear();
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s.remove_prefix(2);
    int pending = -1;
    for (char c : s) {
        if (c == ' ' || c == ':' || c == '-') {
            if (pending >= 0)
                return false;  // separators only between byte pairs
            continue;
        }
        const int d = proto::HexDigit(c);
        if (d < 0)
            return false;
        if (pending < 0) {
            pending = d;
        } else {
            out->push_back(static_cast<uint8_t>(pending * 16 + d));
            pending = -1;
        }
    }
    return pending < 0;
}

bool ParseInt(std::string_view s, long lo, long hi, long* out) {
    long v = 0;
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, v);
    if (s.empty() || ec != std::errc() || p != end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

bool IsDigits(std::string_view s, std::size_t n) {
    if (s.size() != n)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool ValidDate(std::string_view s) {
    if (!IsDigits(s, 8))
        return false;
    const int m = (s[0] - '0') * 10 + (s[1] - '0');
    const int d = (s[2] - '0') * 10 + (s[3] - '0');
    return m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

bool ValidTime(std::string_view s) {
    if (!IsDigits(s, 6))
        return false;
    const int h = (s[0] - '0') * 10 + (s[1] - '0');
    const int m = (s[2] - '0') * 10 + (s[3] - '0');
    const int sec = (s[4] - '0') * 10 + (s[5] - '0');
    return h < 24 && m < 60 && sec < 60;
}

Mac MacPlus(Mac mac, uint64_t n) {
    uint64_t v = 0;
    for (uint8_t b : mac)
        v = (v << 8) | b;
    v += n;
    for (int i = 5; i >= 0; --i) {
        mac[static_cast<std::size_t>(i)] = static_cast<uint8_t>(v);
        v >>= 8;
    }
    return mac;
}

// One key of a server: its setter returns an error text or "".
using Setter = std::function<std::string(ServerConfig&, const std::string&)>;

// A text, or an optional text that a given key sets.
template <typename Member>
Setter Text(Member member) {
    return [member](ServerConfig& s, const std::string& v) {
        if (v.size() > kMaxText)
            return std::string("text longer than 255 bytes");
        s.*member = v;
        return std::string();
    };
}

template <typename Member>
Setter Address(Member member) {
    return [member](ServerConfig& s, const std::string& v) {
        uint32_t a = 0;
        if (!ParseIPv4(v, &a))
            return "bad IPv4 address '" + v + "'";
        s.*member = a;
        return std::string();
    };
}

// A whole number from `low` to `high`; `what` names it in the message.
template <typename Member>
Setter Number(Member member, long low, long high, const char* what = "number") {
    return [member, low, high, what](ServerConfig& s, const std::string& v) {
        long n = 0;
        if (!ParseInt(v, low, high, &n))
            return "bad " + std::string(what) + " '" + v + "' (expected " + std::to_string(low) +
                   " to " + std::to_string(high) + ")";
        s.*member = static_cast<std::remove_reference_t<decltype(s.*member)>>(n);
        return std::string();
    };
}

// A number from `low` to `high` or "none" (the item is left out); `what`
// names the value in the message.
template <typename Member>
Setter NumberOrNone(Member member, long low, long high, const char* what) {
    return [member, low, high, what](ServerConfig& s, const std::string& v) {
        long n = 0;
        if (v == "none") {
            (s.*member).reset();
        } else if (ParseInt(v, low, high, &n)) {
            s.*member =
                static_cast<typename std::remove_reference_t<decltype(s.*member)>::value_type>(n);
        } else {
            return "bad " + std::string(what) + " '" + v + "' (a number or none)";
        }
        return std::string();
    };
}

// A date or a time in digits that `valid` accepts; `what` and `form` name it
// in the message.
template <typename Member>
Setter Digits(Member member, bool (*valid)(std::string_view), const char* what, const char* form) {
    return [member, valid, what, form](ServerConfig& s, const std::string& v) {
        if (!valid(v))
            return "bad " + std::string(what) + " '" + v + "' (" + form + ")";
        s.*member = v;
        return std::string();
    };
}

template <typename Member>
Setter YesNo(Member member) {
    return [member](ServerConfig& s, const std::string& v) {
        if (v != "yes" && v != "no")
            return "expected yes or no, not '" + v + "'";
        s.*member = v == "yes";
        return std::string();
    };
}

std::string SetIpMode(uint8_t* field, const std::string& v) {
    static const std::map<std::string, uint8_t> names = {
        {"fixed", 0}, {"dhcp", 1}, {"static", 2}, {"pppoe", 3}, {"pptp", 4}};
    if (auto it = names.find(v); it != names.end()) {
        *field = it->second;
        return "";
    }
    long n = 0;
    if (!ParseInt(v, 0, 255, &n))
        return "bad ip mode '" + v + "' (expected fixed, dhcp, static, pppoe, pptp or 0 to 255)";
    *field = static_cast<uint8_t>(n);
    return "";
}

const std::map<std::string, Setter>& ServerKeys() {
    static const std::map<std::string, Setter> keys = {
        {"address", Address(&ServerConfig::address)},
        {"mac",
         [](ServerConfig& s, const std::string& v) {
             if (!ParseMac(v, &s.mac))
                 return "bad hardware address '" + v + "'";
             return std::string();
         }},
        {"name", Text(&ServerConfig::name)},
        {"alias", Text(&ServerConfig::alias)},
        {"alias_tag", Number(&ServerConfig::aliasTag, 1, 255, "tag")},
        {"discovery_name", YesNo(&ServerConfig::discoveryName)},
        {"workgroup", Text(&ServerConfig::workgroup)},
        {"kind", Number(&ServerConfig::kind, -32768, 32767)},
        {"version",
         [](ServerConfig& s, const std::string& v) {
             std::vector<uint8_t> b;
             if (!ParseHexBytes(v, &b) || b.empty() || b.size() > 8)
                 return "bad version '" + v + "' (1 to 8 bytes in hex)";
             s.version = b;
             return std::string();
         }},
        {"configured",
         [](ServerConfig& s, const std::string& v) {
             if (v == "none") {
                 s.configured.reset();
                 return std::string();
             }
             std::vector<uint8_t> b;
             if (!ParseHexBytes(v, &b) || b.empty() || b.size() > proto::kMaxItemValue)
                 return "bad configured value '" + v + "' (hex bytes or none)";
             s.configured = b;
             return std::string();
         }},
        {"admin", Text(&ServerConfig::adminName)},
        {"password", Text(&ServerConfig::adminPassword)},
        {"ip_mode", [](ServerConfig& s, const std::string& v) { return SetIpMode(&s.ipMode, v); }},
        {"ip", Address(&ServerConfig::ip)},
        {"netmask", Address(&ServerConfig::netmask)},
        {"gateway", Address(&ServerConfig::gateway)},
        {"dns1", Address(&ServerConfig::dns1)},
        {"dns2", Address(&ServerConfig::dns2)},
        {"date", Digits(&ServerConfig::date, ValidDate, "date", "mmddyyyy")},
        {"time", Digits(&ServerConfig::time, ValidTime, "time", "hhmmss")},
        {"router", NumberOrNone(&ServerConfig::router, 0, 0x7FFFFFFF, "router value")},
        {"router_size", Number(&ServerConfig::routerSize, 1, 4, "router size")},
        {"lan_ip", Address(&ServerConfig::lanIp)},
        {"lan_netmask", Address(&ServerConfig::lanNetmask)},
        {"lan_gateway", Address(&ServerConfig::lanGateway)},
        {"lan_ip_mode",
         [](ServerConfig& s, const std::string& v) { return SetIpMode(&s.lanIpMode, v); }},
        {"lan_mac",
         [](ServerConfig& s, const std::string& v) {
             Mac m{};
             if (!ParseMac(v, &m))
                 return "bad hardware address '" + v + "'";
             s.lanMac = m;
             return std::string();
         }},
        {"dhcp_server", Number(&ServerConfig::dhcpServer, 0, 255)},
        {"dhcp_start", Address(&ServerConfig::dhcpStart)},
        {"dhcp_end", Address(&ServerConfig::dhcpEnd)},
        {"pppoe_user", Text(&ServerConfig::pppoeUser)},
        {"pppoe_password", Text(&ServerConfig::pppoePassword)},
        {"pptp_server", Address(&ServerConfig::pptpServer)},
        {"pptp_user", Text(&ServerConfig::pptpUser)},
        {"pptp_password", Text(&ServerConfig::pptpPassword)},
        {"disk_status", Text(&ServerConfig::diskStatus)},
        {"disk_model", Text(&ServerConfig::diskModel)},
        {"disk_capacity", Text(&ServerConfig::diskCapacity)},
        {"time_zone", Number(&ServerConfig::timeZone, 0, 255)},
        {"ntp", Text(&ServerConfig::ntp)},
        {"disk_init", Number(&ServerConfig::diskInit, 0, 255)},
        {"set_config_reply",
         NumberOrNone(&ServerConfig::setConfigReply, -32768, 32767, "reply status")},
        {"restart_seconds", Number(&ServerConfig::restartSeconds, 0, 3600)},
        {"sleeping", YesNo(&ServerConfig::sleeping)},
        {"wake_seconds", Number(&ServerConfig::wakeSeconds, 0, 3600)},
        {"format_seconds", Number(&ServerConfig::formatSeconds, 0, 3600)},
    };
    return keys;
}

const std::set<std::string> kGenerateKeys = {"count",       "first_address", "first_mac",
                                             "name_prefix", "first_number",  "name_digits"};

struct Entry {
    std::string key;
    std::string value;
    int line = 0;
};

struct Section {
    std::string name;
    int line = 0;
    std::vector<Entry> entries;
};

// Fills the fields whose defaults follow from the others.
void Finish(ServerConfig& s, const std::set<std::string>& given) {
    if (!given.count("ip"))
        s.ip = s.address;
    if (!given.count("lan_ip"))
        s.lanIp = s.address;
    if (!given.count("lan_mac"))
        s.lanMac = MacPlus(s.mac, 1);
    const uint32_t net = s.lanIp & 0xFFFFFF00;
    if (!given.count("dhcp_start"))
        s.dhcpStart = net | 100;
    if (!given.count("dhcp_end"))
        s.dhcpEnd = net | 199;
}

class Parser {
public:
    explicit Parser(std::string file) : file_(std::move(file)) {}

    ParseResult Run(std::string_view text) {
        std::vector<Section> sections;
        if (!Split(text, &sections))
            return Fail();
        Config config;
        for (const Section& sec : sections) {
            const bool ok =
                sec.name == "server" ? BuildServer(sec, &config) : BuildGenerated(sec, &config);
            if (!ok)
                return Fail();
        }
        if (config.servers.empty()) {
            error_ = {file_, 0, "no servers defined (add a [server] or [generate] section)"};
            return Fail();
        }
        return ParseResult{std::move(config), {}};
    }

private:
    ParseResult Fail() { return ParseResult{std::nullopt, error_}; }

    bool Error(int line, std::string message) {
        error_ = {file_, line, std::move(message)};
        return false;
    }

    bool Split(std::string_view text, std::vector<Section>* out) {
        int lineNo = 0;
        while (!text.empty()) {
            const std::size_t nl = text.find('\n');
            std::string_view line = text.substr(0, nl);
            text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
            ++lineNo;
            line = Trim(line);
            if (line.empty() || line[0] == '#' || line[0] == ';')
                continue;
            if (line[0] == '[') {
                if (line.back() != ']')
                    return Error(lineNo, "section header without ']'");
                const std::string name(Trim(line.substr(1, line.size() - 2)));
                if (name != "server" && name != "generate")
                    return Error(
                        lineNo, "unknown section [" + name + "] (expected [server] or [generate])");
                out->push_back(Section{name, lineNo, {}});
                continue;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string_view::npos)
                return Error(lineNo, "expected 'key = value', a [section] or a comment");
            const std::string key(Trim(line.substr(0, eq)));
            if (key.empty())
                return Error(lineNo, "missing key before '='");
            if (out->empty())
                return Error(lineNo, "key '" + key + "' outside a section");
            std::string value, err;
            if (!DecodeValue(Trim(line.substr(eq + 1)), &value, &err))
                return Error(lineNo, err);
            Section& sec = out->back();
            for (const Entry& e : sec.entries)
                if (e.key == key)
                    return Error(lineNo, "key '" + key + "' given twice (first on line " +
                                             std::to_string(e.line) + ")");
            sec.entries.push_back(Entry{key, value, lineNo});
        }
        return true;
    }

    bool Apply(ServerConfig& s, const Entry& e) {
        const auto& keys = ServerKeys();
        auto it = keys.find(e.key);
        if (it == keys.end())
            return Error(e.line, "unknown key '" + e.key + "'");
        const std::string err = it->second(s, e.value);
        if (!err.empty())
            return Error(e.line, err + " for '" + e.key + "'");
        return true;
    }

    bool BuildServer(const Section& sec, Config* config) {
        ServerConfig s;
        s.line = sec.line;
        std::set<std::string> given;
        for (const Entry& e : sec.entries) {
            if (!Apply(s, e))
                return false;
            given.insert(e.key);
        }
        for (const char* required : {"address", "mac", "name"})
            if (!given.count(required))
                return Error(sec.line, std::string("[server] needs '") + required + "'");
        Finish(s, given);
        config->servers.push_back(std::move(s));
        return true;
    }

    bool BuildGenerated(const Section& sec, Config* config) {
        ServerConfig tmpl;
        tmpl.line = sec.line;
        std::set<std::string> given;
        long count = -1, firstNumber = 1, digits = 0;
        uint32_t address = 0;
        Mac mac{};
        bool haveAddress = false, haveMac = false;
        std::string prefix = "VNAS-";
        for (const Entry& e : sec.entries) {
            if (e.key == "count") {
                if (!ParseInt(e.value, 1, 10000, &count))
                    return Error(e.line, "bad count '" + e.value + "' (expected 1 to 10000)");
            } else if (e.key == "first_address") {
                if (!ParseIPv4(e.value, &address))
                    return Error(e.line, "bad IPv4 address '" + e.value + "' for 'first_address'");
                haveAddress = true;
            } else if (e.key == "first_mac") {
                if (!ParseMac(e.value, &mac))
                    return Error(e.line, "bad hardware address '" + e.value + "' for 'first_mac'");
                haveMac = true;
            } else if (e.key == "name_prefix") {
                prefix = e.value;
            } else if (e.key == "first_number") {
                if (!ParseInt(e.value, 0, 999999, &firstNumber))
                    return Error(e.line, "bad number '" + e.value + "' (expected 0 to 999999)");
            } else if (e.key == "name_digits") {
                if (!ParseInt(e.value, 0, 6, &digits))
                    return Error(e.line, "bad number '" + e.value + "' (expected 0 to 6)");
            } else if (e.key == "address" || e.key == "mac" || e.key == "name") {
                return Error(e.line,
                             "key '" + e.key + "' not allowed in [generate] (use first_" +
                                 (e.key == "name" ? std::string("number/name_prefix") : e.key) +
                                 ")");
            } else {
                if (!Apply(tmpl, e))
                    return false;
                given.insert(e.key);
            }
        }
        if (count < 0)
            return Error(sec.line, "[generate] needs 'count'");
        if (!haveAddress)
            return Error(sec.line, "[generate] needs 'first_address'");
        if (!haveMac)
            return Error(sec.line, "[generate] needs 'first_mac'");
        for (long i = 0; i < count; ++i) {
            // Host parts 0 and 255 are skipped so no server sits on a subnet's
            // network or broadcast address.
            while ((address & 0xFF) == 0 || (address & 0xFF) == 255) {
                if (address == 0xFFFFFFFF)
                    return Error(sec.line, "addresses run past 255.255.255.254");
                ++address;
            }
            ServerConfig s = tmpl;
            s.address = address;
            s.mac = MacPlus(mac, static_cast<uint64_t>(i));
            std::string number = std::to_string(firstNumber + i);
            if (number.size() < static_cast<std::size_t>(digits))
                number.insert(0, static_cast<std::size_t>(digits) - number.size(), '0');
            s.name = prefix + number;
            if (s.name.size() > kMaxText)
                return Error(sec.line, "generated name longer than 255 bytes");
            Finish(s, given);
            config->servers.push_back(std::move(s));
            if (address == 0xFFFFFFFF && i + 1 < count)
                return Error(sec.line, "addresses run past 255.255.255.254");
            ++address;
        }
        return true;
    }

    std::string file_;
    ConfigError error_;
};

}  // namespace

std::string ConfigError::Text() const {
    if (line > 0)
        return file + ":" + std::to_string(line) + ": " + message;
    return file + ": " + message;
}

ParseResult ParseConfig(std::string_view text, const std::string& fileName) {
    return Parser(fileName).Run(text);
}

ParseResult LoadConfigFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ParseResult{std::nullopt, {path, 0, "cannot open the file"}};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseConfig(text.str(), path);
}

bool ParseIPv4(std::string_view s, uint32_t* out) {
    uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (s.empty() || s[0] != '.')
                return false;
            s.remove_prefix(1);
        }
        std::size_t n = 0;
        while (n < s.size() && n < 4 && s[n] >= '0' && s[n] <= '9')
            ++n;
        long octet = 0;
        if (n == 0 || n > 3 || !ParseInt(s.substr(0, n), 0, 255, &octet))
            return false;
        value = (value << 8) | static_cast<uint32_t>(octet);
        s.remove_prefix(n);
    }
    if (!s.empty())
        return false;
    *out = value;
    return true;
}

bool ParseMac(std::string_view s, Mac* out) {
    std::vector<uint8_t> b;
    if (!ParseHexBytes(s, &b) || b.size() != 6)
        return false;
    std::copy(b.begin(), b.end(), out->begin());
    return true;
}

std::string FormatMac(const Mac& mac) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buf;
}

}  // namespace vnas
