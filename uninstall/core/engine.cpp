#include "uninstall/core/engine.h"

#include <algorithm>

#include "ui/rules/system_rules.h"
#include "uninstall/core/command_line.h"

namespace uninst {

namespace {
constexpr Root kLM = Root::kLocalMachine;
constexpr int kMaxDepth = 64;

std::string Key(const std::string& path) {
    return ToLower(NormalPath(path));
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && EqualNoCase(s.substr(s.size() - tail.size()), tail);
}

// A registry path without separators at its ends and without doubled ones.
std::string CleanKeyPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\'))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

// A file name of a DeleteFiles value that names a file in its directory, not
// a way out of it.
bool PlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}
}  // namespace

std::string ResolveDirectory(const Places& places, const std::string& where) {
    if (where.empty() || where == "%11%")
        return places.system;
    if (where == "%99%")
        return places.home;
    std::string folder;
    if (where.size() > 2 && where.front() == '%' && where.back() == '%' &&
        shared::WindowsFolder(places.windows, where.substr(1, where.size() - 2), &folder))
        return folder;
    if (places.strings) {
        const std::string s = places.strings(where);
        if (!s.empty())
            return s;
    }
    return where;
}

bool IsFamilyFile(const std::string& fileName) {
    static const char* const kFamily[] = {"kivouninstall.exe", "kivosetup.dll",  "Uninstal.ini",
                                          "lumodxhlp.dll",     "kivouninst.exe", "kivosetup.exe"};
    for (const char* f : kFamily)
        if (EqualNoCase(fileName, f))
            return true;
    return false;
}

bool ProtectedKey(Root root, const std::string& path) {
    std::string p = ToLower(CleanKeyPath(path));
    if (p.empty())
        return true;
    if (root == Root::kUsers) {
        // A user's hive, then the same keys as in the current user's.
        const size_t slash = p.find('\\');
        if (slash == std::string::npos)
            return true;
        p = p.substr(slash + 1);
        root = Root::kCurrentUser;
    }
    static const char* const kClasses[] = {"*",       "clsid",     "interface", "typelib",
                                           "appid",   "directory", "folder",    "drive",
                                           "exefile", "lnkfile",   "mime",      "protocols"};
    if (root == Root::kClassesRoot) {
        for (const char* k : kClasses)
            if (p == k)
                return true;
        return false;
    }
    static const char* const kKeys[] = {
        "software",
        "software\\classes",
        "software\\microsoft",
        "software\\microsoft\\windows",
        "software\\microsoft\\windows\\currentversion",
        "software\\microsoft\\windows\\currentversion\\uninstall",
        "software\\microsoft\\windows\\currentversion\\run",
        "software\\microsoft\\windows\\currentversion\\runonce",
        "software\\microsoft\\windows nt",
        "software\\microsoft\\windows nt\\currentversion",
        "software\\kivo",
        "software\\policies",
        "software\\wow6432node",
        "system",
        "system\\currentcontrolset",
        "system\\controlset001",
        "system\\controlset002",
        "hardware",
        "sam",
        "security",
        "control panel",
        "environment",
    };
    for (const char* k : kKeys)
        if (p == k)
            return true;
    // The shared records are the uninstaller's own bookkeeping.
    if (p.rfind("software\\kivo\\uninstall", 0) == 0)
        return true;
    if (p.rfind("software\\classes\\", 0) == 0)
        return ProtectedKey(Root::kClassesRoot, p.substr(17));
    return false;
}

RegTarget TargetOf(const RegRecord& record) {
    std::string name = record.name;
    while (!name.empty() && name.back() == '@')
        name.pop_back();
    RegTarget t;
    if (!record.data.empty() && record.data != "0") {
        const size_t cut = name.rfind("\\\\");
        t.key = CleanKeyPath(cut == std::string::npos ? name : name.substr(0, cut));
        t.value = record.data;
        t.wholeKey = false;
    } else {
        t.key = CleanKeyPath(name);
    }
    return t;
}

