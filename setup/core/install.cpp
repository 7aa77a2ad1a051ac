#include "setup/core/install.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace setup {

namespace {

constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kKivoUninstall[] = "Software\\Kivo\\Uninstall\\";

std::string Field(const std::vector<std::string>& f, size_t i) {
    return i < f.size() ? f[i] : std::string();
}

std::vector<std::string> SplitVersion(const std::string& s) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == '.' || c == ',') {
            parts.push_back(cur);
            cur.clear();
        } else if (c != ' ' && c != '\t') {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

bool AllDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

}  // namespace

// ---- Registry data -----------------------------------------------------------

namespace {
// The roots a setup file names by their short names; any other is HKEY_USERS.
constexpr struct {
    Root root;
    const char* shortName;
    const char* name;
} kNamedRoots[] = {
    {kHklm, "HKLM", "HKEY_LOCAL_MACHINE"},
    {kHkcu, "HKCU", "HKEY_CURRENT_USER"},
    {kHkcr, "HKCR", "HKEY_CLASSES_ROOT"},
};
}  // namespace

Root RootFromText(const std::string& text) {
    for (const auto& r : kNamedRoots)
        if (EqualNoCase(text, r.shortName))
            return r.root;
    return kHku;
}

const char* RootName(Root root) {
    for (const auto& r : kNamedRoots)
        if (r.root == root)
            return r.name;
    return "HKEY_USERS";
}

RegData TextData(const std::string& text) {
    RegData d;
    d.type = RegData::kSz;
    d.bytes.assign(text.begin(), text.end());
    d.bytes.push_back(0);
    return d;
}

RegData DwordData(uint32_t value) {
    RegData d;
    d.type = RegData::kDword;
    for (int i = 0; i < 4; ++i)
        d.bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return d;
}

RegData BinaryData(const std::vector<uint8_t>& bytes) {
    RegData d;
    d.type = RegData::kBinary;
    d.bytes = bytes;
    return d;
}

RegData DataOf(const RegistryValue& v) {
    switch (v.kind) {
        case RegistryValue::kDword:
            return DwordData(v.dword);
        case RegistryValue::kBinary:
            return BinaryData(v.bytes);
        default:
            return TextData(v.text);
    }
}

std::string Describe(const RegData& d) {
    if (d.type == RegData::kSz) {
        std::string s(d.bytes.begin(), d.bytes.end());
        while (!s.empty() && s.back() == '\0')
            s.pop_back();
        return "\"" + s + "\"";
    }
    std::string out = d.type == RegData::kDword ? "dword:" : "hex:";
    char b[4];
    for (size_t i = 0; i < d.bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%02x", d.bytes[i]);
        if (i != 0)
            out += ',';
        out += b;
    }
    return out;
}

// ---- Versions ----------------------------------------------------------------

int CompareVersionText(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return -2;
    const auto pa = SplitVersion(a), pb = SplitVersion(b);
    for (size_t i = 0; i < pa.size() || i < pb.size(); ++i) {
        const std::string x = i < pa.size() ? pa[i] : "0";
        const std::string y = i < pb.size() ? pb[i] : "0";
        if (AllDigits(x) && AllDigits(y)) {
            const unsigned long long nx = std::strtoull(x.c_str(), nullptr, 10);
            const unsigned long long ny = std::strtoull(y.c_str(), nullptr, 10);
            if (nx != ny)
                return nx < ny ? -1 : 1;
        } else {
            const std::string ux = Upper(x), uy = Upper(y);
            if (ux != uy)
                return ux < uy ? -1 : 1;
        }
    }
    return 0;
}

Order CompareVersions(const FileVersion& source, const FileVersion& target) {
    const int fixed = source.hasFixed && target.hasFixed ? (source.fixed == target.fixed  ? 0
                                                            : source.fixed < target.fixed ? -1
                                                                                          : 1)
                                                         : -2;
    const int text = CompareVersionText(source.text, target.text);
    if (fixed == 1 || text == 1)
        return Order::kNewer;
    if (fixed == 0 || text == 0 || (fixed == -2 && text == -2))
        return Order::kEqual;
    return Order::kOlder;
}

bool DecideCopy(bool targetExists, Order order, uint64_t sourceTime, uint64_t targetTime) {
    if (!targetExists)
        return true;
    switch (order) {
        case Order::kNewer:
            return true;
        case Order::kEqual:
            return sourceTime > targetTime;
        default:
            return false;
    }
}

// ---- Paths -------------------------------------------------------------------

