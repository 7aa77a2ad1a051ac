// The registry and the file system in memory, and a host that records what
// the uninstaller asked of it: the seams of the portable uninstaller.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "uninstall/core/engine.h"

namespace uninst::testing {

class MemoryRegistry : public Registry {
public:
    void Set(Root root, const std::string& key, const std::string& name, const std::string& data);
    void Create(Root root, const std::string& key);
    bool HasValue(Root root, const std::string& key, const std::string& name);
    bool KeyExists(Root root, const std::string& path) override;
    std::vector<Value> Values(Root root, const std::string& path) override;
    std::vector<std::string> Subkeys(Root root, const std::string& path) override;
    bool DeleteValue(Root root, const std::string& path, const std::string& name) override;
    bool DeleteTree(Root root, const std::string& path) override;
    bool DeleteKey(Root root, const std::string& path) override;
    bool SetText(Root root, const std::string& path, const std::string& name,
                 const std::string& data) override {
        Set(root, path, name, data);
        return true;
    }
    std::set<std::string> undeletable;  // lower-case "root\key" that DeleteTree refuses

private:
    struct Node {
        std::string name;
        std::vector<Value> values;
    };
    static std::string Id(Root root, const std::string& path);
    std::map<std::string, Node> keys_;  // by lower-case id
};

class MemoryFiles : public Files {
public:
    void AddFile(const std::string& path);  // parents made too
    void AddDir(const std::string& path);
    void AddLink(const std::string& path);
    std::set<std::string> locked;  // lower-case paths that cannot be deleted
    bool Exists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    Deleted DeleteFile(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    std::vector<DirEntry> List(const std::string& dir) override;

private:
    struct Node {
        std::string path;
        bool directory;
        bool link;
    };
    std::map<std::string, Node> nodes_;  // by lower-case normal path
};

class RecordingHost : public Host {
public:
    void RestoreDeviceDriver(const std::string& name, const std::string& data,
                             bool configMg) override;
    int RemoveDeviceDriver(const std::string& name, const std::string& data) override;
    void CloseProgram(const WindowToClose& window) override;
    void Unregister(const std::string& path) override;
    void RunAndWait(const std::string& commandLine, unsigned ms) override;
    void Sleep(unsigned ms) override;
    SharedAnswer AskShared(const std::string& file, const std::string& dir) override;
    void StepFinished(int step) override;
    void Log(const std::string& line) override;

    std::vector<std::string> calls;      // everything but the log, in order
    std::vector<std::string> questions;  // files asked about
    std::deque<SharedAnswer> answers;    // given in turn; kNo when none is left
    std::vector<std::string> log;
    int driversPerRemoval = 1;
};

}  // namespace uninst::testing
