// The installation steps that run on the installer's worker thread while the
// copying page is shown: closing programs, the copy list and the copy (also
// from a cabinet and over files in use), shortcuts, the driver step, the
// registry, the run sections and the uninstall registration that the
// uninstaller reads back. Plain C++ over a Host that the Windows program
// implements (setup/win/install_host.*) and that tests fake.
//
// Everything the steps change goes through one Journal: each file written
// with what was there before, each directory, key and value created or
// changed. Exit during copying rolls the journal back; the /LOG file lists it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "setup/core/config.h"

namespace setup {

constexpr int kResultCabinetFailed = 3;

// ---- Registry data -----------------------------------------------------------

enum Root { kHklm, kHkcu, kHkcr, kHku };
// "HKLM", "HKCU", "HKCR"; anything else the users root.
Root RootFromText(const std::string& text);
// "HKEY_LOCAL_MACHINE" and its siblings: the names of the DeleteRegs subkeys.
const char* RootName(Root root);

struct RegData {
    enum Type : uint32_t { kSz = 1, kBinary = 3, kDword = 4 };
    uint32_t type = kSz;
    std::vector<uint8_t> bytes;  // REG_SZ with its terminating zero
    bool operator==(const RegData&) const = default;
};
RegData TextData(const std::string& text);
RegData DwordData(uint32_t value);
RegData BinaryData(const std::vector<uint8_t>& bytes);
RegData DataOf(const RegistryValue& v);
std::string Describe(const RegData& d);

// ---- Versions ----------------------------------------------------------------

struct FileVersion {
    bool hasFixed = false;
    uint64_t fixed = 0;  // most significant 32 bits first
    std::string text;    // FileVersion of the version resource; empty: none
};
// Dotted numbers compared part by part ("1.10" above "1.9"); -2 when either
// text is empty.
int CompareVersionText(const std::string& a, const std::string& b);
enum class Order { kOlder, kEqual, kNewer };
Order CompareVersions(const FileVersion& source, const FileVersion& target);
// Whether a file is copied over its target.
bool DecideCopy(bool targetExists, Order order, uint64_t sourceTime, uint64_t targetTime);

// ---- Paths -------------------------------------------------------------------

// A name relative to a directory that stays inside it: not empty, no drive,
// no root, no "." or ".." component, no empty component.
bool IsContainedPath(const std::string& relative);
// "dir\name.dll" -> "dir\name.<n>"; a name without a dot gets ".<n>" added.
std::string TemporaryName(const std::string& target, int n);
// The name after the last backslash.
inline std::string FileNameOf(const std::string& path) {
    return shared::PathFileName(path, "\\");
}
// The directory before the last backslash; empty without one.
inline std::string DirectoryOfPath(const std::string& path) {
    return shared::PathDirectory(path, "\\");
}

// ---- Copy list -----------------------------------------------------------------

struct CopyEntry {
    uint32_t size = 0;
    std::string destination;  // directory
    std::string sourceName;
    std::string subfolder;  // empty when none
    std::string targetName;
    bool copied = false;
    bool fromCabinet = false;
    std::string TargetPath() const;
};

struct CopyList {
    std::vector<CopyEntry> entries;
    std::vector<std::string> refused;  // keys or destinations that leave their directory
    size_t listed = 0;                 // keys in the section
    bool tooMany() const { return listed > kMaxCopyEntries; }
};
// Entries in file order; sizes are left at 0 (measured by the worker).
CopyList ParseCopyList(const std::vector<ListEntry>& entries, size_t listed);

// ---- Journal -------------------------------------------------------------------

struct JournalEntry {
    enum Kind { kDirectory, kFile, kTemporary, kKey, kValue, kScratch } kind = kFile;
    std::string path;    // directories and files
    std::string backup;  // kFile: copy of what was there; empty: nothing was there
    Root root = kHklm;
    std::string key, name;
    bool existed = false;  // kValue: a value was there before
    RegData previous;
    static JournalEntry Of(Kind kind, std::string path = {}) {
        JournalEntry e;
        e.kind = kind;
        e.path = std::move(path);
        return e;
    }
};
class Journal {
public:
    void Add(JournalEntry e) { entries_.push_back(std::move(e)); }
    const std::vector<JournalEntry>& entries() const { return entries_; }
    void Clear() { entries_.clear(); }
    static std::string Line(const JournalEntry& e);

private:
    std::vector<JournalEntry> entries_;
};

// ---- Uninstall registration ------------------------------------------------------

std::string UninstallKeyPath(const std::string& uninstallKey);
std::string SharedFileKey(const std::string& fileName);
std::string SharedRegKey(const std::string& uninstallKey, Root root);
// The value name of a DeleteRegs or SharedReg record.
std::string DeleteRegsName(const std::string& subkey, const std::string& valueName);

// ---- What the steps ask of the system ----------------------------------------------

struct CabinetMember {
    std::string name;
    uint32_t size = 0;
};

class Host {
public:
    virtual ~Host() = default;
    // Files. Size -1 when the file cannot be opened; times as FILETIME ticks.
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool DirectoryExists(const std::string& path) = 0;
    virtual int64_t FileSize(const std::string& path) = 0;
    virtual FileVersion Version(const std::string& path) = 0;
    virtual uint64_t WriteTime(const std::string& path) = 0;
    virtual bool MakeDirectory(const std::string& path) = 0;  // one level
    virtual bool RemoveDirectory(const std::string& path) = 0;
    enum CopyStatus { kCopied, kSourceMissing, kFailed };
    // Clears the target's attributes and copies, overwriting.
    virtual CopyStatus CopyFile(const std::string& from, const std::string& to) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;  // attributes cleared first
    struct DirItem {
        std::string name;
        bool directory = false;
    };
    virtual std::vector<DirItem> List(const std::string& dir) = 0;
    // A new empty directory for copies of replaced files; empty when none.
    virtual std::string ScratchDirectory() = 0;

