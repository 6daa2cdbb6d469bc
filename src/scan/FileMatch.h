#pragma once

#include <filesystem>

#include "scan/RunState.h"
#include "scan/TextMatcher.h"

namespace quillery {

// The matcher of the state's current search: the audit strings in an audit run (nothing
// at all when they were not loaded for it), otherwise the search string.
TextMatcher MatcherForRun(const RunState& state);

// Whether the file at path matches. A file that cannot be opened or read, or that is no
// regular file, does not match. The file is read in pieces, never whole.
bool MatchFile(const TextMatcher& matcher, const std::filesystem::path& path);

// Tests every file in the work folder until one matches, then deletes every file in it.
bool SearchWorkFolder(const RunState& state);

}  // namespace quillery
