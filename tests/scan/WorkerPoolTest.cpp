#include <gtest/gtest.h>
#include <sys/resource.h>

#include "scan/ArchivePipeline.h"
#include "scan/FileMatch.h"
#include "scan/ScanFixture.h"
#include "scan/ScanRun.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

TEST(WorkerCountTest, SettingOrHardware) {
    struct Case {
        const char* setting;
        unsigned hardware;
        unsigned threads;
        bool warns;
    };
    const Case cases[] = {
        {nullptr, 4, 4, false},      {nullptr, 0, 1, false}, {nullptr, 1000, 256, false},
        {"8", 2, 8, false},          {"1", 16, 1, false},    {"256", 2, 256, false},
        {"0", 2, 2, true},           {"-3", 2, 2, true},     {"", 2, 2, true},
        {"4x", 2, 2, true},          {" 4", 2, 2, true},     {"257", 2, 2, true},
        {"99999999999", 3, 3, true},
    };
    for (const Case& c : cases) {
        const WorkerCount count = ChooseWorkerCount(c.setting, c.hardware);
        const std::string shown = c.setting ? c.setting : "(unset)";
        EXPECT_EQ(count.threads, c.threads) << shown;
        EXPECT_EQ(!count.warning.empty(), c.warns) << shown;
        EXPECT_EQ(count.warning.find('\n'), std::string::npos) << shown;
    }
}

long ThreadsOfProcess() {
    return std::distance(fs::directory_iterator("/proc/self/task"), {});
}

// Keeps what each log entry is made of at the moment the run asks for it: the counters and
// how many rows there are by then.
class SnapshotLogger : public RunLogger {
  public:
    SnapshotLogger(const RunState& state, const RecordingEvents& events)
        : state_(state), events_(events) {}
    void writeRunLog() override {
        text += QStringLiteral("%1 %2 %3\n")
                    .arg(state_.FilesChecked)
                    .arg(state_.FilesFound)
                    .arg(events_.rows.size());
    }
    QString text;

  private:
    const RunState& state_;
    const RecordingEvents& events_;
};

class WorkerPoolTest : public ScanFixture {
  protected:
    // Everything a run shows the user, in the order it showed it.
    struct Seen {
        QString log;
        QStringList statuses, rows;
        QString checked, found;
        bool operator==(const Seen&) const = default;
    };

    Seen Run(unsigned workers, const QString& search, const QStringList& audit = {}) {
        SnapshotLogger log(state, events);
        ctx.logger = &log;
        state.workerThreads = workers;
        state.AuditMode = !audit.isEmpty();
        state.UseAudit = !audit.isEmpty();
        state.AuditStrings = audit;
        request.searchText = search;
        events.statusHistory.clear();
        state.SearchFolder = request.folder;
        RunScan(ctx, request);
        ctx.logger = &logger;
        Seen seen{log.text, events.statusHistory, {}, events.checked, events.found};
        for (const FoundArchive& row : events.rows) {
            seen.rows.push_back(row.filePath + row.fileName);
        }
        return seen;
    }
};

TEST_F(WorkerPoolTest, OneAndEightWorkersShowTheSameRun) {
    MakeMixedTree();
    const Seen one = Run(1, "needle");
    const Seen eight = Run(8, "needle");
    EXPECT_EQ(one, eight);
    EXPECT_EQ(eight.checked, "    44");  // the hidden folder is skipped; folder.zip counts
    EXPECT_EQ(eight.found, "    12");

    const QStringList audit = {"AUDIT LINE", "needle"};
    const Seen auditOne = Run(1, "", audit);
    EXPECT_EQ(auditOne, Run(8, "", audit));
    EXPECT_EQ(auditOne.found, "    18");
}

