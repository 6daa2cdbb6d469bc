#include "scan/ScanRun.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <fstream>
#include <set>

#include "archive/UnzipResult.h"
#include "scan/FileMatch.h"
#include "scan/Formats.h"
#include "scan/MatchingSink.h"
#include "scan/ScanFixture.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// The archives of a folder as the walk must meet them: the folder's own archives in
// listing order, then each subfolder's tree in listing order, dot-folders left out.
void ExpectedOrder(const fs::path& folder, bool recurse, QStringList& out) {
    std::vector<fs::path> subs;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (e.is_directory() && name[0] != '.') {
            subs.push_back(e.path());
        }
    }
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".zip") {
            out.push_back(QString::fromStdString(e.path().string()));
        }
    }
    if (recurse) {
        for (const auto& s : subs) {
            ExpectedOrder(s, recurse, out);
        }
    }
}

QStringList CheckedArchives(const FakeScanView& view) {
    QStringList checked;
    for (const QString& s : view.statusHistory) {
        if (s.startsWith("Checking ... ")) {
            checked.push_back(s.mid(13));
        }
    }
    return checked;
}

class ScanRunTest : public ScanFixture {
  protected:
    void BuildTree() {
        Archive("top1.zip", "readme.txt", "Hello World");
        Archive("top2.zip", "notes.txt", "nothing to see");
        Archive("sub1/inner.zip", "docs/info.NFO", "hello from a folder inside the archive");
        Archive("sub1/deeper/deep.zip", "a.diz", "HELLO");
        Archive("sub2/other.zip", "a.doc", "hello but not in a selected entry");
        Archive(".cache/hidden.zip", "a.txt", "hello");
        Dir("folder.zip");
        test::WriteFileBytes(root / "fake.zip", "this is no archive");
    }
};

TEST_F(ScanRunTest, WalksPreOrderInListingOrderAndListsTheMatches) {
    BuildTree();
    view.search = "hello";
    StartStopClick(ctx);

    QStringList expected;
    ExpectedOrder(root.path(), true, expected);
    EXPECT_EQ(CheckedArchives(view), expected);
    ASSERT_EQ(expected.size(), 7);  // the dot-folder's archive is not among them

    QStringList names = view.rowNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{"deep.zip", "inner.zip", "top1.zip"}));
    for (const ResultRow& row : view.rows) {
        EXPECT_EQ(fs::path((row.filePath + row.fileName).toStdString()), row.archive);
        EXPECT_TRUE(row.filePath.endsWith('/'));
        EXPECT_TRUE(row.fileSize.isEmpty());
    }
    EXPECT_EQ(view.found, "     3");
    EXPECT_EQ(view.checked, "     7");
    EXPECT_EQ(view.status, "There were 3 files that contained \"hello\", from a total of 7 files");
    EXPECT_EQ(logger.entries, 1);
    EXPECT_EQ(state.FilesChecked, 0);
    EXPECT_EQ(state.FilesFound, 0);
    EXPECT_TRUE(view.sorted);
    EXPECT_EQ(view.startCaption, "&Start Scanning");
    EXPECT_TRUE(view.searchEnabled && view.folderEnabled && view.patternsEnabled);
    EXPECT_TRUE(state.ScanIdle);
    EXPECT_TRUE(state.SearchFolder.isEmpty());
    EXPECT_EQ(state.StartFolder, view.folder + "/");
    EXPECT_EQ(view.frames.back(), 0);
    // The window is told when the walk is over and when the run is, to show what is latest.
    EXPECT_EQ(view.flushes, 2);
}

TEST_F(ScanRunTest, WithoutSubfoldersOnlyTheStartingFolderIsExamined) {
    BuildTree();
    view.search = "hello";
    view.options[OptionBox::SubFolders] = false;
    StartStopClick(ctx);
    QStringList expected;
    ExpectedOrder(root.path(), false, expected);
    EXPECT_EQ(CheckedArchives(view), expected);
    EXPECT_EQ(view.rowNames(), QStringList{"top1.zip"});
    EXPECT_EQ(view.status, "There were 1 files that contained \"hello\", from a total of 4 files");
}

