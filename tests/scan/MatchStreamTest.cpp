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
    if (piece == 0) {
        piece = bytes.size() + 1;
    }
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        stream.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    return stream.finish();
}

bool StreamMatches(const SearchExpression& expression, const std::string& bytes, ByteCodePage page,
                   std::size_t piece) {
    return StreamMatches(TextMatcher(expression), bytes, page, piece);
}

bool WholeTextMatches(const SearchExpression& expression, const std::string& bytes,
                      ByteCodePage page) {
    return ExpressionMatchesText(expression, DecodeText(bytes, page));
}

TEST(MatchStreamTest, AgreesWithTheWholeTextForAnyPieceSize) {
    // Fragments chosen to cross every path: ASCII, blanks, UTF-8 letters that upper-case to
    // ASCII (dotless i, long s), other UTF-8, bytes that make the text invalid UTF-8, box art.
    const std::vector<std::string> fragments = {"ab",
                                                "AB",
                                                "i",
                                                "s",
                                                " ",
                                                "\n",
                                                "\xC4\xB1",
                                                "\xC5\xBF",
                                                "\xC3\xA9",
                                                "\xC3\x89",
                                                "\xE9",
                                                "\xC4",
                                                "\xB1",
                                                "\xCD\xCD",
                                                "\xEF\xBB\xBF",
                                                "\xF0\x9F\x98\x80",
                                                "x y",
                                                "\t",
                                                "\xFF",
                                                std::string(1, '\0'),
                                                "|&",
                                                "\xFF\xFE",
                                                "\xFE\xFF",
                                                std::string("A\0B\0", 4)};
    const std::vector<QString> terms = {"AB",
                                        "I",
                                        "IS",
                                        "SI",
                                        "AB I",
                                        "",
                                        QStringLiteral("\u00C9"),
                                        QStringLiteral("\u00E9AB"),
                                        QStringLiteral("\u2550"),
                                        "X Y",
                                        "S",
                                        "|&",
                                        QStringLiteral("\U0001F600"),
                                        QStringLiteral("\u00DD")};
    std::mt19937 random(20261206);
    const auto pick = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 4000; ++round) {
        std::string bytes;
        const std::size_t count = pick(12);
        for (std::size_t i = 0; i < count; ++i) {
            bytes += fragments[pick(fragments.size())];
        }
        SearchExpression expression;
        expression.kind = static_cast<SearchExpression::Kind>(pick(3));
        const std::size_t termCount =
            expression.kind == SearchExpression::Kind::Phrase ? 1 : 1 + pick(3);
        for (std::size_t i = 0; i < termCount; ++i) {
            expression.terms.push_back(terms[pick(terms.size())]);
        }
        const ByteCodePage page = pick(2) ? ByteCodePage::Cp437 : ByteCodePage::Windows1252;
        const bool expected = WholeTextMatches(expression, bytes, page);
        for (std::size_t piece :
             {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}}) {
            ASSERT_EQ(StreamMatches(expression, bytes, page, piece), expected)
                << "round " << round << " piece " << piece << " bytes "
                << QByteArray::fromStdString(bytes).toHex().toStdString() << " first term "
                << expression.terms.front().toStdString();
        }
    }
}

TEST(MatchStreamTest, UpperCasedUtf8LettersCountOnlyInValidUtf8) {
    const SearchExpression fin = ParseSearchExpression("fin");
    // "fın" with a dotless i upper-cases to "FIN" when the text is UTF-8 ...
    EXPECT_TRUE(StreamMatches(fin, "f\xC4\xB1n", ByteCodePage::Windows1252, 1));
    // ... but one invalid byte anywhere makes it Windows-1252 text, where it reads "fÄ±n".
    EXPECT_FALSE(StreamMatches(fin, "f\xC4\xB1n \xFF", ByteCodePage::Windows1252, 1));
    EXPECT_TRUE(
        StreamMatches(ParseSearchExpression("\u2550\u2550"), "\xCD\xCD", ByteCodePage::Cp437, 1));
    EXPECT_FALSE(StreamMatches(ParseSearchExpression("\u2550\u2550"), "\xCD\xCD",
                               ByteCodePage::Windows1252, 1));
}

TEST(MatchStreamTest, EmptyAndBlankTextsMatchNothing) {
    const SearchExpression any = AuditExpression({""});
    EXPECT_FALSE(StreamMatches(any, "", ByteCodePage::Windows1252, 0));
    EXPECT_FALSE(StreamMatches(any, "     ", ByteCodePage::Windows1252, 2));
    EXPECT_FALSE(StreamMatches(any, "\xEF\xBB\xBF  ", ByteCodePage::Windows1252, 1));
    EXPECT_TRUE(StreamMatches(any, "\xEF\xBB", ByteCodePage::Windows1252, 1));
    EXPECT_TRUE(StreamMatches(any, " \t ", ByteCodePage::Windows1252, 1));
}

TEST(MatchStreamTest, DecidesEarlyOnlyWhenTheResultCanNoLongerChange) {
    const TextMatcher matcher(ParseSearchExpression("alpha && beta"));
    MatchStream stream(matcher, ByteCodePage::Windows1252);
    stream.feed("ALPHA", 5);
    EXPECT_FALSE(stream.decided());
    stream.feed(" be", 3);
    stream.feed("ta", 2);
    EXPECT_TRUE(stream.decided());
    stream.feed("\xFF", 1);
    EXPECT_TRUE(stream.finish());
}

}  // namespace
}  // namespace quillery

