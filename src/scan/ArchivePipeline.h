#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "archive/Staging.h"
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

// Examines one archive with a prepared call; safe on any thread.
ArchiveVerdict ExamineWithCall(const StagingCall& call, const TextMatcher& matcher,
                               const std::atomic<bool>* cancel = nullptr);

// Examines the archives of a walk ahead of it on a second thread. The thread walks the same
// tree in the same order as the walk (its own listing, read only) and keeps up to kAhead
// archives examined or queued ahead of the walk. The walk asks for each archive's verdict
// in turn (take); while the thread is busy with that one, the asking thread examines the
// next queued one itself, so both cores work. The walk decides everything the user sees;
// a verdict is only used for the very archive and call it was made for, otherwise take
// answers false and the walk examines the archive itself. stop() (and the destructor) ends
// the thread's work at once and waits for it.
class ArchivePipeline {
  public:
    // plan: the call for an archive, with its path left empty; index: the run's, or null.
    ArchivePipeline(const TextMatcher& matcher, StagingCall plan, std::filesystem::path root,
                    bool includeSubFolders, RunIndex* index = nullptr);
    ~ArchivePipeline();
    ArchivePipeline(const ArchivePipeline&) = delete;
    ArchivePipeline& operator=(const ArchivePipeline&) = delete;

    // The verdict for archive under call, when one was or can be made here; false otherwise.
    bool take(const std::filesystem::path& archive, const StagingCall& call,
              ArchiveVerdict& verdict);
    void stop();

    static constexpr std::size_t kAhead = 16;

  private:
    enum class JobState { Queued, Running, Done };
    struct Job {
        std::filesystem::path archive;
        JobState state = JobState::Queued;
        ArchiveVerdict verdict;
    };

    void work();
    // Lists the next archive as a queued job (the lock is released meanwhile); false at the
    // end of the tree.
    bool listOne(std::unique_lock<std::mutex>& lock);
    // Runs the first queued job from index first on; the lock is released meanwhile.
    bool runQueued(std::unique_lock<std::mutex>& lock, std::size_t first);

    const TextMatcher& matcher_;
    RunIndex* const index_;
    const StagingCall plan_;
    const std::filesystem::path root_;
    const bool includeSubFolders_;

    std::mutex listMutex_;  // taken before mutex_, never while holding it
    std::unique_ptr<TreeOrder> order_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool walkDone_ = false;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace quillery
