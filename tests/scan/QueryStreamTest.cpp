#include "scan/QueryStream.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace quillery::test {
namespace {

// The verdict of a stream fed text in pieces of size bytes.
bool Streamed(const QueryMatcher& matcher, const std::string& text, std::size_t size,
              ByteCodePage page = ByteCodePage::Windows1252) {
    QueryStream stream(matcher, page);
    for (std::size_t at = 0; at < text.size(); at += size) {
        stream.feed(text.data() + at, std::min(size, text.size() - at));
    }
    return stream.finish();
}

TEST(QueryStreamTest, PiecesOfAnySizeGiveTheVerdictOfTheWholeText) {
    const struct {
        const char* expression;
        std::string text;
        bool holds;
        ByteCodePage page = ByteCodePage::Windows1252;
    } rows[] = {
        {"alpha && beta", "one alpha\r\ntwo\r\nthree beta\r\n", true},
        {"alpha.*beta", "alpha\r\nbeta", false},  // never across a line end
        {"^$", "a\r\nb\r\n", false},              // CR LF is one line end
        {"^$", "a\r\n\r\nb", true},
        {"^b$", "a\rb\rc", true},                                       // a lone CR ends a line
        {"caf\xC3\xA9", "the CAF\xC3\x89\n", true},                     // UTF-8, folded
        {"caf\xC3\xA9", "caf\xE9 in 1252\n", true},                     // a line that is no UTF-8
        {"\xE2\x95\x94", "\xC9\xCD\xBB\n", true, ByteCodePage::Cp437},  // box art of an .nfo
        {"needle",
         std::string("\xFF\xFE"
                     "n\0e\0e\0d\0l\0e\0",
                     14),
         true},                               // UTF-16
        {"^mark", "\xEF\xBB\xBFmark", true},  // a UTF-8 mark is no part of the text
        {"!x", "", true},
        {"tail", "no line end at the tail", true},
        // Lines are searched together; anchors still hold at each line's ends.
        {"^b$ && ^c", "a\r\nb\nc d", true},
        {"a$", "xa\r\nb", true},
        {"^$", "a\n\nb", true},
        {"a\\s+b", "a\r\nb", false},
        {"a[^x]b", "a\nb", false},
        {"\\Ab", "a\nb", true},  // the start of the line, as for each line alone
        {"a\\z", "a\nb", true},  // its end
        {"(?-m)^b$", "a\nb\nc", true},
        {"\xC3\xA9", "ok\n\x90\n", true, ByteCodePage::Cp437},  // decoded beside UTF-8 lines
        {"far && near", std::string(300000, 'x') + "\nnear\n" + std::string(300000, 'y') + "\nfar",
         true},
        {"keygen",
         "the \xE2\x84\xAA"
         "EYGEN",
         true},                                      // the Kelvin sign folds to k
        {"MISSION", "Mi\xC5\xBF\xC5\xBFion", true},  // the long s to s
        {"mission && !keygen", "Mission, KeyGen", false},
        {"^y+far", std::string(300000, 'y') + "far\n", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expression);
        const auto made = QueryMatcher::Make(QString::fromUtf8(row.expression), {});
        ASSERT_TRUE(std::holds_alternative<QueryMatcher>(made));
        const QueryMatcher& matcher = std::get<QueryMatcher>(made);
        for (const std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{3},
                                       std::size_t{7}, row.text.size() + 1}) {
            EXPECT_EQ(Streamed(matcher, row.text, size, row.page), row.holds) << size;
        }
    }
}

TEST(QueryStreamTest, ALineIsLookedAtUpToItsCut) {
    const auto made = QueryMatcher::Make(QStringLiteral("end$"), {});
    const QueryMatcher& matcher = std::get<QueryMatcher>(made);
    const std::string cut(QueryMatcher::kMostLineBytes - 3, 'x');
    EXPECT_TRUE(Streamed(matcher, cut + "end" + "beyond\nnext", 4096));
    EXPECT_FALSE(Streamed(matcher, cut + "xx" + "end\nnext", 4096));
    // Far longer than the most looked at: what lies beyond the cut is never searched.
    EXPECT_FALSE(Streamed(matcher, std::string(1400000, 'x') + "end\nnext", 4096));
    EXPECT_TRUE(Streamed(matcher, std::string(1400000, 'x') + "\r\nthe end", 65536));
}

}  // namespace
}  // namespace quillery::test
