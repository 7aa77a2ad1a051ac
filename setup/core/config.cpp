#include "setup/core/config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace setup {

namespace {

constexpr size_t kFieldChars = kTextChars - 1;
const char kSetup[] = "Setup";

void Note(const LogFn& log, const std::string& line) {
    if (log)
        log(line);
}

bool Exists(Profile& p, const std::string& dir, const std::string& name) {
    return p.Exists(JoinPath(dir, name));
}

std::string YesNo(bool b) {
    return b ? "TRUE" : "FALSE";
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (!name.empty() && (name.front() == '\\' || name.front() == '/'))
        return dir.back() == '\\' ? dir + name.substr(1) : dir + name;
    return dir.back() == '\\' ? dir + name : dir + "\\" + name;
}

// ---- Languages -------------------------------------------------------------

const std::vector<Language>& KnownLanguages() {
    static const std::vector<Language> table = {
        {1028, 1000}, {2052, 1001}, {1030, 1002}, {1043, 1003}, {1033, 1004},
        {1035, 1005}, {1036, 1006}, {1031, 1007}, {1040, 1008}, {1041, 1009},
        {1044, 1010}, {1046, 1011}, {2058, 1012}, {1053, 1013}};
    return table;
}

std::string LanguageSection(unsigned lcid) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(lcid));
    return buf;
}

std::vector<Language> OfferedLanguages(Profile& p, const std::string& langFile) {
    std::vector<Language> out;
    for (const auto& l : KnownLanguages())
        if (p.Int(langFile, LanguageSection(l.lcid), "support", 0) != 0)
            out.push_back(l);
    return out;
}

unsigned PreselectedLanguage(const std::vector<Language>& offered, unsigned userLcid) {
    for (const auto& l : offered)
        if (l.lcid == userLcid)
            return l.lcid;
    for (const auto& l : offered)
        if (l.lcid == 1033)
            return l.lcid;
    return offered.empty() ? 0 : offered.front().lcid;
}

unsigned InstallerThreadLocale(unsigned threadLcid) {
    for (const auto& l : KnownLanguages())
        if (l.lcid == threadLcid)
            return threadLcid;
    for (const auto& l : KnownLanguages())
        if ((l.lcid & 0xFF) == (threadLcid & 0xFF))
            return l.lcid;
    return 1033;
}

// ---- Choosing the setup file -----------------------------------------------

namespace {

// A system of a family, newest first: its test (none for the family's
// oldest, which is taken when no newer one is), its own setup file and its
// entry in a language's section of SelLang.INI.
struct SystemRung {
    bool (OsVersion::*is)() const;
    const char* setupFile;
    const char* profileKey;
};
constexpr SystemRung kNtRungs[] = {{&OsVersion::IsXP, "SETUPXP.INI", "WinXP Profile"},
                                   {&OsVersion::Is2000, "SETUP2K.INI", "Win2K Profile"},
                                   {nullptr, "SETUPNT.INI", "WinNT Profile"}};
constexpr SystemRung k9xRungs[] = {{&OsVersion::IsME, "SETUPME.INI", "WinME Profile"},
                                   {&OsVersion::Is98, "SETUP98.INI", "Win98 Profile"},
                                   {nullptr, "SETUP95.INI", "Win95 Profile"}};

std::span<const SystemRung> RungsFor(const OsVersion& os) {
    return os.IsNT() ? kNtRungs : k9xRungs;
}

}  // namespace

std::string LanguageProfileFile(Profile& p, const OsVersion& os, const std::string& setupDir,
                                unsigned lcid, const LogFn& log) {
    const std::string langFile = JoinPath(setupDir, "SelLang.INI");
    const std::string section = LanguageSection(lcid);
    auto value = [&](const char* key) { return p.String(langFile, section, key, "", kTextChars); };
    std::string chosen;
    std::string key;
    // On the NT family a system's own setup file must be there, on the 9x
    // family the profile the entry names.
    for (const SystemRung& r : RungsFor(os)) {
        const std::string named = value(r.profileKey);
        if (named.empty())
            continue;
        if (r.is == nullptr ||
            ((os.*r.is)() && Exists(p, setupDir, os.IsNT() ? r.setupFile : named))) {
            key = r.profileKey;
            break;
        }
    }
    if (key.empty()) {
        Note(log, "language " + section + ": no profile for this system");
        return {};
    }
    chosen = JoinPath(setupDir, value(key.c_str()));
    if (!p.Exists(chosen)) {
        Note(log, "language " + section + ": \"" + key + "\" names " + chosen +
                      ", which does not exist");
        return {};
    }
    Note(log, "language " + section + ": \"" + key + "\" names " + chosen);
    return chosen;
}

