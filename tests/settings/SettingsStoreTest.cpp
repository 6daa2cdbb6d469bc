#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <filesystem>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace quillery {

static void PrintTo(const SettingsValues& v, std::ostream* os) {
    *os << '{' << v.searchString.toStdString() << '|' << v.searchPath.toStdString() << '|'
        << v.fileExtensions.toStdString() << '|' << v.audit << v.internalView << v.subFolders
        << v.showSize << '}';
}

namespace {

namespace fs = std::filesystem;

// Every test starts as on a machine where the program never ran: no settings folder.
class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::remove_all(OrganisationFolder()); }
    void TearDown() override { fs::remove_all(OrganisationFolder()); }

    static fs::path OrganisationFolder() {
        return fs::path(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString()) / "Velmora";
    }
    static fs::path SettingsFile() { return OrganisationFolder() / "Quillery .conf"; }

    // Writes the settings file as another program (or a hand edit) might have left it.
    static void WriteSettingsFile(const QByteArray& content) {
        fs::create_directories(OrganisationFolder());
        QFile file(QString::fromStdString(SettingsFile().string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    static QByteArray SettingsFileBytes() {
        QFile file(QString::fromStdString(SettingsFile().string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

TEST_F(SettingsStoreTest, FirstStartFindsEverythingEmpty) {
    EXPECT_EQ(LoadSettings(), SettingsValues{});
    EXPECT_EQ(ReadValue(DefaultSettingsKey(), QStringLiteral("Search String")),
              StoredValue{std::monostate{}});

    QSettings open(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmora"),
                   QStringLiteral("Quillery "));
    StoredValue value = QStringLiteral("untouched");
    EXPECT_NE(ReadOpenValue(open, QStringLiteral("Audit"), value), 0);
    EXPECT_EQ(value, StoredValue{QStringLiteral("untouched")});
    EXPECT_FALSE(fs::exists(OrganisationFolder()));
}

TEST_F(SettingsStoreTest, SavedValuesLandInTheUsersConfigFolder) {
    EXPECT_EQ(DefaultSettingsKey().organisation, QStringLiteral("Velmora"));
    EXPECT_EQ(DefaultSettingsKey().application, QStringLiteral("Quillery "));
    ASSERT_TRUE(SaveSettings(SomeValues()));

    ASSERT_TRUE(fs::is_regular_file(SettingsFile()));
    QSettings file(QString::fromStdString(SettingsFile().string()), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Version")), QVariant(QStringLiteral("0.67 ")));
    EXPECT_EQ(file.value(QStringLiteral("Search Path")), QVariant(QStringLiteral("/srv/archives")));
    EXPECT_EQ(file.value(QStringLiteral("SubFolder")).toInt(), 1);
    EXPECT_EQ(ReadValue(DefaultSettingsKey(), QStringLiteral("Version")),
              StoredValue{QStringLiteral("0.67 ")});
}

TEST_F(SettingsStoreTest, EveryValueComesBackAsSaved) {
    std::vector<SettingsValues> cases(4);
    cases[0] = SomeValues();
    cases[1].searchString = QStringLiteral("  two blanks each side  ");
    cases[1].searchPath = QStringLiteral("/home/me/My Archives/old ones");
    cases[1].fileExtensions = QStringLiteral("*.txt ");
    cases[1].audit = 1;
    cases[1].showSize = 1;
    cases[2].searchString = QStringLiteral("Grüße, 日本語 \U0001F600 «»");
    cases[2].searchPath = QStringLiteral("C:\\Files\\Zips\\");
    cases[2].fileExtensions = QStringLiteral("*.zip *.nfo ");
    cases[2].internalView = 1;
    cases[3].searchString = QStringLiteral("a=b; #c \\d \"e\" @f ,g\tend");
    cases[3].searchPath = QStringLiteral("@Variant(x) [General] %20");
    cases[3].fileExtensions = QStringLiteral("*.a;b *.c=d *.#e ");
    cases[3].audit = cases[3].internalView = cases[3].subFolders = cases[3].showSize = 1;

    for (const SettingsValues& values : cases) {
        ASSERT_TRUE(SaveSettings(values));
        EXPECT_EQ(LoadSettings(), values) << values.searchString.toStdString();
    }
}

TEST_F(SettingsStoreTest, PatternTextIsStoredInItsNormalForm) {
    SettingsValues values = SomeValues();
    values.fileExtensions.clear();
    ASSERT_TRUE(SaveSettings(values));
    EXPECT_EQ(LoadSettings().fileExtensions, QStringLiteral("*.diz *.nfo"));

    values.fileExtensions = QStringLiteral("readme *.nfo*.diz");
    ASSERT_TRUE(SaveSettings(values));
    EXPECT_EQ(LoadSettings().fileExtensions, QStringLiteral("*.nfo *.diz "));
}

TEST_F(SettingsStoreTest, PatternTextWithoutPatternsLeavesTheStoreAlone) {
    ASSERT_TRUE(SaveSettings(SomeValues()));
    const QByteArray before = SettingsFileBytes();

    SettingsValues changed;
    changed.searchString = QStringLiteral("other");
    changed.fileExtensions = QStringLiteral("readme");
    EXPECT_FALSE(SaveSettings(changed));
    EXPECT_EQ(SettingsFileBytes(), before);
    EXPECT_EQ(LoadSettings(), SomeValues());
}

TEST_F(SettingsStoreTest, SaveRemovesValuesItDoesNotWrite) {
    WriteSettingsFile("[General]\nLast%20Window=100\nSearch%20String=left over\n[Other]\nx=1\n");
    ASSERT_EQ(WriteValue(DefaultSettingsKey(), QStringLiteral("Stray"),
                         QStringLiteral("from another tool"), kTextValue),
              0);
    ASSERT_EQ(ReadValue(DefaultSettingsKey(), QStringLiteral("Stray")),
              StoredValue{QStringLiteral("from another tool")});

    ASSERT_TRUE(SaveSettings(SomeValues()));
    QSettings file(QString::fromStdString(SettingsFile().string()), QSettings::IniFormat);
    EXPECT_EQ(file.allKeys().size(), 9) << file.allKeys().join(',').toStdString();
    for (const char* gone : {"Stray", "Last Window", "Other/x"}) {
        EXPECT_FALSE(file.contains(QString::fromLatin1(gone))) << gone;
        EXPECT_EQ(ReadValue(DefaultSettingsKey(), QString::fromLatin1(gone)),
                  StoredValue{std::monostate{}});
    }
}

TEST_F(SettingsStoreTest, ValuesFromElsewhereAreReadAsFarAsTheyMakeSense) {
    WriteSettingsFile(
        "[General]\n"
        "Search%20String=a, b\n"  // unquoted comma: a list, not a text
        "Search%20Path=/data\n"
        "File%20Extensions=42\n"
        "Audit=2\n"
        "IntView=yes\n"
        "SubFolder=-1\n"
        "ShowSize=1.0\n");
    SettingsValues expected;
    expected.searchPath = QStringLiteral("/data");
    expected.fileExtensions = QStringLiteral("42");
    expected.audit = 1;
    expected.subFolders = 1;
    EXPECT_EQ(LoadSettings(), expected);

    WriteSettingsFile("[General]\nAudit=0\nIntView=99999999999\nSubFolder=\nShowSize=\" 1 \"\n");
    expected = {};
    expected.internalView = 1;
    expected.showSize = 1;
    EXPECT_EQ(LoadSettings(), expected);
}

TEST_F(SettingsStoreTest, PrimitivesWriteTextsAndNumbersOnly) {
    const SettingsKey key = DefaultSettingsKey();
    EXPECT_EQ(WriteValue(key, QStringLiteral("Text"), std::int32_t{7}, kTextValue), 0);
    EXPECT_EQ(WriteValue(key, QStringLiteral("Number"), QStringLiteral("12"), kNumberValue), 0);
    EXPECT_EQ(WriteValue(key, QStringLiteral("NotANumber"), QStringLiteral("x"), kNumberValue), 0);
    EXPECT_EQ(WriteValue(key, QStringLiteral("Binary"), QStringLiteral("x"), 3), 0);

    // Numbers come back as numbers or, from a file read afresh, as the text of one.
    const auto spelt = [&](const char* name) {
        const StoredValue value = ReadValue(key, QString::fromLatin1(name));
        if (const auto* number = std::get_if<std::int32_t>(&value)) {
            return QString::number(*number);
        }
        return std::get<QString>(value);
    };
    EXPECT_EQ(ReadValue(key, QStringLiteral("Text")), StoredValue{QStringLiteral("7")});
    EXPECT_EQ(spelt("Number"), QStringLiteral("12"));
    EXPECT_EQ(spelt("NotANumber"), QStringLiteral("0"));
    EXPECT_EQ(ReadValue(key, QStringLiteral("Binary")), StoredValue{std::monostate{}});

    // A list is neither a text nor a number.
    WriteSettingsFile("[General]\nList=a, b\n");
    QSettings open(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                   key.application);
    StoredValue value = std::int32_t{5};
    EXPECT_EQ(ReadOpenValue(open, QStringLiteral("List"), value), -1);
    EXPECT_EQ(value, StoredValue{std::int32_t{5}});
}

TEST_F(SettingsStoreTest, CreateKeyMakesAnEmptyKeyAndDeleteKeyEmptiesIt) {
    const SettingsKey key = DefaultSettingsKey();
    CreateKey(key);
    EXPECT_TRUE(fs::is_regular_file(SettingsFile()));
    EXPECT_EQ(LoadSettings(), SettingsValues{});

    ASSERT_TRUE(SaveSettings(SomeValues()));
    DeleteKey(key);
    EXPECT_EQ(LoadSettings(), SettingsValues{});
    EXPECT_EQ(ReadValue(key, QStringLiteral("Version")), StoredValue{std::monostate{}});
}

TEST_F(SettingsStoreTest, WriteReportsAStoreThatCannotBeWritten) {
    fs::create_directories(SettingsFile());  // a folder where the file belongs
    EXPECT_NE(WriteValue(DefaultSettingsKey(), QStringLiteral("Search String"), QStringLiteral("x"),
                         kTextValue),
              0);
}

}  // namespace
}  // namespace quillery
