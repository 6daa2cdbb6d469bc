#include "scan/ReaderProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "archive/UnzipResult.h"
#include "scan/ArchiveExaminer.h"
#include "scan/ArchivePipeline.h"
#include "scan/HostileArchives.h"
#include "scan/ReaderLauncher.h"
#include "support/FakeQuestions.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Whether the process is gone and reaped within a second (a zombie still takes signal 0; a
// reader forked by the launcher is reaped by it a moment after it is killed).
bool Gone(pid_t pid) {
    for (int i = 0; i < 100; ++i) {
        if (::kill(pid, 0) != 0 && errno == ESRCH) {
            return true;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    return false;
}

long PeakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Every case runs with readers forked by the launcher and with readers started as the
// program run again.
class ReaderProcessTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam()) {
            ASSERT_NE(ReaderLauncher::Get(), nullptr) << "the test program starts no launcher";
        }
    }
    // The limits of a reader of this case: the given ones, started the case's way.
    ReaderLimits Way(ReaderLimits limits = {}) const {
        limits.fromLauncher = GetParam();
        return limits;
    }

    // The call a scan makes for the archive, selecting *.txt (every entry for other formats).
    StagingCall ScanCall(const fs::path& archive, bool allArchives = false) const {
        StagingState staging;
        staging.allArchives = allArchives;
        return PlannedStagingCall(staging, allArchives ? "*.*" : "*.txt", archive, root / "work",
                                  false, true);
    }
    fs::path Hostile(const std::string& name, std::string_view bytes) const {
        const fs::path path = root / name;
        WriteFileBytes(path, std::string(bytes));
        return path;
    }

    TempDir root;
    ReaderSearch search{QStringLiteral("needle"), false, false, {}};
};

TEST_P(ReaderProcessTest, ExaminedArchivesGiveTheVerdictsAndSummariesOfThisProcess) {
    std::string filler;
    while (filler.size() < 300 * 1024) {
        filler += "filler text that goes on\n";
    }
    MakeZip(root / "found.zip", {{"a.txt", "the Needle"}});
    MakeZip(root / "missed.zip", {{"a.txt", "hay"}, {"b.bin", "needle"}});
    MakeZip(root / "two.zip", {{"a.txt", filler}, {"b.txt", filler + "NEEDLE"}});
    MakeZip(root / "crc.zip", {{"a.txt", "needle"}});
    CorruptCrc(root / "crc.zip", "a.txt");
    MakeZip(root / "cut.zip", {{"a.txt", filler + "needle"}});
    fs::resize_file(root / "cut.zip", fs::file_size(root / "cut.zip") / 2);
    MakeZip(root / "locked.zip", {{"a.txt", "needle", true, "pw"}});
    WriteFileBytes(root / "fake.zip", "this is no archive");
    MakeZip(root / "audit.zip", {{"a.txt", "an audit line"}});
    const ReaderSearch audit{{}, true, true, {QStringLiteral("AUDIT LINE"), QStringLiteral("x")}};
    const struct {
        const char* archive;
        const ReaderSearch* search;
    } rows[] = {
        {"found.zip", &search}, {"missed.zip", &search}, {"two.zip", &search},
        {"crc.zip", &search},   {"cut.zip", &search},    {"locked.zip", &search},
        {"fake.zip", &search},  {"absent.zip", &search}, {"audit.zip", &audit},
        {"found.zip", &audit},
    };
    ReaderLimits limits;
    limits.pipelineDepth = 3;
    ReaderProcess reader(Way(limits));
    // Each search is one batch; each archive with and without its summaries.
    for (const ReaderSearch* batch : {static_cast<const ReaderSearch*>(&search), &audit}) {
        std::vector<ExamineJob> jobs;
        std::vector<std::size_t> rowOfJob;
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            if (rows[i].search == batch) {
                for (const bool summarise : {false, true}) {
                    jobs.push_back({ScanCall(root / rows[i].archive), summarise});
                    rowOfJob.push_back(i);
                }
            }
        }
        const TextMatcher matcher = MatcherForSearch(*batch);
        std::size_t next = 0;
        reader.examine(*batch, jobs, [&](std::size_t job, ReaderAnswer& answer) {
            SCOPED_TRACE(rows[rowOfJob[job]].archive);
            EXPECT_EQ(job, next++);
            ASSERT_TRUE(answer.examined) << answer.failure;
            LocalExaminer here(matcher);
            const Examination expected = here.examine(jobs[job].call, true, nullptr);
            EXPECT_EQ(answer.result, expected.verdict.result);
            EXPECT_EQ(answer.matched, expected.verdict.matched);
            if (jobs[job].summarise) {
                EXPECT_EQ(answer.summaries, expected.entries);
            } else {
                EXPECT_TRUE(answer.summaries.empty());
            }
        });
        EXPECT_EQ(next, jobs.size());
    }
    EXPECT_EQ(reader.starts(), 1U);
}

