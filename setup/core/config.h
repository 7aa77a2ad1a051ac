// The setup configuration file: the operating-system classes, the choice of
// the setup file (by the language file "SelLang.INI" or by the system), the
// [Setup] keys with their defaults and the interface rule, the value syntax of
// the list sections, the command-line switches and the licence file by
// locale. Plain rules over a Profile; the Windows program supplies the
// system's facts (version, directories, locale).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setup/core/profile.h"
#include "ui/rules/system_rules.h"

namespace setup {

// Receives one plain-text line per decision (the /LOG file); may be empty.
using LogFn = std::function<void(const std::string&)>;

using OsVersion = shared::OsVersion;

// Joins a directory and a relative name with one backslash.
std::string JoinPath(const std::string& dir, const std::string& name);

// ---- Languages -------------------------------------------------------------

struct Language {
    unsigned lcid;
    unsigned nameId;  // string resource naming it in the language list
};
// The installer's 14 languages in the order of the language list.
const std::vector<Language>& KnownLanguages();
// "0x%08lX": the language file's section of a locale.
std::string LanguageSection(unsigned lcid);
// The languages whose "support" is not 0, in the known order.
std::vector<Language> OfferedLanguages(Profile& p, const std::string& langFile);
// The preselected language: `userLcid` when offered, else English, else the
// first offered one (0 when none is offered).
unsigned PreselectedLanguage(const std::vector<Language>& offered, unsigned userLcid);
// The thread locale the installer runs with when the language file exists: a
// known language stays; else the known one of the same primary language (low
// byte); else English.
unsigned InstallerThreadLocale(unsigned threadLcid);

// ---- Choosing the setup file -----------------------------------------------

// The profile of the chosen language (Part of the language file), as a full
// path; empty when it names no existing file.
std::string LanguageProfileFile(Profile& p, const OsVersion& os, const std::string& setupDir,
                                unsigned lcid, const LogFn& log);
// The system rule: SETUPXP.INI ... SETUP95.INI, as a full path (the last
// candidate even when it does not exist).
std::string SystemSetupFile(Profile& p, const OsVersion& os, const std::string& setupDir,
                            const LogFn& log);

// ---- Value syntax ----------------------------------------------------------

struct Directories {
    std::string setup;         // 1
    std::string windows;       // 10 (12, 17, 18 below it)
    std::string system;        // 11, and 99 (the installation directory)
    std::string programsMenu;  // 13: all users', else the user's
    std::string programFiles;  // 20: empty when the system reports none
};
std::string DirectoryOf(const Directories& dirs, const std::string& id, bool* known);

// Expands %name% and splits a value into fields (see the setup file's value
// syntax). Each field holds at most 259 characters. With maxFields > 0 the
// last field takes the rest of the value as written (quotes kept, %name%
// expanded).
class ValueParser {
public:
    ValueParser(Profile& p, std::string file, Directories dirs)
        : profile_(p), file_(std::move(file)), dirs_(std::move(dirs)) {}
    std::vector<std::string> Fields(const std::string& value, size_t maxFields = 0) const;
    std::string Expand(const std::string& name) const;
    const Directories& dirs() const { return dirs_; }

private:
    Profile& profile_;
    std::string file_;
    Directories dirs_;
};

struct ListEntry {
    std::string key;
    std::string value;  // raw
    std::vector<std::string> fields;
};
constexpr size_t kMaxCopyEntries = 256;
// The entries of a list section in file order. [Copy Files] uses the larger
// key list and keeps at most 256 entries.
std::vector<ListEntry> ReadList(Profile& p, const std::string& file, const std::string& section,
                                const ValueParser& parser, size_t maxFields = 0);

// ---- [Setup] ---------------------------------------------------------------

enum Interface { kUsb = 1, kPs2 = 2 };
// TRUE/FALSE without regard to case; anything else: -1.
int ParseBool(const std::string& text);

struct Settings {
    std::string productName;
    std::string setupTitle;
    std::string version = "1.0";
    std::string uninstallDisplayName;
    std::string uninstallKey;
    std::string uninstallProgram = "kivouninstall.exe";
    bool askLicense = false;
    std::string licenseFolder;
    bool askType = true;
    bool askPath = false;
    bool askProgramFolder = false;
    bool usbType = true;
    bool ps2Type = true;
    std::string defaultType;
    std::string ps2DriverName;
    int restartKey = -1;  // ParseBool of "Restart"
    bool callConfigMg = true;
    bool deleteInfIndex = true;
    bool cabFile = false;
    std::string cabFileName;
    std::string bkgLogo;
    std::string infFile;  // absolute
    std::string usbInf;   // absolute, empty when not given
};
Settings ReadSettings(Profile& p, const std::string& file, const std::string& setupDir);

// The flags of the installer that the settings, the interface and the
// switches decide.
struct InstallerFlags {
    int interfaceType = kUsb;
    bool interfacePage = true;
    bool restart = true;
    bool configMg = true;
    std::string infFile;
    bool silent = false;
    bool hidden = false;
    bool noRestart = false;
    bool preload = false;
};
// Consequences of an interface type (also when the user picks one).
void ApplyInterface(InstallerFlags* f, const Settings& s, const OsVersion& os, int type);
// The interface rule and "Restart" at read time.
InstallerFlags InitialFlags(const Settings& s, const OsVersion& os, const LogFn& log);

// ---- Switches --------------------------------------------------------------

struct Switches {
    bool hidden = false;
    bool silent = false;
    bool noRestart = false;
    int type = 0;  // 0, kUsb or kPs2
    bool preload = false;
    std::string logFile;               // /LOG=file (quotes allowed)
    std::vector<std::string> unknown;  // ignored, named in the log
};
Switches ParseSwitches(const std::string& commandLine);
void ApplySwitches(InstallerFlags* f, const Switches& sw, const Settings& s, const OsVersion& os,
                   const LogFn& log);

// ---- Locale-dependent files ------------------------------------------------

// The licence file name for a locale ("00000409"): exact, else the same last
// two hex digits; empty when none matches.
std::string LicenceFileName(const std::string& locale);
// The language number of the DirectX hand-off, -1 when none.
int DirectXLanguageNumber(const std::string& locale);

// ---- [Add Registry] --------------------------------------------------------

struct RegistryValue {
    bool removeAtUninstall = true;  // flag not "0"
    std::string root;               // HKLM, HKCU, HKCR or HKU
    std::string subkey;
    bool writeValue = false;  // false: only the key is created
    std::string name;
    enum Kind { kString, kDword, kBinary } kind = kString;
    std::string text;
    std::vector<uint8_t> bytes;
    uint32_t dword = 0;
};
RegistryValue ParseRegistryValue(const std::vector<std::string>& fields);

}  // namespace setup
