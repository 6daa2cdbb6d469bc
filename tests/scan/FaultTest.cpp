#include <gtest/gtest.h>

#include "scan/ScanFixture.h"
#include "scan/ScanRun.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// Closing the program at a yield, as its shutdown does: stop, log the run reached so far,
// remove the work folder, and let the walk unwind without touching the window again.
class FaultTest : public ScanFixture {
  protected:
    void Shutdown() {
        state.KeepScanning = false;
        if (state.FilesChecked != 0) {
            logger.writeRunLog();
        }
        RemoveWorkFolder(state);
        state.closing = true;
    }
    void BuildTree() {
        for (int i = 0; i < 3; ++i) {
            Archive("a" + std::to_string(i) + ".zip", "x.txt", "needle");
            Archive("sub/b" + std::to_string(i) + ".zip", "x.txt", "needle");
        }
    }
};

TEST_F(FaultTest, ClosingAtEveryYieldLogsOnceAndLeavesNothingBehind) {
    BuildTree();
    view.search = "needle";
    view.patterns = "*.txt";
    StartStopClick(ctx);
    const int yields = view.yields;
    ASSERT_EQ(yields, 2 + 6);

    for (int closeAt = 1; closeAt <= yields; ++closeAt) {
        RunState fresh;
        state = fresh;
        SetUpWorkFolder(state, questions);
        const fs::path work = state.WorkFolder;
        logger.entries = 0;
        view.yields = 0;
        view.statusHistory.clear();
        view.onYield = [&](int n) {
            if (n == closeAt) {
                Shutdown();
            }
        };
        StartStopClick(ctx);
        view.onYield = nullptr;
        // The archive examined when the close came in is the last one.
        EXPECT_EQ(logger.entries, closeAt > 2 ? 1 : 0) << closeAt;
        EXPECT_FALSE(fs::exists(work)) << closeAt;
        EXPECT_FALSE(view.statusHistory.contains("Sorting File List .....")) << closeAt;
        EXPECT_FALSE(state.runActive);
    }
}

TEST_F(FaultTest, StopAndStartAgainAtEveryYield) {
    BuildTree();
    view.search = "needle";
    view.patterns = "*.txt";
    StartStopClick(ctx);
    const int yields = view.yields;
    for (int at = 1; at <= yields; ++at) {
        view.yields = 0;
        int starts = 0;
        view.onYield = [&](int n) {
            if (n == at) {
                StartStopClick(ctx);  // stop
                StartStopClick(ctx);  // start while unwinding: refused
            }
            ++starts;
        };
        logger.entries = 0;
        StartStopClick(ctx);
        view.onYield = nullptr;
        EXPECT_EQ(logger.entries, 1) << at;
        EXPECT_TRUE(state.ScanIdle);
        EXPECT_EQ(view.startCaption, "&Start Scanning");
        // A fresh start afterwards runs to the end.
        StartStopClick(ctx);
        EXPECT_EQ(view.rows.size(), 6u) << at;
    }
}

}  // namespace
}  // namespace quillery::test