std::string SystemSetupFile(Profile& p, const OsVersion& os, const std::string& setupDir,
                            const LogFn& log) {
    std::string name;
    for (const SystemRung& r : RungsFor(os)) {
        if (r.is == nullptr || ((os.*r.is)() && Exists(p, setupDir, r.setupFile))) {
            name = r.setupFile;
            break;
        }
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "system rule (platform %u, version %u.%u): %s", os.platform,
                  os.major, os.minor, name.c_str());
    Note(log, buf);
    return JoinPath(setupDir, name);
}

// ---- Value syntax ----------------------------------------------------------

std::string DirectoryOf(const Directories& d, const std::string& id, bool* known) {
    *known = true;
    if (id == "1")
        return d.setup;
    if (id == "11" || id == "99")
        return d.system;
    std::string folder;
    if (shared::WindowsFolder(d.windows, id, &folder))
        return folder;
    if (id == "13")
        return d.programsMenu;
    if (id == "20") {
        if (!d.programFiles.empty())
            return d.programFiles;
        const size_t colon = d.windows.find(':');
        const std::string root =
            colon == std::string::npos ? "C:\\" : d.windows.substr(0, colon + 1) + "\\";
        return root + "Program Files";
    }
    *known = false;
    return {};
}

std::string ValueParser::Expand(const std::string& name) const {
    bool known = false;
    std::string dir = DirectoryOf(dirs_, name, &known);
    if (known)
        return dir;
    // [Strings] values are used as they stand: no second round of %name%.
    return profile_.String(file_, "Strings", name, "", kTextChars);
}

std::vector<std::string> ValueParser::Fields(const std::string& value, size_t maxFields) const {
    std::vector<std::string> fields(1);
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    bool quoted = false;
    auto add = [&](const std::string& s) {
        std::string& f = fields.back();
        if (f.size() < kFieldChars)
            f += s.substr(0, kFieldChars - f.size());
    };
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (maxFields > 0 && fields.size() == maxFields) {
            // The last field: the rest as written, %name% expanded.
            if (c == '%') {
                const size_t close = value.find_first_of("%,\"", i + 1);
                if (close != std::string::npos && value[close] == '%' && close > i + 1) {
                    add(Expand(value.substr(i + 1, close - i - 1)));
                    i = close;
                    continue;
                }
            }
            add(std::string(1, c));
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c == '%') {
            // A name holds no comma and no quote: "100%,50%" keeps its signs.
            const size_t close = value.find_first_of("%,\"", i + 1);
            if (close == std::string::npos || value[close] != '%') {
                add("%");  // a lone percent sign stays
            } else if (close == i + 1) {
                add("%");  // %% is one percent sign
                i = close;
            } else {
                add(Expand(value.substr(i + 1, close - i - 1)));
                i = close;
            }
        } else {
            add(std::string(1, c));
        }
    }
    return fields;
}

std::vector<ListEntry> ReadList(Profile& p, const std::string& file, const std::string& section,
                                const ValueParser& parser, size_t maxFields) {
    const bool copy = EqualNoCase(section, "Copy Files");
    std::vector<ListEntry> out;
    for (const auto& key : p.Keys(file, section, copy ? kCopyKeyListChars : kTextChars)) {
        if (copy && out.size() == kMaxCopyEntries)
            break;
        ListEntry e;
        e.key = key;
        e.value = p.String(file, section, key, "", kTextChars);
        e.fields = parser.Fields(e.value, maxFields);
        out.push_back(std::move(e));
    }
    return out;
}

// ---- [Setup] ---------------------------------------------------------------

int ParseBool(const std::string& text) {
    if (EqualNoCase(text, "TRUE"))
        return 1;
    if (EqualNoCase(text, "FALSE"))
        return 0;
    return -1;
}

