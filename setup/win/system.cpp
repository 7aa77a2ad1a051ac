#include "setup/win/system.h"

#include <windows.h>

#include <shlobj.h>

#include "ui/kivosetup.h"

namespace setup_sys {

namespace {
std::string Folder(int csidl) {
    char buf[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf)) && buf[0] != '\0')
        return buf;
    return {};
}

std::string RegText(HKEY root, const char* subkey, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char buf[64] = {};
    DWORD size = sizeof buf - 1;
    DWORD type = 0;
    const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? std::string(buf) : std::string();
}
}  // namespace

setup::Directories QueryDirectories(const std::string& setupDir) {
    setup::Directories d;
    d.setup = setupDir;
    char buf[MAX_PATH] = {};
    GetWindowsDirectoryA(buf, MAX_PATH);
    d.windows = buf;
    GetSystemDirectoryA(buf, MAX_PATH);
    d.system = buf;
    d.programsMenu = Folder(CSIDL_COMMON_PROGRAMS);
    if (d.programsMenu.empty())
        d.programsMenu = Folder(CSIDL_PROGRAMS);
    d.programFiles = Folder(CSIDL_PROGRAM_FILES);
    return d;
}

std::string UserLocale(const setup::OsVersion& os) {
    const std::string v =
        os.IsNT() ? RegText(HKEY_CURRENT_USER, "Control Panel\\International", "Locale")
                  : RegText(HKEY_CURRENT_USER, "Control Panel\\Desktop\\ResourceLocale", nullptr);
    return v.empty() ? "00000409" : v;
}

unsigned long InstalledDirectXVersion() {
    HMODULE lib = LoadLibraryA("lumodxhlp.dll");
    if (lib == nullptr) {
        ui::sys::Log("lumodxhlp.dll not loaded: DirectX version 0");
        return 0;
    }
    using Fn = unsigned long(WINAPI*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, "GetDXVersion")));
    const unsigned long v = fn != nullptr ? fn() : 0;
    FreeLibrary(lib);
    ui::sys::Log("GetDXVersion: " + std::to_string(v));
    return v;
}

void ReenumerateDevices() {
    HMODULE lib = LoadLibraryA(kivosetup::kLibrary);
    if (lib == nullptr)
        return;
    auto fn = reinterpret_cast<kivosetup::ReenumerateDeviceWithoutDelayFn>(
        reinterpret_cast<void*>(GetProcAddress(lib, kivosetup::kReenumerateDeviceWithoutDelay)));
    if (fn != nullptr)
        fn();
    FreeLibrary(lib);
}

bool FloppyInDriveA() {
    if (GetDriveTypeA("A:\\") != DRIVE_REMOVABLE)
        return false;
    const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    const BOOL present =
        GetVolumeInformationA("A:\\", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0);
    SetErrorMode(old);
    return present != 0;
}

bool ScheduleRename(const setup::OsVersion& os, const std::string& windowsDir,
                    const std::string& target, const std::string& temporary) {
    if (!os.Is95())
        return MoveFileExA(temporary.c_str(), target.c_str(),
                           MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
    return ui::sys::AddToWininit(windowsDir, target, temporary);
}

}  // namespace setup_sys