bool IsContainedPath(const std::string& relative) {
    if (relative.empty() || relative.front() == '\\' || relative.front() == '/')
        return false;
    if (relative.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (true) {
        const size_t end = relative.find_first_of("\\/", start);
        const std::string part = relative.substr(start, end - start);
        // Windows drops trailing dots and blanks: "..." and ". ." name the parent too.
        std::string trimmed = part;
        while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' '))
            trimmed.pop_back();
        if (part.empty() || trimmed.empty())
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

std::string TemporaryName(const std::string& target, int n) {
    const size_t slash = target.find_last_of('\\');
    const size_t dot = target.find_last_of('.');
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? target.substr(0, dot)
                                 : target;
    return stem + "." + std::to_string(n);
}

// ---- Copy list -----------------------------------------------------------------

std::string CopyEntry::TargetPath() const {
    return JoinPath(destination, targetName.empty() ? sourceName : targetName);
}

CopyList ParseCopyList(const std::vector<ListEntry>& entries, size_t listed) {
    CopyList list;
    list.listed = listed;
    for (const auto& e : entries) {
        CopyEntry c;
        std::string key = e.key;
        for (char& ch : key)
            if (ch == '/')
                ch = '\\';
        const size_t slash = key.find_last_of('\\');
        if (slash != std::string::npos) {
            c.subfolder = key.substr(0, slash);
            c.sourceName = key.substr(slash + 1);
        } else {
            c.sourceName = key;
        }
        c.destination = Field(e.fields, 0);
        while (c.destination.size() > 3 && c.destination.back() == '\\')
            c.destination.pop_back();
        c.targetName = Field(e.fields, 1);
        const bool targetOk =
            c.targetName.empty() || (IsContainedPath(c.targetName) &&
                                     c.targetName.find_first_of("\\/") == std::string::npos);
        if (!IsContainedPath(key) || c.destination.empty() || !targetOk) {
            list.refused.push_back(e.key + "=" + e.value);
            continue;
        }
        list.entries.push_back(std::move(c));
    }
    return list;
}

// ---- Journal -------------------------------------------------------------------

std::string Journal::Line(const JournalEntry& e) {
    switch (e.kind) {
        case JournalEntry::kDirectory:
            return "created directory " + e.path;
        case JournalEntry::kFile:
            return "wrote " + e.path +
                   (e.backup.empty() ? " (new)" : " (previous file kept as " + e.backup + ")");
        case JournalEntry::kTemporary:
            return "wrote temporary copy " + e.path;
        case JournalEntry::kScratch:
            return "working directory " + e.path;
        case JournalEntry::kKey:
            return std::string("created key ") + RootName(e.root) + "\\" + e.key;
        default:
            return std::string("set value ") + RootName(e.root) + "\\" + e.key + " [" + e.name +
                   "]" + (e.existed ? " (was " + Describe(e.previous) + ")" : " (new)");
    }
}

// ---- Uninstall registration ------------------------------------------------------

std::string UninstallKeyPath(const std::string& uninstallKey) {
    return kUninstallRoot + uninstallKey;
}

std::string SharedFileKey(const std::string& fileName) {
    return std::string(kKivoUninstall) + "SharedFile\\" + fileName;
}

std::string SharedRegKey(const std::string& uninstallKey, Root root) {
    return std::string(kKivoUninstall) + "SharedReg\\" + uninstallKey + "\\" + RootName(root);
}

std::string DeleteRegsName(const std::string& subkey, const std::string& valueName) {
    return valueName.empty() ? subkey : subkey + "\\\\" + valueName;
}

// ---- Installation ------------------------------------------------------------------

Installation::Installation(Profile& profile, Host& host, DriverHost& drivers, InstallInput in)
    : profile_(profile),
      host_(host),
      drivers_(drivers),
      in_(std::move(in)),
      parser_(profile, in_.setupFile, in_.dirs) {}

std::vector<ListEntry> Installation::List(const char* section, size_t maxFields) {
    return ReadList(profile_, in_.setupFile, section, parser_, maxFields);
}

void Installation::Run() {
    ClosePrograms();
    if (in_.settings.askPath)
        MakeDirectories(in_.installDir, "");
    if (!BuildCopyList()) {
        refusedList_ = true;
        host_.SetPercent(100);
        return;  // the worker presses Next; the result page reports it
    }
    bool copied = true;
    if (list_.entries.empty()) {
        Log("copy list empty: progress 100, no shortcuts");
        host_.SetPercent(100);
    } else {
        copied = CopyFiles();
    }
    if (resultCode_ != 0 || !copied)
        return;
    if (!list_.entries.empty())
        CreateShortcuts();
    host_.EnterRegistryStage();
    if (in_.flags.preload)
        in_.flags.configMg = false;
    InstallDrivers();
    WriteRegistry();
    ImportRegistryFiles();
    if (!in_.flags.preload)
        RunPrograms();
    else
        Log("preload: run and register sections skipped");
    host_.LeaveRegistryStage();
}

void Installation::ClosePrograms() {
    for (const auto& e : List("Kill Programs")) {
        const std::string cls = Field(e.fields, 0), title = Field(e.fields, 1);
        Log("close programs: class \"" + cls + "\" title \"" + title + "\"");
        host_.CloseProgram(cls, title);
    }
}

bool Installation::BuildCopyList() {
    const size_t listed = profile_.Keys(in_.setupFile, "Copy Files", kCopyKeyListChars).size();
    list_ = ParseCopyList(List("Copy Files"), listed);
    for (const auto& r : list_.refused) {
        Log("copy entry refused (its path leaves its directory): " + r);
        notInstalled_.push_back(r + ": refused");
    }
    if (list_.tooMany()) {
        // Cutting the list would install a part of the product without a word.
        Log("copy list refused: " + std::to_string(listed) + " entries, at most " +
            std::to_string(kMaxCopyEntries));
        list_.entries.clear();
        return false;
    }
    total_ = done_ = 0;
    std::map<std::string, uint32_t> cabSizes;
    if (in_.settings.cabFile) {
        std::vector<CabinetMember> members;
        const std::string cab = JoinPath(in_.dirs.setup, in_.settings.cabFileName);
        if (host_.ListCabinet(cab, &members))
            for (const auto& m : members)
                cabSizes[Upper(m.name)] = m.size;
    }
    for (auto& e : list_.entries) {
        if (in_.settings.cabFile && e.subfolder.empty()) {
            e.fromCabinet = true;
            const auto it = cabSizes.find(Upper(e.sourceName));
            e.size = it == cabSizes.end() ? 0 : it->second;
        } else {
            const int64_t size =
                host_.FileSize(JoinPath(JoinPath(in_.dirs.setup, e.subfolder), e.sourceName));
            e.size = size < 0 ? 0 : static_cast<uint32_t>(size);
        }
        total_ += e.size;
    }
    Log("copy list: " + std::to_string(list_.entries.size()) + " entries, " +
        std::to_string(static_cast<uint64_t>(total_)) + " bytes");
    return true;
}

bool Installation::ExtractCabinet() {
    for (int n = 0; n < 10000; ++n) {
        const std::string dir = in_.dirs.windows + "\\_KivoTempDir" + std::to_string(n);
        if (host_.DirectoryExists(dir) || host_.FileExists(dir))
            continue;
        if (!host_.MakeDirectory(dir))
            break;
        cabinetDir_ = dir;
        journal_.Add(JournalEntry::Of(JournalEntry::kScratch, dir));
        break;
    }
    const std::string cab = JoinPath(in_.dirs.setup, in_.settings.cabFileName);
    if (cabinetDir_.empty() || in_.settings.cabFileName.empty()) {
        Log("cabinet directory cannot be made or no cabinet named: result 3");
        resultCode_ = kResultCabinetFailed;
        return false;
    }
    Log("extracting " + cab + " into " + cabinetDir_);
    // Sizes were measured before; the extraction sets the real total.
    for (auto& e : list_.entries)
        if (e.fromCabinet)
            total_ -= e.size;
    std::map<std::string, setup::CopyEntry*> wanted;
    for (auto& e : list_.entries)
        if (e.fromCabinet)
            wanted[Upper(e.sourceName)] = &e;
    bool cancelled = false;
    const bool ok = host_.ExtractCabinet(
        cab,
        [&](const std::string& member) -> std::string {
            if (!IsContainedPath(member)) {
                Log("cabinet member refused (its path leaves the directory): " + member);
                return {};
            }
            const auto it = wanted.find(Upper(member));
            if (it == wanted.end())
                return {};
            return JoinPath(cabinetDir_, it->second->sourceName);
        },
        [&] {
            if (!host_.WaitPause(waits_++)) {
                cancelled = true;
                return false;
            }
            return true;
        });
    for (auto& e : list_.entries) {
        if (!e.fromCabinet)
            continue;
        const int64_t size = host_.FileSize(JoinPath(cabinetDir_, e.sourceName));
        e.size = size < 0 ? 0 : static_cast<uint32_t>(size);
        total_ += e.size;
    }
    if (cancelled)
        return false;
    if (!ok) {
        Log("cabinet " + cab + " cannot be extracted: result 3");
        resultCode_ = kResultCabinetFailed;
        return false;
    }
    return true;
}

bool Installation::CopyFiles() {
    if (in_.settings.cabFile && !ExtractCabinet()) {
        if (resultCode_ != 0) {
            // Nothing of a half-read cabinet stays behind.
            Rollback();
        }
        return false;
    }
    bool cancelled = false;
    collecting_ = true;
    StartFileRecords();
    for (auto& e : list_.entries) {
        const std::string target = e.TargetPath();
        const std::string source =
            e.fromCabinet ? JoinPath(cabinetDir_, e.sourceName)
                          : JoinPath(JoinPath(in_.dirs.setup, e.subfolder), e.sourceName);
        host_.ShowCopy(e.sourceName, target);
        if (EqualNoCase(FileNameOf(target), in_.settings.uninstallProgram)) {
            uninstallerDir_ = e.destination;
            Log("uninstaller directory: " + uninstallerDir_);
        }
        const bool exists = TargetExists(target, e.destination);
        bool copy = true;
        if (exists) {
            const Order order = CompareVersions(host_.Version(source), host_.Version(target));
            copy = DecideCopy(true, order, host_.WriteTime(source), host_.WriteTime(target));
            Log(target + ": source " +
                (order == Order::kNewer   ? "newer"
                 : order == Order::kEqual ? "equal"
                                          : "older") +
                (copy ? ", copied" : ", left as it is"));
        }
        if (copy) {
            if (!host_.WaitPause(waits_++)) {
                cancelled = true;
                break;
            }
            CopyOne(e, exists);
        }
        if (e.fromCabinet)
            host_.DeleteFile(source);
        done_ += e.size;
        Progress();
    }
    collecting_ = false;
    JoinFileRecords(cancelled);
    if (cancelled)
        pending_.clear();
    else
        WriteRecords();
    if (!cabinetDir_.empty() && !cancelled) {
        for (const auto& item : host_.List(cabinetDir_))
            if (!item.directory)
                host_.DeleteFile(JoinPath(cabinetDir_, item.name));
        host_.RemoveDirectory(cabinetDir_);
        cabinetDir_.clear();
    }
    return !cancelled;
}

bool Installation::TargetExists(const std::string& target, const std::string& destination) {
    const bool earlier = !targets_.insert(Upper(target)).second;
    if (!earlier && madeDirs_.count(Upper(destination)) != 0)
        return false;
    return host_.FileExists(target);
}

void Installation::CopyOne(setup::CopyEntry& e, bool exists) {
    const std::string target = e.TargetPath();
    const std::string source = e.fromCabinet
                                   ? JoinPath(cabinetDir_, e.sourceName)
                                   : JoinPath(JoinPath(in_.dirs.setup, e.subfolder), e.sourceName);
    // Each destination is looked at once: many files share one.
    if (knownDirs_.count(Upper(e.destination)) == 0 && MakeDirectories(e.destination, ""))
        knownDirs_.insert(Upper(e.destination));
    JournalEntry j = JournalEntry::Of(JournalEntry::kFile, target);
    if (exists) {
        if (scratch_.empty()) {
            scratch_ = host_.ScratchDirectory();
            if (!scratch_.empty())
                journal_.Add(JournalEntry::Of(JournalEntry::kScratch, scratch_));
        }
        j.backup = JoinPath(scratch_,
                            std::to_string(journal_.entries().size()) + "_" + FileNameOf(target));
        if (scratch_.empty() || host_.CopyFile(target, j.backup) != Host::kCopied)
            j.backup.clear();
    }
    const auto status = host_.CopyFile(source, target);
    if (status == Host::kCopied) {
        e.copied = true;
        journal_.Add(j);
        Log(Journal::Line(j));
        return;
    }
    if (!j.backup.empty())
        host_.DeleteFile(j.backup);
    if (status == Host::kSourceMissing) {
        Log("source " + source + " missing: not copied");
        notInstalled_.push_back(target + ": source " + source + " missing");
        return;
    }
    for (int n = 0; n <= 9; ++n) {
        const std::string temp = TemporaryName(target, n);
        if (host_.FileExists(temp))
            continue;  // never overwrite a file of the user's
        if (host_.CopyFile(source, temp) == Host::kCopied) {
            temporary_.push_back({target, temp});
            journal_.Add(JournalEntry::Of(JournalEntry::kTemporary, temp));
            Log(target + " in use: copied as " + temp + ", moved into place at restart");
            return;
        }
    }
    Log(target + " in use and no temporary name free: not copied");
    notInstalled_.push_back(target + ": cannot be written, no temporary name free");
}

void Installation::Progress() {
    const int percent = total_ <= 0 ? 100 : static_cast<int>(done_ * 100 / total_);
    host_.SetPercent(percent > 100 ? 100 : percent);
}

void Installation::CreateShortcuts() {
    for (const auto& e : List("Create Shortcut")) {
        const auto& f = e.fields;
        Host::Link link;
        link.target = JoinPath(Field(f, 1), Field(f, 0));
        link.directory = Field(f, 1);
        const int place = std::atoi(Field(f, 2).c_str());
        std::string folder = host_.ShortcutFolder(place);
        if (folder.empty())
            continue;
        if (place == 2 && !Field(f, 3).empty()) {
            if (!IsContainedPath(Field(f, 3))) {
                Log("shortcut refused (its folder leaves the Programs menu): " + Field(f, 3));
                continue;
            }
            folder = JoinPath(folder, Field(f, 3));
            MakeDirectories(folder, "1");
        }
        const std::string name = Field(f, 4);
        if (name.empty() || !IsContainedPath(name) || name.find('\\') != std::string::npos) {
            Log("shortcut refused (bad name): " + e.key);
            continue;
        }
        link.path = JoinPath(folder, name + ".lnk");
        link.iconPath = link.target;
        link.iconIndex = Field(f, 5).empty() ? 1 : std::atoi(Field(f, 5).c_str());
        if (link.target.size() >= 4 &&
            EqualNoCase(link.target.substr(link.target.size() - 4), ".hlp")) {
            RegData icon;
            if (host_.ReadValue(kHkcr, "hlpfile\\DefaultIcon", "", &icon)) {
                std::string text(icon.bytes.begin(), icon.bytes.end());
                text = text.c_str();
                const size_t comma = text.find_last_of(',');
                std::string path = text.substr(0, comma);
                std::string clean;
                for (char c : path)
                    if (c != '"')
                        clean += c;
                link.iconPath = clean;
                link.iconIndex =
                    comma == std::string::npos ? 0 : std::atoi(text.c_str() + comma + 1);
            }
        }
        link.arguments = Field(f, 6);
        link.description = Field(f, 7);
        JournalEntry j = JournalEntry::Of(JournalEntry::kFile, link.path);
        const bool existed = host_.FileExists(link.path);
        if (existed) {
            if (scratch_.empty()) {
                scratch_ = host_.ScratchDirectory();
                if (!scratch_.empty())
                    journal_.Add(JournalEntry::Of(JournalEntry::kScratch, scratch_));
            }
            j.backup = JoinPath(
                scratch_, std::to_string(journal_.entries().size()) + "_" + FileNameOf(link.path));
            if (scratch_.empty() || host_.CopyFile(link.path, j.backup) != Host::kCopied)
                j.backup.clear();
        }
        if (host_.CreateLink(link)) {
            journal_.Add(j);
            Log("shortcut " + link.path + " -> " + link.target);
            if (!in_.settings.uninstallKey.empty())
                RegisterFile(folder, FileNameOf(link.path));
        } else {
            Log("shortcut " + link.path + " not created");
        }
    }
}

void Installation::WriteRegistry() {
    for (const auto& e : List("Add Registry")) {
        const RegistryValue v = ParseRegistryValue(e.fields);
        const Root root = RootFromText(v.root);
        if (v.subkey.empty()) {
            Log("registry entry without key skipped: " + e.key);
            continue;
        }
        MakeKey(root, v.subkey);
        if (v.writeValue)
            SetValue(root, v.subkey, v.name, DataOf(v));
        if (!in_.settings.uninstallKey.empty() && v.removeAtUninstall)
            RegisterRegistry(root, v.subkey, v.writeValue ? v.name : std::string());
    }
}

void Installation::ImportRegistryFiles() {
    const std::string locale = host_.UserLocale();
    for (const auto& e : List("Add Registry Files")) {
        if (!IsContainedPath(e.key)) {
            Log("registry file refused (its path leaves the setup directory): " + e.key);
            continue;
        }
        const std::string path = JoinPath(in_.dirs.setup, e.key);
        const std::string want = Field(e.fields, 0);
        if (!host_.FileExists(path) || (!want.empty() && !EqualNoCase(want, locale))) {
            Log("registry file " + path + " not imported (missing or locale " + want + ")");
            continue;
        }
        Log("importing " + path);
        host_.RunAndWait("regedit /S \"" + path + "\"", in_.dirs.setup, 60000);
    }
}

void Installation::RunPrograms() {
    for (const auto& e : List("Run Other Programs")) {
        const std::string dir = Field(e.fields, 0), args = Field(e.fields, 1);
        std::string cmd = JoinPath(dir, e.key);
        if (!args.empty())
            cmd += " " + args;
        host_.RunAndWait(cmd, dir, 15000);
    }
    for (const auto& e : List("Run Programs"))
        host_.ShellOpen(JoinPath(Field(e.fields, 0), e.key), Field(e.fields, 1),
                        Field(e.fields, 0));
    for (const auto& e : List("Register Programs"))
        host_.ShellOpen("Regsvr32.exe", "/s \"" + JoinPath(Field(e.fields, 0), e.key) + "\"",
                        std::string());
}

// ---- Journaled changes ------------------------------------------------------------

bool Installation::MakeDirectories(const std::string& path, const char* registerData) {
    if (path.empty() || host_.DirectoryExists(path))
        return true;
    RegisterDirectory(path, registerData);
    std::vector<std::string> missing;
    for (std::string p = path; !p.empty() && !host_.DirectoryExists(p); p = DirectoryOfPath(p)) {
        if (p.size() <= 3 && p.size() >= 2 && p[1] == ':')
            break;  // a drive root
        missing.push_back(p);
    }
    bool ok = true;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (host_.MakeDirectory(*it)) {
            journal_.Add(JournalEntry::Of(JournalEntry::kDirectory, *it));
            madeDirs_.insert(Upper(*it));
        } else {
            ok = false;
            break;
        }
    }
    return ok;
}

