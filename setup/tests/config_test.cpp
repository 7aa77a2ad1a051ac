// The setup file's rules against the cases that matter: system classes and the
// file they choose, the language file's profiles, the [Setup] defaults and the
// interface rule, value syntax, switches, licence files and the private-profile
// lookup rules of the portable reader.
#include <gtest/gtest.h>

#include <tuple>

#include "setup/core/config.h"

namespace setup {
namespace {

const char kDir[] = "C:\\CD";
const OsVersion k95{1, 4, 0}, k98{1, 4, 10}, kME{1, 4, 90}, kNT4{2, 4, 0}, k2000{2, 5, 0},
    kXP{2, 5, 1}, kVista{2, 6, 0};

std::string P(const std::string& name) {
    return JoinPath(kDir, name);
}

TEST(SetupConfig, OperatingSystemClasses) {
    struct Case {
        OsVersion os;
        bool is9x, is98, isME, isNT, is2000, isXP;
    } cases[] = {
        {k95, true, false, false, false, false, false},
        {k98, true, true, false, false, false, false},
        {kME, true, true, true, false, false, false},
        {kNT4, false, false, false, true, false, false},
        {k2000, false, false, false, true, true, false},
        {kXP, false, false, false, true, true, true},
        {kVista, false, false, false, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.os.platform) + " " + std::to_string(c.os.major) + "." +
                     std::to_string(c.os.minor));
        EXPECT_EQ(c.os.Is9x(), c.is9x);
        EXPECT_EQ(c.os.Is98(), c.is98);
        EXPECT_EQ(c.os.IsME(), c.isME);
        EXPECT_EQ(c.os.IsNT(), c.isNT);
        EXPECT_EQ(c.os.Is2000(), c.is2000);
        EXPECT_EQ(c.os.IsXP(), c.isXP);
    }
}

TEST(SetupConfig, SetupFileBySystemAndLanguage) {
    struct Case {
        const char* files;  // present in the setup directory, blank-separated
        OsVersion os;
        unsigned lcid;         // 0: no language file consulted
        const char* expected;  // file name, or "" for no language profile
    } cases[] = {
        // System rule.
        {"SETUPXP.INI SETUP2K.INI SETUPNT.INI", kXP, 0, "SETUPXP.INI"},
        {"SETUP2K.INI SETUPNT.INI", kXP, 0, "SETUP2K.INI"},
        {"SETUPNT.INI", kXP, 0, "SETUPNT.INI"},
        {"", kXP, 0, "SETUPNT.INI"},
        {"SETUPXP.INI SETUP2K.INI", kVista, 0, "SETUP2K.INI"},
        {"SETUPXP.INI SETUP2K.INI", k2000, 0, "SETUP2K.INI"},
        {"SETUPXP.INI SETUP2K.INI", kNT4, 0, "SETUPNT.INI"},
        {"SETUPME.INI SETUP98.INI", kME, 0, "SETUPME.INI"},
        {"SETUP98.INI", kME, 0, "SETUP98.INI"},
        {"SETUPME.INI SETUP98.INI", k98, 0, "SETUP98.INI"},
        {"SETUPME.INI SETUP98.INI", k95, 0, "SETUP95.INI"},
        // Language profiles (section 0x00000407: XP xp.ini, 2K 2k.ini, NT nt.ini,
        // ME me.ini, 98 98.ini, 95 95.ini).
        {"SETUPXP.INI xp.ini 2k.ini nt.ini", kXP, 1031, "xp.ini"},
        {"xp.ini 2k.ini nt.ini", kXP, 1031, "nt.ini"},  // no SETUPXP.INI, no SETUP2K.INI
        {"SETUP2K.INI xp.ini 2k.ini nt.ini", kXP, 1031, "2k.ini"},
        {"SETUPXP.INI SETUP2K.INI xp.ini 2k.ini nt.ini", kVista, 1031, "2k.ini"},
        {"SETUPXP.INI", kXP, 1031, ""},  // xp.ini itself is missing
        {"me.ini 98.ini 95.ini", kME, 1031, "me.ini"},
        {"98.ini 95.ini", kME, 1031, "98.ini"},
        {"95.ini", kME, 1031, "95.ini"},
        {"me.ini", k95, 1031, ""},
        {"xp.ini", kXP, 1033, ""},              // English names only an NT profile that is missing
        {"SETUPXP.INI xp.ini", kXP, 1041, ""},  // no section for Japanese
    };
    const std::string lang =
        "[0x00000407]\nsupport=1\nWinXP Profile=xp.ini\nWin2K Profile=2k.ini\nWinNT "
        "Profile=nt.ini\n"
        "WinME Profile=me.ini\nWin98 Profile=98.ini\nWin95 Profile=95.ini\n"
        "[0x00000409]\nsupport=1\nWinNT Profile=missing.ini\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.files) + " -> " + c.expected);
        MemoryProfile p;
        p.Put(P("SelLang.INI"), lang);
        std::string files = c.files;
        for (size_t pos = 0; pos < files.size();) {
            size_t end = files.find(' ', pos);
            if (end == std::string::npos)
                end = files.size();
            p.Put(P(files.substr(pos, end - pos)), "");
            pos = end + 1;
        }
        const std::string got = c.lcid == 0 ? SystemSetupFile(p, c.os, kDir, nullptr)
                                            : LanguageProfileFile(p, c.os, kDir, c.lcid, nullptr);
        EXPECT_EQ(got, *c.expected ? P(c.expected) : std::string());
    }
}

