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

const StagingCall& StagingSeries::prepare(StagingState& state, StagingHost& host,
                                          const std::filesystem::path& zipPath,
                                          const std::filesystem::path& targetFolder) {
    renewed_ = !holds(state, host.patternText(), targetFolder);
    if (renewed_) {
        call_ = PrepareStaging(state, host, zipPath, targetFolder, true, false, true);
        after_ = state;
        patternText_ = host.patternText();
        valid_ = true;
        return call_;
    }
    host.setCheckingStatus(zipPath);
    call_.options.zipFileName = zipPath;
    state.ZipFileName = zipPath;
    return call_;
}

}  // namespace quillery