bool Installation::MakeKey(Root root, const std::string& key) {
    // Every missing level is recorded, so that rollback removes them all.
    // Keys seen once are remembered: nothing removes them during the run.
    auto idOf = [&](const std::string& k) { return std::string(RootName(root)) + "\\" + Upper(k); };
    auto created = [&](const std::string& k) {
        JournalEntry j = JournalEntry::Of(JournalEntry::kKey);
        j.root = root;
        j.key = k;
        registryJournal_->Add(j);
        createdKeys_.insert(idOf(k));
    };
    const std::string id = idOf(key);
    if (knownKeys_.count(id) != 0)
        return true;
    // Under a known key (one key per shared file): opened or made in one step.
    const std::string parent = DirectoryOfPath(key);
    if (!parent.empty() && knownKeys_.count(idOf(parent)) != 0) {
        const Host::KeyOutcome outcome = host_.OpenOrCreateKey(root, key);
        if (outcome == Host::kKeyFailed)
            return false;
        if (outcome == Host::kKeyCreated)
            created(key);
        knownKeys_.insert(id);
        return true;
    }
    std::vector<std::string> missing;
    std::string k = key;
    for (; !k.empty() && !host_.KeyExists(root, k); k = DirectoryOfPath(k))
        missing.push_back(k);
    if (!k.empty())
        knownKeys_.insert(idOf(k));
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!host_.CreateKey(root, *it))
            return false;
        created(*it);
        knownKeys_.insert(idOf(*it));
    }
    return true;
}

