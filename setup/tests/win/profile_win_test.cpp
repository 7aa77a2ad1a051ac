// The same files read through the system's private-profile functions and the
// portable reader must give the same values, key lists and settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "setup/core/flow.h"
#include "setup/win/win_profile.h"

namespace setup {
namespace {

const std::string kFiles[] = {
    // A full setup file.
    "[Setup]\r\nProductName=Tavix Suite\r\nSetupTitle = \"Tavix, the storage\"\r\nVersion=4.0.1\r\n"
    "AskLicense=true\r\nAskType=FALSE\r\nDefaultType=ps2\r\nRestart=no\r\nUSBInf=drv\\usb.inf\r\n"
    "UninstallKey=Tavix\r\n[Strings]\r\nApp=Tavix\r\nQuoted='single'\r\n"
    "[Copy Files]\r\nBrellmark.exe=%20%\\%App%\r\nbin\\tool.exe=%13%\\App,tool2.exe\r\n"
    "kivouninstall.exe=%10%\r\n[Add Registry]\r\nr1=1,HKLM,Software\\X,Size,1,0A\r\n"
    "r2=\"0\",HKCU,\"Software\\A,B\",Name,,v\r\n[PreRun Programs]\r\ncheck.exe=%1%,-q,1\r\n",
    // Lookup rules: case, duplicates, comments, blanks, quotes, bare keys.
    "; leading comment\r\nstray=1\r\n[Sec]\r\n  Key = \"quoted value\"  \r\nkey=second\r\nBare\r\n"
    ";c=1\r\nSingle='x'\r\nHalf=\"x\r\nEmpty=\r\n  =nameless\r\n[sec]\r\nOther=1\r\n"
    "[ Spaced ]\r\nA=1\r\n[Long]\r\nK=" +
        std::string(300, 'v') + "\r\n",
    // Unix line ends, no [Setup], tabs.
    "[Strings]\nA=\t1\t\nB = 2 \n[PostCheck Programs]\nDirectX9=0x00090000,DirectX,dxsetup.exe\n",
};

const char* const kSections[] = {
    "Setup", "SETUP", "Strings",  "Copy Files", "Add Registry", "PreRun Programs",
    "Sec",   "sec",   " Spaced ", "Spaced",     "Long",         "PostCheck Programs",
    "None",  ""};
const char* const kKeys[] = {"ProductName",
                             "SetupTitle",
                             "productname",
                             "Version",
                             "AskLicense",
                             "App",
                             "Quoted",
                             "Brellmark.exe",
                             "bin\\tool.exe",
                             "r2",
                             "Key",
                             "KEY",
                             "Bare",
                             "Single",
                             "Half",
                             "Empty",
                             "Other",
                             "A",
                             "B",
                             "K",
                             "DirectX9",
                             "stray",
                             ";c",
                             "Missing",
                             ""};

std::string TempFile(int i) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%stavix_profile_%lu_%d.ini", dir, GetCurrentProcessId(), i);
    return path;
}

class ProfileCompare : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            paths_.push_back(TempFile(i));
            FILE* f = std::fopen(paths_.back().c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fputs(kFiles[i].c_str(), f);
            std::fclose(f);
        }
    }
    void TearDown() override {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);  // drop the system's cache
        for (const auto& p : paths_)
            DeleteFileA(p.c_str());
    }
    std::vector<std::string> paths_;
};

TEST_F(ProfileCompare, ValuesAndKeyListsAgree) {
    WinProfile win;
    FileProfile portable;
    const size_t sizes[] = {1, 2, 3, 5, 9, 16, 260};
    int compared = 0;
    for (const auto& file : paths_) {
        for (const char* section : kSections) {
            for (size_t size : sizes) {
                SCOPED_TRACE(file + " [" + section + "] size " + std::to_string(size));
                EXPECT_EQ(portable.Keys(file, section, size), win.Keys(file, section, size));
                for (const char* key : kKeys) {
                    SCOPED_TRACE(key);
                    EXPECT_EQ(portable.String(file, section, key, " def ", size),
                              win.String(file, section, key, " def ", size));
                    ++compared;
                }
            }
            for (const char* key : kKeys)
                EXPECT_EQ(portable.Int(file, section, key, 7),
                          static_cast<int>(GetPrivateProfileIntA(section, key, 7, file.c_str())))
                    << section << "/" << key;
        }
    }
    EXPECT_GT(compared, 5000);
    EXPECT_TRUE(win.Exists(paths_[0]));
    EXPECT_FALSE(win.Exists(paths_[0] + ".none"));
}

TEST_F(ProfileCompare, SettingsAndListsAgree) {
    WinProfile win;
    FileProfile portable;
    const Directories dirs{"C:\\CD", "C:\\W", "C:\\W\\S", "C:\\P", ""};
    const auto compared = [](const Settings& s) {
        return std::tie(s.productName, s.setupTitle, s.version, s.askLicense, s.askType,
                        s.defaultType, s.restartKey, s.usbInf, s.uninstallKey);
    };
    for (const auto& file : paths_) {
        SCOPED_TRACE(file);
        const Settings a = ReadSettings(portable, file, "C:\\CD");
        const Settings b = ReadSettings(win, file, "C:\\CD");
        EXPECT_EQ(compared(a), compared(b));
        const OsVersion xp{2, 5, 1};
        const InstallerFlags fa = InitialFlags(a, xp, nullptr), fb = InitialFlags(b, xp, nullptr);
        EXPECT_EQ(fa.interfaceType, fb.interfaceType);
        EXPECT_EQ(fa.restart, fb.restart);
        EXPECT_EQ(PagesShown(a, fa), PagesShown(b, fb));
        for (const char* section : {"Copy Files", "Add Registry", "PreRun Programs", "Strings"}) {
            const auto la = ReadList(portable, file, section, ValueParser(portable, file, dirs));
            const auto lb = ReadList(win, file, section, ValueParser(win, file, dirs));
            ASSERT_EQ(la.size(), lb.size()) << section;
            for (size_t i = 0; i < la.size(); ++i) {
                EXPECT_EQ(la[i].key, lb[i].key);
                EXPECT_EQ(la[i].fields, lb[i].fields);
            }
        }
    }
    // The full file's details, read through the system.
    const Settings s = ReadSettings(win, paths_[0], "C:\\CD");
    EXPECT_EQ(s.setupTitle, "Tavix, the storage");
    const auto reg = ReadList(win, paths_[0], "Add Registry", ValueParser(win, paths_[0], dirs));
    ASSERT_EQ(reg.size(), 2u);
    const RegistryValue r = ParseRegistryValue(reg[0].fields);
    EXPECT_EQ(r.kind, RegistryValue::kDword);
    EXPECT_EQ(r.dword, 10u);
    EXPECT_EQ(ParseRegistryValue(reg[1].fields).subkey, "Software\\A,B");
}

}  // namespace
}  // namespace setup
