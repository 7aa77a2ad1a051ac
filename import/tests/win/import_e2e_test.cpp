// End-to-end tests of the account import: the real Brellmark.exe, its login,
// open-file, status and result windows, against the virtual server of
// import-servers.conf (IMP-1 imports; IMP-2 is the other server a user may
// select meanwhile). Accounts stored by the server are read from its log.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/tests/win/session.h"

using namespace e2e;

namespace {

const wchar_t kSuccess[] = L"Import user successfully.";

// A line and the first column of its result row ("" when it is stored).
struct Expected {
    std::string line;
    std::string row;
};

class ImportTest : public BrellmarkSession {
protected:
    int ListedAtStart() const override { return 2; }
    void TearDown() override {
        if (vanished_)
            VnasControl("restart IMP-1 0");  // back for the next test
        BrellmarkSession::TearDown();
    }
    bool vanished_ = false;

    static std::wstring TempFile(const wchar_t* name) {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        return std::wstring(dir) + name;
    }
    static void Write(const std::wstring& path, const std::string& bytes) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(f);
    }

    // A key as the keyboard gives it: `window` is made the active window
    // and the key goes to its control with the focus, through the program's
    // message loop (Alt sets the context bit, so the loop's translation
    // makes a system character of a letter).
    void Key(HWND window, UINT vk, bool alt = false) {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        const DWORD thread = GetWindowThreadProcessId(window, nullptr);
        SetForegroundWindow(window);
        WaitFor([&] { return GetGUIThreadInfo(thread, &gui) && gui.hwndActive == window; }, 2000);
        PostKey(gui.hwndFocus != nullptr ? gui.hwndFocus : window, vk, alt);
    }
    // "&Import Users..." from the system menu, by its keys (Alt+Space, I).
    void SystemMenuImport() {
        PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
        WaitFor([&] { return FindWindowW(L"#32768", nullptr) != nullptr; }, 3000);
        PostMessageW(main, WM_KEYDOWN, 'I', 1);
    }
    // Threads of the program named as the import's worker.
    int ImportThreads() {
        using Describe = HRESULT(WINAPI*)(HANDLE, PWSTR*);
        static const auto describe = reinterpret_cast<Describe>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
        int n = 0;
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 t = {};
        t.dwSize = sizeof t;
        for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
            HANDLE h = t.th32OwnerProcessID == pid()
                           ? OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, t.th32ThreadID)
                           : nullptr;
            PWSTR name = nullptr;
            if (h != nullptr && describe != nullptr && SUCCEEDED(describe(h, &name)) && name) {
                n += std::wstring(name) == L"account import";
                LocalFree(name);
            }
            if (h != nullptr)
                CloseHandle(h);
        }
        CloseHandle(snap);
        return n;
    }

    // Logs in with the import flow and picks `path` in the open-file dialog;
    // asked for by the list's menu, or by the system menu's keys.
    void StartImport(const std::wstring& path, bool systemMenu = false) {
        const int row = RowOf(L"IMP-1");
        ClickRow(row);
        ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) == row; }, 5000));
        if (systemMenu)
            SystemMenuImport();
        else
            PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_IMPORT_USERS, 0), 0);
        ASSERT_NE(TypeLogin(WaitDialog(L"Administrator Login")), nullptr);
        HWND open = WaitDialog(L"Open");
        ASSERT_NE(open, nullptr) << "no open-file dialog";
        SetText(GetDlgItem(open, 1148), path);  // the file name box
        Press(open, IDOK);
        ASSERT_TRUE(Gone(open));
    }

    // Lines stored by the server, in order, from the log.
    static std::vector<std::string> Stored(size_t from = 0) {
        std::vector<std::string> out;
        for (const std::string& l : LogLines("event import-stored ", from)) {
            const size_t at = l.find(" line=\"");
            const size_t end = l.rfind("\" t=");
            std::string v = l.substr(at + 7, end - at - 7);
            std::string plain;  // undo the log's quoting of " and backslash
            for (size_t i = 0; i < v.size(); ++i)
                plain += (v[i] == '\\' && i + 1 < v.size()) ? v[++i] : v[i];
            out.push_back(plain);
        }
        return out;
    }
};

