#include <string>

#include "UnzipFixture.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// The target sits inside a sandbox folder so that anything escaping it can be seen.
class UnzipSafetyTest : public UnzipFixture {
  protected:
    UnzipSafetyTest() {
        fs::create_directories(outside);
        out = dir / "sandbox" / "out";
        options.extractFolder = out;
        options.overwriteExisting = 1;
        options.recreateFolders = 1;
    }

    fs::path outside = dir / "outside";
};

TEST_F(UnzipSafetyTest, HostileNamesLandInsideTheTarget) {
    const std::string longName(300, 'n');
    MakeZip(zip, {{"../evil.txt", "1"},
                  {"/etc/abs.txt", "2"},
                  {"C:\\drive.txt", "3"},
                  {"a/../../b.txt", "4"},
                  {"..\\..\\win.txt", "5"},
                  {"Readme.txt", "one"},
                  {"README.TXT", "two"},
                  {"bad\xFF\xFE name.txt", "b"},
                  Link("link", "../../outside/target"),
                  {"..", "x"},
                  {"C:", "y"}});
    options.caseInsensitiveNames = 1;
    EXPECT_EQ(Unzip(), kUnzWarning);  // the names with nothing left are skipped
    EXPECT_EQ(
        FilesBelow(dir / "sandbox"),
        Files({"out/README.TXT", "out/Readme.txt", "out/a/b.txt", "out/bad\u00A0\u25A0 name.txt",
               "out/drive.txt", "out/etc/abs.txt", "out/evil.txt", "out/link", "out/win.txt"}));
    EXPECT_FALSE(fs::is_symlink(out / "link"));
    EXPECT_EQ(ReadFileBytes(out / "link"), "../../outside/target");
    EXPECT_TRUE(FilesBelow(outside, true).empty());

    // A name the file system cannot take is reported, never written elsewhere.
    MakeZip(zip, {{longName + ".txt", "long"}});
    EXPECT_EQ(Unzip(), kUnzWriteFailed);
    EXPECT_TRUE(FilesBelow(outside, true).empty());
}

TEST_F(UnzipSafetyTest, LinksAndFilesInTheTargetAreNeverFollowedOrReplacedByFolders) {
    fs::create_directories(out);
    fs::create_directory_symlink(outside, out / "docs");
    WriteFileBytes(outside / "victim.txt", "precious");
    fs::create_symlink(outside / "victim.txt", out / "x.txt");
    WriteFileBytes(out / "file", "a file");
    MakeZip(zip, {{"docs/x.txt", "x"}});
    EXPECT_EQ(Unzip(), kUnzWriteFailed);
    MakeZip(zip, {{"file/x.txt", "x"}});
    EXPECT_EQ(Unzip(), kUnzWriteFailed);
    EXPECT_EQ(ReadFileBytes(out / "file"), "a file");

    MakeZip(zip, {{"deep/x.txt", "from archive"}});
    options.recreateFolders = 0;
    options.overwriteExisting = 0;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_TRUE(fs::is_symlink(out / "x.txt"));
    options.overwriteExisting = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_FALSE(fs::is_symlink(out / "x.txt"));
    EXPECT_EQ(ReadFileBytes(out / "x.txt"), "from archive");
    EXPECT_EQ(FilesBelow(outside, true), Files({"victim.txt"}));
    EXPECT_EQ(ReadFileBytes(outside / "victim.txt"), "precious");
}

}  // namespace
}  // namespace quillery::test
