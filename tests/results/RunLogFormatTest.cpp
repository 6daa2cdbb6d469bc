#include <gtest/gtest.h>

#include <QLocale>

#include "results/RunLog.h"

namespace quillery {
namespace {

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

TEST(RunLogFormatTest, FirstEntryOfARunCarriesTheHeader) {
    const RunLogEntry entry = FormatRunLog(SearchRun(), true, kNow, kBritish);
    const QString run = QStringLiteral(
        "Log created By Quillery Version 0.67  On Saturday, 9 March 2024, At 13:05\r\n"
        "Quillery is made by Velmora. Suggestions are welcome at quillery@velmora.example\r\n"
        "\r\n"
        "Starting Folder \"/srv/My Archives\"\r\n"
        "Using File Extensions \"*.nfo *.diz \"\r\n"
        "Number of files scanned 12\r\n"
        "Number of files that matched \"Razor 1911\" was 2\r\n"
        "\r\n");
    const QString results = QStringLiteral(
        "/srv/My Archives/a.zip/README.NFO\r\n"
        "/srv/My Archives/b c.zip/docs/file_id.diz\r\n"
        "\r\n");
    EXPECT_EQ(entry.runLines, run);
    EXPECT_EQ(entry.resultLines, results);
    EXPECT_EQ(entry.fileText, "\r\n" + run + "\r\n" + results);
}

TEST(RunLogFormatTest, AuditAndCommandLineLines) {
    RunLogInput input = SearchRun();
    input.auditMode = true;
    input.useAudit = true;
    input.commandLine = QStringLiteral("/AUTO /srv");
    input.rows.resize(1);
    EXPECT_EQ(FormatRunLog(input, false, kNow, kBritish).fileText,
              QStringLiteral("\r\n"
                             "Ran with Command Line \"/AUTO /srv\"\r\n"
                             "Using Audit File\r\n"
                             "Starting Folder \"/srv/My Archives\"\r\n"
                             "Using File Extensions \"*.nfo *.diz \"\r\n"
                             "Number of files scanned 12\r\n"
                             "Number of files that matched strings from \"Audit.TXT\" file 2\r\n"
                             "\r\n"
                             "\r\n"
                             "/srv/My Archives/a.zip/README.NFO\r\n"
                             "\r\n"));

    input.useAudit = false;
    input.commandLine.clear();
    EXPECT_EQ(FormatRunLog(input, false, kNow, kBritish).runLines,
              QStringLiteral("Audit chosen, but COULDN'T load \"Audit.TXT\"\r\n"
                             "Starting Folder \"/srv/My Archives\"\r\n"
                             "Using File Extensions \"*.nfo *.diz \"\r\n"
                             "Number of files scanned 12\r\n"
                             "Number of files that matched strings from \"Audit.TXT\" file 2\r\n"
                             "\r\n"));
}

TEST(RunLogFormatTest, RunWithoutMatches) {
    RunLogInput input = SearchRun();
    input.filesChecked = 3000000000;
    input.filesFound = 0;
    input.searchString.clear();
    input.rows.clear();
    const QDateTime morning(QDate(2025, 12, 31), QTime(0, 7));
    const RunLogEntry entry = FormatRunLog(input, true, morning, kBritish);
    EXPECT_EQ(
        entry.fileText,
        QStringLiteral(
            "\r\n"
            "Log created By Quillery Version 0.67  On Wednesday, 31 December 2025, At 00:07\r\n"
            "Quillery is made by Velmora. Suggestions are welcome at quillery@velmora.example\r\n"
            "\r\n"
            "Starting Folder \"/srv/My Archives\"\r\n"
            "Using File Extensions \"*.nfo *.diz \"\r\n"
            "Number of files scanned 3000000000\r\n"
            "Number of files that matched \"\" was 0\r\n"
            "\r\n"
            "\r\n"
            "\r\n"));
    EXPECT_EQ(entry.resultLines, QStringLiteral("\r\n"));
}

}  // namespace
}  // namespace quillery
