#include <string>

#include "UnzipFixture.h"

namespace quillery {
namespace {

using test::MakeZip;
using test::ReadFileBytes;
using test::WriteFileBytes;

// The target sits inside a sandbox folder so that anything escaping it can be seen.
class UnzipPathSafetyTest : public UnzipFixture {
  protected:
    UnzipPathSafetyTest() {
        std::filesystem::create_directories(outside);
        out = dir / "sandbox" / "out";
        options.extractFolder = out;
        options.overwriteExisting = 1;
    }

    std::filesystem::path outside = dir / "outside";
};

TEST_F(UnzipPathSafetyTest, EscapingNamesLandInsideTheTarget) {
    MakeZip(zip, {File("../evil.txt", "1"), File("/abs.txt", "2"), File("C:\\drive.txt", "3"),
                  File("a/../../b.txt", "4"), File("..\\..\\win.txt", "5"),
                  Link("link", "../../outside/target")});
    options.recreateFolders = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(FilesBelow(dir / "sandbox"), Files({"out/a/b.txt", "out/abs.txt", "out/drive.txt",
                                                  "out/evil.txt", "out/link", "out/win.txt"}));
    EXPECT_FALSE(std::filesystem::is_symlink(out / "link"));
    EXPECT_EQ(ReadFileBytes(out / "link"), "../../outside/target");
    EXPECT_TRUE(FilesBelow(outside).empty());
}

TEST_F(UnzipPathSafetyTest, NamesWithNothingLeftAreSkippedWithAWarning) {
    MakeZip(zip, {File("..", "x"), File("C:", "y"), File("fine.txt", "z")});
    EXPECT_EQ(Unzip(), kUnzWarning);
    EXPECT_EQ(FilesBelow(dir / "sandbox"), Files({"out/fine.txt"}));
}

TEST_F(UnzipPathSafetyTest, LinkedFoldersInTheTargetAreNotFollowed) {
    std::filesystem::create_directories(out);
    std::filesystem::create_directory_symlink(outside, out / "docs");
    MakeZip(zip, {File("docs/x.txt", "x")});
    options.recreateFolders = 1;
    EXPECT_EQ(Unzip(), kUnzWriteFailed);
    EXPECT_TRUE(FilesBelow(outside).empty());
    EXPECT_TRUE(std::filesystem::is_symlink(out / "docs"));
}

TEST_F(UnzipPathSafetyTest, LinkedFilesInTheTargetAreReplacedNotWrittenThrough) {
    std::filesystem::create_directories(out);
    WriteFileBytes(outside / "victim.txt", "precious");
    std::filesystem::create_symlink(outside / "victim.txt", out / "x.txt");
    MakeZip(zip, {File("deep/x.txt", "from archive")});

    options.overwriteExisting = 0;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_TRUE(std::filesystem::is_symlink(out / "x.txt"));
    EXPECT_EQ(ReadFileBytes(outside / "victim.txt"), "precious");

    options.overwriteExisting = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_FALSE(std::filesystem::is_symlink(out / "x.txt"));
    EXPECT_EQ(ReadFileBytes(out / "x.txt"), "from archive");
    EXPECT_EQ(ReadFileBytes(outside / "victim.txt"), "precious");
}

TEST_F(UnzipPathSafetyTest, AFileWhereAFolderShouldBeIsNotReplaced) {
    std::filesystem::create_directories(out);
    WriteFileBytes(out / "docs", "a file");
    MakeZip(zip, {File("docs/x.txt", "x")});
    options.recreateFolders = 1;
    EXPECT_EQ(Unzip(), kUnzWriteFailed);
    EXPECT_EQ(ReadFileBytes(out / "docs"), "a file");
}

}  // namespace
}  // namespace quillery
