#include <gtest/gtest.h>

#include <QLocale>
#include <filesystem>

#include "results/RunLog.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery {
namespace {

namespace fs = std::filesystem;
using test::Golden;

const QDateTime kNow(QDate(2024, 3, 9), QTime(13, 5, 59));
const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);

RunLogInput SearchRun() {
    RunLogInput input;
    input.filesChecked = 12;
    input.filesFound = 2;
    input.startFolder = QStringLiteral("/srv/My Archives");
    input.searchString = QStringLiteral("Razor 1911");
    input.patternText = QStringLiteral("*.nfo *.diz ");
    input.rows = {
        {QStringLiteral("/srv/My Archives/a.zip/"), QStringLiteral("README.NFO")},
        {QStringLiteral("/srv/My Archives/b c.zip/docs/"), QStringLiteral("file_id.diz")}};
    return input;
}

TEST(RunLogFormatTest, WholeEntriesMatchTheirGoldenFiles) {
    const std::string rows =
        "/srv/My Archives/a.zip/README.NFO\r\n/srv/My Archives/b c.zip/docs/file_id.diz\r\n";
    struct Case {
        const char* name;
        std::function<void(RunLogInput&)> change;
        QDateTime when;
        const char* golden;
        std::vector<std::pair<std::string, std::string>> values;
    };
    const auto none = [](RunLogInput&) {};
    const auto empty = [](RunLogInput& in) {
        in.filesChecked = 3000000000;
        in.filesFound = 0;
        in.searchString.clear();
        in.rows.clear();
    };
    const auto audit = [](RunLogInput& in) {
        in.auditMode = in.useAudit = true;
        in.commandLine = QStringLiteral("/AUTO /srv");
    };
    const auto noAudit = [](RunLogInput& in) { in.auditMode = true; };
    const QDateTime morning(QDate(2025, 12, 31), QTime(0, 7));
    // clang-format off
    const std::vector<Case> cases = {
        {"search with header", none, kNow, "search-entry.log",
         {{"DATE", "Saturday, 9 March 2024"}, {"TIME", "13:05"}, {"CHECKED", "12"},
          {"SEARCH", "Razor 1911"}, {"FOUND", "2"}, {"ROWS", rows}}},
        {"no matches, counts beyond 32 bits", empty, morning, "search-entry.log",
         {{"DATE", "Wednesday, 31 December 2025"}, {"TIME", "00:07"}, {"CHECKED", "3000000000"},
          {"SEARCH", ""}, {"FOUND", "0"}, {"ROWS", ""}}},
        {"audit from the command line", audit, QDateTime(), "audit-entry.log",
         {{"AUDITLINE", "Ran with Command Line \"/AUTO /srv\"\r\nUsing Audit File"},
          {"CHECKED", "12"}, {"FOUND", "2"}, {"ROWS", rows}}},
        {"audit file missing", noAudit, QDateTime(), "audit-entry.log",
         {{"AUDITLINE", "Audit chosen, but COULDN'T load \"Audit.TXT\""}, {"CHECKED", "12"},
          {"FOUND", "2"}, {"ROWS", rows}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunLogInput input = SearchRun();
        c.change(input);
        const RunLogEntry entry = FormatRunLog(input, c.when.isValid(), c.when, kBritish);
        EXPECT_EQ(entry.fileText.toStdString(), Golden(c.golden, c.values));
        EXPECT_EQ(entry.fileText, "\r\n" + entry.runLines + "\r\n" + entry.resultLines);
    }
}

// Each test writes its log into a working folder of its own, in British English.
class RunLogWriterTest : public ::testing::Test {
  protected:
    void SetUp() override { QLocale::setDefault(kBritish); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    std::string LogBytes() const { return test::ReadFileBytes(folder / "Quillery 0.67 .Log"); }

    test::WorkingFolder folder;
};

TEST_F(RunLogWriterTest, EntriesOfOneRunAreAppendedWithTheHeaderOnlyOnce) {
    test::WriteFileBytes("Quillery 0.67 .Log", "earlier run\r\n");
    RunLogInput input = SearchRun();
    input.filesChecked = 5;
    input.filesFound = 1;
    input.startFolder = QStringLiteral("/srv/zips");
    input.searchString = QStringLiteral("Café");
    input.patternText = QStringLiteral("*.nfo ");
    input.rows = {{QStringLiteral("/srv/zips/été.zip/"), QStringLiteral("info.nfo")}};
    RunLogWriter writer;
    const RunLogEntry firstEntry = FormatRunLog(input, true, kNow);
    const RunLogWriter::Outcome first = writer.write(input, QStringLiteral("old\r\n"), kNow);
    input.filesChecked = 7;
    input.filesFound = 0;
    input.rows.clear();
    const RunLogEntry nextEntry = FormatRunLog(input, false, kNow);
    const RunLogWriter::Outcome next = writer.write(input, first.boxText, kNow.addSecs(3600));
    EXPECT_FALSE(first.failed || next.failed);
    EXPECT_EQ(LogBytes(),
              Golden("two-runs.log", {{"DATE", "Saturday, 9 March 2024"}, {"TIME", "13:05"}}));
    EXPECT_EQ(first.boxText, "old\r\n" + firstEntry.runLines + firstEntry.resultLines);
    EXPECT_EQ(next.boxText, first.boxText + nextEntry.runLines + nextEntry.resultLines);
}

TEST_F(RunLogWriterTest, FailuresAreReportedAndTheBoxKeepsItsText) {
    RunLogInput input = SearchRun();
    input.filesChecked = 0;  // no archive examined: nothing logged
    RunLogWriter writer;
    RunLogWriter::Outcome outcome = writer.write(input, QStringLiteral("kept"), kNow);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
    EXPECT_FALSE(fs::exists(folder / "Quillery 0.67 .Log"));

    fs::create_directory(folder / "Quillery 0.67 .Log");  // cannot be opened
    outcome = writer.write(SearchRun(), QStringLiteral("kept"), kNow);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
    EXPECT_FALSE(writer.headerWritten());
    fs::remove(folder / "Quillery 0.67 .Log");

    if (fs::exists("/dev/full")) {  // opened, but the write fails
        fs::create_symlink("/dev/full", folder / "Quillery 0.67 .Log");
        outcome = writer.write(SearchRun(), QStringLiteral("kept"), kNow);
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(outcome.boxText, QStringLiteral("kept"));
        EXPECT_TRUE(writer.headerWritten());
    }
}

TEST_F(RunLogWriterTest, TheBoxDropsItsOldestLinesAndTheFileGetsEveryRow) {
    RunLogInput input = SearchRun();
    const RunLogEntry entry = FormatRunLog(input, true, kNow);
    constexpr qsizetype kLimit = 1 << 20;
    const qsizetype room = kLimit - entry.runLines.size() - entry.resultLines.size();
    const QString fits(room, QLatin1Char('x'));
    EXPECT_EQ(RunLogWriter().write(input, fits, kNow).boxText,
              fits + entry.runLines + entry.resultLines);
    // Seven characters too many: the whole first line goes, not just seven characters.
    EXPECT_EQ(RunLogWriter().write(input, "oldest\r\n" + fits.mid(1), kNow).boxText,
              fits.mid(1) + entry.runLines + entry.resultLines);

    constexpr int kRows = 70000;
    input.rows.clear();
    for (int i = 0; i < kRows; ++i) {
        input.rows.push_back({QStringLiteral("/z/big.zip/"), QStringLiteral("%1.nfo").arg(i)});
    }
    fs::remove(folder / "Quillery 0.67 .Log");
    // Longer than the box holds: it shows the entry's beginning, up to a whole line.
    const QString box = RunLogWriter().write(input, QStringLiteral("kept"), kNow).boxText;
    EXPECT_TRUE(box.startsWith(QStringLiteral("Log created By"))) << box.left(40).toStdString();
    EXPECT_TRUE(box.endsWith(QStringLiteral(".nfo\r\n")));
    EXPECT_LE(box.size(), kLimit);
    const std::string log = LogBytes();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 7 + 2 + kRows + 1);
    EXPECT_NE(log.find("\r\n/z/big.zip/0.nfo\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("\r\n/z/big.zip/69999.nfo\r\n\r\n"));
}

}  // namespace
}  // namespace quillery
