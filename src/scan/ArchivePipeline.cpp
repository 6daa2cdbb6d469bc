#include "scan/ArchivePipeline.h"

#include <fcntl.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <cstdint>
#include <exception>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/TargetFiles.h"
#include "scan/IndexedExamine.h"
#include "scan/MatchingSink.h"

namespace quillery {

namespace fs = std::filesystem;

// Archives listed ahead of the walk, at least (a window of jobs of a few hundred bytes each):
// where the index answers most of them, the listing runs this far ahead while the walk waits
// for the few that a reader reads, so that those go to the reader in fewer, larger batches
// (a repeat run of 20,000 archives made half as many).
constexpr std::size_t kLeastArchivesAhead = 4096;
// Folders listed ahead and kept for the walk, at most: in a tree of many folders without
// archives, the listing waits for the walk once it is this far ahead.
constexpr std::size_t kMostListingsAhead = 4096;
// Folders listed in one batch, at most: the walk, when it waits for its next folder, waits
// for no more than these.
constexpr std::size_t kFoldersPerBatch = 32;
// The least time between two wakes of the walk for verdicts of one batch.
constexpr std::chrono::milliseconds kWalkWakeGap{2};
// Archives the walk lists itself when it finds neither a verdict nor a thread listing.
constexpr std::size_t kWalkBatch = 16;
// A worker's share of the queued archives, at least: fewer than this many go to one examiner
// together (a run that reads a few keeps to one reader instead of starting one per worker).
constexpr std::size_t kLeastShare = 64;
// While the walk waits for a verdict that a reader is making, it lists ahead itself, these
// many archives at a time, as long as fewer than kWalkKeepsQueued wait for a worker: the
// workers then find their next batch queued instead of listing it while their readers idle
// (a first run over 20,000 tiny archives took 4 % less time).
constexpr std::size_t kWalkListing = 256;
constexpr std::size_t kWalkKeepsQueued = 512;
constexpr std::chrono::milliseconds kWalkListingTime{20};

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

ArchivePipeline::ArchivePipeline(ExaminerFactory examiners, StagingCall plan, fs::path root,
                                 bool includeSubFolders, unsigned workers, RunIndex* index)
    : examiners_(std::move(examiners)),
      index_(index),
      plan_(std::move(plan)),
      planKey_(index != nullptr ? CallKey(plan_) : std::string()),
      workers_(workers),
      aheadArchives_(std::max<std::size_t>(kLeastArchivesAhead, 128 * std::size_t{workers})),
      memoryLimit_(MemoryLimitFor(workers)),
      lister_(std::move(root), includeSubFolders, plan_.options.allArchives),
      jobs_(aheadArchives_) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        try {
            // The first worker gets the first examiner ready (starts its reader, say) while
            // the others and the walk list the first archives: nothing waits for it here.
            threads_.emplace_back(
                [this, first = i == 0 ? PooledExaminer{examinersMade_++, examiners_()}
                                      : PooledExaminer{}]() mutable { work(std::move(first)); });
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

void ArchivePipeline::wakeWalkSoon() {
    if (!walkWaits_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - walkWoken_ >= kWalkWakeGap) {
        walkWoken_ = now;
        walkWakeOwed_ = false;
        walkWake_.notify_one();
    } else {
        walkWakeOwed_ = true;
    }
}

void ArchivePipeline::waitForWalk(std::unique_lock<std::mutex>& lock) {
    walkWaits_ = true;
    walkWake_.wait(lock);
    walkWaits_ = false;
}

bool ArchivePipeline::waitForVerdict(std::unique_lock<std::mutex>& lock) {
    walkWaits_ = true;
    const bool woken =
        walkWake_.wait_for(lock, std::chrono::milliseconds(40)) == std::cv_status::no_timeout;
    walkWaits_ = false;
    if (woken || !walkGoesOn_) {
        return true;
    }
    lock.unlock();
    const bool goOn = walkGoesOn_();
    lock.lock();
    return goOn;
}

std::size_t ArchivePipeline::listingWanted() const {
    // Keep eight jobs queued for every worker, within the window, and list in batches of at
    // least a quarter of the window: a worker that lists or finishes a job goes on to the
    // next one without being woken, and archives the index answers at once (which never
    // stay queued) do not cost a listing each. Folders kept for the walk leave room for a
    // quarter of their bound before more are listed.
    const std::size_t want = 8 * std::max<std::size_t>(workers_, 1);
    const std::size_t batch = aheadArchives_ / 4;
    const std::size_t room = aheadArchives_ - std::min(jobs_.size(), aheadArchives_);
    if (treeDone_ || listing_ || room < batch || 2 * queued_ >= want ||
        folders_.size() > kMostListingsAhead - kMostListingsAhead / 4) {
        return 0;
    }
    return std::min(room, std::max(want - queued_, batch));
}

std::size_t ArchivePipeline::walkListingWanted() const {
    const std::size_t room = aheadArchives_ - std::min(jobs_.size(), aheadArchives_);
    if (treeDone_ || listing_ || room < kWalkListing || queued_ >= kWalkKeepsQueued ||
        folders_.size() > kMostListingsAhead - kMostListingsAhead / 4) {
        return 0;
    }
    return kWalkListing;
}

bool ArchivePipeline::fits(const Job& job, const std::vector<Job*>& alongside) const {
    std::uint64_t batch = job.reservation;
    for (const Job* other : alongside) {
        batch = std::max(batch, other->reservation);
    }
    return inFlight_ == 0 || inFlight_ + batch <= kByteBudget;
}

ArchiveExaminer& ArchivePipeline::walkExaminer() {
    if (!walkExaminer_) {
        walkExaminer_ = examiners_();
    }
    return *walkExaminer_;
}

void ArchivePipeline::run(std::unique_lock<std::mutex>& lock, ArchiveExaminer& examiner,
                          const std::vector<Job*>& batch) {
    std::vector<IndexedJob> calls;
    calls.reserve(batch.size());
    // The batch's reservation is held until its last job is done.
    std::uint64_t reserved = 0;
    for (Job* job : batch) {
        reserved = std::max(reserved, job->reservation);
        job->charged = 0;
    }
    assert(!batch.empty());
    batch.back()->charged = reserved;
    inFlight_ += reserved;
    for (Job* job : batch) {
        assert(job->state == JobState::Queued && queued_ > 0);
        job->state = JobState::Running;
        --queued_;
        IndexedJob& call = calls.emplace_back(IndexedJob{plan_, {}});
        call.call.options.zipFileName = job->archive;
        call.call.options.memoryLimit = memoryLimit_;
        call.call.options.listedSize = job->size;
        call.hints.identity = job->identified ? &job->identity : nullptr;
        call.hints.lookup = job->looked ? &job->lookup : nullptr;
        call.hints.callKey = index_ != nullptr ? &planKey_ : nullptr;
    }
    peak_ = std::max(peak_, inFlight_);
    lock.unlock();
    // Running jobs stay where they are: nothing removes them until they are done (and then
    // only this thread's own record says which are).
    std::vector<char> finished(batch.size(), 0);
    // With the lock held.
    const auto finish = [this, &batch, &finished](std::size_t j, const ArchiveVerdict& verdict,
                                                  bool made, bool wakeAtOnce) {
        finished[j] = 1;
        Job& job = *batch[j];
        assert(job.state == JobState::Running && inFlight_ >= job.charged);
        inFlight_ -= job.charged;
        job.verdict = verdict;
        job.made = made;
        job.state = JobState::Done;
        if (wakeAtOnce) {
            wakeWalk();
        } else {
            wakeWalkSoon();
        }
        if (waitsForMemory_) {
            waitsForMemory_ = false;
            wakeWorker();  // its reservation is free again
        }
    };
    // The last verdict waits for the lock taken back below: one lock the fewer per batch.
    std::optional<ArchiveVerdict> last;
    try {
        IndexedExamineMany(std::move(calls), examiner, index_, &cancel_,
                           [&](std::size_t j, ArchiveVerdict& verdict) {
                               if (j + 1 == batch.size()) {
                                   last = std::move(verdict);
                                   return;
                               }
                               const std::lock_guard<std::mutex> relock(mutex_);
                               finish(j, verdict, true, false);
                           });
    } catch (const std::exception&) {
        // Out of memory, say: the walk tries the ones left again itself.
    }
    lock.lock();
    if (last) {
        finish(batch.size() - 1, *last, true, true);
    }
    for (std::size_t j = 0; j < batch.size(); ++j) {
        if (finished[j] == 0) {
            finish(j, ArchiveVerdict{}, false, true);
        }
    }
    if (walkWakeOwed_) {
        walkWakeOwed_ = false;
        wakeWalk();
    }
}

bool ArchivePipeline::runQueued(std::unique_lock<std::mutex>& lock, ArchiveExaminer& examiner,
                                std::size_t first, bool onlyReadWhole) {
    // A worker takes as many queued jobs at once as its examiner wants (several for one in
    // another process), but where many are queued no more than its share, so that the other
    // workers read the rest meanwhile; the walk takes one.
    const std::size_t workers = std::max<std::size_t>(workers_, 1);
    const std::size_t share = std::max(kLeastShare, (queued_ + workers - 1) / workers);
    const std::size_t most =
        onlyReadWhole ? 1 : std::min(std::max<std::size_t>(examiner.batchSize(), 1), share);
    std::vector<Job*> batch;
    for (std::size_t i = first; i < jobs_.size() && batch.size() < most; ++i) {
        Job& job = jobs_[i];
        if (job.state != JobState::Queued) {
            continue;
        }
        // In order: a job that does not fit waits for running ones to end.
        if (!fits(job, batch)) {
            if (batch.empty()) {
                waitsForMemory_ = true;
            }
            break;
        }
        if (onlyReadWhole && job.size > CapsForLimit(memoryLimit_).wholeArchive) {
            break;
        }
        batch.push_back(&job);
    }
    if (batch.empty()) {
        return false;
    }
    run(lock, examiner, batch);
    return true;
}

void ArchivePipeline::listSome(std::unique_lock<std::mutex>& lock, std::size_t count,
                               std::size_t folders, bool byWorker) {
    // One thread lists at a time and adds what it listed before the next one may list, so
    // jobs and folders keep the walk's order.
    assert(!listing_);
    listing_ = true;
    // Room for the jobs and folders listed (only this thread adds any); once stopped, the
    // archives listed make no jobs.
    assert(count > 0 && (cancel_ || count <= aheadArchives_ - jobs_.size()));
    folders = std::min(folders, kMostListingsAhead - std::min(folders_.size(), kMostListingsAhead));
    assert(folders > 0);
    lock.unlock();
    std::vector<TreeStep> steps;
    std::size_t archivesListed = 0, foldersListed = 0;
    bool more = true;
    // The walk lists for a moment at most, so that it soon looks at its run again (a slow
    // file system may take long for each file).
    const auto until = byWorker ? std::chrono::steady_clock::time_point::max()
                                : std::chrono::steady_clock::now() + kWalkListingTime;
    while (archivesListed < count && foldersListed < folders &&
           (steps.empty() || std::chrono::steady_clock::now() < until)) {
        TreeStep step;
        if (!(more = lister_.next(step))) {
            break;
        }
        ++(step.kind == TreeStep::Kind::Archive ? archivesListed : foldersListed);
        steps.push_back(std::move(step));
    }
    lock.lock();
    listing_ = false;
    treeDone_ = !more;
    std::vector<Job*> claimed;
    std::vector<std::shared_ptr<const UniqueFd>> descriptors;
    claimed.reserve(archivesListed);
    descriptors.reserve(archivesListed);
    bool foldersAdded = false;
    for (TreeStep& listed : steps) {
        if (listed.kind == TreeStep::Kind::Folder) {
            folders_.push_back(std::move(listed));
            foldersAdded = true;
        } else if (!cancel_) {
            // Settling, so that no worker takes it and nothing drops it.
            Job& job = jobs_.emplace_back();
            job.sequence = listed.sequence;
            job.archive = std::move(listed.path);
            claimed.push_back(&job);
            descriptors.push_back(listed.folder->descriptor);
        }
    }
    if (foldersAdded) {
        wakeWalk();  // it may enter them while the jobs settle
    }
    settle(lock, claimed, descriptors);
    // One wake for each idle worker that has a job to take; a listing worker takes one itself.
    const std::size_t wakes = std::min(queued_ - std::min<std::size_t>(queued_, byWorker ? 1 : 0),
                                       std::min(idleWorkers_, workers_));
    for (std::size_t woken = 0; woken < wakes; ++woken) {
        workerWake_.notify_one();
    }
    wakeWalk();
}

void ArchivePipeline::settle(std::unique_lock<std::mutex>& lock, const std::vector<Job*>& claimed,
                             const std::vector<std::shared_ptr<const UniqueFd>>& folders) {
    // Jobs are only added at the back and dropped at the front once they rest, so the
    // claimed ones stay where they are while the lock is released.
    lock.unlock();
    std::vector<FileIdentity> identities(claimed.size());
    std::vector<char> identified(claimed.size(), 0);
    std::vector<CollectionIndex::Request> requests;
    std::vector<std::size_t> asked;  // the claimed job of each request
    for (std::size_t i = 0; i < claimed.size() && !cancel_; ++i) {
        const Job& job = *claimed[i];
        identified[i] =
            ReadFileIdentity(job.archive, identities[i], folders[i] ? folders[i]->get() : AT_FDCWD)
                ? 1
                : 0;
        if (index_ != nullptr && identified[i]) {
            requests.push_back({&job.archive, identities[i]});
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
        assert(job.state == JobState::Settling);
        job.identified = identified[i] != 0;
        job.identity = identities[i];
        job.size = job.identified ? job.identity.size : 0;
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
            job.verdict = ArchiveVerdict{job.lookup.result, false, true, {}};
            job.state = JobState::Done;
        } else {
            job.state = JobState::Queued;
            ++queued_;
        }
    }
}

void ArchivePipeline::work(PooledExaminer first) {
#ifdef __linux__
    pthread_setname_np(pthread_self(), "quillery-work");  // for profilers and top
#endif
    if (first.examiner) {
        first.examiner->prepare();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (first.examiner) {
        idleExaminers_.insert(idleExaminers_.begin(), std::move(first));  // the oldest
    }
    while (!cancel_) {
        if (const std::size_t count = listingWanted(); count > 0) {
            listSome(lock, count, kFoldersPerBatch, true);
            continue;
        }
        PooledExaminer pooled;
        if (idleExaminers_.empty()) {
            // Cheap: a reader process starts with the examiner's first archive.
            pooled = PooledExaminer{examinersMade_++, examiners_()};
        } else {
            pooled = std::move(idleExaminers_.front());
            idleExaminers_.erase(idleExaminers_.begin());
        }
        const bool ran = runQueued(lock, *pooled.examiner, 0);
        const auto place = std::find_if(
            idleExaminers_.begin(), idleExaminers_.end(),
            [&pooled](const PooledExaminer& other) { return other.made > pooled.made; });
        idleExaminers_.insert(place, std::move(pooled));
        if (!ran) {
            ++idleWorkers_;
            workerWake_.wait(lock);
            --idleWorkers_;
        }
    }
}

ArchivePipeline::Job& ArchivePipeline::JobRing::emplace_back() {
    assert(count_ < slots_.size());
    Job& job = slots_[(head_ + count_) % slots_.size()];
    ++count_;
    // A fresh job that keeps the room its path had.
    std::string archive = std::move(job.archive);
    archive.clear();
    job = Job{};
    job.archive = std::move(archive);
    return job;
}

void ArchivePipeline::JobRing::pop_front() {
    assert(count_ > 0);
    head_ = (head_ + 1) % slots_.size();
    --count_;
}

void ArchivePipeline::dropFront() {
    const Job& job = jobs_.front();
    // Only a job at rest: a settling or running one is still written by its thread.
    assert(job.state == JobState::Queued || job.state == JobState::Done);
    if (job.state == JobState::Queued) {
        assert(queued_ > 0);
        --queued_;
    }
    jobs_.pop_front();
}

void ArchivePipeline::listForWalk(std::unique_lock<std::mutex>& lock) {
    if (listing_) {
        waitForWalk(lock);
        return;
    }
    // The walk lists only what it asks for next: there is no job ahead of it (unless the pool
    // is stopped, and then the archives listed make none).
    assert(!treeDone_ && (cancel_ || jobs_.size() == 0));
    listSome(lock, kWalkBatch, kWalkBatch, false);
}

std::shared_ptr<const ListedFolder> ArchivePipeline::enter(
    [[maybe_unused]] const std::string& folder) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (folders_.empty()) {
        if (treeDone_ && !listing_) {
            assert(!"the walk entered more folders than the tree holds");
            return nullptr;
        }
        listForWalk(lock);
    }
    TreeStep step = std::move(folders_.front());
    folders_.pop_front();
    assert(step.path == folder);
    lister_.taken(step);
    if (listingWanted() > 0) {
        wakeWorker();  // room for a batch
    }
    return std::move(step.folder);
}

bool ArchivePipeline::take(std::uint64_t sequence, bool plannedCall, ArchiveVerdict& verdict,
                           FileIdentity& listed) {
    std::unique_lock<std::mutex> lock(mutex_);
    assert(sequence >= nextTaken_);
    nextTaken_ = sequence + 1;
    bool listedSinceWait = false;
    for (;;) {
        if (cancel_) {
            // Verdicts made since may have been cut short. Every worker has ended, so every
            // job rests.
            while (jobs_.size() > 0 && jobs_.front().sequence <= sequence) {
                dropFront();
            }
            return false;
        }
        if (jobs_.size() == 0) {
            if (treeDone_ && !listing_) {
                assert(!"the walk asked for an archive the tree does not hold");
                return false;
            }
            listForWalk(lock);  // not listed yet
            continue;
        }
        Job& job = jobs_.front();
        // Every archive is asked for in turn, or left out with the rest of its folder.
        assert(job.sequence == sequence);
        const bool sameCall =
            plannedCall && job.identified && (job.state != JobState::Done || job.made);
        if (job.state == JobState::Done || (job.state == JobState::Queued && !sameCall)) {
            if (sameCall) {
                verdict = job.verdict;
                listed = job.identity;
            }
            dropFront();
            if (listingWanted() > 0) {
                wakeWorker();  // room in the window for a batch
            }
            return sameCall;
        }
        // The walk examines archives itself only where that keeps it responsive (see
        // setWalkExamines), or where no worker would.
        const bool walkExamines = walkExamines_ || threads_.empty();
        if (walkExamines && job.state == JobState::Queued && fits(job, {})) {
            run(lock, walkExaminer(), {&job});  // no worker got to it yet
            continue;
        }
        if (!walkExamines && job.state == JobState::Queued) {
            wakeWorker();  // the walk may have listed it itself: a worker takes it
        }
        // A worker is on it: list ahead (once between two waits, so that the walk looks at its
        // run as often as before), examine a later small one meanwhile, or wait.
        if (const std::size_t count = (walkExamines || listedSinceWait) ? 0 : walkListingWanted();
            count > 0) {
            listSome(lock, count, kFoldersPerBatch, false);
            listedSinceWait = true;
            continue;
        }
        if (walkExamines && runQueued(lock, walkExaminer(), 1, true)) {
            continue;
        }
        listedSinceWait = false;
        if (!waitForVerdict(lock)) {
            lock.unlock();
            stop();  // the run stops while an archive is being read
            lock.lock();
        }
    }
}

void ArchivePipeline::skip(TreeLister::Rest rest) {
    stop();  // from here on nothing lists, settles or runs on another thread
    const std::lock_guard<std::mutex> lock(mutex_);
    assert(!listing_);
    while (jobs_.size() > 0) {
        dropFront();
    }
    assert(queued_ == 0 && inFlight_ == 0);
    std::vector<TreeStep> untaken(std::make_move_iterator(folders_.begin()),
                                  std::make_move_iterator(folders_.end()));
    folders_.clear();
    lister_.resume(rest, untaken);
    treeDone_ = false;
}

}  // namespace quillery
