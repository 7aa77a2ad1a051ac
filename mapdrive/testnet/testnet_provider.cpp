// A network provider for the tests ("Tavix Test Network"): the system's
// multiple provider router (mpr) loads it from the network provider order in
// the registry, so the real program's real WNet calls list shares, connect,
// refuse wrong passwords and cancel connections. It never touches the
// network: its servers, shares and accounts come from a text file named by
// TAVIX_TESTNET_CONF, and it appends one line per call to TAVIX_TESTNET_LOG.
//
// Configuration lines ('#' starts a comment):
//   server NAME [open] [anonymous] [logon] [user=NAME password=TEXT]
//   share NAME SHARE...
//   root UNIX-DIRECTORY
// A connection with a drive letter makes the letter a drive of the prefix
// through Wine's mount manager, on the folder ROOT/SERVER/SHARE, so that the
// new drive can be opened. open: lists its shares to anyone; anonymous: accepts "IPC$" with an
// empty user name and password (and then lists its shares); logon: accepts the logged-on user's
// credentials (no user name, no password).
#include <windows.h>
#include <winioctl.h>
#include <winnetwk.h>
extern "C" {
#include <npapi.h>
}

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Server {
    std::wstring name;
    bool open = false, anonymous = false, logon = false;
    std::wstring user, password;
    std::vector<std::wstring> shares;
};

struct Connection {
    std::wstring local;   // "Y:" or empty
    std::wstring remote;  // "\\server\share"; "\\server" is kept as "\\server\IPC$"
    std::wstring server;
    std::wstring user;  // empty for anonymous
    bool anonymous = false;
};

struct Enumeration {
    std::vector<Connection> entries;  // remote names (and local names for connections)
    size_t next = 0;
};

const wchar_t kProvider[] = L"Tavix Test Network";

std::vector<Server> g_servers;
std::string g_root;  // Unix folder holding SERVER/SHARE folders for drive letters
std::vector<Connection> g_connections;
bool g_loaded = false;
CRITICAL_SECTION g_lock;

std::wstring Lower(std::wstring s) {
    for (auto& c : s)
        c = static_cast<wchar_t>(towlower(c));
    return s;
}
bool Same(const std::wstring& a, const std::wstring& b) {
    return Lower(a) == Lower(b);
}

// A path given by the Linux side ("/tmp/x") as the Windows side sees it.
std::wstring EnvPath(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    if (n == 0 || n >= 1024)
        return {};
    std::wstring path(buffer, n);
    if (!path.empty() && path[0] == L'/') {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path = L"Z:" + path;
    }
    return path;
}

std::wstring Widen(const std::string& s) {
    std::wstring out;
    for (unsigned char c : s)
        out += static_cast<wchar_t>(c);
    return out;
}

void Log(const std::wstring& line) {
    const std::wstring path = EnvPath(L"TAVIX_TESTNET_LOG");
    if (path.empty())
        return;
    if (FILE* f = _wfopen(path.c_str(), L"ab")) {
        std::string bytes;
        for (wchar_t c : line)
            bytes += c < 128 ? static_cast<char>(c) : '?';
        bytes += '\n';
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
}

void Load() {
    if (g_loaded)
        return;
    g_loaded = true;
    const std::wstring path = EnvPath(L"TAVIX_TESTNET_CONF");
    FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"rb");
    if (f == nullptr) {
        Log(L"config missing");
        return;
    }
    char line[1024];
    while (fgets(line, sizeof line, f)) {
        std::istringstream in(line);
        std::string word;
        if (!(in >> word) || word[0] == '#')
            continue;
        std::string name;
        in >> name;
        if (word == "root") {
            g_root = name;
        } else if (word == "server") {
            Server s;
            s.name = Widen(name);
            while (in >> word) {
                if (word == "open")
                    s.open = true;
                else if (word == "anonymous")
                    s.anonymous = true;
                else if (word == "logon")
                    s.logon = true;
                else if (word.rfind("user=", 0) == 0)
                    s.user = Widen(word.substr(5));
                else if (word.rfind("password=", 0) == 0)
                    s.password = Widen(word.substr(9));
            }
            g_servers.push_back(s);
        } else if (word == "share") {
            for (auto& s : g_servers)
                if (Same(s.name, Widen(name)))
                    while (in >> word)
                        s.shares.push_back(Widen(word));
        }
    }
    fclose(f);
}

