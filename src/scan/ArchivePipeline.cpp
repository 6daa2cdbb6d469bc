#include "scan/ArchivePipeline.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

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

    bool next(fs::directory_entry& archive) {
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
        std::vector<fs::directory_entry> archives;
        std::vector<fs::path> subfolders;
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
                frame.archives.push_back(*it);
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

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// The examinations that may run under the budget at once, each with its own memory limit.
std::uint64_t MemoryLimitFor(unsigned workers) {
    const std::uint64_t share = ArchivePipeline::kByteBudget / std::max(workers, 1U);
    return std::clamp(share, 4 * kMiB, 32 * kMiB);
}

// What an examination of an archive of size bytes may hold in memory under limit.
std::uint64_t Reservation(std::uint64_t size, std::uint64_t limit) {
    const MemoryCaps caps = CapsForLimit(limit);
    return (size <= caps.wholeArchive ? size : 0) + 2 * caps.entry;
}

}  // namespace

ArchivePipeline::ArchivePipeline(const TextMatcher& matcher, StagingCall plan, fs::path root,
                                 bool includeSubFolders, unsigned workers)
    : matcher_(matcher),
      plan_(std::move(plan)),
      aheadArchives_(std::max<std::size_t>(16, 4 * std::size_t{workers})),
      memoryLimit_(MemoryLimitFor(workers)),
      order_(std::make_unique<TreeOrder>(root, includeSubFolders)) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break;  // fewer workers; take examines what none of them gets to
        }
    }
}

ArchivePipeline::~ArchivePipeline() {
    stop();
}

void ArchivePipeline::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        cancel_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

std::uint64_t ArchivePipeline::bytesInFlight() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return inFlight_;
}

std::uint64_t ArchivePipeline::peakBytesInFlight() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return peak_;
}

std::size_t ArchivePipeline::queued() const {
    return static_cast<std::size_t>(std::count_if(
        jobs_.begin(), jobs_.end(), [](const Job& job) { return job.state == JobState::Queued; }));
}

bool ArchivePipeline::wantsListing() const {
    // Keep a job queued for every worker, within the window.
    return !walkDone_ && !listing_ && jobs_.size() < aheadArchives_ &&
           queued() < std::max<std::size_t>(threads_.size(), 1);
}

bool ArchivePipeline::fits(const Job& job) const {
    return inFlight_ == 0 || inFlight_ + job.reservation <= kByteBudget;
}

void ArchivePipeline::run(std::unique_lock<std::mutex>& lock, Job& job) {
    job.state = JobState::Running;
    inFlight_ += job.reservation;
    peak_ = std::max(peak_, inFlight_);
    StagingCall call = plan_;
    call.options.zipFileName = job.archive;
    call.options.memoryLimit = memoryLimit_;
    lock.unlock();
    const ArchiveVerdict verdict = ExamineWithCall(call, matcher_, &cancel_);
    lock.lock();
    // Running jobs stay where they are: nothing removes them.
    inFlight_ -= job.reservation;
    job.verdict = verdict;
    job.state = JobState::Done;
    changed_.notify_all();
}

bool ArchivePipeline::runQueued(std::unique_lock<std::mutex>& lock, std::size_t first,
                                bool onlyReadWhole) {
    for (std::size_t i = first; i < jobs_.size(); ++i) {
        Job& job = jobs_[i];
        if (job.state != JobState::Queued) {
            continue;
        }
        // In order: a job that does not fit waits for running ones to end.
        if (!fits(job) || (onlyReadWhole && job.size > CapsForLimit(memoryLimit_).wholeArchive)) {
            return false;
        }
        run(lock, job);
        return true;
    }
    return false;
}

bool ArchivePipeline::listOne(std::unique_lock<std::mutex>& lock) {
    // One thread lists at a time and queues what it listed before the next one may list, so
    // jobs keep the walk's order.
    listing_ = true;
    lock.unlock();
    fs::directory_entry archive;
    const bool more = order_->next(archive);
    std::uint64_t size = 0;
    if (more) {
        std::error_code ec;
        size = archive.file_size(ec);
        if (ec) {
            size = 0;
        }
    }
    lock.lock();
    listing_ = false;
    if (more) {
        jobs_.push_back(
            Job{archive.path(), size, Reservation(size, memoryLimit_), JobState::Queued, {}});
    } else {
        walkDone_ = true;
    }
    changed_.notify_all();
    return more;
}

void ArchivePipeline::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!cancel_) {
        if (wantsListing()) {
            listOne(lock);
        } else if (!runQueued(lock, 0)) {
            changed_.wait(lock);
        }
    }
}

bool ArchivePipeline::take(const fs::path& archive, const StagingCall& call,
                           ArchiveVerdict& verdict) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (cancel_) {
            return false;  // verdicts made since may have been cut short
        }
        std::size_t at = 0;
        while (at < jobs_.size() && jobs_[at].archive != archive) {
            ++at;
        }
        if (at == jobs_.size()) {
            if (!walkDone_ && listing_) {
                changed_.wait(lock);
                continue;
            }
            if (!walkDone_ && jobs_.size() < aheadArchives_) {
                listOne(lock);
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
        const bool sameCall = planned == call;
        if (job.state == JobState::Done || (job.state == JobState::Queued && !sameCall)) {
            if (sameCall) {
                verdict = job.verdict;
            }
            jobs_.pop_front();
            changed_.notify_all();
            return sameCall;
        }
        if (job.state == JobState::Queued && fits(job)) {
            run(lock, job);  // no worker got to it yet
            continue;
        }
        // A worker is on it: examine a later small one meanwhile, or wait.
        if (!runQueued(lock, 1, true)) {
            changed_.wait(lock);
        }
    }
}

}  // namespace quillery
