#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <filesystem>

#include "results/RunLog.h"
#include "support/TempDir.h"

namespace quillery {
namespace {

namespace fs = std::filesystem;

const QDateTime kNow(QDate(2024, 3, 9), QTime(13, 5));

// Each test writes its log into a folder of its own, made the working folder, with British
// English as the default locale.
class RunLogWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = fs::current_path();
        fs::current_path(folder_.path());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    void TearDown() override {
        QLocale::setDefault(previousLocale_);
        fs::current_path(previousFolder_);
    }

    fs::path logPath() const { return folder_ / "Quillery 0.67 .Log"; }

    QByteArray logBytes() const {
        QFile file(QString::fromStdString(logPath().string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static RunLogInput SearchRun() {
        RunLogInput input;
        input.filesChecked = 5;
        input.filesFound = 1;
        input.startFolder = QStringLiteral("/srv/zips");
        input.searchString = QStringLiteral("Café");
        input.patternText = QStringLiteral("*.nfo ");
        input.rows = {{QStringLiteral("/srv/zips/été.zip/"), QStringLiteral("info.nfo")}};
        return input;
    }

  private:
    test::TempDir folder_;
    fs::path previousFolder_;
    QLocale previousLocale_;
};

TEST_F(RunLogWriterTest, LogFileNameIsBareWithABlankBeforeTheDot) {
    EXPECT_EQ(LogFileName(), QStringLiteral("Quillery 0.67 .Log"));
}

TEST_F(RunLogWriterTest, EntriesOfOneRunAreAppendedWithTheHeaderOnlyOnce) {
    {
        QFile earlier(QStringLiteral("Quillery 0.67 .Log"));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier run\r\n");
    }
    RunLogWriter writer;
    const RunLogWriter::Outcome first = writer.write(SearchRun(), QStringLiteral("old\r\n"), kNow);
    EXPECT_FALSE(first.failed);
    EXPECT_TRUE(writer.headerWritten());

    RunLogInput second = SearchRun();
    second.filesChecked = 7;
    second.filesFound = 0;
    second.rows.clear();
    const RunLogWriter::Outcome next = writer.write(second, first.boxText, kNow.addSecs(3600));
    EXPECT_FALSE(next.failed);

    const QString firstRun = QStringLiteral(
        "Log created By Quillery Version 0.67  On Saturday, 9 March 2024, At 13:05\r\n"
        "Quillery is made by Velmora. Suggestions are welcome at quillery@velmora.example\r\n"
        "\r\n"
        "Starting Folder \"/srv/zips\"\r\n"
        "Using File Extensions \"*.nfo \"\r\n"
        "Number of files scanned 5\r\n"
        "Number of files that matched \"Café\" was 1\r\n"
        "\r\n");
    const QString secondRun = QStringLiteral(
        "Starting Folder \"/srv/zips\"\r\n"
        "Using File Extensions \"*.nfo \"\r\n"
        "Number of files scanned 7\r\n"
        "Number of files that matched \"Café\" was 0\r\n"
        "\r\n");
    EXPECT_EQ(first.boxText, "old\r\n" + firstRun + "/srv/zips/été.zip/info.nfo\r\n\r\n");
    EXPECT_EQ(next.boxText, first.boxText + secondRun + "\r\n");

    const QString file =
        "earlier run\r\n"
        "\r\n" +
        firstRun +
        "\r\n"
        "/srv/zips/été.zip/info.nfo\r\n"
        "\r\n"
        "\r\n" +
        secondRun +
        "\r\n"
        "\r\n";
    EXPECT_EQ(logBytes(), file.toUtf8());
}

TEST_F(RunLogWriterTest, NothingIsLoggedWhenNoArchiveWasExamined) {
    RunLogInput input = SearchRun();
    input.filesChecked = 0;
    RunLogWriter writer;
    const RunLogWriter::Outcome outcome = writer.write(input, QStringLiteral("kept"), kNow);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
    EXPECT_FALSE(writer.headerWritten());
    EXPECT_FALSE(fs::exists(logPath()));
}

TEST_F(RunLogWriterTest, LogThatCannotBeOpenedIsReported) {
    RunLogWriter writer;
    fs::create_directory(logPath());
    RunLogWriter::Outcome outcome = writer.write(SearchRun(), QStringLiteral("kept"), kNow);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
    EXPECT_FALSE(writer.headerWritten());
    fs::remove(logPath());

    {
        QFile file(QString::fromStdString(logPath().string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier run\r\n");
    }
    fs::permissions(logPath(), fs::perms::owner_read | fs::perms::group_read);
    if (QFile(QString::fromStdString(logPath().string())).open(QIODevice::Append)) {
        GTEST_SKIP() << "file permissions are not enforced for this user";
    }
    outcome = writer.write(SearchRun(), QStringLiteral("kept"), kNow);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
    EXPECT_FALSE(writer.headerWritten());
    EXPECT_EQ(logBytes(), QByteArray("earlier run\r\n"));
}

TEST_F(RunLogWriterTest, FailedWriteIsReportedAndTheHeaderCountsAsWritten) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no device that refuses writes";
    }
    fs::create_symlink("/dev/full", logPath());
    RunLogWriter writer;
    const RunLogWriter::Outcome outcome = writer.write(SearchRun(), QStringLiteral("kept"), kNow);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
    EXPECT_TRUE(writer.headerWritten());

    fs::remove(logPath());
    EXPECT_FALSE(writer.write(SearchRun(), {}, kNow).failed);
    EXPECT_FALSE(logBytes().contains("Log created By"));
}

TEST_F(RunLogWriterTest, BoxDropsItsOldestLinesToShowTheNewEntryWhole) {
    RunLogInput input = SearchRun();
    const RunLogEntry entry = FormatRunLog(input, true, kNow);
    constexpr qsizetype kLimit = 1 << 20;
    const qsizetype room = kLimit - entry.runLines.size() - entry.resultLines.size();

    const QString fits(room, QLatin1Char('x'));
    RunLogWriter writer;
    const RunLogWriter::Outcome full = writer.write(input, fits, kNow);
    EXPECT_FALSE(full.failed);
    EXPECT_EQ(full.boxText, fits + entry.runLines + entry.resultLines);
    EXPECT_EQ(full.boxText.size(), kLimit);

    // Seven characters too many: the whole first line goes, not just seven characters.
    const QString tooLong = QStringLiteral("oldest\r\n") + fits.mid(1);
    RunLogWriter another;
    const RunLogWriter::Outcome trimmed = another.write(input, tooLong, kNow);
    EXPECT_FALSE(trimmed.failed);
    EXPECT_EQ(trimmed.boxText, fits.mid(1) + entry.runLines + entry.resultLines);

    // The file gets both entries whole, whatever became of the box.
    EXPECT_EQ(logBytes(), (entry.fileText + entry.fileText).toUtf8());
}

TEST_F(RunLogWriterTest, EveryRowIsWrittenHoweverMany) {
    RunLogInput input = SearchRun();
    constexpr int kRows = 40000;
    input.filesFound = kRows;
    input.rows.clear();
    for (int i = 0; i < kRows; ++i) {
        input.rows.push_back(
            {QStringLiteral("/srv/zips/big.zip/"), QStringLiteral("%1.nfo").arg(i)});
    }
    RunLogWriter writer;
    const RunLogWriter::Outcome outcome = writer.write(input, QStringLiteral("kept"), kNow);
    EXPECT_FALSE(outcome.failed);
    // Longer than the box holds: it shows the entry's beginning, up to a whole line.
    EXPECT_TRUE(outcome.boxText.startsWith(QStringLiteral("Log created By")));
    EXPECT_TRUE(outcome.boxText.endsWith(QStringLiteral(".nfo\r\n")));
    EXPECT_LE(outcome.boxText.size(), 1 << 20);

    const QList<QByteArray> lines = logBytes().split('\n');
    // The empty line, 7 run lines, 2 empty lines, the rows, the empty line; and after the
    // last line end, nothing.
    ASSERT_EQ(lines.size(), 1 + 7 + 2 + kRows + 1 + 1);
    EXPECT_EQ(lines[10], QByteArray("/srv/zips/big.zip/0.nfo\r"));
    EXPECT_EQ(lines[10 + kRows - 1], QByteArray("/srv/zips/big.zip/39999.nfo\r"));
    EXPECT_EQ(lines[10 + kRows], QByteArray("\r"));
    EXPECT_EQ(lines.back(), QByteArray());
}

}  // namespace
}  // namespace quillery