TEST_F(ScanRunTest, ArchivesThatCannotBeReadAreCountedButNeverListed) {
    MakeZip(root / "locked.zip", {{"secret.txt", "hello", true, "pw"}});
    MakeZip(root / "mixed.zip", {{"open.txt", "hello"}, {"secret.txt", "x", true, "pw"}});
    MakeZip(root / "crc.zip", {{"a.txt", std::string(5000, 'h') + "hello"}});
    CorruptCrc(root / "crc.zip", "a.txt");
    MakeZip(root / "cut.zip", {{"a.txt", std::string(20000, 'x') + "hello"}});
    Truncate(root / "cut.zip", fs::file_size(root / "cut.zip") / 2);
    MakeZip(root / "second.zip", {{"a.txt", "nope"}, {"b.txt", "HELLO"}});
    view.search = "hello";
    StartStopClick(ctx);
    EXPECT_EQ(view.rowNames(), QStringList{"second.zip"});
    EXPECT_EQ(view.checked, "     5");
    EXPECT_EQ(questions.passwordCalls, 0);
    EXPECT_TRUE(questions.messages.empty());
}

TEST_F(ScanRunTest, EntriesOfTheSameNameAreAllTested) {
    // Written flat into one folder the second would replace the first; in memory both count.
    MakeZip(root / "twins.zip", {{"a/readme.txt", "the match"}, {"b/readme.txt", "other"}});
    view.search = "match";
    StartStopClick(ctx);
    EXPECT_EQ(view.rowNames(), QStringList{"twins.zip"});
}

// Archives are examined ahead of the walk on a second thread; what the user sees must not
// change: every archive checked in walk order, rows in walk order, damaged ones never listed.
TEST_F(ScanRunTest, ManyArchivesInManyFoldersKeepTheWalkOrder) {
    std::set<std::string> matching;
    std::string big;
    while (big.size() < 3 * 1024 * 1024) {
        big += "filler text for a larger entry\r\n";
    }
    int n = 0;
    for (const std::string folder : {"", "a/", "a/x/", "a/x/deep/", "b/", "c/", "c/y/"}) {
        for (int i = 0; i < 9; ++i, ++n) {
            const std::string rel = folder + "arc" + std::to_string(n) + ".zip";
            Dir(folder.empty() ? "." : folder);
            std::vector<ZipEntry> entries = {{"a.nfo", "nothing here"}};
            if (n % 4 == 1) {
                entries.push_back({"b.txt", big + "the NEEDLE"});
            } else if (n % 3 == 0) {
                entries.push_back({"b.diz", "a needle", n % 2 == 0});
            }
            MakeZip(root / rel, entries);
            if (n % 9 == 6) {
                CorruptCrc(root / rel, "a.nfo");
            } else if (n % 4 == 1 || n % 3 == 0) {
                matching.insert((root / rel).string());
            }
        }
    }
    view.search = "needle";
    for (int run = 0; run < 2; ++run) {
        StartStopClick(ctx);
        QStringList expected;
        ExpectedOrder(root.path(), true, expected);
        ASSERT_EQ(CheckedArchives(view), expected);
        QStringList expectedRows;
        for (const QString& path : expected) {
            if (matching.count(path.toStdString()) != 0) {
                expectedRows.push_back(path);
            }
        }
        QStringList rows;
        for (const ResultRow& row : view.rows) {
            rows.push_back(QString::fromStdString(row.archive.string()));
        }
        EXPECT_EQ(rows, expectedRows);
        EXPECT_EQ(view.checked, FormatCounter(n));
        EXPECT_EQ(view.found, FormatCounter(static_cast<std::int64_t>(matching.size())));
        view.statusHistory.clear();
    }
}

TEST_F(ScanRunTest, ShowSizeSwitchesTheColumnsAndFillsTheSizes) {
    Archive("a.zip", "a.txt", "hello");
    view.search = "hello";
    view.options[OptionBox::ShowSize] = true;
    view.columns = {"fileName", "filePath"};
    StartStopClick(ctx);
    EXPECT_EQ(view.columns, (QStringList{"fileName", "filePath", "fileSize"}));
    EXPECT_EQ(view.columnWidths["filePath"], 200);
    EXPECT_EQ(view.columnWidths["fileSize"], 80);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].fileSize, FormatSizeKB(fs::file_size(root / "a.zip")));

    view.options[OptionBox::ShowSize] = false;
    StartStopClick(ctx);
    EXPECT_EQ(view.columns, (QStringList{"fileName", "filePath"}));
    EXPECT_EQ(view.columnWidths["filePath"], 300);
    EXPECT_TRUE(view.rows[0].fileSize.isEmpty());
}

