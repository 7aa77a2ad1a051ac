// Every window of the real Brellmark.exe by keyboard alone, against the
// servers of keys-servers.conf: the login, the wizard's pages, the basic
// configuration of a storage server and of a router, the details, About, the
// discovery report and Find by Address (with its error), and the main window
// itself. Each window gets the checks of ui/testing/keys.h when it opens;
// Return, Escape and the access keys of the main window's buttons lead from
// one to the next.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/win/session.h"
#include "ui/testing/keys.h"

using namespace e2e;

namespace {

const wchar_t kWizard[] = L"Quick Configuration Wizard";
// The wizard by Return from its login to its summary.
const std::vector<KeyStep> kToSummary =
    ReturnThrough({L"Administrator Login", L"Welcome", L"Step 1", L"Step 2", L"Step 3", L"Step 4",
                   L"Step 5", L"Step 6", L"Summary"});
constexpr WPARAM kRestartWaitTimer = 6946;  // the wizard's wait for its restarted server

struct Sheets {
    DWORD pid;
    HWND prompt, sheet;
};

BOOL CALLBACK CollectWizardWindows(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Sheets*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == s->pid && IsWindowVisible(w) && WindowText(w).rfind(kWizard, 0) == 0)
        (GetDlgItem(w, IDC_PROMPT_DONT_ASK) != nullptr ? s->prompt : s->sheet) = w;
    return TRUE;
}

class KeysTest : public BrellmarkSession {
protected:
    int ListedAtStart() const override { return 2; }
    void SetUp() override {
        BrellmarkSession::SetUp();
        if (HasFatalFailure())
            return;
        walk.find = [&](const std::wstring& name) { return Find(name); };
        walk.ms = 15000;
        walk.before = [&](const KeyStep& step, HWND w) {
            const std::wstring name = step.name;
            if (name == L"Connect") {
                SetText(GetDlgItem(w, IDC_CONNECT_USER), L"admin");
                SetText(GetDlgItem(w, IDC_CONNECT_PASSWORD), L"secret");
            }
            if (name == L"Select Network Share" && step.key == VK_RETURN)  // as Down would
                SendMessageW(GetDlgItem(w, IDC_SHARE_LIST), LB_SETCURSEL, 0, 0);
            if (name == L"Administrator Login" && step.key == VK_RETURN) {
                SetText(GetDlgItem(w, IDC_ADMIN_NAME), L"admin");
                SetText(GetDlgItem(w, IDC_ADMIN_PASSWORD), L"secret");
            }
            if (name == L"Step 2")  // no new password: the original one stays
                SendMessageW(GetDlgItem(w, IDC_WIZ_KEEP_PASSWORD), BM_CLICK, 0, 0);
            if (name == L"Finish")  // no drive mapping after it
                SendMessageW(GetDlgItem(w, IDC_WIZ_MAP_DRIVE), BM_CLICK, 0, 0);
        };
    }

    // A window of the walk by its name: a caption, "Tavix" (the main window
    // while nothing modal is over it), or a wizard page ("Welcome",
    // "Step 1" to "Step 6", "Summary", "Applying", "Applied", "Finish").
    HWND Find(const std::wstring& name) {
        Sheets s{pid(), nullptr, nullptr};
        EnumWindows(CollectWizardWindows, reinterpret_cast<LPARAM>(&s));
        if (name == L"Tavix")
            return IsWindowEnabled(main) && s.prompt == nullptr && s.sheet == nullptr ? main
                                                                                      : nullptr;
        const bool page = name == L"Welcome" || name == L"Summary" || name == L"Applying" ||
                          name == L"Applied" || name == L"Finish" || name.rfind(L"Step ", 0) == 0;
        if (!page) {
            HWND w = FindTopLevel(pid(), name);
            return w != nullptr && IsWindowVisible(w) && IsWindowEnabled(w) ? w : nullptr;
        }
        if (s.sheet == nullptr)
            return nullptr;
        DWORD_PTR current = 0;
        SendMessageTimeoutW(s.sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 2000,
                            &current);
        HWND p = reinterpret_cast<HWND>(current);
        if (p == nullptr)
            return nullptr;
        if (name == L"Summary")
            return GetDlgItem(p, IDC_WIZ_SUMMARY) != nullptr ? p : nullptr;
        if (name == L"Applying" || name == L"Applied") {  // at work, or at the end of its run
            HWND complete = GetDlgItem(p, IDC_WIZ_COMPLETE);
            return complete != nullptr &&
                           (IsWindowVisible(complete) != FALSE) == (name == L"Applied")
                       ? p
                       : nullptr;
        }
        return WindowText(s.sheet) == std::wstring(kWizard) + L" - " + name ? p : nullptr;
    }

    void Select(const std::wstring& server) {
        const int row = RowOf(server);
        ASSERT_GE(row, 0);
        ClickRow(row);
        ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) == row; }, 5000));
    }

    KeyWalk walk;
};