Uninstaller::Uninstaller(Registration r, Registry& reg, Files& files, Host& host, Places places)
    : r_(std::move(r)), reg_(reg), files_(files), host_(host), places_(std::move(places)) {
    out_.needRestart = r_.needRestart;
}

void Uninstaller::Run() {
    for (int step = 1; step <= 6; ++step) {
        Step(step);
        host_.StepFinished(step);
    }
}

void Uninstaller::Step(int step) {
    switch (step) {
        case 1:
            Drivers();
            break;
        case 2:
            Programs();
            break;
        case 3:
            ProgramFolders();
            break;
        case 4:
            DeleteFiles();
            break;
        case 5:
            Directories();
            break;
        case 6:
            Registry_();
            break;
        default:
            break;
    }
}

// ---- Steps 1 to 3 -------------------------------------------------------------

void Uninstaller::Drivers() {
    for (const auto& d : r_.restoreDrivers) {
        host_.Log("restore driver " + d.name + "=" + d.data);
        host_.RestoreDeviceDriver(d.name, d.data, r_.callConfigMg);
    }
    for (const auto& d : r_.deleteDevices) {
        const int n = host_.RemoveDeviceDriver(d.name, d.data);
        host_.Log("remove driver " + d.name + "=" + d.data + ": " + std::to_string(n));
        if (n > 0)
            out_.driversRemoved += n;
    }
}

void Uninstaller::Programs() {
    for (const auto& w : r_.closeWindows)
        if (!w.windowClass.empty() || !w.caption.empty())
            host_.CloseProgram(w);
    for (const auto& u : r_.unregProgram)
        host_.Unregister(Join(u.data, u.name));
    host_.Sleep(1000);
    for (const auto& a : r_.closeApps)
        if (!a.file.empty())
            host_.RunAndWait(a.parameters.empty() ? a.file : a.file + " " + a.parameters, 15000);
}

void Uninstaller::ProgramFolders() {
    for (const auto& f : r_.deleteProgramFolder)
        host_.Log("program folder listed: " + f.name);
}

// ---- Step 4: files ------------------------------------------------------------

void Uninstaller::DeleteFiles() {
    for (const auto& f : r_.deleteFiles)
        DeleteOneFile(f);
}

bool Uninstaller::SharedFile(const std::string& name, const std::string& dir, bool* recorded) {
    const std::string record = std::string(kSharedFileKey) + "\\" + name;
    std::string ours;
    *recorded = ReadText(reg_, kLM, record, r_.key, &ours) &&
                SamePath(ResolveDirectory(places_, ours), dir);
    if (!reg_.KeyExists(kLM, record))
        return false;
    reg_.DeleteValue(kLM, record, r_.key);
    const auto rest = reg_.Values(kLM, record);
    if (rest.empty()) {
        reg_.DeleteTree(kLM, record);
        return false;
    }
    // Another product's value for the same file (same name in the same
    // directory): a namesake elsewhere is not this file.
    for (const auto& v : rest)
        if (SamePath(ResolveDirectory(places_, v.data), dir))
            return true;
    return false;
}

std::set<std::string> Uninstaller::Keepers(const std::string& name, const std::string& dir) {
    std::set<std::string> keepers;
    for (const auto& v : reg_.Values(kLM, std::string(kSharedFileKey) + "\\" + name))
        if (!EqualNoCase(v.name, r_.key) && SamePath(ResolveDirectory(places_, v.data), dir))
            keepers.insert(v.name);
    return keepers;
}

void Uninstaller::HandOver(const std::string& dir, const std::string& data,
                           const std::set<std::string>& keepers) {
    for (const auto& product : keepers) {
        const std::string u = std::string(kUninstallKeys) + "\\" + product;
        // Only to a product that is still registered: a stale record names
        // nobody who could remove the directory.
        if (EqualNoCase(product, r_.key) || !reg_.KeyExists(kLM, u))
            continue;
        std::string old;
        if (ReadText(reg_, kLM, u + "\\DeleteDirectory", dir, &old))
            continue;
        if (reg_.SetText(kLM, u + "\\DeleteDirectory", dir, data))
            host_.Log("directory " + dir + " passed to " + product + ", which keeps files in it");
    }
}

