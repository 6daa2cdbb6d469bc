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
    EXPECT_EQ(c.text, "FileName - FILE_ID.DIZ\n" + QString(22, '=') +
                          "\nHello\n\n"
                          "FileName - BLANK.TXT\n" +
                          QString(20, '=') +
                          "\n"
                          "FileName - BREAKS.TXT\n" +
                          QString(21, '=') +
                          "\n\n\n\n\n"
                          "FileName - UNREADABLE.NFO\n" +
                          QString(25, '=') +
                          "\n"
                          "FileName - R.TXT\n" +
                          QString(16, '=') + "\nHello\nWorld\n\n");
    EXPECT_TRUE(c.marks.empty());
    EXPECT_TRUE(c.matchPositions.empty());
    EXPECT_EQ(c.caret, 0);
}

TEST(ViewerContentTest, TermsSplitAtOrFirstThenAnd) {
    EXPECT_EQ(ViewerTerms("  foo  &&  bar  "), (std::vector<QString>{"FOO", "BAR"}));
    EXPECT_EQ(ViewerTerms("a && b || c"), (std::vector<QString>{"A && B", "C"}));
    EXPECT_EQ(ViewerTerms("nfo || "), (std::vector<QString>{"NFO"}));  // empty terms dropped
    EXPECT_EQ(ViewerTerms("   "), (std::vector<QString>{}));
    EXPECT_EQ(ViewerTerms("hello  world"), (std::vector<QString>{"HELLO  WORLD"}));
}

TEST(ViewerContentTest, EveryOccurrenceIsMarkedHeadersAndOverlapsIncluded) {
    ViewerContent c = BuildViewerContent({{"a", "xABCabc"}}, "abc");
    const qsizetype body = QString("FileName - A\n============\n").size();
    EXPECT_EQ(c.marks, (std::vector<Mark>{{body + 1, 3}, {body + 4, 3}}));

    c = BuildViewerContent({{"a", "AAAA"}}, "aa");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{body, body + 1, body + 2}));

    // A term in a file name is marked in its header; "name" is found in every header.
    c = BuildViewerContent({{"readme.txt", "see the readme"}, {"b", "x"}}, "name");
    EXPECT_EQ(c.matchPositions.size(), 2u);
    EXPECT_EQ(c.matchPositions[0], 4);
    c = BuildViewerContent({{"readme.txt", "see the readme"}}, "readme");
    EXPECT_EQ(c.matchPositions.front(), 11);  // "FileName - README.TXT"
    EXPECT_EQ(c.caret, 11);

    // foo || bar where only FOO occurs; the caret on the first of them.
    c = BuildViewerContent({{"x", "one foo, two FOO"}}, "foo || bar");
    ASSERT_EQ(c.marks.size(), 2u);
    EXPECT_EQ(c.caret, c.marks[0].start);
}

TEST(ViewerContentTest, PositionsAreSortedWithDuplicatesKept) {
    // First term at 9 and 39, second at 24: positions 9, 24, 39, the caret at 9.
    const QString text = QString(9, 'x') + "ab" + QString(13, 'x') + "cd" + QString(13, 'x') + "ab";
    const qsizetype header = QString("FileName - T\n============\n").size();
    ViewerContent c = BuildViewerContent({{"t", text}}, "ab || cd");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{header + 9, header + 24, header + 39}));
    EXPECT_EQ(c.caret, header + 9);
    // Two terms starting at the same place give two entries.
    c = BuildViewerContent({{"t", "abc"}}, "ab || abc");
    EXPECT_EQ(c.matchPositions, (std::vector<qsizetype>{header, header}));
}

TEST(ViewerContentTest, LineBreaksAreTheBoxsOwn) {
    EXPECT_EQ(BoxLineBreaks("a\r\nb\rc\nd\u2029e\uFDD0"), "a\nb\nc\nd\ne\uFFFD");
}

}  // namespace
}  // namespace quillery
