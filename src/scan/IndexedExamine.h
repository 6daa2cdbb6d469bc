#pragma once

#include <atomic>
#include <memory>

#include "index/CollectionIndex.h"
#include "index/IndexQuery.h"
#include "scan/ArchivePipeline.h"
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

// Examines one archive as ExamineWithCall does, with the same verdict, but through the
// index: when the archive's file is the one indexed under the same call and no entry it
// handed over can match, the stored result stands and nothing is read; otherwise the
// archive is read and the record refreshed. Without an index, ExamineWithCall itself.
// Safe on any thread.
ArchiveVerdict IndexedExamine(const StagingCall& call, const TextMatcher& matcher, RunIndex* index,
                              const std::atomic<bool>* cancel = nullptr);

}  // namespace quillery