bool Installation::SetValue(Root root, const std::string& key, const std::string& name,
                            const RegData& d) {
    if (!MakeKey(root, key))
        return false;
    JournalEntry j = JournalEntry::Of(JournalEntry::kValue);
    j.root = root;
    j.key = key;
    j.name = name;
    // What was there is known without asking when this run wrote the value
    // or created its key.
    const std::string keyId = std::string(RootName(root)) + "\\" + Upper(key);
    const std::string id = keyId + "|" + Upper(name);
    const auto seen = written_.find(id);
    if (seen != written_.end()) {
        j.existed = true;
        j.previous = seen->second;
    } else if (createdKeys_.count(keyId) == 0) {
        j.existed = host_.ReadValue(root, key, name, &j.previous);
    }
    if (j.existed && j.previous == d)
        return true;
    if (!host_.WriteValue(root, key, name, d)) {
        Log(std::string("cannot write ") + RootName(root) + "\\" + key + " [" + name + "]");
        return false;
    }
    written_[id] = d;
    registryJournal_->Add(j);
    return true;
}

void Installation::WriteUninstallHead() {
    const Settings& s = in_.settings;
    const std::string u = UninstallKeyPath(s.uninstallKey);
    const std::string program = uninstallerDir_.empty()
                                    ? s.uninstallProgram
                                    : JoinPath(uninstallerDir_, s.uninstallProgram);
    // Written again only when the uninstaller's directory has changed.
    if (headWritten_ && headProgram_ == program)
        return;
    headWritten_ = true;
    headProgram_ = program;
    SetValue(kHklm, u, "UninstallString", TextData(program + " " + s.uninstallKey));
    SetValue(kHklm, u, "DisplayName",
             TextData(s.uninstallDisplayName.empty() ? s.productName : s.uninstallDisplayName));
}

