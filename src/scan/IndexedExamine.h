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

// The verdict of the index alone for archive, whose file has identity now, under the call
// whose key (CallKey) is callKey: true when the file is the one indexed under that call and
// no entry the call handed over can match; verdict then holds the stored result. Safe on any
// thread.
bool AnswerFromIndex(RunIndex& index, const std::string& archive, const FileIdentity& identity,
                     const std::string& callKey, ArchiveVerdict& verdict);

// Examines one archive as ExamineWithCall does, with the same verdict, but through the
// index: when AnswerFromIndex answers, nothing is read; otherwise the archive is read and
// the record refreshed. known: the file's identity when it was taken just before (else it
// is read here). Without an index, ExamineWithCall itself. Safe on any thread.
ArchiveVerdict IndexedExamine(const StagingCall& call, const TextMatcher& matcher, RunIndex* index,
                              const std::atomic<bool>* cancel = nullptr,
                              const FileIdentity* known = nullptr);

}  // namespace quillery
