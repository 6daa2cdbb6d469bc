#include "scan/ArchivePipeline.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "scan/IndexedExamine.h"
#include "scan/MatchingSink.h"
#include "scan/Walk.h"

namespace quillery {

namespace fs = std::filesystem;

// The archives of a tree in the walk's order: a folder's archives in listing order, then
// each subfolder's tree (names not starting with "."), every real folder once.
class TreeOrder {
  public:
    TreeOrder(const fs::path& root, bool includeSubFolders) : subFolders_(includeSubFolders) {
        enter(root);
    }

    bool next(fs::path& archive) {
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.nextArchive < frame.archives.size()) {
                archive = frame.archives[frame.nextArchive++];
                return true;
            }
            if (subFolders_ && frame.nextSub < frame.subfolders.size()) {
                const fs::path sub = frame.subfolders[frame.nextSub++];
                enter(sub);
                continue;
            }
            stack_.pop_back();
        }
        return false;
    }

  private:
    struct Frame {
        std::vector<fs::path> archives, subfolders;
        std::size_t nextArchive = 0, nextSub = 0;
    };

    void enter(const fs::path& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0 &&
            !visited_.insert({info.st_dev, info.st_ino}).second) {
            return;
        }
        Frame frame;
        std::error_code ec;
        fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code typeError;
            if (it->is_directory(typeError) && !name.empty() && name[0] != '.') {
                frame.subfolders.push_back(it->path());
            }
            if (IsArchiveName(name)) {
                frame.archives.push_back(it->path());
            }
        }
        stack_.push_back(std::move(frame));
    }

    bool subFolders_;
    std::vector<Frame> stack_;
    std::set<std::pair<dev_t, ino_t>> visited_;
};

ArchiveVerdict ExamineWithCall(const StagingCall& call, const TextMatcher& matcher,
                               const std::atomic<bool>* cancel) {
    MatchingSink sink(matcher, cancel);
    ArchiveVerdict verdict;
    verdict.result = RunStagingCall(call, nullptr, nullptr, &sink);
    verdict.matched = sink.matched();
    return verdict;
}

ArchivePipeline::ArchivePipeline(const TextMatcher& matcher, StagingCall plan, fs::path root,
                                 bool includeSubFolders, RunIndex* index)
    : matcher_(matcher),
      index_(index),
      plan_(std::move(plan)),
      root_(std::move(root)),
      includeSubFolders_(includeSubFolders),
      order_(std::make_unique<TreeOrder>(root_, includeSubFolders_)),
      thread_([this] { work(); }) {}

ArchivePipeline::~ArchivePipeline() {
    stop();
}

void ArchivePipeline::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        cancel_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ArchivePipeline::runQueued(std::unique_lock<std::mutex>& lock, std::size_t first) {
    for (std::size_t i = first; i < jobs_.size(); ++i) {
        Job& job = jobs_[i];
        if (job.state != JobState::Queued) {
            continue;
        }
        job.state = JobState::Running;
        StagingCall call = plan_;
        call.options.zipFileName = job.archive;
        lock.unlock();
        const ArchiveVerdict verdict = IndexedExamine(call, matcher_, index_, &cancel_);
        lock.lock();
        // Running jobs stay where they are: nothing removes them.
        job.verdict = verdict;
        job.state = JobState::Done;
        changed_.notify_all();
        return true;
    }
    return false;
}

bool ArchivePipeline::listOne(std::unique_lock<std::mutex>& lock) {
    if (walkDone_) {
        return false;
    }
    lock.unlock();
    // Whoever lists holds the listing until the job is queued, so jobs keep the walk's order.
    const std::lock_guard<std::mutex> listing(listMutex_);
    fs::path archive;
    const bool more = order_->next(archive);
    lock.lock();
    if (more) {
        jobs_.push_back(Job{std::move(archive), JobState::Queued, {}});
    } else {
        walkDone_ = true;
    }
    changed_.notify_all();
    return more;
}

void ArchivePipeline::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto queued = [this] {
        return static_cast<std::size_t>(
            std::count_if(jobs_.begin(), jobs_.end(),
                          [](const Job& job) { return job.state == JobState::Queued; }));
    };
    // Keep a few jobs queued, for the walk to take while this thread is busy.
    const auto wantsListing = [&] { return queued() < 4 && !walkDone_ && jobs_.size() < kAhead; };
    while (!cancel_) {
        if (wantsListing() && listOne(lock)) {
            continue;
        }
        if (runQueued(lock, 0)) {
            continue;
        }
        // Listing may have let go of the lock: wait only if there is still nothing to do.
        if (!cancel_ && !wantsListing() && queued() == 0) {
            changed_.wait(lock);
        }
    }
}

bool ArchivePipeline::take(const fs::path& archive, const StagingCall& call,
                           ArchiveVerdict& verdict) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (cancel_) {
        return false;  // verdicts made since may have been cut short
    }
    for (;;) {
        std::size_t at = 0;
        while (at < jobs_.size() && jobs_[at].archive != archive) {
            ++at;
        }
        if (at == jobs_.size()) {
            if (!walkDone_ && jobs_.size() < kAhead && listOne(lock)) {
                continue;  // not listed yet
            }
            // Not coming: the listing went another way, and what is queued is of no use. (A
            // running job stays: its thread still writes to it.)
            if (std::none_of(jobs_.begin(), jobs_.end(),
                             [](const Job& job) { return job.state == JobState::Running; })) {
                jobs_.clear();
                changed_.notify_all();
            }
            return false;
        }
        // Jobs before it are archives the walk did not ask for: drop them once they rest.
        bool busy = false;
        while (at > 0 && !busy) {
            if (jobs_.front().state == JobState::Running) {
                busy = true;
            } else {
                jobs_.pop_front();
                --at;
            }
        }
        if (busy) {
            changed_.wait(lock);
            continue;
        }
        Job& job = jobs_.front();
        StagingCall planned = plan_;
        planned.options.zipFileName = archive;
        if (job.state == JobState::Queued) {
            job.state = JobState::Running;
            lock.unlock();
            verdict = planned == call ? IndexedExamine(call, matcher_, index_) : ArchiveVerdict{};
            lock.lock();
            jobs_.pop_front();
            changed_.notify_all();
            return planned == call;
        }
        if (job.state == JobState::Done) {
            verdict = job.verdict;
            jobs_.pop_front();
            changed_.notify_all();
            return planned == call;
        }
        // The other thread is on it: examine a later one meanwhile, or wait.
        if (!runQueued(lock, 1)) {
            changed_.wait(lock);
        }
    }
}

}  // namespace quillery