Server* FindServer(const std::wstring& name) {
    for (auto& s : g_servers)
        if (Same(s.name, name))
            return &s;
    return nullptr;
}

// "\\server\share" -> server, share (either may come out empty).
bool Split(const wchar_t* remote, std::wstring* server, std::wstring* share) {
    if (remote == nullptr || remote[0] != L'\\' || remote[1] != L'\\')
        return false;
    std::wstring rest = remote + 2;
    const size_t slash = rest.find(L'\\');
    *server = rest.substr(0, slash);
    *share = slash == std::wstring::npos ? std::wstring() : rest.substr(slash + 1);
    return !server->empty();
}

bool MayList(const Server& s) {
    if (s.open)
        return true;
    for (const auto& c : g_connections)
        if (Same(c.server, s.name) && (!c.anonymous || s.anonymous))
            return true;
    return false;
}

std::wstring ConnectionList() {
    std::wstring out;
    for (const auto& c : g_connections)
        out += (out.empty() ? L"" : L",") + (c.local.empty() ? L"" : c.local + L"=") + c.remote;
    return out;
}

std::wstring Text(const wchar_t* s) {
    return s == nullptr ? L"(none)" : s;
}

// Wine's mount manager: makes `letter` a network drive on a Unix folder, or
// removes it (empty folder).
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;
    USHORT device_offset;
    USHORT label_offset;
};

bool DefineDrive(wchar_t letter, const std::string& folder) {
    HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> buffer(sizeof(UnixDrive) + folder.size() + 1, 0);
    auto* drive = reinterpret_cast<UnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = folder.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_REMOTE;
    drive->letter = letter;
    if (!folder.empty()) {
        drive->mount_point_offset = sizeof(UnixDrive);
        std::copy(folder.begin(), folder.end(), buffer.begin() + sizeof(UnixDrive));
    }
    DWORD got = 0;
    const BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), nullptr, 0, &got, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s)
        out += static_cast<char>(c);
    return out;
}

DWORD AddConnection(const NETRESOURCEW* resource, const wchar_t* password, const wchar_t* user) {
    Load();
    std::wstring serverName, share;
    if (resource == nullptr || !Split(resource->lpRemoteName, &serverName, &share))
        return WN_BAD_NETNAME;
    Server* s = FindServer(serverName);
    if (s == nullptr)
        return ERROR_BAD_NETPATH;
    if (!share.empty() && !Same(share, L"IPC$") &&
        std::none_of(s->shares.begin(), s->shares.end(),
                     [&](const std::wstring& x) { return Same(x, share); }))
        return ERROR_BAD_NET_NAME;
    const std::wstring local = resource->lpLocalName ? resource->lpLocalName : L"";
    if (!local.empty())
        for (const auto& c : g_connections)
            if (Same(c.local, local))
                return WN_ALREADY_CONNECTED;

    Connection c;
    c.local = local;
    c.server = s->name;
    c.remote = L"\\\\" + serverName + L"\\" + (share.empty() ? std::wstring(L"IPC$") : share);
    const Connection* session = nullptr;
    for (const auto& x : g_connections)
        if (Same(x.server, s->name) && !x.anonymous)
            session = &x;
    if (user != nullptr && password != nullptr && user[0] == 0 && password[0] == 0) {
        if (!Same(share, L"IPC$") || !s->anonymous)
            return ERROR_LOGON_FAILURE;
        c.anonymous = true;
    } else if (user == nullptr && password == nullptr) {
        if (session != nullptr)
            c.user = session->user;  // the existing session's credentials
        else if (s->logon)
            c.user = L"(logon)";
        else
            return ERROR_LOGON_FAILURE;
    } else {
        const std::wstring u = user ? user : L"";
        if (session != nullptr && !Same(session->user, u))
            return ERROR_SESSION_CREDENTIAL_CONFLICT;
        if (s->user.empty() || !Same(u, s->user) || (password ? password : L"") != s->password)
            return ERROR_LOGON_FAILURE;
        c.user = u;
    }
    if (!c.local.empty() && !g_root.empty()) {
        const bool made =
            DefineDrive(c.local[0], g_root + "/" + Narrow(s->name) + "/" + Narrow(share));
        Log(L"drive " + c.local + (made ? L" defined" : L" not defined"));
    }
    g_connections.push_back(c);
    return WN_SUCCESS;
}

}  // namespace

