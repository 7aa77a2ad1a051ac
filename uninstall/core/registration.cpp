#include "uninstall/core/registration.h"

#include <iterator>

#include "uninstall/core/paths.h"

namespace uninst {

namespace {
// The roots' names in the order of Root; any other name is the users root.
const char* const kRootNames[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
                                  "HKEY_USERS"};
}  // namespace

Root RootFromName(const std::string& name) {
    for (size_t i = 0; i + 1 < std::size(kRootNames); ++i)
        if (EqualNoCase(name, kRootNames[i]))
            return static_cast<Root>(i);
    return Root::kUsers;
}

const char* RootName(Root root) {
    const auto i = static_cast<size_t>(root);
    return kRootNames[i < std::size(kRootNames) ? i : std::size(kRootNames) - 1];
}

bool ReadText(Registry& reg, Root root, const std::string& path, const std::string& name,
              std::string* out) {
    for (const auto& v : reg.Values(root, path))
        if (EqualNoCase(v.name, name)) {
            *out = v.data;
            return true;
        }
    return false;
}

bool KeyIsEmpty(Registry& reg, Root root, const std::string& path) {
    return reg.Values(root, path).empty() && reg.Subkeys(root, path).empty();
}

namespace {
constexpr Root kLM = Root::kLocalMachine;

std::vector<NameData> Pairs(Registry& reg, const std::string& path) {
    std::vector<NameData> out;
    for (const auto& v : reg.Values(kLM, path))
        out.push_back({v.name, v.data});
    return out;
}

std::vector<RegRecord> Records(Registry& reg, const std::string& path) {
    std::vector<RegRecord> out;
    for (const auto& root : reg.Subkeys(kLM, path))
        for (const auto& v : reg.Values(kLM, path + "\\" + root))
            out.push_back({root, v.name, v.data});
    return out;
}

std::string Text(Registry& reg, const std::string& path, const std::string& name) {
    std::string s;
    ReadText(reg, kLM, path, name, &s);
    return s;
}
}  // namespace

std::optional<Registration> ReadRegistration(Registry& reg, const std::string& key) {
    if (key.empty() || key.find_first_of("\\/") != std::string::npos || key == "." || key == "..")
        return std::nullopt;
    Registration r;
    r.key = key;
    r.path = std::string(kUninstallKeys) + "\\" + key;
    if (!reg.KeyExists(kLM, r.path))
        return std::nullopt;
    const std::string& u = r.path;
    r.displayName = Text(reg, u, "DisplayName");
    r.uninstallString = Text(reg, u, "UninstallString");
    const std::string restart = Text(reg, u, "NeedRestart");
    r.needRestart = EqualNoCase(restart, "TRUE") || restart == "1";
    const std::string cm = Text(reg, u, "CallConfigMg");
    r.callConfigMg = !(EqualNoCase(cm, "FALSE") || cm == "0");
    r.executeFile.file = Text(reg, u + "\\ExecuteFile", "File");
    r.executeFile.parameters = Text(reg, u + "\\ExecuteFile", "Parameters");
    r.executeFile.path = Text(reg, u + "\\ExecuteFile", "Path");
    r.restoreDrivers = Pairs(reg, u + "\\RestoreDrivers");
    r.deleteDevices = Pairs(reg, u + "\\DeleteDevices");
    for (const auto& sub : reg.Subkeys(kLM, u + "\\CloseWindows")) {
        const std::string k = u + "\\CloseWindows\\" + sub;
        r.closeWindows.push_back({Text(reg, k, "Class"), Text(reg, k, "Caption")});
    }
    r.unregProgram = Pairs(reg, u + "\\UnregProgram");
    for (const auto& sub : reg.Subkeys(kLM, u + "\\CloseAPP")) {
        const std::string k = u + "\\CloseAPP\\" + sub;
        r.closeApps.push_back({Text(reg, k, "File"), Text(reg, k, "Parameters"), {}});
    }
    r.deleteProgramFolder = Pairs(reg, u + "\\DeleteProgramFolder");
    r.deleteFiles = Pairs(reg, u + "\\DeleteFiles");
    r.deleteDirectory = Pairs(reg, u + "\\DeleteDirectory");
    r.cleanDirectory = Pairs(reg, u + "\\CleanDirectory");
    r.deleteShortcut = Pairs(reg, u + "\\DeleteShortcut");
    r.deleteRegs = Records(reg, u + "\\DeleteRegs");
    r.cleanRegs = Records(reg, u + "\\CleanRegs");
    return r;
}

std::vector<std::string> OtherUninstallStrings(Registry& reg, const std::string& ownKey) {
    std::vector<std::string> out;
    for (const auto& k : reg.Subkeys(kLM, kUninstallKeys)) {
        if (EqualNoCase(k, ownKey))
            continue;
        std::string s;
        if (ReadText(reg, kLM, std::string(kUninstallKeys) + "\\" + k, "UninstallString", &s))
            out.push_back(s);
    }
    return out;
}

}  // namespace uninst