std::string Signature() {
    return std::string("\xFF") + "Kivo Brellmark" + "\r\n";
}

// 1,000 lines of every kind, with CR, LF and CRLF endings, leading blanks,
// quoted names, and lines that straddle the 256-byte pieces.
std::vector<Expected> MixedLines() {
    struct Kind {
        const char* form;  // %d is the line number
        const char* row;
    } kinds[] = {
        {"user%d pw%d", ""},
        {"\"first %d\" pw 100 staff,users", ""},
        {"user%d \"\" +5 g1,\"g %d\",g3", ""},
        {"user%d pw 12a%d", "illegal quota"},
        {"\"\" pw%d", "illegal username"},
        {"user%d 01234567890123456789", "illegal password"},
        {"user%d pw 10 g1,", "illegal group"},
        {"user%d pw 10 g%d g2", "Syntax Error"},
        {"user%d pw 10 staff extra", "Syntax Error"},
        {"longuser%d pw 10 "
         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa,bbbb",
         ""},
    };
    std::vector<Expected> out;
    for (int i = 0; i < 998; ++i) {
        const Kind& k = kinds[i % 10];
        char line[200];
        std::snprintf(line, sizeof line, k.form, i, i);
        out.push_back({line, k.row});
    }
    out.push_back({"bob pw", "import failed"});  // the server answers -7
    out.push_back({std::string(130, 'x'), "line too long"});
    return out;
}

}  // namespace

// A file of 1,000 mixed lines: the server holds exactly the accepted lines in
// file order, the result window lists exactly the refused and failed ones.
TEST_F(ImportTest, MixedFileStoresTheGoodLinesAndListsTheRest) {
    ASSERT_TRUE(VnasControl("import-reply IMP-1 bob -7"));
    const std::vector<Expected> lines = MixedLines();
    std::string file = Signature();
    const char* endings[] = {"\r\n", "\n", "\r", "\r\n\r\n"};
    for (size_t i = 0; i < lines.size(); ++i)
        file += std::string(i % 7 == 0 ? " \t " : "") + lines[i].line + endings[i % 4];
    const std::wstring path = TempFile(L"accounts-mixed.txt");
    Write(path, file);
    const size_t from = Log().size();
    StartImport(path);
    HWND status = WaitDialog(L"Import Users Status");
    ASSERT_NE(status, nullptr);
    HWND result = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            result = FindTopLevel(pid(), L"Import Users Result");
            return result != nullptr && IsWindowVisible(result);
        },
        120000))
        << "no result window";
    EXPECT_FALSE(IsWindow(status) && IsWindowVisible(status));

    std::vector<std::string> stored, rows;
    for (const Expected& e : lines) {
        if (e.row.empty())
            stored.push_back(e.line);
        else if (e.row == "import failed")
            rows.push_back(e.row + "|" + e.line + " (Err Code: -7)");
        else
            rows.push_back(e.row + "|" + e.line);
    }
    EXPECT_EQ(Stored(from), stored);
    std::vector<std::string> shown;
    for (const Row& r : Rows(GetDlgItem(result, IDC_IMPORT_LIST), 2))
        shown.push_back(std::string(r[0].begin(), r[0].end()) + "|" +
                        std::string(r[1].begin(), r[1].end()));
    EXPECT_EQ(shown, rows);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_HELP_BUTTON)));
    const std::wstring out = Env(L"TAVIX_OUT");
    if (!out.empty()) {
        SetForegroundWindow(result);
        WaitFor([] { return false; }, 300);
        EXPECT_TRUE(SaveScreenshot(result, WinePath(out + L"/import-result.bmp")));
    }
    Press(result, IDOK);
    ASSERT_TRUE(Gone(result));
    // The result window's end re-enables Help by the server's version (2.13: no).
    WaitFor([] { return false; }, 300);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_HELP_BUTTON)));
}