void Uninstaller::DeleteOneFile(const NameData& file) {
    const std::string& name = file.name;
    const std::string dir = ResolveDirectory(places_, file.data);
    const std::string path = Join(dir, name);
    if (!PlainFileName(name)) {
        out_.refused.push_back({Refusal::kFile, path});
        host_.Log("refused: file name " + name + " in " + dir);
        return;
    }
    bool recorded = false;
    const bool shared = SharedFile(name, dir, &recorded);
    // A file directly in a protected folder (the system folder, the Windows
    // folder, a profile...) goes only when the installer recorded it as this
    // product's copy.
    if (places_.protection.Protects(path) || files_.IsDirectory(path) ||
        (places_.protection.Protects(dir) && !recorded)) {
        out_.refused.push_back({Refusal::kFile, path});
        host_.Log("refused: " + path + " is not a file of the product");
        return;
    }
    const bool own = EqualNoCase(name, places_.ownFileName);
    const bool family = IsFamilyFile(name);
    bool remove = false;
    if (!shared || yesToAll_) {
        if (own) {
            out_.ownFile = path;
            host_.Log("own file " + path + ": deleted at the end");
            return;
        }
        remove = !(shared && family);
    } else if (!noToAll_ && !own && !family) {
        const SharedAnswer a = host_.AskShared(name, dir);
        yesToAll_ = a == SharedAnswer::kYesToAll;
        noToAll_ = a == SharedAnswer::kNoToAll;
        remove = a == SharedAnswer::kYes || a == SharedAnswer::kYesToAll;
        host_.Log("shared " + path + ": " + (remove ? "delete" : "keep"));
    }
    if (!remove) {
        kept_.insert(Key(path));
        host_.Log("kept " + path);
        return;
    }
    Remove(path);
    const std::string stem = path.substr(0, path.size() - 4);
    if (EndsWithNoCase(path, ".hlp")) {
        Remove(stem + ".cnt");
        Remove(stem + ".gid");
    } else if (EndsWithNoCase(path, ".inf")) {
        Remove(stem + ".pnf");
    }
}

void Uninstaller::Remove(const std::string& path) {
    switch (files_.DeleteFile(path)) {
        case Files::Deleted::kDone:
            host_.Log("deleted " + path);
            break;
        case Files::Deleted::kNotFound:
            break;
        case Files::Deleted::kFailed:
            host_.Log("in use, deleted at restart: " + path);
            if (std::find_if(out_.restartList.begin(), out_.restartList.end(),
                             [&](const std::string& p) { return SamePath(p, path); }) ==
                out_.restartList.end())
                out_.restartList.push_back(path);
            out_.needRestart = true;
            break;
    }
}

// ---- Step 5: directories ------------------------------------------------------

void Uninstaller::Directories() {
    for (const auto& d : r_.deleteDirectory) {
        if (places_.protection.Protects(d.name)) {
            out_.refused.push_back({Refusal::kFolder, d.name});
            host_.Log("refused: directory " + d.name);
            continue;
        }
        const std::string dir = NormalPath(d.name);
        keepers_.clear();
        if (d.data == "1") {
            RemoveTree(dir);
        } else if (files_.RemoveDirectory(dir)) {
            host_.Log("removed empty " + dir);
        } else {
            for (const auto& e : files_.List(dir))
                if (!e.directory)
                    for (const auto& k : Keepers(e.name, dir))
                        keepers_.insert(k);
        }
        if (files_.IsDirectory(dir))
            HandOver(d.name, d.data, keepers_);
        RemoveEmptyParents(dir);
    }
    for (const auto& d : r_.cleanDirectory) {
        if (places_.protection.Protects(d.name)) {
            out_.refused.push_back({Refusal::kFolder, d.name});
            host_.Log("refused: directory " + d.name);
            continue;
        }
        if (files_.RemoveDirectory(NormalPath(d.name)))
            host_.Log("removed empty " + d.name);
    }
}