TEST(SetupConfig, LanguagesOfferedAndPreselected) {
    MemoryProfile p;
    p.Put(P("SelLang.INI"),
          "[0x00000407]\nsupport=1\n[0x00000409]\nSupport = 0\n[0x0000040C]\nsupport=2\n"
          "[0x00000411]\n[0X00000410]\nSUPPORT=1\n");
    const auto offered = OfferedLanguages(p, P("SelLang.INI"));
    ASSERT_EQ(offered.size(), 3u);  // in the list's order: French, German, Italian
    EXPECT_EQ(offered[0].lcid, 1036u);
    EXPECT_EQ(offered[1].lcid, 1031u);
    EXPECT_EQ(offered[2].lcid, 1040u);
    EXPECT_EQ(offered[1].nameId, 1007u);
    EXPECT_EQ(PreselectedLanguage(offered, 1031), 1031u);
    EXPECT_EQ(PreselectedLanguage(offered, 1033), 1036u);  // English not offered: the first
    EXPECT_EQ(PreselectedLanguage({{1033, 1004}, {1031, 1007}}, 1041), 1033u);
    EXPECT_EQ(PreselectedLanguage({}, 1033), 0u);
    EXPECT_EQ(LanguageSection(1033), "0x00000409");
    EXPECT_EQ(InstallerThreadLocale(1031), 1031u);
    EXPECT_EQ(InstallerThreadLocale(0x0807), 1031u);  // Swiss German -> German
    EXPECT_EQ(InstallerThreadLocale(0x0419), 1033u);  // Russian -> English
}

