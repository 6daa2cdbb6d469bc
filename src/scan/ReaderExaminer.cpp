#include "scan/ReaderExaminer.h"

#include <utility>

#include "archive/UnzipResult.h"

namespace quillery {

Examination ExaminationOf(ReaderAnswer& answer) {
    Examination examination;
    examination.verdict.result = answer.result;
    examination.verdict.matched = answer.examined && answer.matched;
    // A cancelled job says nothing the user needs to hear.
    if (!answer.examined && answer.result != kUnzCancelled) {
        examination.verdict.failure = std::move(answer.failure);
    }
    examination.entries = std::move(answer.summaries);
    return examination;
}

Examination ReaderExaminer::examine(const StagingCall& call, bool summarize,
                                    const std::atomic<bool>* cancel) {
    ReaderAnswer answer = reader_.examineOne(search_, ExamineJob{call, summarize}, cancel);
    return ExaminationOf(answer);
}

void ReaderExaminer::examineMany(const std::vector<ExamineJob>& requests, const Done& done,
                                 const std::atomic<bool>* cancel) {
    reader_.examine(
        search_, requests,
        [&done](std::size_t job, ReaderAnswer& answer) {
            Examination examination = ExaminationOf(answer);
            done(job, examination);
        },
        cancel);
}

}  // namespace quillery
