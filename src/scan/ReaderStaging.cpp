#include "scan/ReaderStaging.h"

#include "scan/ReaderProcess.h"

namespace quillery {

int StageInReader(StagingState& state, const QString& patternText, Questions& questions,
                  const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
                  bool extractAll, std::string* failure) {
    const StagingCall call =
        PrepareStaging(state, patternText, zipPath, targetFolder, extractAll, false);
    ReaderProcess reader;
    const ReaderAnswer answer = reader.stage(call, &state, &questions);
    if (failure != nullptr) {
        *failure = answer.examined ? std::string() : answer.failure;
    }
    state.LastUnzipResult = answer.result;
    return answer.result;
}

}  // namespace quillery
