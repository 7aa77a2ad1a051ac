// The uninstallation itself: the six steps that the progress dialog shows,
// run against the registration over three seams (the registry, the file
// system and the host: companion library, windows, programs, the shared-file
// question, progress). Plain C++; the worker thread of the Windows program
// runs it, tests run it over copies in memory.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "uninstall/core/paths.h"
#include "uninstall/core/registration.h"
#include "uninstall/core/registry.h"

namespace uninst {

struct DirEntry {
    std::string name;
    bool directory = false;
    bool link = false;  // a reparse point: removed itself, never entered
};

class Files {
public:
    enum class Deleted { kDone, kNotFound, kFailed };
    virtual ~Files() = default;
    virtual bool Exists(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    // Clears the file's attributes, then deletes it.
    virtual Deleted DeleteFile(const std::string& path) = 0;
    // Removes an empty directory (or a directory link); false otherwise.
    virtual bool RemoveDirectory(const std::string& path) = 0;
    virtual std::vector<DirEntry> List(const std::string& dir) = 0;
};

enum class SharedAnswer { kYes, kYesToAll, kNo, kNoToAll };

class Host {
public:
    virtual ~Host() = default;
    virtual void RestoreDeviceDriver(const std::string& name, const std::string& data,
                                     bool configMg) = 0;
    virtual int RemoveDeviceDriver(const std::string& name, const std::string& data) = 0;
    virtual void CloseProgram(const WindowToClose& window) = 0;
    virtual void Unregister(const std::string& path) = 0;
    virtual void RunAndWait(const std::string& commandLine, unsigned ms) = 0;
    virtual void Sleep(unsigned ms) = 0;
    virtual SharedAnswer AskShared(const std::string& file, const std::string& dir) = 0;
    // Steps 1 to 6, each once, in order.
    virtual void StepFinished(int step) = 0;
    virtual void Log(const std::string& line) = 0;
};

struct Places {
    std::string windows;
    std::string system;
    std::string home;  // the uninstaller's home directory (%99%)
    // A key of section [Strings] of Uninstal.ini; empty when there is none.
    std::function<std::string(const std::string&)> strings;
    std::string ownFileName;  // the uninstaller's file name
    Protection protection;
};

// The directory that a DeleteFiles value names (a folder id or a path).
std::string ResolveDirectory(const Places& places, const std::string& where);

// The product family's uninstaller and companion-library file names.
bool IsFamilyFile(const std::string& fileName);

// Keys that no registration may delete or clean: a whole root, "Software"
// itself and the keys that hold other products' registrations and the
// system's own settings.
bool ProtectedKey(Root root, const std::string& path);

// One DeleteRegs record made concrete: at-signs at the end of the name
// removed; with a value name in the data, the key path is the name up to its
// last two backslashes.
struct RegTarget {
    std::string key;
    std::string value;
    bool wholeKey = true;
};
RegTarget TargetOf(const RegRecord& record);

struct Refusal {
    enum Kind { kFolder, kFile, kRegistry } kind;
    std::string target;
};

struct Outcome {
    bool failed = false;
    bool needRestart = false;  // the registration's flag or a locked file
    int driversRemoved = 0;
    std::vector<std::string> restartList;  // deleted at the next restart
    std::string ownFile;                   // the uninstaller's own file, deleted at Finish
    std::vector<Refusal> refused;
    bool RestartOffered() const { return needRestart || driversRemoved > 0; }
};

class Uninstaller {
public:
    Uninstaller(Registration r, Registry& reg, Files& files, Host& host, Places places);
    void Run();  // steps 1 to 6
    void Step(int step);
    const Outcome& outcome() const { return out_; }

private:
    void Drivers();
    void Programs();
    void ProgramFolders();
    void DeleteFiles();
    void DeleteOneFile(const NameData& file);
    void Directories();
    void Registry_();
    // True when another product still uses the file; *recorded: this
    // product's own record named it.
    bool SharedFile(const std::string& name, const std::string& dir, bool* recorded);
    void Remove(const std::string& path);
    void RemoveTree(const std::string& dir);
    // The other products whose shared-file records keep `name` in `dir`.
    std::set<std::string> Keepers(const std::string& name, const std::string& dir);
    // A directory of the registration that stays because other products
    // still keep files in it passes to their registrations, so that the
    // last of them removes it.
    void HandOver(const std::string& dir, const std::string& data,
                  const std::set<std::string>& keepers);
    void RemoveEmptyParents(const std::string& dir);
    void DeleteRegRecord(const RegRecord& record);
    bool SharedRegByOther(const RegRecord& record);
    void CleanKey(Root root, const std::string& path);
    void RemoveEmptyKeys(Root root, std::string key);

    Registration r_;
    Registry& reg_;
    Files& files_;
    Host& host_;
    Places places_;
    Outcome out_;
    bool yesToAll_ = false;
    bool noToAll_ = false;
    std::set<std::string> kept_;     // normal, lower-case paths of files left in place
    std::set<std::string> keepers_;  // products keeping files in the tree being removed
};

// ---- Finish -----------------------------------------------------------------

// True when the uninstaller's own file may be deleted: no other product's
// "UninstallString" begins with its path, its bare name or the system
// directory, a backslash and its name.
bool OwnFileDeletable(const std::string& ownFile, const std::string& systemDir,
                      const std::vector<std::string>& otherUninstallStrings);

// The wininit.ini text with "NUL=path" added below "[Rename]" (9x family).
std::string AddDeleteLine(const std::string& wininit, const std::string& path);

}  // namespace uninst