TEST_P(ReaderProcessTest, ArchivesThatNeverEndAreStoppedAndNamedWhileThisProcessStaysSmall) {
    const fs::path iso = Hostile("loop.iso", kRockRidgeLoopIso);
    const fs::path xar = Hostile("self.xar", kXarSelfLink);
    ReaderLimits limits;
    limits.base = milliseconds(1500);
    limits.perTenMegabytes = milliseconds(0);
    limits.stageStall = milliseconds(1500);
    limits.residentBytes = std::uint64_t{256} << 20;
    const struct {
        const char* name;
        fs::path archive;
        bool stage;
        std::string failure;
    } rows[] = {
        {"looping image", iso, false, "reader ran out of its memory limit"},
        {"self-linked xar", xar, false, "reader took longer than 1.5 s"},
        {"self-linked xar staged", xar, true, "reader made no progress for 1.5 s"},
    };
    const long peakBefore = PeakResidentKiB();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReaderProcess reader(Way(limits));
        // A reader that is known to run, so that its end can be seen.
        const ProbeAnswer probe =
            reader.probe(root / "probe", row.stage ? root / "staged" : fs::path());
        ASSERT_TRUE(probe.answered) << probe.failure;
        const pid_t pid = reader.pid();
        const auto start = Clock::now();
        ReaderAnswer answer;
        if (row.stage) {
            StagingState staging;
            staging.allArchives = true;
            const StagingCall call =
                PlannedStagingCall(staging, {}, row.archive, root / "staged", true, false);
            answer = reader.stage(call, nullptr, nullptr);
        } else {
            answer = reader.examineOne(search, {ScanCall(row.archive, true), false});
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_FALSE(answer.examined);
        EXPECT_EQ(answer.failure, row.failure);
        EXPECT_EQ(answer.result, kUnzCorrupt);
        EXPECT_EQ(reader.pid(), 0);
        EXPECT_TRUE(Gone(pid));
    }
    EXPECT_LT(PeakResidentKiB() - peakBefore, 64 * 1024);
}

// A reader killed from outside gets its job again in a fresh reader; killed a second time on
// the same job, the job fails and the rest go on.
TEST_P(ReaderProcessTest, AKilledReaderIsReplacedAndItsJobTriedOnceMore) {
    for (const char* name : {"a.zip", "b.zip", "c.zip"}) {
        MakeZip(root / name, {{"x.txt", std::string("needle in ") + name}});
    }
    const fs::path xar = Hostile("self.xar", kXarSelfLink);
    ReaderProcess reader(Way());  // deadlines far beyond the test
    const std::vector<ExamineJob> jobs = {{ScanCall(root / "a.zip")},
                                          {ScanCall(xar, true)},
                                          {ScanCall(root / "b.zip")},
                                          {ScanCall(root / "c.zip")}};
    std::vector<pid_t> killed;
    std::atomic<bool> done{false};
    // Kills each reader that is stuck in the xar archive (the first answer is in by then).
    std::thread killer([&] {
        while (!done && killed.size() < 2) {
            std::this_thread::sleep_for(milliseconds(200));
            const pid_t pid = reader.pid();
            if (pid != 0 && (killed.empty() || killed.back() != pid)) {
                killed.push_back(pid);
                ::kill(pid, SIGKILL);
            }
        }
    });
    std::vector<ReaderAnswer> answers;
    reader.examine(search, jobs,
                   [&](std::size_t, ReaderAnswer& answer) { answers.push_back(answer); });
    done = true;
    killer.join();
    ASSERT_EQ(answers.size(), 4U);
    EXPECT_TRUE(answers[0].examined && answers[0].matched);
    EXPECT_FALSE(answers[1].examined);
    EXPECT_EQ(answers[1].failure, "reader crashed (signal 9)");
    EXPECT_TRUE(answers[2].examined && answers[2].matched) << answers[2].failure;
    EXPECT_TRUE(answers[3].examined && answers[3].matched) << answers[3].failure;
    EXPECT_EQ(reader.starts(), 3U);
    ASSERT_EQ(killed.size(), 2U);
    EXPECT_TRUE(Gone(killed[0]) && Gone(killed[1]));
    const pid_t last = reader.pid();
    reader.stop();
    EXPECT_TRUE(Gone(last));
}

