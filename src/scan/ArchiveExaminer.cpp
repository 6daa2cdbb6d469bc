#include "scan/ArchiveExaminer.h"

#include "index/SummarySink.h"
#include "scan/MatchingSink.h"

namespace quillery {

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
