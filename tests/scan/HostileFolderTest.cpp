#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scan/Formats.h"
#include "scan/ScanFixture.h"
#include "scan/ScanRun.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

int Checked(const FakeScanView& view) {
    int n = 0;
    for (const QString& s : view.statusHistory) {
        n += s.startsWith("Checking ... ") ? 1 : 0;
    }
    return n;
}

class HostileFolderTest : public ScanFixture {
  protected:
    void Search(const QString& text) {
        view.search = text;
        view.patterns = "*.txt";
        StartStopClick(ctx);
    }
};

TEST_F(HostileFolderTest, LinkLoopsEndAndEveryRealFolderIsWalkedOnce) {
    Archive("a/one.zip", "x.txt", "needle");
    Archive("b/two.zip", "x.txt", "needle");
    fs::create_directory_symlink(root.path(), root / "a" / "back-to-root");
    fs::create_directory_symlink(root / "b", root / "a" / "b-again");
    fs::create_directory_symlink(root / "a", root / "a" / "self");
    Search("needle");
    EXPECT_EQ(Checked(view), 2);
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.status, "There were 2 files that contained \"needle\", from a total of 2 files");
}

TEST_F(HostileFolderTest, ADeepTreeIsWalkedToTheBottom) {
    fs::path deep = root.path();
    for (int level = 0; level < 200; ++level) {
        deep /= "d";
    }
    fs::create_directories(deep);
    MakeZip(deep / "bottom.zip", {{"x.txt", "needle"}});
    Search("needle");
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].archive, deep / "bottom.zip");
}

TEST_F(HostileFolderTest, FiftyThousandArchivesInOneFolderAreAllCounted) {
    const fs::path crowded = Dir("crowded");
    for (int i = 0; i < 50000; ++i) {
        WriteFileBytes(crowded / ("n" + std::to_string(i) + ".zip"), "");  // not archives
    }
    MakeZip(crowded / "real.zip", {{"x.txt", "needle"}});
    Search("needle");
    EXPECT_EQ(view.checked, " 50001");
    EXPECT_EQ(view.found, "     1");
    EXPECT_EQ(view.status,
              "There were 1 files that contained \"needle\", from a total of 50001 files");
}

TEST_F(HostileFolderTest, NamesWithBlanksLineBreaksAndBytesThatAreNoUtf8) {
    const fs::path odd = Dir("folder with\nline break \xFE");
    MakeZip(odd / "a b\nc\xFF.zip", {{"x.txt", "needle"}});
    Search("needle");
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].archive, odd / "a b\nc\xFF.zip");  // the real name, byte for byte
    EXPECT_TRUE(fs::exists(view.rows[0].archive));
}

TEST_F(HostileFolderTest, ArchivesThatVanishOrTurnIntoFoldersDuringARunAreCounted) {
    for (int i = 0; i < 6; ++i) {
        Archive("z" + std::to_string(i) + ".zip", "x.txt", "needle");
    }
    view.onYield = [&](int n) {
        if (n == 2) {  // before the first archive: take two others away
            std::vector<fs::path> zips;
            for (const auto& e : fs::directory_iterator(root.path())) {
                zips.push_back(e.path());
            }
            std::sort(zips.begin(), zips.end());
            fs::remove(zips[4]);
            fs::remove(zips[5]);
            fs::create_directory(zips[5]);
        }
    };
    Search("needle");
    // One archive is gone from the listing or still listed; none crashes the run.
    EXPECT_GE(state.FilesChecked, 0);
    EXPECT_GE(Checked(view), 5);
    EXPECT_EQ(static_cast<int>(view.rows.size()), 4);
    EXPECT_EQ(logger.entries, 1);
}

TEST_F(HostileFolderTest, FoldersThatCannotBeReadAreSkipped) {
    Archive("open/a.zip", "x.txt", "needle");
    Archive("closed/b.zip", "x.txt", "needle");
    ::chmod((root / "closed").c_str(), 0);
    if (::access((root / "closed").c_str(), R_OK) == 0) {
        ::chmod((root / "closed").c_str(), 0755);
        GTEST_SKIP() << "this user reads every folder";
    }
    Search("needle");
    ::chmod((root / "closed").c_str(), 0755);
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(logger.entries, 1);
}

}  // namespace
}  // namespace quillery::test