// A late answer (after its 10-second wait) and a lost one: neither is taken
// for another line's; the lost line is reported; a file of only the
// signature ends with the success message; a file that is not an account
// file is refused.
TEST_F(ImportTest, LateAndLostAnswersAndTheSmallestFiles) {
    ASSERT_TRUE(VnasControl("import-reply IMP-1 late delay 10500 -4"));
    ASSERT_TRUE(VnasControl("import-reply IMP-1 lost none"));
    ASSERT_TRUE(VnasControl("import-reply IMP-1 next -9"));
    const std::wstring path = TempFile(L"accounts-late.txt");
    Write(path, Signature() + "late pw\r\nnext pw\r\nlost pw\r\nlast pw\r\n");
    const size_t from = Log().size();
    StartImport(path);
    HWND result = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            result = FindTopLevel(pid(), L"Import Users Result");
            return result != nullptr && IsWindowVisible(result);
        },
        60000));
    std::vector<std::wstring> shown;
    for (const Row& r : Rows(GetDlgItem(result, IDC_IMPORT_LIST), 2))
        shown.push_back(r[0] + L"|" + r[1]);
    // "late" got no answer in time; its late -4 must not be taken for "next",
    // whose own answer is -9.
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"no reply|late pw",
                                                L"import failed|next pw (Err Code: -9)",
                                                L"no reply|lost pw"}));
    EXPECT_EQ(Stored(from), (std::vector<std::string>{"lost pw", "last pw"}));
    Press(result, IDOK);
    ASSERT_TRUE(Gone(result));

    const std::wstring only = TempFile(L"accounts-only.txt");
    Write(only, std::string("\xFF") + "Kivo Brellmark");
    StartImport(only);
    EXPECT_TRUE(Answer(L"Import Users Result", kSuccess));

    const std::wstring wrong = TempFile(L"accounts-wrong.txt");
    Write(wrong, "Kivo Brellmark\r\nalice pw\r\n");
    const size_t before = Log().size();
    StartImport(wrong);
    EXPECT_TRUE(Answer(L"Error", L"Invalid file format for Brellmark."));
    EXPECT_TRUE(LogLines("rx ", before + 1).size() <= 2u);  // login and configuration only
}

namespace {

// How a window is closed: its button, a key, or its close box.
enum class How { None, Button, Return, Escape, AltC, CloseBox, AltF4 };
// What else happens while the line "slow pw" is awaited.
enum class Event { None, SelectOther, Vanish, Refresh, VanishRefresh };

struct WayOut {
    const char* name;
    How status;  // on the status window (its button: Cancel)
    How main;    // on the main window (its button: Exit): the program ends
    Event event;
    How result;       // on the result window afterwards (its button: Close)
    bool systemMenu;  // the import asked for from the system menu
    std::vector<std::string> rows;
    size_t sentAfter;  // lines sent after the way out
};

// The rows after the long line's and bob's, by how the import ended.
const std::vector<std::string> kCancelled = {"illegal quota|bad pw 12a", "not sent|last pw"};
const std::vector<std::string> kAnswered = {"illegal quota|bad pw 12a",
                                            "import failed|last pw (Err Code: -5)"};
const std::vector<std::string> kSilent = {"no reply|slow pw", "illegal quota|bad pw 12a",
                                          "no reply|last pw"};
const std::vector<std::string> kSilentGone = {"no reply|slow pw", "illegal quota|bad pw 12a",
                                              "not sent|last pw"};

const WayOut kWaysOut[] = {
    {"CancelButton", How::Button, How::None, Event::None, How::Button, true, kCancelled, 0},
    {"Escape", How::Escape, How::None, Event::None, How::Return, false, kCancelled, 0},
    {"AltC", How::AltC, How::None, Event::None, How::Escape, true, kCancelled, 0},
    {"CloseBox", How::CloseBox, How::None, Event::None, How::AltC, false, kCancelled, 0},
    {"AltF4", How::AltF4, How::None, Event::None, How::CloseBox, false, kCancelled, 0},
    {"SelectOther", How::None, How::None, Event::SelectOther, How::AltF4, true, kAnswered, 1},
    {"Exit", How::None, How::Button, Event::None, How::None, false, {}, 0},
    {"CloseMain", How::None, How::AltF4, Event::None, How::None, false, {}, 0},
    {"Vanish", How::None, How::None, Event::Vanish, How::Return, false, kSilent, 1},
    {"Refresh", How::None, How::None, Event::Refresh, How::Escape, false, kCancelled, 0},
    {"VanishRefresh", How::None, How::None, Event::VanishRefresh, How::AltC, false, kSilentGone, 0},
};

void PrintTo(const WayOut& w, std::ostream* os) {
    *os << w.name;
}

class ImportWayOutTest : public ImportTest, public ::testing::WithParamInterface<WayOut> {
protected:
    void Leave(HWND w, How way, int button) {
        switch (way) {
            case How::None:
                break;
            case How::Button:
                Press(w, button);
                break;
            case How::Return:
                Key(w, VK_RETURN);
                break;
            case How::Escape:
                Key(w, VK_ESCAPE);
                break;
            case How::AltC:
                Key(w, 'C', true);
                break;
            case How::CloseBox:
                PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case How::AltF4:
                Key(w, VK_F4, true);
                break;
        }
    }
};

}  // namespace