void Installation::Record(const std::string& key, const std::string& name,
                          const std::string& data) {
    if (collecting_) {
        pending_.push_back({key, name, data});
        return;
    }
    WriteUninstallHead();
    SetValue(kHklm, key, name, TextData(data));
}

void Installation::WriteRecords() {
    if (pending_.empty() && fileRecords_ == 0)
        return;
    WriteUninstallHead();
    std::vector<PendingRecord> records = std::move(pending_);
    pending_.clear();
    const size_t n = WriteRecordList(std::move(records), {});
    Log("uninstall registration: " + std::to_string(n + fileRecords_) + " records (" +
        std::to_string(fileRecords_) + " beside the copy)");
}

size_t Installation::WriteRecordList(std::vector<PendingRecord> records,
                                     const std::stop_token& stop) {
    // Key by key; a key's records in the order they came.
    std::stable_sort(records.begin(), records.end(),
                     [](const PendingRecord& a, const PendingRecord& b) { return a.key < b.key; });
    size_t n = 0;
    for (const PendingRecord& r : records) {
        if (stop.stop_requested())
            break;
        SetValue(kHklm, r.key, r.name, TextData(r.data));
        ++n;
    }
    return n;
}

void Installation::StartFileRecords() {
    if (in_.settings.uninstallKey.empty())
        return;
    for (const auto& e : list_.entries)
        RegisterFile(e.destination, FileNameOf(e.TargetPath()));
    std::vector<PendingRecord> records = std::move(pending_);
    pending_.clear();
    registryJournal_ = &fileRecordsJournal_;
    try {
        fileRecordsThread_ = std::jthread([this, records](std::stop_token stop) mutable {
            fileRecords_ = WriteRecordList(std::move(records), stop);
        });
    } catch (const std::system_error&) {
        // No thread to be had: they are written after the files.
        registryJournal_ = &journal_;
        pending_ = std::move(records);
    }
}