Settings ReadSettings(Profile& p, const std::string& file, const std::string& setupDir) {
    Settings s;
    auto text = [&](const char* key, const std::string& def) {
        return p.String(file, kSetup, key, def, kTextChars);
    };
    auto flag = [&](const char* key, bool def) {
        const int b = ParseBool(text(key, ""));
        return b < 0 ? def : b == 1;
    };
    s.productName = text("ProductName", "");
    s.setupTitle = text("SetupTitle", s.productName);
    s.version = text("Version", "1.0");
    s.uninstallDisplayName = text("UninstallDisplayName", "");
    s.uninstallKey = text("UninstallKey", "");
    s.uninstallProgram = text("UninstallProgram", "kivouninstall.exe");
    s.askLicense = flag("AskLicense", false);
    s.licenseFolder = text("LicenseFolder", "");
    s.askType = flag("AskType", true);
    s.askPath = flag("AskPath", false);
    s.askProgramFolder = flag("AskProgramFolder", false);
    s.usbType = flag("USBType", true);
    s.ps2Type = flag("PS2Type", true);
    s.defaultType = text("DefaultType", "");
    s.ps2DriverName = text("PS2DriverName", "");
    s.restartKey = ParseBool(text("Restart", ""));
    s.callConfigMg = flag("CallConfigMg", true);
    s.deleteInfIndex = flag("DeleteINFIndex", true);
    s.cabFile = flag("CabFile", false);
    if (s.cabFile)
        s.cabFileName = text("CabFileName", "");
    s.bkgLogo = text("BkgLogo", "");
    s.infFile = JoinPath(setupDir, text("InfFile", "lumomedia.inf"));
    const std::string usb = text("USBInf", "");
    if (!usb.empty())
        s.usbInf = JoinPath(setupDir, usb);
    return s;
}

void ApplyInterface(InstallerFlags* f, const Settings& s, const OsVersion& os, int type) {
    f->interfaceType = type;
    if (type == kUsb) {
        f->infFile = s.usbInf.empty() ? s.infFile : s.usbInf;
        f->restart = false;
        f->configMg = true;
    } else {
        f->infFile = s.infFile;
        f->configMg = !os.IsNT();
        f->restart = os.IsNT();
    }
}

InstallerFlags InitialFlags(const Settings& s, const OsVersion& os, const LogFn& log) {
    InstallerFlags f;
    f.configMg = s.callConfigMg;
    f.infFile = s.infFile;
    f.interfacePage = s.askType && s.usbType && s.ps2Type;
    if (!f.interfacePage) {
        int type;
        std::string why;
        if (!s.ps2Type) {
            type = kPs2;
            why = "PS2Type is FALSE";
        } else if (!s.usbType) {
            type = kUsb;
            why = "USBType is FALSE";
        } else if (!s.defaultType.empty()) {
            type = (s.defaultType[0] == 'P' || s.defaultType[0] == 'p') ? kPs2 : kUsb;
            why = "DefaultType is " + s.defaultType;
        } else {
            type = s.ps2DriverName.empty() ? kUsb : kPs2;
            why = s.ps2DriverName.empty() ? "no PS2DriverName" : "PS2DriverName is set";
        }
        ApplyInterface(&f, s, os, type);
        Note(log, std::string("interface page off; interface ") + (type == kPs2 ? "PS/2" : "USB") +
                      " (" + why + ")");
    } else {
        Note(log, "interface page on");
    }
    if (s.restartKey >= 0)
        f.restart = s.restartKey == 1;
    Note(log, "restart " + YesNo(f.restart) + ", configuration-manager flag " + YesNo(f.configMg));
    return f;
}

// ---- Switches --------------------------------------------------------------

Switches ParseSwitches(const std::string& commandLine) {
    Switches sw;
    std::string rest;
    // /LOG=file first: its file name may hold blanks and slashes.
    for (size_t i = 0; i < commandLine.size();) {
        if (commandLine[i] == '/' &&
            StartsNoCase(std::string_view(commandLine).substr(i + 1), "LOG=")) {
            size_t j = i + 5;
            if (j < commandLine.size() && commandLine[j] == '"') {
                const size_t close = commandLine.find('"', j + 1);
                const size_t end = close == std::string::npos ? commandLine.size() : close;
                sw.logFile = commandLine.substr(j + 1, end - j - 1);
                i = close == std::string::npos ? end : close + 1;
            } else {
                size_t end = j;
                while (end < commandLine.size() && commandLine[end] != ' ' &&
                       commandLine[end] != '\t')
                    ++end;
                sw.logFile = commandLine.substr(j, end - j);
                i = end;
            }
            continue;
        }
        if (commandLine[i] != ' ' && commandLine[i] != '\t')
            rest += commandLine[i];
        ++i;
    }
    size_t pos = rest.find('/');
    while (pos != std::string::npos) {
        const size_t next = rest.find('/', pos + 1);
        std::string name =
            rest.substr(pos + 1, (next == std::string::npos ? rest.size() : next) - pos - 1);
        pos = next;
        if (name.empty())
            continue;
        const std::string cut = name.substr(0, 15);
        if (EqualNoCase(cut, "H")) {
            sw.hidden = sw.silent = true;
        } else if (EqualNoCase(cut, "S")) {
            sw.silent = true;
        } else if (EqualNoCase(cut, "NR")) {
            sw.noRestart = true;
        } else if (EqualNoCase(cut, "TYPE:PS2")) {
            sw.type = kPs2;
        } else if (EqualNoCase(cut, "TYPE:USB")) {
            sw.type = kUsb;
        } else if (EqualNoCase(cut, "PRELOAD") || EqualNoCase(cut, "P")) {
            sw.preload = true;
        } else {
            sw.unknown.push_back(name);
        }
    }
    return sw;
}

