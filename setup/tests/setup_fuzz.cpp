// Random setup files, values and command lines through the parsers, under the
// sanitizers: nothing may crash, read out of bounds or overflow, and the
// length limits hold whatever the input.
#include <gtest/gtest.h>

#include <random>

#include "setup/core/flow.h"

namespace setup {
namespace {

std::string RandomText(std::mt19937& rng, size_t maxLen) {
    static const char alphabet[] = "[]=;,\"'% \t\r\n/\\:aAsS0129TRUEfalsxHKLM";
    std::uniform_int_distribution<size_t> len(0, maxLen);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof alphabet) - 2);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(len(rng), ' ');
    for (auto& c : s)
        c = (rng() % 8 == 0) ? static_cast<char>(byte(rng)) : alphabet[pick(rng)];
    return s;
}

TEST(SetupFuzz, ParsersSurviveAMillionInputs) {
    std::mt19937 rng(20261208);
    const Directories dirs{"C:\\CD", "C:\\W", "C:\\W\\S", "C:\\P", ""};
    const OsVersion os{2, 5, 1};
    size_t inputs = 0;
    // Whole files: a smaller number, each exercising every reader.
    for (int i = 0; i < 20000; ++i, ++inputs) {
        MemoryProfile p;
        std::string file = "[Setup]\n" + RandomText(rng, 200) + "\n[Strings]\n" +
                           RandomText(rng, 100) + "\n[Copy Files]\n" + RandomText(rng, 200);
        p.Put("s.ini", file);
        const Settings s = ReadSettings(p, "s.ini", "C:\\CD");
        EXPECT_LT(s.productName.size(), kTextChars);
        InstallerFlags f = InitialFlags(s, os, nullptr);
        ValueParser v(p, "s.ini", dirs);
        for (const auto& e : ReadList(p, "s.ini", "Copy Files", v))
            for (const auto& field : e.fields)
                ASSERT_LT(field.size(), kTextChars);
        for (const auto& e : ReadList(p, "s.ini", "Strings", v, 3))
            ParseRegistryValue(e.fields);
        ApplySwitches(&f, ParseSwitches(RandomText(rng, 40)), s, os, nullptr);
        PagesShown(s, f);
    }
    // Values, INI texts and command lines on their own.
    MemoryProfile p;
    p.Put("s.ini", "[Strings]\na=%a%\nb=" + std::string(300, 'b') + "\n");
    ValueParser v(p, "s.ini", dirs);
    for (; inputs < 1000000; ++inputs) {
        const std::string text = RandomText(rng, 48);
        switch (inputs % 4) {
            case 0:
                for (const auto& field : v.Fields(text, inputs % 5))
                    ASSERT_LT(field.size(), kTextChars);
                break;
            case 1:
                for (const auto& sec : ParseIni(text))
                    for (const auto& k : sec.keys)
                        ASSERT_EQ(k.name.find('\n'), std::string::npos);
                break;
            case 2: {
                const Switches sw = ParseSwitches(text);
                ASSERT_LE(sw.unknown.size(), text.size());
                break;
            }
            default:
                ParseRegistryValue(v.Fields(text));
                LicenceFileName(text.substr(0, 8));
                AddRenameLine(text, "t", "u");
        }
    }
    EXPECT_EQ(inputs, 1000000u);
}

}  // namespace
}  // namespace setup
