#pragma once

#include <QString>
#include <filesystem>

#include "archive/Staging.h"

namespace quillery {

// The preparation of the calls for a series of archives staged to a sink one after the other
// (a walk's). Each is what PrepareStaging(state, host, zipPath, targetFolder, true, false,
// true) gives and leaves behind, but the call is planned anew only when the pattern text or
// the state it is made from changed since the series' last one; otherwise only the path, the
// status line and the state's archive change.
class StagingSeries {
  public:
    const StagingCall& prepare(StagingState& state, StagingHost& host,
                               const std::filesystem::path& zipPath,
                               const std::filesystem::path& targetFolder);
    // Whether the last prepare planned its call anew.
    bool renewed() const { return renewed_; }

  private:
    bool holds(const StagingState& state, const QString& patternText,
               const std::filesystem::path& targetFolder) const;

    StagingState after_;  // the state as the last full preparation left it
    QString patternText_;
    StagingCall call_;
    bool valid_ = false;
    bool renewed_ = false;
};

}  // namespace quillery
