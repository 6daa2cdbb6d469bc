#include "scan/SearchExpression.h"

#include <gtest/gtest.h>

#include "scan/AuditFile.h"
#include "scan/Formats.h"

namespace quillery {
namespace {

using Kind = SearchExpression::Kind;

TEST(SearchExpressionTest, GrammarSplitsAtOperatorsAndAndBindsFirst) {
    const std::vector<std::tuple<QString, Kind, std::vector<QString>>> cases = {
        {"  hello  world  ", Kind::Phrase, {"HELLO  WORLD"}},
        {"readme && Licence", Kind::AllOf, {"README", "LICENCE"}},
        {"nfo || diz", Kind::AnyOf, {"NFO", "DIZ"}},
        {"a && b || c", Kind::AllOf, {"A", "B || C"}},
        {"viewer &&", Kind::AllOf, {"VIEWER", ""}},
        {"viewer ||", Kind::AnyOf, {"VIEWER", ""}},
        {"a &&&& b", Kind::AllOf, {"A", "", "B"}},
        {"   ", Kind::Phrase, {""}},
        {"\"x\" & | (y*)", Kind::Phrase, {"\"X\" & | (Y*)"}},
        {"\tx && y\t", Kind::AllOf, {"\tX", "Y\t"}},  // tabs are no blanks
        {"straße", Kind::Phrase, {"STRAßE"}},         // upper-casing keeps every offset
    };
    for (const auto& [search, kind, terms] : cases) {
        EXPECT_EQ(ParseSearchExpression(search), (SearchExpression{kind, terms}))
            << search.toStdString();
    }
}

TEST(SearchExpressionTest, TextsMatchSearchesAndAuditStrings) {
    const SearchExpression audit = AuditExpression({"viewer", "a && b", "readme\t"});
    const std::vector<std::tuple<SearchExpression, QString, bool>> cases = {
        {ParseSearchExpression("readme && licence"), "The LICENCE\nis in the ReadMe", true},
        {ParseSearchExpression("readme && licence"), "only the readme", false},
        {ParseSearchExpression("nfo || diz"), "a file_id.DIZ", true},
        {ParseSearchExpression("nfo || diz"), "nothing here", false},
        {ParseSearchExpression("a && b || c"), "a then b || c", true},
        {ParseSearchExpression("a && b || c"), "a then b or c", false},
        {ParseSearchExpression("viewer &&"), "the browser", false},
        {ParseSearchExpression("viewer ||"), "anything", true},
        {ParseSearchExpression("x ||"), "", false},
        {ParseSearchExpression("hello  world"), "hello world", false},
        {ParseSearchExpression("hello  world"), "HELLO  WORLD", true},
        {audit, "this has A && B inside", true},  // audit strings are literal
        {audit, "this has a and b inside", false},
        {audit, "README\tfile", true},
        {audit, "README file", false},
        {AuditExpression({"zzz", ""}), "abc", true},  // a blank line: any non-blank text
        {AuditExpression({"zzz", ""}), "   ", false},
        {AuditExpression({}), "abc", false},
    };
    for (std::size_t row = 0; row < cases.size(); ++row) {
        const auto& [expression, text, matches] = cases[row];
        EXPECT_EQ(ExpressionMatchesText(expression, text), matches) << "row " << row;
    }
}

TEST(AuditFileTest, LinesAreTrimmedOfBlanksOnlyAndDecoded) {
    EXPECT_EQ(ParseAuditStrings("  viewer \r\n\r\nreadme\t\r\n"),
              (QStringList{"viewer", "", "readme\t"}));
    EXPECT_EQ(ParseAuditStrings("a\nb"), (QStringList{"a", "b"}));
    EXPECT_EQ(ParseAuditStrings("caf\xE9\r\n"), QStringList{QStringLiteral("café")});
    EXPECT_EQ(ParseAuditStrings("caf\xC3\xA9"), QStringList{QStringLiteral("café")});
    QByteArray many;
    for (int i = 0; i < 40000; ++i) {
        many += "line " + QByteArray::number(i) + "\r\n";
    }
    const QStringList lines = ParseAuditStrings(many);
    ASSERT_EQ(lines.size(), 40000);
    EXPECT_EQ(lines.back(), "line 39999");
    // Counters and sizes beyond 16 and 32 bits are shown whole.
    EXPECT_EQ(FormatCounter(1234567), "1234567");
    EXPECT_EQ(FormatSizeKB(5ULL << 30, QLocale(QLocale::English)), "5,368,710");
    EXPECT_EQ(ParseSizeKB("5,368,710", QLocale(QLocale::English)), 5368710);
}

}  // namespace
}  // namespace quillery
