#include "mapdrive/win/wnet_network.h"

#include <winnetwk.h>

#include <memory>

#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

namespace mapdrive {

namespace {

constexpr DWORD kEnumBufferBytes = 16384;
// A provider that keeps answering "more data" does not hold us forever.
constexpr int kMaxEnumTries = 16;

}  // namespace

int WNetNetwork::Enumerate(const std::string* root, std::vector<std::string>* names) {
    names->clear();
    HANDLE handle = nullptr;
    DWORD result;
    std::wstring remote;
    if (root != nullptr) {
        remote = ui::Widen(*root);
        NETRESOURCEW resource = {};
        resource.dwScope = RESOURCE_GLOBALNET;
        resource.dwType = RESOURCETYPE_DISK;
        resource.dwDisplayType = RESOURCEDISPLAYTYPE_GENERIC;
        resource.dwUsage = RESOURCEUSAGE_CONNECTABLE;
        resource.lpRemoteName = remote.data();
        result = WNetOpenEnumW(RESOURCE_GLOBALNET, RESOURCETYPE_DISK, 0, &resource, &handle);
    } else {
        result = WNetOpenEnumW(RESOURCE_CONNECTED, RESOURCETYPE_ANY, 0, nullptr, &handle);
    }
    if (result != NO_ERROR)
        return static_cast<int>(result);

    // 8-byte units keep the entries aligned for either processor.
    auto buffer = std::make_unique<unsigned long long[]>(kEnumBufferBytes / 8);
    DWORD count = 0;
    for (int tries = 0; tries < kMaxEnumTries; ++tries) {
        count = 0xFFFFFFFF;
        DWORD size = kEnumBufferBytes;
        result = WNetEnumResourceW(handle, &count, buffer.get(), &size);
        if (result != ERROR_MORE_DATA)
            break;
    }
    if (result == NO_ERROR) {
        const auto* entries = reinterpret_cast<const NETRESOURCEW*>(buffer.get());
        const DWORD fit = static_cast<DWORD>(kEnumBufferBytes / sizeof(NETRESOURCEW));
        for (DWORD i = 0; i < count && i < fit; ++i)
            if (entries[i].lpRemoteName != nullptr)
                names->push_back(ui::Narrow(entries[i].lpRemoteName));
    }
    WNetCloseEnum(handle);
    return static_cast<int>(result);
}

int WNetNetwork::AddConnection(const std::string& remote, const std::string* localName,
                               const std::optional<std::string>& user,
                               const std::optional<std::string>& password) {
    std::wstring wremote = ui::Widen(remote);
    std::wstring wlocal = localName ? ui::Widen(*localName) : std::wstring();
    const std::wstring wuser = user ? ui::Widen(*user) : std::wstring();
    const std::wstring wpassword = password ? ui::Widen(*password) : std::wstring();
    NETRESOURCEW resource = {};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpRemoteName = wremote.data();
    resource.lpLocalName = localName ? wlocal.data() : nullptr;
    // The system remembers only connections that redirect a drive; for a
    // deviceless one the flag means nothing (and some mpr versions read the
    // missing local name when it is given).
    const DWORD flags = localName ? CONNECT_UPDATE_PROFILE : 0;
    return static_cast<int>(WNetAddConnection2W(&resource, password ? wpassword.c_str() : nullptr,
                                                user ? wuser.c_str() : nullptr, flags));
}

int WNetNetwork::CancelConnection(const std::string& name) {
    return static_cast<int>(
        WNetCancelConnection2W(ui::Widen(name).c_str(), CONNECT_UPDATE_PROFILE, TRUE));
}

int WNetNetwork::ProbeAccess(const std::string& path) {
    const std::wstring file = ui::Widen(ProbeFilePath(path));
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES ||
        GetLastError() != ERROR_FILE_NOT_FOUND)
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE probe = CreateFileW(
        file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
        FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return AccessFromProbe(true, false);
    }
    std::wstring pattern = ui::Widen(path);
    if (pattern.empty() || pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    const bool any = find != INVALID_HANDLE_VALUE;
    if (any)
        FindClose(find);
    return AccessFromProbe(false, any);
}

int WNetNetwork::GetUser(const std::string* resource, std::string* user) {
    wchar_t buffer[257] = {};
    DWORD size = 257;
    const std::wstring wresource = resource ? ui::Widen(*resource) : std::wstring();
    const DWORD result = WNetGetUserW(resource ? wresource.c_str() : nullptr, buffer, &size);
    if (result == NO_ERROR)
        *user = ui::Narrow(buffer);
    return static_cast<int>(result);
}

bool WNetNetwork::LogonName(std::string* user) {
    wchar_t buffer[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(buffer, &size))
        return false;
    *user = ui::Narrow(buffer);
    return true;
}

void ShowConnectError(HWND owner, int code) {
    MessageBoxW(owner, ui::LoadText(static_cast<UINT>(ConnectErrorTextId(code))).c_str(),
                ui::LoadText(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONSTOP);
}

}  // namespace mapdrive
