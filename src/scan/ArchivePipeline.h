#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "archive/Staging.h"
#include "archive/TargetFiles.h"
#include "index/CollectionIndex.h"
#include "scan/FolderListing.h"
#include "scan/TextMatcher.h"

namespace quillery {

// What examining one archive gives: the extraction's result and whether a complete entry
// matched.
struct ArchiveVerdict {
    int result = 0;
    bool matched = false;
    bool fromIndex = false;  // given by the index without reading the archive
};

class TreeOrder;
struct RunIndex;

// A folder as the pool listed it: its entries and an open descriptor of it (null when it
// could not be kept).
struct ListedFolder {
    FolderListing listing;
    std::shared_ptr<const UniqueFd> descriptor;
};

// What a file on disk was at one moment (unknown when it could not be read).
struct FileStamp {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds

    bool operator==(const FileStamp&) const = default;
};
// The stamp of path now; with folder (an open descriptor of the folder that holds it), only
// the file's name is looked up there.
FileStamp StampOf(const std::string& path, int folder = AT_FDCWD);

// Examines one archive with a prepared call: the one step that the workers and the walk
// share. Safe on any thread; with cancel, stops soon after it is set (between entries and
// between inflated pieces) with a result that is not 0.
ArchiveVerdict ExamineWithCall(const StagingCall& call, const TextMatcher& matcher,
                               const std::atomic<bool>* cancel = nullptr);

// Examines the archives of a walk ahead of it on a pool of worker threads. The pool lists
// the same tree in the same order as the walk (its own listing, read only) and keeps a
// window of archives queued, running or examined ahead of the walk, bounded in archives
// and in the memory that running examinations may hold. The walk asks for each archive's
// verdict in turn (take) and decides everything the user sees; a verdict is only used for
// the very archive and call it was made for, otherwise take answers false and the walk
// examines the archive itself. stop() (and the destructor) abandons queued and running work
// at once and waits for every worker to end.
class ArchivePipeline {
  public:
    // plan: the call for an archive, with its path left empty. workers: threads to start
    // (at least one is not needed: without any, take examines each archive itself). index:
    // the run's, or null.
    ArchivePipeline(const TextMatcher& matcher, StagingCall plan, std::filesystem::path root,
                    bool includeSubFolders, unsigned workers, RunIndex* index = nullptr);
    ~ArchivePipeline();
    ArchivePipeline(const ArchivePipeline&) = delete;
    ArchivePipeline& operator=(const ArchivePipeline&) = delete;

    // The verdict for archive, when one was or can be made here; false otherwise.
    // plannedCall: whether the walk's call for it is plan() with its path (else nothing made
    // ahead holds). listed: the file's stamp when it was listed, before it was examined; the
    // verdict holds only while the file still has it.
    bool take(const std::string& archive, bool plannedCall, ArchiveVerdict& verdict,
              FileStamp& listed);
    // The call for every archive, with its path left empty.
    const StagingCall& plan() const { return plan_; }
    // The pool's listing of folder (a path as the listings give it), once, when the pool
    // has listed it already: the walk then need not read the folder again.
    std::shared_ptr<const ListedFolder> takeListing(const std::string& folder);
    void stop();

    // The memory that running examinations may hold together: each reserves what its
    // extraction may keep in memory (its archive when read whole, an entry's compressed and
    // inflated bytes) before it starts, and one starts only when its reservation fits, or
    // when nothing else runs.
    static constexpr std::uint64_t kByteBudget = std::uint64_t{64} << 20;
    std::uint64_t bytesInFlight() const;
    std::uint64_t peakBytesInFlight() const;
    // The memory limit each examination runs under.
    std::uint64_t memoryLimit() const { return memoryLimit_; }

  private:
    enum class JobState { Queued, Running, Done };
    struct Job {
        std::string archive;
        FileStamp stamp;         // when it was listed
        std::uint64_t size = 0;  // of the archive's file
        std::uint64_t reservation = 0;
        JobState state = JobState::Queued;
        ArchiveVerdict verdict;
        bool made = true;  // false: the examination failed and the verdict means nothing
        // What the index held of the file with stamp, when it was asked.
        bool looked = false;
        CollectionIndex::Lookup lookup;
    };

    void work();
    // Lists up to count archives as jobs (the lock is released meanwhile) and settles them.
    // Only when no other thread is listing.
    void listSome(std::unique_lock<std::mutex>& lock, std::size_t count);
    // Takes the stamps of jobs just listed and claimed by this thread, in their folders
    // (descriptors, or empty), answers what the index can, and queues the rest. The lock is
    // released meanwhile, so that other threads list and settle further jobs.
    void settle(std::unique_lock<std::mutex>& lock, const std::vector<Job*>& claimed,
                const std::vector<std::shared_ptr<const UniqueFd>>& folders);
    // How many archives a worker should list now (0: none).
    std::size_t listingWanted() const;
    // Runs the first queued job from index first on, if its reservation fits; the lock is
    // released meanwhile. onlyReadWhole: only an archive small enough to be read whole.
    bool runQueued(std::unique_lock<std::mutex>& lock, std::size_t first,
                   bool onlyReadWhole = false);
    // Examines a queued job; the lock is released meanwhile.
    void run(std::unique_lock<std::mutex>& lock, Job& job);
    bool fits(const Job& job) const;
    void wakeWorker();
    void wakeWalk();
    void waitForWalk(std::unique_lock<std::mutex>& lock);

    const TextMatcher& matcher_;
    RunIndex* const index_;
    const StagingCall plan_;
    const std::string planKey_;  // the index's key of plan_
    const std::size_t workers_;  // asked for (threads_ may hold fewer)
    const std::size_t aheadArchives_;
    const std::uint64_t memoryLimit_;

    std::unique_ptr<TreeOrder> order_;  // used by the one thread that is listing
    mutable std::mutex mutex_;
    std::condition_variable workerWake_;  // idle workers wait here
    std::condition_variable walkWake_;    // the walk waits here for a verdict or a listing
    std::size_t idleWorkers_ = 0;
    bool walkWaits_ = false;
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
        void pop_front() {
            head_ = (head_ + 1) % slots_.size();
            --count_;
        }
        void clear() { count_ = 0; }

      private:
        std::vector<Job> slots_;
        std::size_t head_ = 0, count_ = 0;
    };
    JobRing jobs_;
    // Listings made ahead that the walk has not taken, by folder.
    std::unordered_map<std::string, std::shared_ptr<const ListedFolder>> listings_;
    std::size_t queued_ = 0;  // jobs in the Queued state
    bool listing_ = false;
    bool walkDone_ = false;
    std::uint64_t inFlight_ = 0;
    std::uint64_t peak_ = 0;
    std::atomic<bool> cancel_{false};
    std::vector<std::thread> threads_;
};

}  // namespace quillery
