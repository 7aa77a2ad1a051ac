// The uninstaller's seams over the real system: the registry, the file
// system, the places it resolves (and the folders it never removes), the
// companion library and the programs it closes or runs.
#pragma once

#include <windows.h>

#include <string>

#include "uninstall/core/engine.h"

namespace uninst_win {

class WinRegistry : public uninst::Registry {
public:
    bool KeyExists(uninst::Root root, const std::string& path) override;
    std::vector<uninst::Value> Values(uninst::Root root, const std::string& path) override;
    std::vector<std::string> Subkeys(uninst::Root root, const std::string& path) override;
    bool DeleteValue(uninst::Root root, const std::string& path, const std::string& name) override;
    bool DeleteTree(uninst::Root root, const std::string& path) override;
    bool DeleteKey(uninst::Root root, const std::string& path) override;
    bool SetText(uninst::Root root, const std::string& path, const std::string& name,
                 const std::string& data) override;
};

class WinFiles : public uninst::Files {
public:
    bool Exists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    Deleted DeleteFile(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    std::vector<uninst::DirEntry> List(const std::string& dir) override;
};

// The Windows and system directories, the home directory, Uninstal.ini's
// [Strings] and the protected folders (roots, Windows, system, Program Files,
// the profiles and the shell's folders).
uninst::Places QueryPlaces(const std::string& home, const std::string& ownFileName);
// Section [Uninstall], key "UninstallKey" of Uninstal.ini in `dir`.
std::string UninstallKeyFromIni(const std::string& dir);

// kivosetup.dll, loaded for each call and freed afterwards.
void RestoreDeviceDriver(const std::string& name, const std::string& data, bool configMg);
int RemoveDeviceDriver(const std::string& name, const std::string& data);
// Ends the program that owns the window (NT: its process; 9x: WM_CLOSE); a
// KivoReplionClass window still there gets the command 32774.
void CloseProgram(const uninst::WindowToClose& window, bool nt);
void Unregister(const std::string& path);
void RunAndWait(const std::string& commandLine, DWORD ms);

// Deletes the file at the next restart: NT the system's delayed delete, 9x a
// line of wininit.ini.
bool DeleteAtRestart(const std::string& path, bool nt, const std::string& windowsDir);

}  // namespace uninst_win
