// The installation steps over an in-memory machine: the version rule, paths
// that leave their directory, the copy with files in use, the uninstall
// registration as the uninstaller reads it, Exit at every file with its
// rollback, cabinets, and the driver step on each system class.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include "setup/core/install.h"

namespace setup {
namespace {

struct FakeFile {
    std::string data;
    FileVersion version;
    uint64_t time = 0;
    bool locked = false;
};

class FakeHost : public Host {
public:
    std::map<std::string, FakeFile> files;  // keys upper-case
    std::set<std::string> dirs;
    std::map<std::string, RegData> values;  // "ROOT\KEY|NAME"
    std::set<std::string> keys;             // "ROOT\KEY"
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> cabinets;
    std::vector<std::string> calls;
    // File copies and look-ups, key probes and value writes, in order:
    // "copy TO", "exists PATH", "probe KEY", "write KEY|NAME".
    // The registry's come from the thread that writes the copy list's
    // records beside the copy.
    std::vector<std::string> ops;
    std::mutex opsLock;
    std::condition_variable opsChanged;
    void Op(std::string op) {
        std::lock_guard<std::mutex> lock(opsLock);
        ops.push_back(std::move(op));
        opsChanged.notify_all();
    }
    size_t cancelAt = static_cast<size_t>(-1);
    std::string locale = "00000409";

    static std::string K(const std::string& p) { return Upper(p); }
    static std::string R(Root r, const std::string& k) {
        return std::string(RootName(r)) + "\\" + Upper(k);
    }

