// The uninstaller's portable core: command lines, paths and their
// protection, registry records, and whole uninstallations over the registry
// and file system in memory.
#include <gtest/gtest.h>

#include "uninstall/core/command_line.h"
#include "uninstall/core/engine.h"
#include "uninstall/tests/fakes.h"

using namespace uninst;
using uninst::testing::MemoryFiles;
using uninst::testing::MemoryRegistry;
using uninst::testing::RecordingHost;

namespace {

constexpr Root kLM = Root::kLocalMachine;
const std::string kU = std::string(kUninstallKeys) + "\\";
const std::string kShared = std::string(kSharedFileKey) + "\\";
const std::string kSharedReg = std::string(kSharedRegKey) + "\\";

TEST(CommandLine, Forms) {
    const std::string module = "C:\\Program Files\\Tavix\\kivouninstall.exe";
    struct Case {
        std::string line;
        Form form;
        std::string key, home;
    } cases[] = {
        {"C:\\Program Files\\Tavix\\kivouninstall.exe Tavix Storage", Form::kLaunch,
         "Tavix Storage", ""},
        {"\"C:\\Program Files\\Tavix\\kivouninstall.exe\" \"Tavix\"", Form::kLaunch, "Tavix", ""},
        {"c:\\program files\\tavix\\KIVOUNINSTALL.EXE   Tavix  ", Form::kLaunch, "Tavix", ""},
        {"kivouninstall.exe", Form::kFromIni, "", ""},
        {"kivouninstall.exe /deleteself", Form::kFromIniDirect, "", ""},
        {"\"C:\\TEMP\\www1A.tmp\" \"Tavix Storage\" /DeleteSelf \"C:\\Program Files\\Tavix\"",
         Form::kCopy, "Tavix Storage", "C:\\Program Files\\Tavix"},
        {"\"C:\\TEMP\\www1A.tmp\" \"Tavix\" /DeleteSelf", Form::kCopy, "Tavix", ""},
    };
    for (const auto& c : cases) {
        const Arguments a = ParseArguments(SkipProgramName(c.line, module));
        EXPECT_EQ(a.form, c.form) << c.line;
        EXPECT_EQ(a.key, c.key) << c.line;
        EXPECT_EQ(a.home, c.home) << c.line;
    }
    // The copy's command line reads back as what it was built from.
    const std::string copy = CopyCommandLine("C:\\T\\www2.tmp", "A Key", "C:\\P Q");
    EXPECT_EQ(copy, "\"C:\\T\\www2.tmp\" \"A Key\" /DeleteSelf \"C:\\P Q\"");
    const Arguments back = ParseArguments(SkipProgramName(copy, "C:\\T\\www2.tmp"));
    EXPECT_EQ(back.key, "A Key");
    EXPECT_EQ(back.home, "C:\\P Q");

    const UninstallCommand u =
        SplitUninstallString("C:\\Program Files\\T\\kivouninstall.exe Tav X");
    EXPECT_EQ(u.program, "C:\\Program Files\\T\\kivouninstall.exe");
    EXPECT_EQ(u.key, "Tav X");
    EXPECT_EQ(SplitUninstallString("kivouninstall.exe K").program, "kivouninstall.exe");
    EXPECT_EQ(SplitUninstallString("\"C:\\a b\\u.exe\" K").program, "C:\\a b\\u.exe");
}

TEST(Paths, NormalFormAndProtection) {
    struct Case {
        std::string in, normal;
        bool root;
    } cases[] = {
        {"C:\\Windows\\", "C:\\Windows", false},
        {"c:/a//b/./c/..", "c:\\a\\b", false},
        {"C:\\..\\..", "C:\\", true},
        {"C:", "C:", true},
        {"\\\\srv\\share\\", "\\\\srv\\share", true},
        {"\\\\srv\\share\\x", "\\\\srv\\share\\x", false},
        {"C:\\Program Files\\App. ", "C:\\Program Files\\App", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalPath(c.in), c.normal) << c.in;
        EXPECT_EQ(IsRoot(c.in), c.root) << c.in;
    }
    Protection p;
    for (const char* f :
         {"C:\\windows", "C:\\windows\\system32", "C:\\Program Files", "C:\\users\\me"})
        p.Add(f);
    struct Check {
        std::string path;
        bool protects;
    } checks[] = {
        {"C:\\", true},
        {"C:\\WINDOWS\\", true},
        {"C:\\windows\\system32\\..", true},
        {"c:\\program files", true},
        {"C:\\users", true},  // holds the profile
        {"C:\\users\\me", true},
        {"relative\\dir", true},
        {"", true},
        {"C:\\Program Files\\Tavix", false},
        {"C:\\windows\\system32\\tavix.dll", false},
        {"C:\\users\\me\\Desktop\\Tavix.lnk", false},
        {"C:\\Program Files\\Tavix\\..\\..", true},
    };
    for (const auto& c : checks)
        EXPECT_EQ(p.Protects(c.path), c.protects) << c.path;
}

TEST(Registry, RootNames) {
    const struct {
        const char* name;
        Root root;
        const char* shown;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE", Root::kLocalMachine, "HKEY_LOCAL_MACHINE"},
        {"hkey_current_user", Root::kCurrentUser, "HKEY_CURRENT_USER"},
        {"HKEY_Classes_Root", Root::kClassesRoot, "HKEY_CLASSES_ROOT"},
        {"HKEY_USERS", Root::kUsers, "HKEY_USERS"},
        {"HKLM", Root::kUsers, "HKEY_USERS"},  // any other name is the users root
        {"", Root::kUsers, "HKEY_USERS"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RootFromName(c.name), c.root) << c.name;
        EXPECT_STREQ(RootName(RootFromName(c.name)), c.shown) << c.name;
    }
}

TEST(Registry, RecordsAndProtectedKeys) {
    struct Case {
        RegRecord rec;
        std::string key, value;
        bool whole;
    } cases[] = {
        {{"HKEY_LOCAL_MACHINE", "Software\\Tavix\\\\Size", "Size"},
         "Software\\Tavix",
         "Size",
         false},
        {{"HKEY_LOCAL_MACHINE", "Software\\Tavix", ""}, "Software\\Tavix", "", true},
        {{"HKEY_CURRENT_USER", "Software\\Tavix@@", "0"}, "Software\\Tavix", "", true},
        {{"HKEY_CURRENT_USER", "Software\\Tavix\\\\@", "@"}, "Software\\Tavix", "@", false},
        {{"HKEY_CURRENT_USER", "Software\\A\\\\B\\\\C", "C"}, "Software\\A\\\\B", "C", false},
    };
    for (const auto& c : cases) {
        const RegTarget t = TargetOf(c.rec);
        EXPECT_EQ(t.wholeKey, c.whole) << c.rec.name;
        EXPECT_EQ(t.value, c.value) << c.rec.name;
    }
    EXPECT_EQ(TargetOf(cases[0].rec).key, "Software\\Tavix");
    struct Key {
        Root root;
        std::string path;
        bool protectedKey;
    } keys[] = {
        {kLM, "", true},
        {kLM, "\\", true},
        {kLM, "SOFTWARE\\", true},
        {Root::kCurrentUser, "Software", true},
        {kLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
        {kLM, "Software\\Kivo\\Uninstall\\SharedFile\\a.dll", true},
        {Root::kUsers, ".DEFAULT", true},
        {Root::kUsers, ".DEFAULT\\Software", true},
        {Root::kUsers, ".DEFAULT\\Software\\Tavix", false},
        {Root::kClassesRoot, "CLSID", true},
        {Root::kClassesRoot, ".tvx", false},
        {kLM, "Software\\Classes\\CLSID", true},
        {kLM, "Software\\Tavix", false},
        {kLM, "Software\\Kivo\\Tavix", false},
    };
    for (const auto& k : keys)
        EXPECT_EQ(ProtectedKey(k.root, k.path), k.protectedKey) << k.path;
}

// ---- Whole uninstallations -------------------------------------------------------

class Uninstall : public ::testing::Test {
protected:
    Places MakePlaces() {
        Places p;
        p.windows = "C:\\windows";
        p.system = "C:\\windows\\system32";
        p.home = "C:\\Program Files\\Tavix";
        p.ownFileName = "kivouninstall.exe";
        p.strings = [](const std::string& k) {
            return k == "APPDIR" ? std::string("C:\\Program Files\\Tavix") : std::string();
        };
        for (const char* f :
             {"C:\\windows", "C:\\windows\\system32", "C:\\Program Files", "C:\\users\\me"})
            p.protection.Add(f);
        return p;
    }
    // A product that installed `files` (name, directory) with shared records.
    void Register(const std::string& key, const std::vector<NameData>& files) {
        reg.Set(kLM, kU + key, "DisplayName", key + " Software");
        reg.Set(kLM, kU + key, "UninstallString",
                "C:\\Program Files\\" + key + "\\kivouninstall.exe " + key);
        for (const auto& f : files) {
            reg.Set(kLM, kU + key + "\\DeleteFiles", f.name, f.data);
            reg.Set(kLM, kShared + f.name, key, f.data);
            this->files.AddFile(Join(ResolveDirectory(MakePlaces(), f.data), f.name));
        }
    }
    Outcome Run(const std::string& key) {
        auto r = ReadRegistration(reg, key);
        EXPECT_TRUE(r.has_value()) << key;
        if (!r)
            return {};
        Uninstaller u(*r, reg, files, host, MakePlaces());
        u.Run();
        return u.outcome();
    }
    bool Has(const std::string& path) { return files.Exists(path); }

    MemoryRegistry reg;
    MemoryFiles files;
    RecordingHost host;
};

TEST_F(Uninstall, TwoProductsShareFilesAndTheAnswersHold) {
    const std::string common = "C:\\Program Files\\Common";
    Register("First", {{"a.dll", common},
                       {"b.dll", common},
                       {"c.dll", common},
                       {"d.dll", common},
                       {"own.txt", common}});
    Register("Second",
             {{"a.dll", common}, {"b.dll", common}, {"c.dll", common}, {"d.dll", common}});
    // Same name in another folder: not the same file, never asked about.
    reg.Set(kLM, kShared + "own.txt", "Second", "C:\\Elsewhere");
    // Yes for a.dll, No for b.dll, Yes To All for c.dll: d.dll without a question.
    host.answers = {SharedAnswer::kYes, SharedAnswer::kNo, SharedAnswer::kYesToAll};
    Outcome first = Run("First");
    EXPECT_EQ(host.questions, (std::vector<std::string>{"a.dll", "b.dll", "c.dll"}));
    EXPECT_FALSE(Has(common + "\\a.dll"));
    EXPECT_TRUE(Has(common + "\\b.dll"));
    EXPECT_FALSE(Has(common + "\\c.dll"));
    EXPECT_FALSE(Has(common + "\\d.dll"));
    EXPECT_FALSE(Has(common + "\\own.txt"));
    EXPECT_FALSE(first.failed);
    // The first product's values are gone from the records; the second's stay.
    EXPECT_FALSE(reg.HasValue(kLM, kShared + "b.dll", "First"));
    EXPECT_TRUE(reg.HasValue(kLM, kShared + "b.dll", "Second"));
    EXPECT_FALSE(reg.KeyExists(kLM, kU + "First"));

    // The second product: its last user, nothing asked, the records go.
    host.questions.clear();
    Run("Second");
    EXPECT_TRUE(host.questions.empty());
    EXPECT_FALSE(Has(common + "\\b.dll"));
    EXPECT_FALSE(reg.KeyExists(kLM, kShared + "b.dll"));
    EXPECT_FALSE(reg.KeyExists(kLM, kShared + "a.dll"));
    EXPECT_TRUE(reg.KeyExists(kLM, kShared + "own.txt"));  // Second's namesake elsewhere
    // The records' own keys go with the last record.
    reg.DeleteTree(kLM, kShared + "own.txt");
    reg.Set(kLM, kU + "Third", "DisplayName", "Third");
    reg.Set(Root::kCurrentUser, "Software\\Kivo\\Configured", "Fastrig", "1");
    reg.Set(kLM, kU + "Third\\DeleteRegs\\HKEY_CURRENT_USER", "Software\\Kivo\\Configured", "");
    Run("Third");
    EXPECT_FALSE(reg.KeyExists(kLM, "Software\\Kivo"));
    EXPECT_FALSE(reg.KeyExists(Root::kCurrentUser, "Software\\Kivo"));
    EXPECT_TRUE(reg.KeyExists(kLM, "Software"));
}

TEST_F(Uninstall, NoToAllKeepsEveryLaterSharedFileAndTheTreeKeepsThem) {
    const std::string dir = "C:\\Program Files\\Tavix";
    Register("Tavix",
             {{"x.dll", dir}, {"y.dll", dir}, {"kivosetup.dll", dir}, {"kivouninstall.exe", dir}});
    Register("Other", {{"x.dll", dir}, {"y.dll", dir}, {"kivosetup.dll", dir}});
    files.AddFile(dir + "\\sub\\data.bin");
    reg.Set(kLM, kU + "Tavix\\DeleteDirectory", dir, "1");
    host.answers = {SharedAnswer::kNoToAll};
    const Outcome o = Run("Tavix");
    // One question; the family's library is never asked about.
    EXPECT_EQ(host.questions, std::vector<std::string>{"x.dll"});
    // The whole-tree delete keeps what the other product still uses.
    EXPECT_TRUE(Has(dir + "\\x.dll"));
    EXPECT_TRUE(Has(dir + "\\y.dll"));
    EXPECT_TRUE(Has(dir + "\\kivosetup.dll"));
    EXPECT_FALSE(Has(dir + "\\sub"));
    // The uninstaller's own file waits for Finish, unless the tree took it.
    EXPECT_EQ(o.ownFile, dir + "\\kivouninstall.exe");
}

// Two products share a folder that the first one made; its removal keeps
// the shared file (No), the second's removal deletes it: the folder must go
// with it, whichever order, and nested folders too.
TEST_F(Uninstall, SharedFolderGoesWithTheLastProductThatKeepsFiles) {
    for (const bool madeByFirst : {true, false}) {
        SCOPED_TRACE(madeByFirst ? "folder made by the first removed" : "by the second");
        const std::string common = "C:\\Program Files\\TavixCommon\\lib";
        Register("First", {{"shared.dll", common}, {"first.dll", common}});
        Register("Second", {{"shared.dll", common}});
        reg.Set(kLM, kU + (madeByFirst ? "First" : "Second") + "\\DeleteDirectory", common, "1");
        // A stale record of a product without a registration takes nothing over.
        reg.Set(kLM, kShared + "shared.dll", "Gone", common);
        host.answers = {SharedAnswer::kNo};
        Run("First");
        EXPECT_TRUE(Has(common + "\\shared.dll"));
        EXPECT_FALSE(Has(common + "\\first.dll"));
        EXPECT_FALSE(reg.KeyExists(kLM, kU + "Gone"));
        reg.DeleteValue(kLM, kShared + "shared.dll", "Gone");
        Run("Second");
        EXPECT_FALSE(Has("C:\\Program Files\\TavixCommon"));
        EXPECT_TRUE(Has("C:\\Program Files"));
        EXPECT_FALSE(reg.KeyExists(kLM, kU + "Second"));
    }
}

TEST_F(Uninstall, EverySubkeyInItsStep) {
    const std::string u = kU + "Tavix";
    const std::string app = "C:\\Program Files\\Tavix";
    reg.Set(kLM, u, "DisplayName", "Tavix");
    reg.Set(kLM, u, "NeedRestart", "false");
    reg.Set(kLM, u, "CallConfigMg", "0");
    reg.Set(kLM, u + "\\RestoreDrivers", "drv", "restore data");
    reg.Set(kLM, u + "\\DeleteDevices", "dev1", "USB\\VID_1");
    reg.Set(kLM, u + "\\DeleteDevices", "dev2", "USB\\VID_2");
    reg.Set(kLM, u + "\\CloseWindows\\1", "Class", "KivoReplionClass");
    reg.Set(kLM, u + "\\CloseWindows\\2", "Caption", "Tavix Monitor");
    reg.Create(kLM, u + "\\CloseWindows\\3");  // neither: skipped
    reg.Set(kLM, u + "\\UnregProgram", "ext.dll", app);
    reg.Set(kLM, u + "\\CloseAPP\\1", "File", app + "\\stop.exe");
    reg.Set(kLM, u + "\\CloseAPP\\1", "Parameters", "/quiet");
    reg.Set(kLM, u + "\\CloseAPP\\2", "Parameters", "no file");
    reg.Set(kLM, u + "\\DeleteProgramFolder", "Tavix", "1");
    // Files: by the directory each value names, with help and INF companions.
    const std::pair<std::string, std::string> placements[] = {
        {"tvx.sys", "%12%"},   {"tvx.inf", "%17%"},  {"tvx.hlp", "%18%"},
        {"tvx32.dll", "%11%"}, {"tvxw.dll", "%10%"}, {"tvx.exe", "APPDIR"},
        {"tvx.ini", "%99%"},   {"empty.dll", ""},    {"busy.dll", app},
    };
    const Places places = MakePlaces();
    for (const auto& [name, where] : placements) {
        reg.Set(kLM, u + "\\DeleteFiles", name, where);
        reg.Set(kLM, kShared + name, "Tavix", ResolveDirectory(places, where));
        files.AddFile(Join(ResolveDirectory(places, where), name));
    }
    files.AddFile("C:\\windows\\Inf\\tvx.pnf");
    files.AddFile("C:\\windows\\Help\\tvx.cnt");
    files.AddFile("C:\\windows\\Help\\tvx.gid");
    files.AddFile("C:\\windows\\Help\\other.hlp");
    files.locked.insert(ToLower(app + "\\busy.dll"));
    // Directories: a full tree, a non-empty one kept, an empty one, parents.
    files.AddFile("C:\\Program Files\\Vendor\\Tavix\\Data\\deep\\x.bin");
    files.AddLink("C:\\Program Files\\Vendor\\Tavix\\Data\\linked");
    files.AddFile("C:\\Program Files\\Keep\\note.txt");
    files.AddDir("C:\\Program Files\\Vendor2\\Empty");
    files.AddDir("C:\\Program Files\\Clean");
    reg.Set(kLM, u + "\\DeleteDirectory", "C:\\Program Files\\Vendor\\Tavix", "1");
    reg.Set(kLM, u + "\\DeleteDirectory", "C:\\Program Files\\Keep", "0");
    reg.Set(kLM, u + "\\DeleteDirectory", "C:\\Program Files\\Vendor2\\Empty", "");
    reg.Set(kLM, u + "\\CleanDirectory", "C:\\Program Files\\Clean", "");
    // Registry records: a key, a value, a shared value, a clean-up.
    reg.Set(kLM, "Software\\Tavix\\Sub", "a", "1");
    reg.Set(Root::kCurrentUser, "Software\\Tavix", "Size", "10");
    reg.Set(Root::kCurrentUser, "Software\\Tavix", "Keep", "1");
    reg.Set(Root::kClassesRoot, ".tvx", "", "tvxfile");
    reg.Create(Root::kCurrentUser, "Software\\Empty\\A\\B");
    reg.Set(Root::kCurrentUser, "Software\\Empty\\Full", "v", "1");
    const std::pair<std::string, RegRecord> records[] = {
        {"DeleteRegs", {"HKEY_LOCAL_MACHINE", "Software\\Tavix", ""}},
        {"DeleteRegs", {"HKEY_CURRENT_USER", "Software\\Tavix\\\\Size", "Size"}},
        {"DeleteRegs", {"HKEY_CLASSES_ROOT", ".tvx", "0"}},
        {"CleanRegs", {"HKEY_CURRENT_USER", "Software\\Empty", ""}},
        {"DeleteRegs", {"HKEY_LOCAL_MACHINE", "Software\\Vendor\\Tavix\\\\v", "v"}},
        {"DeleteRegs", {"HKEY_LOCAL_MACHINE", "Software\\Vendor2\\Tavix\\\\v", "v"}},
    };
    // Keys that held only the product's values go; a key with more stays.
    reg.Set(kLM, "Software\\Vendor\\Tavix", "v", "1");
    reg.Set(kLM, "Software\\Vendor2\\Tavix", "v", "1");
    reg.Set(kLM, "Software\\Vendor2", "keep", "1");
    for (const auto& [sub, r] : records) {
        reg.Set(kLM, u + "\\" + sub + "\\" + r.rootName, r.name, r.data);
        if (sub == "DeleteRegs")
            reg.Set(kLM, kSharedReg + "Tavix\\" + r.rootName, r.name, r.data);
    }
    // Another product shares the class key: it stays.
    reg.Set(kLM, kSharedReg + "Other\\HKEY_CLASSES_ROOT", ".tvx", "0");
    host.driversPerRemoval = 2;

    const Outcome o = Run("Tavix");
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "RestoreDeviceDriver drv restore data 0",
                              "RemoveDeviceDriver dev1 USB\\VID_1",
                              "RemoveDeviceDriver dev2 USB\\VID_2",
                              "Step 1",
                              "CloseProgram KivoReplionClass|",
                              "CloseProgram |Tavix Monitor",
                              "Unregister C:\\Program Files\\Tavix\\ext.dll",
                              "Sleep 1000",
                              "Run C:\\Program Files\\Tavix\\stop.exe /quiet 15000",
                              "Step 2",
                              "Step 3",
                              "Step 4",
                              "Step 5",
                              "Step 6",
                          }));
    EXPECT_EQ(o.driversRemoved, 4);
    EXPECT_TRUE(o.RestartOffered());
    for (const char* gone :
         {"C:\\windows\\system32\\Drivers\\tvx.sys", "C:\\windows\\Inf\\tvx.inf",
          "C:\\windows\\Inf\\tvx.pnf", "C:\\windows\\Help\\tvx.hlp", "C:\\windows\\Help\\tvx.cnt",
          "C:\\windows\\Help\\tvx.gid", "C:\\windows\\system32\\tvx32.dll", "C:\\windows\\tvxw.dll",
          "C:\\Program Files\\Tavix\\tvx.exe", "C:\\Program Files\\Tavix\\tvx.ini",
          "C:\\windows\\system32\\empty.dll", "C:\\Program Files\\Vendor",
          "C:\\Program Files\\Vendor2", "C:\\Program Files\\Clean"})
        EXPECT_FALSE(Has(gone)) << gone;
    for (const char* kept : {"C:\\windows\\Help\\other.hlp", "C:\\Program Files\\Keep\\note.txt",
                             "C:\\Program Files\\Tavix\\busy.dll", "C:\\Program Files"})
        EXPECT_TRUE(Has(kept)) << kept;
    EXPECT_EQ(o.restartList, std::vector<std::string>{app + "\\busy.dll"});
    EXPECT_TRUE(o.needRestart);
    EXPECT_FALSE(reg.KeyExists(kLM, "Software\\Tavix"));
    EXPECT_FALSE(reg.KeyExists(kLM, "Software\\Vendor"));
    EXPECT_FALSE(reg.KeyExists(kLM, "Software\\Vendor2\\Tavix"));
    EXPECT_TRUE(reg.HasValue(kLM, "Software\\Vendor2", "keep"));
    EXPECT_TRUE(reg.KeyExists(kLM, "Software"));
    EXPECT_FALSE(reg.HasValue(Root::kCurrentUser, "Software\\Tavix", "Size"));
    EXPECT_TRUE(reg.HasValue(Root::kCurrentUser, "Software\\Tavix", "Keep"));
    EXPECT_TRUE(reg.KeyExists(Root::kClassesRoot, ".tvx"));
    EXPECT_FALSE(reg.KeyExists(Root::kCurrentUser, "Software\\Empty\\A"));
    EXPECT_TRUE(reg.KeyExists(Root::kCurrentUser, "Software\\Empty\\Full"));
    EXPECT_FALSE(reg.KeyExists(kLM, kSharedReg + "Tavix"));
    EXPECT_TRUE(reg.KeyExists(kLM, kSharedReg + "Other"));
    EXPECT_FALSE(reg.KeyExists(kLM, u));
    EXPECT_TRUE(o.refused.empty());
    EXPECT_FALSE(o.failed);
}

