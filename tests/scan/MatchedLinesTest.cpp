#include "scan/MatchedLines.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "scan/QueryMatcher.h"

namespace quillery::test {
namespace {

// A line as "NUMBER@OFFSET:TEXT" with each hit as [start+length/term], for comparing.
std::vector<std::string> Described(const std::vector<MatchedLine>& lines) {
    std::vector<std::string> out;
    for (const MatchedLine& line : lines) {
        std::string text = std::to_string(line.number) + "@" + std::to_string(line.byteOffset) +
                           ":" + line.text.toStdString();
        for (const LineHit& hit : line.hits) {
            text += " [" + std::to_string(hit.start) + "+" + std::to_string(hit.length) + "/" +
                    std::to_string(hit.term) + "]";
        }
        out.push_back(text);
    }
    return out;
}

TEST(MatchedLinesTest, LinesWithATermAreFoundWithTheirNumbersOffsetsAndHits) {
    const struct {
        const char* name;
        std::string bytes;
        ByteCodePage page;
        std::vector<QString> terms;
        std::vector<std::string> want;
    } rows[] = {
        {"line ends of every kind",
         "one needle\r\ntwo\rthree NEEDLE\nfour\n",
         ByteCodePage::Windows1252,
         {"NEEDLE"},
         {"1@0:one needle [4+6/0]", "3@16:three NEEDLE [6+6/0]"}},
        {"no line holds a term", "nothing here\n", ByteCodePage::Windows1252, {"NEEDLE"}, {}},
        {"several terms, overlapping, in text order",
         "abcabc\n",
         ByteCodePage::Windows1252,
         {"BCA", "AB", ""},
         {"1@0:abcabc [0+2/1] [1+3/0] [3+2/1]"}},
        {"UTF-8 after a byte-order mark: offsets in bytes",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9\n\xC3\xA9t\xC3\xA9 x\n",
         ByteCodePage::Windows1252,
         {"X", "\xC3\x89"},
         {"1@3:café [3+1/1]", "2@9:été x [0+1/1] [2+1/1] [4+1/0]"}},
        {"UTF-16: two bytes a unit after the mark",
         std::string("\xFF\xFE"
                     "a\0\n\0x\0",
                     8),
         ByteCodePage::Windows1252,
         {"X"},
         {"2@6:x [0+1/0]"}},
        {"code page 437 for an .nfo",
         "\xC9\xCD needle \xBA\n",
         ByteCodePage::Cp437,
         {"NEEDLE"},
         {"1@0:╔═ needle ║ [3+6/0]"}},
        {"the last line without a line end",
         "a\nneedle",
         ByteCodePage::Windows1252,
         {"NEEDLE"},
         {"2@2:needle [0+6/0]"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Described(MatchedLines(row.bytes, row.page, row.terms)), row.want);
    }
}

TEST(MatchedLinesTest, AnExpressionsHitsAreCountedInUnitsOfTheLinesText) {
    const struct {
        const char* name;
        const char* bytes;
        const char* expression;
        std::vector<std::string> want;
    } rows[] = {
        {"after characters of two, three and four bytes",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 ab ab\n",
         "a[b]",
         {"1@0:é€😀 ab ab [5+2/0] [8+2/0]"}},
        {"a hit of several bytes, and each term's hits in text order",
         "x \xF0\x9F\x98\x80y \xC3\xA9z\nnone\n",
         "(\\S)[yz] || x",
         {"1@0:x 😀y éz [0+1/1] [2+3/0] [6+2/0]"}},
        {"a negated term is not marked", "ab cd\n", "ab && !zz", {"1@0:ab cd [0+2/0]"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::variant<QueryMatcher, QueryError> made =
            QueryMatcher::Make(QString::fromUtf8(row.expression), QueryOptions{});
        ASSERT_TRUE(std::holds_alternative<QueryMatcher>(made));
        EXPECT_EQ(Described(MatchedLines(row.bytes, ByteCodePage::Windows1252,
                                         std::get<QueryMatcher>(made))),
                  row.want);
    }
}

TEST(MatchedLinesTest, ALongLineIsCutAroundItsFirstHit) {
    const std::string text = std::string(10000, 'a') + "needle" + std::string(10000, 'b');
    const std::vector<MatchedLine> lines =
        MatchedLines(text + "\n", ByteCodePage::Windows1252, {"NEEDLE"});
    ASSERT_EQ(lines.size(), 1U);
    const MatchedLine& line = lines.front();
    EXPECT_EQ(line.text.size(), kMostLineUnits);
    EXPECT_TRUE(line.text.startsWith(QChar(0x2026)) && line.text.endsWith(QChar(0x2026)));
    ASSERT_EQ(line.hits.size(), 1U);
    EXPECT_EQ(line.text.mid(line.hits[0].start, 6), "needle");

    MatchedLine shortOne{1, 0, "short needle", {{6, 6, 0}}};
    CutAroundHits(shortOne, 240);
    EXPECT_EQ(shortOne.text, "short needle");  // nothing to cut
    MatchedLine atStart{1, 0, "needle" + QString(500, 'x'), {{0, 6, 0}, {400, 1, 0}}};
    CutAroundHits(atStart, 20);
    EXPECT_EQ(atStart.text, "needle" + QString(13, 'x') + QChar(0x2026));
    EXPECT_EQ(atStart.hits, (std::vector<LineHit>{{0, 6, 0}}));  // the far one is cut off
}

}  // namespace
}  // namespace quillery::test
