#include "import/account_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace accounts;

TEST(CheckLine, ExampleLinesGiveTheirVerdicts) {
    const std::string n32(32, 'u'), p16(16, 'p');
    struct Case {
        std::string line;
        int verdict;
    } cases[] = {
        {"alice", 0},
        {"alice secret", 0},
        {"alice secret 500", 0},
        {"alice secret -1 staff,users", 0},
        {"alice   secret\t500   ", 0},
        {"\"mary ann\" pw 10", 0},
        {"\"mary ann\"pw 10", 0},  // no blank needed after a closing quote
        {"\"\" pw", kBadUserName},
        {std::string(33, 'u'), kBadUserName},
        {n32 + " pw", 0},
        {"bob \"\"", 0},
        {"bob " + std::string(17, 'p'), kBadPassword},
        {"bob " + p16, 0},
        {"bob pw 12a", kBadQuota},
        {"bob pw 1-2", kBadQuota},
        {"bob pw --5", kBadQuota},
        {"bob pw +", 0},
        {"bob pw -", 0},
        {"bob pw +10", 0},
        {"bob pw 007", 0},
        {"bob pw 10 g1,g2,g3", 0},
        {"bob pw 10 g1,", kBadGroup},
        {"bob pw 10 g1, g2", kBadGroup},
        {"bob pw 10 g1 ,g2", kSyntaxError},
        {"bob pw 10 g1 g2", kSyntaxError},
        {"bob pw 10 \"my group\",g2", 0},
        {"bob pw 10 \"a,b\",g2", kSyntaxError},
        {"bob pw 10 \"a,b\"", kSyntaxError},
        {"bob pw 10 staff extra", kSyntaxError},
        {"\"never closed", kSyntaxError},
        {"", 0},
        {"\"\" pw 12a", kBadUserName},  // the first fault from the left
        {"bob pw 10 \"open", kSyntaxError},
        {"bob pw 10 g1,\"g 2\"", 0},
        {std::string(127, 'a'), kBadUserName},
        {std::string(128, 'a'), kLineTooLong},
        {"bob pw " + std::string(100, '1'), kBadQuota},  // a quota of over 99 characters
        {std::string("bob\0pw", 6), kSyntaxError},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckLine(c.line), c.verdict) << "'" << c.line << "'";
}

TEST(AccountFile, RowTextsAndSignature) {
    EXPECT_STREQ(VerdictText(kSyntaxError), "Syntax Error");
    EXPECT_STREQ(VerdictText(kBadGroup), "illegal group");
    EXPECT_EQ(FailureText("bob pw", -7), "bob pw (Err Code: -7)");
    const uint8_t good[] = "\xFFkivo BRELLMARK\r\n";
    EXPECT_EQ(CheckSignature(good, 15), Signature::kOk);
    const uint8_t other[] = "\xFFKivo Brellmarx";
    EXPECT_EQ(CheckSignature(other, 15), Signature::kOtherText);
    const uint8_t plain[] = "Kivo Brellmark!";
    EXPECT_EQ(CheckSignature(plain, 15), Signature::kNotAccountFile);
    EXPECT_EQ(CheckSignature(good, 5), Signature::kOtherText);
    EXPECT_EQ(CheckSignature(good, 0), Signature::kNotAccountFile);
}

namespace {
// Feeds `file` the way the worker reads it; returns the lines ("!" marks an
// over-long one).
std::vector<std::string> ReadAll(const std::string& file) {
    AccountReader reader;
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < file.size()) {
        const size_t n = std::min(reader.Want(), file.size() - pos);
        const bool atEnd = pos + n >= file.size();
        for (const auto& l :
             reader.Feed(reinterpret_cast<const uint8_t*>(file.data()) + pos, n, atEnd))
            out.push_back(l.overLong ? "!" + l.text : l.text);
        pos += n;
    }
    return out;
}
}  // namespace

TEST(AccountReader, LinesAcrossPiecesAndBreaks) {
    const std::string sig = "\xFFKivo Brellmark trailing text";
    EXPECT_TRUE(ReadAll(sig).empty());  // the signature alone, no line break
    EXPECT_TRUE(ReadAll(sig + "\r\n\r\n").empty());
    EXPECT_EQ(ReadAll(sig + "\ra\nb\r\n\n\rc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(ReadAll(sig + "\n  \t x y\n"), (std::vector<std::string>{"x y"}));

    // A line that straddles two reads comes whole; one that ends exactly at
    // the end of a read is a line of its own; CRLF split across reads is one break.
    std::string file = sig + "\r\n";
    std::vector<std::string> want;
    while (file.size() < 2000) {
        const std::string line =
            "user" + std::to_string(want.size()) + " pw" + std::string(want.size() % 37, 'x');
        want.push_back(line);
        file += line + (want.size() % 3 ? "\r\n" : "\n");
    }
    EXPECT_EQ(ReadAll(file), want);
    for (size_t cut = 250; cut < 262; ++cut) {
        std::string f = sig + "\n";
        f += std::string(cut - f.size(), 'a') + "\r\nbob";
        const auto lines = ReadAll(f);
        ASSERT_EQ(lines.size(), 2u) << cut;
        EXPECT_EQ(lines[1], "bob") << cut;
    }

    // A line longer than the buffer: reported once, cut to 127 bytes, rest skipped.
    const auto lines = ReadAll(sig + "\n" + std::string(600, 'z') + "\nafter");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "!" + std::string(127, 'z'));
    EXPECT_EQ(lines[1], "after");
    // A signature line longer than the buffer is skipped too.
    EXPECT_EQ(ReadAll(sig + std::string(700, 's') + "\nfirst"),
              (std::vector<std::string>{"first"}));

    // A long line (or a long signature line) whose end falls anywhere around
    // the end of a read, also exactly on it: the lines after it come whole.
    for (const std::string& head : {sig + "\r\n", std::string("\xFF")}) {
        for (size_t length = 240; length <= 800; ++length) {
            const std::string f = head + std::string(length, 'a') + "\r\nnext8 pw\r\nlast8 pw\r\n";
            std::vector<std::string> got = ReadAll(f);
            if (head.size() > 1)
                got.erase(got.begin());  // the long line itself
            EXPECT_EQ(got, (std::vector<std::string>{"next8 pw", "last8 pw"}))
                << length << (head.size() > 1 ? " after the signature" : " as the signature");
        }
    }
}
