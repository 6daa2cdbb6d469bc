#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "archive/NamePattern.h"

namespace quillery {
namespace {

TEST(NamePatternTest, StarMatchesAnyRunIncludingSeparators) {
    EXPECT_TRUE(MatchNamePattern("*.txt", "readme.txt", false));
    EXPECT_TRUE(MatchNamePattern("*.txt", "docs/readme.txt", false));
    EXPECT_TRUE(MatchNamePattern("*.txt", ".txt", false));
    EXPECT_TRUE(MatchNamePattern("docs/*", "docs/a/b/c.bin", false));
    EXPECT_TRUE(MatchNamePattern("*", "", false));
    EXPECT_TRUE(MatchNamePattern("a*b*c", "aXXbYYc", false));
    EXPECT_FALSE(MatchNamePattern("*.txt", "readme.txt.bak", false));
    EXPECT_FALSE(MatchNamePattern("a*b*c", "aXXbYY", false));
}

TEST(NamePatternTest, WholeNameMustMatch) {
    EXPECT_FALSE(MatchNamePattern("readme", "readme.txt", false));
    EXPECT_FALSE(MatchNamePattern("eadme.txt", "readme.txt", false));
    EXPECT_FALSE(MatchNamePattern("", "x", false));
    EXPECT_TRUE(MatchNamePattern("", "", false));
    // A trailing comma is an ordinary character, not a list separator.
    EXPECT_FALSE(MatchNamePattern("*.txt,", "readme.txt", false));
    EXPECT_TRUE(MatchNamePattern("*.txt,", "readme.txt,", false));
}

TEST(NamePatternTest, QuestionMarkIsExactlyOneCodePoint) {
    EXPECT_TRUE(MatchNamePattern("file?.txt", "file1.txt", false));
    EXPECT_TRUE(MatchNamePattern("a?c", "a/c", false));
    EXPECT_FALSE(MatchNamePattern("file?.txt", "file.txt", false));
    EXPECT_FALSE(MatchNamePattern("file?.txt", "file12.txt", false));
    // Multi-byte characters count once.
    EXPECT_TRUE(MatchNamePattern("caf?.txt", "caf\u00e9.txt", false));
    EXPECT_TRUE(MatchNamePattern("?", "\u20ac", false));
    EXPECT_TRUE(MatchNamePattern("?", "\U0001F600", false));
    EXPECT_FALSE(MatchNamePattern("??", "\u20ac", false));
}

TEST(NamePatternTest, CaseIsIgnoredOnlyWhenAsked) {
    EXPECT_TRUE(MatchNamePattern("*.txt", "README.TXT", true));
    EXPECT_FALSE(MatchNamePattern("*.txt", "README.TXT", false));
    EXPECT_TRUE(MatchNamePattern("\u00e9t\u00e9.*", "\u00c9T\u00c9.doc", true));
    EXPECT_FALSE(MatchNamePattern("\u00e9t\u00e9.*", "\u00c9T\u00c9.doc", false));
    EXPECT_TRUE(MatchNamePattern("STRASSE", "strasse", true));
}

TEST(NamePatternTest, ManyStarsDoNotBacktrackExponentially) {
    const std::string name(5000, 'a');
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchNamePattern(pattern, name, false));
    EXPECT_FALSE(MatchNamePattern(pattern, name, true));
    EXPECT_TRUE(MatchNamePattern(pattern, name + "b", false));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(2));
}

}  // namespace
}  // namespace quillery
