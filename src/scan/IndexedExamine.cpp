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

ArchiveVerdict IndexedExamine(const StagingCall& call, const TextMatcher& matcher, RunIndex* index,
                              const std::atomic<bool>* cancel, const ExamineHints& hints) {
    FileIdentity identity;
    const std::string& archive = call.options.zipFileName.native();
    if (hints.identity != nullptr) {
        identity = *hints.identity;
    }
    if (index == nullptr || !index->store->usable() ||
        (hints.identity == nullptr && !ReadFileIdentity(call.options.zipFileName, identity))) {
        return ExamineWithCall(call, matcher, cancel);
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
        return ExamineWithCall(call, matcher, cancel);
    }
    MatchingSink matching(matcher, cancel);
    SummarySink summary(matching);
    ArchiveVerdict verdict;
    verdict.result = RunStagingCall(call, nullptr, nullptr, &summary);
    verdict.matched = matching.matched();
    const bool cancelled = cancel != nullptr && cancel->load();
    if (verdict.result != kUnzCancelled && !cancelled) {
        index->store->remember(archive,
                               ArchiveRecord{identity, key, verdict.result, summary.take()});
    }
    return verdict;
}

}  // namespace quillery