void Uninstaller::RemoveTree(const std::string& dir) {
    std::vector<std::pair<std::string, int>> stack{{dir, 0}};
    std::vector<std::string> dirs;  // in the order entered: removed backwards
    while (!stack.empty()) {
        const auto [d, depth] = stack.back();
        stack.pop_back();
        if (!files_.IsDirectory(d))
            continue;
        dirs.push_back(d);
        for (const auto& e : files_.List(d)) {
            const std::string path = Join(d, e.name);
            if (e.directory && !e.link) {
                if (depth + 1 < kMaxDepth)
                    stack.push_back({path, depth + 1});
            } else if (e.directory) {
                files_.RemoveDirectory(path);  // the link, not what it points to
            } else if (const auto keepers = Keepers(e.name, d);
                       kept_.count(Key(path)) != 0 || !keepers.empty()) {
                keepers_.insert(keepers.begin(), keepers.end());
                host_.Log("kept in tree " + path);
            } else {
                Remove(path);
            }
        }
    }
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it)
        files_.RemoveDirectory(*it);
    host_.Log(files_.Exists(dir) ? "tree partly kept " + dir : "removed tree " + dir);
}

void Uninstaller::RemoveEmptyParents(const std::string& dir) {
    for (std::string p = ParentPath(dir); !p.empty() && !places_.protection.Protects(p);
         p = ParentPath(p)) {
        if (!files_.IsDirectory(p) || !files_.List(p).empty() || !files_.RemoveDirectory(p))
            break;
        host_.Log("removed empty parent " + p);
    }
}

// ---- Step 6: registry ---------------------------------------------------------

bool Uninstaller::SharedRegByOther(const RegRecord& record) {
    for (const auto& product : reg_.Subkeys(kLM, kSharedRegKey)) {
        if (EqualNoCase(product, r_.key))
            continue;
        const std::string k = std::string(kSharedRegKey) + "\\" + product + "\\" + record.rootName;
        for (const auto& v : reg_.Values(kLM, k))
            if (EqualNoCase(v.name, record.name) && v.data == record.data)
                return true;
    }
    return false;
}

void Uninstaller::DeleteRegRecord(const RegRecord& record) {
    const Root root = RootFromName(record.rootName);
    const std::string own = std::string(kSharedRegKey) + "\\" + r_.key + "\\" + record.rootName;
    reg_.DeleteValue(kLM, own, record.name);
    if (SharedRegByOther(record)) {
        host_.Log("registry record shared, kept: " + record.name);
        return;
    }
    const RegTarget t = TargetOf(record);
    const std::string where = std::string(RootName(root)) + "\\" + t.key;
    const std::string lowerKey = ToLower(t.key);
    const std::string uninstallPrefix = ToLower(std::string(kUninstallKeys)) + "\\";
    const bool otherProduct = root == kLM && lowerKey.rfind(uninstallPrefix, 0) == 0 &&
                              !EqualNoCase(t.key, r_.path) &&
                              !StartsWithNoCase(t.key, r_.path + "\\");
    if ((t.wholeKey && ProtectedKey(root, t.key)) || otherProduct) {
        out_.refused.push_back({Refusal::kRegistry, where});
        host_.Log("refused: registry key " + where);
        return;
    }
    if (t.wholeKey) {
        reg_.DeleteTree(root, t.key);
        host_.Log("deleted key " + where);
        const size_t slash = t.key.find_last_of('\\');
        RemoveEmptyKeys(root, slash == std::string::npos ? std::string() : t.key.substr(0, slash));
    } else {
        reg_.DeleteValue(root, t.key, t.value);
        host_.Log("deleted value " + where + " " + t.value);
        RemoveEmptyKeys(root, t.key);
    }
}

