#include <gtest/gtest.h>

#include "scan/AuditFile.h"
#include "scan/Formats.h"

namespace quillery {
namespace {

TEST(FormatsTest, CountersAndSizes) {
    EXPECT_EQ(FormatCounter(0), "     0");
    EXPECT_EQ(FormatCounter(999999), "999999");
    EXPECT_EQ(FormatCounter(1234567), "1234567");  // wider, never cut
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatSizeKB(0, english), "1");
    EXPECT_EQ(FormatSizeKB(999, english), "1");
    EXPECT_EQ(FormatSizeKB(1000, english), "2");
    EXPECT_EQ(FormatSizeKB(1500000, english), "1,501");
    EXPECT_EQ(FormatSizeKB(5ULL << 30, english), "5,368,710");  // beyond 32 bits
    EXPECT_EQ(FormatSizeKB(1500000, QLocale::c()), "1,501");
    EXPECT_EQ(FormatSizeKB(1500000, QLocale(QLocale::German)), "1.501");
    EXPECT_EQ(ParseSizeKB("1,024", english), 1024);
    EXPECT_EQ(ParseSizeKB("5,368,710", english), 5368710);
    EXPECT_EQ(ParseSizeKB("", english), 0);
}

TEST(AuditFileTest, LinesAreTrimmedOfBlanksOnly) {
    EXPECT_EQ(ParseAuditStrings("  viewer \r\n\r\nreadme\t\r\n"),
              (QStringList{"viewer", "", "readme\t"}));
    EXPECT_EQ(ParseAuditStrings("a\nb"), (QStringList{"a", "b"}));
    EXPECT_EQ(ParseAuditStrings(""), QStringList{});
    EXPECT_EQ(ParseAuditStrings("\r\n"), QStringList{""});
    EXPECT_EQ(ParseAuditStrings("caf\xE9\r\n"), QStringList{QStringLiteral("café")});
    EXPECT_EQ(ParseAuditStrings("caf\xC3\xA9"), QStringList{QStringLiteral("café")});
    QByteArray many;
    for (int i = 0; i < 40000; ++i) {
        many += "line " + QByteArray::number(i) + "\r\n";
    }
    const QStringList lines = ParseAuditStrings(many);
    ASSERT_EQ(lines.size(), 40000);  // no 16-bit line counter
    EXPECT_EQ(lines.back(), "line 39999");
}

}  // namespace
}  // namespace quillery
