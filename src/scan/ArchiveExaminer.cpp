#include "scan/ArchiveExaminer.h"

#include "index/SummarySink.h"
#include "scan/MatchingSink.h"

namespace quillery {

void ArchiveExaminer::examineMany(const std::vector<ExamineJob>& requests, const Done& done,
                                  const std::atomic<bool>* cancel) {
    for (std::size_t i = 0; i < requests.size(); ++i) {
        Examination examination = examine(requests[i].call, requests[i].summarise, cancel);
        done(i, examination);
    }
}

Examination LocalExaminer::examine(const StagingCall& call, bool summarize,
                                   const std::atomic<bool>* cancel) {
    MatchingSink matching(matcher_, cancel);
    Examination done;
    if (summarize) {
        SummarySink summary(matching);
        done.verdict.result = RunStagingCall(call, nullptr, nullptr, &summary);
        done.entries = summary.take();
    } else {
        done.verdict.result = RunStagingCall(call, nullptr, nullptr, &matching);
    }
    done.verdict.matched = matching.matched();
    return done;
}

}  // namespace quillery
