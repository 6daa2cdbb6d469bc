#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/FunctionRef.h"
#include "archive/Staging.h"
#include "index/TextSummary.h"
#include "scan/TextMatcher.h"

namespace quillery {

// What examining one archive gives: the extraction's result and whether a complete entry
// matched; failure says why an archive could not be examined at all (a reader that crashed,
// ran out of its limits or its time), and its result is then not 0.
struct ArchiveVerdict {
    int result = 0;
    bool matched = false;
    bool fromIndex = false;  // given by the index without reading the archive
    std::string failure;
};

// One examination: the verdict and, when asked for, each entry's summary for the index.
struct Examination {
    ArchiveVerdict verdict;
    std::vector<EntrySummary> entries;
};

// One archive of a batch: its prepared call, and whether its entries are summarised (as
// IndexedExamine records them).
struct ExamineJob {
    StagingCall call;
    bool summarise = false;
    bool lines = false;  // a reader's answer also holds the matching entries' lines
};

// Reads archives for a search: where the bytes are parsed is the examiner's business. One
// examiner serves one thread at a time.
class ArchiveExaminer {
  public:
    virtual ~ArchiveExaminer() = default;
    // Examines with a prepared call; with summarize, also summarises each entry. With cancel,
    // stops soon after it is set with a result that is not 0.
    virtual Examination examine(const StagingCall& call, bool summarize,
                                const std::atomic<bool>* cancel) = 0;
    // Examines each request in turn, handing each examination to done (with its index in
    // requests) as soon as it is made; an examiner may read ahead of done.
    using Done = FunctionRef<void(std::size_t request, Examination& examination)>;
    virtual void examineMany(const std::vector<ExamineJob>& requests, const Done& done,
                             const std::atomic<bool>* cancel);
    // How many archives a thread should hand this examiner at once: one where nothing is
    // gained by more (the other threads can take the rest meanwhile).
    virtual std::size_t batchSize() const { return 1; }
    // For an examiner that waits on another process: goOn is called about every 40 ms while it
    // waits, and false from it cancels what is being examined (see examine's cancel).
    virtual void whileWaiting(const std::function<bool()>& /*goOn*/) {}
    // Gets ready for archives to come (starts its reader, say), so that the first one does
    // not wait for that.
    virtual void prepare() {}
};

// Makes an examiner for another thread.
using ExaminerFactory = std::function<std::unique_ptr<ArchiveExaminer>()>;

// Parses the archive in this thread, with the matcher.
class LocalExaminer : public ArchiveExaminer {
  public:
    explicit LocalExaminer(const TextMatcher& matcher) : matcher_(matcher) {}
    Examination examine(const StagingCall& call, bool summarize,
                        const std::atomic<bool>* cancel) override;

  private:
    const TextMatcher& matcher_;
};

}  // namespace quillery
