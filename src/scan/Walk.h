#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "scan/ScanContext.h"

namespace quillery {

// Walks one folder: yields once, lists its subfolders (names not starting with "."), has
// its archives examined (ScanArchives), then, with the subfolder option, walks each
// subfolder in listing order. Returns at once when the run is stopped. A folder reached a
// second time through a link is not walked again.
// patternText: the entry patterns as typed (empty: the default pattern text, which the walk
// reports through patternTextSet when it stages its first archive).
void ScanFolder(ScanContext& ctx, const std::filesystem::path& folder, const QString& patternText);

// Examines every "*.zip" entry of one folder in listing order: yields, stops when the run
// is stopped, stages the archive's selected entries, tests them, adds a row for a match and
// updates the counters. Every listed entry is counted, whether it could be read or not.
void ScanArchives(ScanContext& ctx, const std::filesystem::path& folder,
                  const QString& patternText);

// Whether a directory entry's name is an archive's: it ends with ".zip" in any letter case,
// or, with allArchives, with the suffix of any other archive type read (IsOtherArchiveName).
bool IsArchiveName(const std::string& name, bool allArchives);

// Shows the next frame of the progress animation, or the resting frame.
void AnimateBusy(ScanContext& ctx, bool running);

}  // namespace quillery
