#include "scan/WorkFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>

#include "scan/FakeScanView.h"
#include "scan/FileMatch.h"
#include "scan/ScanRun.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

QString Text(const fs::path& p) {
    return QString::fromStdString(p.string());
}

TEST(WorkFolderTest, FolderExistsAndMakeFolder) {
    TempDir dir;
    WriteFileBytes(dir / "file", "x");
    EXPECT_TRUE(FolderExists(Text(dir.path())));
    EXPECT_TRUE(FolderExists(Text(dir.path()) + "/"));
    EXPECT_TRUE(FolderExists(Text(dir / "file")));
    EXPECT_FALSE(FolderExists(Text(dir / "file") + "/"));
    EXPECT_FALSE(FolderExists(Text(dir / "none")));
    EXPECT_FALSE(FolderExists(""));

    FakeQuestions questions;
    EXPECT_TRUE(MakeFolder(Text(dir / "new"), questions));
    EXPECT_FALSE(MakeFolder(Text(dir / "new"), questions));
    EXPECT_TRUE(questions.messages.empty());
    EXPECT_FALSE(MakeFolder(Text(dir / "no/parent"), questions));
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "Can't create folder \"" + Text(dir / "no/parent") +
                  "\",\r\nplease make sure drive is not set to ReadOnly");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Critical);
}

TEST(WorkFolderTest, FixTrailingSlash) {
    QString p = "/a/b";
    FixTrailingSlash(p, true);
    EXPECT_EQ(p, "/a/b/");
    FixTrailingSlash(p, true);
    EXPECT_EQ(p, "/a/b/");
    p = "/a//";
    FixTrailingSlash(p, false);
    EXPECT_EQ(p, "/a/");
    p = "";
    FixTrailingSlash(p, true);
    EXPECT_EQ(p, "/");
}

TEST(WorkFolderTest, LifeOfTheWorkFolder) {
    RunState state;
    FakeQuestions questions;
    const fs::path expected = fs::path(QDir::tempPath().toStdString()) / "Quillery ";
    // Left over by a run that did not end normally, read-only among them.
    fs::create_directories(expected);
    WriteFileBytes(expected / "old.txt", "x");
    WriteFileBytes(expected / "locked.nfo", "x");
    ::chmod((expected / "locked.nfo").c_str(), 0444);
    fs::create_directories(expected / "keep");

    SetUpWorkFolder(state, questions);
    ASSERT_EQ(state.WorkFolder, expected / "");
    ShellDelete(state.WorkFolder);
    EXPECT_FALSE(fs::exists(expected / "old.txt"));
    EXPECT_FALSE(fs::exists(expected / "locked.nfo"));
    EXPECT_TRUE(fs::exists(expected / "keep"));  // subfolders are left alone

    // Searching the folder deletes every file in it, matching or not.
    WriteFileBytes(expected / "a.txt", "nothing");
    WriteFileBytes(expected / "b.txt", "the needle");
    WriteFileBytes(expected / "c.txt", "nothing");
    state.SearchString = "needle";
    EXPECT_TRUE(SearchWorkFolder(state));
    EXPECT_EQ(std::distance(fs::directory_iterator(expected), fs::directory_iterator()), 1);

    fs::remove(expected / "keep");
    WriteFileBytes(expected / "late.txt", "x");
    RemoveWorkFolder(state);
    EXPECT_FALSE(fs::exists(expected));
}

TEST(WorkFolderTest, AFolderThatIsALinkIsNeverUsed) {
    TempDir elsewhere;
    RunState state;
    FakeQuestions questions;
    const fs::path name = fs::path(QDir::tempPath().toStdString()) / "Quillery ";
    fs::remove_all(name);
    fs::create_directory_symlink(elsewhere.path(), name);
    SetUpWorkFolder(state, questions);
    ASSERT_FALSE(state.WorkFolder.empty());
    EXPECT_NE(state.WorkFolder, name / "");
    EXPECT_TRUE(fs::is_directory(state.WorkFolder));
    EXPECT_FALSE(fs::is_symlink(state.WorkFolder.parent_path()));
    RemoveWorkFolder(state);
    fs::remove(name);
}

}  // namespace
}  // namespace quillery::test

namespace quillery::test {
namespace {

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
    EXPECT_TRUE(questions.messages[0].text.startsWith("Can't create folder \""));

    // A scan never writes to the work folder: it finds its archives all the same.
    MakeZip(dir / "a.zip", {{"a.txt", "needle"}});
    FakeScanView view(state);
    ScanContext ctx{state, view, questions, nullptr};
    view.search = "needle";
    view.folder = QString::fromStdString(dir.path().string());
    view.patterns = "*.txt";
    StartStopClick(ctx);
    EXPECT_EQ(view.rowNames(), QStringList{"a.zip"});
}

}  // namespace
}  // namespace quillery::test
