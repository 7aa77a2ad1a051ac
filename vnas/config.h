// Configuration of the virtual NAS: the simulated servers and the INI-like
// file that describes them (see README.md for the format).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vnas {

using Mac = std::array<uint8_t, 6>;

// Longest text a server sends in one item: all that the item's length byte
// allows, more than clients take (so that their cutting can be tested).
constexpr std::size_t kMaxText = 255;

// One simulated server. Addresses are host order (first octet most
// significant), as the protocol core keeps them.
struct ServerConfig {
    int line = 0;  // line of the section that defined it (0: built in code)

    uint32_t address = 0;  // the address it answers from
    Mac mac{};
    std::string name;
    std::optional<std::string> alias;  // first discovery item instead of the name
    uint8_t aliasTag = 13;             // tag of that first item
    bool discoveryName = true;         // TAG_SERVER_NAME in the discovery reply
    std::string workgroup = "WORKGROUP";
    int16_t kind = 0;
    std::vector<uint8_t> version = {0x10, 0xFE};  // 1.0
    std::optional<std::vector<uint8_t>> configured = std::vector<uint8_t>{1, 0, 0, 0};

    std::string adminName = "administrator";
    std::string adminPassword;

    uint8_t ipMode = 0;  // the TAG_IP_MODE byte it reports
    uint32_t ip = 0;     // defaults to `address`
    uint32_t netmask = 0xFFFFFF00;
    uint32_t gateway = 0;
    std::optional<uint32_t> dns1, dns2;

    std::optional<std::string> date;  // mmddyyyy at start; host clock when absent
    std::optional<std::string> time;  // hhmmss at start

    // Router type: TAG_ROUTER present when set, sent as `routerSize` bytes.
    std::optional<uint32_t> router;
    int routerSize = 4;
    uint32_t lanIp = 0;  // defaults to `address`
    uint32_t lanNetmask = 0xFFFFFF00;
    uint32_t lanGateway = 0;
    uint8_t lanIpMode = 2;
    std::optional<Mac> lanMac;  // defaults to the MAC plus one
    uint8_t dhcpServer = 1;
    uint32_t dhcpStart = 0;  // defaults to the LAN subnet's .100
    uint32_t dhcpEnd = 0;    // and .199
    std::string pppoeUser, pppoePassword, pptpUser, pptpPassword;
    uint32_t pptpServer = 0;

    std::optional<std::string> diskStatus, diskModel, diskCapacity;
    std::optional<uint8_t> timeZone;
    std::optional<std::string> ntp;
    std::optional<uint8_t> diskInit;

    std::optional<int> setConfigReply = 0;  // status of the CMD_SET_CONFIG reply; none: silent
    int restartSeconds = 3;
    bool sleeping = false;                // asleep from the start: silent until its magic packet
    int wakeSeconds = 3;                  // from the magic packet to its first answer
    int formatSeconds = 10;               // a simulated disk initialisation takes this long
    std::optional<std::string> encoding;  // last TAG_ENCODING written by the wizard
};

struct Config {
    std::vector<ServerConfig> servers;
};

struct ConfigError {
    std::string file;
    int line = 0;  // 0: not tied to a line
    std::string message;
    // "file:line: message" (or "file: message").
    std::string Text() const;
};

struct ParseResult {
    std::optional<Config> config;
    ConfigError error;  // meaningful when config is empty
};

// Parses the text of a configuration file; `fileName` only names it in errors.
ParseResult ParseConfig(std::string_view text, const std::string& fileName);
ParseResult LoadConfigFile(const std::string& path);

// Small parsers shared with the control commands and the command line.
bool ParseIPv4(std::string_view s, uint32_t* out);
bool ParseMac(std::string_view s, Mac* out);
std::string FormatMac(const Mac& mac);

}  // namespace vnas