TEST_F(KeysTest, EveryWindowByKeyboard) {
    // The wizard from the list's menu: Return through the login and its
    // pages, Escape on the summary.
    Select(L"KEY-NAS");
    PostMessageW(main, WM_COMMAND, ID_RUN_WIZARD, 0);
    walk.Walk(kToSummary);
    walk.Walk({{L"Summary", VK_ESCAPE, L"Tavix"}});
    // Again to its end: the applying page once its run is over (Next alone),
    // the finish page (without the drive mapping it offers).
    WaitListed(2);
    Select(L"KEY-NAS");
    PostMessageW(main, WM_COMMAND, ID_RUN_WIZARD, 0);
    walk.Walk(kToSummary);
    // While the run waits for the restarted server every button is off and
    // Escape does nothing; the wait's end comes by its timer message.
    walk.before = [&, fill = walk.before](const KeyStep& step, HWND w) {
        fill(step, w);
        if (std::wstring(step.name) == L"Applying")
            WaitLine(0, [](const std::string& l) {
                return l.rfind("event restart-begin server=\"KEY-NAS\"", 0) == 0;
            });
    };
    walk.after = [](const KeyStep& step, HWND w) {
        if (std::wstring(step.name) == L"Applying")
            PostMessageW(w, WM_TIMER, kRestartWaitTimer, 0);
    };
    walk.Walk({
        {L"Summary", VK_RETURN, L"Applying"},
        {L"Applying", VK_ESCAPE, L"Applied", false, false},
        {L"Applied", VK_RETURN, L"Finish"},
        {L"Finish", VK_RETURN, L"Tavix"},
    });
    // The main window's buttons by their access keys (the wizard's end
    // started a discovery while the server was still restarting: again).
    WaitLine(0,
             [](const std::string& l) { return l.rfind("event done server=\"KEY-NAS\"", 0) == 0; });
    Press(main, IDC_REFRESH);
    WaitListed(2);
    Select(L"KEY-NAS");
    walk.Walk({
        {L"Tavix", 'D', L"Details", true},
        {L"Details", VK_RETURN, L"Tavix"},
        {L"Tavix", 'C', L"Administrator Login", true},
        {L"Administrator Login", VK_ESCAPE, L"Tavix"},
        {L"Tavix", 'C', L"Administrator Login", true},
        {L"Administrator Login", VK_RETURN, L"Basic Configuration"},
        {L"Basic Configuration", VK_ESCAPE, L"Tavix"},
    });
    Select(L"KEY-ROUTER");
    walk.Walk({
        {L"Tavix", 'C', L"Administrator Login", true},
        {L"Administrator Login", VK_RETURN, L"Basic Configuration"},
        {L"Basic Configuration", VK_ESCAPE, L"Tavix"},
    });
    // Drive mapping: the server asks for an account before it lists shares.
    Select(L"KEY-NAS");
    walk.Walk({
        {L"Tavix", 'M', L"Connect", true},
        {L"Connect", VK_RETURN, L"Select Network Share"},
        {L"Select Network Share", VK_RETURN, L"Map Network Drive", true},
        {L"Map Network Drive", VK_ESCAPE, L"Tavix"},     // the selection ends with it
        {L"Tavix", 'M', L"Select Network Share", true},  // connected now: no account asked
        {L"Select Network Share", VK_ESCAPE, L"Tavix"},
    });
    // The system menu's windows.
    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    walk.Walk({{L"About Tavix", VK_ESCAPE, L"Tavix"}});
    PostMessageW(main, WM_SYSCOMMAND, IDM_DISCOVERY_REPORT, 0);
    walk.Walk({{L"Discovery Report", VK_RETURN, L"Tavix"}});
    PostMessageW(main, WM_SYSCOMMAND, IDM_DISCOVERY_REPORT, 0);
    walk.Walk({
        {L"Discovery Report", 'F', L"Find by Address"},  // the report gives way to it
        {L"Find by Address", VK_RETURN, L"Error"},       // nothing typed
        {L"Error", VK_RETURN, L"Find by Address"},
        {L"Find by Address", VK_ESCAPE, L"Tavix"},
        {L"Tavix", VK_ESCAPE, L""},  // the end, as Exit
    });
    EXPECT_TRUE(walk.faults.empty()) << walk.Report();
    EXPECT_EQ(walk.Checked(), 36u);  // every window above, each time it opened
    EXPECT_TRUE(program.Exited(10000));
    main = nullptr;
}

// The import's status and result windows: Escape is Cancel while the server
// keeps the first line unanswered, Return closes the result. Each takes the
// keyboard when it shows, though both are made at the start (the result
// hidden), and their keys reach them from the main window's loop.
TEST_F(KeysTest, ImportWindowsByKeyboard) {
    ASSERT_TRUE(VnasControl("import-reply KEY-NAS slow none"));
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"keys-accounts.txt";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    const std::string text = std::string("\xFF") + "Kivo Brellmark\r\nslow pw\r\nuser1 pw\r\n";
    DWORD n = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(f);
    Select(L"KEY-NAS");
    PostMessageW(main, WM_COMMAND, ID_IMPORT_USERS, 0);
    walk.Walk({{L"Administrator Login", VK_RETURN, L"Open"}});
    HWND open = WaitDialog(L"Open");  // the system's open-file dialog
    ASSERT_NE(open, nullptr);
    SetText(GetDlgItem(open, 1148), path);  // its file name box
    Press(open, IDOK);
    walk.Walk({
        {L"Import Users Status", VK_ESCAPE, L"Import Users Result", false, false},  // Cancel only
        {L"Import Users Result", VK_RETURN, L"Tavix"},
    });
    EXPECT_TRUE(walk.faults.empty()) << walk.Report();
}

}  // namespace
