// The installer's flow decisions: pages kept, summary, pre-run command lines,
// the DirectX hand-off, the program after installation and the result page.
#include <gtest/gtest.h>

#include "setup/core/flow.h"

namespace setup {
namespace {

const char kDir[] = "C:\\CD";
const OsVersion kXP{2, 5, 1};

TEST(SetupFlow, PagesShown) {
    struct Case {
        const char* setup;
        const char* switches;
        std::vector<int> pages;
    } cases[] = {
        {"AskLicense=FALSE\nAskType=FALSE\nAskPath=FALSE\nAskProgramFolder=FALSE\n",
         "",
         {kPageWelcome, kPageStart, kPageCopy, kPageResult}},
        {"", "", {kPageWelcome, kPageInterface, kPageStart, kPageCopy, kPageResult}},
        {"AskLicense=TRUE\nAskPath=TRUE\nAskProgramFolder=TRUE\n",
         "",
         {kPageWelcome, kPageLicence, kPageInterface, kPageDestination, kPageFolder, kPageStart,
          kPageCopy, kPageResult}},
        {"AskLicense=TRUE\nAskPath=TRUE\nAskProgramFolder=TRUE\n",
         "/S",
         {kPageWelcome, kPageStart, kPageCopy, kPageResult}},
        {"AskLicense=TRUE\n",
         "/TYPE:USB",
         {kPageWelcome, kPageLicence, kPageStart, kPageCopy, kPageResult}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setup) + c.switches);
        MemoryProfile p;
        p.Put("s.ini", std::string("[Setup]\n") + c.setup);
        const Settings s = ReadSettings(p, "s.ini", kDir);
        InstallerFlags f = InitialFlags(s, kXP, nullptr);
        ApplySwitches(&f, ParseSwitches(c.switches), s, kXP, nullptr);
        EXPECT_EQ(PagesShown(s, f), c.pages);
        const auto removed = PagesRemoved(s, f);
        for (size_t i = 1; i < removed.size(); ++i)
            EXPECT_GT(removed[i - 1], removed[i]);  // highest index first
    }
}

TEST(SetupFlow, SummaryAndTexts) {
    Settings s;
    s.productName = "Tavix";
    const SummaryLabels l{"Product", "Version", "Installation Directory", "Program Folder"};
    EXPECT_EQ(SummaryText(s, l, "C:\\W\\S", "F"),
              "Product:\r\n          Tavix\r\n\r\nVersion:\r\n          1.0");
    s.askPath = s.askProgramFolder = true;
    EXPECT_EQ(
        SummaryText(s, l, "C:\\W\\S", "F"),
        "Product:\r\n          Tavix\r\n\r\nVersion:\r\n          1.0\r\n\r\n"
        "Installation Directory:\r\n          C:\\W\\S\r\n\r\nProgram Folder:\r\n          F");
}

TEST(SetupFlow, ProgramsBeforeAndAfter) {
    MemoryProfile p;
    p.Put(
        "s.ini",
        "[PreRun Programs]\ncheck.exe=%1%\\tools,-q -x,1\nother.exe=C:\\T,,0\n"
        "[Run Program After Installation]\nBrellmark.exe=,ignored,/a,b \"c d\"\nsecond.exe=C:\\X\n"
        "[PostCheck Programs]\nOther=1,x,y\nDirectX9=0x00090000,DirectX,dxsetup.exe,tch.exe,,,,,"
        "eng.exe\n");
    p.Put("C:\\CD\\DirectX\\dxsetup.exe", "");
    p.Put("C:\\CD\\DirectX\\eng.exe", "");
    ValueParser v(p, "s.ini", Directories{kDir, "C:\\W", "C:\\W\\S", "", ""});
    const auto pre = PreRunPrograms(p, "s.ini", v);
    ASSERT_EQ(pre.size(), 2u);
    EXPECT_EQ(pre[0].commandLine, "\"C:\\CD\\tools\\check.exe\" -q -x");
    EXPECT_EQ(pre[0].directory, "C:\\CD\\tools");
    EXPECT_TRUE(pre[0].wait);
    EXPECT_EQ(pre[1].commandLine, "\"C:\\T\\other.exe\" ");
    EXPECT_FALSE(pre[1].wait);

    const Handoff after = ProgramAfterInstallation(p, "s.ini", v);
    EXPECT_EQ(after.folder, kDir);
    EXPECT_EQ(after.program, "C:\\CD\\Brellmark.exe");
    EXPECT_EQ(after.arguments, "/a,b \"c d\"");

    struct Case {
        unsigned long installed;
        const char* locale;
        const char* program;  // "" no hand-off
    } cases[] = {
        {0x00080000, "00000409", "C:\\CD\\DirectX\\eng.exe"},
        {0x00080000, "00000404", "C:\\CD\\DirectX\\dxsetup.exe"},  // tch.exe missing: dropped
        {0x00080000, "00000419", "C:\\CD\\DirectX\\dxsetup.exe"},  // no number: field 3
        {0x00080000, "00000407", "C:\\CD\\DirectX\\dxsetup.exe"},  // empty field: field 3
        {0x00090000, "00000409", ""},
        {0x000A0000, "00000409", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const Handoff dx = DirectXHandoff(p, "s.ini", v, c.installed, c.locale, nullptr);
        if (std::string(c.locale) == "00000404" && *c.program) {
            // tch.exe does not exist: the hand-off is dropped entirely.
            EXPECT_TRUE(dx.empty());
            continue;
        }
        EXPECT_EQ(dx.program, c.program);
        if (!dx.empty()) {
            EXPECT_EQ(dx.folder, "C:\\CD\\DirectX");
            EXPECT_EQ(dx.arguments, "/Q");
        }
    }
}

TEST(SetupFlow, ResultPage) {
    struct Case {
        ResultInput in;
        ResultKind kind;
        bool restartAfter;
    } cases[] = {
        {{0, 0, true, false, false, false, false}, kResultAskRestart, true},
        {{0, 0, false, false, false, false, false}, kResultFinish, false},
        {{0, 2, false, false, false, false, false}, kResultAskRestart, true},  // temporary copies
        {{0, 0, false, true, false, false, false}, kResultAskRestart, false},  // driver restart
        {{0, 1, true, true, true, false, false}, kResultFinish, true},         // /NR
        {{0, 0, true, false, false, true, false}, kResultDirectX, true},
        {{0, 0, true, false, false, false, true}, kResultFinish, true},
        {{3, 1, true, false, false, false, false}, kResultFailed, true},
    };
    for (const auto& c : cases) {
        bool restart = c.in.restart;
        EXPECT_EQ(DecideResult(c.in, &restart), c.kind);
        EXPECT_EQ(restart, c.restartAfter);
    }
    EXPECT_EQ(DecideFinish(kResultAskRestart, true, false, false, true), kFinishRestart);
    EXPECT_EQ(DecideFinish(kResultAskRestart, false, false, false, true), kFinishNothing);
    EXPECT_EQ(DecideFinish(kResultDirectX, false, true, true, true), kFinishDirectX);
    EXPECT_EQ(DecideFinish(kResultFinish, false, false, true, true), kFinishProgram);
    EXPECT_EQ(DecideFinish(kResultFinish, false, false, false, true), kFinishReenumerate);
    EXPECT_EQ(DecideFinish(kResultFailed, true, true, true, true), kFinishNothing);
}

}  // namespace
}  // namespace setup
