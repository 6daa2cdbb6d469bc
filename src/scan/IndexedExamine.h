#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

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

// The verdicts of the index alone for several archives whose files have the requests'
// identities now, under the call whose key (CallKey) is callKey: answered[i] is set when the
// file is the one indexed under that call and no entry the call handed over can match;
// verdicts[i] then holds the stored result. Safe on any thread.
void AnswerFromIndex(RunIndex& index, const std::vector<CollectionIndex::Request>& requests,
                     const std::string& callKey, std::vector<ArchiveVerdict>& verdicts,
                     std::vector<char>& answered);

// Examines one archive as ExamineWithCall does, with the same verdict, but through the
// index: when the index answers, nothing is read; otherwise the archive is read and
// the record refreshed. known: the file's identity when it was taken just before (else it
// is read here). Without an index, ExamineWithCall itself. Safe on any thread.
ArchiveVerdict IndexedExamine(const StagingCall& call, const TextMatcher& matcher, RunIndex* index,
                              const std::atomic<bool>* cancel = nullptr,
                              const FileIdentity* known = nullptr);

}  // namespace quillery