    bool FileExists(const std::string& p) override {
        Op("exists " + K(p));
        return files.count(K(p)) != 0;
    }
    bool DirectoryExists(const std::string& p) override {
        return dirs.count(K(p)) != 0 || (p.size() == 2 && p[1] == ':');
    }
    int64_t FileSize(const std::string& p) override {
        auto it = files.find(K(p));
        return it == files.end() ? -1 : static_cast<int64_t>(it->second.data.size());
    }
    FileVersion Version(const std::string& p) override {
        auto it = files.find(K(p));
        return it == files.end() ? FileVersion{} : it->second.version;
    }
    uint64_t WriteTime(const std::string& p) override {
        auto it = files.find(K(p));
        return it == files.end() ? 0 : it->second.time;
    }
    bool MakeDirectory(const std::string& p) override {
        if (!DirectoryExists(DirectoryOfPath(p)))
            return false;
        dirs.insert(K(p));
        return true;
    }
    bool RemoveDirectory(const std::string& p) override {
        const std::string prefix = K(p) + "\\";
        for (const auto& [k, v] : files)
            if (k.rfind(prefix, 0) == 0)
                return false;
        for (const auto& d : dirs)
            if (d.rfind(prefix, 0) == 0)
                return false;
        return dirs.erase(K(p)) != 0;
    }
    CopyStatus CopyFile(const std::string& from, const std::string& to) override {
        Op("copy " + to);
        auto it = files.find(K(from));
        if (it == files.end())
            return kSourceMissing;
        if (!DirectoryExists(DirectoryOfPath(to)))
            return kFailed;
        auto t = files.find(K(to));
        if (t != files.end() && t->second.locked)
            return kFailed;
        FakeFile copy = it->second;
        copy.locked = false;
        files[K(to)] = copy;
        return kCopied;
    }
    bool DeleteFile(const std::string& p) override { return files.erase(K(p)) != 0; }
    std::vector<DirItem> List(const std::string& dir) override {
        std::vector<DirItem> out;
        const std::string prefix = K(dir) + "\\";
        for (const auto& [k, v] : files)
            if (k.rfind(prefix, 0) == 0 && k.find('\\', prefix.size()) == std::string::npos)
                out.push_back({k.substr(prefix.size()), false});
        for (const auto& d : dirs)
            if (d.rfind(prefix, 0) == 0 && d.find('\\', prefix.size()) == std::string::npos)
                out.push_back({d.substr(prefix.size()), true});
        return out;
    }
    std::string ScratchDirectory() override {
        dirs.insert("C:\\TEMP\\KEEP");
        return "C:\\TEMP\\KEEP";
    }
    bool KeyExists(Root r, const std::string& k) override {
        Op("probe " + k);
        return keys.count(R(r, k)) != 0;
    }
    KeyOutcome OpenOrCreateKey(Root r, const std::string& k) override {
        return keys.insert(R(r, k)).second ? kKeyCreated : kKeyExisted;
    }
    bool CreateKey(Root r, const std::string& k) override {
        keys.insert(R(r, k));
        return true;
    }
    bool ReadValue(Root r, const std::string& k, const std::string& n, RegData* d) override {
        auto it = values.find(R(r, k) + "|" + Upper(n));
        if (it == values.end())
            return false;
        *d = it->second;
        return true;
    }
    bool WriteValue(Root r, const std::string& k, const std::string& n, const RegData& d) override {
        Op("write " + k + "|" + n);
        keys.insert(R(r, k));
        values[R(r, k) + "|" + Upper(n)] = d;
        return true;
    }
    bool DeleteValue(Root r, const std::string& k, const std::string& n) override {
        return values.erase(R(r, k) + "|" + Upper(n)) != 0;
    }
    bool DeleteKey(Root r, const std::string& k) override {
        const std::string key = R(r, k);
        for (const auto& [name, v] : values)
            if (name.rfind(key + "|", 0) == 0)
                return false;
        for (const auto& other : keys)
            if (other.rfind(key + "\\", 0) == 0)
                return false;
        return keys.erase(key) != 0;
    }
    bool ListCabinet(const std::string& cab, std::vector<CabinetMember>* m) override {
        auto it = cabinets.find(K(cab));
        if (it == cabinets.end())
            return false;
        for (const auto& [name, data] : it->second)
            m->push_back({name, static_cast<uint32_t>(data.size())});
        return true;
    }
    bool ExtractCabinet(const std::string& cab,
                        const std::function<std::string(const std::string&)>& want,
                        const std::function<bool()>& before) override {
        auto it = cabinets.find(K(cab));
        if (it == cabinets.end())
            return false;
        for (const auto& [name, data] : it->second) {
            if (!before())
                return false;
            const std::string target = want(name);
            if (!target.empty())
                files[K(target)] = FakeFile{data, {}, 50, false};
        }
        return true;
    }
    void ShowCopy(const std::string&, const std::string&) override {}
    void SetPercent(int p) override { percent = p; }
    // Exit at file cancelAt; with cancelAfterARecord only once the thread
    // beside the copy has written a record, so that its part is rolled back.
    bool cancelAfterARecord = false;
    bool WaitPause(size_t file) override {
        if (file != cancelAt)
            return true;
        if (cancelAfterARecord) {
            std::unique_lock<std::mutex> lock(opsLock);
            opsChanged.wait_for(lock, std::chrono::seconds(10), [&] {
                return std::any_of(ops.begin(), ops.end(), [](const std::string& op) {
                    return op.rfind("write ", 0) == 0;
                });
            });
        }
        return false;
    }
    void EnterRegistryStage() override { calls.push_back("registry stage"); }
    void LeaveRegistryStage() override {}
    void CloseProgram(const std::string& c, const std::string& t) override {
        calls.push_back("close " + c + "|" + t);
    }
    std::string ShortcutFolder(int place) override {
        return place == 0 ? "C:\\DESKTOP" : place == 2 ? "C:\\PROGRAMS" : "C:\\START";
    }
    bool CreateLink(const Link& l) override {
        files[K(l.path)] = FakeFile{
            l.target + "|" + l.arguments + "|" + l.iconPath + "," + std::to_string(l.iconIndex),
            {},
            0,
            false};
        return true;
    }
    void RunAndWait(const std::string& c, const std::string& d, unsigned long ms) override {
        calls.push_back("run " + c + " in " + d + " " + std::to_string(ms));
    }
    void ShellOpen(const std::string& f, const std::string& a, const std::string& d) override {
        calls.push_back("open " + f + " " + a + " in " + d);
    }
    std::string UserLocale() override { return locale; }
    void Log(const std::string&) override {}