TEST_F(Uninstall, HostileRegistrationDeletesNothingOutsideTheProduct) {
    const std::string u = kU + "Evil";
    reg.Set(kLM, u, "DisplayName", "Evil");
    for (const char* dir : {"C:\\windows", "C:\\", "C:\\users\\me", "C:\\users", "relative",
                            "C:\\Program Files\\", "C:\\Program Files\\Evil\\..\\.."})
        reg.Set(kLM, u + "\\DeleteDirectory", dir, "1");
    reg.Set(kLM, u + "\\CleanDirectory", "C:\\Program Files", "");
    reg.Set(kLM, u + "\\DeleteFiles", "..\\..\\boot.ini", "%11%");
    reg.Set(kLM, u + "\\DeleteFiles", "system32", "%10%");
    reg.Set(kLM, u + "\\DeleteFiles", "me", "C:\\users");
    reg.Set(kLM, u + "\\DeleteFiles", "evil.dll", "C:\\Program Files\\Evil");
    // Files directly in protected folders that no record of this product names.
    reg.Set(kLM, u + "\\DeleteFiles", "kernel32.dll", "%11%");
    reg.Set(kLM, u + "\\DeleteFiles", "doc.txt", "C:\\users\\me");
    reg.Set(kLM, kShared + "doc.txt", "Other", "C:\\users\\me");
    reg.Set(kLM, u + "\\DeleteRegs\\HKEY_LOCAL_MACHINE", "Software", "");
    reg.Set(kLM, u + "\\DeleteRegs\\HKEY_CURRENT_USER", "\\", "0");
    reg.Set(kLM, u + "\\DeleteRegs\\HKEY_LOCAL_MACHINE", kU + "Other", "");
    reg.Set(kLM, u + "\\CleanRegs\\HKEY_USERS", ".DEFAULT", "");
    for (const char* f :
         {"C:\\boot.ini", "C:\\windows\\system32\\kernel32.dll", "C:\\users\\me\\Desktop\\doc.txt",
          "C:\\Program Files\\Evil\\evil.dll", "C:\\Program Files\\Other\\other.exe"})
        files.AddFile(f);
    reg.Set(kLM, "Software\\Vendor", "v", "1");
    reg.Set(kLM, kU + "Other", "DisplayName", "Other");
    reg.Create(Root::kUsers, ".DEFAULT\\Empty");

    const Outcome o = Run("Evil");
    for (const char* kept :
         {"C:\\boot.ini", "C:\\windows\\system32\\kernel32.dll", "C:\\users\\me\\Desktop\\doc.txt",
          "C:\\Program Files\\Other\\other.exe"})
        EXPECT_TRUE(Has(kept)) << kept;
    EXPECT_FALSE(Has("C:\\Program Files\\Evil\\evil.dll"));  // its own file goes
    EXPECT_TRUE(reg.KeyExists(kLM, "Software\\Vendor"));
    EXPECT_TRUE(reg.KeyExists(kLM, kU + "Other"));
    EXPECT_TRUE(reg.KeyExists(Root::kUsers, ".DEFAULT\\Empty"));
    EXPECT_FALSE(reg.KeyExists(kLM, u));
    int folders = 0, fileRefusals = 0, keys = 0;
    for (const auto& r : o.refused)
        (r.kind == Refusal::kFolder ? folders : r.kind == Refusal::kFile ? fileRefusals : keys)++;
    EXPECT_EQ(folders, 8);
    EXPECT_EQ(fileRefusals, 5);
    EXPECT_EQ(keys, 4);
    EXPECT_FALSE(o.failed);
}

