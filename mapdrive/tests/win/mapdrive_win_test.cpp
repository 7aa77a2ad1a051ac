// Windows-side tests of the drive connection helpers, in-process under Wine
// (no network provider is registered here): the exact message of each
// connection error, the access probe on real folders, and the WNet calls
// failing cleanly when the system has no network.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "mapdrive/win/wnet_network.h"
#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

using namespace mapdrive;

namespace {

std::wstring TempFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring path = std::wstring(base) + name + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

}  // namespace

TEST(MapDriveWin, EveryConnectionErrorShowsItsExactMessage) {
    const struct {
        int code;
        const wchar_t* text;
    } cases[] = {
        {5, L"Logon failure: the user does not have access right to the share folder."},
        {53,
         L"Network failure: the server is not found on the network.  Please check the server "
         L"status."},
        {1219,
         L"You have connected to the server using another username and password.  Please "
         L"close all other connections and try again."},
        {1231,
         L"Network failure: the remote network is not reachable.  Please check the network "
         L"connection."},
        {1313,
         L"You only have read access to the selected path. Please check and change the "
         L"settings."},
        {1326, L"Logon failure: unknown user name or bad password."},
        {67,
         L"Cannot login to the server and share folder. Please check the network connection or "
         L"user name and password, and make sure the server has been started."},
        {1222,
         L"Cannot login to the server and share folder. Please check the network connection "
         L"or user name and password, and make sure the server has been started."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::LoadText(static_cast<UINT>(ConnectErrorTextId(c.code))), c.text)
            << "code " << c.code;
    EXPECT_EQ(ui::LoadText(IDS_CONNECT_RELOGIN),
              L"You must logon into Windows with the same username on the NAS.  Please re-login.");
}

TEST(MapDriveWin, AccessProbeOnFolders) {
    WNetNetwork net;
    // Writable: write access, and the probe file is gone again.
    const std::wstring writable = TempFolder(L"tavix-probe-w");
    for (const std::wstring& path : {writable, writable + L"\\"}) {
        EXPECT_EQ(net.ProbeAccess(ui::Narrow(path)), ACCESS_WRITE);
        EXPECT_EQ(GetFileAttributesW((writable + L"\\.replion_last_access").c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
    // The probe file cannot be created (a folder holds its name), yet the
    // path lists entries: read access, and the entry is left as it was.
    const std::wstring readOnly = TempFolder(L"tavix-probe-r");
    const std::wstring blocker = readOnly + L"\\.replion_last_access";
    ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_EQ(net.ProbeAccess(ui::Narrow(readOnly)), ACCESS_READ);
    EXPECT_NE(GetFileAttributesW(blocker.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    // Nothing there at all.
    EXPECT_EQ(net.ProbeAccess(ui::Narrow(readOnly + L"\\missing\\deeper")), ACCESS_NONE);

    RemoveDirectoryW(blocker.c_str());
    RemoveDirectoryW(readOnly.c_str());
    RemoveDirectoryW(writable.c_str());
}

// Without any network provider: listings fail with an empty list, nothing
// counts as connected, connecting reports an error, and the user name falls
// back as far as needed.
TEST(MapDriveWin, NoNetworkFailsCleanly) {
    WNetNetwork net;
    ShareList list;
    list.Add("stale");
    EXPECT_NE(listShares(net, "NOWHERE", &list), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_FALSE(isConnected(net, "NOWHERE", nullptr));
    int access = -1;
    EXPECT_NE(connectShare(net, "NOWHERE", "share", std::string("u"), std::string("p"), &access),
              0);
    EXPECT_EQ(access, ACCESS_NONE);
    const std::string share = "share";
    EXPECT_FALSE(cancelShare(net, "NOWHERE", &share));
    std::string user;
    EXPECT_TRUE(net.LogonName(&user));
    EXPECT_FALSE(user.empty());
}