    // Registry (values are created with their keys).
    virtual bool KeyExists(Root root, const std::string& key) = 0;
    virtual bool CreateKey(Root root, const std::string& key) = 0;
    // Opens a key whose parent exists, creating it when missing: what
    // KeyExists and CreateKey tell, in one step where the system allows.
    enum KeyOutcome { kKeyFailed, kKeyCreated, kKeyExisted };
    virtual KeyOutcome OpenOrCreateKey(Root root, const std::string& key) {
        if (KeyExists(root, key))
            return kKeyExisted;
        return CreateKey(root, key) ? kKeyCreated : kKeyFailed;
    }
    virtual bool ReadValue(Root root, const std::string& key, const std::string& name,
                           RegData* data) = 0;
    virtual bool WriteValue(Root root, const std::string& key, const std::string& name,
                            const RegData& data) = 0;
    virtual bool DeleteValue(Root root, const std::string& key, const std::string& name) = 0;
    virtual bool DeleteKey(Root root, const std::string& key) = 0;  // only when empty

    // Cabinets, through the system's cabinet iteration. List: false when the
    // cabinet cannot be read. Extract: `want` picks a member's target path
    // (empty: skipped); `before` runs before each member and stops the
    // extraction when it returns false; false when the extraction failed.
    virtual bool ListCabinet(const std::string& cabinet, std::vector<CabinetMember>* members) = 0;
    virtual bool ExtractCabinet(const std::string& cabinet,
                                const std::function<std::string(const std::string&)>& want,
                                const std::function<bool()>& before) = 0;

    // The copying page and the pause event. WaitPause returns false when the
    // installation is cancelled; `file` counts the waits before files.
    virtual void ShowCopy(const std::string& from, const std::string& to) = 0;
    virtual void SetPercent(int percent) = 0;
    virtual bool WaitPause(size_t file) = 0;
    virtual void EnterRegistryStage() = 0;  // texts, Close button, animation 112
    virtual void LeaveRegistryStage() = 0;

    // Programs, links and the rest.
    virtual void CloseProgram(const std::string& windowClass, const std::string& title) = 0;
    // place "0", "1", "2": the all-users folder, else the user's.
    virtual std::string ShortcutFolder(int place) = 0;
    struct Link {
        std::string path, target, directory, arguments, description, iconPath;
        int iconIndex = 0;
    };
    virtual bool CreateLink(const Link& link) = 0;
    virtual void RunAndWait(const std::string& commandLine, const std::string& directory,
                            unsigned long ms) = 0;
    virtual void ShellOpen(const std::string& file, const std::string& arguments,
                           const std::string& directory) = 0;
    virtual std::string UserLocale() = 0;
    virtual void Log(const std::string& line) = 0;
};

// The device-installation services and the companion library (Part of the
// driver step); each call loads its library by name and frees it.
class DriverHost {
public:
    virtual ~DriverHost() = default;
    // newdev.dll: -1 when the library or export is missing, else 0 or 1.
    virtual int UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                             bool* reboot) = 0;
    // setupapi.dll: the name of the system's copy, empty on failure.
    virtual std::string CopyOemInf(const std::string& source) = 0;
    // kivosetup.dll; 0 when the library or export is missing.
    virtual int InstallPnP(const std::string& deviceClass, const std::string& infPath,
                           const std::string& param5, const std::string& provider,
                           const std::string& param4, int force, int configMg) = 0;
    virtual int ConnectedDevices(const std::string& deviceClass, const std::string& param5,
                                 const std::string& provider) = 0;
    virtual void RemoveDeviceFromRegistry(const std::string& hardwareId) = 0;
    virtual bool OnFixedDisk(const std::string& path) = 0;
    virtual void Wait(unsigned long ms) = 0;
};

// ---- The installer's steps -----------------------------------------------------------

