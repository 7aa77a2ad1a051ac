// The driver step against the stand-in libraries (tests/standins): the real
// loading by name of newdev.dll, setupapi.dll and kivosetup.dll, checked by
// the calls the stand-ins record with their arguments, on each system class.
//
// The program lies beside the stand-ins. Wine loads its own newdev.dll and
// setupapi.dll unless told otherwise: the program writes the per-program
// override of Wine's registry (native first for the two names, for this
// program's file name only), starts itself once more under it, waits, and
// removes the override again.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include <fstream>
#include <string>
#include <vector>

#include "setup/core/install.h"
#include "setup/win/install_host.h"
#include "setup/win/win_profile.h"

namespace {

std::string Temp() {
    char buf[MAX_PATH];
    GetTempPathA(MAX_PATH, buf);
    return buf;
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

class Drivers : public ::testing::Test {
protected:
    void SetUp() override {
        tag_ = "TavixDrv" + std::to_string(GetCurrentProcessId());
        dir_ = Temp() + tag_;
        CreateDirectoryA(dir_.c_str(), nullptr);
        log_ = dir_ + "\\calls.log";
        SetEnvironmentVariableA("TAVIX_STANDIN_LOG", log_.c_str());
        SetEnvironmentVariableA("TAVIX_SETUP_DRIVER_WAIT_MS", "0");
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        windows_ = windows;
    }
    void TearDown() override {
        for (const char* var : {"TAVIX_STANDIN_UpdateDriverForPlugAndPlayDevicesA",
                                "TAVIX_STANDIN_REBOOT", "TAVIX_STANDIN_GetConnectedDeviceNumber"})
            SetEnvironmentVariableA(var, nullptr);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE,
                     ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + tag_).c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Kivo\\Uninstall\\SharedFile\\oem7.inf");
        DeleteFileA(log_.c_str());
        DeleteFileA((dir_ + "\\SETUP.INI").c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    // Runs the driver step of `ini` on a system of class `os`; the calls.
    std::vector<std::string> Run(const setup::OsVersion& os, const std::string& ini,
                                 int* installed = nullptr, bool* restart = nullptr) {
        DeleteFileA(log_.c_str());
        const std::string file = dir_ + "\\SETUP.INI";
        std::ofstream(file, std::ios::binary) << ini;
        setup::WinProfile profile;
        setup::InstallInput in;
        in.os = os;
        in.dirs = {dir_, windows_, windows_ + "\\system32", "", ""};
        in.setupFile = file;
        in.settings = setup::ReadSettings(profile, file, dir_);
        setup_win::WinHost host{setup_win::PageLink{}};
        host.os = os;
        setup_win::WinDriverHost drivers;
        setup::Installation inst(profile, host, drivers, in);
        const int n = inst.InstallDrivers();
        if (installed)
            *installed = n;
        if (restart)
            *restart = inst.driverRestart();
        return Lines(log_);
    }
    std::string tag_, dir_, log_, windows_;
};

const char kSections[] =
    "[Update Driver]\n"
    "1=Image,cam.inf,Prov,p4,p5,,,0,USB\\VID_04B4&PID_8613,drv\\\n"
    "2=Unknown,unk.inf,Prov,,,,,,ROOT\\UNK,\n"
    "[Update Driver 1]\n"
    "1=Ports,port.inf,Acme,a,b,,,TRUE,PORT1,\n";

TEST_F(Drivers, XpInstallsByHardwareIdWithTheForceFlag) {
    SetEnvironmentVariableA("TAVIX_STANDIN_REBOOT", "1");
    int n = 0;
    bool restart = false;
    const auto calls = Run(
        {2, 5, 1}, std::string("[Setup]\nUninstallKey=") + tag_ + "\n" + kSections, &n, &restart);
    // Field 8 is 0, yet the flag is INSTALLFLAG_FORCE (1); no second pass.
    const std::vector<std::string> want = {
        "UpdateDriverForPlugAndPlayDevicesA(0,\"USB\\VID_04B4&PID_8613\",\"" + dir_ +
            "\\drv\\cam.inf\",1,out)",
        "UpdateDriverForPlugAndPlayDevicesA(0,\"ROOT\\UNK\",\"" + dir_ + "\\unk.inf\",1,out)",
        "UpdateDriverForPlugAndPlayDevicesA(0,\"PORT1\",\"" + dir_ + "\\port.inf\",1,out)"};
    EXPECT_EQ(calls, want);
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(restart);
}

TEST_F(Drivers, XpSecondPassCopiesTheInfOncePerSection) {
    SetEnvironmentVariableA("TAVIX_STANDIN_UpdateDriverForPlugAndPlayDevicesA", "0");
    int n = -1;
    const auto calls =
        Run({2, 5, 1}, std::string("[Setup]\nUninstallKey=") + tag_ + "\n" + kSections, &n);
    const std::vector<std::string> want = {
        "UpdateDriverForPlugAndPlayDevicesA(0,\"USB\\VID_04B4&PID_8613\",\"" + dir_ +
            "\\drv\\cam.inf\",1,out)",
        "UpdateDriverForPlugAndPlayDevicesA(0,\"ROOT\\UNK\",\"" + dir_ + "\\unk.inf\",1,out)",
        "SetupCopyOEMInfA(\"" + dir_ + "\\drv\\cam.inf\",null,1,0,buffer,260,null,null)",
        "UpdateDriverForPlugAndPlayDevicesA(0,\"PORT1\",\"" + dir_ + "\\port.inf\",1,out)",
        "SetupCopyOEMInfA(\"" + dir_ + "\\port.inf\",null,1,0,buffer,260,null,null)"};
    EXPECT_EQ(calls, want);
    EXPECT_EQ(n, 0);
    // The system's copy is registered for uninstall.
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(SHGetValueA(HKEY_LOCAL_MACHINE,
                          ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + tag_ +
                           "\\DeleteFiles")
                              .c_str(),
                          "oem7.inf", nullptr, value, &size),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(std::string(value), windows_ + "\\inf");
}

TEST_F(Drivers, MeRunsBothPassesAnd98UsesTheCompanionLibrary) {
    const auto me = Run({1, 4, 90}, kSections);
    const std::vector<std::string> wantMe = {
        "UpdateDriverForPlugAndPlayDevicesA(0,\"USB\\VID_04B4&PID_8613\",\"" + dir_ +
            "\\drv\\cam.inf\",1,out)",
        "SetupCopyOEMInfA(\"" + dir_ + "\\drv\\cam.inf\",null,1,0,buffer,260,null,null)",
        "RemoveDeviceFromRegistry(\"\",\"ROOT\\UNK\")",
        "UpdateDriverForPlugAndPlayDevicesA(0,\"PORT1\",\"" + dir_ + "\\port.inf\",1,out)",
        "SetupCopyOEMInfA(\"" + dir_ + "\\port.inf\",null,1,0,buffer,260,null,null)"};
    EXPECT_EQ(me, wantMe);

    SetEnvironmentVariableA("TAVIX_STANDIN_GetConnectedDeviceNumber", "2");
    int n = 0;
    const auto w98 = Run({1, 4, 10}, kSections, &n);
    const std::vector<std::string> want98 = {
        "InstallPnPDeviceDriver(\"Image\",\"" + dir_ +
            "\\drv\\cam.inf\",\"p5\",\"Prov\",\"p4\",0,1)",
        "GetConnectedDeviceNumber(\"Image\",\"p5\",\"Prov\")",
        "InstallPnPDeviceDriver(\"Ports\",\"" + dir_ + "\\port.inf\",\"b\",\"Acme\",\"a\",1,1)",
        "GetConnectedDeviceNumber(\"Ports\",\"b\",\"Acme\")"};
    EXPECT_EQ(w98, want98);
    EXPECT_EQ(n, 4);
}

TEST_F(Drivers, EmptyFirstSectionEndsTheStep) {
    const auto calls =
        Run({2, 5, 1}, "[Update Driver]\n[Update Driver 1]\n1=Ports,p.inf,,,,,,,X,\n");
    EXPECT_TRUE(calls.empty());
}

}  // namespace

int main(int argc, char** argv) {
    char child[8] = {};
    if (GetEnvironmentVariableA("TAVIX_DRIVERS_CHILD", child, sizeof child) == 0) {
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        const std::string key = std::string("Software\\Wine\\AppDefaults\\") +
                                PathFindFileNameA(exe) + "\\DllOverrides";
        HKEY k;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                            nullptr) != ERROR_SUCCESS)
            return 2;
        for (const char* dll : {"newdev", "setupapi"})
            RegSetValueExA(k, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
        RegCloseKey(k);
        SetEnvironmentVariableA("TAVIX_DRIVERS_CHILD", "1");
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string cmd = GetCommandLineA();
        DWORD code = 2;
        if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                           &pi)) {
            WaitForSingleObject(pi.hProcess, INFINITE);
            GetExitCodeProcess(pi.hProcess, &code);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        SHDeleteKeyA(HKEY_CURRENT_USER, key.substr(0, key.size() - 13).c_str());
        return static_cast<int>(code);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
