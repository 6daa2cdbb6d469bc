#include "scan/WorkFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <map>

#include "scan/RecordingEvents.h"
#include "scan/ScanRun.h"
#include "scan/ViewerFiles.h"
#include "support/FakeQuestions.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

QString Text(const fs::path& p) {
    return QString::fromStdString(p.string());
}

TEST(WorkFolderTest, LifeOfTheWorkFolder) {
    RunState state;
    FakeQuestions questions;
    const fs::path expected = fs::path(QDir::tempPath().toStdString()) / "Quillery ";
    // Left over by a run that did not end normally, read-only among them.
    fs::create_directories(expected / "keep");
    WriteFileBytes(expected / "locked.nfo", "x");
    ::chmod((expected / "locked.nfo").c_str(), 0444);
    SetUpWorkFolder(state, questions);
    ASSERT_EQ(state.WorkFolder, expected / "");
    ShellDelete(state.WorkFolder);
    EXPECT_EQ(FilesBelow(expected, true), std::vector<std::string>{"keep"});

    fs::remove(expected / "keep");
    RemoveWorkFolder(state);
    EXPECT_FALSE(fs::exists(expected));

    // A link in its place is never used.
    TempDir elsewhere;
    fs::create_directory_symlink(elsewhere.path(), expected);
    SetUpWorkFolder(state, questions);
    EXPECT_NE(state.WorkFolder, expected / "");
    EXPECT_FALSE(fs::is_symlink(state.WorkFolder.parent_path()));
    RemoveWorkFolder(state);
    fs::remove(expected);
}

TEST(WorkFolderTest, AnUnusableTemporaryFolderIsReportedAndScansGoOn) {
    TempDir dir;
    WriteFileBytes(dir / "not-a-folder", "x");
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString((dir / "not-a-folder").string()));
    RunState state;
    FakeQuestions questions;
    SetUpWorkFolder(state, questions);
    qputenv("TMPDIR", saved);
    EXPECT_TRUE(state.WorkFolder.empty());
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text.toStdString(),
              "Can't create folder \"" + (dir / "not-a-folder").string() +
                  "/Quillery /\",\r\nplease make sure drive is not set to ReadOnly");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Critical);

    MakeZip(dir / "a.zip", {{"a.txt", "needle"}});
    RecordingEvents events;
    ScanContext ctx{state, events, questions, nullptr};
    RunRequest request;
    request.searchText = "needle";
    request.folder = Text(dir.path());
    request.patternText = "*.txt";
    state.SearchFolder = request.folder;
    RunScan(ctx, request);
    EXPECT_EQ(events.rowNames(), QStringList{"a.zip"});
}

TEST(ViewerFilesTest, FilesAreDecodedByTheirKindAndTakenAway) {
    TempDir work;
    WriteFileBytes(work / "ART.NFO", "\xC9\xCD\xBB caf\x82");                   // code page 437
    WriteFileBytes(work / "notes.txt", "caf\xE9 \x80");                         // Windows-1252
    WriteFileBytes(work / "utf8.diz", "\xEF\xBB\xBF\xE2\x95\x94 caf\xC3\xA9");  // UTF-8
    WriteFileBytes(work / ".hidden", "not shown");
    WriteFileBytes(work / "locked.txt", "unreadable");
    ::chmod((work / "locked.txt").c_str(), 0);
    const bool rootReadsAnything = ::access((work / "locked.txt").c_str(), R_OK) == 0;
    std::map<QString, QString> byName;
    for (const ViewerFile& file : TakeViewerFiles(work.path())) {
        byName[file.name] = file.text;
    }
    EXPECT_EQ(byName.count(".hidden"), 0u);
    EXPECT_EQ(byName["ART.NFO"], QStringLiteral("╔═╗ café"));
    EXPECT_EQ(byName["notes.txt"], QStringLiteral("café €"));
    EXPECT_EQ(byName["utf8.diz"], QStringLiteral("╔ café"));
    EXPECT_TRUE(byName["locked.txt"].isNull() || rootReadsAnything);  // header only
    EXPECT_TRUE(fs::is_directory(work.path()) && fs::is_empty(work.path()));
}

}  // namespace
}  // namespace quillery::test