TEST_F(WorkerPoolTest, StopWithEightWorkersLeavesNothingRunning) {
    const std::string filler(512 * 1024, 'y');
    for (int i = 0; i < 40; ++i) {
        MakeZip(root / ("s" + std::to_string(i) + ".zip"),
                {{"a.txt", filler + (i % 2 == 0 ? "alpha" : "beta")}});
    }
    const long baseline = ThreadsOfProcess();
    long during = 0;
    events.onYield = [&](int n) {
        if (n == 6) {
            during = ThreadsOfProcess();
            state.KeepScanning = false;  // what the stop button does to the run
            state.ScanIdle = true;
        }
    };
    const Seen stopped = Run(8, "alpha");
    events.onYield = nullptr;
    EXPECT_GE(during, baseline + 8);
    EXPECT_EQ(ThreadsOfProcess(), baseline);
    EXPECT_EQ(stopped.checked, "     4");
    EXPECT_TRUE(FilesBelow(state.WorkFolder).empty());

    // The next run sees only verdicts of its own.
    const Seen next = Run(8, "beta");
    EXPECT_EQ(next.checked, "    40");
    EXPECT_EQ(next.found, "    20");
    for (const QString& row : next.rows) {
        const int number = row.section('/', -1).mid(1).section('.', 0, 0).toInt();
        EXPECT_EQ(number % 2, 1) << row.toStdString();
    }
    EXPECT_EQ(ThreadsOfProcess(), baseline);
}

// Folders listed ahead keep few descriptors open: under a limit of 200 open files, every
// archive of 400 folders is read.
TEST_F(WorkerPoolTest, FoldersListedAheadStayWithinTheOpenFileLimit) {
    for (int i = 0; i < 400; ++i) {
        const fs::path folder = root / ("f" + std::to_string(i));
        fs::create_directory(folder);
        MakeZip(folder / "a.zip", {{"a.txt", "needle"}});
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 200);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const Seen seen = Run(8, "needle");
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(seen.checked, "   400");
    EXPECT_EQ(seen.found, "   400");
}

// Many archives read whole plus one entry larger than any examination may hold: the pool
// admits no more than its budget, streams the large entry, and gets every verdict right.
// With many workers the examinations would together hold more than the budget.
TEST_F(WorkerPoolTest, LargeEntriesKeepTheBytesInFlightWithinTheBudget) {
    std::map<fs::path, bool> expected;
    for (int i = 0; i < 24; ++i) {
        const fs::path zip = root / ("n" + std::to_string(i) + ".zip");
        MakeZip(zip, {{"noise.txt", Noise(1536 * 1024, i), false},
                      {"b.txt", i % 3 == 0 ? "needle" : "hay"}});
        expected[zip] = i % 3 == 0;
    }
    std::string large;
    while (large.size() < 12 * 1024 * 1024) {
        large += "a long line of generated text for the large entry\n";
    }
    MakeZip(root / "large.zip", {{"large.txt", large + "needle"}});
    expected[root / "large.zip"] = true;
    state.SearchString = "needle";
    const TextMatcher matcher = MatcherForRun(state);
    const QString patterns = "*.txt";
    for (const unsigned workers : {8U, 64U}) {
        ArchivePipeline pipeline(
            [&matcher] { return std::make_unique<LocalExaminer>(matcher); },
            PlannedStagingCall(state.staging, patterns, {}, state.WorkFolder, false, true),
            root.path(), true, workers);
        const auto folder = pipeline.enter(root.path().native());
        ASSERT_TRUE(folder);
        ASSERT_EQ(folder->listing.archives.size(), expected.size());
        for (std::size_t i = 0; i < folder->listing.archives.size(); ++i) {
            const fs::path archive = folder->listing.archives[i];
            const StagingCall call =
                PlannedStagingCall(state.staging, patterns, archive, state.WorkFolder, false, true);
            ArchiveVerdict verdict;
            FileIdentity listed, now;
            StagingCall planned = pipeline.plan();
            planned.options.zipFileName = archive;
            ASSERT_TRUE(pipeline.take(folder->firstArchive + i, planned == call, verdict, listed))
                << archive;
            ASSERT_TRUE(ReadFileIdentity(archive.native(), now));
            EXPECT_EQ(listed, now);
            EXPECT_EQ(verdict.result, 0) << archive;
            EXPECT_EQ(verdict.matched, expected.at(archive)) << archive;
        }
        EXPECT_GT(pipeline.peakBytesInFlight(), 0U);
        EXPECT_LE(pipeline.peakBytesInFlight(), ArchivePipeline::kByteBudget) << workers;
        EXPECT_EQ(pipeline.bytesInFlight(), 0U);
    }
}

}  // namespace
}  // namespace quillery::test