TEST(SetupConfig, SettingsDefaultsAndInterfaceRule) {
    struct Case {
        const char* setup;  // [Setup] body; nullptr: no section
        OsVersion os;
        bool page;
        int type;
        bool restart;
        bool configMg;
    } cases[] = {
        {nullptr, kXP, true, kUsb, true, true},  // all defaults: page shown, restart asked
        {"PS2Type=FALSE\nUSBType=FALSE\n", kXP, false, kPs2, true, false},
        {"PS2Type=false\n", k98, false, kPs2, false, true},
        {"USBType=False\n", kXP, false, kUsb, false, true},
        {"AskType=FALSE\nDefaultType=ps2\n", kXP, false, kPs2, true, false},
        {"AskType=FALSE\nDefaultType=usb\n", kXP, false, kUsb, false, true},
        {"AskType=FALSE\nPS2DriverName=x\n", kXP, false, kPs2, true, false},
        {"AskType=FALSE\n", kXP, false, kUsb, false, true},
        {"AskType=FALSE\nRestart=TRUE\n", kXP, false, kUsb, true, true},
        {"PS2Type=FALSE\nRestart=false\n", kXP, false, kPs2, false, false},
        {"AskType=FALSE\nRestart=yes\n", kXP, false, kUsb, false, true},  // other text: kept
        {"AskType=maybe\nCallConfigMg=FALSE\n", kXP, true, kUsb, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup ? c.setup : "(no [Setup])");
        MemoryProfile p;
        p.Put(P("SETUPXP.INI"), c.setup ? std::string("[Setup]\n") + c.setup : "[Strings]\n");
        const Settings s = ReadSettings(p, P("SETUPXP.INI"), kDir);
        const InstallerFlags f = InitialFlags(s, c.os, nullptr);
        EXPECT_EQ(f.interfacePage, c.page);
        EXPECT_EQ(f.interfaceType, c.type);
        EXPECT_EQ(f.restart, c.restart);
        EXPECT_EQ(f.configMg, c.configMg);
    }
    MemoryProfile p;
    p.Put(P("S.INI"), "[setup]\nProductName=Tavix\nUSBInf=usb\\u.inf\nCabFileName=x.cab\n");
    const Settings s = ReadSettings(p, P("S.INI"), kDir);
    EXPECT_EQ(s.productName, "Tavix");
    EXPECT_EQ(s.setupTitle, "Tavix");
    EXPECT_EQ(s.version, "1.0");
    EXPECT_EQ(s.uninstallProgram, "kivouninstall.exe");
    EXPECT_EQ(s.infFile, "C:\\CD\\lumomedia.inf");
    EXPECT_EQ(s.cabFileName, "");  // read only with CabFile TRUE
    InstallerFlags f = InitialFlags(s, kXP, nullptr);
    ApplyInterface(&f, s, kXP, kUsb);
    EXPECT_EQ(f.infFile, "C:\\CD\\usb\\u.inf");
    ApplyInterface(&f, s, kXP, kPs2);
    EXPECT_EQ(f.infFile, "C:\\CD\\lumomedia.inf");  // the user may go back from USB to PS/2
}