TEST_F(Uninstall, MissingOrUndeletableRegistration) {
    EXPECT_FALSE(ReadRegistration(reg, "Nothing").has_value());
    reg.Set(kLM, kU + "X", "DisplayName", "X");
    EXPECT_FALSE(ReadRegistration(reg, "").has_value());
    EXPECT_FALSE(ReadRegistration(reg, "X\\..").has_value());
    reg.undeletable.insert(ToLower("HKEY_LOCAL_MACHINE\\" + kU + "X"));
    EXPECT_TRUE(Run("X").failed);
}

TEST(Finish, OwnFileAndWininit) {
    const std::string own = "C:\\Program Files\\Tavix\\kivouninstall.exe";
    const std::string sys = "C:\\windows\\system32";
    struct Case {
        std::vector<std::string> others;
        bool deletable;
    } cases[] = {
        {{}, true},
        {{"C:\\Program Files\\Other\\kivouninstall.exe Other"}, true},
        {{"C:\\PROGRAM FILES\\TAVIX\\kivouninstall.exe Second"}, false},
        {{"\"C:\\Program Files\\Tavix\\kivouninstall.exe\" Second"}, false},
        {{"kivouninstall.exe Old"}, false},
        {{"C:\\windows\\system32\\kivouninstall.exe Old"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OwnFileDeletable(own, sys, c.others), c.deletable)
            << (c.others.empty() ? "" : c.others[0]);
    EXPECT_EQ(AddDeleteLine("[Rename]\r\nA=B\r\n", "C:\\x.dll"),
              "[Rename]\r\nNUL=C:\\x.dll\r\nA=B\r\n");
    EXPECT_EQ(AddDeleteLine("", "C:\\x.dll"), "[Rename]\r\nNUL=C:\\x.dll\r\n");
}

}  // namespace
