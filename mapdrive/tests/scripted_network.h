// A scripted network for the tests: servers with shares and the credentials
// they accept, the current connections, and a log of the calls made.
#pragma once

// Servers are written as brace lists that leave the trailing fields out.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "mapdrive/drive_net.h"

namespace mapdrive::testing {

struct ScriptedServer {
    std::vector<std::string> shares;
    bool listsOpenly = false;    // lists shares without any connection
    bool anonymousIpc = false;   // accepts "IPC$" with an empty user and password
    bool acceptsLogon = false;   // accepts the logged-on user's credentials
    std::string user, password;  // the one account it knows
};

class ScriptedNetwork : public Network {
public:
    std::map<std::string, ScriptedServer> servers;  // by lower-case name
    std::vector<std::string> connections;
    std::vector<std::string> calls;
    int enumerateError = 0;  // forced result of share enumerations when not 0

    static std::string Lower(std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    // "\\server\share" -> server, share
    static void Split(const std::string& remote, std::string* server, std::string* share) {
        const std::string rest = remote.substr(remote.find_first_not_of('\\'));
        const size_t slash = rest.find('\\');
        *server = rest.substr(0, slash);
        *share = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    }
    bool ConnectedTo(const std::string& server) const {
        return std::any_of(connections.begin(), connections.end(), [&](const std::string& c) {
            std::string s, sh;
            Split(c, &s, &sh);
            return Lower(s) == Lower(server);
        });
    }

    int Enumerate(const std::string* root, std::vector<std::string>* names) override {
        calls.push_back("enum " + (root ? *root : std::string("connected")));
        names->clear();
        if (root == nullptr) {
            *names = connections;
            return names->empty() ? kErrorNoMoreItems : 0;
        }
        if (enumerateError != 0)
            return enumerateError;
        std::string server, share;
        Split(*root, &server, &share);
        auto it = servers.find(Lower(server));
        if (it == servers.end())
            return kErrorBadNetPath;
        if (!it->second.listsOpenly && !ConnectedTo(server))
            return kErrorAccessDenied;
        for (const std::string& s : it->second.shares)
            names->push_back("\\\\" + server + "\\" + s);
        return names->empty() ? kErrorNoMoreItems : 0;
    }
    int AddConnection(const std::string& remote, const std::string* localName,
                      const std::optional<std::string>& user,
                      const std::optional<std::string>& password) override {
        calls.push_back("add " + remote + " user=" + (user ? *user : "(none)") +
                        " password=" + (password ? *password : "(none)") +
                        (localName ? " local=" + *localName : ""));
        std::string server, share;
        Split(remote, &server, &share);
        auto it = servers.find(Lower(server));
        if (it == servers.end())
            return kErrorBadNetPath;
        const ScriptedServer& s = it->second;
        if (!share.empty() && share != "IPC$" &&
            std::find(s.shares.begin(), s.shares.end(), share) == s.shares.end())
            return kErrorBadNetName;
        bool ok;
        if (user && password && user->empty() && password->empty())
            ok = share == "IPC$" && s.anonymousIpc;
        else if (!user && !password)
            ok = s.acceptsLogon;
        else
            ok = user && password && *user == s.user && *password == s.password;
        if (!ok)
            return kErrorLogonFailure;
        // A connection to the server itself is one to its "IPC$", as Windows lists it.
        connections.push_back(share.empty() ? remote + "\\IPC$" : remote);
        return 0;
    }
    int CancelConnection(const std::string& name) override {
        calls.push_back("cancel " + name);
        auto it = std::find_if(connections.begin(), connections.end(),
                               [&](const std::string& c) { return Lower(c) == Lower(name); });
        if (it == connections.end())
            return kErrorNotConnected;
        connections.erase(it);
        return 0;
    }
    int ProbeAccess(const std::string& path) override {
        calls.push_back("probe " + path);
        const bool connected =
            std::find(connections.begin(), connections.end(), path) != connections.end() ||
            std::find(connections.begin(), connections.end(), path + "\\IPC$") != connections.end();
        return connected ? ACCESS_WRITE : ACCESS_NONE;
    }
    int GetUser(const std::string* resource, std::string* user) override {
        calls.push_back("user " + (resource ? *resource : std::string("(none)")));
        if (resource != nullptr)
            return kErrorNotConnected;
        *user = "netuser";
        return 0;
    }
    bool LogonName(std::string* user) override {
        *user = "logon";
        return true;
    }
};

}  // namespace mapdrive::testing
