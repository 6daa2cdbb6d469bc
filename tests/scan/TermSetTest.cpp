#include "scan/TermSet.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/ByteSearch.h"

namespace quillery {
namespace {

// Texts and terms over a small alphabet, so that terms occur often, overlap and share
// anchors: every term the set reports must be in the text and every one in the text
// reported, for bytes and for UTF-16 units alike.
template <class CharT>
void ExpectSameAsFind(const std::basic_string<CharT>& alphabet, unsigned seed) {
    std::mt19937 random(seed);
    const auto word = [&](std::size_t length) {
        std::basic_string<CharT> w;
        for (std::size_t i = 0; i < length; ++i) {
            w.push_back(alphabet[random() % alphabet.size()]);
        }
        return w;
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<std::basic_string<CharT>> terms;
        const std::size_t count = 1 + random() % 40;
        for (std::size_t i = 0; i < count; ++i) {
            terms.push_back(word(random() % 9));  // lengths 0 to 8, duplicates likely
        }
        const TermSet<CharT> set(terms);
        for (int text = 0; text < 10; ++text) {
            const std::basic_string<CharT> haystack = word(random() % 80);
            std::vector<char> found(terms.size(), 0);
            set.scan(haystack.data(), haystack.size(), found);
            for (std::size_t i = 0; i < terms.size(); ++i) {
                const bool expected =
                    !terms[i].empty() && haystack.find(terms[i]) != std::basic_string<CharT>::npos;
                ASSERT_EQ(found[i] != 0, expected) << "round " << round << " term " << i;
            }
        }
    }
}

TEST(TermSetTest, FindsExactlyTheTermsThatOccurInBytes) {
    ExpectSameAsFind<char>("AB C", 1);
    ExpectSameAsFind<char>("ABCDEFGHQZ ", 2);
}

TEST(TermSetTest, FindsExactlyTheTermsThatOccurInUtf16Text) {
    ExpectSameAsFind<char16_t>(u"A\u00C9\u2550 ", 3);
}

TEST(TermSetTest, FoldedTermsIgnoreOnlyAsciiLetterCase) {
    const FoldedTerm term("VELVET [X]");
    const std::string text = std::string(40, '.') + "velVET [x]" + std::string(3, '.');
    EXPECT_TRUE(term.foundIn(text.data(), text.size()));
    const std::string brace = std::string(40, '.') + "velvet {x}";  // '{' is no '['
    EXPECT_FALSE(term.foundIn(brace.data(), brace.size()));
    EXPECT_FALSE(term.foundIn(text.data(), text.size() - 4));
    // Longer than one sixteen-byte step, so that both the wide and the byte-wise part work.
    const std::string mixed = "abc xyz \xE9\xFF{}`@ the quick brown fox AZaz";
    std::string folded(mixed.size(), '\0');
    FoldAscii(mixed.data(), mixed.size(), folded.data());
    EXPECT_EQ(folded, "ABC XYZ \xE9\xFF{}`@ THE QUICK BROWN FOX AZAZ");
}

}  // namespace
}  // namespace quillery
