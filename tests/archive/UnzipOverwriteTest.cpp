#include <chrono>
#include <string>
#include <vector>

#include "UnzipFixture.h"

namespace quillery {
namespace {

using test::MakeZip;
using test::ReadFileBytes;
using test::WriteFileBytes;

class UnzipOverwriteTest : public UnzipFixture {
  protected:
    void SetUp() override {
        MakeZip(zip, {File("a.txt", "new a"), File("b.txt", "new b"), File("c.txt", "new c")});
        std::filesystem::create_directories(out);
        WriteFileBytes(out / "a.txt", "old a");
        WriteFileBytes(out / "b.txt", "old b");
    }

    // Answers the replace question for each name from the list, in order.
    void Answer(std::vector<int> answers) {
        callbacks.replace = [this, answers](const std::string& name) {
            asked.push_back(name);
            return answers.at(asked.size() - 1);
        };
    }

    std::vector<std::string> asked;
};

TEST_F(UnzipOverwriteTest, ExistingFilesStayUnlessOverwritingIsOn) {
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(ReadFileBytes(out / "a.txt"), "old a");
    EXPECT_EQ(ReadFileBytes(out / "c.txt"), "new c");

    options.overwriteExisting = 1;
    options.promptToOverwrite = 1;
    Answer({});
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ReadFileBytes(out / "a.txt"), "new a");
    EXPECT_EQ(ReadFileBytes(out / "b.txt"), "new b");
}

TEST_F(UnzipOverwriteTest, ThePromptDecidesEachFile) {
    options.promptToOverwrite = 1;
    Answer({kReplaceNo, kReplaceYes});
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(ReadFileBytes(out / "a.txt"), "old a");
    EXPECT_EQ(ReadFileBytes(out / "b.txt"), "new b");
    EXPECT_EQ(ReadFileBytes(out / "c.txt"), "new c");
}

TEST_F(UnzipOverwriteTest, CancellingThePromptStops) {
    options.promptToOverwrite = 1;
    Answer({kReplaceCancel});
    EXPECT_EQ(Unzip(), kUnzCancelled);
    EXPECT_EQ(ReadFileBytes(out / "a.txt"), "old a");
    EXPECT_FALSE(std::filesystem::exists(out / "c.txt"));
}

TEST_F(UnzipOverwriteTest, AFolderInTheWayCannotBeReplaced) {
    std::filesystem::remove(out / "a.txt");
    std::filesystem::create_directory(out / "a.txt");
    options.overwriteExisting = 1;
    EXPECT_EQ(Unzip(), kUnzWriteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(out / "a.txt"));
}

TEST_F(UnzipOverwriteTest, NewerAndFreshenModesCompareWithTheDisk) {
    options.overwriteExisting = 1;
    options.extractOnlyNewer = 1;
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(out / "a.txt", now + std::chrono::hours(24 * 365));
    std::filesystem::last_write_time(out / "b.txt", now - std::chrono::hours(24 * 365 * 20));
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(ReadFileBytes(out / "a.txt"), "old a");
    EXPECT_EQ(ReadFileBytes(out / "b.txt"), "new b");
    EXPECT_EQ(ReadFileBytes(out / "c.txt"), "new c");

    std::filesystem::remove(out / "c.txt");
    options.extractOnlyNewer = 0;
    options.freshenExisting = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(ReadFileBytes(out / "a.txt"), "new a");
    EXPECT_FALSE(std::filesystem::exists(out / "c.txt"));
}

}  // namespace
}  // namespace quillery
