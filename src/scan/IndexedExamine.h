#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/FunctionRef.h"
#include "index/CollectionIndex.h"
#include "index/IndexQuery.h"
#include "scan/ArchivePipeline.h"
#include "scan/RunEvents.h"
#include "scan/RunState.h"

namespace quillery {

// The index as one run uses it: the stored records and the run's search as the index tests it.
struct RunIndex {
    RunIndex(std::unique_ptr<CollectionIndex> index, const TextMatcher& matcher);

    std::unique_ptr<CollectionIndex> store;
    IndexQuery query;
};

// The index for a run with the state's settings, or null when the run goes without.
std::unique_ptr<RunIndex> IndexForRun(const RunState& state, const TextMatcher& matcher);

// Hands what the index has to tell the user so far to the run's events (dropped when there
// are none), in the order it happened.
void PassIndexNotices(RunIndex& index, RunEvents* events);
// Ends a run's use of the index: writes what the run changed, then passes the notices.
void SaveRunIndex(RunIndex& index, RunEvents* events);

// What the caller of IndexedExamine knows of the archive already.
struct ExamineHints {
    const FileIdentity* identity = nullptr;  // the file's identity, taken just before
    // With identity: what the index held of the file under the call (so it is not asked again).
    const CollectionIndex::Lookup* lookup = nullptr;
    const std::string* callKey = nullptr;  // CallKey of the call
};

// Examines one archive with the examiner, through the index: when the index answers,
// nothing is read; otherwise the archive is read and the record refreshed (an archive that
// could not be examined at all is not remembered). What hints leaves out is found out here.
// Without an index, the examiner alone. Safe on any thread with an examiner of its own.
// One archive of IndexedExamineMany.
struct IndexedJob {
    StagingCall call;
    ExamineHints hints;
};

// IndexedExamine for each job, in order, the archives that need reading read in one batch of
// the examiner's; done gets each job's verdict (with its index in jobs) as it is made. The calls
// move on into the examiner's requests.
void IndexedExamineMany(std::vector<IndexedJob> jobs, ArchiveExaminer& examiner, RunIndex* index,
                        const std::atomic<bool>* cancel,
                        FunctionRef<void(std::size_t job, ArchiveVerdict& verdict)> done);

ArchiveVerdict IndexedExamine(const StagingCall& call, ArchiveExaminer& examiner, RunIndex* index,
                              const std::atomic<bool>* cancel = nullptr,
                              const ExamineHints& hints = {});

}  // namespace quillery