void ApplySwitches(InstallerFlags* f, const Switches& sw, const Settings& s, const OsVersion& os,
                   const LogFn& log) {
    if (sw.hidden) {
        f->hidden = f->silent = true;
        Note(log, "switch /H: hidden and silent");
    } else if (sw.silent) {
        f->silent = true;
        Note(log, "switch /S: silent");
    }
    if (sw.noRestart) {
        f->noRestart = true;
        Note(log, "switch /NR: no restart");
    }
    if (sw.type != 0) {
        ApplyInterface(f, s, os, sw.type);
        f->interfacePage = false;
        Note(log, std::string("switch /TYPE:") + (sw.type == kPs2 ? "PS2" : "USB") +
                      ": interface page removed; restart " + YesNo(f->restart));
    }
    if (sw.preload) {
        f->preload = true;
        f->configMg = false;
        Note(log, "switch /PRELOAD: preload mode");
    }
    for (const auto& u : sw.unknown)
        Note(log, "unknown switch /" + u + " ignored");
}

// ---- Locale-dependent files ------------------------------------------------

namespace {
struct LocaleFile {
    const char* locale;
    const char* file;
};
const LocaleFile kLicences[] = {
    {"00000404", "LICENTCH.TXT"}, {"00000804", "LICENSCH.TXT"}, {"00000406", "LICENDAN.TXT"},
    {"00000413", "LICENDUT.TXT"}, {"00000409", "LICENENG.TXT"}, {"0000040B", "LICENFIN.TXT"},
    {"0000040C", "LICENFRE.TXT"}, {"00000407", "LICENGER.TXT"}, {"00000410", "LICENITA.TXT"},
    {"00000411", "LICENJP.TXT"},  {"00000414", "LICENNOR.TXT"}, {"00000416", "LICENBRA.TXT"},
    {"0000080A", "LICENSPA.TXT"}, {"0000041D", "LICENSWE.TXT"}};
const char* const kDirectXNumbers[] = {"00000404", "00000804", "00000411", "00000406", "00000413",
                                       "00000409", "0000040B", "0000040C", "00000407", "00000410",
                                       "00000414", "00000416", "0000080A", "0000041D"};

bool SameLastTwo(const std::string& a, const std::string& b) {
    return a.size() >= 2 && b.size() >= 2 &&
           EqualNoCase(a.substr(a.size() - 2), b.substr(b.size() - 2));
}
}  // namespace

std::string LicenceFileName(const std::string& locale) {
    for (const auto& l : kLicences)
        if (EqualNoCase(locale, l.locale))
            return l.file;
    for (const auto& l : kLicences)
        if (SameLastTwo(locale, l.locale))
            return l.file;
    return {};
}

int DirectXLanguageNumber(const std::string& locale) {
    const int n = static_cast<int>(sizeof kDirectXNumbers / sizeof kDirectXNumbers[0]);
    for (int i = 0; i < n; ++i)
        if (EqualNoCase(locale, kDirectXNumbers[i]))
            return i;
    for (int i = 0; i < n; ++i)
        if (SameLastTwo(locale, kDirectXNumbers[i]))
            return i;
    return -1;
}

// ---- [Add Registry] --------------------------------------------------------

RegistryValue ParseRegistryValue(const std::vector<std::string>& fields) {
    RegistryValue r;
    auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    r.removeAtUninstall = field(0) != "0";
    const std::string root = field(1);
    r.root = EqualNoCase(root, "HKLM") || EqualNoCase(root, "HKCU") || EqualNoCase(root, "HKCR")
                 ? Upper(root)
                 : "HKU";
    r.subkey = field(2);
    if (fields.size() < 4)
        return r;
    r.writeValue = true;
    r.name = field(3);
    const std::string type = field(4);
    if (type.empty() || type == "0") {
        r.kind = RegistryValue::kString;
        r.text = field(5);
        return r;
    }
    for (size_t i = 5; i < fields.size() && r.bytes.size() < kTextChars; ++i)
        r.bytes.push_back(
            static_cast<uint8_t>(std::strtoul(fields[i].c_str(), nullptr, 16) & 0xFF));
    if (r.bytes.size() == 1) {
        r.kind = RegistryValue::kDword;
        r.dword = r.bytes[0];
    } else {
        r.kind = RegistryValue::kBinary;
    }
    return r;
}

}  // namespace setup
