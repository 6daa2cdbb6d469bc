#include "archive/StagingSeries.h"

namespace quillery {

bool StagingSeries::holds(const StagingState& state, const QString& patternText,
                          const std::filesystem::path& targetFolder) const {
    // Everything PrepareStaging reads or writes, but the archive and the last result.
    return valid_ && patternText == patternText_ && state.options == after_.options &&
           state.IncludeCount == after_.IncludeCount &&
           state.IncludePatterns == after_.IncludePatterns &&
           state.ExcludePatterns == after_.ExcludePatterns &&
           state.NoPasswordPrompt == after_.NoPasswordPrompt &&
           state.allArchives == after_.allArchives &&
           state.scanEntryLimit == after_.scanEntryLimit &&
           state.viewerEntryLimit == after_.viewerEntryLimit &&
           state.extractEntryLimit == after_.extractEntryLimit &&
           state.ExtractFolder.native() == after_.ExtractFolder.native() &&
           targetFolder.native() == after_.ExtractFolder.native();
}

void StagingSeries::next(StagingState& state, const QString& patternText,
                         const std::string& zipPath, const std::filesystem::path& targetFolder) {
    renewed_ = !holds(state, patternText, targetFolder);
    archive_ = zipPath;
    if (renewed_) {
        call_ = PrepareStaging(state, patternText, zipPath, targetFolder, false, true);
        after_ = state;
        patternText_ = patternText;
        valid_ = true;
        callHasArchive_ = stateHasArchive_ = true;
        return;
    }
    callHasArchive_ = stateHasArchive_ = false;
}

const StagingCall& StagingSeries::call() {
    if (!callHasArchive_) {
        call_.options.zipFileName = archive_;
        callHasArchive_ = true;
    }
    return call_;
}

void StagingSeries::settle(StagingState& state) {
    if (!stateHasArchive_) {
        state.ZipFileName = archive_;
        stateHasArchive_ = true;
    }
}

}  // namespace quillery