    int percent = -1;
};

class FakeDrivers : public DriverHost {
public:
    std::vector<std::string> calls;
    int update = 1, installed = 1, connected = 1;
    bool fixed = true;
    int UpdateDriver(const std::string& id, const std::string& inf, bool* reboot) override {
        calls.push_back("Update " + id + " " + inf);
        *reboot = true;
        return update;
    }
    std::string CopyOemInf(const std::string& src) override {
        calls.push_back("CopyOEM " + src);
        return "C:\\WIN\\inf\\oem3.inf";
    }
    int InstallPnP(const std::string& c, const std::string& inf, const std::string& p5,
                   const std::string& prov, const std::string& p4, int force, int cm) override {
        calls.push_back("InstallPnP " + c + " " + inf + " " + p5 + " " + prov + " " + p4 + " " +
                        std::to_string(force) + " " + std::to_string(cm));
        return installed;
    }
    int ConnectedDevices(const std::string& c, const std::string& p5,
                         const std::string& prov) override {
        calls.push_back("Connected " + c + " " + p5 + " " + prov);
        return connected;
    }
    void RemoveDeviceFromRegistry(const std::string& id) override {
        calls.push_back("Remove " + id);
    }
    bool OnFixedDisk(const std::string&) override { return fixed; }
    void Wait(unsigned long) override {}
};

// ---- Rules --------------------------------------------------------------------------

TEST(InstallRules, PathsThatLeaveTheirDirectoryAreRefused) {
    const struct {
        const char* path;
        bool ok;
    } cases[] = {{"a.exe", true},       {"bin\\tool.exe", true},   {"bin/x/y.dll", true},
                 {"..\\a.exe", false},  {"bin\\..\\..\\a", false}, {"C:\\a.exe", false},
                 {"c:a.exe", false},    {"\\a.exe", false},        {"/a", false},
                 {"", false},           {"bin\\\\a", false},       {"...\\a", false},
                 {"bin\\. \\a", false}, {"bin\\", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsContainedPath(c.path), c.ok) << c.path;
}

TEST(InstallRules, VersionOrderAndCopyDecision) {
    const FileVersion none{};
    const FileVersion v1{true, 0x0001000000000000ull, "1.0"};
    const FileVersion v2{true, 0x0002000000000000ull, "2.0"};
    const FileVersion text19{false, 0, "1.9"}, text110{false, 0, "1.10"};
    const struct {
        FileVersion src, dst;
        Order order;
    } cases[] = {{v2, v1, Order::kNewer},
                 {v1, v2, Order::kOlder},
                 {v1, v1, Order::kEqual},
                 {none, v1, Order::kEqual},
                 {v1, none, Order::kEqual},
                 {text110, text19, Order::kNewer},
                 {text19, text110, Order::kOlder},
                 {FileVersion{true, 5, "3.0"}, FileVersion{true, 5, "1.0"}, Order::kNewer},
                 {FileVersion{true, 4, "1.0"}, FileVersion{true, 5, "1.0"}, Order::kEqual}};
    for (const auto& c : cases)
        EXPECT_EQ(CompareVersions(c.src, c.dst), c.order) << c.src.text << " vs " << c.dst.text;
    EXPECT_TRUE(DecideCopy(false, Order::kOlder, 0, 9));
    EXPECT_TRUE(DecideCopy(true, Order::kNewer, 0, 9));
    EXPECT_FALSE(DecideCopy(true, Order::kOlder, 9, 0));
    EXPECT_TRUE(DecideCopy(true, Order::kEqual, 9, 5));
    EXPECT_FALSE(DecideCopy(true, Order::kEqual, 5, 5));
    EXPECT_EQ(TemporaryName("C:\\x.y\\app.dll", 0), "C:\\x.y\\app.0");
    EXPECT_EQ(TemporaryName("C:\\x.y\\README", 3), "C:\\x.y\\README.3");
}

// ---- The worker over a fake machine ---------------------------------------------------

struct Rig {
    MemoryProfile profile;
    FakeHost host;
    FakeDrivers drivers;
    InstallInput in;

    Rig() {
        in.dirs = {"C:\\MEDIA", "C:\\WIN", "C:\\WIN\\SYSTEM32", "C:\\PROGRAMS", "C:\\PF"};
        in.setupFile = "C:\\MEDIA\\SETUP.INI";
        for (const char* d : {"C:\\MEDIA", "C:\\MEDIA\\BIN", "C:\\WIN", "C:\\WIN\\SYSTEM32",
                              "C:\\PF", "C:\\PROGRAMS", "C:\\DESKTOP", "C:\\TEMP"})
            host.dirs.insert(d);
        for (Root root : {kHklm, kHkcu})
            host.keys.insert(FakeHost::R(root, "Software"));
    }
    void Setup(const std::string& text) {
        profile.Put(in.setupFile, text);
        in.settings = ReadSettings(profile, in.setupFile, in.dirs.setup);
    }
    void Source(const std::string& path, const std::string& data, FileVersion v = {},
                uint64_t time = 100) {
        host.files[Upper(path)] = FakeFile{data, v, time, false};
    }
    std::string Value(Root r, const std::string& key, const std::string& name) {
        auto it = host.values.find(FakeHost::R(r, key) + "|" + Upper(name));
        if (it == host.values.end())
            return "<none>";
        return Describe(it->second);
    }
};

const char kMedium[] =
    "[Setup]\n"
    "ProductName=Tavix Suite\n"
    "UninstallKey=TavixSuite\n"
    "[Kill Programs]\n"
    "1=KivoReplionClass,Brellmark\n"
    "[Copy Files]\n"
    "app.exe=%20%\\Tavix\n"
    "bin\\tool.exe=%20%\\Tavix\\bin,tool2.exe\n"
    "old.dll=%11%\n"
    "same.dll=%11%\n"
    "busy.dll=%11%\n"
    "kivouninstall.exe=%10%\n"
    "[Create Shortcut]\n"
    "1=app.exe,C:\\PF\\Tavix,2,Tavix,Tavix App,,-x,The app\n"
    "[Add Registry]\n"
    "1=1,HKLM,Software\\Tavix,Path,0,C:\\PF\\Tavix\n"
    "2=1,HKCU,Software\\Tavix,Size,1,0A\n"
    "3=0,HKLM,Software\\Tavix,Blob,1,01,02,ff\n"
    "[Add Registry Files]\n"
    "extra.reg=\n"
    "other.reg=00000407\n"
    "[Run Other Programs]\n"
    "post.exe=C:\\MEDIA,-a\n"
    "[Run Programs]\n"
    "show.exe=C:\\MEDIA,\n"
    "[Register Programs]\n"
    "x.dll=C:\\PF\\Tavix\n";

void FillMedium(Rig& r) {
    r.Setup(kMedium);
    r.Source("C:\\MEDIA\\app.exe", "app-v2", {true, 2, "2"});
    r.Source("C:\\MEDIA\\bin\\tool.exe", "tool");
    r.Source("C:\\MEDIA\\old.dll", "old-v1", {true, 1, "1"});
    r.Source("C:\\MEDIA\\same.dll", "same-new", {true, 3, "3"}, 100);
    r.Source("C:\\MEDIA\\busy.dll", "busy-new", {true, 9, "9"});
    r.Source("C:\\MEDIA\\kivouninstall.exe", "uninst");
    r.Source("C:\\MEDIA\\extra.reg", "REGEDIT4");
    r.Source("C:\\MEDIA\\other.reg", "REGEDIT4");
    // What the machine holds already.
    r.Source("C:\\WIN\\SYSTEM32\\old.dll", "old-v5", {true, 5, "5"});
    r.Source("C:\\WIN\\SYSTEM32\\same.dll", "same-old", {true, 3, "3"}, 500);
    r.Source("C:\\WIN\\SYSTEM32\\busy.dll", "busy-old", {true, 1, "1"});
    r.host.files["C:\\WIN\\SYSTEM32\\BUSY.DLL"].locked = true;
    r.host.values[FakeHost::R(kHklm, "Software\\Tavix") + "|PATH"] = TextData("before");
    r.host.keys.insert(FakeHost::R(kHklm, "Software\\Tavix"));
}

TEST(InstallRun, MediumInstallsAndRegistersWhatTheUninstallerReads) {
    Rig r;
    FillMedium(r);
    Installation inst(r.profile, r.host, r.drivers, r.in);
    inst.Run();
    auto& f = r.host.files;
    EXPECT_EQ(f["C:\\PF\\TAVIX\\APP.EXE"].data, "app-v2");
    EXPECT_EQ(f["C:\\PF\\TAVIX\\BIN\\TOOL2.EXE"].data, "tool");
    EXPECT_EQ(f["C:\\WIN\\SYSTEM32\\OLD.DLL"].data, "old-v5") << "older source never replaces";
    EXPECT_EQ(f["C:\\WIN\\SYSTEM32\\SAME.DLL"].data, "same-old") << "equal and not later";
    EXPECT_EQ(f["C:\\WIN\\SYSTEM32\\BUSY.DLL"].data, "busy-old");
    EXPECT_EQ(f["C:\\WIN\\SYSTEM32\\BUSY.0"].data, "busy-new");
    ASSERT_EQ(inst.temporaryCopies().size(), 1u);
    EXPECT_EQ(inst.temporaryCopies()[0].target, "C:\\WIN\\SYSTEM32\\busy.dll");
    EXPECT_EQ(inst.uninstallerDir(), "C:\\WIN");
    EXPECT_EQ(r.host.percent, 100);
    EXPECT_EQ(f["C:\\PROGRAMS\\TAVIX\\TAVIX APP.LNK"].data,
              "C:\\PF\\Tavix\\app.exe|-x|C:\\PF\\Tavix\\app.exe,1");

    const std::string u = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TavixSuite";
    EXPECT_EQ(r.Value(kHklm, u, "UninstallString"), "\"C:\\WIN\\kivouninstall.exe TavixSuite\"");
    EXPECT_EQ(r.Value(kHklm, u, "DisplayName"), "\"Tavix Suite\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteFiles", "app.exe"), "\"C:\\PF\\Tavix\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteFiles", "tool2.exe"), "\"C:\\PF\\Tavix\\bin\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteFiles", "old.dll"), "\"C:\\WIN\\SYSTEM32\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteFiles", "Tavix App.lnk"), "\"C:\\PROGRAMS\\Tavix\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteDirectory", "C:\\PF\\Tavix"), "\"1\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteDirectory", "C:\\PF\\Tavix\\bin"), "\"1\"");
    EXPECT_EQ(r.Value(kHklm, "Software\\Kivo\\Uninstall\\SharedFile\\app.exe", "TavixSuite"),
              "\"C:\\PF\\Tavix\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteRegs\\HKEY_LOCAL_MACHINE", "Software\\Tavix\\\\Path"),
              "\"Path\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteRegs\\HKEY_CURRENT_USER", "Software\\Tavix\\\\Size"),
              "\"Size\"");
    EXPECT_EQ(r.Value(kHklm, u + "\\DeleteRegs\\HKEY_LOCAL_MACHINE", "Software\\Tavix\\\\Blob"),
              "<none>")
        << "flag 0 keeps it at uninstall";
    EXPECT_EQ(r.Value(kHklm, "Software\\Kivo\\Uninstall\\SharedReg\\TavixSuite\\HKEY_CURRENT_USER",
                      "Software\\Tavix\\\\Size"),
              "\"Size\"");
    EXPECT_EQ(r.Value(kHklm, "Software\\Tavix", "Path"), "\"C:\\PF\\Tavix\"");
    EXPECT_EQ(r.Value(kHkcu, "Software\\Tavix", "Size"), "dword:0a,00,00,00");
    EXPECT_EQ(r.Value(kHklm, "Software\\Tavix", "Blob"), "hex:01,02,ff");

    const std::vector<std::string> calls = {
        "close KivoReplionClass|Brellmark",
        "registry stage",
        "run regedit /S \"C:\\MEDIA\\extra.reg\" in C:\\MEDIA 60000",
        "run C:\\MEDIA\\post.exe -a in C:\\MEDIA 15000",
        "open C:\\MEDIA\\show.exe  in C:\\MEDIA",
        "open Regsvr32.exe /s \"C:\\PF\\Tavix\\x.dll\" in "};
    EXPECT_EQ(r.host.calls, calls);
}

