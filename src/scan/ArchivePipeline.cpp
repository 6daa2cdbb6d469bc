#include "scan/ArchivePipeline.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/TargetFiles.h"
#include "scan/FolderListing.h"
#include "scan/IndexedExamine.h"
#include "scan/MatchingSink.h"
#include "scan/Walk.h"

namespace quillery {

namespace fs = std::filesystem;

// Listings kept for the walk, at most: a tree of many folders without archives is listed far
// ahead of the walk, which then reads the folders beyond these itself.
constexpr std::size_t kMostListingsAhead = 4096;
// Folder descriptors that listings keep open at once, at most. A listing made ahead holds
// its folder's descriptor until the walk is done with the folder; without a bound, a tree
// of many folders would hold one for each and run into the limit of open files (1024 on
// most desktops), so that archives, folders and the index could no longer be opened.
// Listings beyond it keep no descriptor: their archives are found by path.
constexpr int kMostFolderDescriptors = 128;

// The archives of a tree in the walk's order: a folder's archives in listing order, then
// each subfolder's tree (names not starting with "."), every real folder once.
class TreeOrder {
  public:
    TreeOrder(const fs::path& root, bool includeSubFolders, bool allArchives)
        : subFolders_(includeSubFolders), allArchives_(allArchives) {
        enter(root);
    }

    // The next archive and its folder's open descriptor (empty when it could not be opened).
    bool next(std::string& archive, std::shared_ptr<const UniqueFd>& folder) {
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            const FolderListing& listing = frame.folder->listing;
            if (frame.nextArchive < listing.archives.size()) {
                archive = listing.archives[frame.nextArchive++];
                folder = frame.folder->descriptor;
                return true;
            }
            if (subFolders_ && frame.nextSub < listing.subfolders.size()) {
                const fs::path& sub = listing.subfolders[frame.nextSub++];
                enter(sub);
                continue;
            }
            stack_.pop_back();
        }
        return false;
    }

    // The folders listed since the last call, by path.
    std::vector<std::pair<std::string, std::shared_ptr<const ListedFolder>>> takeEntered() {
        return std::exchange(entered_, {});
    }

  private:
    struct Frame {
        std::shared_ptr<const ListedFolder> folder;
        std::size_t nextArchive = 0, nextSub = 0;
    };

    void enter(const fs::path& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0 &&
            !visited_.insert({info.st_dev, info.st_ino}).second) {
            return;
        }
        auto listed = std::make_shared<ListedFolder>();
        UniqueFd folderFd;
        const bool keep = *descriptors_ < kMostFolderDescriptors;
        ListFolder(folder, allArchives_, listed->listing, keep ? &folderFd : nullptr);
        if (folderFd.valid()) {
            ++*descriptors_;
            listed->descriptor = std::shared_ptr<const UniqueFd>(
                new UniqueFd(std::move(folderFd)), [count = descriptors_](const UniqueFd* fd) {
                    delete fd;
                    --*count;
                });
        }
        if (entered_.size() < kMostListingsAhead) {
            entered_.emplace_back(folder.native(), listed);
        }
        stack_.push_back({std::move(listed)});
    }

    bool subFolders_;
    bool allArchives_;
    std::vector<Frame> stack_;
    std::set<std::pair<dev_t, ino_t>> visited_;
    std::vector<std::pair<std::string, std::shared_ptr<const ListedFolder>>> entered_;
    // The descriptors of listings alive, wherever they are (released on any thread).
    std::shared_ptr<std::atomic<int>> descriptors_ = std::make_shared<std::atomic<int>>(0);
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

}  // namespace

FileStamp StampOf(const std::string& path, int folder) {
    struct stat info {};
    FileStamp stamp;
    const char* name = path.c_str();
    if (folder != AT_FDCWD) {
        const std::size_t slash = path.rfind('/');
        name += slash == std::string::npos ? 0 : slash + 1;
    }
    if (::fstatat(folder, name, &info, 0) == 0) {
        const auto nanos = [](const timespec& t) {
            return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
        };
        stamp = {true,         info.st_dev,         info.st_ino,
                 info.st_size, nanos(info.st_mtim), nanos(info.st_ctim)};
    }
    return stamp;
}