TEST_P(ReaderProcessTest, CancellingAStuckReaderReturnsAtOnce) {
    const fs::path xar = Hostile("self.xar", kXarSelfLink);
    MakeZip(root / "a.zip", {{"x.txt", "needle"}});
    ReaderProcess reader(Way());
    std::atomic<bool> cancel{false};
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        std::this_thread::sleep_for(milliseconds(300));
        cancelledAt = Clock::now();
        cancel = true;
    });
    std::vector<ReaderAnswer> answers;
    reader.examine(
        search, {{ScanCall(xar, true)}, {ScanCall(root / "a.zip")}},
        [&](std::size_t, ReaderAnswer& answer) { answers.push_back(answer); }, &cancel);
    const auto returned = Clock::now();
    canceller.join();
    EXPECT_LT(returned - cancelledAt, kStuckReaderGone);
    ASSERT_EQ(answers.size(), 2U);
    for (const ReaderAnswer& answer : answers) {
        EXPECT_FALSE(answer.examined);
        EXPECT_EQ(answer.result, kUnzCancelled);
        EXPECT_EQ(answer.failure, "cancelled");
    }
    EXPECT_EQ(reader.pid(), 0);
}

TEST_P(ReaderProcessTest, AScanningReaderCannotConnectOrWriteAndAStagingOneWritesOnlyItsFolder) {
    ReaderProcess reader(Way());
    const ProbeAnswer scan = reader.probe(root / "written-by-scan");
    ASSERT_TRUE(scan.answered) << scan.failure;
    EXPECT_FALSE(fs::exists(root / "written-by-scan"));
    if ((scan.layers & kSeccomp) != 0) {
        EXPECT_EQ(scan.socketErrno, EPERM);
        EXPECT_EQ(scan.openErrno, EPERM);
    } else if ((scan.layers & kLandlock) != 0) {
        EXPECT_EQ(scan.openErrno, EACCES);
    } else {
        GTEST_SKIP() << "neither seccomp nor Landlock is available here";
    }

    // Extract Files: every entry with its folders, the password asked of this process.
    MakeZip(root / "files.zip", {{"top.txt", "top"},
                                 Folder("sub/"),
                                 {"sub/inner.txt", "inner"},
                                 {"sub/locked.txt", "secret", true, "pw"}});
    const fs::path target = root / "target";
    StagingState staging;
    const StagingCall call =
        PlannedStagingCall(staging, {}, root / "files.zip", target, true, false);
    staging.NoPasswordPrompt = call.noPasswordPrompt;
    FakeQuestions questions;
    questions.passwordAnswers = {QStringLiteral("pw")};
    const ReaderAnswer staged = reader.stage(call, &staging, &questions);
    ASSERT_TRUE(staged.examined) << staged.failure;
    EXPECT_EQ(staged.result, kUnzOk);
    EXPECT_EQ(questions.passwordCalls, 1);
    EXPECT_EQ(FilesBelow(target),
              (std::vector<std::string>{"sub/inner.txt", "sub/locked.txt", "top.txt"}));
    EXPECT_EQ(ReadFileBytes(target / "sub" / "locked.txt"), "secret");

    const ProbeAnswer inside = reader.probe(target / "inside", target);
    const ProbeAnswer beside = reader.probe(root / "beside", target);
    ASSERT_TRUE(inside.answered && beside.answered) << inside.failure << beside.failure;
    EXPECT_EQ(inside.openErrno, 0);
    if ((beside.layers & kSeccomp) != 0) {
        EXPECT_EQ(beside.socketErrno, EPERM);
    }
    if ((beside.layers & kLandlock) == 0) {
        GTEST_SKIP() << "Landlock is not available here";
    }
    EXPECT_EQ(beside.openErrno, EACCES);
    EXPECT_FALSE(fs::exists(root / "beside"));
}

INSTANTIATE_TEST_SUITE_P(StartedEitherWay, ReaderProcessTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Forked" : "Run";
                         });

}  // namespace
}  // namespace quillery::test
