#include "archive/Staging.h"

#include <gtest/gtest.h>

#include "archive/UnzipResult.h"
#include "support/FakeQuestions.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

class StagingFixture : public ::testing::Test {
  protected:
    TempDir dir;
    StagingState state;
    FakeQuestions questions;
    fs::path zip = dir / "Mixed.zip";
    fs::path out = dir / "out";

    void SetUp() override {
        fs::create_directories(out);
        MakeZip(zip, {{"a.NFO", "n"},
                      {"sub/b.diz", "d"},
                      {"c.txt", "t"},
                      {"d.doc", "o"},
                      {"e.txt", "secret", true, "pw"}});
    }
    int Stage(const QString& patterns, bool whole) {
        fs::remove_all(out);
        fs::create_directories(out);
        return StageArchive(state, patterns, questions, zip, out, whole);
    }
};

TEST_F(StagingFixture, ScanStagingIsFlatSelectedAndNeverAsks) {
    QString many;
    for (int i = 0; i < 150; ++i) {
        many += QString("*.x%1 ").arg(i);
    }
    struct Case {
        QString patterns;
        int result;
        std::vector<std::string> written;
    };
    const std::vector<Case> cases = {
        {"", kUnzOk, {"a.NFO", "b.diz"}},  // empty: the default patterns
        {"*.txt", kUnzEncryptedSkipped, {"c.txt"}},
        {"readme", kUnzNoMatch, {}},  // no pattern, and none left over from the row before
        {many + "*.doc", kUnzOk, {"d.doc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.patterns.left(20).toStdString());
        EXPECT_EQ(Stage(c.patterns, false), c.result);
        EXPECT_EQ(FilesBelow(out), c.written);
    }
    EXPECT_EQ(EffectivePatternText(""), "*.diz *.nfo");
    EXPECT_EQ(CheckingStatus(zip), "Checking ... " + QString::fromStdString(zip.string()));
    EXPECT_EQ(questions.passwordCalls, 0);
}

TEST_F(StagingFixture, WholeArchiveExtractionRecreatesFoldersAndAsksOncePerArchive) {
    questions.passwordAnswers = {""};  // the user cancels: no further question here
    EXPECT_EQ(Stage("*.txt", true), kUnzEncryptedSkipped);
    EXPECT_EQ(questions.passwordCalls, 1);
    EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"a.NFO", "c.txt", "d.doc", "sub/b.diz"}));

    questions.passwordAnswers = {"pw"};
    EXPECT_EQ(Stage("*.txt", true), kUnzOk);
    EXPECT_EQ(ReadFileBytes(out / "e.txt"), "secret");
}

}  // namespace
}  // namespace quillery::test
