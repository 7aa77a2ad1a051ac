// End-to-end tests of "&Map Drive": the real Brellmark.exe, its real WNet
// calls answered by the test network provider (tavixnp.dll, registered in
// the prefix), against servers found by discovery from the virtual NAS. The
// provider's log shows each call the program made and the connections left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/tests/win/session.h"

using namespace e2e;

namespace {

const wchar_t kLogonFailure[] = L"Logon failure: unknown user name or bad password.";
const wchar_t kSelectShare[] = L"Select Network Share";
const wchar_t kConnect[] = L"Connect";
const wchar_t kMapDrive[] = L"Map Network Drive";

std::vector<std::wstring> ListBoxItems(HWND list) {
    std::vector<std::wstring> items;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count))
        return items;
    for (DWORD_PTR i = 0; i < count && i < 100; ++i) {
        wchar_t buf[512] = {};
        DWORD_PTR r = 0;
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                            2000, &r);
        items.push_back(buf);
    }
    return items;
}

class MapDriveTest : public BrellmarkSession {
protected:
    static std::vector<std::string> NetLog() { return ReadLines(Path(L"TAVIX_TESTNET_LOG")); }
    static size_t NetLogSize() { return NetLog().size(); }
    // Log lines from line `from` on that start with `prefix`.
    static std::vector<std::string> NetLines(const std::string& prefix, size_t from) {
        return StartingWith(NetLog(), prefix, from);
    }
    static std::string LastConnections(size_t from) {
        const auto lines = NetLines("connections", from);
        return lines.empty() ? std::string("connections") : lines.back();
    }

    void TearDown() override {
        for (int i = 0; i < 6; ++i) {
            bool any = false;
            for (const wchar_t* caption : {kMapDrive, kConnect, kSelectShare}) {
                if (HWND w = FindTopLevel(pid(), caption)) {
                    any = true;
                    Press(w, IDCANCEL);
                }
            }
            if (HWND box = MessageBoxWindow()) {
                any = true;
                Press(box, IDOK);
            }
            if (!any)
                break;
            WaitFor([] { return false; }, 200);
        }
        BrellmarkSession::TearDown();
    }

    // The connection error box: captioned with the program's title like the main window.
    HWND MessageBoxWindow() {
        for (HWND w : TopLevelWindows(pid(), L"Tavix"))
            if (w != main && IsWindowVisible(w))
                return w;
        return nullptr;
    }

    // A visible file window of the shell (another process) showing `drive` ("Y:").
    struct FileWindowSearch {
        std::wstring want;
        HWND found;
    };
    static BOOL CALLBACK MatchFileWindow(HWND w, LPARAM p) {
        auto* s = reinterpret_cast<FileWindowSearch*>(p);
        wchar_t title[256] = {}, cls[64] = {};
        GetWindowTextW(w, title, 256);
        GetClassNameW(w, cls, 64);
        if (IsWindowVisible(w) && std::wstring(cls) == L"ExplorerWClass" &&
            std::wstring(title).find(s->want) != std::wstring::npos) {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }
    static HWND FileWindowOf(const std::wstring& drive) {
        FileWindowSearch search{L"(" + drive + L")", nullptr};
        EnumWindows(MatchFileWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Selects the row of the server whose `column` shows `text` and presses "&Map Drive".
    void MapDriveOf(const std::wstring& text, int column = 0) {
        int row = -1;
        ASSERT_TRUE(WaitFor(
            [&] {
                const auto rows = Rows(list);
                for (size_t i = 0; i < rows.size(); ++i)
                    if (rows[i][static_cast<size_t>(column)] == text)
                        row = static_cast<int>(i);
                return row >= 0;
            },
            20000))
            << "no server " << std::string(text.begin(), text.end());
        ClickRow(row);
        ASSERT_TRUE(
            WaitFor([&] { return IsWindowEnabled(GetDlgItem(main, IDC_MAP_DRIVE)); }, 5000));
        Press(main, IDC_MAP_DRIVE);
    }
};

}  // namespace

// Anonymous listing: the sorted shares at once, no prompt, and the "IPC$"
// connection made for the listing is gone again.
TEST_F(MapDriveTest, AnonymousListingShowsSortedSharesAndLeavesNoIpc) {
    const size_t from = NetLogSize();
    MapDriveOf(L"NAS-ANON");
    HWND dialog = WaitDialog(kSelectShare);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(FindTopLevel(pid(), kConnect), nullptr);
    EXPECT_EQ(ListBoxItems(GetDlgItem(dialog, IDC_SHARE_LIST)),
              (std::vector<std::wstring>{L"Archive", L"media", L"Public", L"zeta"}));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_MAP_NETWORK_DRIVE)));

    const auto opens = NetLines("open-enum", from);
    ASSERT_GE(opens.size(), 2u);
    EXPECT_EQ(opens[0], "open-enum scope=2 type=1 usage=0 root=\\\\NAS-ANON -> 5");
    const auto adds = NetLines("add ", from);
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_EQ(adds[0], "add \\\\NAS-ANON\\IPC$ local=(none) user= password= flags=0 -> 0");
    EXPECT_EQ(NetLines("cancel ", from),
              std::vector<std::string>{"cancel \\\\NAS-ANON\\IPC$ force=1 -> 0"});
    EXPECT_EQ(LastConnections(from), "connections ");

    Press(dialog, IDCANCEL);
    EXPECT_TRUE(Gone(dialog));
}

