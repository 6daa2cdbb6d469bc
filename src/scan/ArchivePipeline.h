#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/Staging.h"
#include "archive/TargetFiles.h"
#include "index/CollectionIndex.h"
#include "index/FileIdentity.h"
#include "scan/ArchiveExaminer.h"
#include "scan/TreeLister.h"

namespace quillery {

struct RunIndex;

// Lists the tree for a walk and examines its archives ahead of it on a pool of worker
// threads. The one listing (TreeLister), made by one thread at a time (a worker, or the walk
// while it waits), hands the walk its folders in walk order (enter) and gives the workers
// the archives that follow, numbered in walk order; the pool keeps a window
// of archives queued, running or examined ahead of the walk, bounded in archives and in the
// memory that running examinations may hold. The walk asks for each archive's verdict in
// turn (take) and decides everything the user sees; a verdict is only used for the call it
// was made for, otherwise take answers false and the walk examines the archive itself.
// stop() (and the destructor) abandons queued and running work at once and waits for every
// worker to end; the listing goes on for the walk alone.
class ArchivePipeline {
  public:
    // examiners: makes the examiner of each thread that reads archives (the workers', and
    // the walk's when it examines one itself). plan: the call for an archive, with its path
    // left empty. workers: threads to start (at least one is not needed: without any, the
    // walk's requests list and examine). index: the run's, or null.
    ArchivePipeline(ExaminerFactory examiners, StagingCall plan, std::filesystem::path root,
                    bool includeSubFolders, unsigned workers, RunIndex* index = nullptr);
    ~ArchivePipeline();
    ArchivePipeline(const ArchivePipeline&) = delete;
    ArchivePipeline& operator=(const ArchivePipeline&) = delete;

    // The walk enters the next folder in walk order, folder (a path as the listings give it):
    // its listing, or null when the folder was walked before (reached again through a link).
    std::shared_ptr<const ListedFolder> enter(const std::string& folder);
    // The verdict for the archive numbered sequence, the next one of the folder entered last
    // (archives are asked for in order; those left out are left with skip), when one was or
    // can be made here; false otherwise. plannedCall: whether the walk's call for it is plan()
    // with its path (else nothing made ahead holds). listed: the file's identity when it was
    // listed, before it was examined; the verdict holds only while the file still has it.
    bool take(std::uint64_t sequence, bool plannedCall, ArchiveVerdict& verdict,
              FileIdentity& listed);
    // The walk leaves rest of the folder entered last out, as a stopped run does: stops the
    // pool, forgets what was listed ahead and lists on from the walk's place.
    void skip(TreeLister::Rest rest);
    // The call for every archive, with its path left empty.
    const StagingCall& plan() const { return plan_; }
    // The examiner of the walk's thread, for the archives the walk examines itself.
    ArchiveExaminer& walkExaminer();
    // While the walk waits for a verdict it calls goOn every few hundredths of a second; when
    // that answers false, the pool stops and take answers false.
    void setWalkWait(std::function<bool()> goOn) { walkGoesOn_ = std::move(goOn); }
    // Whether the walk, while it waits, examines archives no worker got to yet (the
    // default). Off where an examination may take long (in a reader that may be stuck):
    // the walk then only waits, and its waits let events run.
    void setWalkExamines(bool examines) { walkExamines_ = examines; }
    void stop();

    // The memory that running examinations may hold together: each reserves what its
    // extraction may keep in memory (its archive when read whole, an entry's compressed and
    // inflated bytes) before it starts, and one starts only when its reservation fits, or
    // when nothing else runs. A batch, read one archive after the other, reserves what its
    // largest archive needs.
    static constexpr std::uint64_t kByteBudget = std::uint64_t{64} << 20;
    std::uint64_t bytesInFlight() const;
    std::uint64_t peakBytesInFlight() const;
    // The memory limit each examination runs under.
    std::uint64_t memoryLimit() const { return memoryLimit_; }

  private:
    // Queued: waits for a worker. Settling: just listed, its identity and the index's answer
    // being taken by the thread that listed it. Running: being examined. Done: its verdict
    // is made.
    enum class JobState { Settling, Queued, Running, Done };
    struct Job {
        std::uint64_t sequence = 0;
        std::string archive;
        bool identified = false;  // whether identity could be read when it was listed
        FileIdentity identity;
        std::uint64_t size = 0;  // of the archive's file (0 when not identified)
        std::uint64_t reservation = 0;
        std::uint64_t charged = 0;  // what bytesInFlight holds for it while it runs
        JobState state = JobState::Settling;
        ArchiveVerdict verdict;
        bool made = true;  // false: the examination failed and the verdict means nothing
        // What the index held of the file with identity, when it was asked.
        bool looked = false;
        CollectionIndex::Lookup lookup;
    };