TEST(SetupConfig, ValueSyntax) {
    MemoryProfile p;
    p.Put(P("S.INI"), "[Strings]\nApp=Tavix Suite\nLoop=%App%\n");
    Directories d{kDir, "C:\\WINDOWS", "C:\\WINDOWS\\system32",
                  "C:\\Documents and Settings\\All Users\\Start Menu\\Programs", ""};
    ValueParser v(p, P("S.INI"), d);
    using F = std::vector<std::string>;
    struct Case {
        const char* value;
        F fields;
    } cases[] = {
        {"\"a,b\",c", F{"a,b", "c"}},
        {"%13%\\App", F{d.programsMenu + "\\App"}},
        {" \t x y ,z", F{"x y ", "z"}},
        {"%1%,%10%,%11%,%12%,%17%,%18%,%20%,%99%",
         F{kDir, "C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\System32\\Drivers",
           "C:\\WINDOWS\\Inf", "C:\\WINDOWS\\Help", "C:\\Program Files", "C:\\WINDOWS\\system32"}},
        {"%App%\\x,%Nope%!,%Loop%", F{"Tavix Suite\\x", "!", "%App%"}},
        {"100%,50%%", F{"100%", "50%"}},
        {",,", F{"", "", ""}},
        {"", F{""}},
        {"\"unclosed,still", F{"unclosed,still"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(v.Fields(c.value), c.fields);
    }
    EXPECT_EQ(v.Fields("dir,ignored,-a \"x,y\",%App%", 3),
              (F{"dir", "ignored", "-a \"x,y\",Tavix Suite"}));
    EXPECT_EQ(v.Fields(std::string(400, 'x'))[0].size(), 259u);
    d.programFiles = "D:\\Apps";
    EXPECT_EQ(ValueParser(p, P("S.INI"), d).Fields("%20%\\App")[0], "D:\\Apps\\App");
}

TEST(SetupConfig, AddRegistryValues) {
    MemoryProfile p;
    ValueParser v(p, P("S.INI"), Directories{kDir, "C:\\W", "C:\\W\\S", "", ""});
    auto r = ParseRegistryValue(v.Fields("1,HKLM,Software\\X,Size,1,0A"));
    EXPECT_TRUE(r.writeValue);
    EXPECT_TRUE(r.removeAtUninstall);
    EXPECT_EQ(r.root, "HKLM");
    EXPECT_EQ(r.subkey, "Software\\X");
    EXPECT_EQ(r.name, "Size");
    EXPECT_EQ(r.kind, RegistryValue::kDword);
    EXPECT_EQ(r.dword, 10u);
    r = ParseRegistryValue(v.Fields("0,hkcu,Software\\X,Bin,1,01,ff,10"));
    EXPECT_FALSE(r.removeAtUninstall);
    EXPECT_EQ(r.root, "HKCU");
    EXPECT_EQ(r.kind, RegistryValue::kBinary);
    EXPECT_EQ(r.bytes, (std::vector<uint8_t>{1, 0xFF, 0x10}));
    r = ParseRegistryValue(v.Fields("1,Other,Software\\X,Name,,%1%"));
    EXPECT_EQ(r.root, "HKU");
    EXPECT_EQ(r.kind, RegistryValue::kString);
    EXPECT_EQ(r.text, kDir);
    r = ParseRegistryValue(v.Fields("1,HKCR,Software\\X"));
    EXPECT_FALSE(r.writeValue);  // only the key
    std::string many = "1,HKLM,K,V,3";
    for (int i = 0; i < 300; ++i)
        many += ",1";
    EXPECT_EQ(ParseRegistryValue(v.Fields(many)).bytes.size(), 260u);  // at most 260 bytes
}

TEST(SetupConfig, Switches) {
    struct Case {
        const char* line;
        bool hidden, silent, noRestart;
        int type;
        bool preload;
        const char* log;
        size_t unknown;
    } cases[] = {
        {"", false, false, false, 0, false, "", 0},
        {"/S", false, true, false, 0, false, "", 0},
        {"/h", true, true, false, 0, false, "", 0},
        {"/s /nr", false, true, true, 0, false, "", 0},
        {"/S/NR/TYPE:PS2", false, true, true, kPs2, false, "", 0},
        {" / t y p e : u s b ", false, false, false, kUsb, false, "", 0},
        {"/Preload", false, false, false, 0, true, "", 0},
        {"/P /X /VERYLONGSWITCHNAME", false, false, false, 0, true, "", 2},
        {"/LOG=\"C:\\my logs\\s.txt\" /S", false, true, false, 0, false, "C:\\my logs\\s.txt", 0},
        {"/LOG=Z:/tmp/s.log /NR", false, false, true, 0, false, "Z:/tmp/s.log", 0},
        {"S", false, false, false, 0, false, "", 0},  // no slash, no switch
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const Switches sw = ParseSwitches(c.line);
        EXPECT_EQ(std::tie(sw.hidden, sw.silent, sw.noRestart, sw.type, sw.preload, sw.logFile),
                  std::tie(c.hidden, c.silent, c.noRestart, c.type, c.preload, c.log));
        EXPECT_EQ(sw.unknown.size(), c.unknown);
    }
    // Switches override the file: /TYPE:PS2 on XP asks for a restart and
    // removes the interface page; /PRELOAD clears the configuration flag.
    Settings s;
    InstallerFlags f = InitialFlags(s, kXP, nullptr);
    std::vector<std::string> log;
    ApplySwitches(&f, ParseSwitches("/TYPE:PS2 /PRELOAD /what"), s, kXP,
                  [&](const std::string& l) { log.push_back(l); });
    EXPECT_FALSE(f.interfacePage);
    EXPECT_EQ(f.interfaceType, kPs2);
    EXPECT_TRUE(f.restart);
    EXPECT_FALSE(f.configMg);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "unknown switch /what ignored");
}

TEST(SetupConfig, LocaleFiles) {
    struct Case {
        const char* locale;
        const char* licence;
        int dx;
    } cases[] = {
        {"00000409", "LICENENG.TXT", 5},
        {"00000809", "LICENENG.TXT", 5},
        {"00000404", "LICENTCH.TXT", 0},
        {"00000804", "LICENSCH.TXT", 1},
        {"00000C04", "LICENTCH.TXT", 0},
        {"0000080a", "LICENSPA.TXT", 12},
        {"0000040A", "LICENSPA.TXT", 12},
        {"00000807", "LICENGER.TXT", 8},
        {"0000041d", "LICENSWE.TXT", 13},
        {"00000419", "", -1},
        {"", "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(LicenceFileName(c.locale), c.licence);
        EXPECT_EQ(DirectXLanguageNumber(c.locale), c.dx);
    }
}

TEST(SetupConfig, PrivateProfileLookup) {
    MemoryProfile p;
    p.Put("f.ini",
          "; comment\nstray=1\n[Sec]\n  Key = \"quoted value\"  \nkey=second\nBare\n;c=1\n"
          "Single='x'\nHalf=\"x\nEmpty=\n[sec]\nOther=1\n[ Spaced ]\nA=1\n[Copy Files]\n"
          "bin\\tool.exe=%20%\\App\n");
    EXPECT_EQ(p.String("F.INI", "SEC", "KEY", "d", 260), "quoted value");  // first match wins
    EXPECT_EQ(p.String("f.ini", "sec", "Other", "d", 260), "d");           // only the first [sec]
    EXPECT_EQ(p.String("f.ini", "Sec", "Single", "d", 260), "x");
    EXPECT_EQ(p.String("f.ini", "Sec", "Half", "d", 260), "\"x");
    EXPECT_EQ(p.String("f.ini", "Sec", "Empty", "d", 260), "");
    EXPECT_EQ(p.String("f.ini", "Sec", "Key", "d", 5), "quot");
    EXPECT_EQ(p.String("f.ini", "Sec", "None", "  default  ", 260), "  default");
    EXPECT_EQ(p.String("missing.ini", "Sec", "Key", "d", 260), "d");
    EXPECT_EQ(p.String("f.ini", " Spaced ", "A", "d", 260), "1");
    EXPECT_EQ(p.String("f.ini", "Spaced", "A", "d", 260), "1");
    EXPECT_EQ(p.String("f.ini", "Sec", "Bare", "d", 260), "d");  // no "=": no value
    EXPECT_EQ(p.String("f.ini", "Sec", ";c", "d", 260), "1");    // no comments for lookups
    EXPECT_EQ(p.String("f.ini", "", "stray", "d", 260), "1");    // before the first section
    EXPECT_EQ(p.String("f.ini", "Sec", "Single", "d", 2), "");   // cut at the closing quote
    EXPECT_EQ(p.Keys("f.ini", "sec", 260),
              (std::vector<std::string>{"Key", "key", "Single", "Half", "Empty"}));
    EXPECT_EQ(p.Keys("f.ini", "sec", 9), (std::vector<std::string>{"Key", "key"}));
    EXPECT_EQ(p.Keys("f.ini", "sec", 12), (std::vector<std::string>{"Key", "key", "Si"}));
    EXPECT_EQ(p.Keys("f.ini", "Copy Files", 260), (std::vector<std::string>{"bin\\tool.exe"}));
    EXPECT_TRUE(p.Exists("F.ini"));
    EXPECT_FALSE(p.Exists("g.ini"));
    p.Put("n.ini", "[N]\na=12\nb=-3x\nc=0x1F\nd=x\ne=\n");
    EXPECT_EQ(p.Int("n.ini", "N", "a", 7), 12);
    EXPECT_EQ(p.Int("n.ini", "N", "b", 7), -3);
    EXPECT_EQ(p.Int("n.ini", "N", "c", 7), 31);
    EXPECT_EQ(p.Int("n.ini", "N", "d", 7), 0);
    EXPECT_EQ(p.Int("n.ini", "N", "e", 7), 7);
}

}  // namespace
}  // namespace setup
