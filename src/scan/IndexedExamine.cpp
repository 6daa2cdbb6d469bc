#include "scan/IndexedExamine.h"

#include <algorithm>
#include <utility>

#include "archive/UnzipResult.h"
#include "index/SummarySink.h"
#include "scan/MatchingSink.h"
#include "scan/QueryIndexRule.h"

namespace quillery {

namespace {

IndexQuery QueryFor(const TextMatcher& matcher) {
    if (const QueryMatcher* expression = matcher.query()) {
        return IndexQuery(QueryAtomRule(*expression));
    }
    return IndexQuery(matcher.rule().required());
}

}  // namespace

RunIndex::RunIndex(std::unique_ptr<CollectionIndex> index, const TextMatcher& matcher)
    : store(std::move(index)), query(QueryFor(matcher)) {}

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

void IndexedExamineMany(std::vector<IndexedJob> jobs, ArchiveExaminer& examiner, RunIndex* index,
                        const std::atomic<bool>* cancel,
                        FunctionRef<void(std::size_t job, ArchiveVerdict& verdict)> done) {
    // What each archive that is read needs remembered afterwards (a record, when its
    // summaries are taken), and the job it belongs to.
    struct Reading {
        std::size_t job;
        FileIdentity identity;
        std::string key;
    };
    std::vector<ExamineJob> requests;
    std::vector<Reading> readings;
    requests.reserve(jobs.size());
    readings.reserve(jobs.size());
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        IndexedJob& job = jobs[j];
        const ExamineHints& hints = job.hints;
        Reading reading{j, {}, {}};
        if (hints.identity != nullptr) {
            reading.identity = *hints.identity;
        }
        if (index == nullptr || !index->store->usable() ||
            (hints.identity == nullptr &&
             !ReadFileIdentity(job.call.options.zipFileName.native(), reading.identity))) {
            requests.push_back({std::move(job.call), false});
            readings.push_back(std::move(reading));
            continue;
        }
        reading.key = hints.callKey != nullptr ? *hints.callKey : CallKey(job.call);
        const CollectionIndex::Lookup found =
            hints.identity != nullptr && hints.lookup != nullptr
                ? *hints.lookup
                : index->store->look(job.call.options.zipFileName.native(), reading.identity,
                                     reading.key, index->query);
        if (found.ruledOut) {
            ArchiveVerdict verdict{found.result, false, true, {}};
            done(j, verdict);
            continue;
        }
        // A record that stays true for this file is read without summarising it again.
        requests.push_back({std::move(job.call), !found.found});
        readings.push_back(std::move(reading));
    }
    examiner.examineMany(
        requests,
        [&](std::size_t r, Examination& examination) {
            Reading& reading = readings[r];
            ArchiveVerdict& verdict = examination.verdict;
            const bool cancelled = cancel != nullptr && cancel->load();
            if (requests[r].summarise && verdict.result != kUnzCancelled && !cancelled &&
                verdict.failure.empty()) {
                index->store->remember(
                    requests[r].call.options.zipFileName.native(),
                    ArchiveRecord{reading.identity, std::move(reading.key), verdict.result,
                                  std::move(examination.entries)});
            }
            done(reading.job, verdict);
        },
        cancel);
}

ArchiveVerdict IndexedExamine(const StagingCall& call, ArchiveExaminer& examiner, RunIndex* index,
                              const std::atomic<bool>* cancel, const ExamineHints& hints) {
    ArchiveVerdict result;
    IndexedExamineMany({IndexedJob{call, hints}}, examiner, index, cancel,
                       [&result](std::size_t, ArchiveVerdict& verdict) { result = verdict; });
    return result;
}

}  // namespace quillery
