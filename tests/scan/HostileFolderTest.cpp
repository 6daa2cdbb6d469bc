#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scan/ScanFixture.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

using HostileFolderTest = ScanFixture;

TEST_F(HostileFolderTest, LinkLoopsEndDeepTreesAreWalkedAndOddNamesKeptByteForByte) {
    Archive("a/one.zip", "x.txt", "needle");
    Archive("b/two.zip", "x.txt", "needle");
    fs::create_directory_symlink(root.path(), root / "a" / "back-to-root");
    fs::create_directory_symlink(root / "b", root / "a" / "b-again");
    fs::create_directory_symlink(root / "a", root / "a" / "self");
    fs::path deep = root.path();
    for (int level = 0; level < 200; ++level) {
        deep /= "d";
    }
    const fs::path odd = deep / "folder with\nline break \xFE" / "a b\nc\xFF.zip";
    fs::create_directories(odd.parent_path());
    MakeZip(odd, {{"x.txt", "needle"}});
    ASSERT_EQ(::mkfifo((root / "b" / "pipe.zip").c_str(), 0600), 0);  // never opens as a file
    Search("needle");
    EXPECT_EQ(Checked().size(), 4);
    EXPECT_EQ(events.statusText, Summary(3, 4, "needle"));
    ASSERT_EQ(events.rows.size(), 3u);
    EXPECT_EQ(std::count_if(events.rows.begin(), events.rows.end(),
                            [&](const FoundArchive& row) { return row.archive == odd; }),
              1);  // the real name, byte for byte
}

TEST_F(HostileFolderTest, FiftyThousandArchivesInOneFolderAreAllCounted) {
    fs::create_directories(root / "crowded");
    for (int i = 0; i < 50000; ++i) {
        WriteFileBytes(root / "crowded" / ("n" + std::to_string(i) + ".zip"), "");  // no archives
    }
    MakeZip(root / "crowded" / "real.zip", {{"x.txt", "needle"}});
    Search("needle");
    EXPECT_EQ(events.checked, " 50001");
    EXPECT_EQ(events.statusText, Summary(1, 50001, "needle"));
}

TEST_F(HostileFolderTest, ArchivesThatVanishAndFoldersThatCannotBeReadAreSkipped) {
    for (int i = 0; i < 6; ++i) {
        Archive("z" + std::to_string(i) + ".zip", "x.txt", "needle");
    }
    Archive("closed/b.zip", "x.txt", "needle");
    ::chmod((root / "closed").c_str(), 0);
    const bool closed = ::access((root / "closed").c_str(), R_OK) != 0;
    events.onYield = [&](int n) {
        if (n == 2) {  // before the first archive: take two others away
            fs::remove(root / "z4.zip");
            fs::remove(root / "z5.zip");
            fs::create_directory(root / "z5.zip");
        }
    };
    Search("needle");
    ::chmod((root / "closed").c_str(), 0755);
    // Every listed archive is counted. The two taken away may still be listed when the
    // look-ahead thread read them before they went.
    EXPECT_EQ(Checked().size(), closed ? 6 : 7);
    EXPECT_GE(events.rows.size(), closed ? 4u : 5u);
    EXPECT_EQ(logger.entries, 1);
}

}  // namespace
}  // namespace quillery::test