TEST_F(ScanRunTest, StopAtAnyYieldEndsTheWalkThereAndKeepsTheRowsFound) {
    for (int i = 0; i < 4; ++i) {
        Archive("a" + std::to_string(i) + ".zip", "x.txt", "hello");
        Archive("sub/b" + std::to_string(i) + ".zip", "x.txt", "hello");
    }
    view.search = "hello";
    StartStopClick(ctx);
    const int totalYields = view.yields;
    ASSERT_EQ(totalYields, 2 + 8);  // two folders, eight archives

    for (int stopAt = 1; stopAt <= totalYields; ++stopAt) {
        view.statusHistory.clear();
        view.yields = 0;
        int examinedAfterStop = -1;
        view.onYield = [&](int n) {
            if (n == stopAt) {
                StartStopClick(ctx);  // "&Stop Scanning"
                EXPECT_EQ(view.startCaption, "&Start Scanning");
                EXPECT_TRUE(view.searchEnabled);
                EXPECT_FALSE(view.folderEnabled);
                examinedAfterStop = 0;
                StartStopClick(ctx);  // a start click while the run unwinds starts nothing
            }
        };
        StartStopClick(ctx);
        view.onYield = nullptr;
        const int examined = static_cast<int>(CheckedArchives(view).size());
        // Yields come before each folder and each archive; the archive at the stop is not
        // examined.
        EXPECT_LT(examined, stopAt) << stopAt;
        EXPECT_EQ(view.checked, FormatCounter(examined)) << stopAt;
        EXPECT_EQ(static_cast<int>(view.rows.size()), examined);
        EXPECT_EQ(view.status, QString("There were %1 files that contained \"hello\", from a "
                                       "total of %1 files")
                                   .arg(examined));
        EXPECT_EQ(view.statusHistory.count("Sorting File List ....."), 1);
        EXPECT_TRUE(state.ScanIdle);
        EXPECT_FALSE(state.runActive);
        (void)examinedAfterStop;
    }
    EXPECT_EQ(logger.entries, 1 + totalYields);
}

TEST_F(ScanRunTest, ClosingDuringARunUnwindsWithoutFinishingIt) {
    Archive("a.zip", "x.txt", "hello");
    Archive("b.zip", "x.txt", "hello");
    view.search = "hello";
    view.onYield = [&](int n) {
        if (n == 3) {
            state.KeepScanning = false;
            state.closing = true;
        }
    };
    StartStopClick(ctx);
    EXPECT_EQ(logger.entries, 0);  // the closing writes the entry, not the run
    EXPECT_EQ(state.FilesChecked, 1);
    EXPECT_EQ(view.flushes, 1);
    EXPECT_FALSE(view.statusHistory.contains("Sorting File List ....."));
}

TEST_F(ScanRunTest, ValidationAndTheFolderPicker) {
    view.search = "";
    StartStopClick(ctx);
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "You must enter a Search String, before Scanning can begin.");
    EXPECT_EQ(questions.messages[0].title, "Quillery Version 0.67 ");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Exclamation);
    EXPECT_EQ(logger.entries, 0);

    view.search = "hello";
    view.folder = QString::fromStdString((root / "missing").string());
    StartStopClick(ctx);
    EXPECT_EQ(questions.browseCalls, 1);
    EXPECT_EQ(logger.entries, 0);
    EXPECT_EQ(view.folder, QString::fromStdString((root / "missing").string()));

    Archive("picked/a.zip", "a.txt", "hello");
    questions.folderAnswer = QString::fromStdString((root / "picked").string());
    StartStopClick(ctx);
    EXPECT_EQ(view.folder, questions.folderAnswer);
    EXPECT_EQ(view.rowNames(), QStringList{"a.zip"});
}

