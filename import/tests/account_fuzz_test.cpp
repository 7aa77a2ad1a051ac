// Random and mutated account lines and files: the checker and the reader
// never read outside their input and always give a known verdict.
#include <gtest/gtest.h>

#include <random>

#include "import/account_file.h"

using namespace accounts;

TEST(AccountFuzz, MillionLinesAndMutatedFiles) {
    std::mt19937 rng(20261208);
    const char alphabet[] = "ab \t\",+-0123456789\"\"  ,,xyz\x01\xff";
    const std::string seeds[] = {"alice secret -1 staff,users", "\"mary ann\" pw 10 \"g 1\",g2",
                                 "bob \"\" + g1,g2,g3", "x"};
    int counts[8] = {};
    for (int i = 0; i < 1000000; ++i) {
        std::string line;
        if (i % 2) {
            line = seeds[static_cast<size_t>(i) % 4];
            const int edits = 1 + static_cast<int>(rng() % 4);
            for (int e = 0; e < edits && !line.empty(); ++e) {
                const size_t at = rng() % line.size();
                switch (rng() % 3) {
                    case 0:
                        line[at] = alphabet[rng() % (sizeof alphabet - 1)];
                        break;
                    case 1:
                        line.erase(at, 1);
                        break;
                    default:
                        line.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]);
                }
            }
        } else {
            line.resize(rng() % 140);
            for (char& c : line)
                c = alphabet[rng() % (sizeof alphabet - 1)];
        }
        const int v = CheckLine(line);
        ASSERT_TRUE(v <= 0 && v >= kLineTooLong) << v;
        ++counts[-v];
    }
    for (int v = 0; v <= 6; ++v)
        EXPECT_GT(counts[v], 0) << "verdict " << -v << " never came";

    for (int f = 0; f < 2000; ++f) {
        std::string file = "\xFFKivo Brellmark";
        const size_t n = rng() % 3000;
        for (size_t i = 0; i < n; ++i) {
            const unsigned r = rng() % 16;
            file += r < 2 ? '\r' : r < 4 ? '\n' : alphabet[rng() % (sizeof alphabet - 1)];
        }
        AccountReader reader;
        size_t pos = 0, total = 0;
        while (pos < file.size()) {
            const size_t k = std::min<size_t>(reader.Want(), file.size() - pos);
            ASSERT_GT(k, 0u);
            for (const auto& l : reader.Feed(reinterpret_cast<const uint8_t*>(file.data()) + pos, k,
                                             pos + k >= file.size())) {
                ASSERT_LE(l.text.size(), AccountReader::kPieceBytes);
                total += l.text.size();
            }
            pos += k;
        }
        ASSERT_LE(total, file.size());
    }
}