namespace quillery {
namespace {

// Texts long enough for the sixteen-byte steps of the byte search and for several pieces.
std::string LongText(std::mt19937& random, const std::vector<std::string>& words,
                     std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += words[random() % words.size()];
    }
    return text;
}

TEST(MatchStreamTest, LongTextsAgreeWithTheWholeTextWhateverThePieces) {
    const std::vector<std::string> words = {"release ",
                                            "Group ",
                                            "VELVET ",
                                            "velvet cipher",
                                            "CIPHER SYNDICATE",
                                            "syndicat",
                                            "\r\n",
                                            "\xC3\xA9t\xC3\xA9 ",
                                            "\xCD\xCD\xBB",
                                            "[x] ",
                                            "f\xC4\xB1n ",
                                            "\xC5\xBFo ",
                                            "zz",
                                            "Z",
                                            "  "};
    const std::vector<SearchExpression> searches = {
        ParseSearchExpression("velvet cipher syndicate"),
        ParseSearchExpression("zzz"),
        ParseSearchExpression("release && group"),
        ParseSearchExpression("FIN || SO"),
        ParseSearchExpression("[X]"),
        ParseSearchExpression("e"),
        ParseSearchExpression(QStringLiteral("\u00C9T\u00C9")),
        ParseSearchExpression(QStringLiteral("\u2550\u2550\u2557"))};
    std::mt19937 random(4242);
    for (int round = 0; round < 600; ++round) {
        const std::string bytes = LongText(random, words, 5 + random() % 60);
        const ByteCodePage page = round % 2 ? ByteCodePage::Cp437 : ByteCodePage::Windows1252;
        for (const SearchExpression& search : searches) {
            const bool expected = WholeTextMatches(search, bytes, page);
            for (std::size_t piece : {std::size_t{0}, std::size_t{7}, std::size_t{16},
                                      std::size_t{17}, std::size_t{31}}) {
                ASSERT_EQ(StreamMatches(search, bytes, page, piece), expected)
                    << "round " << round << " piece " << piece << " search "
                    << search.terms.front().toStdString();
            }
        }
    }
}

// Audit runs have many strings; they are looked for all at once (TermSet), on the bytes
// when every string is ASCII and on the decoded text otherwise.
TEST(MatchStreamTest, ManyAuditStringsAgreeWithTheWholeText) {
    const std::vector<std::string> fragments = {
        "alpha ",   "BETA",     "gamma ray", "\r\n",     " ",     "i", "s",          "\xC4\xB1",
        "\xC5\xBF", "\xC3\xA9", "\xE9",      "\xCD\xCD", "delta", "x", "ABCDEFGHIJ", "qz"};
    const std::vector<QString> pool = {
        "ALPHA",        "BETA GAMMA", "GAMMA RAY",  "A", "QZ",           "IS",  "SI", "DELTA X",
        "ABCDEFGHIJKL", "FGHIJ",      "ALPHA BETA", "",  "RAY\r\nDELTA", "BCD", "XX", "HIJQZ"};
    const std::vector<QString> wide = {QStringLiteral("\u00C9"), QStringLiteral("\u2550\u2550"),
                                       QStringLiteral("\u00C9DELTA")};
    std::mt19937 random(77);
    const auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (int round = 0; round < 500; ++round) {
        std::string bytes;
        const std::size_t count = pick(30);
        for (std::size_t i = 0; i < count; ++i) {
            bytes += fragments[pick(fragments.size())];
        }
        QStringList lines;
        const std::size_t termCount = 8 + pick(12);
        for (std::size_t i = 0; i < termCount; ++i) {
            lines.push_back(pool[pick(pool.size())]);
        }
        if (round % 3 == 0) {
            lines.push_back(wide[pick(wide.size())]);
        }
        const SearchExpression expression = AuditExpression(lines);
        const ByteCodePage page = pick(2) ? ByteCodePage::Cp437 : ByteCodePage::Windows1252;
        const bool expected = WholeTextMatches(expression, bytes, page);
        const TextMatcher matcher(expression);
        ASSERT_TRUE(matcher.byteSet() != nullptr || matcher.wideSet() != nullptr);
        for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{9}}) {
            ASSERT_EQ(StreamMatches(matcher, bytes, page, piece), expected)
                << "round " << round << " piece " << piece << " bytes "
                << QByteArray::fromStdString(bytes).toHex().toStdString();
        }
    }
}

TEST(MatchStreamTest, AllOfManyTermsNeedsEveryOne) {
    QStringList parts;
    for (int i = 0; i < 12; ++i) {
        parts.push_back(QStringLiteral("word%1").arg(i));
    }
    const SearchExpression all = ParseSearchExpression(parts.join(" && "));
    ASSERT_EQ(all.terms.size(), 12u);
    std::string text;
    for (int i = 11; i >= 0; --i) {
        text += "WORD" + std::to_string(i) + " ";
    }
    EXPECT_TRUE(StreamMatches(all, text, ByteCodePage::Windows1252, 5));
    text.erase(text.find("WORD7"), 5);
    EXPECT_FALSE(StreamMatches(all, text, ByteCodePage::Windows1252, 5));
}

}  // namespace
}  // namespace quillery
