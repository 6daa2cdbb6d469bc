#include "results/ViewerContent.h"

#include <gtest/gtest.h>

namespace quillery {
namespace {

using Mark = ViewerContent::Mark;

TEST(ViewerContentTest, EachFileGetsAHeaderARuleAndItsTrimmedText) {
    const ViewerContent c = BuildViewerContent({{"file_id.diz", "  Hello  "},
                                                {"blank.txt", "    "},
                                                {"breaks.txt", "\r\n\r\n"},
                                                {"unreadable.nfo", QString()},
                                                {"r.txt", "  Hello\r\nWorld  "}},
                                               "zzz");
    EXPECT_EQ(c.text, "FileName - FILE_ID.DIZ\n" + QString(22, '=') + "\nHello\n\n" +
                          "FileName - BLANK.TXT\n" + QString(20, '=') + "\n" +
                          "FileName - BREAKS.TXT\n" + QString(21, '=') + "\n\n\n\n\n" +
                          "FileName - UNREADABLE.NFO\n" + QString(25, '=') + "\n" +
                          "FileName - R.TXT\n" + QString(16, '=') + "\nHello\nWorld\n\n");
    EXPECT_TRUE(c.marks.empty() && c.matchPositions.empty());
    EXPECT_EQ(c.caret, 0);
    EXPECT_EQ(BoxLineBreaks("a\r\nb\rc\nd\u2029e\uFDD0"), "a\nb\nc\nd\ne\uFFFD");
}

TEST(ViewerContentTest, TermsSplitAtOrFirstThenAnd) {
    EXPECT_EQ(ViewerTerms("  foo  &&  bar  "), (std::vector<QString>{"FOO", "BAR"}));
    EXPECT_EQ(ViewerTerms("a && b || c"), (std::vector<QString>{"A && B", "C"}));
    EXPECT_EQ(ViewerTerms("nfo || "), (std::vector<QString>{"NFO"}));
    EXPECT_EQ(ViewerTerms("hello  world"), (std::vector<QString>{"HELLO  WORLD"}));
}

TEST(ViewerContentTest, EveryOccurrenceIsMarkedInOrderHeadersAndOverlapsIncluded) {
    const qsizetype body = QString("FileName - A\n============\n").size();
    ViewerContent c = BuildViewerContent({{"a", "xABCabc"}}, "abc");
    EXPECT_EQ(c.marks, (std::vector<Mark>{{body + 1, 3}, {body + 4, 3}}));
    EXPECT_EQ(c.caret, body + 1);
    c = BuildViewerContent({{"a", "AAAA"}}, "aa");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{body, body + 1, body + 2}));
    c = BuildViewerContent({{"readme.txt", "see the readme"}}, "readme");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{11, 52}));  // header and text
    // Sorted by place, two terms at one place counted twice.
    const QString text = QString(9, 'x') + "ab" + QString(13, 'x') + "cd" + QString(13, 'x') + "ab";
    c = BuildViewerContent({{"a", text}}, "ab || cd");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{body + 9, body + 24, body + 39}));
    c = BuildViewerContent({{"a", "abc"}}, "ab || abc");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{body, body}));
}

}  // namespace
}  // namespace quillery
