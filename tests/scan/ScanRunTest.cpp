#include "scan/ScanRun.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <zip.h>

#include <fstream>
#include <utility>

#include "archive/UnzipResult.h"
#include "scan/Formats.h"
#include "scan/ScanFixture.h"
#include "support/ArchiveMaker.h"

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
        if (name.ends_with(".zip")) {  // a folder of that name counts as one
            out.push_back(QString::fromStdString(e.path().string()));
        }
    }
    for (const auto& s : subs) {
        if (recurse) {
            ExpectedOrder(s, recurse, out);
        }
    }
}

// Kills every child process of this one at once: the readers of a run, and the launcher that
// forks them (readers are then started as the program run again).
int KillChildren() {
    int killed = 0;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream children(task.path() / "children");
        for (pid_t pid = 0; children >> pid;) {
            killed += ::kill(pid, SIGKILL) == 0 ? 1 : 0;
        }
    }
    return killed;
}

QStringList Sorted(QStringList names) {
    names.sort();
    return names;
}

using ScanRunTest = ScanFixture;

// Archives are examined ahead of the walk in reader processes; what the user sees must not
// change: every archive checked in walk order, rows in walk order, damaged ones never listed,
// also when the readers are killed from outside in the middle of a run.
TEST_F(ScanRunTest, ArchivesAreCheckedAndListedInWalkOrder) {
    const std::set<std::string> matching = MakeMixedTree();
    for (const auto& [subFolders, killReaders] :
         {std::pair{true, false}, std::pair{false, false}, std::pair{true, true}}) {
        SCOPED_TRACE(subFolders ? "with subfolders" : "without");
        SCOPED_TRACE(killReaders ? "readers killed" : "");
        request.subFolders = subFolders;
        logger.entries = 0;
        events.notices.clear();
        int kills = 0;
        events.onYield = [&](int yield) {
            if (killReaders && yield == 9) {
                kills += KillChildren();
            }
        };
        Search("needle", "*.nfo *.diz *.txt");
        events.onYield = nullptr;
        EXPECT_TRUE(events.notices.isEmpty()) << events.notices.join('\n').toStdString();
        EXPECT_EQ(kills > 0, killReaders);
        QStringList expected, expectedRows;
        ExpectedOrder(root.path(), subFolders, expected);
        for (const QString& path : expected) {
            if (matching.count(path.toStdString()) != 0) {
                expectedRows.push_back(path);
            }
        }
        ASSERT_EQ(Checked(), expected);
        QStringList rows;
        for (const FoundArchive& row : events.rows) {
            rows.push_back(QString::fromStdString(row.archive.string()));
            EXPECT_EQ(fs::path((row.filePath + row.fileName).toStdString()), row.archive);
            EXPECT_TRUE(row.filePath.endsWith('/'));
        }
        EXPECT_EQ(rows, expectedRows);
        EXPECT_EQ(events.checked, FormatCounter(expected.size()));
        EXPECT_EQ(events.found, FormatCounter(expectedRows.size()));
        EXPECT_EQ(events.statusText, Summary(expectedRows.size(), expected.size(), "needle"));
        EXPECT_EQ(logger.entries, 1);
        EXPECT_TRUE(state.ScanIdle && !state.runActive);
        EXPECT_EQ(events.phases, (std::vector<RunPhase>{RunPhase::Preparing, RunPhase::Walking,
                                                        RunPhase::Walked, RunPhase::Finished}));
        EXPECT_EQ(state.StartFolder, request.folder + "/");
        EXPECT_EQ(questions.passwordCalls, 0);
    }
}

TEST_F(ScanRunTest, ArchivesThatCannotBeReadAreCountedButNeverListedOrAskedAbout) {
    MakeZip(root / "mixed.zip", {{"open.txt", "hello"}, {"secret.txt", "x", true, "pw"}});
    MakeZip(root / "second.zip", {{"a.txt", "nope"}, {"b.txt", "HELLO"}});
    // Written flat into one folder the second would replace the first; both count.
    MakeZip(root / "twins.zip", {{"a/readme.txt", "hello"}, {"b/readme.txt", "other"}});
    Search("hello");
    EXPECT_EQ(Sorted(events.rowNames()), (QStringList{"second.zip", "twins.zip"}));
    EXPECT_EQ(events.checked, "     3");
    EXPECT_EQ(questions.passwordCalls, 0);
    EXPECT_TRUE(questions.messages.empty());
}

// Yields come before each folder and each archive. A stop, or the program's shutdown, at any
// of them ends the walk there: the archive at that point is not examined.
TEST_F(ScanRunTest, StopOrCloseAtEveryYield) {
    for (int i = 0; i < 3; ++i) {
        Archive("a" + std::to_string(i) + ".zip", "x.txt", "needle");
        Archive("sub/b" + std::to_string(i) + ".zip", "x.txt", "needle");
    }
    Search("needle");
    const int yields = events.yields;
    ASSERT_EQ(yields, 2 + 6);
    for (const bool close : {false, true}) {
        for (int at = 1; at <= yields; ++at) {
            SCOPED_TRACE((close ? "close at " : "stop at ") + std::to_string(at));
            state = RunState();
            SetUpWorkFolder(state, questions);
            logger.entries = 0;
            events.onYield = [&](int yield) {
                if (yield != at) {
                    return;
                }
                if (close) {
                    state.closing = true;  // the program's shutdown logs and cleans up
                } else {
                    state.KeepScanning = false;  // what the stop button does to the run
                    state.ScanIdle = true;
                }
            };
            Search("needle");
            events.onYield = nullptr;
            const int examined = Checked().size();
            EXPECT_EQ(examined, at - 1 - (at > 1) - (at > 5));  // folder yields at 1 and 5
            EXPECT_FALSE(state.runActive);
            EXPECT_EQ(events.statusHistory.count("Sorting File List ....."), close ? 0 : 1);
            if (close) {
                EXPECT_EQ(logger.entries, 0);
                RemoveWorkFolder(state);
                continue;
            }
            EXPECT_EQ(logger.entries, 1);
            EXPECT_EQ(events.checked, FormatCounter(examined));
            EXPECT_EQ(static_cast<int>(events.rows.size()), examined);
            EXPECT_EQ(events.statusText, Summary(examined, examined, "needle"));
            EXPECT_TRUE(state.ScanIdle);
            Search("needle");  // a fresh start runs to the end
            EXPECT_EQ(events.rows.size(), 6u);
            RemoveWorkFolder(state);
        }
    }
}

