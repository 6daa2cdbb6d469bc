#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/EntryPath.h"
#include "archive/NamePattern.h"

namespace quillery {
namespace {

TEST(EntryPathTest, OnlyComponentsThatStayInsideAreKept) {
    using Parts = std::vector<std::string>;
    const std::vector<std::pair<std::string, Parts>> cases = {
        {"readme.txt", {"readme.txt"}},
        {"docs/sub/a b.txt", {"docs", "sub", "a b.txt"}},
        {"docs/", {"docs"}},
        {"...hidden", {"...hidden"}},
        {"a:b", {"b"}},
        {"ab:c", {"ab:c"}},
        {"../../etc/passwd", {"etc", "passwd"}},
        {"a/../../b.txt", {"a", "b.txt"}},
        {"/abs/z", {"abs", "z"}},
        {"//x//./y", {"x", "y"}},
        {"..\\..\\win.ini", {"win.ini"}},
        {"C:\\x\\..\\y.txt", {"x", "y.txt"}},
        {"c:/x.txt", {"x.txt"}},
        {"C:drive.txt", {"drive.txt"}},
        {"", {}},
        {"../", {}},
        {"/", {}},
        {"C:", {}},
        {"C:\\", {}},
        {"./..\\.", {}},
    };
    for (const auto& [name, parts] : cases) {
        EXPECT_EQ(SafeEntryComponents(name), parts) << name;
    }
}

TEST(NamePatternTest, WholeNamesMatchStarsQuestionMarksAndCase) {
    struct Case {
        const char* pattern;
        std::string name;
        bool ignoreCase, matches;
    };
    const std::vector<Case> cases = {
        {"*.txt", "readme.txt", false, true},
        {"*.txt", "docs/readme.txt", false, true},
        {"*.txt", ".txt", false, true},
        {"docs/*", "docs/a/b/c.bin", false, true},
        {"*", "", false, true},
        {"a*b*c", "aXXbYYc", false, true},
        {"*.txt", "readme.txt.bak", false, false},
        {"a*b*c", "aXXbYY", false, false},
        {"readme", "readme.txt", false, false},
        {"eadme.txt", "readme.txt", false, false},
        {"readme.txt", "readme.tx", false, false},
        {"", "x", false, false},
        {"", "", false, true},
        {"*.txt,", "readme.txt", false, false},
        {"*.txt,", "readme.txt,", false, true},
        {"file?.txt", "file1.txt", false, true},
        {"a?c", "a/c", false, true},
        {"file?.txt", "file.txt", false, false},
        {"file?.txt", "file12.txt", false, false},
        {"caf?.txt", "caf\u00e9.txt", false, true},
        {"?", "\U0001F600", false, true},
        {"??", "\u20ac", false, false},
        {"*.txt", "README.TXT", true, true},
        {"*.txt", "README.TXT", false, false},
        {"\u00e9t\u00e9.*", "\u00c9T\u00c9.doc", true, true},
        {"\u00e9t\u00e9.*", "\u00c9T\u00c9.doc", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchNamePattern(c.pattern, c.name, c.ignoreCase), c.matches)
            << c.pattern << " on " << c.name << (c.ignoreCase ? " ignoring case" : "");
    }
    // Many stars must not backtrack exponentially.
    const std::string name(5000, 'a');
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    EXPECT_FALSE(MatchNamePattern(pattern, name, true));
    EXPECT_TRUE(MatchNamePattern(pattern, name + "b", false));
}

}  // namespace
}  // namespace quillery