void Installation::JoinFileRecords(bool cancel) {
    if (!fileRecordsThread_.joinable())
        return;
    if (cancel)
        fileRecordsThread_.request_stop();
    fileRecordsThread_.join();
    registryJournal_ = &journal_;
    for (const auto& e : fileRecordsJournal_.entries())
        journal_.Add(e);
    fileRecordsJournal_.Clear();
}

void Installation::RegisterFile(const std::string& dir, const std::string& name) {
    const Settings& s = in_.settings;
    if (s.uninstallKey.empty())
        return;
    Record(UninstallKeyPath(s.uninstallKey) + "\\DeleteFiles", name, dir);
    Record(SharedFileKey(name), s.uninstallKey, dir);
}

void Installation::RegisterDirectory(const std::string& path, const char* data) {
    const Settings& s = in_.settings;
    if (s.uninstallKey.empty())
        return;
    Record(UninstallKeyPath(s.uninstallKey) + "\\DeleteDirectory", path,
           data && *data ? data : "1");
}

void Installation::RegisterRegistry(Root root, const std::string& subkey,
                                    const std::string& valueName) {
    const Settings& s = in_.settings;
    if (s.uninstallKey.empty())
        return;
    WriteUninstallHead();
    const std::string name = DeleteRegsName(subkey, valueName);
    SetValue(kHklm, UninstallKeyPath(s.uninstallKey) + "\\DeleteRegs\\" + RootName(root), name,
             TextData(valueName));
    SetValue(kHklm, SharedRegKey(s.uninstallKey, root), name, TextData(valueName));
}