// Credentials: a wrong password keeps the typed name; the right one lists the
// shares. Then "Map Network Drive": nothing selected does nothing; with a
// share the drive letter dialog maps it, the system remembers it, the dialog
// closes and the new drive opens in a file window.
TEST_F(MapDriveTest, CredentialsThenMapADrive) {
    const size_t from = NetLogSize();
    MapDriveOf(L"NAS-AUTH");
    HWND connect = WaitDialog(kConnect);
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(FindTopLevel(pid(), kSelectShare), nullptr);  // not shown before the shares are known
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_SERVER)), L"NAS-AUTH");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(connect, IDC_CONNECT_SHARE_LABEL)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(connect, IDC_CONNECT_SHARE)));
    SaveScreenshot(connect, Path(L"TAVIX_OUT") + L"\\mapdrive-connect.bmp");

    ASSERT_TRUE(SetText(GetDlgItem(connect, IDC_CONNECT_USER), L"alice"));
    ASSERT_TRUE(SetText(GetDlgItem(connect, IDC_CONNECT_PASSWORD), L"wrong"));
    Press(connect, IDOK);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxWindow()) != nullptr; }, 10000));
    EXPECT_TRUE(Contains(StaticTexts(box), kLogonFailure));
    Press(box, IDOK);
    ASSERT_TRUE(Gone(box));
    EXPECT_TRUE(IsWindow(connect));
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_USER)), L"alice");
    EXPECT_EQ(NetLines("add \\\\NAS-AUTH local=(none) user=alice password=wrong", from).size(), 1u);

    ASSERT_TRUE(SetText(GetDlgItem(connect, IDC_CONNECT_PASSWORD), L"s3cret"));
    Press(connect, IDOK);
    ASSERT_TRUE(Gone(connect, 10000));
    HWND dialog = WaitDialog(kSelectShare);
    ASSERT_NE(dialog, nullptr);
    HWND shares = GetDlgItem(dialog, IDC_SHARE_LIST);
    EXPECT_EQ(ListBoxItems(shares), (std::vector<std::wstring>{L"backup", L"Projects"}));
    SaveScreenshot(dialog, Path(L"TAVIX_OUT") + L"\\mapdrive-select.bmp");

    // Nothing selected: nothing happens.
    const size_t before = NetLogSize();
    Press(dialog, IDC_MAP_NETWORK_DRIVE);
    WaitFor([] { return false; }, 500);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(FindTopLevel(pid(), kMapDrive), nullptr);
    EXPECT_EQ(FindTopLevel(pid(), kConnect), nullptr);
    EXPECT_EQ(NetLines("add ", before).size(), 0u);

    // "Projects": connected already, so straight to the connection dialog,
    // which this system lacks: our drive letter dialog stands in.
    DWORD_PTR r = 0;
    SendMessageTimeoutW(shares, LB_SETCURSEL, 1, 0, SMTO_ABORTIFHUNG, 2000, &r);
    Press(dialog, IDC_MAP_NETWORK_DRIVE);
    HWND letter = WaitDialog(kMapDrive);
    ASSERT_NE(letter, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(letter, IDC_DRIVE_PATH)), L"\\\\NAS-AUTH\\Projects");
    SaveScreenshot(letter, Path(L"TAVIX_OUT") + L"\\mapdrive-letter.bmp");
    const std::wstring drive = WindowText(GetDlgItem(letter, IDC_DRIVE_LETTER));
    ASSERT_EQ(drive.size(), 2u);
    EXPECT_EQ(drive[1], L':');
    EXPECT_EQ(GetLogicalDrives() & (1u << (drive[0] - L'A')), 0u) << "offered a drive in use";
    Press(letter, IDOK);
    ASSERT_TRUE(Gone(letter, 10000));
    ASSERT_TRUE(Gone(dialog, 10000));

    const std::string local(1, static_cast<char>(drive[0]));
    EXPECT_EQ(NetLines("add \\\\NAS-AUTH\\Projects local=" + local +
                           ": user=(none) password=(none) flags=1 -> 0",
                       before)
                  .size(),
              1u);
    // The system remembers the drive as one of the user's connections.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (L"Network\\" + drive.substr(0, 1)).c_str(), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    wchar_t remote[260] = {};
    DWORD size = sizeof remote;
    EXPECT_EQ(RegQueryValueExW(key, L"RemotePath", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(remote), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_STREQ(remote, L"\\\\NAS-AUTH\\Projects");
    EXPECT_EQ(MessageBoxWindow(), nullptr);

    // The new drive is opened in a file window.
    const std::wstring root = drive + L"\\";
    EXPECT_EQ(GetDriveTypeW(root.c_str()), static_cast<UINT>(DRIVE_REMOTE));
    HWND window = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (window = FileWindowOf(drive)) != nullptr; }, 20000))
        << "no file window for the new drive";
    if (window != nullptr)
        PostMessageW(window, WM_CLOSE, 0, 0);
}