// Every way out of an import, taken while a line is awaited: nothing is sent
// afterwards (but for the ways that do not stop the import), every line is
// accounted for in the result, the worker ends, no window is left, and the
// program ends within a few seconds when asked. The file starts with a line
// of 512 characters that ends exactly at the end of a read.
TEST_P(ImportWayOutTest, EndsCleanly) {
    const WayOut& w = GetParam();
    const bool silent = w.event == Event::Vanish || w.event == Event::VanishRefresh;
    ASSERT_TRUE(VnasControl("import-reply IMP-1 bob -7"));
    ASSERT_TRUE(VnasControl("import-reply IMP-1 last -5"));
    ASSERT_TRUE(VnasControl(silent ? "import-reply IMP-1 slow none"
                                   : "import-reply IMP-1 slow delay 3000 0"));
    const std::wstring path = TempFile(L"accounts-way-out.txt");
    const std::string longLine(512, 'a');
    Write(path, Signature() + longLine +
                    "\r\nfirst pw\r\nbob pw\r\nslow pw\r\nbad pw 12a\r\nlast pw\r\n");
    const size_t from = Log().size();
    StartImport(path, w.systemMenu);
    HWND status = WaitDialog(L"Import Users Status");
    ASSERT_NE(status, nullptr);
    ASSERT_GE(WaitLine(from, [](const std::string& l) { return l.find("\"slow pw\"") != l.npos; }),
              0);
    EXPECT_EQ(ImportThreads(), 1);
    const size_t mark = Log().size();
    Leave(status, w.status, IDCANCEL);
    Leave(main, w.main, IDC_EXIT);
    if (w.event == Event::SelectOther) {
        ClickRow(RowOf(L"IMP-2"));
        ASSERT_TRUE(WaitFor([&] { return SelectedRow(list) == RowOf(L"IMP-2"); }, 5000));
        ASSERT_TRUE(VnasControl("reply IMP-2 16 -9 3"));  // its own "answers"
    }
    if (silent) {
        vanished_ = true;
        ASSERT_TRUE(VnasControl("restart IMP-1 600"));
    }
    if (w.event == Event::Refresh || w.event == Event::VanishRefresh)
        Press(main, IDC_REFRESH);
    if (w.main != How::None) {
        EXPECT_TRUE(program.Exited(5000)) << "still running";
        // The held-back answer goes out all the same: let it go before the
        // next program, whose requests are numbered alike, could take it.
        EXPECT_GE(WaitLine(mark, [](const std::string& l) { return l.rfind("tx ", 0) == 0; }), 0);
        EXPECT_EQ(LogLines("rx ", mark).size(), 0u) << "sent after the end";
        return;
    }
    if (w.status != How::None) {
        EXPECT_TRUE(Gone(status)) << "the status window stays";
    }
    HWND result = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (result = FindTopLevel(pid(), L"Import Users Result")); }, 40000))
        << "no result window";
    EXPECT_FALSE(IsWindow(status));
    std::vector<std::string> rows = {"line too long|" + longLine.substr(0, 127),
                                     "import failed|bob pw (Err Code: -7)"};
    rows.insert(rows.end(), w.rows.begin(), w.rows.end());
    std::vector<std::string> shown;
    for (const Row& r : Rows(GetDlgItem(result, IDC_IMPORT_LIST), 2))
        shown.push_back(Narrow(r[0]) + "|" + Narrow(r[1]));
    EXPECT_EQ(shown, rows);
    EXPECT_EQ(Stored(from), (std::vector<std::string>{"first pw", "slow pw"}));
    size_t sent = 0;
    for (const std::string& l : LogLines("rx ", mark))
        sent += Has(l, "cmd=16") && Has(l, "id=00:11:32:dd:00:01");
    EXPECT_EQ(sent, w.sentAfter);
    EXPECT_TRUE(WaitFor([&] { return ImportThreads() == 0; }, 5000)) << "the worker goes on";

    if (w.event == Event::SelectOther) {
        // A second import while this result is open: the system menu's item
        // is unavailable, and the command brings this window forward
        // without a login.
        ClickRow(RowOf(L"IMP-1"));
        SystemMenuImport();
        EXPECT_EQ(WaitDialog(L"Administrator Login", 1500), nullptr);
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_IMPORT_USERS, 0), 0);
        EXPECT_EQ(WaitDialog(L"Administrator Login", 1500), nullptr);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == result; }, 3000));
    }
    Leave(result, w.result, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(result); }, 5000)) << "the result window stays";
    const size_t end = Log().size();
    Press(main, IDC_EXIT);
    EXPECT_TRUE(program.Exited(5000)) << "still running";
    for (const std::string& l : LogLines("rx ", end))
        EXPECT_FALSE(Has(l, "cmd=16")) << l;
}