extern "C" {

__declspec(dllexport) DWORD APIENTRY NPGetCaps(DWORD index) {
    switch (index) {
        case WNNC_SPEC_VERSION:
            return WNNC_SPEC_VERSION51;
        case WNNC_NET_TYPE:
            return 0x00FE0000;  // a network type of its own
        case WNNC_ENUMERATION:
            return WNNC_ENUM_GLOBAL | WNNC_ENUM_LOCAL;
        case WNNC_CONNECTION:
            return WNNC_CON_ADDCONNECTION | WNNC_CON_ADDCONNECTION3 | WNNC_CON_CANCELCONNECTION;
        default:
            return 0;
    }
}

__declspec(dllexport) DWORD APIENTRY
    NPOpenEnum(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEW resource, LPHANDLE handle) {
    EnterCriticalSection(&g_lock);
    Load();
    DWORD result = WN_SUCCESS;
    auto e = std::make_unique<Enumeration>();
    std::wstring root = resource && resource->lpRemoteName ? resource->lpRemoteName : L"";
    if (scope == RESOURCE_CONNECTED) {
        e->entries = g_connections;
    } else if (scope == RESOURCE_GLOBALNET) {
        std::wstring serverName, share;
        Server* s = Split(root.c_str(), &serverName, &share) ? FindServer(serverName) : nullptr;
        if (s == nullptr)
            result = ERROR_BAD_NETPATH;
        else if (!MayList(*s))
            result = ERROR_ACCESS_DENIED;
        else
            for (const auto& x : s->shares)
                e->entries.push_back({L"", L"\\\\" + serverName + L"\\" + x, s->name, L"", false});
    } else {
        result = WN_NOT_SUPPORTED;
    }
    Log(L"open-enum scope=" + std::to_wstring(scope) + L" type=" + std::to_wstring(type) +
        L" usage=" + std::to_wstring(usage) + L" root=" + Text(root.c_str()) + L" -> " +
        std::to_wstring(result));
    if (result == WN_SUCCESS)
        *handle = reinterpret_cast<HANDLE>(e.release());
    LeaveCriticalSection(&g_lock);
    return result;
}

__declspec(dllexport) DWORD APIENTRY
    NPEnumResource(HANDLE handle, LPDWORD count, LPVOID buffer, LPDWORD size) {
    auto* e = reinterpret_cast<Enumeration*>(handle);
    if (e == nullptr || count == nullptr || buffer == nullptr || size == nullptr)
        return WN_BAD_VALUE;
    if (e->next >= e->entries.size()) {
        *count = 0;
        return WN_NO_MORE_ENTRIES;
    }
    // Entries from the front, their strings from the back of the buffer.
    auto* out = static_cast<NETRESOURCEW*>(buffer);
    auto* end = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(buffer) + *size);
    BYTE* used = static_cast<BYTE*>(buffer);
    DWORD n = 0;
    auto place = [&](const std::wstring& s) -> wchar_t* {
        const size_t bytes = (s.size() + 1) * sizeof(wchar_t);
        if (reinterpret_cast<BYTE*>(end) - used < static_cast<ptrdiff_t>(bytes))
            return nullptr;
        end -= s.size() + 1;
        std::copy(s.begin(), s.end(), end);
        end[s.size()] = 0;
        return end;
    };
    while (e->next < e->entries.size() && (*count == 0xFFFFFFFF || n < *count)) {
        const Connection& c = e->entries[e->next];
        if (reinterpret_cast<BYTE*>(end) - used < static_cast<ptrdiff_t>(sizeof(NETRESOURCEW)))
            break;
        wchar_t* saveEnd = end;
        used += sizeof(NETRESOURCEW);
        NETRESOURCEW r = {};
        r.dwScope = RESOURCE_GLOBALNET;
        r.dwType = RESOURCETYPE_DISK;
        r.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
        r.dwUsage = RESOURCEUSAGE_CONNECTABLE;
        // Every string is set: the router copies them without checking.
        r.lpLocalName = place(c.local);
        r.lpRemoteName = place(c.remote);
        r.lpComment = place(L"");
        r.lpProvider = place(kProvider);
        if (!r.lpLocalName || !r.lpRemoteName || !r.lpComment || !r.lpProvider) {
            used -= sizeof(NETRESOURCEW);
            end = saveEnd;
            break;
        }
        out[n++] = r;
        ++e->next;
    }
    *count = n;
    if (n == 0) {
        *size = static_cast<DWORD>(sizeof(NETRESOURCEW) + 1024);
        return WN_MORE_DATA;
    }
    return WN_SUCCESS;
}

