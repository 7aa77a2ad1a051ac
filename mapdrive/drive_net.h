// Drive connection helpers: listing a server's shared folders and the current
// connections, testing, making and cancelling connections, probing the access
// level, and the message for a connection error. Portable: the calls go
// through a small Network interface, implemented over WNet (mapdrive/win/) or
// scripted by tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mapdrive {

// Windows networking error codes used here (0 is success).
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorNotSupported = 50;
constexpr int kErrorBadNetPath = 53;
constexpr int kErrorBadNetName = 67;
constexpr int kErrorAlreadyAssigned = 85;
constexpr int kErrorCallNotImplemented = 120;
constexpr int kErrorMoreData = 234;
constexpr int kErrorNoMoreItems = 259;
constexpr int kErrorNotConnected = 2250;
constexpr int kErrorSessionCredentialConflict = 1219;
constexpr int kErrorNoNetwork = 1222;
constexpr int kErrorCancelled = 1223;
constexpr int kErrorNetworkUnreachable = 1231;
constexpr int kErrorReadOnlyPath = 1313;
constexpr int kErrorLogonFailure = 1326;

// The file written and deleted to find out whether a path is writable.
constexpr const char kAccessProbeFile[] = ".replion_last_access";

enum AccessLevel { ACCESS_NONE = 0, ACCESS_READ = 1, ACCESS_WRITE = 3 };

// Names, each followed by a line feed, and their count.
struct ShareList {
    std::string text;
    int count = 0;

    void Add(const std::string& name) {
        text += name;
        text += '\n';
        ++count;
    }
    std::vector<std::string> Names() const;
};

// One call each of the system's networking functions.
class Network {
public:
    virtual ~Network() = default;
    // One enumeration of disk resources: of global scope under `root`
    // ("\\server"), or of the current connections when `root` is empty. The
    // remote names of the first successful batch go to `names`; the result is
    // 0, ERROR_NO_MORE_ITEMS for none, or the error of the enumeration.
    virtual int Enumerate(const std::string* root, std::vector<std::string>* names) = 0;
    // WNetAddConnection2 of a disk resource; no user or password means the
    // logged-on user's. `localName` ("z:") or none for a deviceless connection.
    virtual int AddConnection(const std::string& remote, const std::string* localName,
                              const std::optional<std::string>& user,
                              const std::optional<std::string>& password) = 0;
    // WNetCancelConnection2, remembered connection updated, forced.
    virtual int CancelConnection(const std::string& name) = 0;
    // The access level of a connected path (see probeAccess).
    virtual int ProbeAccess(const std::string& path) = 0;
    // WNetGetUser for `resource` (none: the network's default user).
    virtual int GetUser(const std::string* resource, std::string* user) = 0;
    // The Windows logon name (GetUserName); false when it cannot be read.
    virtual bool LogonName(std::string* user) = 0;
};

// "\\server" and "\\server\share" (share empty: the server itself).
std::string UncPath(const std::string& server, const std::string& share = {});

int listShares(Network& net, const std::string& server, ShareList* list);
int listConnections(Network& net, ShareList* list);
// With `share` none: any connection to the server; else that share's.
bool isConnected(Network& net, const std::string& server, const std::string* share);
// Connects to the share (or the server); `access` receives the access level
// of the path when given, whatever the result.
int connectShare(Network& net, const std::string& server, const std::string& share,
                 const std::optional<std::string>& user, const std::optional<std::string>& password,
                 int* access);
bool cancelShare(Network& net, const std::string& server, const std::string* share);

// What the credentials dialog counts as connected: a result of 0, or write
// access whatever the result.
inline bool ConnectSucceeded(int result, int access) {
    return result == 0 || access == ACCESS_WRITE;
}

// The string-table id of the message for a connection error.
int ConnectErrorTextId(int code);

// The probe's decision from what the file system said: the probe file could
// be created (write), or else whether the path lists any entry (read).
inline int AccessFromProbe(bool created, bool anyEntry) {
    return created ? ACCESS_WRITE : anyEntry ? ACCESS_READ : ACCESS_NONE;
}
// The probe file's path: the path, a backslash unless it ends with one, the name.
std::string ProbeFilePath(const std::string& path);

// The root of drive number n (1 = "a:", 26 = "z:"); empty when out of range.
std::string DriveRoot(int n);
// Free drive letters for a new mapping from a GetLogicalDrives mask: C to Z,
// those whose bit is clear, in order.
std::vector<char> FreeDriveLetters(uint32_t usedMask);

}  // namespace mapdrive
