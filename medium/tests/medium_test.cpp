// The medium's own setup and language files, read by the installer's rules:
// what the product installs, that every language leads to a setup file on
// every system, and that every licence the installer may look for exists.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "setup/core/config.h"
#include "setup/core/profile.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* const kSetupFiles[] = {"SETUPXP.INI", "SETUP2K.INI", "SETUPNT.INI",
                                   "SETUPME.INI", "SETUP98.INI", "SETUP95.INI"};

class Medium : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string ini = Slurp(std::string(TAVIX_MEDIUM_DIR) + "/setup.ini");
        ASSERT_FALSE(ini.empty());
        for (const char* name : kSetupFiles)
            profile_.Put(std::string("M:\\") + name, ini);
        profile_.Put("M:\\SelLang.INI", Slurp(std::string(TAVIX_MEDIUM_DIR) + "/SelLang.INI"));
        dirs_.setup = "M:";
        dirs_.windows = "C:\\windows";
        dirs_.system = "C:\\windows\\system32";
        dirs_.programFiles = "C:\\Program Files";
        dirs_.programsMenu = "C:\\Menu\\Programs";
    }
    setup::MemoryProfile profile_;
    setup::Directories dirs_;
    const std::string file_ = "M:\\SETUPXP.INI";
};

TEST_F(Medium, SetupFileInstallsTheProduct) {
    const setup::Settings s = setup::ReadSettings(profile_, file_, "M:");
    EXPECT_EQ(s.productName, "Tavix Brellmark");
    EXPECT_EQ(s.uninstallKey, "TavixBrellmark");
    EXPECT_EQ(s.uninstallProgram, "kivouninstall.exe");
    EXPECT_TRUE(s.askLicense);
    EXPECT_EQ(s.licenseFolder, "License");
    const setup::InstallerFlags f = setup::InitialFlags(s, setup::OsVersion{}, nullptr);
    EXPECT_FALSE(f.interfacePage);
    EXPECT_FALSE(f.restart) << "nothing on the medium needs a restart";

    setup::ValueParser parser(profile_, file_, dirs_);
    std::set<std::string> installed;
    for (const setup::ListEntry& e : setup::ReadList(profile_, file_, "Copy Files", parser)) {
        ASSERT_GE(e.fields.size(), 1u) << e.key;
        EXPECT_EQ(e.fields[0], "C:\\Program Files\\Tavix") << e.key;
        EXPECT_EQ(e.key.rfind("Brellmark\\", 0), 0u) << e.key;
        installed.insert(e.fields[0] + "\\" + e.key.substr(e.key.rfind('\\') + 1));
    }
    EXPECT_EQ(installed.size(), 18u) << "program, uninstaller and 16 help files";
    EXPECT_TRUE(installed.count("C:\\Program Files\\Tavix\\kivouninstall.exe"));

    // Every shortcut points at a file that the installation copies.
    int shortcuts = 0;
    for (const setup::ListEntry& e : setup::ReadList(profile_, file_, "Create Shortcut", parser)) {
        ASSERT_GE(e.fields.size(), 8u) << e.key;
        EXPECT_TRUE(installed.count(e.fields[1] + "\\" + e.fields[0])) << e.key;
        EXPECT_FALSE(e.fields[7].empty()) << e.key << ": description from [Strings]";
        ++shortcuts;
    }
    EXPECT_EQ(shortcuts, 3);
    for (const setup::ListEntry& e : setup::ReadList(profile_, file_, "Kill Programs", parser))
        EXPECT_EQ(e.fields[0], "LumoNASTavixClass");
}

TEST_F(Medium, EveryLanguageAndSystemFindsASetupFileAndALicence) {
    const std::vector<setup::Language> offered =
        setup::OfferedLanguages(profile_, "M:\\SelLang.INI");
    EXPECT_EQ(offered.size(), setup::KnownLanguages().size());
    const setup::OsVersion systems[] = {{2, 5, 1},  {2, 5, 0},  {2, 4, 0}, {2, 10, 0},
                                        {1, 4, 90}, {1, 4, 10}, {1, 4, 0}};
    for (const setup::Language& l : offered) {
        for (const setup::OsVersion& os : systems) {
            const std::string chosen =
                setup::LanguageProfileFile(profile_, os, "M:", l.lcid, nullptr);
            EXPECT_TRUE(!chosen.empty() && profile_.Exists(chosen))
                << l.lcid << " on " << os.platform << "." << os.major << "." << os.minor;
        }
        char locale[9];
        std::snprintf(locale, sizeof locale, "%08X", l.lcid);
        const std::string licence = setup::LicenceFileName(locale);
        ASSERT_FALSE(licence.empty()) << locale;
        const std::string stem = licence.substr(0, licence.find('.'));
        EXPECT_FALSE(Slurp(std::string(TAVIX_MEDIUM_DIR) + "/license/" + stem + ".txt").empty())
            << licence;
    }
}

}  // namespace