// Exit at each file of the copy list: the rollback leaves files and registry
// exactly as they were.
TEST(InstallRun, ExitAtEveryFileRollsBackToTheStateBefore) {
    for (size_t at = 0; at < 5; ++at) {
        Rig r;
        FillMedium(r);
        r.host.files["C:\\WIN\\SYSTEM32\\BUSY.DLL"].locked = false;
        // Older target: it is replaced, so its restoration is checked too.
        r.host.files["C:\\WIN\\SYSTEM32\\SAME.DLL"].time = 1;
        const auto files = r.host.files;
        const auto dirs = r.host.dirs;
        const auto values = r.host.values;
        const auto keys = r.host.keys;
        r.host.cancelAt = at;
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_TRUE(std::find(r.host.calls.begin(), r.host.calls.end(), "registry stage") ==
                    r.host.calls.end());
        inst.Rollback();
        std::map<std::string, std::string> want, got;
        for (const auto& [k, v] : files)
            want[k] = v.data;
        for (const auto& [k, v] : r.host.files)
            got[k] = v.data;
        EXPECT_EQ(got, want) << "exit at file " << at;
        EXPECT_EQ(r.host.dirs, dirs) << "exit at file " << at;
        EXPECT_EQ(r.host.values, values) << "exit at file " << at;
        EXPECT_EQ(r.host.keys, keys) << "exit at file " << at;
    }
}