namespace {

FileIdentity IdentityOf(const FileStamp& stamp) {
    return {static_cast<std::uint64_t>(stamp.device), static_cast<std::uint64_t>(stamp.inode),
            static_cast<std::uint64_t>(stamp.size), stamp.modified, stamp.changed};
}

// What an examination of an archive of size bytes may hold in memory under limit.
std::uint64_t Reservation(std::uint64_t size, std::uint64_t limit) {
    const MemoryCaps caps = CapsForLimit(limit);
    return (size <= caps.wholeArchive ? size : 0) + 2 * caps.entry;
}

}  // namespace

ArchivePipeline::ArchivePipeline(const TextMatcher& matcher, StagingCall plan, fs::path root,
                                 bool includeSubFolders, unsigned workers, RunIndex* index)
    : matcher_(matcher),
      index_(index),
      plan_(std::move(plan)),
      planKey_(index != nullptr ? CallKey(plan_) : std::string()),
      workers_(workers),
      aheadArchives_(std::max<std::size_t>(1024, 128 * std::size_t{workers})),
      memoryLimit_(MemoryLimitFor(workers)),
      order_(std::make_unique<TreeOrder>(root, includeSubFolders, plan_.options.allArchives)),
      jobs_(aheadArchives_) {
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
    workerWake_.notify_all();
    walkWake_.notify_all();
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

void ArchivePipeline::wakeWorker() {
    if (idleWorkers_ > 0) {
        workerWake_.notify_one();
    }
}

void ArchivePipeline::wakeWalk() {
    if (walkWaits_) {
        walkWake_.notify_one();
    }
}

void ArchivePipeline::waitForWalk(std::unique_lock<std::mutex>& lock) {
    walkWaits_ = true;
    walkWake_.wait(lock);
    walkWaits_ = false;
}

std::size_t ArchivePipeline::listingWanted() const {
    // Keep eight jobs queued for every worker, within the window, and list in batches of at
    // least a quarter of the window: a worker that lists or finishes a job goes on to the
    // next one without being woken, and archives the index answers at once (which never
    // stay queued) do not cost a listing each.
    const std::size_t want = 8 * std::max<std::size_t>(workers_, 1);
    const std::size_t batch = aheadArchives_ / 4;
    const std::size_t room = aheadArchives_ - std::min(jobs_.size(), aheadArchives_);
    if (walkDone_ || listing_ || room < batch || 2 * queued_ >= want) {
        return 0;
    }
    return std::min(room, std::max(want - queued_, batch));
}

bool ArchivePipeline::fits(const Job& job) const {
    return inFlight_ == 0 || inFlight_ + job.reservation <= kByteBudget;
}

void ArchivePipeline::run(std::unique_lock<std::mutex>& lock, Job& job) {
    job.state = JobState::Running;
    --queued_;
    inFlight_ += job.reservation;
    peak_ = std::max(peak_, inFlight_);
    StagingCall call = plan_;
    call.options.zipFileName = job.archive;
    call.options.memoryLimit = memoryLimit_;
    call.options.listedSize = job.stamp.known ? job.size : 0;
    lock.unlock();
    ArchiveVerdict verdict;
    bool made = true;
    try {
        const FileIdentity identity = IdentityOf(job.stamp);
        ExamineHints hints;
        hints.identity = job.stamp.known ? &identity : nullptr;
        hints.lookup = job.looked ? &job.lookup : nullptr;
        hints.callKey = index_ != nullptr ? &planKey_ : nullptr;
        verdict = IndexedExamine(call, matcher_, index_, &cancel_, hints);
    } catch (const std::exception&) {
        made = false;  // out of memory, say: the walk tries again itself
    }
    lock.lock();
    // Running jobs stay where they are: nothing removes them.
    inFlight_ -= job.reservation;
    job.verdict = verdict;
    job.made = made;
    job.state = JobState::Done;
    wakeWalk();
    if (waitsForMemory_) {
        waitsForMemory_ = false;
        wakeWorker();  // its reservation is free again
    }
}

bool ArchivePipeline::runQueued(std::unique_lock<std::mutex>& lock, std::size_t first,
                                bool onlyReadWhole) {
    for (std::size_t i = first; i < jobs_.size(); ++i) {
        Job& job = jobs_[i];
        if (job.state != JobState::Queued) {
            continue;
        }
        // In order: a job that does not fit waits for running ones to end.
        if (!fits(job)) {
            waitsForMemory_ = true;
            return false;
        }
        if (onlyReadWhole && job.size > CapsForLimit(memoryLimit_).wholeArchive) {
            return false;
        }
        run(lock, job);
        return true;
    }
    return false;
}

void ArchivePipeline::listSome(std::unique_lock<std::mutex>& lock, std::size_t count) {
    // One thread lists at a time and adds what it listed before the next one may list, so
    // jobs keep the walk's order.
    listing_ = true;
    lock.unlock();
    std::vector<std::string> listed;
    std::vector<std::shared_ptr<const UniqueFd>> folders;
    std::string archive;
    std::shared_ptr<const UniqueFd> folder;
    bool more = true;
    while (listed.size() < count && (more = order_->next(archive, folder))) {
        listed.push_back(std::move(archive));
        folders.push_back(folder);
    }
    lock.lock();
    listing_ = false;
    for (auto& [path, listed] : order_->takeEntered()) {
        if (listings_.size() < kMostListingsAhead) {
            listings_.insert_or_assign(std::move(path), std::move(listed));
        }
    }
    std::vector<Job*> claimed;
    for (std::string& path : listed) {
        Job& job = jobs_.emplace_back();
        job.archive = std::move(path);
        // Running for the others: no worker takes it, nothing drops it.
        job.state = JobState::Running;
        claimed.push_back(&job);
    }
    walkDone_ = !more;
    settle(lock, claimed, folders);
    // One wake for each idle worker that has a job to take; the listing one takes one itself.
    for (std::size_t woken = 1; woken < queued_ && idleWorkers_ > 0 && woken <= workers_; ++woken) {
        workerWake_.notify_one();
    }
    wakeWalk();
}

void ArchivePipeline::settle(std::unique_lock<std::mutex>& lock, const std::vector<Job*>& claimed,
                             const std::vector<std::shared_ptr<const UniqueFd>>& folders) {
    // Jobs are only added at the back and dropped at the front once they rest, so the
    // claimed ones stay where they are while the lock is released.
    lock.unlock();
    std::vector<FileStamp> stamps(claimed.size());
    std::vector<CollectionIndex::Request> requests;
    std::vector<std::size_t> asked;  // the claimed job of each request
    for (std::size_t i = 0; i < claimed.size() && !cancel_; ++i) {
        const Job& job = *claimed[i];
        stamps[i] = StampOf(job.archive, folders[i] ? folders[i]->get() : AT_FDCWD);
        if (index_ != nullptr && stamps[i].known) {
            requests.push_back({&job.archive, IdentityOf(stamps[i])});
            asked.push_back(i);
        }
    }
    std::vector<CollectionIndex::Lookup> found;
    if (index_ != nullptr && index_->store->usable() && !cancel_ && !requests.empty()) {
        found = index_->store->lookAll(requests, planKey_, index_->query);
    }
    lock.lock();
    for (std::size_t i = 0; i < claimed.size(); ++i) {
        Job& job = *claimed[i];
        job.stamp = stamps[i];
        job.size = job.stamp.known ? static_cast<std::uint64_t>(job.stamp.size) : 0;
        job.reservation = Reservation(job.size, memoryLimit_);
        job.looked = false;
    }
    for (std::size_t r = 0; r < found.size(); ++r) {
        Job& job = *claimed[asked[r]];
        job.lookup = found[r];
        job.looked = true;
    }
    for (Job* claimedJob : claimed) {
        Job& job = *claimedJob;
        if (job.looked && job.lookup.ruledOut) {
            job.verdict = ArchiveVerdict{job.lookup.result, false, true};
            job.state = JobState::Done;
        } else {
            job.state = JobState::Queued;
            ++queued_;
        }
    }
}

void ArchivePipeline::work() {
#ifdef __linux__
    pthread_setname_np(pthread_self(), "quillery-work");  // for profilers and top
#endif
    std::unique_lock<std::mutex> lock(mutex_);
    while (!cancel_) {
        if (const std::size_t count = listingWanted(); count > 0) {
            listSome(lock, count);
        } else if (!runQueued(lock, 0)) {
            ++idleWorkers_;
            workerWake_.wait(lock);
            --idleWorkers_;
        }
    }
}

ArchivePipeline::Job& ArchivePipeline::JobRing::emplace_back() {
    Job& job = slots_[(head_ + count_) % slots_.size()];
    ++count_;
    // A fresh job that keeps the room its path had.
    std::string archive = std::move(job.archive);
    archive.clear();
    job = Job{};
    job.archive = std::move(archive);
    return job;
}

std::shared_ptr<const ListedFolder> ArchivePipeline::takeListing(const std::string& folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = listings_.find(folder);
    if (found == listings_.end()) {
        return nullptr;
    }
    std::shared_ptr<const ListedFolder> listed = std::move(found->second);
    listings_.erase(found);
    return listed;
}

bool ArchivePipeline::take(const std::string& archive, bool plannedCall, ArchiveVerdict& verdict,
                           FileStamp& listed) {
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
                waitForWalk(lock);
                continue;
            }
            if (!walkDone_ && jobs_.size() < aheadArchives_) {
                listSome(lock, std::min<std::size_t>(aheadArchives_ - jobs_.size(), 16));
                continue;  // not listed yet
            }
            // Not coming: the listing went another way, and what is queued is of no use. (A
            // running job stays: its thread still writes to it.)
            bool running = false;
            for (std::size_t i = 0; i < jobs_.size(); ++i) {
                running = running || jobs_[i].state == JobState::Running;
            }
            if (!running) {
                jobs_.clear();
                queued_ = 0;
                wakeWorker();
            }
            return false;
        }
        // Jobs before it are archives the walk did not ask for: drop them once they rest.
        bool busy = false;
        while (at > 0 && !busy) {
            if (jobs_.front().state == JobState::Running) {
                busy = true;
            } else {
                queued_ -= jobs_.front().state == JobState::Queued ? 1 : 0;
                jobs_.pop_front();
                --at;
            }
        }
        if (busy) {
            waitForWalk(lock);
            continue;
        }
        Job& job = jobs_.front();
        const bool sameCall =
            plannedCall && job.stamp.known && (job.state != JobState::Done || job.made);
        if (job.state == JobState::Done || (job.state == JobState::Queued && !sameCall)) {
            if (sameCall) {
                verdict = job.verdict;
                listed = job.stamp;
            }
            queued_ -= job.state == JobState::Queued ? 1 : 0;
            jobs_.pop_front();
            if (listingWanted() > 0) {
                wakeWorker();  // room in the window for a batch
            }
            return sameCall;
        }
        if (job.state == JobState::Queued && fits(job)) {
            run(lock, job);  // no worker got to it yet
            continue;
        }
        // A worker is on it: examine a later small one meanwhile, or wait.
        if (!runQueued(lock, 1, true)) {
            waitForWalk(lock);
        }
    }
}

}  // namespace quillery