    struct PooledExaminer;
    // A worker's loop; first: the examiner it gets ready before it joins the others', if any.
    void work(PooledExaminer first);
    // Lists on for up to count archives and up to folders folders (the lock is released
    // meanwhile), keeps the folders for the walk and settles the archives as jobs. Only when
    // no other thread is listing. byWorker: the listing thread is a worker, which takes one of
    // the jobs itself (the others are woken for the rest).
    void listSome(std::unique_lock<std::mutex>& lock, std::size_t count, std::size_t folders,
                  bool byWorker);
    // Takes the identities of jobs just listed and claimed by this thread, in their folders
    // (descriptors, or empty), answers what the index can, and queues the rest. The lock is
    // released meanwhile, so that other threads list and settle further jobs.
    void settle(std::unique_lock<std::mutex>& lock, const std::vector<Job*>& claimed,
                const std::vector<std::shared_ptr<const UniqueFd>>& folders);
    // How many archives a worker should list now (0: none).
    std::size_t listingWanted() const;
    // How many archives the walk should list while it waits for a verdict (0: none).
    std::size_t walkListingWanted() const;
    // Waits for the thread that is listing, or lists a few steps on for the walk.
    void listForWalk(std::unique_lock<std::mutex>& lock);
    // Runs the first queued job from index first on, if its reservation fits; the lock is
    // released meanwhile. onlyReadWhole: only an archive small enough to be read whole.
    bool runQueued(std::unique_lock<std::mutex>& lock, ArchiveExaminer& examiner, std::size_t first,
                   bool onlyReadWhole = false);
    // Examines a batch of queued jobs; the lock is released meanwhile, and each job is done
    // as soon as its verdict is made.
    void run(std::unique_lock<std::mutex>& lock, ArchiveExaminer& examiner,
             const std::vector<Job*>& batch);

    // Whether job's reservation fits the budget beside what runs, when it is examined after
    // alongside by the same examiner (which reads one archive at a time: a batch holds what
    // its largest reservation says).
    bool fits(const Job& job, const std::vector<Job*>& alongside) const;
    void dropFront();
    void wakeWorker();
    void wakeWalk();
    // wakeWalk, unless the walk was woken a moment ago: verdicts of a batch that come in a
    // quick row then wake it once, at the batch's end (or when it looks again by itself).
    void wakeWalkSoon();
    void waitForWalk(std::unique_lock<std::mutex>& lock);
    // waitForWalk for at most a moment; false when the walk's goOn then asks to stop.
    bool waitForVerdict(std::unique_lock<std::mutex>& lock);

    const ExaminerFactory examiners_;
    std::unique_ptr<ArchiveExaminer> walkExaminer_;
    // The workers' examiners not in use, oldest first: a worker takes the oldest, so that a
    // run that reads little keeps to one examiner (one reader process) instead of one each.
    struct PooledExaminer {
        std::uint64_t made = 0;  // the how-manieth examiner made
        std::unique_ptr<ArchiveExaminer> examiner;
    };
    std::vector<PooledExaminer> idleExaminers_;
    std::uint64_t examinersMade_ = 0;
    std::function<bool()> walkGoesOn_;
    bool walkExamines_ = true;
    RunIndex* const index_;
    const StagingCall plan_;
    const std::string planKey_;  // the index's key of plan_
    const std::size_t workers_;  // asked for (threads_ may hold fewer)
    const std::size_t aheadArchives_;
    const std::uint64_t memoryLimit_;

    // Its steps are made by the one thread that is listing and taken by the walk.
    TreeLister lister_;
    mutable std::mutex mutex_;
    std::condition_variable workerWake_;  // idle workers wait here
    std::condition_variable walkWake_;    // the walk waits here for a verdict or a listing
    std::size_t idleWorkers_ = 0;
    bool walkWaits_ = false;
    // When the walk was last woken for a verdict, and whether a wake was put off (see
    // wakeWalkSoon).
    std::chrono::steady_clock::time_point walkWoken_;
    bool walkWakeOwed_ = false;
    bool waitsForMemory_ = false;  // a queued job did not fit the budget
    // The window's jobs in walk order, in slots that are reused: a job stays where it is
    // (its thread may hold it while the lock is released) until it leaves the front.
    class JobRing {
      public:
        explicit JobRing(std::size_t capacity) : slots_(std::max<std::size_t>(capacity, 1)) {}
        std::size_t size() const { return count_; }
        Job& operator[](std::size_t i) { return slots_[(head_ + i) % slots_.size()]; }
        Job& front() { return slots_[head_]; }
        // Never more than the capacity: the window's bound keeps the count below it.
        Job& emplace_back();
        void pop_front();
        void clear() { count_ = 0; }

      private:
        std::vector<Job> slots_;
        std::size_t head_ = 0, count_ = 0;
    };
    JobRing jobs_;
    // Folders listed that the walk has not entered yet, in walk order.
    std::deque<TreeStep> folders_;
    std::size_t queued_ = 0;  // jobs in the Queued state
    bool listing_ = false;
    bool treeDone_ = false;        // the lister gave its last step
    std::uint64_t nextTaken_ = 0;  // the lowest archive number the walk may still ask for
    std::uint64_t inFlight_ = 0;
    std::uint64_t peak_ = 0;
    std::atomic<bool> cancel_{false};
    std::vector<std::thread> threads_;
};

}  // namespace quillery
