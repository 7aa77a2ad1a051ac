// vnas: simulates one or more storage servers on the device protocol's UDP
// port, for testing the client programs without hardware.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vnas/config.h"
#include "vnas/net.h"
#include "vnas/simulator.h"

namespace {

const char kUsage[] =
    "Usage: vnas [options] CONFIG-FILE\n"
    "Simulates the servers that CONFIG-FILE describes on the device protocol's UDP port.\n"
    "\n"
    "Options:\n"
    "  --port N                 UDP port to listen on (default 8097; 0 = any free port)\n"
    "  --bind ADDR              local IPv4 address to bind (default 0.0.0.0)\n"
    "  --manage-addresses DEV   add the servers' addresses to interface DEV at start,\n"
    "                           remove them at exit (use inside a test network namespace)\n"
    "  --prefix-len N           prefix length of the addresses added (default 24)\n"
    "  --control PATH           create a FIFO at PATH that takes control lines\n"
    "  --log FILE               log every datagram received and sent, one line each\n"
    "  --reply-gap-us N         pause N microseconds between datagrams sent (default 0)\n"
    "  --wake-port N            also listen for wake-on-LAN magic packets on port N (9)\n"
    "  --check                  only read CONFIG-FILE, print a summary and exit\n"
    "  --help                   show this text\n"
    "\n"
    "Prints \"ready\" once the socket is bound and the addresses are in place; runs until\n"
    "SIGINT, SIGTERM or the control line \"quit\". See vnas/README.md for the file format,\n"
    "the control lines and the log format.\n";

vnas::NetServer* g_server = nullptr;
volatile sig_atomic_t g_stopRequested = 0;  // a signal that came before the loop ran

void OnSignal(int) {
    g_stopRequested = 1;
    if (g_server != nullptr)
        g_server->RequestStop();
}

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "vnas: %s\n", message.c_str());
    return code;
}

bool ParseCount(const char* s, long lo, long hi, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (*s == '\0' || *end != '\0' || errno != 0 || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    vnas::NetOptions opt;
    std::string configPath;
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc)
                return nullptr;
            (void)name;
            return argv[++i];
        };
        long n = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--check") {
            checkOnly = true;
        } else if (a == "--port" || a == "--prefix-len" || a == "--reply-gap-us" ||
                   a == "--wake-port") {
            const char* v = value(a.c_str());
            const long hi = a == "--port" || a == "--wake-port" ? 65535
                            : a == "--prefix-len"               ? 32
                                                                : 1000000;
            const long lo = a == "--prefix-len" || a == "--wake-port" ? 1 : 0;
            if (v == nullptr || !ParseCount(v, lo, hi, &n))
                return Fail(
                    a + " needs a number from " + std::to_string(lo) + " to " + std::to_string(hi),
                    2);
            if (a == "--wake-port")
                opt.wakePort = static_cast<uint16_t>(n);
            if (a == "--port")
                opt.port = static_cast<uint16_t>(n);
            if (a == "--prefix-len")
                opt.prefixLength = static_cast<int>(n);
            if (a == "--reply-gap-us")
                opt.replyGapUs = static_cast<int>(n);
        } else if (a == "--bind") {
            const char* v = value("--bind");
            if (v == nullptr || !vnas::ParseIPv4(v, &opt.bindAddress))
                return Fail("--bind needs an IPv4 address", 2);
        } else if (a == "--manage-addresses" || a == "--control" || a == "--log") {
            const char* v = value(a.c_str());
            if (v == nullptr || *v == '\0')
                return Fail(a + " needs a value", 2);
            if (a == "--manage-addresses")
                opt.manageDevice = v;
            if (a == "--control")
                opt.controlPath = v;
            if (a == "--log")
                opt.logPath = v;
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option '" + a + "' (try --help)", 2);
        } else if (configPath.empty()) {
            configPath = a;
        } else {
            return Fail("only one configuration file may be given (try --help)", 2);
        }
    }
    if (configPath.empty())
        return Fail("no configuration file given (try --help)", 2);

    vnas::ParseResult parsed = vnas::LoadConfigFile(configPath);
    if (!parsed.config)
        return Fail(parsed.error.Text(), 1);
    if (checkOnly) {
        for (const vnas::ServerConfig& s : parsed.config->servers)
            std::printf("%s %s %s\n", proto::FormatIPv4(s.address).c_str(),
                        vnas::FormatMac(s.mac).c_str(), s.name.c_str());
        std::printf("%zu servers\n", parsed.config->servers.size());
        return 0;
    }

    vnas::SystemClock clock;
    vnas::Simulator sim(std::move(parsed.config->servers), &clock);
    vnas::NetServer server(sim, opt);

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    g_server = &server;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::string error;
    if (!server.Start(&error)) {
        server.Cleanup();
        return Fail(error, 1);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const int rc = g_stopRequested ? 0 : server.Run();
    server.Cleanup();
    g_server = nullptr;
    return rc;
}
