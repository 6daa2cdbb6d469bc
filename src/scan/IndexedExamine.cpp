#include "scan/IndexedExamine.h"

#include <algorithm>

#include "archive/UnzipResult.h"
#include "index/SummarySink.h"
#include "scan/MatchingSink.h"

namespace quillery {

RunIndex::RunIndex(std::unique_ptr<CollectionIndex> index, const TextMatcher& matcher)
    : store(std::move(index)), query(matcher.rule().required()) {}

std::unique_ptr<RunIndex> IndexForRun(const RunState& state, const TextMatcher& matcher) {
    if (!state.IndexEnabled) {
        return nullptr;
    }
    const std::filesystem::path folder =
        state.IndexFolder.empty() ? CollectionIndex::DefaultFolder() : state.IndexFolder;
    return std::make_unique<RunIndex>(
        std::make_unique<CollectionIndex>(folder, state.IndexLimitBytes), matcher);
}

void PassIndexNotices(RunIndex& index, RunEvents* events) {
    for (const std::string& text : index.store->takeNotices()) {
        if (events != nullptr) {
            events->notice(
                QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
        }
    }
}

void SaveRunIndex(RunIndex& index, RunEvents* events) {
    index.store->save();
    PassIndexNotices(index, events);
}

ArchiveVerdict IndexedExamine(const StagingCall& call, ArchiveExaminer& examiner, RunIndex* index,
                              const std::atomic<bool>* cancel, const ExamineHints& hints) {
    FileIdentity identity;
    const std::string& archive = call.options.zipFileName.native();
    if (hints.identity != nullptr) {
        identity = *hints.identity;
    }
    if (index == nullptr || !index->store->usable() ||
        (hints.identity == nullptr && !ReadFileIdentity(call.options.zipFileName, identity))) {
        return examiner.examine(call, false, cancel).verdict;
    }
    const std::string key = hints.callKey != nullptr ? *hints.callKey : CallKey(call);
    const CollectionIndex::Lookup found =
        hints.identity != nullptr && hints.lookup != nullptr
            ? *hints.lookup
            : index->store->look(archive, identity, key, index->query);
    if (found.ruledOut) {
        return ArchiveVerdict{found.result, false, true};
    }
    if (found.found) {
        // The record stays true for this file: read it without summarising it again.
        return examiner.examine(call, false, cancel).verdict;
    }
    Examination done = examiner.examine(call, true, cancel);
    const bool cancelled = cancel != nullptr && cancel->load();
    if (done.verdict.result != kUnzCancelled && !cancelled && done.verdict.failure.empty()) {
        index->store->remember(
            archive, ArchiveRecord{identity, key, done.verdict.result, std::move(done.entries)});
    }
    return done.verdict;
}

}  // namespace quillery
