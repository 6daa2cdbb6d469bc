#include <gtest/gtest.h>

#include <filesystem>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "support/ZipMaker.h"

namespace quillery {

namespace {

namespace fs = std::filesystem;

TEST(PatternTextTest, EachPatternGetsOneBlankAfterItAndTextWithoutOneHasNoStoredForm) {
    QString many, manyStored;
    for (int i = 0; i < 300; ++i) {
        many += QStringLiteral("*.e%1").arg(i) + (i % 2 == 0 ? QStringLiteral("  ") : QString());
        manyStored += QStringLiteral("*.e%1 ").arg(i);
    }
    const std::vector<std::pair<QString, std::optional<QString>>> cases = {
        {"", "*.diz *.nfo"},
        {"*.nfo *.diz *.txt", "*.nfo *.diz *.txt "},
        {"*.nfo*.diz", "*.nfo *.diz "},
        {"  *.nfo   *.diz  ", "*.nfo *.diz "},
        {"readme *.txt", "*.txt "},
        {"*.*.txt", "*. *.txt "},
        {"*.txt,*.doc", "*.txt, *.doc "},
        {"*.\ttxt\t *.doc", "*.\ttxt\t *.doc "},
        {many, manyStored},
        {manyStored, manyStored},
    };
    for (const auto& [text, stored] : cases) {
        EXPECT_EQ(NormalisePatternText(text), stored) << text.toStdString();
    }
    for (const QString text : {"readme", " ", "*nfo", "* .nfo", ".nfo", "*,nfo", "*\\.nfo"}) {
        EXPECT_EQ(NormalisePatternText(text), std::nullopt) << text.toStdString();
    }
}

// Every test starts as on a machine where the program never ran: no settings folder.
class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::remove_all(Folder()); }
    void TearDown() override { fs::remove_all(Folder()); }

    static fs::path Folder() {
        return fs::path(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString()) / "Velmora";
    }
    static fs::path File() { return Folder() / "Quillery .conf"; }
    static void WriteFile(const std::string& content) {
        fs::create_directories(Folder());
        test::WriteFileBytes(File(), content);
    }
    static SettingsValues SomeValues() {
        SettingsValues values;
        values.searchString = QStringLiteral("ACiD");
        values.searchPath = QStringLiteral("/srv/archives");
        values.fileExtensions = QStringLiteral("*.nfo *.diz ");
        values.subFolders = 1;
        return values;
    }
};

TEST_F(SettingsStoreTest, EveryValueComesBackAsSavedFromTheUsersConfigFolder) {
    EXPECT_EQ(LoadSettings(), SettingsValues{});
    EXPECT_FALSE(fs::exists(Folder()));  // reading creates nothing

    std::vector<SettingsValues> cases(4);
    cases[0] = SomeValues();
    cases[1].searchString = QStringLiteral("  two blanks each side  ");
    cases[1].searchPath = QStringLiteral("/home/me/My Archives/old ones");
    cases[1].fileExtensions = QStringLiteral("*.txt ");
    cases[1].audit = cases[1].showSize = 1;
    cases[1].expressions = 1;
    cases[2].searchString = QStringLiteral("Grüße, 日本語 \U0001F600 «»");
    cases[2].searchPath = QStringLiteral("C:\\Files\\Zips\\");
    cases[2].fileExtensions = QStringLiteral("*.zip *.nfo ");
    cases[2].internalView = cases[2].wholeWords = 1;
    cases[3].searchString = QStringLiteral("a=b; #c \\d \"e\" @f ,g\tend");
    cases[3].searchPath = QStringLiteral("@Variant(x) [General] %20");
    cases[3].fileExtensions = QStringLiteral("*.a;b *.c=d *.#e ");
    cases[3].audit = cases[3].internalView = cases[3].subFolders = cases[3].showSize = 1;
    cases[3].allArchives = cases[3].expressions = cases[3].matchCase = cases[3].wholeWords = 1;
    for (const SettingsValues& values : cases) {
        ASSERT_TRUE(SaveSettings(values));
        EXPECT_EQ(LoadSettings(), values) << values.searchString.toStdString();
    }
}

TEST_F(SettingsStoreTest, WithoutPatternsNothingIsStored) {
    ASSERT_TRUE(SaveSettings(SomeValues()));
    const std::string before = test::ReadFileBytes(File());
    SettingsValues values = SomeValues();
    values.searchString = QStringLiteral("other");
    values.fileExtensions = QStringLiteral("readme");
    EXPECT_FALSE(SaveSettings(values));
    EXPECT_EQ(test::ReadFileBytes(File()), before);
}

TEST_F(SettingsStoreTest, ValuesFromElsewhereAreReadAsFarAsTheyMakeSense) {
    WriteFile(
        "[General]\nSearch%20String=a, b\nSearch%20Path=/data\nFile%20Extensions=42\n"
        "Audit=2\nIntView=yes\nSubFolder=-1\nShowSize=1.0\n");
    SettingsValues expected;
    expected.searchPath = QStringLiteral("/data");
    expected.fileExtensions = QStringLiteral("42");
    expected.audit = expected.subFolders = 1;
    EXPECT_EQ(LoadSettings(), expected);

    WriteFile("[General]\nAudit=0\nIntView=99999999999\nSubFolder=\nShowSize=\" 1 \"\n");
    expected = {};
    expected.internalView = expected.showSize = 1;
    EXPECT_EQ(LoadSettings(), expected);

    fs::remove_all(Folder());
    fs::create_directories(File());  // a folder where the file belongs
    EXPECT_NE(WriteValue(DefaultSettingsKey(), QStringLiteral("Search String"), QStringLiteral("x"),
                         kTextValue),
              0);
}

}  // namespace
}  // namespace quillery
