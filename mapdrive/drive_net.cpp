#include "mapdrive/drive_net.h"

#include "resources/brellmark/resource.h"

namespace mapdrive {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b, size_t n) {
    if (a.size() < n || b.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string StripLeadingBackslashes(const std::string& s) {
    const size_t at = s.find_first_not_of('\\');
    return at == std::string::npos ? std::string() : s.substr(at);
}

}  // namespace

std::vector<std::string> ShareList::Names() const {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        out.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return out;
}

std::string UncPath(const std::string& server, const std::string& share) {
    std::string path = "\\\\" + server;
    if (!share.empty())
        path += "\\" + share;
    return path;
}

int listShares(Network& net, const std::string& server, ShareList* list) {
    *list = ShareList();
    const std::string root = UncPath(server);
    std::vector<std::string> names;
    const int result = net.Enumerate(&root, &names);
    if (result == kErrorNoMoreItems)
        return 0;
    if (result != 0)
        return result;
    for (const std::string& remote : names) {
        const size_t slash = remote.rfind('\\');
        list->Add(slash == std::string::npos ? remote : remote.substr(slash + 1));
    }
    return 0;
}

int listConnections(Network& net, ShareList* list) {
    *list = ShareList();
    std::vector<std::string> names;
    const int result = net.Enumerate(nullptr, &names);
    if (result == kErrorNoMoreItems)
        return 0;
    if (result != 0)
        return result;
    for (const std::string& remote : names)
        list->Add(remote);
    return 0;
}

bool isConnected(Network& net, const std::string& server, const std::string* share) {
    std::string built = "\\\\" + server + "\\";
    if (share != nullptr)
        built += *share;
    ShareList connections;
    listConnections(net, &connections);
    for (const std::string& remote : connections.Names()) {
        if (share == nullptr
                ? EqualNoCase(remote, built, built.size())
                : remote.size() == built.size() && EqualNoCase(remote, built, built.size()))
            return true;
    }
    return false;
}

int connectShare(Network& net, const std::string& server, const std::string& share,
                 const std::optional<std::string>& user, const std::optional<std::string>& password,
                 int* access) {
    const std::string remote = UncPath(server, share);
    const int result = net.AddConnection(remote, nullptr, user, password);
    if (access != nullptr)
        *access = net.ProbeAccess(remote);
    return result;
}

bool cancelShare(Network& net, const std::string& server, const std::string* share) {
    if (share == nullptr) {
        const std::string prefix = "\\\\" + server + "\\";
        ShareList connections;
        listConnections(net, &connections);
        bool any = false;
        for (const std::string& remote : connections.Names())
            if (EqualNoCase(remote, prefix, prefix.size()) && net.CancelConnection(remote) == 0)
                any = true;
        return any;
    }
    return net.CancelConnection(UncPath(StripLeadingBackslashes(server), *share)) == 0;
}

int ConnectErrorTextId(int code) {
    switch (code) {
        case kErrorAccessDenied:
            return IDS_CONNECT_ACCESS_DENIED;
        case kErrorBadNetPath:
            return IDS_CONNECT_NO_SERVER;
        case kErrorSessionCredentialConflict:
            return IDS_CONNECT_CREDENTIAL_CONFLICT;
        case kErrorNetworkUnreachable:
            return IDS_CONNECT_UNREACHABLE;
        case kErrorReadOnlyPath:
            return IDS_CONNECT_READ_ONLY;
        case kErrorLogonFailure:
            return IDS_CONNECT_LOGON_FAILURE;
        default:
            return IDS_CONNECT_FAILED;
    }
}

std::string ProbeFilePath(const std::string& path) {
    std::string p = path;
    if (p.empty() || p.back() != '\\')
        p += '\\';
    return p + kAccessProbeFile;
}

std::string DriveRoot(int n) {
    if (n < 1 || n > 26)
        return {};
    return std::string(1, static_cast<char>('a' + n - 1)) + ":";
}

std::vector<char> FreeDriveLetters(uint32_t usedMask) {
    std::vector<char> out;
    for (int i = 2; i < 26; ++i)
        if ((usedMask & (1u << i)) == 0)
            out.push_back(static_cast<char>('A' + i));
    return out;
}

}  // namespace mapdrive