TEST_F(ScanRunTest, AuditRunsUseTheAuditFileAndSayWhenItIsMissing) {
    Archive("a.zip", "a.txt", "contains A && B literally");
    Archive("b.zip", "b.txt", "contains a and b");
    Archive("c.zip", "c.txt", "the viewer");
    view.options[OptionBox::Audit] = true;
    view.search = "typed text";
    WriteFileBytes("audit.txt", "  viewer \r\na && b\r\n");
    StartStopClick(ctx);
    QStringList names = view.rowNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.zip", "c.zip"}));
    EXPECT_TRUE(view.search.isEmpty());
    EXPECT_EQ(view.status,
              "There were 2 files that contained strings from the Audit file, from a total "
              "of 3 files");

    fs::remove("audit.txt");
    view.search = "";
    StartStopClick(ctx);
    EXPECT_FALSE(view.options[OptionBox::Audit]);
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "You must enter a Search String, before Scanning can begin.");
}

TEST_F(ScanRunTest, AnAuditRunWhoseFileIsGoneMatchesNoStringsOfAnEarlierLoad) {
    Archive("a.zip", "a.txt", "the viewer");
    view.options[OptionBox::Audit] = true;
    WriteFileBytes("audit.txt", "viewer\r\n");
    StartStopClick(ctx);
    EXPECT_EQ(view.rowNames(), QStringList{"a.zip"});

    fs::remove("audit.txt");
    view.options[OptionBox::Audit] = true;
    view.search = "typed";
    StartStopClick(ctx);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.status, "There were 0 files that contained \"typed\", from a total of 1 files");
}

TEST_F(ScanRunTest, AnEntryOfHundredsOfMegabytesIsMatchedInBoundedMemory) {
    const fs::path big = root / "big.txt";
    {
        std::ofstream out(big, std::ios::binary);
        const std::string line(1023, 'z');
        for (int i = 0; i < 256 * 1024; ++i) {
            out << line << '\n';
        }
        out << "needle at the very end";
    }
    MakeZipFromFile(root / "big.zip", "big.txt", big);
    fs::remove(big);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    view.search = "NEEDLE AT THE";
    StartStopClick(ctx);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(view.rowNames(), QStringList{"big.zip"});
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
}

}  // namespace
}  // namespace quillery::test

namespace quillery::test {
namespace {

class StagingAgreementTest : public ScanFixture {};

TEST_F(StagingAgreementTest, MemoryAndFolderStagingGiveTheSameAnswers) {
    namespace fs = std::filesystem;
    std::vector<fs::path> archives;
    const auto add = [&](const std::string& name, const std::vector<ZipEntry>& entries) {
        archives.push_back(root / name);
        MakeZip(archives.back(), entries);
    };
    add("ascii.zip", {{"a.txt", "Readme: the LICENCE is here"}, {"b.nfo", "nfo text"}});
    add("utf8.zip", {{"a.txt", "f\xC4\xB1n and caf\xC3\xA9"}});
    add("art.zip", {{"art.nfo", "\xC9\xCD\xCD\xBB readme \xC8\xCD\xCD\xBC"}});
    add("blank.zip", {{"a.txt", "     "}, {"b.diz", ""}});
    add("bom.zip", {{"a.txt", "\xEF\xBB\xBF  "}});
    add("stored.zip", {{"x.diz", "LICENCE readme", false}});
    add("skipped.zip", {{"a.doc", "readme licence"}});
    add("locked.zip", {{"a.txt", "readme", true, "pw"}});
    add("crc.zip", {{"a.txt", "readme licence and more"}});
    CorruptCrc(root / "crc.zip", "a.txt");

    const QStringList searches = {"readme",
                                  "readme && licence",
                                  "nfo || zip",
                                  "FIN",
                                  QStringLiteral("╔══╗"),
                                  QStringLiteral("CAFÉ"),
                                  "   ",
                                  "x ||",
                                  "licence && "};
    for (const QString& search : searches) {
        state.SearchString = search;
        const TextMatcher matcher = MatcherForRun(state);
        for (const fs::path& archive : archives) {
            MatchingSink sink(matcher);
            const bool inMemory = StageArchive(state.staging, view, questions, archive,
                                               state.WorkFolder, false, false, &sink) == kUnzOk &&
                                  sink.matched();
            const int result = StageArchive(state.staging, view, questions, archive,
                                            state.WorkFolder, false, false);
            const bool onDisk = result == kUnzOk && SearchWorkFolder(state);
            ShellDelete(state.WorkFolder);
            EXPECT_EQ(inMemory, onDisk) << search.toStdString() << " " << archive.filename();
        }
    }
}

}  // namespace
}  // namespace quillery::test
