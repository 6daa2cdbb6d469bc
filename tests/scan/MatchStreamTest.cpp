#include "scan/MatchStream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/SearchExpression.h"
#include "text/TextDecode.h"

namespace quillery {
namespace {

// Feeds the bytes in pieces of the given size (0: all at once).
bool StreamMatches(const TextMatcher& matcher, const std::string& bytes, ByteCodePage page,
                   std::size_t piece) {
    MatchStream stream(matcher, page);
    piece = piece == 0 ? bytes.size() + 1 : piece;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        stream.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    return stream.finish();
}

// Random texts from fragments chosen to cross every path (ASCII, blanks, UTF-8 letters that
// upper-case to ASCII, other UTF-8, bytes that make the text invalid UTF-8, box art), fed in
// pieces of every size, must match exactly when the whole decoded text does: for single
// searches and for audit runs of many strings, looked for all at once.
TEST(MatchStreamTest, AgreesWithTheWholeDecodedTextForAnyPieceSize) {
    // clang-format off
    const std::vector<std::string> fragments = {
        "ab", "AB", "i", "s", " ", "\n", "\r\n", "\t", "x y", "|&", "[x] ", "ABCDEFGHIJ",
        "release Group ", "velvet cipher", "\xC4\xB1", "\xC5\xBF", "\xC3\xA9", "\xC3\x89",
        "\xE9", "\xC4", "\xB1", "\xCD\xCD", "\xEF\xBB\xBF", "\xFF", std::string(1, '\0'),
        "\xF0\x9F\x98\x80", "\xFF\xFE", "\xFE\xFF", std::string("A\0B\0", 4)};
    const std::vector<QString> terms = {
        "AB", "I", "IS", "SI", "AB I", "", "\u00C9", "\u00E9AB", "\u2550", "X Y", "S", "|&",
        "\U0001F600", "\u00DD", "VELVET CIPHER", "RELEASE GROUP", "[X]", "FGHIJ", "ABCDEFGHIJKL",
        "\u2550\u2550", "\r\n"};
    // clang-format on
    std::mt19937 random(20261206);
    const auto pick = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        for (std::size_t i = pick(round % 3 ? 12 : 60); i > 0; --i) {
            bytes += fragments[pick(fragments.size())];
        }
        SearchExpression expression;
        expression.kind = static_cast<SearchExpression::Kind>(pick(3));
        QStringList lines;
        const bool audit = round % 5 == 0;
        std::size_t count = audit                                               ? 8 + pick(12)
                            : expression.kind == SearchExpression::Kind::Phrase ? 1
                                                                                : 1 + pick(3);
        for (; count > 0; --count) {
            lines.push_back(terms[pick(terms.size())]);
        }
        expression.terms.assign(lines.begin(), lines.end());
        if (audit) {
            expression = AuditExpression(lines);
        }
        const TextMatcher matcher(expression);
        const ByteCodePage page = pick(2) ? ByteCodePage::Cp437 : ByteCodePage::Windows1252;
        const bool expected = ExpressionMatchesText(expression, DecodeText(bytes, page));
        for (std::size_t piece : {0, 1, 2, 3, 7, 16, 17}) {
            ASSERT_EQ(StreamMatches(matcher, bytes, page, piece), expected)
                << "round " << round << " piece " << piece << " bytes "
                << QByteArray::fromStdString(bytes).toHex().toStdString() << " first term "
                << expression.terms.front().toStdString();
        }
    }
}

TEST(MatchStreamTest, DecodingRulesEmptyTextsAndEarlyDecisions) {
    struct Case {
        QString search;
        std::string bytes;
        ByteCodePage page;
        bool matches;
    };
    const auto w1252 = ByteCodePage::Windows1252;
    const std::vector<Case> cases = {
        {"fin", "f\xC4\xB1n", w1252, true},        // dotless i in UTF-8 upper-cases to I ...
        {"fin", "f\xC4\xB1n \xFF", w1252, false},  // ... not in Windows-1252: "fÄ±n"
        {"\u2550\u2550", "\xCD\xCD", ByteCodePage::Cp437, true},
        {"\u2550\u2550", "\xCD\xCD", w1252, false},
        {"   ", "", w1252, false},  // a blank search matches any text but a blank one
        {"   ", "     ", w1252, false},
        {"   ", "\xEF\xBB\xBF  ", w1252, false},
        {"   ", "\xEF\xBB", w1252, true},
        {"   ", " \t ", w1252, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StreamMatches(TextMatcher(ParseSearchExpression(c.search)), c.bytes, c.page, 1),
                  c.matches)
            << c.search.toStdString() << " in " << c.bytes;
    }
    const TextMatcher matcher(ParseSearchExpression("alpha && beta"));
    MatchStream stream(matcher, w1252);
    stream.feed("ALPHA be", 8);
    EXPECT_FALSE(stream.decided());
    stream.feed("ta", 2);
    EXPECT_TRUE(stream.decided());
    stream.feed("\xFF", 1);
    EXPECT_TRUE(stream.finish());
}

}  // namespace
}  // namespace quillery
