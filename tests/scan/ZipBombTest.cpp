#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>

#include "archive/UnzipResult.h"
#include "scan/ScanFixture.h"
#include "scan/ScanRun.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// A small archive whose one text entry inflates to far more than the limit in force.
class ZipBombTest : public ScanFixture {
  protected:
    void SetUp() override {
        const fs::path big = root / "bomb.txt";
        {
            std::ofstream out(big, std::ios::binary);
            const std::string block(1 << 20, 'A');
            for (int i = 0; i < 96; ++i) {
                out << block;
            }
            out << "needle";
        }
        MakeZipFromFile(root / "bomb.zip", "bomb.txt", big);
        fs::remove(big);
        Archive("fine.zip", "fine.txt", "a needle");
        ASSERT_LT(fs::file_size(root / "bomb.zip"), 1u << 20);
    }
};

TEST_F(ZipBombTest, TheScanStopsAtTheLimitCountsTheArchiveAndGoesOn) {
    state.staging.scanEntryLimit = 16 << 20;
    view.search = "needle";
    view.patterns = "*.txt";
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    StartStopClick(ctx);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(view.rowNames(), QStringList{"fine.zip"});
    EXPECT_EQ(view.status, "There were 1 files that contained \"needle\", from a total of 2 files");
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
}

TEST_F(ZipBombTest, ViewerAndExtractionStagingStopAtTheirLimitsAndWriteNothingPartial) {
    state.staging.viewerEntryLimit = 16 << 20;
    view.patterns = "*.txt";
    EXPECT_EQ(StageArchive(state.staging, view, questions, root / "bomb.zip", state.WorkFolder,
                           false, false),
              kUnzTooLarge);
    EXPECT_TRUE(fs::is_empty(state.WorkFolder));

    state.staging.extractEntryLimit = 16 << 20;
    const fs::path out = Dir("out");
    EXPECT_EQ(StageArchive(state.staging, view, questions, root / "bomb.zip", out, false, true),
              kUnzTooLarge);
    EXPECT_TRUE(fs::is_empty(out));
}

}  // namespace
}  // namespace quillery::test