struct InstallInput {
    OsVersion os;
    Directories dirs;
    Settings settings;
    InstallerFlags flags;
    std::string setupFile;
    std::string installDir;
};

class Installation {
public:
    Installation(Profile& profile, Host& host, DriverHost& drivers, InstallInput in);

    // Steps 1 to 6 of the worker.
    void Run();
    // After Exit: undoes the journal, newest first.
    void Rollback();
    // After a finished run: removes the copies kept of replaced files.
    void DiscardBackups();

    int resultCode() const { return resultCode_; }
    bool driverRestart() const { return driverRestart_; }
    bool reenumerate() const { return reenumerate_; }
    bool configMg() const { return in_.flags.configMg; }
    const std::string& uninstallerDir() const { return uninstallerDir_; }
    struct TemporaryCopy {
        std::string target, temporary;
    };
    const std::vector<TemporaryCopy>& temporaryCopies() const { return temporary_; }
    const CopyList& copyList() const { return list_; }
    const Journal& journal() const { return journal_; }
    bool refusedList() const { return refusedList_; }
    // The copy list's entries that are not in place after the run, each with
    // the reason (refused, source missing, no name free for a file in use).
    const std::vector<std::string>& notInstalled() const { return notInstalled_; }

    // Single steps (also for tests).
    void ClosePrograms();
    bool BuildCopyList();
    bool CopyFiles();  // false: cancelled or the cabinet failed
    void CreateShortcuts();
    int InstallDrivers();
    void WriteRegistry();
    void ImportRegistryFiles();
    void RunPrograms();

    // Journaled changes.
    bool MakeDirectories(const std::string& path, const char* registerData);
    bool SetValue(Root root, const std::string& key, const std::string& name, const RegData& d);
    bool MakeKey(Root root, const std::string& key);
    void RegisterFile(const std::string& dir, const std::string& name);
    void RegisterDirectory(const std::string& path, const char* data);
    void RegisterRegistry(Root root, const std::string& subkey, const std::string& valueName);

private:
    std::vector<ListEntry> List(const char* section, size_t maxFields = 0);
    void WriteUninstallHead();
    // An uninstall record (a text value under the local machine). During the
    // copy the records of its directories are kept and written in one go,
    // key by key, at its end (none when it is cancelled: the rollback would
    // take them away again); those of its files go beside it (below).
    void Record(const std::string& key, const std::string& name, const std::string& data);
    void WriteRecords();
    struct PendingRecord {
        std::string key, name, data;
    };
    std::vector<PendingRecord> pending_;
    bool collecting_ = false;
    // The records of the copy list's files are known before its first file:
    // a thread of their own writes them while the files are copied (written
    // after them, the registry's round trips added a fifth to the step).
    // Until it is joined, the thread alone touches the registry and the
    // registry's part of the journal; a cancelled copy stops it between two
    // records, and the rollback takes back what it wrote.
    void StartFileRecords();
    void JoinFileRecords(bool cancel);
    size_t WriteRecordList(std::vector<PendingRecord> records, const std::stop_token& stop);
    Journal fileRecordsJournal_;
    Journal* registryJournal_ = &journal_;
    size_t fileRecords_ = 0;  // written by the thread
    void Log(const std::string& line) { host_.Log(line); }
    bool ExtractCabinet();
    // `exists`: whether the target was there when the copy was decided.
    void CopyOne(CopyEntry& e, bool exists);
    void Progress();
    void DriverSection(const std::string& section, int* total, bool* more);
    std::string DriverSourceDir();

    Profile& profile_;
    Host& host_;
    DriverHost& drivers_;
    InstallInput in_;
    ValueParser parser_;
    Journal journal_;
    CopyList list_;
    std::vector<TemporaryCopy> temporary_;
    std::string uninstallerDir_;
    std::string cabinetDir_;
    std::string scratch_;
    double total_ = 0, done_ = 0;
    int resultCode_ = 0;
    bool driverRestart_ = false;
    bool reenumerate_ = false;
    bool refusedList_ = false;
    std::vector<std::string> notInstalled_;
    std::string driverSource_;
    size_t waits_ = 0;
    std::set<std::string> knownKeys_;
    std::set<std::string> knownDirs_;  // the copy's destinations, made or found
    // Whether a copy target is there already. In a directory this run made,
    // only an earlier entry of the copy list can have put it there: the
    // system is not asked.
    bool TargetExists(const std::string& target, const std::string& destination);
    std::set<std::string> madeDirs_;          // by this run
    std::set<std::string> targets_;           // the copy list's targets so far
    std::set<std::string> createdKeys_;       // by this run
    std::map<std::string, RegData> written_;  // values this run wrote
    bool headWritten_ = false;
    std::string headProgram_;
    // Last: stopped and joined before anything it uses goes.
    std::jthread fileRecordsThread_;
};

}  // namespace setup