INSTANTIATE_TEST_SUITE_P(Ways, ImportWayOutTest, ::testing::ValuesIn(kWaysOut),
                         [](const ::testing::TestParamInfo<WayOut>& i) { return i.param.name; });

// Run by bench/import_bench.sh only: 10,000 accepted lines, the progress bar
// sampled while they go.
TEST_F(ImportTest, DISABLED_TenThousandLines) {
    std::string file = Signature();
    for (int i = 0; i < 10000; ++i)
        file += "benchuser" + std::to_string(i) + " pw" + std::to_string(i % 97) + " 100\r\n";
    const std::wstring path = TempFile(L"accounts-bench.txt");
    Write(path, file);
    StartImport(path);
    HWND status = WaitDialog(L"Import Users Status");
    ASSERT_NE(status, nullptr);
    std::vector<int> positions;
    HWND bar = GetDlgItem(status, IDC_IMPORT_PROGRESS);
    const bool done = WaitFor(
        [&] {
            if (IsWindow(bar)) {
                const int p = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
                if (positions.empty() || positions.back() != p)
                    positions.push_back(p);
            }
            return !FindTopLevel(pid(), L"Import Users Result")
                       ? false
                       : Contains(StaticTexts(FindTopLevel(pid(), L"Import Users Result")),
                                  L"Import user successfully.");
        },
        600000);
    ASSERT_TRUE(done);
    std::printf("progress-positions=%zu\n", positions.size());
    Press(FindTopLevel(pid(), L"Import Users Result"), IDOK);
}