// ---- Rollback --------------------------------------------------------------------

void Installation::Rollback() {
    JoinFileRecords(true);
    Log("rolling back " + std::to_string(journal_.entries().size()) + " changes");
    const auto& all = journal_.entries();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        const JournalEntry& e = *it;
        switch (e.kind) {
            case JournalEntry::kFile:
                if (e.backup.empty()) {
                    host_.DeleteFile(e.path);
                } else if (host_.CopyFile(e.backup, e.path) == Host::kCopied) {
                    host_.DeleteFile(e.backup);
                } else {
                    Log("cannot restore " + e.path + " from " + e.backup);
                }
                break;
            case JournalEntry::kTemporary:
                host_.DeleteFile(e.path);
                break;
            case JournalEntry::kDirectory:
                host_.RemoveDirectory(e.path);
                break;
            case JournalEntry::kScratch:
                for (const auto& item : host_.List(e.path))
                    if (!item.directory)
                        host_.DeleteFile(JoinPath(e.path, item.name));
                host_.RemoveDirectory(e.path);
                break;
            case JournalEntry::kKey:
                host_.DeleteKey(e.root, e.key);
                break;
            case JournalEntry::kValue:
                if (e.existed)
                    host_.WriteValue(e.root, e.key, e.name, e.previous);
                else
                    host_.DeleteValue(e.root, e.key, e.name);
                break;
        }
        Log("undone: " + Journal::Line(e));
    }
    temporary_.clear();
    cabinetDir_.clear();
    scratch_.clear();
    journal_.Clear();
    knownKeys_.clear();
    createdKeys_.clear();
    written_.clear();
    fileRecords_ = 0;
    headWritten_ = false;
}

void Installation::DiscardBackups() {
    if (scratch_.empty())
        return;
    for (const auto& item : host_.List(scratch_))
        if (!item.directory)
            host_.DeleteFile(JoinPath(scratch_, item.name));
    host_.RemoveDirectory(scratch_);
    scratch_.clear();
}

// ---- Driver step -------------------------------------------------------------------

std::string Installation::DriverSourceDir() {
    if (!driverSource_.empty())
        return driverSource_;
    const std::string setupDir = in_.dirs.setup;
    if (drivers_.OnFixedDisk(setupDir))
        return driverSource_ = setupDir;
    // Never the Program Files folder itself: a product without a name gets one.
    std::string product = in_.settings.productName.empty() ? "Setup" : in_.settings.productName;
    for (char& c : product)
        if (c == '/')
            c = '.';
    std::string base = in_.dirs.programFiles;
    if (base.empty() && in_.dirs.windows.size() >= 2)
        base = in_.dirs.windows.substr(0, 2) + "\\Program Files";
    const std::string dest = JoinPath(base, product);
    MakeDirectories(dest, "1");
    // The setup tree without "." "..", and without folders named DirectX.
    std::vector<std::pair<std::string, std::string>> todo{{setupDir, dest}};
    for (size_t i = 0; i < todo.size() && i < 100000; ++i) {
        const auto [from, to] = todo[i];
        for (const auto& item : host_.List(from)) {
            if (item.name == "." || item.name == "..")
                continue;
            if (item.directory) {
                if (EqualNoCase(item.name, "DirectX"))
                    continue;
                host_.MakeDirectory(JoinPath(to, item.name));
                todo.push_back({JoinPath(from, item.name), JoinPath(to, item.name)});
            } else {
                host_.CopyFile(JoinPath(from, item.name), JoinPath(to, item.name));
            }
        }
    }
    Log("driver source copied to " + dest);
    return driverSource_ = dest;
}

