#include "scan/QueryExpression.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace quillery::test {
namespace {

// The expression as DescribeQuery writes it, or "error at N: why".
std::string Read(const QString& text) {
    const std::variant<Query, QueryError> parsed = ParseQuery(text);
    if (const QueryError* error = std::get_if<QueryError>(&parsed)) {
        return "error at " + std::to_string(error->at) + ": " + error->message.toStdString();
    }
    return DescribeQuery(std::get<Query>(parsed)).toStdString();
}

TEST(QueryExpressionTest, SearchStringsReadAsExpressions) {
    const struct {
        const char* text;
        const char* read;
    } rows[] = {
        {"readme", "/readme/"},
        {"  hello   world  ", "/hello   world/"},
        {"readme && !keygen", "(/readme/ && !/keygen/)"},
        {"a && b || c && d", "((/a/ && /b/) || (/c/ && /d/))"},
        {"a || b && c", "(/a/ || (/b/ && /c/))"},
        {"(a || b) && c", "((/a/ || /b/) && /c/)"},
        {"!(a || b)", "!(/a/ || /b/)"},
        {"!!a", "!!/a/"},
        {R"("v[0-9]+\.[0-9]+" && (nfo || diz))", R"(("v[0-9]+\.[0-9]+" && (/nfo/ || /diz/)))"},
        {R"(v[0-9]+\.[0-9]+ && (nfo || diz))", R"((/v[0-9]+\.[0-9]+/ && (/nfo/ || /diz/)))"},
        // Parentheses that enclose no expression ending at an operator belong to the pattern.
        {"(a+)+$", "/(a+)+$/"},
        {"(a|b)c && d", "(/(a|b)c/ && /d/)"},
        {"x(?:y|z) || w", "(/x(?:y|z)/ || /w/)"},
        // Operators inside a class, an escape or a phrase are text.
        {"[|&)]+ && b", "(/[|&)]+/ && /b/)"},
        {R"(a\&&b)", R"(/a\&&b/)"},  // an escaped "&" leaves no "&&"
        {R"("a && b" || "say \"hi\"")", R"(("a && b" || "say "hi""))"},
        {R"("a\\b")", R"("a\b")"},
        // What is not an expression, and where.
        {"", "error at 0: a term expected"},
        {"a &&", "error at 4: a term expected"},
        {"&& a", "error at 0: a term expected"},
        {"a || || b", "error at 5: a term expected"},
        {"!", "error at 1: a term expected"},
        {"(a || b", "error at 0: a '(' that is not closed"},
        {"x && ab(c(d)", "error at 7: a '(' that is not closed"},
        {"a) || b", "error at 1: a ')' that closes no '('"},
        {"\"open", "error at 0: a '\"' that is not closed"},
        {"\"\" && a", "error at 0: an empty phrase"},
        {"() && a", "(/()/ && /a/)"},  // an empty group of the pattern's own
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Read(QString::fromUtf8(row.text)), row.read);
    }
}

TEST(QueryExpressionTest, TheStructureDecidesWhichEntriesHold) {
    const std::variant<Query, QueryError> parsed = ParseQuery("(a || b) && !c");
    ASSERT_TRUE(std::holds_alternative<Query>(parsed));
    const Query& query = std::get<Query>(parsed);
    ASSERT_EQ(query.terms.size(), 3U);
    EXPECT_EQ(query.terms[2], (QueryTerm{"c", false, 13}));
    const struct {
        std::vector<char> found;  // a, b, c
        bool holds;
    } rows[] = {
        {{1, 0, 0}, true},  {{0, 1, 0}, true},  {{1, 1, 0}, true},
        {{0, 0, 0}, false}, {{1, 0, 1}, false}, {{0, 0, 1}, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(QueryHolds(query.root, row.found), row.holds);
    }
}

}  // namespace
}  // namespace quillery::test
