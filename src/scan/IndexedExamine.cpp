#include "scan/IndexedExamine.h"

#include <algorithm>

#include "archive/UnzipResult.h"
#include "index/SummarySink.h"
#include "scan/MatchingSink.h"

namespace quillery {

RunIndex::RunIndex(std::unique_ptr<CollectionIndex> index, const TextMatcher& matcher)
    : store(std::move(index)),
      query(matcher.expression().kind == SearchExpression::Kind::AllOf,
            matcher.expression().terms) {}

std::unique_ptr<RunIndex> IndexForRun(const RunState& state, const TextMatcher& matcher) {
    if (!state.IndexEnabled) {
        return nullptr;
    }
    const std::filesystem::path folder =
        state.IndexFolder.empty() ? CollectionIndex::DefaultFolder() : state.IndexFolder;
    return std::make_unique<RunIndex>(
        std::make_unique<CollectionIndex>(folder, state.IndexLimitBytes), matcher);
}

void AnswerFromIndex(RunIndex& index, const std::vector<CollectionIndex::Request>& requests,
                     const std::string& callKey, std::vector<ArchiveVerdict>& verdicts,
                     std::vector<char>& answered) {
    verdicts.assign(requests.size(), {});
    answered.assign(requests.size(), 0);
    if (!index.store->usable() || requests.empty()) {
        return;
    }
    const std::vector<CollectionIndex::Lookup> found =
        index.store->lookAll(requests, callKey, index.query);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (found[i].ruledOut) {
            verdicts[i] = ArchiveVerdict{found[i].result, false, true};
            answered[i] = 1;
        }
    }
}

ArchiveVerdict IndexedExamine(const StagingCall& call, const TextMatcher& matcher, RunIndex* index,
                              const std::atomic<bool>* cancel, const FileIdentity* known) {
    FileIdentity identity;
    const std::string& archive = call.options.zipFileName.native();
    if (known != nullptr) {
        identity = *known;
    }
    if (index == nullptr || !index->store->usable() ||
        (known == nullptr && !ReadFileIdentity(call.options.zipFileName, identity))) {
        return ExamineWithCall(call, matcher, cancel);
    }
    const std::string key = CallKey(call);
    const CollectionIndex::Lookup found = index->store->look(archive, identity, key, index->query);
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
