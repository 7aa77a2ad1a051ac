// The installation steps' Host over Win32: files, version resources, the
// registry, cabinets through the system's cabinet iteration, links through
// the shell's link interface, programs; and the driver step's DriverHost over
// newdev.dll, setupapi.dll and kivosetup.dll, each loaded by name per call.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "setup/core/install.h"

namespace setup_win {

// The copy loop's buffer: under Wine a large one is about half again as fast
// as CopyFile's small one.
constexpr unsigned long kCopyChunk = 4ul << 20;
// The buffer a registry value is first read into (a longer one is read again).
constexpr unsigned long kValueGuess = 512;

// How the worker reaches the copying page and the pause event.
struct PageLink {
    HWND page = nullptr;
    HANDLE pause = nullptr;
    volatile LONG* cancel = nullptr;
    volatile LONG* percent = nullptr;
    // Set while a WM_SHOW_COPY is on its way; the page clears it. Texts of
    // files copied meanwhile are not posted (the page shows the files as fast
    // as it can paint, not one message per file).
    volatile LONG* copyTextPending = nullptr;
    // 1 while the page holds the worker (it resets `pause` after setting
    // this and clears it after setting `pause` again): the worker waits for
    // the event only then, not at every file.
    volatile LONG* held = nullptr;
    // Test hook (TAVIX_SETUP_PAUSE_AT=n): before the n-th file the worker
    // holds the pause event itself and presses Cancel on the wizard; with
    // "nh" it only holds, and the test leaves the page its own way; with "nc"
    // it presses Cancel just after passing the wait, and the worker goes on
    // to its end while the Exit dialog is open.
    long pauseAt = -1;
    char pauseMode = 0;
};

class WinHost : public setup::Host {
public:
    explicit WinHost(PageLink link) : link_(link) {}
    ~WinHost() override;
    WinHost(const WinHost&) = delete;
    WinHost& operator=(const WinHost&) = delete;
    // Closes the keys kept open (also before the program ends).
    void CloseKeys();

    bool FileExists(const std::string& path) override;
    bool DirectoryExists(const std::string& path) override;
    int64_t FileSize(const std::string& path) override;
    setup::FileVersion Version(const std::string& path) override;
    uint64_t WriteTime(const std::string& path) override;
    bool MakeDirectory(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    CopyStatus CopyFile(const std::string& from, const std::string& to) override;
    bool DeleteFile(const std::string& path) override;
    std::vector<DirItem> List(const std::string& dir) override;
    std::string ScratchDirectory() override;

    bool KeyExists(setup::Root root, const std::string& key) override;
    bool CreateKey(setup::Root root, const std::string& key) override;
    KeyOutcome OpenOrCreateKey(setup::Root root, const std::string& key) override;
    bool ReadValue(setup::Root root, const std::string& key, const std::string& name,
                   setup::RegData* data) override;
    bool WriteValue(setup::Root root, const std::string& key, const std::string& name,
                    const setup::RegData& data) override;
    bool DeleteValue(setup::Root root, const std::string& key, const std::string& name) override;
    bool DeleteKey(setup::Root root, const std::string& key) override;

    bool ListCabinet(const std::string& cabinet,
                     std::vector<setup::CabinetMember>* members) override;
    bool ExtractCabinet(const std::string& cabinet,
                        const std::function<std::string(const std::string&)>& want,
                        const std::function<bool()>& before) override;

    void ShowCopy(const std::string& from, const std::string& to) override;
    void SetPercent(int percent) override;
    bool WaitPause(size_t file) override;
    void EnterRegistryStage() override;
    void LeaveRegistryStage() override;

    void CloseProgram(const std::string& windowClass, const std::string& title) override;
    std::string ShortcutFolder(int place) override;
    bool CreateLink(const Link& link) override;
    void RunAndWait(const std::string& commandLine, const std::string& directory,
                    unsigned long ms) override;
    void ShellOpen(const std::string& file, const std::string& arguments,
                   const std::string& directory) override;
    std::string UserLocale() override;
    void Log(const std::string& line) override;

    setup::OsVersion os;

private:
    // An open key, kept for the run; `created` tells whether this call made it.
    HKEY Key(setup::Root root, const std::string& key, bool create, bool* created = nullptr);
    PageLink link_;
    std::vector<char> buffer_;
    std::map<std::string, HKEY> keys_;
    int lastPercent_ = -1;
    // The page is told at most every kPageMs: the texts of the file being
    // copied and the bar (the last percentage always).
    static constexpr DWORD kPageMs = 100;
    DWORD lastText_ = 0, lastBar_ = 0;
    bool textShown_ = false, barShown_ = false;
};

class WinDriverHost : public setup::DriverHost {
public:
    int UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                     bool* reboot) override;
    std::string CopyOemInf(const std::string& source) override;
    int InstallPnP(const std::string& deviceClass, const std::string& infPath,
                   const std::string& param5, const std::string& provider,
                   const std::string& param4, int force, int configMg) override;
    int ConnectedDevices(const std::string& deviceClass, const std::string& param5,
                         const std::string& provider) override;
    void RemoveDeviceFromRegistry(const std::string& hardwareId) override;
    bool OnFixedDisk(const std::string& path) override;
    // The driver step's pauses; TAVIX_SETUP_DRIVER_WAIT_MS shortens them in tests.
    void Wait(unsigned long ms) override;
};

// Messages the worker posts to the copying page (WM_APP + 2 and on).
constexpr UINT WM_SHOW_COPY = WM_APP + 2;       // lParam: heap pair of wide texts
constexpr UINT WM_REGISTRY_STAGE = WM_APP + 3;  // wParam 1 enter, 0 leave
constexpr UINT WM_TEST_PAUSED = WM_APP + 4;     // the test hook held the worker

}  // namespace setup_win