// The keys that held only what the product wrote: removed upward as long as
// they are empty, never a protected one (the registration names values, not
// the keys the installation made for them).
void Uninstaller::RemoveEmptyKeys(Root root, std::string key) {
    // The family's own keys ("Software\Kivo" and below) go when empty; no
    // registration may delete them.
    const auto keep = [root](const std::string& k) {
        const std::string lower = ToLower(k);
        const bool family = lower == "software\\kivo" || lower.rfind("software\\kivo\\", 0) == 0;
        return ProtectedKey(root, k) && !family;
    };
    for (int n = 0; n < kMaxDepth && !key.empty() && !keep(key); ++n) {
        if (reg_.KeyExists(root, key)) {
            if (!KeyIsEmpty(reg_, root, key) || !reg_.DeleteKey(root, key))
                return;
            host_.Log(std::string("removed empty key ") + RootName(root) + "\\" + key);
        }
        const size_t slash = key.find_last_of('\\');
        key = slash == std::string::npos ? std::string() : key.substr(0, slash);
    }
}

void Uninstaller::CleanKey(Root root, const std::string& path) {
    std::vector<std::pair<std::string, int>> stack{{path, 0}};
    std::vector<std::string> keys;
    while (!stack.empty()) {
        const auto [k, depth] = stack.back();
        stack.pop_back();
        keys.push_back(k);
        if (depth + 1 < kMaxDepth)
            for (const auto& sub : reg_.Subkeys(root, k))
                stack.push_back({k + "\\" + sub, depth + 1});
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        if (reg_.KeyExists(root, *it) && KeyIsEmpty(reg_, root, *it))
            reg_.DeleteKey(root, *it);
}

void Uninstaller::Registry_() {
    for (const auto& rec : r_.deleteRegs)
        DeleteRegRecord(rec);
    const std::string own = std::string(kSharedRegKey) + "\\" + r_.key;
    if (reg_.KeyExists(kLM, own)) {
        for (const auto& root : reg_.Subkeys(kLM, own))
            if (KeyIsEmpty(reg_, kLM, own + "\\" + root))
                reg_.DeleteKey(kLM, own + "\\" + root);
        if (KeyIsEmpty(reg_, kLM, own))
            reg_.DeleteKey(kLM, own);
    }
    for (const auto& rec : r_.cleanRegs) {
        const Root root = RootFromName(rec.rootName);
        const std::string key = CleanKeyPath(rec.name);
        if (ProtectedKey(root, key)) {
            out_.refused.push_back({Refusal::kRegistry, std::string(RootName(root)) + "\\" + key});
            continue;
        }
        if (reg_.KeyExists(root, key))
            CleanKey(root, key);
    }
    // The shared records' keys, once the last product's records are gone.
    RemoveEmptyKeys(kLM, kSharedFileKey);
    RemoveEmptyKeys(kLM, kSharedRegKey);
    if (!reg_.DeleteTree(kLM, r_.path)) {
        out_.failed = true;
        host_.Log("cannot delete " + r_.path);
    }
}

// ---- Finish -------------------------------------------------------------------

bool OwnFileDeletable(const std::string& ownFile, const std::string& systemDir,
                      const std::vector<std::string>& otherUninstallStrings) {
    const std::string name = FileNameOf(ownFile);
    for (std::string s : otherUninstallStrings) {
        if (!s.empty() && s[0] == '"')
            s.erase(0, 1);
        if (StartsWithNoCase(s, ownFile) || StartsWithNoCase(s, name) ||
            StartsWithNoCase(s, Join(systemDir, name)) ||
            SamePath(SplitUninstallString(s).program, ownFile))
            return false;
    }
    return true;
}

std::string AddDeleteLine(const std::string& wininit, const std::string& path) {
    return shared::AddRenameLine(wininit, "NUL", path);
}

}  // namespace uninst
