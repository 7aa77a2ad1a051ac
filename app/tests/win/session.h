// The common fixture of the end-to-end tests: one run of the real
// Brellmark.exe per test, its main window and list, the virtual NAS's log,
// and clean-up of whatever a failed test left open.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/brellmark/resource.h"
#include "ui/testing/remote.h"

namespace e2e {

// An IPv4 address in host order.
constexpr DWORD Ip(int a, int b, int c, int d) {
    return static_cast<DWORD>(a) << 24 | static_cast<DWORD>(b) << 16 | static_cast<DWORD>(c) << 8 |
           static_cast<DWORD>(d);
}

// The items= field of a virtual NAS log line (up to the time stamp at its end).
inline std::string Items(const std::string& line) {
    const size_t at = line.find(" items=");
    const size_t end = line.rfind(" t=");
    if (at == std::string::npos || end == std::string::npos || end < at)
        return {};
    return line.substr(at + 7, end - at - 7);
}

// The value of `name`= in a log line ("" when it has none).
inline std::string Field(const std::string& line, const std::string& name) {
    const size_t at = (" " + line).find(" " + name + "=");
    if (at == std::string::npos)
        return {};
    const size_t from = at + name.size() + 1;
    return line.substr(from, line.find(' ', from) - from);
}

class BrellmarkSession : public ::testing::Test {
protected:
    Program program;
    HWND main = nullptr;
    HWND list = nullptr;

    static std::wstring Path(const wchar_t* env) { return WinePath(Env(env)); }
    // Whether a log line carries `field` ("cmd=5", "id=...") as a whole word.
    static bool Has(const std::string& line, const std::string& field) {
        return (" " + line + " ").find(" " + field + " ") != std::string::npos;
    }
    static std::vector<std::string> Log() { return ReadLines(Path(L"TAVIX_VNAS_LOG")); }
    // Log lines from line `from` on that start with `prefix`.
    static std::vector<std::string> LogLines(const char* prefix, size_t from = 0) {
        return StartingWith(Log(), prefix, from);
    }
    static bool Contains(const std::vector<std::wstring>& texts, const std::wstring& want) {
        return std::find(texts.begin(), texts.end(), want) != texts.end();
    }

    // How many servers the scenario lists: each start waits until every one
    // shows its state (so no status reply is still on its way).
    // The directed broadcast of the client's subnet follows once the first
    // replies pause: such a start also waits for it, so that it is not taken
    // for a request of the test's own.
    virtual int ListedAtStart() const { return 0; }
    void SetUp() override {
        const size_t start = Log().size();
        ASSERT_TRUE(program.Start(Path(L"TAVIX_BRELLMARK")));
        ASSERT_TRUE(WaitFor([&] { return (main = FindMainWindow()) != nullptr; }, 30000));
        list = GetDlgItem(main, IDC_SERVER_LIST);
        ASSERT_NE(list, nullptr);
        if (ListedAtStart() > 0) {
            WaitListed(ListedAtStart());
            ASSERT_GE(WaitLine(start,
                               [](const std::string& l) {
                                   return l.rfind("rx ", 0) == 0 && Has(l, "cmd=1") &&
                                          Has(l, "dst=10.77.255.255:8097");
                               }),
                      0)
                << "no directed broadcast";
        }
    }
    void TearDown() override {
        // A test that failed half-way may leave a dialog open: close it, then the program.
        for (int i = 0; i < 5 && main != nullptr; ++i) {
            bool any = false;
            for (const wchar_t* caption : {L"Error", L"Warning", L"Details", L"Basic Configuration",
                                           L"Administrator Login", L"About Tavix"}) {
                if (HWND w = FindTopLevel(pid(), caption)) {
                    any = true;
                    for (int id : {IDCANCEL, IDNO, IDOK})
                        Press(w, id);
                }
            }
            if (!any)
                break;
            WaitFor([] { return false; }, 200);
        }
        if (main != nullptr)
            Press(main, IDC_EXIT);
        if (!program.Exited(10000))
            ADD_FAILURE() << "Brellmark did not exit";
        program.Kill();
    }
    DWORD pid() const { return program.pi.dwProcessId; }