void Installation::DriverSection(const std::string& section, int* total, bool* more) {
    const OsVersion& os = in_.os;
    const auto entries = List(section.c_str());
    if (entries.empty()) {
        *more = false;
        return;
    }
    struct Driver {
        std::string cls, inf, provider, p4, p5, hwid, folder;
        int force = 0;
    };
    std::vector<Driver> drivers;
    for (const auto& e : entries) {
        // Fields are the text between commas as written (no quotes needed).
        std::vector<std::string> f;
        std::string cur;
        for (char c : e.value) {
            if (c == ',') {
                f.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        f.push_back(cur);
        Driver d;
        d.cls = Field(f, 0);
        d.inf = Field(f, 1);
        d.provider = Field(f, 2);
        d.p4 = Field(f, 3);
        d.p5 = Field(f, 4);
        d.hwid = Field(f, 8);
        d.folder = Field(f, 9);
        d.force = Field(f, 7) == "1" || EqualNoCase(Field(f, 7), "TRUE") ? 1 : 0;
        drivers.push_back(d);
    }
    int count = 0;
    const std::string winInf = in_.dirs.windows + "\\inf\\INTERNET\\";
    for (const auto& d : drivers) {
        reenumerate_ = true;
        const std::string inf = JoinPath(in_.dirs.setup, d.folder + d.inf);
        const bool unknown = EqualNoCase(d.cls, "Unknown");
        if (os.Is2000() || (os.IsME() && !unknown)) {
            bool reboot = false;
            const int r = drivers_.UpdateDriver(d.hwid, inf, &reboot);
            Log("UpdateDriverForPlugAndPlayDevicesA " + d.hwid + " " + inf + ": " +
                std::to_string(r));
            if (r > 0) {
                if (reboot)
                    driverRestart_ = true;
                for (const std::string& copy :
                     {winInf + d.provider + d.inf, winInf + "Dorn Electronics Inc." + d.inf})
                    if (host_.FileExists(copy))
                        RegisterFile(DirectoryOfPath(copy), FileNameOf(copy));
                ++count;
                drivers_.Wait(3000);
            }
        } else if (!unknown) {
            drivers_.InstallPnP(d.cls, inf, d.p5, d.provider, d.p4, d.force,
                                in_.flags.configMg ? 1 : 0);
            const int n = drivers_.ConnectedDevices(d.cls, d.p5, d.provider);
            Log("InstallPnPDeviceDriver " + d.cls + " " + inf + ": " + std::to_string(n) +
                " connected");
            if (n > 0) {
                count += n;
                drivers_.Wait(3000);
            }
        }
    }
    if (count == 0 || os.IsME()) {
        bool oemCopied = false;
        for (const auto& d : drivers) {
            if (os.Is2000() || os.IsME()) {
                const std::string source = DriverSourceDir();
                host_.DeleteFile(in_.dirs.windows + "\\inf\\" + d.inf);
                if (in_.flags.preload) {
                    const std::string cmd = source + "\\Preload.exe /DEVID:" + d.hwid +
                                            " /CLASS:" + d.cls +
                                            " /RunValue:\"Media Preload Check\"";
                    SetValue(kHklm, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Media Preload Check", TextData(cmd));
                    Log("preload registered: " + cmd);
                } else if (!oemCopied) {
                    const std::string copy = drivers_.CopyOemInf(source + "\\" + d.folder + d.inf);
                    if (!copy.empty()) {
                        RegisterFile(DirectoryOfPath(copy), FileNameOf(copy));
                        oemCopied = true;
                        Log("driver INF copied to the system's store as " + copy);
                    }
                }
                if (oemCopied && !os.IsME())
                    break;
            }
            if (os.Is9x() && EqualNoCase(d.cls, "Unknown"))
                drivers_.RemoveDeviceFromRegistry(d.hwid);
        }
    }
    *total += count;
}

int Installation::InstallDrivers() {
    if (in_.settings.deleteInfIndex) {
        host_.DeleteFile(in_.dirs.windows + "\\INF\\DRVIDX.BIN");
        host_.DeleteFile(in_.dirs.windows + "\\INF\\DRVDATA.BIN");
    }
    int total = 0;
    bool more = true;
    for (int n = 0; more && n < 10000; ++n)
        DriverSection(n == 0 ? "Update Driver" : "Update Driver " + std::to_string(n), &total,
                      &more);
    Log("drivers installed: " + std::to_string(total));
    return total;
}

}  // namespace setup