// The copy step's uninstall records (DeleteFiles, SharedFile and
// DeleteDirectory) are written key by key, each key in one go: those of its
// files by a thread beside the copy, its directories' after the last file. A
// shared file's key is made without a probe. Exit stops the thread; rolled
// back, the registry is as it was before.
TEST(InstallRun, TheCopysRecordsAreWrittenKeyByKeyBesideItsFiles) {
    const std::string u = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TavixSuite";
    const struct {
        const char* what;
        bool earlier;  // an earlier installation left its records
        size_t cancelAt;
    } cases[] = {
        {"a first installation", false, static_cast<size_t>(-1)},
        {"over an earlier one", true, static_cast<size_t>(-1)},
        {"exit during the copy", false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool cancelled = c.cancelAt != static_cast<size_t>(-1);
        Rig r;
        FillMedium(r);
        if (c.earlier) {
            for (std::string k = u + "\\DeleteFiles"; k != "Software"; k = DirectoryOfPath(k))
                r.host.keys.insert(FakeHost::R(kHklm, k));
            r.host.values[FakeHost::R(kHklm, u + "\\DeleteFiles") + "|APP.EXE"] =
                TextData("C:\\OLD");
        }
        const auto values = r.host.values;
        const auto keys = r.host.keys;
        r.host.cancelAt = c.cancelAt;
        r.host.cancelAfterARecord = cancelled;
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        const auto& ops = r.host.ops;
        // The copy step's records, by key, in the order written.
        std::vector<std::string> keyOrder;
        size_t records = 0;
        for (const std::string& op : ops) {
            const bool copyRecord =
                op.rfind("write " + u + "\\Delete", 0) == 0 ||
                op.rfind("write Software\\Kivo\\Uninstall\\SharedFile\\", 0) == 0;
            if (!copyRecord || op.find(".lnk") != std::string::npos ||
                op.find("DeleteRegs") != std::string::npos ||
                op.find("\\PROGRAMS\\") != std::string::npos)
                continue;
            ++records;
            const std::string key = op.substr(6, op.find('|') - 6);
            if (keyOrder.empty() || keyOrder.back() != key) {
                EXPECT_EQ(std::count(keyOrder.begin(), keyOrder.end(), key), 0)
                    << key << " written in two goes";
                keyOrder.push_back(key);
            }
        }
        if (cancelled)
            EXPECT_GE(records, 1u) << "the thread had begun";
        else
            EXPECT_EQ(records, 14u);
        // Only the first shared file's key is probed for (its parent is not
        // known yet); the others are made in one step.
        EXPECT_LE(std::count_if(ops.begin(), ops.end(),
                                [](const std::string& op) {
                                    return op.rfind("probe Software\\Kivo\\Uninstall\\SharedFile\\",
                                                    0) == 0;
                                }),
                  1);
        if (!cancelled) {
            EXPECT_EQ(r.Value(kHklm, u + "\\DeleteFiles", "app.exe"), "\"C:\\PF\\Tavix\"");
        }
        inst.Rollback();
        EXPECT_EQ(r.host.values, values);
        EXPECT_EQ(r.host.keys, keys);
    }
}

// A copy target in a directory the run made is not looked up unless an
// earlier entry of the list put it there; the version rule still holds for
// every target that is there.
TEST(InstallRun, TargetsInADirectoryTheRunMadeAreNotLookedUp) {
    const struct {
        const char* what;
        bool there;         // the destination and an older a.dll are there
        std::string list;   // [Copy Files]
        size_t lookups;     // of targets under C:\PF\NEW
        std::string aData;  // what C:\PF\NEW\a.dll holds afterwards
    } cases[] = {
        {"a new directory", false, "a.dll=%20%\\New\nb.dll=%20%\\New\nc.dll=%20%\\New\n", 1,
         "a-v2"},
        {"the directory there", true, "a.dll=%20%\\New\nb.dll=%20%\\New\nc.dll=%20%\\New\n", 3,
         "a-v2"},
        {"a target listed twice", false, "a.dll=%20%\\New\nold\\a.dll=%20%\\New\n", 2, "a-v2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        r.Setup("[Setup]\nProductName=P\nUninstallKey=P\n[Copy Files]\n" + c.list);
        r.Source("C:\\MEDIA\\a.dll", "a-v2", {true, 2, "2"});
        r.Source("C:\\MEDIA\\old\\a.dll", "a-v1", {true, 1, "1"});
        r.Source("C:\\MEDIA\\b.dll", "b");
        r.Source("C:\\MEDIA\\c.dll", "c");
        r.host.dirs.insert("C:\\MEDIA\\OLD");
        if (c.there) {
            r.host.dirs.insert("C:\\PF\\NEW");
            r.Source("C:\\PF\\NEW\\a.dll", "a-v1", {true, 1, "1"});
        }
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_EQ(std::count_if(r.host.ops.begin(), r.host.ops.end(),
                                [](const std::string& op) {
                                    return op.rfind("exists C:\\PF\\NEW\\", 0) == 0;
                                }),
                  c.lookups);
        EXPECT_EQ(r.host.files["C:\\PF\\NEW\\A.DLL"].data, c.aData);
        EXPECT_EQ(inst.notInstalled().size(), 0u);
    }
}

TEST(InstallRun, RefusalsCabinetsAndEmptyLists) {
    {  // More than 256 entries: nothing is copied, the list is not cut.
        Rig r;
        std::string text = "[Setup]\nUninstallKey=K\n[Copy Files]\n";
        for (int i = 0; i < 257; ++i)
            text += "f" + std::to_string(i) + ".txt=C:\\PF\\X\n";
        r.Setup(text);
        for (int i = 0; i < 257; ++i)
            r.Source("C:\\MEDIA\\f" + std::to_string(i) + ".txt", "x");
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_TRUE(inst.refusedList());
        EXPECT_FALSE(r.host.FileExists("C:\\PF\\X\\f0.txt"));
        EXPECT_TRUE(r.host.values.empty());
    }
    {  // Keys and destinations that leave their directory are refused.
        Rig r;
        r.Setup(
            "[Copy Files]\n..\\secret.txt=C:\\PF\nok.txt=C:\\PF,..\\..\\evil.txt\n"
            "a.txt=C:\\PF\n");
        r.Source("C:\\secret.txt", "s");
        r.Source("C:\\MEDIA\\ok.txt", "o");
        r.Source("C:\\MEDIA\\a.txt", "a");
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_EQ(inst.copyList().refused.size(), 2u);
        EXPECT_FALSE(r.host.FileExists("C:\\PF\\secret.txt"));
        EXPECT_FALSE(r.host.FileExists("C:\\evil.txt"));
        EXPECT_TRUE(r.host.FileExists("C:\\PF\\a.txt"));
    }
    {  // A cabinet: members by name, the unsafe one refused, directory removed.
        Rig r;
        r.Setup(
            "[Setup]\nCabFile=TRUE\nCabFileName=data.cab\nUninstallKey=K\n"
            "[Copy Files]\none.txt=C:\\PF\\C\nbin\\tool.exe=C:\\PF\\C\n");
        r.host.cabinets["C:\\MEDIA\\DATA.CAB"] = {
            {"ONE.TXT", "one"}, {"..\\one.txt", "evil"}, {"skip.txt", "s"}};
        r.Source("C:\\MEDIA\\bin\\tool.exe", "tool");
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_EQ(r.host.files["C:\\PF\\C\\ONE.TXT"].data, "one");
        EXPECT_TRUE(r.host.FileExists("C:\\PF\\C\\tool.exe"));
        EXPECT_FALSE(r.host.DirectoryExists("C:\\WIN\\_KivoTempDir0"));
        EXPECT_EQ(inst.resultCode(), 0);
    }
    {  // A cabinet that cannot be read: result 3 and nothing left behind.
        Rig r;
        r.Setup(
            "[Setup]\nCabFile=TRUE\nCabFileName=gone.cab\nUninstallKey=K\nAskPath=TRUE\n"
            "[Copy Files]\none.txt=C:\\PF\\C\n[Add Registry]\n1=1,HKLM,Software\\T,V,0,x\n");
        r.in.installDir = "C:\\PF\\Inst";
        const auto dirs = r.host.dirs;
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_EQ(inst.resultCode(), kResultCabinetFailed);
        EXPECT_EQ(r.host.dirs, dirs);
        EXPECT_TRUE(r.host.values.empty());
        EXPECT_TRUE(r.host.calls.empty()) << "nothing after the copy step runs";
    }
    {  // No uninstall key, empty copy list: progress 100, no uninstall records.
        Rig r;
        r.Setup(
            "[Add Registry]\n1=1,HKLM,Software\\T,V,0,x\n"
            "[Create Shortcut]\n1=a.exe,C:\\PF,0,,A\n");
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.Run();
        EXPECT_EQ(r.host.percent, 100);
        EXPECT_EQ(r.host.values.size(), 1u);
        EXPECT_FALSE(r.host.FileExists("C:\\DESKTOP\\A.lnk"));
    }
}

// ---- Driver step ------------------------------------------------------------------------

TEST(InstallDrivers, PassesBySystemClass) {
    const char kDrivers[] =
        "[Setup]\nProductName=A/B\n"
        "[Update Driver]\n"
        "1=Image,cam.inf,Prov,p4,p5,,,0,USB\\VID_0001&PID_0002,drv\\\n"
        "2=Unknown,unk.inf,Prov,,,,,TRUE,ROOT\\X,\n"
        "[Update Driver 1]\n"
        "1=Ports,p.inf,Prov,a,b,,,1,ID1,\n"
        "[Update Driver 3]\n"
        "1=Never,n.inf,,,,,,,N,\n";
    const OsVersion xp{2, 5, 1}, me{1, 4, 90}, w98{1, 4, 10};
    const struct {
        const char* name;
        OsVersion os;
        int update;
        int connected;
        std::vector<std::string> calls;
    } cases[] = {
        {"XP, first pass installs",
         xp,
         1,
         1,
         {"Update USB\\VID_0001&PID_0002 C:\\MEDIA\\drv\\cam.inf",
          "Update ROOT\\X C:\\MEDIA\\unk.inf", "Update ID1 C:\\MEDIA\\p.inf"}},
        {"XP, nothing installed: INF copied once per section",
         xp,
         0,
         1,
         {"Update USB\\VID_0001&PID_0002 C:\\MEDIA\\drv\\cam.inf",
          "Update ROOT\\X C:\\MEDIA\\unk.inf", "CopyOEM C:\\MEDIA\\drv\\cam.inf",
          "Update ID1 C:\\MEDIA\\p.inf", "CopyOEM C:\\MEDIA\\p.inf"}},
        {"ME, both passes",
         me,
         1,
         1,
         {"Update USB\\VID_0001&PID_0002 C:\\MEDIA\\drv\\cam.inf",
          "CopyOEM C:\\MEDIA\\drv\\cam.inf", "Remove ROOT\\X", "Update ID1 C:\\MEDIA\\p.inf",
          "CopyOEM C:\\MEDIA\\p.inf"}},
        {"98, companion library",
         w98,
         1,
         0,
         {"InstallPnP Image C:\\MEDIA\\drv\\cam.inf p5 Prov p4 0 1", "Connected Image p5 Prov",
          "Remove ROOT\\X", "InstallPnP Ports C:\\MEDIA\\p.inf b Prov a 1 1",
          "Connected Ports b Prov"}},
    };
    for (const auto& c : cases) {
        Rig r;
        r.Setup(kDrivers);
        r.in.os = c.os;
        r.drivers.update = c.update;
        r.drivers.connected = c.connected;
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.InstallDrivers();
        EXPECT_EQ(r.drivers.calls, c.calls) << c.name;
        EXPECT_TRUE(inst.reenumerate()) << c.name;
        EXPECT_EQ(inst.driverRestart(), c.update == 1 && !c.os.Is9x() ? true : c.os.IsME())
            << c.name;
    }
    {  // Not on a fixed disk: the tree is copied to Program Files\<product>.
        Rig r;
        r.Setup(kDrivers);
        r.in.os = xp;
        r.drivers.update = 0;
        r.drivers.fixed = false;
        r.Source("C:\\MEDIA\\drv\\cam.inf", "inf");
        r.host.dirs.insert("C:\\MEDIA\\DRV");
        r.host.dirs.insert("C:\\MEDIA\\DIRECTX");
        r.Source("C:\\MEDIA\\DirectX\\dx.exe", "dx");
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.InstallDrivers();
        EXPECT_TRUE(r.host.FileExists("C:\\PF\\A.B\\drv\\cam.inf"));
        EXPECT_FALSE(r.host.FileExists("C:\\PF\\A.B\\DirectX\\dx.exe"));
        EXPECT_EQ(r.drivers.calls[2], "CopyOEM C:\\PF\\A.B\\drv\\cam.inf");
    }
    {  // Preload: the second pass registers the preload program instead of the INF.
        Rig r;
        r.Setup(kDrivers);
        r.in.os = xp;
        r.in.flags.preload = true;
        r.drivers.update = 0;
        Installation inst(r.profile, r.host, r.drivers, r.in);
        inst.InstallDrivers();
        EXPECT_EQ(r.Value(kHklm, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                          "Media Preload Check"),
                  "\"C:\\MEDIA\\Preload.exe /DEVID:ID1 /CLASS:Ports "
                  "/RunValue:\"Media Preload Check\"\"")
            << "one value: the last entry's";
        for (const auto& call : r.drivers.calls)
            EXPECT_EQ(call.rfind("CopyOEM", 0), std::string::npos) << call;
    }
    {  // Empty first section: the step ends at once.
        Rig r;
        r.Setup("[Update Driver]\n[Update Driver 1]\n1=Ports,p.inf,,,,,,,ID,\n");
        r.in.os = xp;
        Installation inst(r.profile, r.host, r.drivers, r.in);
        EXPECT_EQ(inst.InstallDrivers(), 0);
        EXPECT_TRUE(r.drivers.calls.empty());
        EXPECT_FALSE(inst.reenumerate());
    }
}

}  // namespace
}  // namespace setup