    int RowOf(const std::wstring& name) {
        const auto rows = Rows(list);
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i][0] == name)
                return static_cast<int>(i);
        return -1;
    }
    void ClickRow(int row) {
        const RECT r = ItemRect(list, row);
        Click(list, {r.left + 20, (r.top + r.bottom) / 2});
    }
    // Index of the first log line from `from` on that `match` accepts, or -1
    // after `ms`.
    template <typename Match>
    long WaitLine(size_t from, Match match, DWORD ms = 5000) {
        long found = -1;
        WaitFor(
            [&] {
                const auto log = Log();
                for (size_t i = from; i < log.size(); ++i) {
                    if (match(log[i])) {
                        found = static_cast<long>(i);
                        return true;
                    }
                }
                return false;
            },
            ms);
        return found;
    }
    // Whether a log line is a request from the client to the server `mac`.
    static bool IsRequestTo(const std::string& line, const std::string& mac) {
        return line.rfind("rx ", 0) == 0 && Has(line, "id=" + mac);
    }
    // Requests from the client to `server` (anything with a `mac`) logged
    // after line `from`.
    template <typename Server>
    std::vector<std::string> RequestsTo(const Server& server, size_t from) {
        std::vector<std::string> out;
        const auto log = Log();
        for (size_t i = from; i < log.size(); ++i)
            if (IsRequestTo(log[i], server.mac))
                out.push_back(log[i]);
        return out;
    }
    // Index of the first request of command `cmd` to `server` logged from
    // line `from` on, or -1 after `ms`.
    template <typename Server>
    long WaitRequest(const Server& server, int cmd, size_t from, DWORD ms) {
        return WaitLine(
            from,
            [&](const std::string& l) {
                return IsRequestTo(l, server.mac) && Has(l, "cmd=" + std::to_string(cmd));
            },
            ms);
    }
    // Lets anything still on its way arrive before the log is read.
    static void Settle(DWORD ms = 700) {
        WaitFor([] { return false; }, ms);
    }

    // Waits for a message box with this caption and text, presses `button`
    // and waits until it is gone. Returns false when it did not come.
    bool Answer(const std::wstring& caption, const std::wstring& text, int button = IDOK,
                DWORD ms = 30000) {
        HWND box = nullptr;
        const bool shown = WaitFor(
            [&] {
                for (HWND w : TopLevelWindows(pid(), caption)) {
                    const auto texts = StaticTexts(w);
                    if (std::find(texts.begin(), texts.end(), text) != texts.end()) {
                        box = w;
                        return true;
                    }
                }
                return false;
            },
            ms);
        if (!shown) {
            for (HWND w : TopLevelWindows(pid(), caption))
                for (const auto& t : StaticTexts(w))
                    ADD_FAILURE() << "shown instead: " << Narrow(t);
            return false;
        }
        Press(box, button);
        return Gone(box);
    }
    static std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }
    bool NoWindow(const std::wstring& caption) { return TopLevelWindows(pid(), caption).empty(); }

    // Waits until `count` rows are listed, each with its System State (so
    // no status reply is still on its way).
    void WaitListed(int count, DWORD ms = 20000) {
        ASSERT_TRUE(WaitFor(
            [&] {
                if (RowCount(list) != count)
                    return false;
                const auto rows = Rows(list);
                return std::all_of(rows.begin(), rows.end(),
                                   [](const Row& r) { return !r[4].empty(); });
            },
            ms))
            << RowCount(list) << " rows:" << [&] {
                   std::string shown;
                   for (const Row& r : Rows(list))
                       shown += " [" + Narrow(r[0]) + " | " + Narrow(r[4]) + "]";
                   return shown;
               }();
    }
    void ClickHeader(int column) {
        const RECT r = HeaderRect(list, column);
        HWND header =
            reinterpret_cast<HWND>(SendMessageW(list, 0x1000 + 31 /*LVM_GETHEADER*/, 0, 0));
        // Two quick clicks on one spot would make a double click, which
        // sorts nothing: every other click lands a little to the side.
        headerShift_ = -headerShift_;
        Click(header, {(r.left + r.right) / 2 + headerShift_, (r.top + r.bottom) / 2});
    }
    int headerShift_ = 10;
    HWND WaitDialog(const std::wstring& caption, DWORD ms = 10000) {
        HWND w = nullptr;
        WaitFor([&] { return (w = FindTopLevel(pid(), caption)) != nullptr; }, ms);
        return w;
    }
    // Types the administrator's name and `password` into the login dialog
    // `login` and presses OK; returns it (nullptr when there was none).
    HWND TypeLogin(HWND login, const wchar_t* password = L"secret") {
        if (login == nullptr)
            return nullptr;
        SetText(GetDlgItem(login, IDC_ADMIN_NAME), L"admin");
        SetText(GetDlgItem(login, IDC_ADMIN_PASSWORD), password);
        Press(login, IDOK);
        return login;
    }
    bool Gone(HWND w, DWORD ms = 5000) {
        return WaitFor([&] { return !IsWindow(w) || !IsWindowVisible(w); }, ms);
    }

    // The user's ways out of a window, as the program receives them: keys go
    // to the control of `w` that has the focus, or to `w` itself.
    static HWND FocusIn(HWND w) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        const DWORD thread = GetWindowThreadProcessId(w, nullptr);
        if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr &&
            (info.hwndFocus == w || IsChild(w, info.hwndFocus)))
            return info.hwndFocus;
        return w;
    }
    static void Key(HWND w, UINT vk, bool alt = false) { PostKey(FocusIn(w), vk, alt); }
    static void AltF4(HWND w) { Key(w, VK_F4, true); }
    static void CloseBox(HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }
    // The program's visible top-level windows other than the main window.
    std::vector<HWND> OtherWindows() {
        std::vector<HWND> out;
        for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid() && w != main && IsWindowVisible(w))
                out.push_back(w);
        }
        return out;
    }
    // A new run of the program after the last one ended.
    void Restart() {
        if (!program.Exited(0)) {
            PostMessageW(main, WM_CLOSE, 0, 0);
            if (!program.Exited(10000))
                ADD_FAILURE() << "Brellmark did not exit";
        }
        program.Kill();
        main = list = nullptr;
        // The last run's window may take a moment to go away.
        ASSERT_TRUE(WaitFor([] { return FindMainWindow() == nullptr; }, 10000));
        SetUp();
    }
};

}  // namespace e2e