// An audit run takes its strings from the file and none from the search; without the file
// it searches for nothing the file held.
TEST_F(ScanRunTest, AuditRunsTakeTheirStringsFromTheFile) {
    Archive("a.zip", "a.txt", "contains A && B literally");
    Archive("b.zip", "b.txt", "contains a and b");
    Archive("c.zip", "c.txt", "the viewer");
    WorkingFolder work;  // where the audit file is looked for
    WriteFileBytes("audit.txt", "  viewer \r\na && b\r\n");
    request.audit = true;
    Search("typed text");
    EXPECT_EQ(Sorted(events.rowNames()), (QStringList{"a.zip", "c.zip"}));
    EXPECT_EQ(events.statusText,
              "There were 2 files that contained strings from the Audit file, "
              "from a total of 3 files");
    fs::remove("audit.txt");
    Search("typed");
    EXPECT_TRUE(events.rows.empty());
    EXPECT_EQ(events.statusText, Summary(0, 3, "typed"));
}

// A 256 MiB entry is matched in bounded memory; past the limit in force it counts as
// unreadable, and the viewer and extraction staging write nothing of it.
TEST_F(ScanRunTest, HugeEntriesAreMatchedInBoundedMemoryUpToTheirLimits) {
    MakeBigArchive(root / "big.zip", 256 * 1024, "needle at the very end");
    Archive("fine.zip", "fine.txt", "a needle");
    ASSERT_LT(fs::file_size(root / "big.zip"), 2u << 20);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Search("NEEDLE AT THE");
    EXPECT_EQ(events.rowNames(), QStringList{"big.zip"});
    state.staging.scanEntryLimit = 16 << 20;
    Search("needle");
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(events.rowNames(), QStringList{"fine.zip"});
    EXPECT_EQ(events.statusText, Summary(1, 2, "needle"));
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes

    state.staging.viewerEntryLimit = state.staging.extractEntryLimit = 16 << 20;
    const fs::path out = root / "out";
    fs::create_directories(out);
    for (const auto& [target, whole] :
         std::vector<std::pair<fs::path, bool>>{{state.WorkFolder, false}, {out, true}}) {
        EXPECT_EQ(StageArchive(state.staging, request.patternText, questions, root / "big.zip",
                               target, whole),
                  kUnzTooLarge);
        EXPECT_TRUE(fs::is_empty(target));
    }
}

// An archive larger than 4 GiB (zip64) whose small text entry lies behind a 4.1 GiB stored
// entry: only the text entry is read, and it is found; its size has a whole text.
TEST_F(ScanRunTest, AnArchiveLargerThanFourGigabytesIsSearched) {
    const fs::path filler = root / "filler.bin";
    WriteFileBytes(filler, "");
    fs::resize_file(filler, (std::uintmax_t{4} << 30) + (64 << 20));  // sparse: no disk used
    zip_t* za = zip_open((root / "huge.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    ASSERT_NE(za, nullptr);
    const zip_int64_t big =
        zip_file_add(za, "filler.bin", zip_source_file(za, filler.c_str(), 0, -1), 0);
    ASSERT_GE(big, 0);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(big), ZIP_CM_STORE, 0);
    static const char kText[] = "the needle at the end";
    ASSERT_GE(zip_file_add(za, "end.txt", zip_source_buffer(za, kText, sizeof kText - 1, 0), 0), 0);
    ASSERT_EQ(zip_close(za), 0);
    fs::remove(filler);

    Search("needle");
    ASSERT_EQ(events.rowNames(), QStringList{"huge.zip"});
    EXPECT_EQ(FormatSizeKB(fs::file_size(root / "huge.zip")).size(), 9);  // "4,362,xxx"
    fs::remove(root / "huge.zip");
}

// A zip made by 7-Zip with LZMA, holding a script and a link whose path has a dot: "*.*"
// selects both, and the link, which neither libzip nor libarchive reads in LZMA, must not
// fail the archive, with every archive type or without.
TEST_F(ScanRunTest, AnLzmaLinkBesideTheMatchDoesNotHideIt) {
    const fs::path source = root / "src" / "_installdir" / "2000.9-beta11" / "bin";
    fs::create_directories(source);
    WriteFileBytes(source / "tool.py", "#!/usr/bin/env python3\n" + std::string(200, '#') + "\n");
    fs::create_symlink("tool.py", source / "tool");
    ASSERT_TRUE(
        Run7z({"a", "-bd", "-y", "-tzip", "-mm=LZMA", "-snl", (root / "scan" / "lzma.zip").string(),
               (root / "src" / "_installdir").string()}))
        << "the 7z tool is needed";
    request.folder = QString::fromStdString((root / "scan").string());
    for (const bool all : {false, true}) {
        SCOPED_TRACE(all ? "every archive type" : "zip only");
        request.allArchives = all;
        Search("python3", "*.*");
        EXPECT_EQ(events.rowNames(), QStringList{"lzma.zip"});
    }
}

}  // namespace
}  // namespace quillery::test
