#include "uninstall/tests/fakes.h"

#include <algorithm>

namespace uninst::testing {

std::string MemoryRegistry::Id(Root root, const std::string& path) {
    std::string p;
    for (char c : path)
        if (!(c == '\\' && (p.empty() || p.back() == '\\')))
            p += c;
    while (!p.empty() && p.back() == '\\')
        p.pop_back();
    return ToLower(std::string(RootName(root)) + (p.empty() ? "" : "\\" + p));
}

void MemoryRegistry::Create(Root root, const std::string& key) {
    std::string part;
    for (size_t i = 0; i <= key.size(); ++i) {
        if (i == key.size() || key[i] == '\\') {
            const std::string prefix = key.substr(0, i);
            const std::string id = Id(root, prefix);
            if (keys_.count(id) == 0)
                keys_[id] = Node{prefix, {}};
        }
    }
}

void MemoryRegistry::Set(Root root, const std::string& key, const std::string& name,
                         const std::string& data) {
    Create(root, key);
    auto& values = keys_[Id(root, key)].values;
    for (auto& v : values)
        if (EqualNoCase(v.name, name)) {
            v.data = data;
            return;
        }
    values.push_back({name, data});
}

bool MemoryRegistry::HasValue(Root root, const std::string& key, const std::string& name) {
    std::string s;
    return ReadText(*this, root, key, name, &s);
}

bool MemoryRegistry::KeyExists(Root root, const std::string& path) {
    return keys_.count(Id(root, path)) != 0;
}

std::vector<Value> MemoryRegistry::Values(Root root, const std::string& path) {
    const auto it = keys_.find(Id(root, path));
    return it == keys_.end() ? std::vector<Value>{} : it->second.values;
}

std::vector<std::string> MemoryRegistry::Subkeys(Root root, const std::string& path) {
    const std::string id = Id(root, path) + "\\";
    std::vector<std::string> out;
    for (const auto& [k, node] : keys_)
        if (k.rfind(id, 0) == 0 && k.find('\\', id.size()) == std::string::npos)
            out.push_back(node.name.substr(node.name.find_last_of('\\') + 1));
    return out;
}

bool MemoryRegistry::DeleteValue(Root root, const std::string& path, const std::string& name) {
    const auto it = keys_.find(Id(root, path));
    if (it == keys_.end())
        return true;
    auto& v = it->second.values;
    v.erase(std::remove_if(v.begin(), v.end(),
                           [&](const Value& x) { return EqualNoCase(x.name, name); }),
            v.end());
    return true;
}

bool MemoryRegistry::DeleteTree(Root root, const std::string& path) {
    const std::string id = Id(root, path);
    if (undeletable.count(id) != 0)
        return false;
    for (auto it = keys_.begin(); it != keys_.end();)
        it = it->first == id || it->first.rfind(id + "\\", 0) == 0 ? keys_.erase(it) : ++it;
    return true;
}

bool MemoryRegistry::DeleteKey(Root root, const std::string& path) {
    if (!Subkeys(root, path).empty())
        return false;
    keys_.erase(Id(root, path));
    return true;
}

void MemoryFiles::AddDir(const std::string& path) {
    for (std::string p = NormalPath(path); !p.empty(); p = ParentPath(p))
        if (nodes_.count(ToLower(p)) == 0)
            nodes_[ToLower(p)] = Node{p, true, false};
}

void MemoryFiles::AddFile(const std::string& path) {
    const std::string p = NormalPath(path);
    AddDir(ParentPath(p));
    nodes_[ToLower(p)] = Node{p, false, false};
}

void MemoryFiles::AddLink(const std::string& path) {
    const std::string p = NormalPath(path);
    AddDir(ParentPath(p));
    nodes_[ToLower(p)] = Node{p, true, true};
}

bool MemoryFiles::Exists(const std::string& path) {
    return nodes_.count(ToLower(NormalPath(path))) != 0;
}

bool MemoryFiles::IsDirectory(const std::string& path) {
    const auto it = nodes_.find(ToLower(NormalPath(path)));
    return it != nodes_.end() && it->second.directory;
}

Files::Deleted MemoryFiles::DeleteFile(const std::string& path) {
    const std::string id = ToLower(NormalPath(path));
    const auto it = nodes_.find(id);
    if (it == nodes_.end())
        return Deleted::kNotFound;
    if (it->second.directory || locked.count(id) != 0)
        return Deleted::kFailed;
    nodes_.erase(it);
    return Deleted::kDone;
}

bool MemoryFiles::RemoveDirectory(const std::string& path) {
    const std::string id = ToLower(NormalPath(path));
    const auto it = nodes_.find(id);
    if (it == nodes_.end() || !it->second.directory || (!it->second.link && !List(path).empty()))
        return false;
    nodes_.erase(it);
    return true;
}

std::vector<DirEntry> MemoryFiles::List(const std::string& dir) {
    std::vector<DirEntry> out;
    const std::string d = NormalPath(dir);
    for (const auto& [id, n] : nodes_)
        if (!IsRoot(n.path) && EqualNoCase(ParentPath(n.path), d))
            out.push_back({n.path.substr(n.path.find_last_of('\\') + 1), n.directory, n.link});
    return out;
}

void RecordingHost::RestoreDeviceDriver(const std::string& name, const std::string& data,
                                        bool configMg) {
    calls.push_back("RestoreDeviceDriver " + name + " " + data + " " + (configMg ? "1" : "0"));
}
int RecordingHost::RemoveDeviceDriver(const std::string& name, const std::string& data) {
    calls.push_back("RemoveDeviceDriver " + name + " " + data);
    return driversPerRemoval;
}
void RecordingHost::CloseProgram(const WindowToClose& w) {
    calls.push_back("CloseProgram " + w.windowClass + "|" + w.caption);
}
void RecordingHost::Unregister(const std::string& path) {
    calls.push_back("Unregister " + path);
}
void RecordingHost::RunAndWait(const std::string& commandLine, unsigned ms) {
    calls.push_back("Run " + commandLine + " " + std::to_string(ms));
}
void RecordingHost::Sleep(unsigned ms) {
    calls.push_back("Sleep " + std::to_string(ms));
}
SharedAnswer RecordingHost::AskShared(const std::string& file, const std::string&) {
    questions.push_back(file);
    if (answers.empty())
        return SharedAnswer::kNo;
    const SharedAnswer a = answers.front();
    answers.pop_front();
    return a;
}
void RecordingHost::StepFinished(int step) {
    calls.push_back("Step " + std::to_string(step));
}
void RecordingHost::Log(const std::string& line) {
    log.push_back(line);
}

}  // namespace uninst::testing
