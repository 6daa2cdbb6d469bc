#include "scan/QueryMatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace quillery::test {
namespace {

QueryMatcher Made(const char* expression, QueryOptions options) {
    std::variant<QueryMatcher, QueryError> made =
        QueryMatcher::Make(QString::fromUtf8(expression), options);
    if (const QueryError* error = std::get_if<QueryError>(&made)) {
        ADD_FAILURE() << expression << ": " << error->message.toStdString();
        return std::get<QueryMatcher>(QueryMatcher::Make(QStringLiteral("x"), {}));
    }
    return std::move(std::get<QueryMatcher>(made));
}

TEST(QueryMatcherTest, ExpressionsHoldForTheTextsTheyDescribe) {
    constexpr QueryOptions kPlain{}, kCase{true, false}, kWords{false, true};
    const struct {
        const char* expression;
        QueryOptions options;
        std::vector<std::string> matching, notMatching;
    } rows[] = {
        {"readme && !keygen",
         kPlain,
         {"README first\nlicence", "a readme"},
         {"readme\nthe KeyGen", "nothing"}},
        {R"("v[0-9]+\.[0-9]+" && (nfo || diz))",
         kPlain,
         {"v[0-9]+\\.[0-9]+ and nfo"},
         {"v1.2 nfo"}},
        {R"(v[0-9]+\.[0-9]+ && (nfo || diz))",
         kPlain,
         {"Version v1.20\r\nfile_id.diz"},
         {"v1. and diz", "v1.2 alone"}},
        {"a && b || c", kPlain, {"a b", "c"}, {"a", "b"}},
        {"(a || b) && c", kPlain, {"b c", "a\nc"}, {"a b", "c"}},
        {"colou?r", kPlain, {"COLOR", "Colour"}, {"colouur"}},
        {"^total: [0-9]+$", kPlain, {"x\nTotal: 42\ny"}, {"total: 42 more", "a total: 1"}},
        {"one.*two", kPlain, {"one and two"}, {"one\ntwo", "one\rtwo"}},  // within one line
        {"[[:digit:]]{4}-[0-9]{2}", kPlain, {"on 1998-03"}, {"on 98-03"}},
        // Case: Unicode's simple folding, or as written.
        {"\xC3\xA9t\xC3\xA9", kPlain, {"\xC3\x89T\xC3\x89"}, {"ete"}},
        {"Cipher", kCase, {"Velvet Cipher"}, {"velvet cipher", "CIPHER"}},
        // Whole words: between word boundaries, Unicode letters included.
        {"cd",
         kWords,
         {"a cd b", "cd", "(cd)", "cd-rom"},
         {"abcd", "cds",
          "\xC3\xA9"
          "cd"}},
        {"cd || dvd", kWords, {"my dvd"}, {"dvds and cdr"}},
        // A pattern that backtracks for ever elsewhere; here a plain non-match.
        {"(a+)+$", kPlain, {"aaa"}, {std::string(1000000, 'a') + "b"}},
        {"!secret", kPlain, {"public", ""}, {"top SECRET"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expression);
        const QueryMatcher matcher = Made(row.expression, row.options);
        for (const std::string& text : row.matching) {
            EXPECT_TRUE(matcher.holds(text)) << text.substr(0, 80);
        }
        for (const std::string& text : row.notMatching) {
            EXPECT_FALSE(matcher.holds(text)) << text.substr(0, 80);
        }
    }
}

TEST(QueryMatcherTest, HitsAreEveryMatchOfATermInALine) {
    const QueryMatcher words = Made("cd", {false, true});
    EXPECT_EQ(words.hitsInLine(0, "cd cd,abcd CD"),
              (std::vector<std::pair<std::size_t, std::size_t>>{{0, 2}, {3, 5}, {11, 13}}));
    const QueryMatcher plain = Made("a+", {});
    EXPECT_EQ(plain.hitsInLine(0, "baaxa"),
              (std::vector<std::pair<std::size_t, std::size_t>>{{1, 3}, {4, 5}}));
}

TEST(QueryMatcherTest, ATermThatIsNoRegularExpressionIsRefusedAtItsPlace) {
    const std::variant<QueryMatcher, QueryError> made =
        QueryMatcher::Make(QStringLiteral("good && bad[ && more"), {});
    ASSERT_TRUE(std::holds_alternative<QueryError>(made));
    const QueryError& error = std::get<QueryError>(made);
    EXPECT_EQ(error.at, 8);
    EXPECT_TRUE(error.message.startsWith("not a regular expression: "))
        << error.message.toStdString();
}

}  // namespace
}  // namespace quillery::test
