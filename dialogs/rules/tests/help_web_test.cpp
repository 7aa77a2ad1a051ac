#include "dialogs/rules/help_web.h"

#include <gtest/gtest.h>

using namespace rules;

TEST(HelpAndWeb, FilesAddressesAndPaths) {
    const struct {
        const char* locale;
        const char* file;
    } help[] = {{"00000407", "KDZ_DUE.mht"}, {"00000409", "KDZ_ENG.mht"},
                {"0000040A", "KDZ_ENG.mht"}, {"0000080A", "KDZ_ESP.mht"},
                {"0000040b", "KDZ_ENG.mht"}, {"", "KDZ_ENG.mht"},
                {"0000041D", "KDZ_SWE.mht"}, {"00000804", "KDZ_CHS.mht"}};
    for (const auto& h : help)
        EXPECT_EQ(HelpFileForLocale(h.locale), h.file) << h.locale;
    EXPECT_EQ(AllHelpFiles().size(), 16u);

    EXPECT_EQ(WebAdminAddress(0, 0x0A4D000B), "http://10.77.0.11");
    EXPECT_EQ(WebAdminAddress(1, 0xC0A80001), "https://192.168.0.1:8098/");
    EXPECT_EQ(WebAdminAddress(2, 0xFFFFFFFF), "http://255.255.255.255:6000/");
    EXPECT_EQ(WebAdminAddress(7, 0), "http://0.0.0.0");

    EXPECT_EQ(ProgramFolder("C:\\Program Files\\Tavix\\Brellmark.exe"),
              "C:\\Program Files\\Tavix\\");
    EXPECT_EQ(ProgramFolder("Brellmark.exe"), "");
    EXPECT_EQ(QuotedParameter("C:\\Program Files\\Tavix\\KDZ_ENG.mht"),
              "\"C:\\Program Files\\Tavix\\KDZ_ENG.mht\"");
    EXPECT_EQ(QuotedParameter("C:\\Tavix\\KDZ_ENG.mht"), "C:\\Tavix\\KDZ_ENG.mht");
}