// Cancelling the opening prompt closes the share dialog; cancelling the
// prompt of "Map Network Drive" keeps it open.
TEST_F(MapDriveTest, CancellingThePrompts) {
    MapDriveOf(L"NAS-AUTH");
    HWND connect = WaitDialog(kConnect);
    ASSERT_NE(connect, nullptr);
    Press(connect, IDCANCEL);
    ASSERT_TRUE(Gone(connect));
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(FindTopLevel(pid(), kSelectShare), nullptr);
    EXPECT_EQ(FindTopLevel(pid(), kConnect), nullptr);

    const size_t from = NetLogSize();
    MapDriveOf(L"NAS-OPEN");
    HWND dialog = WaitDialog(kSelectShare);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(NetLines("add ", from).empty());  // listed without any connection
    HWND shares = GetDlgItem(dialog, IDC_SHARE_LIST);
    ASSERT_EQ(ListBoxItems(shares), std::vector<std::wstring>{L"docs"});
    DWORD_PTR r = 0;
    SendMessageTimeoutW(shares, LB_SETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r);
    Press(dialog, IDC_MAP_NETWORK_DRIVE);
    connect = WaitDialog(kConnect);
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_USER)), L"administrator");
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_SHARE)), L"docs");
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(connect, IDC_CONNECT_SHARE)));
    Press(connect, IDCANCEL);
    ASSERT_TRUE(Gone(connect));
    WaitFor([] { return false; }, 500);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(FindTopLevel(pid(), kMapDrive), nullptr);
    Press(dialog, IDCANCEL);
    EXPECT_TRUE(Gone(dialog));
}

// A server without a name is listed and prompted for by its dotted address.
TEST_F(MapDriveTest, UnnamedServerGoesByItsAddress) {
    const size_t from = NetLogSize();
    MapDriveOf(L"10.77.0.34", 1);
    HWND connect = WaitDialog(kConnect);
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_SERVER)), L"10.77.0.34");
    const auto opens = NetLines("open-enum scope=2", from);
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens[0], "open-enum scope=2 type=1 usage=0 root=\\\\10.77.0.34 -> 5");
    ASSERT_TRUE(SetText(GetDlgItem(connect, IDC_CONNECT_USER), L"bob"));
    ASSERT_TRUE(SetText(GetDlgItem(connect, IDC_CONNECT_PASSWORD), L"pw"));
    Press(connect, IDOK);
    HWND dialog = WaitDialog(kSelectShare);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ListBoxItems(GetDlgItem(dialog, IDC_SHARE_LIST)),
              std::vector<std::wstring>{L"share"});
    EXPECT_EQ(
        NetLines("add \\\\10.77.0.34 local=(none) user=bob password=pw flags=0 -> 0", from).size(),
        1u);
    Press(dialog, IDCANCEL);
    EXPECT_TRUE(Gone(dialog));
}

// A new discovery rebuilds the server list (and frees its records) while the
// share dialog is open: the dialog still addresses the server it was opened for.
TEST_F(MapDriveTest, ARebuiltListLeavesTheDialogOnItsServer) {
    MapDriveOf(L"NAS-ANON");
    HWND dialog = WaitDialog(kSelectShare);
    ASSERT_NE(dialog, nullptr);
    const size_t from = Log().size();
    Press(main, IDC_REFRESH);
    ASSERT_TRUE(WaitFor(
        [&] {
            size_t replies = 0;
            for (const auto& line : LogLines("tx ", from))
                replies += Has(line, "cmd=1");
            return replies >= 4;
        },
        10000));
    ASSERT_TRUE(WaitFor([&] { return RowCount(list) == 4; }, 10000));

    HWND shares = GetDlgItem(dialog, IDC_SHARE_LIST);
    DWORD_PTR r = 0;
    SendMessageTimeoutW(shares, LB_SETCURSEL, 2, 0, SMTO_ABORTIFHUNG, 2000, &r);  // "Public"
    Press(dialog, IDC_MAP_NETWORK_DRIVE);
    HWND connect = WaitDialog(kConnect);
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_SERVER)), L"NAS-ANON");
    EXPECT_EQ(WindowText(GetDlgItem(connect, IDC_CONNECT_SHARE)), L"Public");
    Press(connect, IDCANCEL);
    ASSERT_TRUE(Gone(connect));
    Press(dialog, IDCANCEL);
    EXPECT_TRUE(Gone(dialog));
}
