#include <gtest/gtest.h>

#include "settings/Settings.h"

namespace quillery {
namespace {

TEST(PatternTextTest, EachPatternGetsOneBlankAfterIt) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"", "*.diz *.nfo"},
        {"*.nfo *.diz *.txt", "*.nfo *.diz *.txt "},
        {"*.nfo*.diz", "*.nfo *.diz "},
        {"  *.nfo   *.diz  ", "*.nfo *.diz "},
        {"*.nfo *.diz ", "*.nfo *.diz "},
        {"readme *.txt", "*.txt "},
        {"*.", "*. "},
        {"*.*", "*.* "},
        {"*.*.txt", "*. *.txt "},
        {"*.txt,*.doc", "*.txt, *.doc "},
        {"*.\ttxt\t *.doc", "*.\ttxt\t *.doc "},
        {"*.Nfo *.NFO", "*.Nfo *.NFO "},
    };
    for (const auto& [text, stored] : cases) {
        EXPECT_EQ(NormalisePatternText(text), std::optional<QString>(stored)) << text.toStdString();
    }
}

TEST(PatternTextTest, TextWithoutPatternStartHasNoStoredForm) {
    for (const QString text : {"readme", " ", "*nfo", "* .nfo", ".nfo", "*,nfo", "*\\.nfo"}) {
        EXPECT_EQ(NormalisePatternText(text), std::nullopt) << text.toStdString();
    }
}

TEST(PatternTextTest, ManyPatternsAreAllKept) {
    QString text;
    QString stored;
    for (int i = 0; i < 300; ++i) {
        text += QStringLiteral("*.e%1").arg(i) + (i % 2 == 0 ? QStringLiteral("  ") : QString());
        stored += QStringLiteral("*.e%1 ").arg(i);
    }
    EXPECT_EQ(NormalisePatternText(text), std::optional<QString>(stored));
    EXPECT_EQ(NormalisePatternText(stored), std::optional<QString>(stored));
}

}  // namespace
}  // namespace quillery