__declspec(dllexport) DWORD APIENTRY NPCloseEnum(HANDLE handle) {
    delete reinterpret_cast<Enumeration*>(handle);
    return WN_SUCCESS;
}

__declspec(dllexport) DWORD APIENTRY
    NPAddConnection3(HWND, LPNETRESOURCEW resource, LPWSTR password, LPWSTR user, DWORD flags) {
    EnterCriticalSection(&g_lock);
    const DWORD result = AddConnection(resource, password, user);
    Log(L"add " + Text(resource ? resource->lpRemoteName : nullptr) + L" local=" +
        Text(resource ? resource->lpLocalName : nullptr) + L" user=" + Text(user) + L" password=" +
        Text(password) + L" flags=" + std::to_wstring(flags) + L" -> " + std::to_wstring(result));
    Log(L"connections " + ConnectionList());
    LeaveCriticalSection(&g_lock);
    return result;
}

__declspec(dllexport) DWORD APIENTRY
    NPAddConnection(LPNETRESOURCEW resource, LPWSTR password, LPWSTR user) {
    return NPAddConnection3(nullptr, resource, password, user, 0);
}

__declspec(dllexport) DWORD APIENTRY NPCancelConnection(LPWSTR name, BOOL force) {
    EnterCriticalSection(&g_lock);
    Load();
    std::wstring wanted = name ? name : L"";
    std::wstring server, share;
    if (Split(wanted.c_str(), &server, &share) && share.empty())
        wanted += L"\\IPC$";
    DWORD result = WN_NOT_CONNECTED;
    for (auto it = g_connections.begin(); it != g_connections.end(); ++it) {
        if (Same(it->remote, wanted) || (!it->local.empty() && Same(it->local, wanted))) {
            if (!it->local.empty() && !g_root.empty())
                DefineDrive(it->local[0], std::string());
            g_connections.erase(it);
            result = WN_SUCCESS;
            break;
        }
    }
    Log(L"cancel " + Text(name) + L" force=" + std::to_wstring(force) + L" -> " +
        std::to_wstring(result));
    Log(L"connections " + ConnectionList());
    LeaveCriticalSection(&g_lock);
    return result;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&g_lock);
    else if (reason == DLL_PROCESS_DETACH)
        DeleteCriticalSection(&g_lock);
    return TRUE;
}
