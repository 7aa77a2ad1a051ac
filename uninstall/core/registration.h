// The uninstall registration that the installer (and a product's setup file)
// wrote under the local machine's Uninstall key, and the shared records
// beside it. Read once at the start; every list keeps the registry's order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "uninstall/core/registry.h"

namespace uninst {

constexpr char kUninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kSharedFileKey[] = "Software\\Kivo\\Uninstall\\SharedFile";
constexpr char kSharedRegKey[] = "Software\\Kivo\\Uninstall\\SharedReg";

struct NameData {
    std::string name;
    std::string data;
};

struct WindowToClose {
    std::string windowClass;  // empty: any
    std::string caption;      // empty: any
};

struct ProgramToRun {
    std::string file;
    std::string parameters;
    std::string path;  // ExecuteFile only
};

struct RegRecord {
    std::string rootName;  // the subkey's name, "HKEY_LOCAL_MACHINE" ...
    std::string name;      // key path, or key path, "\\" and value name
    std::string data;      // value name, or empty / "0" for the whole key
};

struct Registration {
    std::string key;   // the uninstall key
    std::string path;  // U: kUninstallKeys, a backslash and the key
    std::string displayName;
    std::string uninstallString;
    bool needRestart = false;
    bool callConfigMg = true;
    ProgramToRun executeFile;
    std::vector<NameData> restoreDrivers, deleteDevices, unregProgram, deleteProgramFolder,
        deleteFiles, deleteDirectory, cleanDirectory, deleteShortcut;
    std::vector<WindowToClose> closeWindows;
    std::vector<ProgramToRun> closeApps;
    std::vector<RegRecord> deleteRegs, cleanRegs;
};

// The registration of `key`; nothing when the key is empty or names more
// than one level (it would make U the whole Uninstall key or reach beside
// it), or when U cannot be opened.
std::optional<Registration> ReadRegistration(Registry& reg, const std::string& key);

// "UninstallString" of every other product registered under Uninstall.
std::vector<std::string> OtherUninstallStrings(Registry& reg, const std::string& ownKey);

}  // namespace uninst
