#include "scan/SearchExpression.h"

#include <gtest/gtest.h>

namespace quillery {
namespace {

using Kind = SearchExpression::Kind;

SearchExpression Expr(Kind kind, std::vector<QString> terms) {
    return {kind, std::move(terms)};
}

TEST(SearchExpressionTest, GrammarSplitsAtOperatorsAndAndBindsFirst) {
    EXPECT_EQ(ParseSearchExpression("  hello  world  "), Expr(Kind::Phrase, {"HELLO  WORLD"}));
    EXPECT_EQ(ParseSearchExpression("readme && Licence"), Expr(Kind::AllOf, {"README", "LICENCE"}));
    EXPECT_EQ(ParseSearchExpression("nfo || diz"), Expr(Kind::AnyOf, {"NFO", "DIZ"}));
    EXPECT_EQ(ParseSearchExpression("a && b || c"), Expr(Kind::AllOf, {"A", "B || C"}));
    EXPECT_EQ(ParseSearchExpression("viewer &&"), Expr(Kind::AllOf, {"VIEWER", ""}));
    EXPECT_EQ(ParseSearchExpression("viewer ||"), Expr(Kind::AnyOf, {"VIEWER", ""}));
    EXPECT_EQ(ParseSearchExpression("a &&&& b"), Expr(Kind::AllOf, {"A", "", "B"}));
    EXPECT_EQ(ParseSearchExpression("   "), Expr(Kind::Phrase, {""}));
    EXPECT_EQ(ParseSearchExpression("\"x\" & | (y*)"), Expr(Kind::Phrase, {"\"X\" & | (Y*)"}));
    // Tabs are not blanks and stay part of the term.
    EXPECT_EQ(ParseSearchExpression("\tx && y\t"), Expr(Kind::AllOf, {"\tX", "Y\t"}));
}

TEST(SearchExpressionTest, UpperCasingKeepsTheLength) {
    // Full upper-casing would turn the sharp s into "SS" and shift every later offset.
    EXPECT_EQ(ParseSearchExpression(QStringLiteral("straße")).terms.front(),
              QStringLiteral("STRAßE"));
}

TEST(SearchExpressionTest, TextMatchingFollowsTheGrammar) {
    const auto matches = [](const QString& search, const QString& text) {
        return ExpressionMatchesText(ParseSearchExpression(search), text);
    };
    EXPECT_TRUE(matches("readme && licence", "The LICENCE\nis in the ReadMe"));
    EXPECT_FALSE(matches("readme && licence", "only the readme"));
    EXPECT_TRUE(matches("nfo || diz", "a file_id.DIZ"));
    EXPECT_FALSE(matches("nfo || diz", "nothing here"));
    EXPECT_TRUE(matches("a && b || c", "a then b || c"));
    EXPECT_FALSE(matches("a && b || c", "a then b or c"));
    EXPECT_TRUE(matches("viewer &&", "the viewer"));
    EXPECT_FALSE(matches("viewer &&", "the browser"));
    EXPECT_TRUE(matches("viewer ||", "anything"));
    EXPECT_TRUE(matches("   ", "x"));
    EXPECT_FALSE(matches("   ", "    "));
    EXPECT_FALSE(matches("hello  world", "hello world"));
    EXPECT_TRUE(matches("hello  world", "HELLO  WORLD"));
    EXPECT_FALSE(matches("x ||", ""));
}

TEST(SearchExpressionTest, AuditStringsAreLiteralAndAnyOneSuffices) {
    const SearchExpression audit = AuditExpression({"viewer", "a && b", "readme\t"});
    EXPECT_EQ(audit.kind, Kind::AnyOf);
    EXPECT_TRUE(ExpressionMatchesText(audit, "this has A && B inside"));
    EXPECT_FALSE(ExpressionMatchesText(audit, "this has a and b inside"));
    EXPECT_TRUE(ExpressionMatchesText(audit, "README\tfile"));
    EXPECT_FALSE(ExpressionMatchesText(audit, "README file"));
    // A blank line matches every non-empty text, never an empty one.
    EXPECT_TRUE(ExpressionMatchesText(AuditExpression({"zzz", ""}), "abc"));
    EXPECT_FALSE(ExpressionMatchesText(AuditExpression({"zzz", ""}), "   "));
    EXPECT_FALSE(ExpressionMatchesText(AuditExpression({}), "abc"));
}

}  // namespace
}  // namespace quillery
