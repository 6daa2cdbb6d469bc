#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "archive/Questions.h"
#include "archive/Staging.h"

namespace quillery {

// StageArchive with the archive parsed in a sandboxed reader process that may write beneath
// targetFolder only, and that is ended when it makes no progress for a while (questions are
// still asked here). failure, when given, says why the archive could not be read at all
// (empty when it could).
int StageInReader(StagingState& state, const QString& patternText, Questions& questions,
                  const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
                  bool extractAll, std::string* failure = nullptr);

}  // namespace quillery
