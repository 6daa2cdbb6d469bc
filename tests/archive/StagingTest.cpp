#include "archive/Staging.h"

#include <gtest/gtest.h>

#include "archive/UnzipResult.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery {
namespace {

namespace fs = std::filesystem;

class Host : public StagingHost {
  public:
    QString patterns, status;
    QString patternText() const override { return patterns; }
    void setPatternText(const QString& text) override { patterns = text; }
    void setStatus(const QString& text) override { status = text; }
};

class NoQuestions : public Questions {
  public:
    int passwordCalls = 0;
    QString password;
    void message(const QString&, const QString&, MessageStyle) override {}
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QString askPassword(const QString&) override {
        ++passwordCalls;
        return password;
    }
    int askReplace(const QString&, const QString&) override { return kReplaceYes; }
};

TEST(StagingTest, PatternTextBecomesTheIncludeList) {
    EXPECT_EQ(IncludePatternsFromText("*.nfo *.diz *.txt"),
              (QStringList{"*.nfo", "*.diz", "*.txt"}));
    EXPECT_EQ(IncludePatternsFromText("*.txt,*.doc"), (QStringList{"*.txt,", "*.doc"}));
    EXPECT_EQ(IncludePatternsFromText("readme *.txt"), QStringList{"*.txt"});
    EXPECT_EQ(IncludePatternsFromText("*.*"), QStringList{"*.*"});
    EXPECT_EQ(IncludePatternsFromText("readme"), QStringList{});
    EXPECT_EQ(IncludePatternsFromText(""), QStringList{});
}

class StagingFixture : public ::testing::Test {
  protected:
    test::TempDir dir;
    StagingState state;
    Host host;
    NoQuestions questions;
    fs::path zip = dir / "Mixed.zip";
    fs::path out = dir / "out";

    void SetUp() override {
        fs::create_directories(out);
        test::MakeZip(zip, {{"a.NFO", "n"},
                            {"sub/b.diz", "d"},
                            {"c.txt", "t"},
                            {"d.doc", "o"},
                            {"e.txt", "secret", true, "pw"}});
    }
    std::vector<std::string> Written() {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(out)) {
            names.push_back(fs::relative(e.path(), out).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(StagingFixture, ScanStagingIsFlatSelectedAndNeverAsks) {
    host.patterns = "";
    EXPECT_EQ(StageArchive(state, host, questions, zip, out, true, false), kUnzOk);
    EXPECT_EQ(host.patterns, "*.diz *.nfo");
    EXPECT_EQ(state.IncludeCount, 2);
    EXPECT_EQ(Written(), (std::vector<std::string>{"a.NFO", "b.diz"}));
    EXPECT_EQ(host.status, "Checking ... " + QString::fromStdString(zip.string()));
    EXPECT_EQ(state.options.recreateFolders, 0);
    EXPECT_EQ(state.options.overwriteExisting, 1);
    EXPECT_EQ(state.options.caseInsensitiveNames, 1);

    // The encrypted entry is skipped without a question, and the result says so.
    host.patterns = "*.txt";
    host.status.clear();
    EXPECT_EQ(StageArchive(state, host, questions, zip, out, false, false), kUnzEncryptedSkipped);
    EXPECT_EQ(questions.passwordCalls, 0);
    EXPECT_TRUE(host.status.isEmpty());
    EXPECT_EQ(state.LastUnzipResult, kUnzEncryptedSkipped);
}

TEST_F(StagingFixture, APatternTextWithoutPatternsSelectsNothing) {
    host.patterns = "readme";
    EXPECT_EQ(StageArchive(state, host, questions, zip, out, false, false), kUnzNoMatch);
    EXPECT_TRUE(Written().empty());
}

TEST_F(StagingFixture, MoreThanAHundredPatternsAreAllUsed) {
    QString text;
    for (int i = 0; i < 150; ++i) {
        text += QString("*.x%1 ").arg(i);
    }
    host.patterns = text + "*.doc";
    EXPECT_EQ(StageArchive(state, host, questions, zip, out, false, false), kUnzOk);
    EXPECT_EQ(state.IncludeCount, 151);
    EXPECT_EQ(Written(), std::vector<std::string>{"d.doc"});
}

TEST_F(StagingFixture, WholeArchiveExtractionRecreatesFoldersAndAsksOncePerArchive) {
    questions.password = "";  // the user cancels: no further question for this archive
    EXPECT_EQ(StageArchive(state, host, questions, zip, out, false, true), kUnzEncryptedSkipped);
    EXPECT_EQ(questions.passwordCalls, 1);
    EXPECT_EQ(state.options.recreateFolders, 1);
    EXPECT_EQ(Written(), (std::vector<std::string>{"a.NFO", "c.txt", "d.doc", "sub", "sub/b.diz"}));

    fs::remove_all(out);
    fs::create_directories(out);
    questions.password = "pw";
    EXPECT_EQ(StageArchive(state, host, questions, zip, out, false, true), kUnzOk);
    EXPECT_EQ(test::ReadFileBytes(out / "e.txt"), "secret");
}

}  // namespace
}  // namespace quillery
