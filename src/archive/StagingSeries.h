#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "archive/Staging.h"

namespace quillery {

// The preparation of the calls for a series of archives staged to a sink one after the other
// (a walk's). Each is what PrepareStaging(state, patternText, zipPath, targetFolder, false,
// true) gives and leaves behind, but the call is planned anew only when the pattern text or
// the state it is made from changed since the series' last one. Otherwise the call takes
// the archive's path when it is asked for, and the state's archive when the series settles
// (before anything else reads the state).
class StagingSeries {
  public:
    void next(StagingState& state, const QString& patternText, const std::string& zipPath,
              const std::filesystem::path& targetFolder);
    // Whether next planned its call anew.
    bool renewed() const { return renewed_; }
    // The call for the archive of the last next.
    const StagingCall& call();
    // Gives the state that archive as its ZipFileName.
    void settle(StagingState& state);

  private:
    bool holds(const StagingState& state, const QString& patternText,
               const std::filesystem::path& targetFolder) const;

    StagingState after_;  // the state as the last full preparation left it
    QString patternText_;
    StagingCall call_;
    std::string archive_;
    bool valid_ = false;
    bool renewed_ = false;
    bool callHasArchive_ = false;
    bool stateHasArchive_ = true;
};

}  // namespace quillery
